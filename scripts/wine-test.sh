#!/usr/bin/env bash
# Runs one Windows test program under Wine for CTest: wine-test.sh PREFIX WINE
# PROGRAM [ARGUMENTS...]. A test program always prints before it ends, so one
# that ends having printed nothing, with a failing status, never started: Wine
# failed to start it (a busy wineserver, a prefix being updated). That is not
# the test's failure: it is said so on standard error and tried once more.
set -u
prefix=$1 wine=$2
shift 2
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
run() { env WINEPREFIX="$prefix" WINEDEBUG=-all "$wine" "$@" >"$out" 2>"$err"; }
run "$@"
status=$?
if [ "$status" -ne 0 ] && [ ! -s "$out" ] && [ ! -s "$err" ]; then
  echo "wine-test: Wine did not start ${1##*/} (exit status $status, nothing printed); starting it once more" >&2
  run "$@"
  status=$?
fi
cat "$out"
cat "$err" >&2
exit "$status"

#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and checks that every file is in
# its place, that the desktop entry and the AppStream metadata pass Debian's
# validators, and that the installed programs run: framelot-cli converts a
# two-frame GIF, and both programs answer --version without a display.
set -euo pipefail
build=$1
version=$2
id=org.framelot.Framelot
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
DESTDIR=$tmp/root cmake --install "$build" --prefix /usr/local >/dev/null
root=$tmp/root/usr/local
failed=0
fail() { echo "FAIL: $*"; failed=1; }

expected=(bin/framelot bin/framelot-cli
  share/applications/$id.desktop share/metainfo/$id.metainfo.xml
  share/icons/hicolor/scalable/apps/$id.svg
  share/man/man1/framelot.1.gz share/man/man1/framelot-cli.1.gz
  share/doc/framelot/copyright share/doc/framelot/changelog.gz)
for size in 16 22 24 32 48 64 128 256; do expected+=(share/icons/hicolor/${size}x${size}/apps/$id.png); done
for f in "${expected[@]}"; do [ -f "$root/$f" ] || fail "not installed: $f"; done
[ -x "$root/bin/framelot" ] && [ -x "$root/bin/framelot-cli" ] || fail "programs not executable"

desktop-file-validate "$root/share/applications/$id.desktop" || fail "desktop entry"
grep -qx "Exec=framelot %F" "$root/share/applications/$id.desktop" || fail "desktop entry: Exec"
grep -qx "Icon=$id" "$root/share/applications/$id.desktop" || fail "desktop entry: Icon"
report=$(appstreamcli validate --no-net --explain "$root/share/metainfo/$id.metainfo.xml" 2>&1) || fail "metadata: $report"
grep -qE '^(E|W):' <<<"$report" && fail "metadata has errors or warnings: $report"
grep -q "<release version=\"$version\"" "$root/share/metainfo/$id.metainfo.xml" || fail "metadata: release $version"

for page in framelot framelot-cli; do
  text=$(gzip -dc "$root/share/man/man1/$page.1.gz") || fail "man page $page is not gzip"
  for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" EXAMPLES; do
    grep -q "^\.SH \"*$section" <<<"$text" || fail "man page $page: no $section"
  done
done
grep -q 'jobs' <<<"$(gzip -dc "$root/share/man/man1/framelot-cli.1.gz")" || fail "framelot-cli(1) lacks --jobs"
grep -q 'XDG_CONFIG_HOME' <<<"$(gzip -dc "$root/share/man/man1/framelot.1.gz")" || fail "framelot(1) lacks the settings file"

[ "$(env -u DISPLAY -u WAYLAND_DISPLAY "$root/bin/framelot-cli" --version)" = "framelot-cli $version" ] || fail "framelot-cli --version"
[ "$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/bin/framelot" --version)" = "framelot $version" ] ||
  fail "framelot --version"
grep -q "Usage: framelot" <<<"$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/bin/framelot" --help)" || fail "framelot --help"

# Two frames of one pixel: index 0, then index 1 (black, red).
printf 'GIF89a\001\000\001\000\200\000\000\000\000\000\377\000\000!\371\004\000\000\000\000\000,\000\000\000\000\001\000\001\000\000\002\002D\001\000!\371\004\000\000\000\000\000,\000\000\000\000\001\000\001\000\000\002\002L\001\000;' \
  > "$tmp/two.gif"
grep -q "^1 file complete!$" <<<"$("$root/bin/framelot-cli" "$tmp/two.gif")" || fail "framelot-cli did not convert"
[ -f "$tmp/two/two_0000.png" ] && [ -f "$tmp/two/two_0001.png" ] || fail "frames not written"

if [ $failed -ne 0 ]; then exit 1; fi
echo "installed files, validators and programs: all as expected"

#!/usr/bin/env bash
# Builds the fuzz targets (the three containers and the PNG writer) and runs
# each for SECONDS seconds (default 180) with
# -rss_limit_mb=1024 -timeout=5, seeded from the public suites beside the
# project when they are there (read in place, never copied). Findings go to
# $FUZZ_WORK/<format>/crashes; a crashing input, once fixed, belongs in
# tests/regressions/<format>/, which the unit tests replay.
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_EACH=${1:-180}
CORPUS=${FRAMELOT_CORPUS:-../shared/corpus}
WORK=${FUZZ_WORK:-${TMPDIR:-/tmp}/framelot-fuzz}

cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DFRAMELOT_FUZZ=ON -DFRAMELOT_WINDOW=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -DFRAMELOT_FUZZING_LIMITS" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build build-fuzz -j "$(nproc)" >/dev/null

status=0
for format in gif apng webp avif jxl pngwriter; do
  dict=(-dict="fuzz/$format.dict")
  case $format in
    gif) target=FuzzGif; seeds=(gif-pygif gif-peterdn/gifs image-rs-image/gif) ;;
    apng) target=FuzzApng; seeds=(pillow/apng image-rs-image/apng image-rs-image/apng/wpt) ;;
    webp) target=FuzzWebp; seeds=(pillow/webp image-rs-image/webp image-rs-image-webp/images sdwebimage-webpcoder/images) ;;
    avif) target=FuzzAvif; seeds=(); dict=() ;;
    jxl) target=FuzzJxl; seeds=(); dict=() ;;
    pngwriter) target=FuzzPngWriter; seeds=(); dict=() ;;
  esac
  mkdir -p "$WORK/$format/corpus" "$WORK/$format/crashes"
  dirs=("$WORK/$format/corpus")
  [ -d "tests/regressions/$format" ] && dirs+=("tests/regressions/$format")
  [ -d "fuzz/seeds/$format" ] && dirs+=("fuzz/seeds/$format")
  for s in "${seeds[@]}"; do [ -d "$CORPUS/$s" ] && dirs+=("$CORPUS/$s"); done
  echo "== $target for ${SECONDS_EACH}s"
  if ! "build-fuzz/fuzz/$target" -max_total_time="$SECONDS_EACH" -rss_limit_mb=1024 -timeout=5 \
      "${dict[@]}" -artifact_prefix="$WORK/$format/crashes/" -print_final_stats=1 \
      "${dirs[@]}" > "$WORK/$format/log.txt" 2>&1; then
    status=1
    tail -n 40 "$WORK/$format/log.txt"
  fi
  grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|Done)' "$WORK/$format/log.txt" || true
done
exit $status

#!/usr/bin/env bash
# Builds the fuzz targets (the containers, the PNG writer, the row encoder and
# the LZW decoder) and runs
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

# The AVIF and JPEG XL decoders of the other builds: FRAMELOT_CODECS as the
# Makefile passes it (empty: the system's), else the pinned ones.
codecs=${FRAMELOT_CODECS-$(bash scripts/deps.sh linux)}
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only -DNDEBUG" \
  -DFRAMELOT_FUZZ=ON -DFRAMELOT_WINDOW=OFF -DFRAMELOT_BENCH_TOOLS=OFF -DFRAMELOT_CODECS="$codecs" \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -DFRAMELOT_FUZZING_LIMITS" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target framelot-cli FuzzGif FuzzApng FuzzWebp FuzzAvif FuzzJxl FuzzPngWriter \
  FuzzRowDeflate FuzzGifLzw >/dev/null

# Seeds for the newer formats, made with Debian's encoders from a two-frame
# GIF split by framelot-cli itself (the suites have none of these formats).
seeds_made=$WORK/made
if command -v avifenc >/dev/null && command -v cjxl >/dev/null; then
  mkdir -p "$seeds_made/avif" "$seeds_made/jxl" "$seeds_made/frames"
  printf 'GIF89a\002\000\002\000\200\000\000\000\000\000\377\000\000!\371\004\004\012\000\000\000,\000\000\000\000\002\000\002\000\000\002\002D\001\000!\371\004\004\012\000\000\000,\000\000\000\000\002\000\002\000\000\002\002L\001\000;' \
    > "$seeds_made/frames/two.gif"
  build-fuzz/framelot-cli --no-folder "$seeds_made/frames/two.gif" >/dev/null 2>&1 || true
  avifenc -s 10 "$seeds_made"/frames/two_000*.png "$seeds_made/avif/two.avif" >/dev/null 2>&1 || true
  cjxl -d 0 "$seeds_made/frames/two.gif" "$seeds_made/jxl/two.jxl" >/dev/null 2>&1 || true
fi

# One target: its run's figures, or its log's tail when it failed.
fuzz_one() {
  local format=$1 target seeds dict dirs s
  dict=(-dict="fuzz/$format.dict")
  case $format in
    gif) target=FuzzGif; seeds=(gif-pygif gif-peterdn/gifs image-rs-image/gif) ;;
    apng) target=FuzzApng; seeds=(pillow/apng image-rs-image/apng image-rs-image/apng/wpt) ;;
    webp) target=FuzzWebp; seeds=(pillow/webp image-rs-image/webp image-rs-image-webp/images sdwebimage-webpcoder/images) ;;
    avif) target=FuzzAvif; seeds=(); dict=() ;;
    jxl) target=FuzzJxl; seeds=(); dict=() ;;
    pngwriter) target=FuzzPngWriter; seeds=(); dict=() ;;
    rowdeflate) target=FuzzRowDeflate; seeds=(); dict=() ;;
    giflzw) target=FuzzGifLzw; seeds=(); dict=() ;;
  esac
  mkdir -p "$WORK/$format/corpus" "$WORK/$format/crashes"
  dirs=("$WORK/$format/corpus")
  [ -d "tests/regressions/$format" ] && dirs+=("tests/regressions/$format")
  [ -d "$seeds_made/$format" ] && dirs+=("$seeds_made/$format")
  for s in "${seeds[@]}"; do [ -d "$CORPUS/$s" ] && dirs+=("$CORPUS/$s"); done
  echo "== $target for ${SECONDS_EACH}s"
  if ! "build-fuzz/fuzz/$target" -max_total_time="$SECONDS_EACH" -rss_limit_mb=1024 -timeout=5 \
      "${dict[@]}" -artifact_prefix="$WORK/$format/crashes/" -print_final_stats=1 \
      "${dirs[@]}" > "$WORK/$format/log.txt" 2>&1; then
    tail -n 40 "$WORK/$format/log.txt"
    return 1
  fi
  grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|Done)' "$WORK/$format/log.txt" || true
}

# Targets run side by side, a core each; their reports come in the list's order.
formats=(gif apng webp avif jxl pngwriter rowdeflate giflzw)
for format in "${formats[@]}"; do
  { result=0; fuzz_one "$format" || result=1; echo "$result" > "$WORK/$format.status"; } > "$WORK/$format.report" 2>&1 &
  while [ "$(jobs -rp | wc -l)" -ge "$(nproc)" ]; do wait -n || true; done
done
wait
status=0
for format in "${formats[@]}"; do
  cat "$WORK/$format.report"
  [ "$(cat "$WORK/$format.status")" = 0 ] || status=1
done
exit $status

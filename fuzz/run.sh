#!/usr/bin/env bash
# Builds the fuzz targets and runs each for SECONDS seconds (default 180),
# seeded from the public suites beside the project when they are there.
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_EACH=${1:-180}
CORPUS=${FRAMELOT_CORPUS:-../shared/corpus}
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DFRAMELOT_FUZZ=ON -DFRAMELOT_WINDOW=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build build-fuzz -j "$(nproc)"
for format in gif apng webp; do
  target=Fuzz${format^}
  [ "$format" = apng ] && target=FuzzApng
  work=fuzz/work/$format
  mkdir -p "$work/corpus" "$work/crashes"
  if [ -d "$CORPUS" ]; then
    case $format in
      gif) find "$CORPUS" -name '*.gif' -exec cp -n {} "$work/corpus/" \; ;;
      apng) find "$CORPUS" -path '*apng*' -name '*.png' ! -path '*expected*' -exec cp -n {} "$work/corpus/" \; ;;
      webp) find "$CORPUS" -name '*.webp' -exec cp -n {} "$work/corpus/" \; ;;
    esac
  fi
  echo "== $target for ${SECONDS_EACH}s"
  "build-fuzz/fuzz/$target" -max_total_time="$SECONDS_EACH" -rss_limit_mb=1024 -timeout=5 \
    -dict="fuzz/$format.dict" -artifact_prefix="$work/crashes/" -print_final_stats=1 "$work/corpus" 2>&1 | tail -n 12
done

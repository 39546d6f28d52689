#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Framelot need,
# but only those that are missing: a second run takes a second or two.
set -euo pipefail

PACKAGES=(
  g++ cmake make pkg-config
  ninja-build meson nasm   # build the pinned AVIF and JPEG XL decoders (scripts/deps.sh)
  zlib1g-dev libpng-dev libgif-dev libwebp-dev libdeflate-dev libjpeg62-turbo-dev libavif-dev libjxl-dev
  libavif-bin libjxl-tools   # avifenc, avifdec and cjxl make and check the AVIF and JPEG XL fixtures
  qt6-base-dev libgtest-dev
  pngcheck   # the PNG writer test checks its files with it
  python3-dev python3-pybind11 python3-numpy   # the Python module (python/); the array test loads --npy output with NumPy
  python3-pytest python3-pil python3-dask python3-distributed   # its tests (PNG frames decoded with Pillow; a LocalCluster)
  python3-pip python3-setuptools python3-wheel   # pip install --no-build-isolation ./python, with nothing fetched
  dpkg-dev desktop-file-utils appstream lintian  # the package's dependencies; checks of its desktop entry, metadata and the package
  fonts-ipafont-gothic   # renders the Japanese menu caption
  clang libclang-rt-14-dev  # libFuzzer targets and their smoke runs
)

# `setup.sh --bench` also installs the tools the benchmark compares against.
if [ "${1:-}" = "--bench" ]; then
  PACKAGES+=(imagemagick ffmpeg python3-pil python3-imageio time)
fi

# `setup.sh --windows` also installs the cross toolchain and what builds the
# Windows libraries (scripts/deps.sh windows) and runs their tests.
if [ "${1:-}" = "--windows" ]; then
  PACKAGES+=(g++-mingw-w64-x86-64-posix wine64 nsis xvfb unzip
    xdotool libx11-dev)  # the desktop test drags files with an X11 program of its own
fi

# `setup.sh --web` also installs what builds the page (Emscripten, whose
# optimizer runs on Node) and what tests it (Debian's Chromium, driven from
# Node through the npm packages in tests/web/package-lock.json; unzip reads
# the zip it saves).
if [ "${1:-}" = "--web" ]; then
  PACKAGES+=(emscripten chromium unzip)
  # Debian's Node and npm, unless the machine has a Node with npm already
  # (Debian's npm cannot install beside another distribution's nodejs).
  command -v npm >/dev/null || PACKAGES+=(nodejs npm)
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! grep -q 'install ok installed' <<<"$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"

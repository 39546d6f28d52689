#!/usr/bin/env bash
# Builds the libraries a build links statically, from the Debian source
# packages named in scripts/deps.lock, and prints the folder they are
# installed in:
#   windows  every library of the Windows build (zlib, libpng, giflib,
#            libwebp, libdeflate, libjpeg-turbo, dav1d, libavif, highway,
#            brotli, lcms2, libjxl), cross-built with the mingw-w64 toolchain;
#   linux    the AVIF and JPEG XL decoders (dav1d, libavif, highway, brotli,
#            lcms2, libjxl) for the Linux build, which takes the rest from the
#            system, so that both platforms decode with the same versions;
#   web      every library again, compiled to WebAssembly with Emscripten
#            (single-threaded; dav1d and libjpeg-turbo without assembly,
#            highway with wasm SIMD)
#            for the page in a browser.
#
# The archives come from the Debian mirror this machine's apt already uses,
# read through a private apt state folder: the system's apt sources are never
# touched. Each archive must have the SHA-256 of the lock file. The result is
# kept in a cache outside the checkout, named after the target and the hash of
# its lines of the lock file and of this script, so a second run (or CI on the
# same machine) only prints the folder.
#
#   scripts/deps.sh windows|linux|web  build when missing, print the prefix
#   FRAMELOT_CACHE=/path ...           cache root (default ~/.cache/framelot)
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
lock_file="$here/deps.lock"
target="${1:-}"
case "$target" in
  windows) wanted="zlib libpng1.6 giflib libwebp libdeflate libjpeg-turbo dav1d libavif highway brotli lcms2 jpeg-xl" ;;
  linux) wanted="dav1d libavif highway brotli lcms2 jpeg-xl" ;;
  web) wanted="zlib libpng1.6 giflib libwebp libdeflate libjpeg-turbo dav1d libavif highway brotli lcms2 jpeg-xl" ;;
  *)
    echo "usage: scripts/deps.sh windows|linux|web" >&2
    exit 2
    ;;
esac
jobs="$(nproc)"

# The lock's lines of this target's libraries, in the lock's order.
lock="$(awk -v want=" $wanted " -v target="$target" \
  '!/^#/ && NF && index(want, " " $1 " ") && (NF < 6 || index("," $6 ",", "," target ","))' "$lock_file")"

cache_root="${FRAMELOT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/framelot}"
lock_hash="$( (echo "$target" && echo "$lock" && cat "$0" "$here"/patches/*.patch) | sha256sum | cut -c1-16)"
prefix="$cache_root/$target-$lock_hash"
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

# One build at a time over the cache (parallel make targets, two checkouts on
# one machine): the others wait here, and find the build done when they go on.
mkdir -p "$cache_root"
exec 9>"$cache_root/.lock"
flock 9
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

log() { echo "deps ($target): $*" >&2; }
fail_with_log() {
  tail -40 "$1" >&2
  log "failed; the whole log is $1"
  exit 1
}

work="$cache_root/work-$lock_hash"
archives="$cache_root/archives"
rm -rf "$work" "$prefix"
mkdir -p "$work/apt/lists/partial" "$work/apt/cache/archives/partial" "$work/src" "$archives" \
  "$prefix/lib/pkgconfig" "$prefix/include"

# The Debian mirror of this machine's own apt configuration: the repository
# that serves the installed release.
codename="$(. /etc/os-release && echo "$VERSION_CODENAME")"
mirror="$(apt-get indextargets --format '$(REPO_URI) $(RELEASE) $(LABEL)' 'Identifier: Packages' |
  awk -v c="$codename" '$2 == c && $3 == "Debian" { print $1; exit }')"
if [ -z "$mirror" ]; then
  log "no Debian repository for $codename in the apt configuration (run apt-get update first)"
  exit 1
fi
suites="$(echo "$lock" | awk '{ print $3 }' | sort -u | tr '\n' ' ')"
for s in $suites; do echo "deb-src $mirror $s main"; done >"$work/apt/sources.list"
apt_opts=(-o "Dir::State=$work/apt" -o "Dir::State::Lists=$work/apt/lists" -o "Dir::Cache=$work/apt/cache"
  -o "Dir::Etc::SourceList=$work/apt/sources.list" -o "Dir::Etc::SourceParts=/dev/null"
  -o "APT::Sandbox::User=root")
source_lists_read=false

# Each original archive is downloaded through apt and checked against the
# lock's hash; one downloaded before is checked again and reused.
while read -r package version suite archive sha256 _targets; do
  case "$package" in '#'* | '') continue ;; esac
  if ! echo "$sha256  $archives/$archive" | sha256sum --check --status 2>/dev/null; then
    if ! $source_lists_read; then
      log "reading the source lists of: $suites"
      apt-get "${apt_opts[@]}" -qq update
      source_lists_read=true
    fi
    uri="$(apt-get "${apt_opts[@]}" --print-uris source "$package=$version" 2>/dev/null |
      awk -v a="$archive" '$2 == a { gsub("\047", "", $1); print $1 }')"
    if [ -z "$uri" ]; then
      log "$package $version: $archive is not in the $suite source list"
      exit 1
    fi
    log "downloading $archive"
    if ! /usr/lib/apt/apt-helper -o APT::Sandbox::User=root download-file "$uri" "$archives/$archive" \
      "SHA256:$sha256" >/dev/null; then
      rm -f "$archives/$archive"
      log "$archive: download failed or its SHA-256 is not $sha256"
      exit 1
    fi
  fi
  mkdir -p "$work/src/$package"
  tar -xf "$archives/$archive" -C "$work/src/$package" --strip-components=1
  # Each library's licence, which the packages carry (highway's under its
  # BSD-3-Clause option; libjpeg-turbo's in LICENSE.md and, for the IJG
  # code, README.ijg).
  licences="$prefix/share/licenses/$package"
  mkdir -p "$licences"
  for f in LICENSE-BSD3 LICENSE COPYING PATENTS LICENSE.md README.ijg; do
    [ -f "$work/src/$package/$f" ] || continue
    if [ "$f" = LICENSE ] && [ -f "$work/src/$package/LICENSE-BSD3" ]; then continue; fi
    cp "$work/src/$package/$f" "$licences/"
  done
  if [ -z "$(ls "$licences")" ]; then
    log "$package: no licence file in $archive"
    exit 1
  fi
  # The tests read libavif's own test files out of its archive.
  if [ "$package" = libavif ]; then
    mkdir -p "$prefix/share"
    ln -sf "$archives/$archive" "$prefix/share/libavif-source.tar.gz"
  fi
done <<<"$lock"

# The compilers and how each build is told about them.
if [ "$target" = windows ]; then
  cc=x86_64-w64-mingw32-gcc-posix
  ar=x86_64-w64-mingw32-ar
  cflags="-O2"
  cmake_target=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DCMAKE_FIND_ROOT_PATH="$prefix")
  cat >"$work/meson-cross.txt" <<EOF
[binaries]
c = '$cc'
ar = '$ar'
strip = 'x86_64-w64-mingw32-strip'
windres = 'x86_64-w64-mingw32-windres'
nasm = 'nasm'
[host_machine]
system = 'windows'
cpu_family = 'x86_64'
cpu = 'x86_64'
endian = 'little'
EOF
  meson_target=(--cross-file "$work/meson-cross.txt")
elif [ "$target" = web ]; then
  # Emscripten's tools want Debian's JavaScript modules where the machine's
  # node is not Debian's.
  export NODE_PATH="${NODE_PATH:-/usr/share/nodejs}"
  cc=emcc
  ar=emar
  cflags="-O2"
  cmake_target=(-DCMAKE_TOOLCHAIN_FILE=/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake
    -DCMAKE_FIND_ROOT_PATH="$prefix" -DCMAKE_C_FLAGS="-O2 -msimd128" -DCMAKE_CXX_FLAGS="-O2 -msimd128")
  cat >"$work/meson-cross.txt" <<EOF
[binaries]
c = 'emcc'
cpp = 'em++'
ar = 'emar'
[host_machine]
system = 'emscripten'
cpu_family = 'wasm32'
cpu = 'wasm32'
endian = 'little'
EOF
  meson_target=(--cross-file "$work/meson-cross.txt" -Denable_asm=false)
else
  # Position-independent, so that the libraries link into the system's
  # position-independent programs.
  cc=gcc
  ar=ar
  cflags="-O2 -fPIC"
  cmake_target=(-DCMAKE_POSITION_INDEPENDENT_CODE=ON)
  meson_target=(-Db_staticpic=true)
fi

src() { echo "$work/src/$1"; }

cmake_lib() {  # cmake_lib PACKAGE [cmake options...]
  local package="$1"
  shift
  log "building $package"
  {
    cmake -S "$(src "$package")" -B "$work/build/$package" -G Ninja "${cmake_target[@]}" \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_INSTALL_LIBDIR=lib \
      -DCMAKE_PREFIX_PATH="$prefix" -DBUILD_SHARED_LIBS=OFF -DBUILD_TESTING=OFF -Wno-dev "$@" &&
      cmake --build "$work/build/$package" -j "$jobs" && cmake --install "$work/build/$package"
  } >"$work/$package.log" 2>&1 || fail_with_log "$work/$package.log"
}

# Plain C libraries whose own build does not cross-compile as shipped:
# compiled file by file into one static library.
c_lib() {  # c_lib PACKAGE LIBNAME CFLAGS SOURCES...
  local package="$1" name="$2" extra="$3"
  shift 3
  log "building $package"
  mkdir -p "$work/build/$package"
  (
    cd "$work/build/$package"
    for f in "$@"; do
      # shellcheck disable=SC2086
      $cc $cflags $extra -c "$(src "$package")/$f" -o "$(basename "$f" .c).o"
    done
    $ar rcs "$prefix/lib/lib$name.a" ./*.o
  ) >"$work/$package.log" 2>&1 || fail_with_log "$work/$package.log"
}

export PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig"
export PKG_CONFIG_PATH=""

if [ "$target" != linux ]; then
c_lib zlib z "" adler32.c compress.c crc32.c deflate.c gzclose.c gzlib.c gzread.c gzwrite.c infback.c inffast.c \
  inflate.c inftrees.c trees.c uncompr.c zutil.c
cp "$(src zlib)/zlib.h" "$(src zlib)/zconf.h" "$prefix/include/"

cmake_lib libpng1.6 -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_TOOLS=OFF -DPNG_EXECUTABLES=OFF \
  -DZLIB_LIBRARY="$prefix/lib/libz.a" -DZLIB_INCLUDE_DIR="$prefix/include"

c_lib giflib gif "" dgif_lib.c egif_lib.c gifalloc.c gif_err.c gif_font.c gif_hash.c openbsd-reallocarray.c quantize.c
cp "$(src giflib)/gif_lib.h" "$prefix/include/"

cmake_lib libwebp -DWEBP_BUILD_ANIM_UTILS=OFF -DWEBP_BUILD_CWEBP=OFF -DWEBP_BUILD_DWEBP=OFF -DWEBP_BUILD_GIF2WEBP=OFF \
  -DWEBP_BUILD_IMG2WEBP=OFF -DWEBP_BUILD_VWEBP=OFF -DWEBP_BUILD_WEBPINFO=OFF -DWEBP_BUILD_WEBPMUX=OFF \
  -DWEBP_BUILD_EXTRAS=OFF -DWEBP_BUILD_LIBWEBPMUX=ON -DWEBP_USE_THREAD="$([ "$target" = web ] && echo OFF || echo ON)"

if [ "$target" = web ]; then
  # Debian 12's libdeflate (1.14) predates its CMake build.
  c_lib libdeflate deflate "-I$(src libdeflate)" lib/adler32.c lib/crc32.c lib/deflate_compress.c \
    lib/deflate_decompress.c lib/gzip_compress.c lib/gzip_decompress.c lib/utils.c lib/zlib_compress.c \
    lib/zlib_decompress.c
  cp "$(src libdeflate)/libdeflate.h" "$prefix/include/"
  cat >"$prefix/lib/pkgconfig/libdeflate.pc" <<EOF
prefix=$prefix
Name: libdeflate
Description: Fast implementation of DEFLATE, zlib, and gzip
Version: 1.14
Libs: -L\${prefix}/lib -ldeflate
Cflags: -I\${prefix}/include
EOF
else
  cmake_lib libdeflate -DLIBDEFLATE_BUILD_SHARED_LIB=OFF -DLIBDEFLATE_BUILD_GZIP=OFF
fi

# The JPEG frames' encoder. Its build reads an absolute library folder only;
# under Emscripten its type-size probe fails, so the sizes of wasm32 are given,
# and its SIMD code is x86 and Arm assembly, which the web cannot run.
if [ "$target" = web ]; then
  jpeg_target=(-DWITH_SIMD=OFF -DHAVE_SIZE_T=TRUE -DSIZE_T=4 -DHAVE_UNSIGNED_LONG=TRUE -DUNSIGNED_LONG=4)
else
  jpeg_target=(-DWITH_SIMD=ON -DREQUIRE_SIMD=ON)
fi
cmake_lib libjpeg-turbo -DCMAKE_INSTALL_LIBDIR="$prefix/lib" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
  -DWITH_TURBOJPEG=OFF "${jpeg_target[@]}"
fi

# Patches for one target, named after what they fix, in scripts/patches.
if [ "$target" = web ]; then
  patch -d "$(src dav1d)" -p1 -s <"$here/patches/dav1d-web-single-thread.patch"
fi

log "building dav1d"
{
  meson setup "$work/build/dav1d" "$(src dav1d)" "${meson_target[@]}" --prefix "$prefix" \
    --libdir lib --buildtype release --default-library static -Denable_tools=false -Denable_tests=false \
    -Denable_examples=false -Denable_docs=false &&
    ninja -C "$work/build/dav1d" -j "$jobs" && ninja -C "$work/build/dav1d" install
} >"$work/dav1d.log" 2>&1 || fail_with_log "$work/dav1d.log"

cmake_lib libavif -DAVIF_CODEC_DAV1D=SYSTEM -DAVIF_LIBYUV=OFF -DAVIF_LIBSHARPYUV=OFF -DAVIF_LIBXML2=OFF \
  -DAVIF_BUILD_APPS=OFF -DAVIF_BUILD_TESTS=OFF -DAVIF_BUILD_EXAMPLES=OFF -DAVIF_ZLIBPNG=OFF -DAVIF_JPEG=OFF

cmake_lib highway -DHWY_ENABLE_TESTS=OFF -DHWY_ENABLE_EXAMPLES=OFF -DHWY_ENABLE_CONTRIB=OFF -DHWY_ENABLE_INSTALL=ON \
  -DHWY_FORCE_STATIC_LIBS=ON
cmake_lib brotli -DBROTLI_DISABLE_TESTS=ON -DBROTLI_BUILD_TOOLS=OFF

# shellcheck disable=SC2046
c_lib lcms2 lcms2 "-I$(src lcms2)/include" $(cd "$(src lcms2)" && ls src/*.c)
cp "$(src lcms2)"/include/lcms2*.h "$prefix/include/"
cat >"$prefix/lib/pkgconfig/lcms2.pc" <<EOF
prefix=$prefix
Name: lcms2
Description: LCMS Color Management Library
Version: 2.16
Libs: -L\${prefix}/lib -llcms2
Cflags: -I\${prefix}/include
EOF

cmake_lib jpeg-xl -DJPEGXL_FORCE_SYSTEM_BROTLI=ON -DJPEGXL_FORCE_SYSTEM_HWY=ON -DJPEGXL_FORCE_SYSTEM_LCMS2=ON \
  -DJPEGXL_ENABLE_SKCMS=OFF -DJPEGXL_ENABLE_TOOLS=OFF -DJPEGXL_ENABLE_JPEGLI=OFF -DJPEGXL_ENABLE_SJPEG=OFF \
  -DJPEGXL_ENABLE_OPENEXR=OFF -DJPEGXL_ENABLE_BENCHMARK=OFF -DJPEGXL_ENABLE_EXAMPLES=OFF -DJPEGXL_ENABLE_MANPAGES=OFF \
  -DJPEGXL_ENABLE_DOXYGEN=OFF -DJPEGXL_ENABLE_JNI=OFF -DJPEGXL_ENABLE_PLUGINS=OFF -DJPEGXL_ENABLE_VIEWERS=OFF \
  -DJPEGXL_ENABLE_FUZZERS=OFF -DJPEGXL_ENABLE_DEVTOOLS=OFF -DJPEGXL_BUNDLE_LIBPNG=OFF -DJPEGXL_ENABLE_TCMALLOC=OFF \
  -DJPEGXL_ENABLE_TRANSCODE_JPEG=OFF -DJPEGXL_STATIC=OFF

rm -rf "$work"
touch "$prefix/.complete"
echo "$prefix"

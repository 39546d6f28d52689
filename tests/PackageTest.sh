#!/usr/bin/env bash
# Builds the Debian package as `make package` does and checks it: its name,
# that dpkg-shlibdeps filled Depends with the Qt 6, libpng, giflib and libwebp
# runtime packages, and with libavif and libjxl only when the build uses the
# system's (CODECS, the pinned decoders' prefix, is empty), that the copyright
# file then names the libraries linked in, that it holds the installed files
# under /usr, that lintian finds nothing, and that the unpacked framelot-cli
# runs; and the Python module's package python3-framelot likewise.
set -euo pipefail
build=$1
version=$2
codecs=${3:-}
id=org.framelot.Framelot
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$build"
cpack -G DEB -B "$tmp/out" >"$tmp/cpack.log" 2>&1 || { cat "$tmp/cpack.log"; exit 1; }
deb=$tmp/out/framelot_${version}_amd64.deb
[ -f "$deb" ] || { echo "FAIL: no $deb"; ls "$tmp/out"; exit 1; }
failed=0
fail() { echo "FAIL: $*"; failed=1; }

depends=$(dpkg-deb -f "$deb" Depends)
for p in libqt6widgets6 libpng16-16 libgif7 libwebp7 libwebpdemux2 libdeflate0; do
  grep -q "\b$p\b" <<<"$depends" || fail "Depends lacks $p: $depends"
done
if [ -n "$codecs" ]; then
  grep -qE '\blib(avif|jxl)' <<<"$depends" && fail "Depends names the system's AVIF or JPEG XL library: $depends"
  copyright=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/framelot/copyright)
  for library in dav1d libavif highway brotli lcms2 jpeg-xl; do
    grep -qx "Files: embedded/$library" <<<"$copyright" || fail "copyright lacks $library"
  done
else
  for p in libavif15 libjxl0.7; do
    grep -q "\b$p\b" <<<"$depends" || fail "Depends lacks $p: $depends"
  done
fi
[ "$(dpkg-deb -f "$deb" Section)" = graphics ] || fail "section"
[ "$(dpkg-deb -f "$deb" Package)" = framelot ] || fail "package name"

contents=$(dpkg-deb -c "$deb")
for f in usr/bin/framelot usr/bin/framelot-cli usr/share/applications/$id.desktop usr/share/metainfo/$id.metainfo.xml \
  usr/share/icons/hicolor/scalable/apps/$id.svg usr/share/icons/hicolor/256x256/apps/$id.png \
  usr/share/man/man1/framelot.1.gz usr/share/man/man1/framelot-cli.1.gz usr/share/doc/framelot/copyright; do
  grep -q " \./$f\$" <<<"$contents" || fail "package lacks $f"
done

if ! lint=$(lintian --fail-on error,warning "$deb" 2>&1); then
  fail "lintian: $lint"
fi
dpkg-deb -x "$deb" "$tmp/unpacked"
[ "$("$tmp/unpacked/usr/bin/framelot-cli" --version)" = "framelot-cli $version" ] || fail "unpacked framelot-cli --version"

# The Python module's package, when the build has the module: Debian's
# folder for Python 3 modules, NumPy among its Depends, lintian clean, and
# the unpacked module imports and reads a frame.
python_deb=$tmp/out/python3-framelot_${version}_amd64.deb
if [ -f "$build/python/framelot/__init__.py" ]; then
  [ -f "$python_deb" ] || fail "no $python_deb"
fi
if [ -f "$python_deb" ]; then
  grep -q '\bpython3-numpy\b' <<<"$(dpkg-deb -f "$python_deb" Depends)" || fail "python3-framelot's Depends lacks python3-numpy"
  [ "$(dpkg-deb -f "$python_deb" Section)" = python ] || fail "python3-framelot's section"
  python_contents=$(dpkg-deb -c "$python_deb")
  for f in __init__.py __init__.pyi dask.py py.typed; do
    grep -q " \./usr/lib/python3/dist-packages/framelot/$f\$" <<<"$python_contents" || fail "python3-framelot lacks $f"
  done
  grep -q 'dist-packages/framelot/_framelot\.cpython-.*\.so$' <<<"$python_contents" || fail "python3-framelot lacks the module"
  if ! lint=$(lintian --fail-on error,warning "$python_deb" 2>&1); then
    fail "lintian on python3-framelot: $lint"
  fi
  dpkg-deb -x "$python_deb" "$tmp/python"
  sample=$(dirname "$0")/samples/two-frames-8x8.avif
  shape=$(cd "$tmp" && PYTHONPATH="$tmp/python/usr/lib/python3/dist-packages" /usr/bin/python3 -c \
    "import framelot, sys; print(framelot.read(sys.argv[1])[0].shape)" "$sample") || fail "the unpacked module does not import"
  [ "$shape" = "(2, 8, 8, 4)" ] || fail "the unpacked module read $shape"
fi

if [ $failed -ne 0 ]; then exit 1; fi
echo "package $(basename "$deb"): Depends $depends"

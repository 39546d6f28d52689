#!/usr/bin/env bash
# Builds the Debian package as `make package` does and checks it: its name,
# that dpkg-shlibdeps filled Depends with the Qt 6, libpng, giflib and libwebp
# runtime packages, and with libavif and libjxl only when the build uses the
# system's (CODECS, the pinned decoders' prefix, is empty), that the copyright
# file then names the libraries linked in, that it holds the installed files
# under /usr, that lintian finds nothing, and that the unpacked framelot-cli
# runs.
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

if [ $failed -ne 0 ]; then exit 1; fi
echo "package $(basename "$deb"): Depends $depends"

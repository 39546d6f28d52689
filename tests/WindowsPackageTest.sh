#!/usr/bin/env bash
# Builds the zip and the installer as `make windows` does and checks them:
# the zip's folder holds both programs, the licences and the readme; both
# programs import only DLLs that every Windows has; the installer installs
# silently (/S) under Wine into Program Files with a Start-menu shortcut, an
# Apps & features entry and "Open with" entries, the installed framelot-cli.exe
# converts a file, and the uninstaller takes it all away again.
set -euo pipefail
build=$1
version=$2
gif=$3
wine=(env "WINEPREFIX=$build/wine" WINEDEBUG=-all /usr/lib/wine/wine64)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$build"
for g in ZIP NSIS; do
  cpack -G $g -B "$tmp/out" >"$tmp/cpack.log" 2>&1 || { cat "$tmp/cpack.log"; exit 1; }
done
failed=0
fail() { echo "FAIL: $*"; failed=1; }

zip=$tmp/out/framelot-$version-win64.zip
setup=$tmp/out/framelot-$version-win64-setup.exe
[ -f "$zip" ] && [ -f "$setup" ] || { ls "$tmp/out"; exit 1; }
(cd "$tmp" && unzip -q "$zip")
folder=$tmp/framelot-$version-win64
for f in framelot.exe framelot-cli.exe LICENSE.txt THIRD-PARTY-LICENSES.txt README.txt; do
  [ -f "$folder/$f" ] || fail "the zip lacks $f"
done
for exe in "$folder"/*.exe; do
  for dll in $(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ { print tolower($3) }'); do
    case $dll in
      kernel32.dll|user32.dll|gdi32.dll|shell32.dll|comctl32.dll|comdlg32.dll|advapi32.dll|ole32.dll|shlwapi.dll|uxtheme.dll|msvcrt.dll|ucrtbase.dll|api-ms-win-crt-*) ;;
      *) fail "$(basename "$exe") imports $dll" ;;
    esac
  done
done

# Waits until every program of the prefix but Wine's own services has
# ended. The test run keeps one Wine server for all its tests, so the server's
# end cannot be waited for.
wait_for_programs() {
  local deadline=$((SECONDS + 120)) busy pid command
  while :; do
    busy=""
    for pid in $(pgrep -f '\.exe' || true); do
      grep -qz "^WINEPREFIX=$build/wine\$" "/proc/$pid/environ" 2>/dev/null || continue
      command=$(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null) || continue
      case ${command,,} in
        *services.exe*|*winedevice.exe*|*plugplay.exe*|*svchost.exe*|*rpcss.exe*|*explorer.exe*|*conhost.exe*) ;;
        *) busy=$command ;;
      esac
    done
    [ -z "$busy" ] && return 0
    [ "$SECONDS" -lt "$deadline" ] || { fail "a program of the prefix did not end: $busy"; return 0; }
    sleep 0.5
  done
}

"${wine[@]}" "$setup" /S
# The installer may still be writing its registry entries when it returns
# (seen on a loaded machine): wait until every program of the prefix has ended.
wait_for_programs
root=$build/wine/drive_c
installed="$root/Program Files/Framelot"
for f in framelot.exe framelot-cli.exe LICENSE.txt THIRD-PARTY-LICENSES.txt README.txt Uninstall.exe; do
  [ -f "$installed/$f" ] || fail "the installer did not install $f"
done
[ -f "$root/ProgramData/Microsoft/Windows/Start Menu/Programs/Framelot/Framelot.lnk" ] || fail "no Start-menu shortcut"
query() { "${wine[@]}" reg query "$@" 2>/dev/null | tr -d '\r'; }
grep -q 'UninstallString' <<<"$(query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Framelot')" ||
  fail "no Apps & features entry"
grep -q 'framelot.exe" "%1"' <<<"$(query 'HKLM\Software\Classes\Applications\framelot.exe\shell\open\command')" ||
  fail "no open command"
# Every extension of the format table (the build wrote them to formats.txt).
for ext in $(cut -d' ' -f1 "$build/generated/formats.txt"); do
  query "HKLM\\Software\\Classes\\$ext\\OpenWithList\\framelot.exe" >/dev/null || fail "no Open with entry for $ext"
  if grep -qi framelot <<<"$(query "HKLM\\Software\\Classes\\$ext" /ve)"; then fail "$ext made Framelot's by default"; fi
done

cp "$gif" "$tmp/anim.gif"
(cd "$tmp" && "${wine[@]}" "$installed/framelot-cli.exe" --no-folder anim.gif) >"$tmp/cli.log" 2>&1 ||
  fail "the installed framelot-cli failed: $(cat "$tmp/cli.log")"
[ -f "$tmp/anim_0001.png" ] || fail "the installed framelot-cli wrote no frames: $(cat "$tmp/cli.log")"

# The uninstaller runs a copy of itself and returns at once.
"${wine[@]}" "$installed/Uninstall.exe" /S
wait_for_programs
[ ! -f "$installed/framelot.exe" ] || fail "the uninstaller left framelot.exe"
if query 'HKLM\Software\Classes\Applications\framelot.exe' >/dev/null; then fail "the uninstaller left the Open with entries"; fi
if query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Framelot' >/dev/null; then fail "the uninstaller left its entry"; fi
rm -rf "$installed"
exit $failed

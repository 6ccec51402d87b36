#!/usr/bin/env bash
# The Windows zip as an operator gets it: it holds the programs, both DLLs of each
# architecture (the 32-bit ones in x86/) and the read-me, and nothing it runs needs a DLL
# that Windows does not have; unpacked into a fresh Wine prefix's drive, its
# helmsman.exe --headless comes up against the Win32 substitute server (copied beside the
# server's files, as the operator's own) through the first run's player list to "good to go",
# with nothing else on the path, and shuts down at the end of --run-for.
#
#   packaging/check_zip.sh ZIP WIN64_BIN POSIX_BIN
#
# WIN64_BIN: the x86-64 build's bin folder (qvserver.exe); POSIX_BIN: a POSIX build's bin
# folder for the input (qvdemo, helmsman-settings).
set -euo pipefail
zip=$(realpath "$1")
win64=$2
tools=$3
title="QVServer - Version 1.0 Build 11 - QVServer"

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
work=$(mktemp -d /tmp/helmsman-zip.XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset WINEPATH
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "zip: $*"
  exit 1
}
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# 1. What it holds: the release's files and no others (the tools that build for Windows
# among them), each program and DLL linked against Windows' own DLLs only (the mingw
# runtime is inside them).
unzip -q "$zip" -d "$work/helmsman"
files=$(cd "$work/helmsman" && find . -type f | sed 's|^\./||' | sort)
for file in helmsman.exe QVAdmin.dll QVCodec.dll qvcodec.exe x86/QVAdmin.dll x86/QVCodec.dll \
            README-Windows.txt; do
  grep -qx "$file" <<<"$files" || fail "the zip lacks $file; it holds $(echo $files)"
done
others=$(grep -vx -e helmsman.exe -e helmsman-ctl.exe -e qvcodec.exe -e qvstat.exe \
  -e QVAdmin.dll -e QVCodec.dll -e x86/QVAdmin.dll -e x86/QVCodec.dll -e README-Windows.txt \
  <<<"$files" || true)
[ -z "$others" ] || fail "the zip holds more than the release: $(echo $others)"
# Windows' own DLLs (the mingw runtime's libstdc++-6, libgcc_s_* and libwinpthread-1 are not).
windows_dlls='^(advapi32|bcrypt|comctl32|comdlg32|crypt32|gdi32|iphlpapi|kernel32|msvcrt|mswsock'
windows_dlls+='|ntdll|ole32|oleaut32|rpcrt4|secur32|shell32|shlwapi|user32|userenv|version'
windows_dlls+='|winhttp|winmm|ws2_32)\.dll$'
for file in $(grep -E '\.(exe|dll)$' <<<"$files"); do
  case $file in
    x86/*) objdump=i686-w64-mingw32-objdump format=pei-i386 ;;
    *) objdump=x86_64-w64-mingw32-objdump format=pei-x86-64 ;;
  esac
  $objdump -f "$work/helmsman/$file" | grep -q "file format $format" ||
    fail "$file is not $format"
  others=$($objdump -p "$work/helmsman/$file" | sed -n 's/^\s*DLL Name: //p' |
    tr 'A-Z' 'a-z' | grep -Ev "$windows_dlls" || true)
  [ -z "$others" ] || fail "$file needs $others"
done
grep -q 'Ctrl+C' "$work/helmsman/README-Windows.txt" || fail "the read-me does not say how to stop"

# 2. A fresh prefix, the release unpacked on its drive C:, the server's folder on Z:.
started=$SECONDS
wineboot -i >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
echo "zip: wine prefix made in $((SECONDS - started)) s"
folder=$WINEPREFIX/drive_c/Helmsman
cp -r "$work/helmsman" "$folder"
server=$work/server
"$tools/qvdemo" gamedata --seed 27 --out "$folder" >/dev/null
"$tools/qvdemo" accounts --seed 27 --accounts 6 --root "$server/Accts/MultiPlayer" \
  --gamedata "$folder" >/dev/null
cp "$win64/qvserver.exe" "$server/QVServer.exe"
printf 'gamedata = C:\\Helmsman\r\n' >"$server/qvserver.ini"
"$tools/helmsman-settings" --home "$folder" \
  "txtQVServerexePath=$(winpath "$server/QVServer.exe")" \
  "txtQVServercfgPath=$(winpath "$server/Accts/MultiPlayer/QVServer.cfg")" \
  "txtQVServerWindowName=$title" chkRunHELMUnattended=1 >/dev/null

# 3. The console from its program folder, as the read-me says (the folder is its own).
status=0
(cd "$folder" && exec wine helmsman.exe --headless --run-for 10) >"$work/out" 2>&1 ||
  status=$?
tr -d '\r' <"$work/out" >"$work/out.lf"
[ $status -eq 0 ] || fail "helmsman.exe ended with status $status: $(tail -n 5 "$work/out.lf")"
grep -q ': Playerlist generation complete$' "$work/out.lf" ||
  fail "no player list: $(tail -n 5 "$work/out.lf")"
grep -q ': Helmsman loaded successfully and good to go!$' "$work/out.lf" ||
  fail "start-up did not reach good to go: $(tail -n 5 "$work/out.lf")"
grep -q '^\[helmsman\] shutting down: --run-for time is up$' "$work/out.lf" ||
  fail "no shut-down at the end of --run-for: $(tail -n 5 "$work/out.lf")"
version=$(wine "$folder/helmsman.exe" --version | tr -d '\r' | head -n 1)
[[ "$(basename "$zip")" == "helmsman-${version##* }-win64.zip" ]] ||
  fail "named $(basename "$zip"), helmsman.exe says \"$version\""
echo "zip: $(basename "$zip"): release files only, good to go from a fresh Wine prefix"

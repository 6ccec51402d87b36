#!/usr/bin/env bash
# Runs every check of the Windows build (tests/wine/check_*.sh) under Wine inside Xvfb, in a
# fresh Wine prefix, one line or more per check, and fails when any check fails. The
# programs come from the Windows builds (64-bit programs run; the 32-bit build's DLLs are
# only read), the reference results from the POSIX test build.
#
#   tests/wine/run_checks.sh [POSIX_BIN WIN64_BIN WIN32_BIN]
#
# Defaults: build/test/bin, build/win64/bin and build/win32/bin of the repository.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)

if [ -z "${DISPLAY:-}" ]; then
  # One X server for every check; Wine's windows need one even when nobody looks.
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

export SOURCE=$root
export POSIX_BIN=${1:-$root/build/test/bin}
export WIN64_BIN=${2:-$root/build/win64/bin}
export WIN32_BIN=${3:-$root/build/win32/bin}
export WINEPREFIX=$root/build/wine-prefix
export WINEDEBUG=-all
# No prompt to install Wine's .NET and HTML engines into the new prefix.
export WINEDLLOVERRIDES="mscoree,mshtml="

stop_wine() { wineserver -k 2>/dev/null || true; }
trap stop_wine EXIT

rm -rf "$WINEPREFIX"
started=$SECONDS
wineboot -i >/dev/null 2>&1
# Xvfb runs no window manager, and Wine's X11 driver then waits up to 2 s whenever it hides a
# managed window: a dialog closed by a program would linger past QVAdmin's waits.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
echo "wine prefix made in $((SECONDS - started)) s ($(wine --version))"

failed=()
for check in "$root"/tests/wine/check_*.sh; do
  name=$(basename "$check" .sh)
  name=${name#check_}
  work=$(mktemp -d "/tmp/helmsman-wine-$name.XXXXXX")
  started=$SECONDS
  if WORK=$work timeout 300 bash "$check" 2>"$work.stderr"; then
    echo "wine $name: passed in $((SECONDS - started)) s"
    rm -rf "$work" "$work.stderr"
  else
    echo "wine $name: FAILED after $((SECONDS - started)) s; its files are in $work"
    tail -n 20 "$work.stderr" | sed 's/^/  /'
    failed+=("$name")
  fi
  stop_wine
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "Wine checks failed: ${failed[*]}" >&2
  exit 1
fi

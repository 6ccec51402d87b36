#!/usr/bin/env bash
# The Windows desktop backend over user32: another process's windows as QVAdmin meets the game
# server's (tab order, class names, list rows through the wide message in the code page, edit
# texts both ways, the menu bar and a posted menu command, minimise and restore, a hung owner
# given up on after the send time-out, the quit message), the calling thread's own messages,
# and the shared sections of the desktop folder.
set -euo pipefail
out=$(wine "$WIN64_BIN/desktop_wine_check.exe" "Z:${WORK//\//\\}" | tr -d '\r')
echo "$out"
[[ "$out" == *"desktop: all checks held"* ]]

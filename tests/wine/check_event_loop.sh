#!/usr/bin/env bash
# The Win32 backend of the platform's event loop, checked by a program of its own under Wine.
set -euo pipefail
if wine "$WIN64_BIN/event_loop_wine_check.exe" >"$WORK/out.txt"; then
  echo "event loop: timers on the message queue repeat until removed, Quit before Run," \
       "a callback that pumps messages sees the other timers fire and is not entered again;" \
       "tasks posted from a second thread run on the loop's thread in order, none inside" \
       "a task that pumps, and a poster that is gone refuses posts"
else
  tr -d '\r' <"$WORK/out.txt"
  exit 1
fi

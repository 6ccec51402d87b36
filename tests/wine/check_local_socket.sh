#!/usr/bin/env bash
# The named-pipe backend of the platform's local sockets, checked by a program of its own.
set -euo pipefail
if wine "$WIN64_BIN/local_socket_wine_check.exe" >"$WORK/out.txt"; then
  echo "local sockets: named pipes talk both ways, one listener per name, a foreign user" \
       "refused, a peer that stops reading bounded, a killed listener's pipe gone, timers"
else
  tr -d '\r' <"$WORK/out.txt"
  exit 1
fi

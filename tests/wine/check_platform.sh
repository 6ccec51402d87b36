#!/usr/bin/env bash
# The Windows backends of the platform layer, checked by a program of their own under Wine.
set -euo pipefail
if wine "$WIN64_BIN/platform_wine_check.exe" "Z:${WORK//\//\\}" >"$WORK/out.txt"; then
  echo "platform: files, folders, the current folder, absolute paths, short paths, documents" \
       "folder, regional texts, clock, libraries, program starts, detached scripts, control" \
       "events and PBKDF2 as expected"
else
  tr -d '\r' <"$WORK/out.txt"
  exit 1
fi

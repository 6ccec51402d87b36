#!/usr/bin/env bash
# The Windows batch form of the statistics script, run by Wine's command interpreter with the
# tool, the header and the footer in folders whose names hold a blank.
set -euo pipefail
if wine "$WIN64_BIN/statistics_wine_check.exe" "Z:${WORK//\//\\}" >"$WORK/out.txt"; then
  echo "statistics: the batch script runs a tool in a folder with a blank and puts header," \
       "rows and footer together"
else
  tr -d '\r' <"$WORK/out.txt"
  exit 1
fi

#!/usr/bin/env bash
# QVAdmin.dll, loaded by file name, against the Win32 substitute server under Wine: the binding
# and the busy flag shared with another process, start, list online, chat (chat.log), kick,
# ban and unban (the account's "banned" file appears and goes), stop, and a crashed server as
# QVAdmin reports it.
set -euo pipefail

server=$WORK/server
root=$server/Accts/MultiPlayer
winpath() { printf 'Z:%s' "${1//\//\\}"; }
export QVSERVER_ERROR_LOG=$(winpath "$WORK/qv-server-errors.log")

mkdir -p "$server"
cp "$WIN64_BIN/qvserver.exe" "$server/qvserver.exe"
"$POSIX_BIN/qvdemo" accounts --seed 2026 --accounts 4 --characters 1 --root "$root" >/dev/null
# A character of an account that is not banned.
for folder in "$root"/*/; do
  if ! ls "$folder" | grep -qi '^banned$'; then
    name=$(tr -d '\r\n' <"$folder/name")
    account=${folder%/}
    break
  fi
done

wine "$WIN64_BIN/qvadmin_wine_check.exe" "$(winpath "$server")" "QVServer Wine QVAdmin" \
  "$name" "$(winpath "$account")" | tr -d '\r'

#!/usr/bin/env bash
# QVAdmin.dll, loaded by file name, against the Win32 substitute server under Wine: the binding
# and the busy flag shared with another process, start, list online, chat (chat.log), kick,
# ban and unban (the account's "banned" file appears and goes), kickonline and banonline by
# the player ID of the listed row, stop, and a crashed server as QVAdmin reports it.
set -euo pipefail

source "$(dirname "$0")/common.sh"
make_server_folder 4 1

wine "$WIN64_BIN/qvadmin_wine_check.exe" "$(winpath "$server")" "QVServer Wine QVAdmin" \
  "$name" "$(winpath "$account")" | tr -d '\r'

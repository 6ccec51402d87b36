#!/usr/bin/env bash
# The Win32 substitute server under Wine: qvserver.exe on a small universe made by the POSIX
# qvdemo, driven by qvserver-ctl.exe (status, join, leave, hang, crash, quit) and, from
# another process, by QVAdmin's console automation through the platform layer's user32
# desktop (qvserver_wine_probe.exe: console class, menu bar, list, chat, ban).
set -euo pipefail

title="QVServer Wine Check"
source "$(dirname "$0")/common.sh"
make_server_folder 6 2

fail() {
  echo "qvserver: $*" >&2
  exit 1
}
ctl() { wine "$WIN64_BIN/qvserver-ctl.exe" --title "$title" "$@" 2>>"$WORK/ctl.stderr" | tr -d '\r'; }
# ctl_status COMMAND...: the exit status alone.
ctl_status() {
  local status=0
  wine "$WIN64_BIN/qvserver-ctl.exe" --title "$title" "$@" >/dev/null 2>>"$WORK/ctl.stderr" ||
    status=$?
  echo "$status"
}
# start_server [OPTION...]
start_server() {
  (cd "$server" && exec wine qvserver.exe --title $title --seed 3 "$@" /c) &
  server_pid=$!
  for _ in $(seq 1 40); do
    [ "$(ctl_status status)" = 0 ] && return 0
    sleep 0.5
  done
  fail "the server did not come up"
}
# wait_end: sets end_status to the server's exit status once it has ended (within 10 s).
wait_end() {
  for _ in $(seq 1 40); do
    if ! kill -0 "$server_pid" 2>/dev/null; then
      end_status=0
      wait "$server_pid" || end_status=$?
      return 0
    fi
    sleep 0.25
  done
  fail "the server did not end"
}

start_server --save-interval 2
status=$(ctl status)
grep -qx "state running" <<<"$status" || fail "status: $status"
grep -qx "characters 12" <<<"$status" || fail "status: $status"
[ "$(ctl join "$name")" = "$name joined" ] || fail "join $name"
[ "$(ctl_status join "$name")" = 1 ] || fail "a second join of $name was not refused"
[ "$(ctl online)" = "$name" ] || fail "online: $(ctl online)"
other=$(ctl join | sed 's/ joined$//')
[ "$(ctl leave "$other")" = "$other left" ] || fail "leave $other"
echo "qvserver-ctl: status, join, a second join refused, online, leave"

wine "$WIN64_BIN/qvserver_wine_probe.exe" console "$title" "$name" "$(winpath "$account")" |
  tr -d '\r' >"$WORK/probe.txt" || { cat "$WORK/probe.txt"; fail "the console probe failed"; }
sed 's/^/  /' "$WORK/probe.txt"
[ -z "$(ctl online)" ] || fail "$name is online after the ban"
[ "$(ctl_status join "$name")" = 1 ] || fail "$name could join after the ban"
saves=$(tr -d '\r' <"$server/qvserver.log" | grep -c " saved $name: " || true)
[ "$saves" -ge 3 ] || fail "$name was saved $saves times while online, every 2 s"
grep -q " Universe: wine line one"$'\r'"$" "$server/chat.log" &&
  grep -q " Universe: wine line two"$'\r'"$" "$server/chat.log" || fail "chat.log: $(cat "$server/chat.log")"
echo "ban and chat: $name kicked and refused, two chat lines in chat.log; saved $saves times"

[ "$(ctl crash)" = crashed ] || fail "crash"
grep -qx "state crashed" <<<"$(ctl status)" || fail "status after the crash"
[ "$(ctl_status join)" = 1 ] || fail "a join after the crash was not refused"
wine "$WIN64_BIN/qvserver_wine_probe.exe" failure "$title" | tr -d '\r' | sed 's/^/  /'
grep -q ": Quorvane-Server failure: a crash was requested" "$WORK/qv-server-errors.log" ||
  fail "no crash line in the error log"
ctl quit >/dev/null
wait_end
[ "$end_status" = 1 ] || fail "the crashed server ended with exit status $end_status, not 1"
echo "crash: failure dialog, error log line, quit ends it with exit status 1"

# A hung server does not hang the client; the quit message saves and ends with 0.
start_server
ctl join "$name" >/dev/null || true  # banned: refused
ctl join >/dev/null
ctl hang 7 >/dev/null
started=$SECONDS
[ "$(ctl_status status)" = 3 ] || fail "status answered during a hang"
waited=$((SECONDS - started))
[ "$waited" -le 8 ] || fail "the client waited $waited s for a hung server"
sleep 3
[ "$(ctl quit)" = quitting ] || fail "quit"
wait_end
[ "$end_status" = 0 ] || fail "the server ended with exit status $end_status, not 0"
tail -n 2 "$server/qvserver.log" | tr -d '\r' | cut -d' ' -f3- >"$WORK/last.txt"
grep -q "^saved .*: " "$WORK/last.txt" && [ "$(tail -n 1 "$WORK/last.txt")" = ended ] ||
  fail "qvserver.log does not end with a save and \"ended\": $(cat "$WORK/last.txt")"
echo "hang: the client gave up after $waited s with exit status 3; quit saved and ended with 0"

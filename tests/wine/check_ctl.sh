#!/usr/bin/env bash
# helmsman-ctl.exe against helmsman.exe under Wine, over the console's control pipe, on a small
# generated universe with the Win32 substitute server: list and get answer, a player who joins
# is selected and kicked (off the server, the kick in the server log), an unknown control is
# a bad request (exit 2), a follower of the server log gets the kick's line, a second console
# on the same program folder is refused, clients that say nothing or too much are closed while
# the console answers others, and the follower ends with the console (exit 0).
set -euo pipefail

title="QVServer - Version 1.0 Build 11 - QVServer"
seed=47

source "$(dirname "$0")/common.sh"
fail() {
  echo "ctl: $*"
  exit 1
}

run=$WORK/run
"$POSIX_BIN/qvdemo" gamedata --seed $seed --out "$run/prog" >/dev/null
"$POSIX_BIN/qvdemo" accounts --seed $seed --accounts 6 --root "$run/server/Accts/MultiPlayer" \
  --gamedata "$run/prog" --now 2026-03-01 >/dev/null
cp "$WIN64_BIN/qvserver.exe" "$run/server/QVServer.exe"
printf 'gamedata = %s\r\n' "$(winpath "$run/prog")" >"$run/server/qvserver.ini"
"$POSIX_BIN/helmsman-settings" --home "$run/prog" \
  "txtQVServerexePath=$(winpath "$run/server/QVServer.exe")" \
  "txtQVServercfgPath=$(winpath "$run/server/Accts/MultiPlayer/QVServer.cfg")" \
  "txtQVServerWindowName=$title" chkRunHELMUnattended=1 >/dev/null
kicked=$(plain_unbanned_name "$run/server/Accts/MultiPlayer")
[ -n "$kicked" ] || fail "no plain name without a ban in the universe"

home=$(winpath "$run/prog")
# helmsman-ctl.exe on the console's folder: its output without CRs in $WORK/out, its exit
# code in $ctl_status.
hctl() {
  ctl_status=0
  wine "$WIN64_BIN/helmsman-ctl.exe" --home "$home" "$@" >"$WORK/hctl.out" \
    2>"$WORK/hctl.err" || ctl_status=$?
  tr -d '\r' <"$WORK/hctl.out" >"$WORK/out"
}
qvctl() {
  wine "$WIN64_BIN/qvserver-ctl.exe" --title "$title" "$@" 2>>"$WORK/qvctl.stderr" | tr -d '\r'
}

# The console ends with SIGINT (stop_console); --run-for is a backstop.
cleanup() {
  [ -z "${follower_pid:-}" ] || kill "$follower_pid" 2>/dev/null || true
  kill -0 "${console_pid:-0}" 2>/dev/null && stop_console
  [ -n "${server_quit:-}" ] || qvctl quit >/dev/null 2>&1 || true
}
trap cleanup EXIT
started=$SECONDS
wine "$WIN64_BIN/helmsman.exe" --headless --run-for 85 --home "$home" \
  >"$WORK/console.out" 2>"$WORK/console.err" &
console_pid=$!
await_good_to_go
grep -q "helmsman-ctl cannot reach" "$WORK/console.err" &&
  fail "the console has no control pipe: $(tr -d '\r' <"$WORK/console.err" | tail -n 2)"
go_seconds=$((SECONDS - started))

hctl list
grep -q '^cmdKickPlayer ' "$WORK/out" || fail "list: $(head -c 300 "$WORK/out")"
[ "$ctl_status" = 0 ] || fail "list ended with $ctl_status"
hctl get cmdNoSuchButton
[ "$ctl_status" = 2 ] || fail "get of an unknown control ended with $ctl_status, not 2"

# The server log followed from here on, by a client that runs until the console ends.
wine "$WIN64_BIN/helmsman-ctl.exe" --home "$home" log --follow server >"$WORK/follow.out" \
  2>"$WORK/follow.err" &
follower_pid=$!

[ "$(qvctl join "$kicked")" = "$kicked joined" ] || fail "join $kicked"
hctl click cmdUpdatePlayersOnline
for _ in $(seq 40); do
  hctl get lstPlayersOnline
  grep -q "$kicked" "$WORK/out" && break
  sleep 0.25
done
grep -q "$kicked" "$WORK/out" || fail "$kicked is not in lstPlayersOnline: $(head -c 300 "$WORK/out")"
hctl select lstPlayersOnline "=$kicked"
[ "$ctl_status" = 0 ] || fail "select =$kicked ended with $ctl_status: $(cat "$WORK/hctl.err")"
hctl click cmdKickPlayer --answer ok
grep -q "Kick player $kicked? -> OK" "$WORK/out" ||
  fail "the kick: $(cat "$WORK/out" "$WORK/hctl.err")"
[ -z "$(qvctl online)" ] || fail "$kicked is still on the server: $(qvctl online)"
hctl log server
grep -q ": Player $kicked kicked by helmsman$" "$WORK/out" ||
  fail "no kick line in the server log: $(tail -c 300 "$WORK/out")"

# A second console on the same program folder is refused and ends.
second_status=0
wine "$WIN64_BIN/helmsman.exe" --headless --no --home "$home" >/dev/null 2>"$WORK/second.err" ||
  second_status=$?
[ "$second_status" = 1 ] && grep -q "another console is already running on the program folder" \
  "$WORK/second.err" || fail "a second console: $second_status $(tr -d '\r' <"$WORK/second.err")"
hctl status
grep -q '^status: ' "$WORK/out" || fail "status after the second console: $(cat "$WORK/hctl.err")"

# The bounds: a request too large and a silent client are closed; status is answered meanwhile.
wine "$WIN64_BIN/ctl_wine_probe.exe" "$home" >"$WORK/probe.out" ||
  fail "the bounds: $(tr -d '\r' <"$WORK/probe.out" | tr '\n' ';')"
work_seconds=$((SECONDS - started - go_seconds))

# The end: the follower has the kick's line and ends with the console, exit code 0.
stop_console
[ "$console_status" = 0 ] || fail "the console ended with status $console_status"
for _ in $(seq 100); do
  kill -0 "$follower_pid" 2>/dev/null || break
  sleep 0.1
done
follower_status=0
wait "$follower_pid" || follower_status=$?
follower_pid=
[ "$follower_status" = 0 ] || fail "log --follow ended with $follower_status: $(cat "$WORK/follow.err")"
tr -d '\r' <"$WORK/follow.out" | grep -q ": Player $kicked kicked by helmsman$" ||
  fail "the follower did not get the kick: $(tail -c 300 "$WORK/follow.out")"
server_quit=1
[ "$(qvctl quit)" = quitting ] || fail "the server was not running after the console's end"
timeout 20 wineserver -w || fail "Wine's processes did not all end"

echo "ctl: helmsman-ctl.exe against helmsman.exe under Wine (good to go in ${go_seconds} s):" \
  "list, get (unknown: exit 2), $kicked selected and kicked off the server, a second console" \
  "refused, a too-large request and a silent client closed while status is answered" \
  "(${work_seconds} s); log --follow got the kick and ended with the console"

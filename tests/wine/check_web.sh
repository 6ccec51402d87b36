#!/usr/bin/env bash
# The web console of helmsman.exe under Wine: --headless --web 127.0.0.1:PORT on a small
# generated universe against the Win32 substitute server, driven from the Linux side with curl
# as a browser would: the first start's admin password read from its file, a login (session
# cookie and CSRF token), a second console on the same port refused, a player who joins seen
# in /api/online, kicked through /api/steps (gone from the server, the kick in the server
# log, the journal naming web:admin, both also in the admin's event stream); another banned
# and unbanned the same way (the server refuses, then lets them join); a POST without a
# session refused with 401, without the CSRF token and by a viewer (made with the POSIX
# helmsman-ctl web-user add in the console's folder) with 403, and neither changes anything.
# Last, Ctrl+C (SIGINT) ends the console through the normal shut-down, its web server stops
# listening, and once the server is told to quit nothing of Wine is left running.
set -euo pipefail

title="QVServer - Version 1.0 Build 11 - QVServer"
seed=31

source "$(dirname "$0")/common.sh"
fail() {
  echo "web: $*"
  exit 1
}

# The console's folder and a server folder over 8 generated accounts.
run=$WORK/run
"$POSIX_BIN/qvdemo" gamedata --seed $seed --out "$run/prog" >/dev/null
"$POSIX_BIN/qvdemo" accounts --seed $seed --accounts 8 --root "$run/server/Accts/MultiPlayer" \
  --gamedata "$run/prog" --now 2026-03-01 >/dev/null
cp "$WIN64_BIN/qvserver.exe" "$run/server/QVServer.exe"
printf 'gamedata = %s\r\n' "$(winpath "$run/prog")" >"$run/server/qvserver.ini"
"$POSIX_BIN/helmsman-settings" --home "$run/prog" \
  "txtQVServerexePath=$(winpath "$run/server/QVServer.exe")" \
  "txtQVServercfgPath=$(winpath "$run/server/Accts/MultiPlayer/QVServer.cfg")" \
  "txtQVServerWindowName=$title" chkRunHELMUnattended=1 >/dev/null
# Two players of accounts without a ban, with plain names (they go into JSON and patterns).
players=()
for folder in "$run"/server/Accts/MultiPlayer/*/; do
  ls "$folder" | grep -qi '^banned$' && continue
  candidate=$(tr -d '\r\n' <"$folder/name")
  [[ $candidate =~ ^[A-Za-z0-9_]+$ ]] && players+=("$candidate")
done
[ ${#players[@]} -ge 2 ] || fail "fewer than two plain names in the universe: ${players[*]}"
kicked=${players[0]}
banned=${players[1]}

# A port nobody listens on.
listening() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
for _ in $(seq 20); do
  port=$((20000 + RANDOM % 20000))
  listening $port || break
done
base=http://127.0.0.1:$port

ctl() {
  wine "$WIN64_BIN/qvserver-ctl.exe" --title "$title" "$@" 2>>"$WORK/ctl.stderr" | tr -d '\r'
}
ctl_status() {
  local status=0
  wine "$WIN64_BIN/qvserver-ctl.exe" --title "$title" "$@" >/dev/null 2>>"$WORK/ctl.stderr" ||
    status=$?
  echo "$status"
}

# The console runs until the end of the check, which ends it as Ctrl+C does (stop_console);
# --run-for is only a backstop. A failed check ends the console the same way, and the server
# it started is told to quit.
cleanup() {
  [ -z "${events_pid:-}" ] || kill "$events_pid" 2>/dev/null || true
  kill -0 "${console_pid:-0}" 2>/dev/null && stop_console
  [ -n "${server_quit:-}" ] || ctl quit >/dev/null 2>&1 || true
}
trap cleanup EXIT
started=$SECONDS
wine "$WIN64_BIN/helmsman.exe" --headless --run-for 85 --web 127.0.0.1:$port \
  --home "$(winpath "$run/prog")" >"$WORK/console.out" 2>"$WORK/console.err" &
console_pid=$!
await_good_to_go
grep -q "the web console listens on 127.0.0.1 port $port" "$WORK/console.err" ||
  fail "the web console does not listen: $(tail -n 3 "$WORK/console.err")"
go_seconds=$((SECONDS - started))

# The first user: admin, its password shown on standard error and kept in the program folder.
password=$(tr -d '\r\n' <"$run/prog/HelmsmanWebAdminPassword.txt")
[ -n "$password" ] || fail "no admin password in HelmsmanWebAdminPassword.txt"
grep -q "first user is \"admin\" with the password $password " "$WORK/console.err" ||
  fail "the password in the file is not the one shown"

# request JAR TOKEN METHOD PATH [BODY]: prints the HTTP status; the reply is in $WORK/reply.
request() {
  local jar=$1 token=$2 method=$3 path=$4 body=${5:-}
  local args=(-s -o "$WORK/reply" -w '%{http_code}' --max-time 70 -X "$method"
              -b "$jar" -c "$jar")
  [ -z "$token" ] || args+=(-H "X-CSRF-Token: $token")
  [ -z "$body" ] || args+=(-H 'Content-Type: application/json' --data "$body")
  curl "${args[@]}" "$base$path" || echo "curl failed ($?)"
}
expect() {  # expect STATUS WHAT: the last request's status was STATUS
  [ "$1" = "$status" ] || fail "$2: status $status instead of $1: $(head -c 300 "$WORK/reply")"
}
login() {  # login JAR USER PASSWORD: sets csrf to the session's CSRF token
  status=$(request "$1" "" POST /api/login "{\"user\":\"$2\",\"password\":\"$3\"}")
  expect 200 "the login of $2"
  csrf=$(sed -n 's/.*"csrf_token":"\([^"]*\)".*/\1/p' "$WORK/reply")
  [ -n "$csrf" ] || fail "the login of $2 gave no CSRF token: $(cat "$WORK/reply")"
}
steps() {  # steps LIST ROW BUTTON: select ROW (=NAME) of LIST, then click BUTTON answering OK
  printf '{"steps":[{"verb":"select","name":"%s","value":"=%s"},' "$1" "$2"
  printf '{"verb":"click","name":"%s","answers":["ok"]}]}' "$3"
}
online() {  # whether GET /api/online lists $1
  status=$(request "$admin" "$token" GET /api/online)
  expect 200 "GET /api/online"
  grep -q "\"name\":\"$1\"" "$WORK/reply"
}
server_log_has() {
  status=$(request "$admin" "$token" GET /api/logs/server)
  expect 200 "GET /api/logs/server"
  grep -q "$1" "$WORK/reply"
}

admin=$WORK/admin.jar
login "$admin" admin "$password"
token=$csrf
status=$(request "$admin" "" GET /api/session)
expect 200 "GET /api/session"
grep -q '"role":"admin"' "$WORK/reply" || fail "session: $(cat "$WORK/reply")"

# A second console on the same port (an empty folder: its start-up gives up at once) is told
# the port is in use, and takes nothing over from the first.
mkdir "$WORK/second"
wine "$WIN64_BIN/helmsman.exe" --headless --no --web 127.0.0.1:$port \
  --home "$(winpath "$WORK/second")" >/dev/null 2>"$WORK/second.err" || true
grep -q "the web console cannot start: cannot listen on \"127.0.0.1:$port\"" "$WORK/second.err" ||
  fail "a second console on port $port: $(tr -d '\r' <"$WORK/second.err" | tail -n 2)"
status=$(request "$admin" "" GET /api/session)
expect 200 "GET /api/session after a second console's start"

# A viewer, made by the POSIX helmsman-ctl in the running console's folder.
echo "viewer-pass-31" | "$POSIX_BIN/helmsman-ctl" --home "$run/prog" web-user add watcher viewer \
  >/dev/null || fail "helmsman-ctl web-user add failed"
viewer=$WORK/viewer.jar
login "$viewer" watcher viewer-pass-31
viewer_token=$csrf

# The admin's event stream, read until the kick below has come through it.
curl -s -N -b "$admin" --max-time 60 "$base/api/events" >"$WORK/events" 2>/dev/null &
events_pid=$!

# A player joins; the console's list of players online shows them after an update.
[ "$(ctl join "$kicked")" = "$kicked joined" ] || fail "join $kicked"
status=$(request "$admin" "$token" POST /api/controls/cmdUpdatePlayersOnline/click)
expect 200 "click cmdUpdatePlayersOnline"
for _ in $(seq 40); do
  online "$kicked" && break
  sleep 0.25
done
online "$kicked" || fail "$kicked is not in /api/online: $(cat "$WORK/reply")"

# Refusals, none of which acts: no session, no CSRF token, a viewer.
kick=$(steps lstPlayersOnline "$kicked" cmdKickPlayer)
status=$(request "$WORK/nobody.jar" "" POST /api/steps "$kick")
expect 401 "an anonymous kick"
status=$(request "$admin" "" POST /api/steps "$kick")
expect 403 "a kick without the CSRF token"
status=$(request "$viewer" "$viewer_token" POST /api/steps "$kick")
expect 403 "a viewer's kick"
ban=$(steps lstPlayers "$banned" cmdBanToggle)
status=$(request "$viewer" "$viewer_token" POST /api/steps "$ban")
expect 403 "a viewer's ban"
[ "$(ctl online)" = "$kicked" ] || fail "the refused requests changed who is online: $(ctl online)"
online "$kicked" || fail "the refused requests took $kicked off the console's list"
server_log_has "Player $kicked kicked" && fail "a refused kick is in the server log"
status=$(request "$admin" "$token" GET /api/banned)
grep -q "\"name\":\"$banned\"" "$WORK/reply" && fail "a viewer's ban went through"

# The kick: the server no longer has the player, the log and the journal say who did it.
status=$(request "$admin" "$token" POST /api/steps "$kick")
expect 200 "the kick"
grep -q "Kick player $kicked?" "$WORK/reply" || fail "the kick's question: $(cat "$WORK/reply")"
[ -z "$(ctl online)" ] || fail "$kicked is still on the server: $(ctl online)"
online "$kicked" && fail "$kicked is still in /api/online"
server_log_has ": Player $kicked kicked by helmsman\"" ||
  fail "no kick line in the server log: $(tail -c 300 "$WORK/reply")"
grep '"action":"kick"' "$run/prog/HelmsmanJournal.jsonl" | grep -q '"actor":"web:admin"' ||
  fail "the journal does not name web:admin for the kick"
for _ in $(seq 50); do
  grep -q "^data: .*\"action\":\"kick\"" "$WORK/events" && break
  sleep 0.1
done
grep -q '^event: state$' "$WORK/events" && grep -q '^event: online$' "$WORK/events" ||
  fail "the event stream did not begin with the state: $(head -c 300 "$WORK/events")"
grep -A1 '^event: log$' "$WORK/events" | grep -q "^data: .*: Player $kicked kicked by helmsman\"" ||
  fail "the kick's log line did not come through the event stream"
grep -A1 '^event: journal$' "$WORK/events" | grep -q '^data: .*"action":"kick"' ||
  fail "the kick's journal entry did not come through the event stream"
kill "$events_pid" 2>/dev/null || true
wait "$events_pid" 2>/dev/null || true
events_pid=

# A ban and an unban of a player not online: the server refuses them, then lets them in.
status=$(request "$admin" "$token" POST /api/steps "$ban")
expect 200 "the ban"
server_log_has ": Player $banned banned by helmsman\"" || fail "no ban line in the server log"
status=$(request "$admin" "$token" GET /api/banned)
grep -q "\"name\":\"$banned\"" "$WORK/reply" ||
  fail "$banned not in /api/banned: $(cat "$WORK/reply")"
[ "$(ctl_status join "$banned")" = 1 ] || fail "the server let $banned join after the ban"
status=$(request "$admin" "$token" POST /api/steps \
  "$(steps lstBannedPlayers "$banned" cmdUnbanPlayer)")
expect 200 "the unban"
server_log_has ": Player $banned unbanned by helmsman\"" || fail "no unban line in the server log"
status=$(request "$admin" "$token" GET /api/banned)
grep -q "\"name\":\"$banned\"" "$WORK/reply" && fail "$banned still in /api/banned"
[ "$(ctl join "$banned")" = "$banned joined" ] || fail "$banned could not join after the unban"
ctl leave "$banned" >/dev/null
work_seconds=$((SECONDS - started - go_seconds))

# The end: Ctrl+C (SIGINT), the shut-down, no more web console; the server quits when told to.
stop_console
[ "$console_status" = 0 ] || fail "the console ended with status $console_status"
tr -d '\r' <"$WORK/console.out" | grep -q '^\[helmsman\] shutting down: SIGINT$' ||
  fail "Ctrl+C did not end the run: $(tail -n 2 "$WORK/console.out")"
! listening $port || fail "port $port still listens after the console's end"
server_quit=1
[ "$(ctl quit)" = quitting ] || fail "the server was not running after the console's end"
timeout 20 wineserver -w || fail "Wine's processes did not all end"

echo "web: helmsman.exe --web under Wine good to go in ${go_seconds} s; admin logged in with" \
  "the first start's password, a second console's port in use, $kicked kicked through" \
  "/api/steps (off the server, in the server log and the event stream, journaled as" \
  "web:admin), $banned banned" \
  "and unbanned (refused, then let in); anonymous 401, no CSRF token and a viewer 403 and" \
  "nothing changed (${work_seconds} s);" \
  "Ctrl+C ended the console and its web server, nothing left running"

#!/usr/bin/env bash
# The web console of helmsman.exe under Wine, in Linux's chromium: helmsman.exe --headless
# --web 127.0.0.1:PORT over a small generated universe against the Win32 substitute server; a
# player joins, and tests/web_browser_test.py --mode kick logs in to the console as the first
# admin from the browser, sees the player on the "Online" page (the console's own players
# online update, every 5 seconds), kicks them with the row's button and sees them gone from the
# server (qvserver-ctl.exe online), then logs out. Without chromium, chromedriver or Debian's
# python3-selenium the check says so and passes. Ctrl+C (SIGINT) ends the console; the server
# is told to quit, and nothing of Wine is left running.
set -euo pipefail

title="QVServer - Version 1.0 Build 11 - QVServer"
seed=37

source "$(dirname "$0")/common.sh"
fail() {
  echo "web browser: $*"
  exit 1
}
python=/usr/bin/python3
[ -x $python ] || python=python3

run=$WORK/run
"$POSIX_BIN/qvdemo" gamedata --seed $seed --out "$run/prog" >/dev/null
"$POSIX_BIN/qvdemo" accounts --seed $seed --accounts 6 --root "$run/server/Accts/MultiPlayer" \
  --gamedata "$run/prog" --now 2026-03-01 >/dev/null
cp "$WIN64_BIN/qvserver.exe" "$run/server/QVServer.exe"
printf 'gamedata = %s\r\n' "$(winpath "$run/prog")" >"$run/server/qvserver.ini"
"$POSIX_BIN/helmsman-settings" --home "$run/prog" \
  "txtQVServerexePath=$(winpath "$run/server/QVServer.exe")" \
  "txtQVServercfgPath=$(winpath "$run/server/Accts/MultiPlayer/QVServer.cfg")" \
  "txtQVServerWindowName=$title" chkRunHELMUnattended=1 \
  chkAutoUpdatePlayersOnline=1 vscAutoUpdateInterval=5 >/dev/null
# A player of an account without a ban, with a plain name (it goes into a CSS selector).
player=$(plain_unbanned_name "$run/server/Accts/MultiPlayer")
[ -n "$player" ] || fail "no plain name in the universe"

listening() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
for _ in $(seq 20); do
  port=$((20000 + RANDOM % 20000))
  listening $port || break
done

ctl() {
  wine "$WIN64_BIN/qvserver-ctl.exe" --title "$title" "$@" 2>>"$WORK/ctl.stderr" | tr -d '\r'
}
# What the browser test runs to see who is on the server.
printf '#!/usr/bin/env bash\nwine "%s" --title "%s" online 2>/dev/null | tr -d "\\r"\n' \
  "$WIN64_BIN/qvserver-ctl.exe" "$title" >"$WORK/online.sh"
chmod +x "$WORK/online.sh"

cleanup() {
  kill -0 "${console_pid:-0}" 2>/dev/null && stop_console
  [ -n "${server_quit:-}" ] || ctl quit >/dev/null 2>&1 || true
}
trap cleanup EXIT
started=$SECONDS
wine "$WIN64_BIN/helmsman.exe" --headless --run-for 110 --web 127.0.0.1:$port \
  --home "$(winpath "$run/prog")" >"$WORK/console.out" 2>"$WORK/console.err" &
console_pid=$!
await_good_to_go
grep -q "the web console listens on 127.0.0.1 port $port" "$WORK/console.err" ||
  fail "the web console does not listen: $(tail -n 3 "$WORK/console.err")"
go_seconds=$((SECONDS - started))

[ "$(ctl join "$player")" = "$player joined" ] || fail "join $player"
outcome=0
$python "$SOURCE/tests/web_browser_test.py" --mode kick --url "http://127.0.0.1:$port" \
  --password-file "$run/prog/HelmsmanWebAdminPassword.txt" --player "$player" \
  --online-command "$WORK/online.sh" >"$WORK/browser.out" 2>&1 || outcome=$?
browser_seconds=$((SECONDS - started - go_seconds))
if [ $outcome = 77 ]; then
  echo "web browser: skipped: $(tail -n 1 "$WORK/browser.out")"
  ctl leave "$player" >/dev/null
elif [ $outcome != 0 ]; then
  fail "the browser test failed: $(tail -n 5 "$WORK/browser.out")"
fi
[ -z "$(ctl online)" ] || fail "$player is still on the server: $(ctl online)"

stop_console
[ "$console_status" = 0 ] || fail "the console ended with status $console_status"
! listening $port || fail "port $port still listens after the console's end"
server_quit=1
[ "$(ctl quit)" = quitting ] || fail "the server was not running after the console's end"
timeout 20 wineserver -w || fail "Wine's processes did not all end"

[ $outcome = 77 ] && exit 0
echo "web browser: helmsman.exe --web under Wine good to go in ${go_seconds} s; in chromium" \
  "the admin logged in, saw $player on Online and kicked them off the Win32 server" \
  "(${browser_seconds} s); Ctrl+C ended the console, nothing left running"

#!/usr/bin/env bash
# The demo: the console running a substitute game server on an invented universe.
#
#   tools/demo.sh BIN_DIR DEMO_DIR [helmsman options...]
#
# BIN_DIR holds the built programs (helmsman, helmsman-ctl, helmsman-settings, qvdemo, qvserver,
# qvserver-ctl, libqvadmin.so, libqvcodec.so, libsimdesk.so). Everything goes to DEMO_DIR:
#   DEMO_DIR/helmsman                  the console's program folder: GAMEDATA_ files, settings,
#                                      player list, saved logs
#   DEMO_DIR/server                    the server directory: QVServer.exe (the substitute
#                                      qvserver), qvserver.ini, chat.log, qvserver.log
#   DEMO_DIR/server/Accts/MultiPlayer  the account root: QVServer.cfg and the account folders
#   DEMO_DIR/desktop                   the simulated desktop the console and the server share
# A universe that is already there from the same seed, size and generator is reused, with
# whatever the server did to it in earlier runs. QVDEMO_SEED (default 2026) and
# QVDEMO_ACCOUNTS (default 1000) change the universe.
#
# The settings point the console at the server and let it run unattended: no question at
# start-up, the players-online list updated every 5 seconds, the server checked every 5
# seconds. The console starts the server itself with "start qvserver"; the server's command
# line options make it run on its own (players join, leave, are saved, new characters appear).
# So that the first minutes show everything, a helper brings in a new character about 80
# seconds after the server is up and crashes the server about 30 seconds later; the console
# notices the crash and restarts the server.
#
# The console shows its window when there is a display, else it runs headless and prints
# every log line; extra arguments go to helmsman ("--headless --run-for 150" for a scripted
# check). When the console ends (window closed, Ctrl-C, run-for time up), the demo stops the
# server, which the console itself leaves running.
set -euo pipefail

if [ $# -lt 2 ]; then
  echo "usage: $0 BIN_DIR DEMO_DIR [helmsman options...]" >&2
  exit 2
fi
bin=$(cd "$1" && pwd)
mkdir -p "$2"
demo=$(cd "$2" && pwd)
shift 2
seed=${QVDEMO_SEED:-2026}
accounts=${QVDEMO_ACCOUNTS:-1000}
for tool in helmsman helmsman-ctl helmsman-settings qvdemo qvserver qvserver-ctl; do
  [ -x "$bin/$tool" ] || { echo "demo: $bin/$tool is missing; build first" >&2; exit 1; }
done

program=$demo/helmsman
server=$demo/server
root=$server/Accts/MultiPlayer
stamp=$demo/universe.stamp
export HELMSMAN_DESKTOP=$demo/desktop
export QVSERVER_ERROR_LOG=$demo/qv-server-errors.log
ctl() { "$bin/qvserver-ctl" "$@"; }
say() { echo "== demo: $*" >&2; }

# 1. The universe.
wanted="seed=$seed accounts=$accounts generator=$(sha256sum "$bin/qvdemo" | cut -c1-16)"
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$wanted" ] && [ -d "$program" ] && [ -d "$root" ]; then
  say "reusing the demo universe in $demo ($wanted)"
else
  # Only folders this script made are removed: they come with its stamp.
  if [ ! -f "$stamp" ] && { [ -e "$program" ] || [ -e "$server" ]; }; then
    echo "demo: $demo holds helmsman or server folders this script did not make;" \
         "choose another DEMO_DIR" >&2
    exit 1
  fi
  say "generating the demo universe in $demo (seed $seed, $accounts accounts)"
  echo "incomplete" > "$stamp"
  rm -rf "$program" "$server" "$demo/desktop"
  "$bin/qvdemo" gamedata --seed "$seed" --out "$program"
  "$bin/qvdemo" accounts --seed "$seed" --accounts "$accounts" --root "$root" --gamedata "$program"
  echo "$wanted" > "$stamp"
fi

# 2. The substitute server, installed as the program the console starts. Its catalogue is
# the console's, so that new characters carry only items the console knows.
ln -sfn "$bin/qvserver" "$server/QVServer.exe"
printf 'gamedata = %s\r\n' "$program" > "$server/qvserver.ini"

# 3. The console's settings, as an operator would set them in the window.
"$bin/helmsman-settings" --home "$program" \
  "txtQVServerexePath=$server/QVServer.exe" \
  "txtQVServercfgPath=$root/QVServer.cfg" \
  "txtQVServerWindowName=QVServer - Version 1.0 Build 11 - QVServer" \
  "txtQVServerCommandLineOptions=--autonomous --tick 2500 --seed $seed" \
  chkRunHELMUnattended=1 \
  chkAutoUpdatePlayersOnline=1 vscAutoUpdateInterval=5 \
  chkServerCheckDelay=1 vscServerCheckInterval=5
# A player list file, even an empty one, means the console reads the character files at
# start-up without first asking whether it may (the question of a first run).
if [ ! -f "$program/HelmsmanPlayerList.ini" ]; then
  printf '4.1\r\n' > "$program/HelmsmanPlayerList.ini"
fi

# 4. A server left over from an interrupted run would keep the console from starting its own.
ctl quit >/dev/null 2>&1 || true

# 5. The helper: a new character, then a crash.
helper() {
  for _ in $(seq 300); do
    ctl status >/dev/null 2>&1 && break
    sleep 1
  done
  say "the server is up; a new character arrives in about 80 seconds, a crash 30 seconds later"
  sleep 80
  ctl new >/dev/null 2>&1 && say "a new character has joined the server" || true
  sleep 30
  ctl crash >/dev/null 2>&1 && say "the server has crashed; the console restarts it" || true
}
helper &
helper_pid=$!
cleanup() {
  kill "$helper_pid" 2>/dev/null || true
  wait "$helper_pid" 2>/dev/null || true
  ctl quit >/dev/null 2>&1 && say "server stopped" || true
}
trap cleanup EXIT

# 6. The console.
say "starting the console (logs, player list and settings in $program)"
say "from a second shell, try: $bin/helmsman-ctl --home $program status   (or list, log --follow; see the README's \"Running headless\")"
status=0
"$bin/helmsman" --home "$program" "$@" || status=$?
exit "$status"

#!/usr/bin/env bash
# The demo: the console running a substitute game server on an invented universe.
#
#   tools/demo.sh BIN_DIR DEMO_DIR [helmsman options...]
#
# BIN_DIR holds the built programs (helmsman, helmsman-ctl, helmsman-settings, qvdemo, qvserver,
# qvserver-ctl, qvstat, libqvadmin.so, libqvcodec.so, libsimdesk.so). Everything goes to DEMO_DIR:
#   DEMO_DIR/helmsman                  the console's program folder: GAMEDATA_ files, settings,
#                                      player list, saved logs
#   DEMO_DIR/server                    the server directory: QVServer.exe (the substitute
#                                      qvserver), qvserver.ini, chat.log, qvserver.log
#   DEMO_DIR/server/Accts/MultiPlayer  the account root: QVServer.cfg and the account folders
#   DEMO_DIR/desktop                   the simulated desktop the console and the server share
#   DEMO_DIR/web                       the published pages: online.html, banned.html, stats.html
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
# The web console listens on loopback (port 8470, or a free one when that is taken); the demo
# prints its address and the first start's admin password once it listens.
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
for tool in helmsman helmsman-ctl helmsman-settings helmsman-alert-receiver qvdemo qvserver \
            qvserver-ctl qvstat; do
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
# 3b. Publishing: the online and banned players pages and the statistics page, written to
# DEMO_DIR/web between header and footer files that make a styled table (reloaded by the
# browser every 10 seconds). The statistics tool is qvstat, installed beside the console as
# QVStat.exe with its qvstat.ini naming the account root; it runs every minute.
web=$demo/web
mkdir -p "$web"
page_header() {  # page_header FILE TITLE COLUMN...
  local file=$1 title=$2; shift 2
  {
    printf '<!DOCTYPE html><HTML><HEAD><META CHARSET=windows-1252>'
    printf '<META HTTP-EQUIV=refresh CONTENT=10><TITLE>%s</TITLE><STYLE>' "$title"
    printf 'body{font-family:sans-serif;background:#f4f5fa}table{border-collapse:collapse}'
    printf 'th{background:#223;color:#fff;padding:4px 10px}'
    printf 'td{border:1px solid #99a;padding:4px 10px;background:#fff}td.name{font-weight:bold}'
    printf 'td.rank,td.money,td.kills,td.pos{text-align:right}td.banreason{color:#a00}'
    printf 'tr.Footer td{background:#e8eaf4;font-size:small}tr.active td{background:#dfd}'
    printf 'tr.cheater td.money{color:#c00;font-weight:bold}'
    printf '</STYLE></HEAD><BODY><H1>%s</H1><TABLE><TR>' "$title"
    for column in "$@"; do printf '<TH>%s</TH>' "$column"; done
    printf '</TR>'
  } > "$file"
}
page_header "$web/online_header.htt" "Players online" Name Rank System Ship
page_header "$web/banned_header.htt" "Banned players" Account Name Rank "Banned until" Reason
page_header "$web/stats_header.htt" "Player statistics" "#" Name Rank Money Kills \
  "Time played" "Last seen" System
printf '</TABLE></BODY></HTML>' > "$web/footer.htt"
ln -sfn "$bin/qvstat" "$program/QVStat.exe"
printf 'root = %s\r\n' "$root" > "$program/qvstat.ini"
"$bin/helmsman-settings" --home "$program" \
  chkEnableOnlinePlayerWebOutput=1 \
  "txtOnlinePlayersWebOutputHeaderPath=$web/online_header.htt" \
  "txtOnlinePlayersWebOutputFooterPath=$web/footer.htt" \
  "txtOnlinePlayersWebOutputOutputPath=$web/online.html" \
  chkEnableBannedPlayersWebOutput=1 \
  "txtBannedPlayersWebOutputHeaderPath=$web/banned_header.htt" \
  "txtBannedPlayersWebOutputFooterPath=$web/footer.htt" \
  "txtBannedPlayersWebOutputFilePath=$web/banned.html" \
  vscPlayerBanCheckInterval=1 \
  chkEnableQVStat=1 vscStatsGenerationInterval=1 \
  "txtQVStatExePath=$program/QVStat.exe" \
  "txtQVStatHeaderPath=$web/stats_header.htt" \
  "txtQVStatFooterPath=$web/footer.htt" \
  "txtQVStatOutputPath=$web/stats.html" \
  chkQVStatShowPlayerPOS=1 \
  chkQVStatHighlightPlayersWithinLastNHours=1 vscQVStatHighlightPlayersWithinLastNHours=24 \
  chkQVStatHighlightCheatersSensitivity=1
# 3c. Moderation: every kind of cheat the server logs ends in an announced ban (the server's
# autopilot cheats now and then), and a name filter bans any character whose name holds
# "Griefer" (the helper brings one in).
"$bin/helmsman-settings" --home "$program" \
  chkCheckCheaterLog=1 chkAutoBanShipRelatedCheaters=1 chkAutoBanShipCapacityExceededCheats=1 \
  chkAutoBanEquipmentExceedsShipSpecsCheats=1 chkAutoBanShipOrEquipmentNotSoldOnBaseCheats=1 \
  optPlayerWithBadNamePunishment=1
printf 'Griefer\r\n' > "$program/HelmsmanNameFilterAutoBan.ini"
# 3d. Banners and maintenance: two timed banners in rotation every 5 minutes (the shortest
# interval; the helper has the first shown at once with "Display Now"), and a maintenance
# cycle that restarts the server, prunes non-banned inactive (600 days) and uninterested
# characters and empty account folders; the helper brings it forward to "in 1 minute".
"$bin/helmsman-settings" --home "$program" \
  chkEnableTimedBanners=1 vscBannerDisplayInterval=5 \
  "txtTimedBanner_0=Welcome to the demo universe: trade fair at every ring station today" \
  "txtTimedBanner_1=Pilots: the Tarsis drift is full of rocks, fly with care" \
  chkEnableAutomatedMaintenance=1 chkRestartQVServer=1 \
  optRegionalDateSetting=0 optRegionalTimeSetting=1 \
  chkDeleteNonBannedInactivePlayers=1 vscDaysInactive=600 \
  chkDeleteNonBannedUninterestedPlayers=1 vscMinutesInactive=1 \
  chkDeleteNonBannedEmptyPlayerFolders=1
# A player list file, even an empty one, means the console reads the character files at
# start-up without first asking whether it may (the question of a first run).
if [ ! -f "$program/HelmsmanPlayerList.ini" ]; then
  printf '4.1\r\n' > "$program/HelmsmanPlayerList.ini"
fi

# 3e. Alerts: the console posts its events (the crashes below, the automatic bans, the
# maintenance cycle) as webhooks, in both forms, to a receiver the demo starts on loopback,
# which prints each one as it comes ("== alert: ...").
rm -f "$demo/alerts.port" "$demo/alerts.pid"
{
  "$bin/helmsman-alert-receiver" --port-file "$demo/alerts.port" 2>/dev/null &
  echo $! > "$demo/alerts.pid"
  wait
} | sed -u 's/^/== alert: /' >&2 &
for _ in $(seq 50); do
  [ -s "$demo/alerts.port" ] && break
  sleep 0.1
done
hooks="http://127.0.0.1:$(cat "$demo/alerts.port" 2>/dev/null)/api"
printf 'Webhook=content %s/chat\r\nWebhook=generic %s/generic\r\nServerTitle=Demo universe\r\n' \
  "$hooks" "$hooks" > "$program/HelmsmanAlerts.ini"

# 4. A server left over from an interrupted run would keep the console from starting its own.
ctl quit >/dev/null 2>&1 || true

# 5. The helper: a timed ban that runs out, a character the name filter bans, a new
# character, then a crash. The timed ban is given the way an operator would, through
# helmsman-ctl: the first banned account's ban ends this hour, so the next unban check (every
# minute) lifts it.
hctl() { "$bin/helmsman-ctl" --home "$program" "$@" >/dev/null 2>&1; }
timed_ban() {
  local name
  name=$("$bin/helmsman-ctl" --home "$program" get lstBannedPlayers 2>/dev/null | sed -n 's/^  0: //p')
  [ -n "$name" ] || return 0
  hctl select lstBannedPlayers 0 && hctl check optBanDuration_1 1 &&
    hctl set calBanUntilDate "$(date +%F)" && hctl select cmbBanUntilTime "$(date +%-H)" &&
    hctl set txtBanReason "demo: a ban that runs out" && hctl click cmdSetBanReason &&
    hctl click cmdSetUnbanTime &&
    say "the ban of $name now ends this hour; the next unban check lifts it" || true
}
helper() {
  for _ in $(seq 300); do
    ctl status >/dev/null 2>&1 && break
    sleep 1
  done
  say "the server is up; a new character arrives in about 80 seconds, a crash 30 seconds later"
  sleep 5
  hctl click cmdDisplayTimedBannerNow &&
    say "Display Now: the first timed banner goes to the server's chat (then one every 5 minutes)" || true
  sleep 10
  timed_ban
  sleep 15
  ctl new "Griefer Vox" >/dev/null 2>&1 &&
    say "Griefer Vox has joined; the name filter bans it when the console scans it" || true
  # The autopilot may send it away before the first scan: it comes back until it is banned
  # (a banned account cannot join).
  for _ in $(seq 10); do
    sleep 5
    ctl join "Griefer Vox" >/dev/null 2>&1 || true
  done
  ctl new >/dev/null 2>&1 && say "a new character has joined the server" || true
  sleep 30
  ctl crash >/dev/null 2>&1 && say "the server has crashed; the console restarts it" || true
  sleep 30
  # A second crash within 15 minutes: the crash budget backs off before the restart.
  for _ in $(seq 30); do
    ctl status >/dev/null 2>&1 && break
    sleep 1
  done
  ctl crash >/dev/null 2>&1 &&
    say "the server has crashed again: the console waits 10 seconds before it restarts it (crash budget); each crash has its report (helmsman-ctl crashes 1)" || true
  sleep 40
  # An account folder without characters, for the cycle's empty-folder step.
  mkdir -p "$root/zz-empty-demo-account" && printf 'nobody\r\n' > "$root/zz-empty-demo-account/name"
  hctl click cmdExecuteAutoMaintenanceIn1Minutes --answer ok &&
    say "maintenance brought forward: the 1-minute warning now, then stop, pruning and restart (\": MAINTENANCE: \" lines)" || true
}
helper &
helper_pid=$!
cleanup() {
  kill "$helper_pid" ${web_note_pid:-} 2>/dev/null || true
  wait "$helper_pid" ${web_note_pid:-} 2>/dev/null || true
  kill "$(cat "$demo/alerts.pid" 2>/dev/null)" 2>/dev/null || true
  ctl quit >/dev/null 2>&1 && say "server stopped" || true
}
trap cleanup EXIT

# 5b. The web console, on loopback only: port 8470 when it is free, else any free one. The
# first start makes the user "admin" with a one-time password, kept in the program folder; once
# the console listens, the demo prints the address and that password.
listening() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
web_port=8470
for _ in $(seq 20); do
  listening $web_port || break
  web_port=$((20000 + RANDOM % 20000))
done
web_note() {
  for _ in $(seq 600); do
    listening $web_port && [ -s "$program/HelmsmanWebAdminPassword.txt" ] && break
    sleep 0.2
  done
  listening $web_port || return 0
  say "web console: open http://127.0.0.1:$web_port/ and log in as \"admin\" with the password" \
    "$(tr -d '\r\n' <"$program/HelmsmanWebAdminPassword.txt")" \
    "(kept in $program/HelmsmanWebAdminPassword.txt; more users: helmsman-ctl web-user)"
}
web_note &
web_note_pid=$!

# 6. The console.
say "starting the console (logs, player list and settings in $program)"
say "web pages (rewritten as players come and go; the statistics every minute):"
say "  file://$web/online.html   file://$web/banned.html   file://$web/stats.html"
say "from a second shell, try: $bin/helmsman-ctl --home $program status   (or list, log --follow; see the README's \"Running headless\")"
status=0
"$bin/helmsman" --home "$program" --web "127.0.0.1:$web_port" "$@" || status=$?
exit "$status"

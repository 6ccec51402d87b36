#!/usr/bin/env bash
# helmsman.exe --headless under Wine on a small generated universe: start-up through the
# first-run generation of the player list, the start of the Win32 substitute server, "good to
# go", a server crash that the one-second timer's server check notices and repairs (failure
# dialog closed, server started again), and the shut-down at the end of --run-for. Then the
# POSIX helmsman does the same on an identical copy of the same input, in the same folder,
# against the POSIX substitute server, and what the two consoles wrote is compared. Each
# console's crash alert (WinHTTP on Windows, libcurl on POSIX) must reach a receiver on this
# side, and each leaves one crash report holding the failure dialog's text.
#
# Compared byte for byte: every file the console writes in its program folder (the six
# settings files, the player list and its backup), and the printed log lines, with these
# exceptions, each the platform's own form or the run's own clock rather than the console's
# work:
# - paths: the Windows side names the same folders as Z:\... with "\", mapped to the POSIX
#   form before comparing (only lines that hold such a path are touched);
# - the two times the console writes of its own reading of a character file (player list
#   block lines 4 "last read" and 40 "first seen") and the time stamps of the log lines: the
#   clock of each run, compared by their form only (every run of digits counts the same).
#   Their form is the system's regional one; for the run, Wine's user settings get the short
#   date and time forms of the POSIX side's C locale (MM/dd/yyyy, HH:mm:ss), given back after;
# - standard output's line ends (CR LF from a Windows console program's text stream);
# - the folder of the POSIX console's control socket, which a Windows console has not.
# The character files are checked unchanged on both sides, and both consoles must leave no
# temporary decoded file behind. Last, Ctrl+C typed in helmsman.exe's terminal ends an
# offline run through the normal shut-down.
set -euo pipefail

title="QVServer - Version 1.0 Build 11 - QVServer"
run_for=20
seed=16

source "$(dirname "$0")/common.sh"
fail() {
  echo "console: $*"
  exit 1
}

# The input: the game data files in the program folder, an account root of 8 accounts in
# the server folder, and the settings an operator would give: where the server and its
# configuration file are, run unattended (no question), the server checked every tick.
input=$WORK/input
"$POSIX_BIN/qvdemo" gamedata --seed $seed --out "$input/prog" >/dev/null
"$POSIX_BIN/qvdemo" accounts --seed $seed --accounts 8 --root "$input/server/Accts/MultiPlayer" \
  --gamedata "$input/prog" --now 2026-03-01 >/dev/null
characters=$(find "$input/server/Accts/MultiPlayer" -name '*.qv' | wc -l)
# Alerts go to a receiver on this side (WinHTTP from the Windows console, libcurl from the
# POSIX one); each console's crash must reach it.
"$POSIX_BIN/helmsman-alert-receiver" --port-file "$WORK/alerts.port" >"$WORK/alerts.txt" &
receiver=$!
for _ in $(seq 50); do
  [ -s "$WORK/alerts.port" ] && break
  sleep 0.1
done
printf 'Webhook=generic http://127.0.0.1:%s/api/alerts\r\nEvents=crash\r\n' \
  "$(cat "$WORK/alerts.port")" >"$input/prog/HelmsmanAlerts.ini"
crash_alerts() { grep -c '^/api/alerts {"event":"crash",' "$WORK/alerts.txt" || true; }

run=$WORK/run
# prepare PATH_FORM SERVER_PROGRAM: a fresh copy of the input in $run, set up for one side.
prepare() {
  local form=$1 server_program=$2
  rm -rf "$run"
  cp -a "$input" "$run"
  cp "$server_program" "$run/server/QVServer.exe"
  printf 'gamedata = %s\r\n' "$($form "$run/prog")" >"$run/server/qvserver.ini"
  "$POSIX_BIN/helmsman-settings" --home "$run/prog" \
    "txtQVServerexePath=$($form "$run/server/QVServer.exe")" \
    "txtQVServercfgPath=$($form "$run/server/Accts/MultiPlayer/QVServer.cfg")" \
    "txtQVServerWindowName=$title" \
    chkRunHELMUnattended=1 chkServerCheckDelay=1 vscServerCheckInterval=1 >/dev/null
}
posix_form() { echo "$1"; }

# The regional forms of both sides the same for the run (see above).
intl='HKCU\Control Panel\International'
regional() {  # the value of the user's regional setting $1
  wine reg query "$intl" /v "$1" 2>/dev/null | tr -d '\r' |
    awk -v name="$1" '$1 == name { sub(/^ *[^ ]+ +REG_SZ +/, ""); print }'
}
set_regional() { wine reg add "$intl" /v "$1" /t REG_SZ /d "$2" /f >/dev/null 2>&1; }
short_date=$(regional sShortDate)
time_format=$(regional sTimeFormat)
restore_regional() {
  [ -z "$short_date" ] || set_regional sShortDate "$short_date"
  [ -z "$time_format" ] || set_regional sTimeFormat "$time_format"
}
# A POSIX server left running by a failed run is stopped (Wine's processes end with the
# driver's wineserver -k).
cleanup() {
  restore_regional
  kill "$receiver" 2>/dev/null || true
  if [ -n "${HELMSMAN_DESKTOP:-}" ]; then
    "$POSIX_BIN/qvserver-ctl" --title "$title" quit >/dev/null 2>&1 || true
  fi
}
trap cleanup EXIT
set_regional sShortDate MM/dd/yyyy
set_regional sTimeFormat HH:mm:ss
export LC_ALL=C

# run_console SIDE SERVER_CONTROL... -- HELMSMAN...: runs the console in the background and,
# once it is good to go, crashes the server: the console's next server check, on the
# one-second timer, finds the failure dialog and restarts the server. Then waits for the
# console's end at the end of --run-for and stops the server, which the console leaves
# running.
run_console() {
  local side=$1 control=() console=() status=0
  shift
  while [ "$1" != -- ]; do control+=("$1"); shift; done
  shift
  console=("$@")
  "${console[@]}" >"$WORK/$side.out" 2>"$WORK/$side.err" &
  local pid=$!
  for _ in $(seq 600); do
    grep -q 'good to go!' "$WORK/$side.out" && break
    kill -0 $pid 2>/dev/null || break
    sleep 0.1
  done
  if ! "${control[@]}" crash >/dev/null 2>&1; then
    kill $pid 2>/dev/null || true
    fail "$side: the server could not be crashed: $(tail -n 3 "$WORK/$side.out")"
  fi
  wait $pid || status=$?
  [ $status -eq 0 ] ||
    fail "$side: the console ended with status $status: $(tail -n 3 "$WORK/$side.err")"
  "${control[@]}" quit >/dev/null 2>&1 ||
    fail "$side: the server was not running after the console's end"
}

# 1. Windows: helmsman.exe with QVAdmin.dll and QVCodec.dll beside it in its bin folder.
prepare winpath "$WIN64_BIN/qvserver.exe"
started=$SECONDS
QVSERVER_ERROR_LOG=$(winpath "$WORK/wine-server-errors.log") \
  run_console wine wine "$WIN64_BIN/qvserver-ctl.exe" --title "$title" -- \
  wine "$WIN64_BIN/helmsman.exe" --headless --home "$(winpath "$run/prog")" --run-for $run_for
wineserver -w
wine_seconds=$((SECONDS - started))
mv "$run" "$WORK/wine"
[ "$(crash_alerts)" = 1 ] || fail "wine: the crash alert did not arrive: $(cat "$WORK/alerts.txt")"

# 2. POSIX: the same input in the same folder, on a simulated desktop of its own.
export HELMSMAN_DESKTOP=$WORK/desktop
prepare posix_form "$POSIX_BIN/qvserver"
QVSERVER_ERROR_LOG=$WORK/posix-server-errors.log \
  run_console posix "$POSIX_BIN/qvserver-ctl" --title "$title" -- \
  "$POSIX_BIN/helmsman" --headless --home "$run/prog" --run-for $run_for
mv "$run" "$WORK/posix"
[ "$(crash_alerts)" = 2 ] || fail "posix: the crash alert did not arrive: $(cat "$WORK/alerts.txt")"

# 3. Both ran the whole way.
for side in wine posix; do
  out=$WORK/$side.out
  tr -d '\r' <"$out" >"$out.lf"
  grep -q ': Playerlist generation complete$' "$out.lf" || fail "$side: no player list generation"
  grep -q ': Helmsman loaded successfully and good to go!$' "$out.lf" ||
    fail "$side: start-up did not reach good to go: $(tail -n 5 "$out.lf")"
  grep -q ': Server started successfully$' "$out.lf" ||
    fail "$side: no restart after the crash: $(tail -n 5 "$out.lf")"
  grep -q '^\[helmsman\] shutting down: --run-for time is up$' "$out.lf" ||
    fail "$side: no shut-down at the end of --run-for"
  diff -r "$input/server/Accts" "$WORK/$side/server/Accts" >/dev/null ||
    fail "$side: the character files changed"
done

# 4. The comparison, after the mappings above.
to_posix() {  # Windows paths under the root to the POSIX form, on the lines that hold one
  sed '/Z:\\/{s/Z:\\/\\/g; s/\\/\//g}'
}
player_list() {  # blocks of 40 lines after the version line; 4 and 40 are the run's times
  awk 'NR > 1 && ((NR - 2) % 40 == 3 || (NR - 2) % 40 == 39) { gsub(/[0-9]+/, "N") } { print }'
}
journal() {  # the journal's entries with their times (and crash reports' names) by form only
  sed -E 's/"time":"[^"]*"/"time":"T"/; s/HelmsmanCrash-[0-9-]*\.txt/HelmsmanCrash-N.txt/g'
}
log_lines() {  # the time stamp of a log line (up to the message's ": ") by its form only
  awk '/^\[(Server Activity|Player Activity|HELM Error) Log\] / {
         i = index($0, "] "); rest = substr($0, i + 2); j = index(rest, ": ")
         stamp = substr(rest, 1, j - 1); gsub(/[0-9]+/, "N", stamp)
         $0 = substr($0, 1, i + 1) stamp substr(rest, j) }
       { print }'
}

# Each console wrote one crash report, named by its own time, with the failure dialog's text
# read over its desktop; the reports are compared by that, not byte for byte.
for side in wine posix; do
  reports=$(cd "$WORK/$side/prog" && ls | grep -c '^HelmsmanCrash-[0-9-]*\.txt$' || true)
  [ "$reports" = 1 ] || fail "$side: $reports crash reports instead of 1"
  grep -q $'^Failure dialog: Quorvane-Server has stopped working. Close the program.\r$' \
    "$WORK/$side"/prog/HelmsmanCrash-*.txt ||
    fail "$side: the crash report lacks the failure dialog's text"
done
# The POSIX console's control socket lives in a folder of its own there; Windows has none.
files=$(cd "$WORK/posix/prog" && ls | grep -vx -e helmsman-control -e 'HelmsmanCrash-[0-9-]*\.txt')
[ "$files" = "$(cd "$WORK/wine/prog" && ls | grep -vx 'HelmsmanCrash-[0-9-]*\.txt')" ] ||
  fail "the program folders differ:" \
    "$(diff <(echo "$files") <(cd "$WORK/wine/prog" && ls) | tr '\n' ' ')"
# Nothing but the input and the console's own files: no decoded character file left behind.
leftovers=$(echo "$files" | grep -v -e '^GAMEDATA_' -e '^Helmsman[A-Za-z]*\.ini$' \
  -e '^HelmsmanPlayerList\.ini\.bak$' -e '^HelmsmanJournal\(\.[0-9]*\)\{0,1\}\.jsonl$' || true)
[ -z "$leftovers" ] || fail "files left in the program folder: $leftovers"
compared=0
for name in $files; do
  posix=$WORK/posix/prog/$name
  wine=$WORK/wine/prog/$name
  case $name in
    GAMEDATA_*) continue ;;  # the input, read only
    HelmsmanJournal*.jsonl)  # the entries' times are the run's; a JSON path doubles "\"
      cmp -s <(journal <"$posix") <(to_posix <"$wine" | sed 's#//*#/#g' | journal) ||
        fail "$name differs:" \
          "$(diff <(journal <"$posix") <(to_posix <"$wine" | sed 's#//*#/#g' | journal) | head -n 6)" ;;
    HelmsmanPlayerList.ini | HelmsmanPlayerList.ini.bak)
      cmp -s <(player_list <"$posix") <(to_posix <"$wine" | player_list) ||
        fail "$name differs:" \
          "$(diff <(player_list <"$posix") <(to_posix <"$wine" | player_list) | head -n 6)" ;;
    *)
      cmp -s "$posix" <(to_posix <"$wine") ||
        fail "$name differs: $(diff "$posix" <(to_posix <"$wine") | head -n 6)" ;;
  esac
  compared=$((compared + 1))
done
log_lines <"$WORK/posix.out.lf" >"$WORK/posix.norm"
to_posix <"$WORK/wine.out.lf" | log_lines >"$WORK/wine.norm"
cmp -s "$WORK/posix.norm" "$WORK/wine.norm" ||
  fail "the printed lines differ: $(diff "$WORK/posix.norm" "$WORK/wine.norm" | head -n 8)"
records=$(( ($(wc -l <"$WORK/posix/prog/HelmsmanPlayerList.ini") - 1) / 40 ))
[ "$records" -eq "$characters" ] || fail "$records player records for $characters character files"

# 5. The first run of a console copied into an empty folder with the game data files, started
# by its bare name from that folder, without --home: the program folder is the executable's.
# Start-up finds no settings and no server, and gives up after the file dialog (cancelled
# without a display); the shut-down still writes the settings files there, all but
# "Helmsman.ini". The same on POSIX, and both compared.
bare_run() {  # bare_run SIDE FILE...: the files copied in, the console run from there
  local side=$1 status=0
  shift
  mkdir -p "$WORK/bare-$side"
  cp "$input"/prog/GAMEDATA_* "$@" "$WORK/bare-$side"
  (cd "$WORK/bare-$side" && exec $bare_command --headless --run-for 60) \
    >"$WORK/bare-$side.out" 2>/dev/null || status=$?
  [ $status -eq 1 ] || fail "bare $side: status $status instead of 1 for a start-up that gave up"
  [ ! -e "$WORK/bare-$side/Helmsman.ini" ] ||
    fail "bare $side: Helmsman.ini written without a server path"
  [ -f "$WORK/bare-$side/HelmsmanBanners.ini" ] ||
    fail "bare $side: no settings written in the executable's folder"
}
bare_command="wine helmsman.exe" bare_run wine "$WIN64_BIN"/{helmsman.exe,QVAdmin.dll,QVCodec.dll}
bare_command="./helmsman" bare_run posix \
  "$POSIX_BIN"/{helmsman,libqvadmin.so,libqvcodec.so,libsimdesk.so}
grep -q '^\[message\] .*: Program will not run until it knows where qvserver.exe is located!' \
  "$WORK/bare-posix.out" || fail "bare posix: start-up did not give up as expected"
tr -d '\r' <"$WORK/bare-wine.out" >"$WORK/bare-wine.out.lf"
cmp -s "$WORK/bare-posix.out" "$WORK/bare-wine.out.lf" ||
  fail "bare: the printed lines differ:" \
    "$(diff "$WORK/bare-posix.out" "$WORK/bare-wine.out.lf" | head -n 6)"
for name in $(cd "$WORK/bare-posix" && ls Helmsman*); do
  cmp -s "$WORK/bare-posix/$name" "$WORK/bare-wine/$name" || fail "bare: $name differs"
done

# 6. Ctrl+C in the console's terminal (a pseudo-terminal made by script): the terminal sends
# SIGINT to its foreground processes, and Wine turns it into the console's Ctrl+C event.
# Offline (not unattended, --no), the console waits on its loop until then, and shuts down as
# always: the settings files are written again. script runs the command through $SHELL, or
# /bin/sh when that is unset; the shell execs Wine, so that it is not among the processes the
# ^C reaches: a dash waiting for its child dies of it and hangs the terminal up under the
# console in the middle of its shut-down.
mv "$WORK/wine" "$run"
"$POSIX_BIN/helmsman-settings" --home "$run/prog" chkRunHELMUnattended=0 >/dev/null
rm "$run/prog/HelmsmanBanners.ini"
type_ctrl_c() {  # once the console has asked its question; then until the console has ended
  for _ in $(seq 300); do
    grep -q '^\[question\]' "$WORK/ctrl-c.out" 2>/dev/null && break
    sleep 0.1
  done
  printf '\003'
  for _ in $(seq 300); do
    grep -q '^\[helmsman\] shutting down' "$WORK/ctrl-c.out" && break
    sleep 0.1
  done
}
type_ctrl_c | script -qfec "exec wine '$WIN64_BIN/helmsman.exe' --headless --no --run-for 60 \
  --home '$(winpath "$run/prog")' >'$WORK/ctrl-c.out' 2>'$WORK/ctrl-c.err'" /dev/null >/dev/null ||
  fail "Ctrl+C: helmsman.exe ended with status $?: $(tr -d '\r' <"$WORK/ctrl-c.out" | tail -n 2)"
tr -d '\r' <"$WORK/ctrl-c.out" | grep -q '^\[helmsman\] shutting down: SIGINT$' ||
  fail "Ctrl+C did not end the run: $(tail -n 2 "$WORK/ctrl-c.out")"
[ -f "$run/prog/HelmsmanBanners.ini" ] || fail "Ctrl+C: the shut-down did not write the settings"

echo "console: helmsman.exe under Wine ran start-up ($characters character files decoded into" \
  "the player list), started the Win32 server, good to go, restarted it after a crash, shut" \
  "down after ${run_for} s" \
  "(${wine_seconds} s in all); $compared files of its program folder and" \
  "$(wc -l <"$WORK/posix.norm") printed lines as the POSIX console wrote them; a first run in" \
  "the executable's folder gave up and wrote the same settings files as POSIX; Ctrl+C in its" \
  "terminal ended an offline run through the shut-down"

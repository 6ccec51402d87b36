#!/usr/bin/env bash
# The Debian package as an operator gets it: lintian finds no error in it; it holds the
# programs, the libraries, the service unit and the documentation where Debian keeps them
# and declares its libraries' packages; its version is the one helmsman --version prints;
# systemd-analyze finds its service unit sound; and, unpacked with dpkg-deb -x into a scratch
# folder, its helmsman --headless comes up against the substitute server (through the first
# run's player list to "good to go") with nothing from the build on any search path, tells a
# service manager's socket it is ready, and shuts down normally on SIGTERM.
#
#   packaging/check_deb.sh DEB POSIX_BIN
#
# POSIX_BIN: a POSIX build's bin folder for the input (qvdemo, helmsman-settings) and the
# substitute server (qvserver, qvserver-ctl).
set -euo pipefail
deb=$1
tools=$2
title="QVServer - Version 1.0 Build 11 - QVServer"
work=$(mktemp -d /tmp/helmsman-deb.XXXXXX)
console=""
manager=""
cleanup() {
  [ -z "$console" ] || kill "$console" 2>/dev/null || true
  [ -z "$manager" ] || kill "$manager" 2>/dev/null || true
  HELMSMAN_DESKTOP=$work/desktop "$tools/qvserver-ctl" --title "$title" quit >/dev/null 2>&1 ||
    true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "deb: $*"
  exit 1
}

# 1. lintian: errors fail; the warnings and notes it prints are shown.
lintian --fail-on error --tag-display-limit 0 "$deb" >"$work/lintian.txt" 2>"$work/lintian.err" ||
  fail "lintian found errors: $(cat "$work/lintian.txt" "$work/lintian.err")"
sed 's/^/deb: lintian: /' "$work/lintian.txt"

# 2. What it holds and declares.
dpkg-deb -x "$deb" "$work/root"
root=$work/root
for file in usr/bin/helmsman usr/bin/helmsman-ctl usr/bin/qvcodec usr/bin/qvstat \
            usr/lib/helmsman/libqvadmin.so usr/lib/helmsman/libqvcodec.so \
            usr/lib/helmsman/libsimdesk.so lib/systemd/system/helmsman@.service \
            usr/share/doc/helmsman/README.md usr/share/doc/helmsman/copyright; do
  [ -f "$root/$file" ] || fail "/$file is not in the package"
done
outside=$(cd "$root" && find . -mindepth 1 -maxdepth 1 ! -name usr ! -name lib)
[ -z "$outside" ] || fail "files outside /usr and /lib: $outside"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libglib2.0-0 libcurl4 libssl3 libstdc++6; do
  [[ "$depends" == *"$library"* ]] || fail "Depends does not name $library: $depends"
done
version=$(dpkg-deb -f "$deb" Version)
printed=$(env -u LD_LIBRARY_PATH "$root/usr/bin/helmsman" --version | head -n 1)
[ "$printed" = "Helmsman mk.V, version $version" ] ||
  fail "helmsman --version says \"$printed\", the package is $version"
[ "$(basename "$deb")" = "helmsman_${version}_amd64.deb" ] || fail "named $(basename "$deb")"

# 3. The service unit, an instance for a program folder, its program the unpacked one.
prog=$work/srv/quorvane/helm
mkdir -p "$prog" "$work/units"
unit=$work/units/helmsman@$(systemd-escape --path "$prog").service
sed "s|/usr/bin/helmsman|$root/usr/bin/helmsman|" "$root/lib/systemd/system/helmsman@.service" \
  >"$unit"
grep -q '^Type=notify$' "$unit" && grep -q '^Restart=on-failure$' "$unit" &&
  grep -q '^KillSignal=SIGTERM$' "$unit" && grep -q '^User=helmsman$' "$unit" ||
  fail "the unit is not a notifying, restarting service of its own user"
systemd-analyze verify --man=no "$unit" >"$work/verify.txt" 2>&1 ||
  fail "systemd-analyze verify: $(cat "$work/verify.txt")"
[ ! -s "$work/verify.txt" ] || fail "systemd-analyze verify: $(cat "$work/verify.txt")"

# 4. Start-up from the unpacked package: an invented universe of 6 accounts, the substitute
# server in its folder, the console set to run unattended.
server=$work/srv/quorvane/server
"$tools/qvdemo" gamedata --seed 27 --out "$prog" >/dev/null
"$tools/qvdemo" accounts --seed 27 --accounts 6 --root "$server/Accts/MultiPlayer" \
  --gamedata "$prog" >/dev/null
cp "$tools/qvserver" "$server/QVServer.exe"
printf 'gamedata = %s\r\n' "$prog" >"$server/qvserver.ini"
"$tools/helmsman-settings" --home "$prog" "txtQVServerexePath=$server/QVServer.exe" \
  "txtQVServercfgPath=$server/Accts/MultiPlayer/QVServer.cfg" "txtQVServerWindowName=$title" \
  chkRunHELMUnattended=1 >/dev/null
export HELMSMAN_DESKTOP=$work/desktop
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM LD_LIBRARY_PATH
# As systemd runs it: a notification socket that prints what the console tells it, ready
# once start-up says good to go; then SIGTERM, the unit's stop, for the normal shut-down.
python3 -c '
import socket, sys
manager = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
manager.bind(sys.argv[1])
manager.settimeout(120)
while True:
    state = manager.recv(4096).decode()
    print(state.replace("\n", " "), flush=True)
    if "STOPPING=1" in state.split("\n"):
        break
' "$work/notify" >"$work/notified" 2>&1 &
manager=$!
for _ in $(seq 50); do
  [ -S "$work/notify" ] && break
  sleep 0.1
done
(cd "$work" && NOTIFY_SOCKET=$work/notify exec "$root/usr/bin/helmsman" --headless --home "$prog") \
  >"$work/out" 2>&1 &
console=$!
for _ in $(seq 600); do
  grep -q READY=1 "$work/notified" && break
  kill -0 "$console" 2>/dev/null || break
  sleep 0.1
done
grep -qx 'READY=1 STATUS=Good to go' "$work/notified" ||
  fail "no READY=1 after start-up: $(cat "$work/notified") $(tail -n 5 "$work/out")"
grep -q ': Helmsman loaded successfully and good to go!$' "$work/out" ||
  fail "ready before start-up said good to go: $(tail -n 5 "$work/out")"
grep -q ': Playerlist generation complete$' "$work/out" || fail "no player list: $(cat "$work/out")"
kill -TERM "$console"
status=0
wait "$console" || status=$?
console=""
wait "$manager" || true
manager=""
[ $status -eq 0 ] || fail "helmsman ended with status $status: $(tail -n 5 "$work/out")"
grep -q '^\[helmsman\] shutting down: SIGTERM$' "$work/out" ||
  fail "SIGTERM did not shut down: $(tail -n 5 "$work/out")"
grep -qx 'STOPPING=1' "$work/notified" || fail "the console did not say it was stopping"
[ -f "$prog/HelmsmanPlayerList.ini" ] || fail "the shut-down wrote no player list"
"$tools/qvserver-ctl" --title "$title" quit >/dev/null 2>&1 ||
  fail "the server the console started was not running"
echo "deb: $(basename "$deb"): lintian without errors, unit verified; from the unpacked" \
  "package: good to go, ready told, SIGTERM's shut-down"

#!/bin/bash
# helmsman --headless against the real QVAdmin, in a program folder and desktop of its own:
# the run-for time and SIGTERM both end the run through the normal shut-down, which writes the
# settings and the player list.
set -u
helmsman="$1"
version="$2"  # the project's version
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HELMSMAN_DESKTOP="$work/desktop"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

fail() {
  echo "FAIL: $*"
  echo "--- output of helmsman:"
  cat "$work/out"
  exit 1
}

expect_saved() {
  for file in HelmsmanBanners.ini HelmsmanQVStat.ini HelmsmanWebOutput.ini HelmsmanPlayerList.ini; do
    [ -f "$1/$file" ] || fail "$file was not written in $1"
  done
}

# What start-up looks for before it binds QVAdmin: the game data files, the server program
# and its configuration file, named in the program settings (lines 1, 2 and 5).
prepare() {
  mkdir -p "$1/exe" "$1/accts"
  for table in ammo bases cargo countermeasures engines factions guns mines projectiles lights \
               scanners shields ships systems thrusters turrets powergenerators mapinfo \
               tractorbeams miscequipment; do
    : >"$1/GAMEDATA_$table.txt"
  done
  : >"$1/exe/QVServer.exe"
  : >"$1/accts/QVServer.cfg"
  printf '%s\r\n%s\r\n 0 \r\n 5 \r\n%s\r\n' "$1/exe/QVServer.exe" \
    "QVServer - Version 1.0 Build 11 - QVServer" "$1/accts/QVServer.cfg" >"$1/Helmsman.ini"
}

# --run-for: ends by itself after that time.
mkdir "$work/run-for"
prepare "$work/run-for"
start=$(date +%s)
"$helmsman" --headless --home "$work/run-for" --run-for 2 --no >"$work/out" 2>&1
status=$?
elapsed=$(( $(date +%s) - start ))
[ "$status" -eq 0 ] || fail "--run-for: exit status $status"
[ "$elapsed" -ge 2 ] || fail "--run-for 2 ended after $elapsed seconds"
grep -q '^\[question\] Permission to control QVServer: Begin control of QVServer?' "$work/out" ||
  fail "--run-for: the permission question was not printed"
grep -q -- '-> Cancel (--no)$' "$work/out" || fail "--run-for: --no did not answer"
grep -q '^\[helmsman\] shutting down: --run-for time is up$' "$work/out" ||
  fail "--run-for: no shut-down line"
expect_saved "$work/run-for"

# SIGTERM: the normal shut-down too.
mkdir "$work/term"
prepare "$work/term"
"$helmsman" --headless --home "$work/term" --no >"$work/out" 2>&1 &
pid=$!
for _ in $(seq 100); do
  grep -q '^\[question\]' "$work/out" && break
  sleep 0.1
done
kill -TERM "$pid"
wait "$pid"
status=$?
[ "$status" -eq 0 ] || fail "SIGTERM: exit status $status"
grep -q '^\[helmsman\] shutting down: SIGTERM$' "$work/out" || fail "SIGTERM: no shut-down line"
expect_saved "$work/term"

# --web: the web console serves its page on loopback while the console runs, and a request
# for the console is answered from the console's loop (401: nobody logged in); a non-loopback address is refused
# without TLS set up, and the console runs on.
http_get() {  # http_get PORT TARGET: the response, empty when nothing listens
  exec 3<>"/dev/tcp/127.0.0.1/$1" 2>/dev/null || return 0
  printf 'GET %s HTTP/1.1\r\nHost: helm\r\nConnection: close\r\n\r\n' "$2" >&3
  timeout 5 cat <&3
  exec 3<&-
}
mkdir "$work/web"
prepare "$work/web"
port=$((20000 + RANDOM % 20000))
"$helmsman" --headless --home "$work/web" --run-for 4 --no --web "127.0.0.1:$port" \
  >"$work/out" 2>&1 &
pid=$!
page=""
for _ in $(seq 30); do
  page=$(http_get "$port" /)
  [ -n "$page" ] && break
  sleep 0.1
done
api=$(http_get "$port" /api/state)
wait "$pid" || fail "--web: exit status $?"
grep -q "^helmsman: the web console listens on 127.0.0.1 port $port\$" "$work/out" ||
  fail "--web: no listening line"
# The first start made the first user, shown once with its password, kept owner-only.
shown=$(sed -n 's/^helmsman: the web console.s first user is "admin" with the password \([A-Za-z0-9_-]*\) .*/\1/p' \
  "$work/out")
[ ${#shown} -eq 20 ] || fail "--web: the first user's password was not shown once: $(cat "$work/out")"
[ "$(cat "$work/web/HelmsmanWebAdminPassword.txt")" = "$shown" ] ||
  fail "--web: the password file does not hold the password shown"
[ "$(stat -c %a "$work/web/HelmsmanWebAdminPassword.txt")" = 600 ] &&
  [ "$(stat -c %a "$work/web/HelmsmanWebUsers.ini")" = 600 ] ||
  fail "--web: the first user's files are not owner-only"
[[ "$page" == "HTTP/1.1 200 OK"* && "$page" == *"<h1>Helmsman</h1>"* ]] ||
  fail "--web: the index page was not served: $page"
[[ "$api" == "HTTP/1.1 401 Unauthorized"* && "$api" == *'"error":"log in first"'* ]] ||
  fail "--web: the console's answer was not 401: $api"
"$helmsman" --headless --home "$work/web" --run-for 1 --no --web 192.0.2.1:8470 \
  >"$work/out" 2>&1 || fail "--web refused: exit status $?"
grep -q "refuses the address \"192.0.2.1\": any address but a loopback one needs TLS" "$work/out" ||
  fail "--web: a non-loopback address was not refused"

# A certificate and key in HelmsmanWeb.ini, named relative to the program folder: the web
# console speaks only HTTPS, and a plain HTTP client gets no answer.
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 \
  -subj /CN=localhost -addext subjectAltName=DNS:localhost -keyout "$work/web/key.pem" \
  -out "$work/web/certificate.pem" 2>/dev/null || fail "TLS: openssl made no certificate"
port=$((20000 + RANDOM % 20000))
printf 'Enabled=1\r\nAddress=127.0.0.1\r\nPort=%s\r\nCertificate=%s\r\nKey=%s\r\n' \
  "$port" certificate.pem key.pem >"$work/web/HelmsmanWeb.ini"
"$helmsman" --headless --home "$work/web" --run-for 4 --no >"$work/out" 2>&1 &
pid=$!
page=""
for _ in $(seq 50); do
  page=$(printf 'GET / HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n' |
    timeout 5 openssl s_client -connect "127.0.0.1:$port" -quiet -verify_return_error \
      -CAfile "$work/web/certificate.pem" -verify_hostname localhost 2>/dev/null)
  [ -n "$page" ] && break
  sleep 0.1
done
plain=$(http_get "$port" /)
wait "$pid" || fail "TLS: exit status $?"
[[ "$page" == "HTTP/1.1 200 OK"* && "$page" == *"<h1>Helmsman</h1>"* ]] ||
  fail "TLS: the index page was not served over TLS: $page"
[ -z "$plain" ] || fail "TLS: plain HTTP was answered: $plain"

# --version: the project's version, as the version window shows it, and the build.
[ "$("$helmsman" --version | head -n 1)" = "Helmsman mk.V, version $version" ] ||
  fail "--version: $("$helmsman" --version 2>&1)"

# A bad option is refused before anything is touched.
"$helmsman" --headless --run-for 0 >"$work/out" 2>&1 && fail "--run-for 0 was accepted"
echo "PASS"

# Shared by the Windows checks (sourced, not run): paths in Wine's form, and a server folder
# on a small generated universe.

# The Windows form of an absolute POSIX path (Wine's drive Z: is the root).
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# make_server_folder ACCOUNTS CHARACTERS: the Win32 substitute server installed in
# $WORK/server over a universe of ACCOUNTS accounts with CHARACTERS characters each, made by
# the POSIX qvdemo; its error log in $WORK. Sets server, root (the account root), and name
# and account: the first character and folder of an account that is not banned.
make_server_folder() {
  server=$WORK/server
  root=$server/Accts/MultiPlayer
  QVSERVER_ERROR_LOG=$(winpath "$WORK/qv-server-errors.log")
  export QVSERVER_ERROR_LOG
  mkdir -p "$server"
  cp "$WIN64_BIN/qvserver.exe" "$server/qvserver.exe"
  "$POSIX_BIN/qvdemo" accounts --seed 2026 --accounts "$1" --characters "$2" --root "$root" \
    >/dev/null
  local folder
  for folder in "$root"/*/; do
    if ! ls "$folder" | grep -qi '^banned$'; then
      name=$(tr -d '\r\n' <"$folder/name")
      account=${folder%/}
      return 0
    fi
  done
  echo "no account without a ban in $root" >&2
  return 1
}

# The first name of an account without a ban under the account root $1 that is plain letters,
# digits and underscores (it goes into selectors and command lines); nothing when none is.
plain_unbanned_name() {
  local folder candidate
  for folder in "$1"/*/; do
    ls "$folder" | grep -qi '^banned$' && continue
    candidate=$(tr -d '\r\n' <"$folder/name")
    if [[ $candidate =~ ^[A-Za-z0-9_]+$ ]]; then
      printf '%s' "$candidate"
      return 0
    fi
  done
}

# Waits up to a minute until the console of $console_pid, whose output goes to
# $WORK/console.out, says it is good to go, and fails the check when it does not.
await_good_to_go() {
  for _ in $(seq 600); do
    tr -d '\r' <"$WORK/console.out" 2>/dev/null | grep -q 'good to go!$' && break
    kill -0 "$console_pid" 2>/dev/null || break
    sleep 0.1
  done
  tr -d '\r' <"$WORK/console.out" | grep -q ': Helmsman loaded successfully and good to go!$' ||
    fail "start-up did not reach good to go: $(tail -n 3 "$WORK/console.err")"
}

# Ends the console of $console_pid as Ctrl+C does: SIGINT, which Wine turns into the
# console's Ctrl+C event (Ctrl+C typed in a terminal would reach the server too, which Wine
# runs in the terminal's process group; on Windows the server has no console). A console still
# there after 30 s is killed. Its exit status in $console_status.
stop_console() {
  [ -n "${console_pid:-}" ] || return 0
  kill -INT "$console_pid" 2>/dev/null || true
  for _ in $(seq 300); do
    kill -0 "$console_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$console_pid" 2>/dev/null && kill -KILL "$console_pid" 2>/dev/null
  console_status=0
  wait "$console_pid" || console_status=$?
  console_pid=
}

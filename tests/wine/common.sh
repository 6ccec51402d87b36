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

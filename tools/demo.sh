#!/usr/bin/env bash
# The demo: an invented universe, read back with the codec.
#
#   tools/demo.sh BIN_DIR DEMO_DIR
#
# BIN_DIR holds the built programs (qvdemo, qvcodec). The universe goes to DEMO_DIR:
#   DEMO_DIR/helmsman                      program folder with the twenty GAMEDATA_ files
#   DEMO_DIR/server/Accts/MultiPlayer      account root: QVServer.cfg and the account folders
#   DEMO_DIR/work                          decoded and re-encoded copies (made anew each run)
# A universe that is already there from the same seed, size and generator is reused.
# QVDEMO_SEED (default 2026) and QVDEMO_ACCOUNTS (default 1000) change the universe.
#
# Then every character file is decoded with qvcodec, the decoded files are summarised, and
# every one is encoded again and compared byte for byte with the original. The script fails
# when a file does not round-trip.
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 BIN_DIR DEMO_DIR" >&2
  exit 2
fi
bin=$(cd "$1" && pwd)
mkdir -p "$2"
demo=$(cd "$2" && pwd)
seed=${QVDEMO_SEED:-2026}
accounts=${QVDEMO_ACCOUNTS:-1000}
qvdemo=$bin/qvdemo
qvcodec=$bin/qvcodec
for tool in "$qvdemo" "$qvcodec"; do
  [ -x "$tool" ] || { echo "demo: $tool is missing; build first" >&2; exit 1; }
done

program=$demo/helmsman
root=$demo/server/Accts/MultiPlayer
work=$demo/work
stamp=$demo/universe.stamp

# 1. The universe.
wanted="seed=$seed accounts=$accounts generator=$(sha256sum "$qvdemo" | cut -c1-16)"
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$wanted" ] && [ -d "$program" ] && [ -d "$root" ]; then
  echo "== Reusing the demo universe in $demo ($wanted)"
else
  # Only folders this script made are removed: they come with its stamp.
  if [ ! -f "$stamp" ] && { [ -e "$program" ] || [ -e "$demo/server" ] || [ -e "$work" ]; }; then
    echo "demo: $demo holds helmsman, server or work folders this script did not make;" \
         "choose another DEMO_DIR" >&2
    exit 1
  fi
  echo "== Generating the demo universe in $demo (seed $seed, $accounts accounts)"
  echo "incomplete" > "$stamp"
  rm -rf "$program" "$demo/server"
  "$qvdemo" gamedata --seed "$seed" --out "$program"
  "$qvdemo" accounts --seed "$seed" --accounts "$accounts" --root "$root" --gamedata "$program"
  echo "$wanted" > "$stamp"
fi

# 2. Decode every character file.
rm -rf "$work"
mapfile -t files < <(cd "$root" && find . -mindepth 2 -maxdepth 2 -type f -iname '*.qv' -printf '%P\n' | sort)
for side in decoded reencoded; do
  mkdir -p "$work/$side"
  (cd "$root" && find . -mindepth 1 -maxdepth 1 -type d -printf '%P\0') |
    (cd "$work/$side" && xargs -0 -r mkdir -p)
done
echo "== Decoding ${#files[@]} character files with $qvcodec"
for f in "${files[@]}"; do
  "$qvcodec" decode "$root/$f" "$work/decoded/$f.txt"
done

# 3. Summary of the decoded files, names mapped through the GAMEDATA_ files.
account_count=$(find "$root" -mindepth 1 -maxdepth 1 -type d | wc -l)
banned_count=$(find "$root" -mindepth 2 -maxdepth 2 -iname banned | wc -l)
echo "== Summary"
echo "accounts:          $account_count"
echo "banned accounts:   $banned_count"
echo "characters:        ${#files[@]}"
find "$work/decoded" -type f -name '*.qv.txt' -print0 | xargs -0 cat | awk -v systems="$program/GAMEDATA_systems.txt" -v ships="$program/GAMEDATA_ships.txt" '
  function clean(s) { sub(/\r$/, "", s); return s }
  BEGIN {
    while ((getline line < systems) > 0) {
      line = clean(line); eq = index(line, "=")
      if (eq) system_name[substr(line, 1, eq - 1)] = substr(line, eq + 1)
    }
    while ((getline line < ships) > 0) {
      line = clean(line); eq = index(line, "="); rest = substr(line, eq + 1); comma = index(rest, ",")
      if (eq && comma) ship_name[substr(line, 1, eq - 1)] = substr(rest, comma + 1)
    }
  }
  { $0 = clean($0) }
  $0 != "" { lines++ }
  /^system = / { in_system[substr($0, 10)]++ }
  /^ship_archetype = / { flying[substr($0, 18)]++ }
  /^base = / { docked++ }
  /^pos = / { in_space++ }
  /^equip = / { equipped++ }
  /^ship_type_killed = / { split($0, part, ", "); kills += part[2] }
  END {
    printf "non-empty lines:   %d\n", lines
    printf "docked / in space: %d / %d\n", docked, in_space
    printf "equipped items:    %d\n", equipped
    printf "kills recorded:    %d\n", kills
    print "top systems:"
    for (s in in_system) printf "  %6d  %s\n", in_system[s], (s in system_name ? system_name[s] : "UNKNOWN SYSTEM (" s ")") | "sort -rn | head -5"
    close("sort -rn | head -5")
    print "top ships:"
    for (s in flying) printf "  %6d  %s\n", flying[s], (s in ship_name ? ship_name[s] : "UNKNOWN SHIP (" s ")") | "sort -rn | head -5"
    close("sort -rn | head -5")
  }'
shortest=$(find "$work/decoded" -type f -name '*.qv.txt' -print0 | xargs -0 grep -c . | awk -F: 'NR == 1 || $NF < min { min = $NF } END { print min + 0 }')
echo "fewest lines in a file: $shortest"

# 4. Encode every decoded file again and compare with the original.
echo "== Re-encoding and comparing byte for byte"
for f in "${files[@]}"; do
  "$qvcodec" encode "$work/decoded/$f.txt" "$work/reencoded/$f"
done
mismatches=$(diff <(cd "$root" && printf '%s\0' "${files[@]}" | xargs -0 sha256sum) \
                  <(cd "$work/reencoded" && printf '%s\0' "${files[@]}" | xargs -0 sha256sum) |
             grep -c '^<' || true)
if [ "$mismatches" -ne 0 ]; then
  echo "demo: $mismatches character files did not round-trip" >&2
  exit 1
fi
echo "all ${#files[@]} character files round-trip through qvcodec byte for byte"

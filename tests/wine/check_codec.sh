#!/usr/bin/env bash
# QVCodec.dll under Wine against the POSIX build on the same files: every character file of a
# small generated universe decoded by both and the texts compared byte for byte, the texts
# encoded again by both and the scrambled files compared, and the refusals' result codes.
set -euo pipefail

source "$(dirname "$0")/common.sh"

"$POSIX_BIN/qvdemo" accounts --seed 16 --accounts 6 --root "$WORK/root" >/dev/null
mapfile -t files < <(find "$WORK/root" -name '*.qv' | sort)
mkdir -p "$WORK/posix" "$WORK/wine"
args=()
for f in "${files[@]}"; do
  n=$(basename "$(dirname "$f")")-$(basename "$f" .qv)
  "$POSIX_BIN/qvcodec" decode "$f" "$WORK/posix/$n.txt"
  "$POSIX_BIN/qvcodec" encode "$WORK/posix/$n.txt" "$WORK/posix/$n.qv"
  args+=(1 "$(winpath "$f")" "$(winpath "$WORK/wine/$n.txt")")
done
# The Windows side encodes the texts the POSIX side decoded, so that a decode fault does not
# hide an encode fault.
for f in "${files[@]}"; do
  n=$(basename "$(dirname "$f")")-$(basename "$f" .qv)
  args+=(2 "$(winpath "$WORK/posix/$n.txt")" "$(winpath "$WORK/wine/$n.qv")")
done
printf 'plain text, not scrambled\r\n' >"$WORK/plain.txt"
args+=(1 "$(winpath "$WORK/missing.qv")" "$(winpath "$WORK/out1")"
       3 "$(winpath "$WORK/plain.txt")" "$(winpath "$WORK/out2")"
       1 - "$(winpath "$WORK/out3")"
       1 "$(winpath "$WORK/plain.txt")" "$(winpath "$WORK/out4")")

codes=$(wine "$WIN64_BIN/codec_wine_check.exe" "${args[@]}" | tr -d '\r')
count=${#files[@]}
want=$(for _ in $(seq $((2 * count))); do echo 0; done; printf '262\n261\n261\n263')
if [ "$codes" != "$want" ]; then
  echo "codec: result codes differ"
  diff <(echo "$want") <(echo "$codes") || true
  exit 1
fi
for f in "${files[@]}"; do
  n=$(basename "$(dirname "$f")")-$(basename "$f" .qv)
  cmp -s "$WORK/posix/$n.txt" "$WORK/wine/$n.txt" || { echo "codec: $n decoded differently"; exit 1; }
  cmp -s "$WORK/posix/$n.qv" "$WORK/wine/$n.qv" || { echo "codec: $n encoded differently"; exit 1; }
done
for out in out1 out2 out3 out4; do
  [ ! -e "$WORK/$out" ] || { echo "codec: a refused call created $out"; exit 1; }
done
echo "codec: $count character files decoded and encoded byte for byte as on POSIX; codes 262 261 261 263 for the refusals"

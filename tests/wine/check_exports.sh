#!/usr/bin/env bash
# The export tables of both DLLs for both architectures, as the mingw objdump reads them:
# exactly the names the console binds, undecorated; and QVAdmin's data section ".QVAdmin"
# marked shared, so that every process that loads the DLL sees one copy.
set -euo pipefail

exports_of() {  # exports_of OBJDUMP DLL: the exported names, one per line, sorted
  "$1" -p "$2" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*//p' | sort
}

failed=0
for arch in x86_64 i686; do
  case $arch in x86_64) bin=$WIN64_BIN ;; i686) bin=$WIN32_BIN ;; esac
  objdump=$arch-w64-mingw32-objdump
  for dll in QVCodec QVAdmin; do
    case $dll in
      QVCodec) want="qvcodec" ;;
      QVAdmin) want=$'QVAdmin_DoCommand\nQVAdmin_Initialize\nQVAdmin_Release' ;;
    esac
    got=$(exports_of "$objdump" "$bin/$dll.dll")
    if [ "$got" = "$want" ]; then
      echo "exports $arch $dll.dll: $(echo $got)"
    else
      echo "exports $arch $dll.dll: expected [$(echo $want)], found [$(echo $got)]"
      failed=1
    fi
  done
  flags=$("$objdump" -h "$bin/QVAdmin.dll" | awk '$2 == ".QVAdmin" { getline; print }' | tr -d ' ')
  if [[ ",$flags," == *",SHARED,"* ]]; then
    echo "section $arch QVAdmin.dll .QVAdmin: $flags"
  else
    echo "section $arch QVAdmin.dll .QVAdmin: not a shared section (flags: ${flags:-none})"
    failed=1
  fi
done
exit $failed

#!/usr/bin/env bash
# Each build of Pellwick.dll is a DLL of its word size and exports exactly the four functions
# of an in-process server, by name.
# Usage: pellwick_exports_test.sh win64/bin/Pellwick.dll win32/bin/Pellwick.dll
set -euo pipefail
expected=$'DllCanUnloadNow\nDllGetClassObject\nDllRegisterServer\nDllUnregisterServer'
status=0
check() {  # dll objdump file-pattern
  local dll="$1" objdump="$2" pattern="$3" kind names
  if [ ! -f "$dll" ]; then
    echo "FAIL: $dll is not built"
    status=1
    return
  fi
  kind="$(file -b "$dll")"
  [[ "$kind" == $pattern ]] || { echo "FAIL: $dll is $kind"; status=1; }
  names="$("$objdump" -p "$dll" |
    sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '/\[ *[0-9]+\]/ { print $NF }')"
  [ "$names" = "$expected" ] || { echo "FAIL: $dll exports:"; echo "$names"; status=1; }
}
check "$1" x86_64-w64-mingw32-objdump 'PE32+ executable (DLL)*x86-64*'
check "$2" i686-w64-mingw32-objdump 'PE32 executable (DLL)*Intel 80386*'
exit "$status"

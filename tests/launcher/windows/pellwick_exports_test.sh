#!/usr/bin/env bash
# A build of Pellwick.dll is a DLL of its toolchain's word size and exports exactly the four
# functions of an in-process server, by name.
# Usage: pellwick_exports_test.sh Pellwick.dll x86_64-w64-mingw32|i686-w64-mingw32
set -euo pipefail
dll="$1" triple="$2"
expected=$'DllCanUnloadNow\nDllGetClassObject\nDllRegisterServer\nDllUnregisterServer'
case "$triple" in
  x86_64-*) pattern='PE32+ executable (DLL)*x86-64*' ;;
  i686-*) pattern='PE32 executable (DLL)*Intel 80386*' ;;
  *) echo "unknown toolchain $triple" >&2; exit 2 ;;
esac
status=0
kind="$(file -b "$dll")"
[[ "$kind" == $pattern ]] || { echo "FAIL: $dll is $kind"; status=1; }
names="$("$triple-objdump" -p "$dll" |
  sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '/\[ *[0-9]+\]/ { print $NF }')"
[ "$names" = "$expected" ] || { echo "FAIL: $dll exports:"; echo "$names"; status=1; }
exit "$status"

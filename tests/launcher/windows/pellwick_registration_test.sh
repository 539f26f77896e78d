#!/usr/bin/env bash
# Pellwick.dll registered with regsvr32 in a copy of the project's Wine prefix, as an installer
# would: the registry entries, COM clients in C++ and JScript, pages that open a book in the
# stand-in reader or are refused, registering twice, and unregistering. The copy is removed afterwards, so nothing
# leaks into the shared prefix.
# Usage: pellwick_registration_test.sh WINE-RUN Pellwick.dll pellwick_dispatch_tests.exe Tavrel.exe
#        test.js
# WINE-RUN is the build's runner (tools/wine-run, or tools/wine32-run for the i686 build).
set -euo pipefail
wine_run="$1" dll="$2" dispatch_tests="$3" reader_stub="$4" script="$5"

work="$(mktemp -d)"
shared_prefix="$("$wine_run" --prefix)"
export WINEPREFIX="$work/prefix"
cleanup() {
  "$wine_run" wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
# Hard links are enough: Wine writes its registry files anew and renames them into place.
cp -al "$shared_prefix" "$WINEPREFIX"
run() { "$wine_run" "$@"; }

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# A folder with a space and a quote: the short path goes to InprocServer32, the long one to
# the type library.
folder="$WINEPREFIX/drive_c/Tavrel's Files"
dll_path="C:\\Tavrel's Files\\Pellwick.dll"
clsid='{A60848FE-3F33-46CA-BD67-226492E1D9A3}'
libid='{F7D428EF-8049-481B-A586-8811F91C66DF}'
mkdir -p "$folder" "$WINEPREFIX/drive_c/Reader"
cp "$dll" "$dispatch_tests" "$script" "$folder/"
cp "$reader_stub" "$WINEPREFIX/drive_c/Reader/Tavrel.exe"
run reg add 'HKCU\Software\Morvane\Reader' /ve /d 'C:\Reader' /f >/dev/null

# The default value (or the named one) of a key, as reg query prints it; empty when missing.
value() {
  local key="$1" name="${2:-}" out
  if [ -n "$name" ]; then
    out="$(run reg query "$key" /v "$name" 2>/dev/null)" || return 0
  else
    out="$(run reg query "$key" /ve 2>/dev/null)" || return 0
  fi
  printf '%s\n' "$out" | tr -d '\r' | awk -F'    ' '/REG_SZ/ { print $NF }'
}
exists() { run reg query "$1" >/dev/null 2>&1; }
expect_value() {  # key name expected
  local got
  got="$(value "$1" "$2")"
  [ "$got" = "$3" ] || fail "$1 [$2]: '$got', expected '$3'"
}

run regsvr32 /s "$dll_path" || fail "regsvr32 returned $?"

expect_value 'HKCR\MYPellwick.ReadInfo.1' '' 'ReadInfo Class'
expect_value 'HKCR\MYPellwick.ReadInfo.1\CLSID' '' "$clsid"
expect_value 'HKCR\MYPellwick.ReadInfo' '' 'ReadInfo Class'
expect_value 'HKCR\MYPellwick.ReadInfo\CLSID' '' "$clsid"
expect_value 'HKCR\MYPellwick.ReadInfo\CurVer' '' 'MYPellwick.ReadInfo.1'
expect_value "HKCR\\CLSID\\$clsid" '' 'ReadInfo Class'
expect_value "HKCR\\CLSID\\$clsid\\ProgID" '' 'MYPellwick.ReadInfo.1'
expect_value "HKCR\\CLSID\\$clsid\\VersionIndependentProgID" '' 'MYPellwick.ReadInfo'
expect_value "HKCR\\CLSID\\$clsid\\InprocServer32" 'ThreadingModel' 'Apartment'
expect_value "HKCR\\CLSID\\$clsid\\TypeLib" '' "$libid"
exists "HKCR\\CLSID\\$clsid\\Programmable" || fail "no Programmable key"
server="$(value "HKCR\\CLSID\\$clsid\\InprocServer32")"
case "$server" in
  C:\\*\\Pellwick.dll | C:\\*\\PELLWICK.DLL) ;;
  *) fail "InprocServer32 is '$server'" ;;
esac
case "$server" in
  *" "* | *"'"*) fail "InprocServer32 is not the short path: '$server'" ;;
esac
expect_value "HKCR\\TypeLib\\$libid\\1.0" '' 'Pellwick 1.0 Type Library'
# The type library is registered for the DLL's own word size (SYS_WIN32 or SYS_WIN64).
case "$(file -b "$dll")" in
  PE32+*) platform=win64 ;;
  *) platform=win32 ;;
esac
expect_value "HKCR\\TypeLib\\$libid\\1.0\\0\\$platform" '' "$dll_path"
expect_value "HKCR\\TypeLib\\$libid\\1.0\\HELPDIR" '' "C:\\Tavrel's Files\\"

js="C:\\Tavrel's Files\\$(basename "$script")"
run cscript //nologo "$js" || fail "script: $? failures"
[ ! -e "$WINEPREFIX/drive_c/Reader/launch.log" ] || fail "a local script started the reader"

run "C:\\Tavrel's Files\\$(basename "$dispatch_tests")" >"$work/dispatch.log" 2>&1 ||
  { cat "$work/dispatch.log"; fail "dispatch tests"; }

# Registering again leaves one clean subtree: a stale subkey goes.
run reg add "HKCR\\CLSID\\$clsid\\Stale" /f >/dev/null
run regsvr32 /s "$dll_path" || fail "second regsvr32 returned $?"
! exists "HKCR\\CLSID\\$clsid\\Stale" || fail "stale subkey survived registration"
expect_value "HKCR\\CLSID\\$clsid\\InprocServer32" '' "$server"

# Unregistering removes everything it wrote; a foreign subkey keeps its key, and only that.
run reg add "HKCR\\CLSID\\$clsid\\Foreign" /f >/dev/null
run regsvr32 /u /s "$dll_path" || fail "regsvr32 /u returned $?"
for key in 'HKCR\MYPellwick.ReadInfo' 'HKCR\MYPellwick.ReadInfo.1' \
           "HKCR\\CLSID\\$clsid\\InprocServer32" "HKCR\\CLSID\\$clsid\\ProgID" \
           "HKCR\\CLSID\\$clsid\\Programmable" "HKCR\\CLSID\\$clsid\\TypeLib" \
           "HKCR\\TypeLib\\$libid" "HKCR\\Interface\\{435F54E5-01AC-4A65-A104-A7C49BD269A1}"; do
  ! exists "$key" || fail "$key left after unregistration"
done
exists "HKCR\\CLSID\\$clsid\\Foreign" || fail "foreign subkey removed"
exists 'HKCR\CLSID' || fail "CLSID removed"
run reg delete "HKCR\\CLSID\\$clsid" /f >/dev/null

# Nothing registered: unregistration still succeeds and creates nothing.
run regsvr32 /u /s "$dll_path" || fail "regsvr32 /u with nothing registered returned $?"
! exists "HKCR\\CLSID\\$clsid" || fail "unregistration created the class key"
! exists 'HKCR\MYPellwick.ReadInfo' || fail "unregistration created the ProgID"

echo "$failures failures"
[ "$failures" -eq 0 ]

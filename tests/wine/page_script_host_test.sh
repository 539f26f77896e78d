#!/usr/bin/env bash
# page_script_host's own contract: what a script prints, the exit code Quit gives even inside a
# try block, a script error reported with its HRESULT and line, the script's encodings, and a
# script that cannot be read.
# Usage: page_script_host_test.sh WINE-RUN page_script_host.exe
set -euo pipefail
wine_run="$1" host="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0

expect() {  # name script-file exit-code output (a pattern)
  local status=0 output
  "$wine_run" "$host" https://www.morvane.net/read.htm "Z:${2//\//\\}" \
    >"$work/out" 2>&1 || status=$?
  output="$(tr -d '\r' <"$work/out"; echo .)"
  output="${output%.}"
  # shellcheck disable=SC2053  # $4 is a pattern
  if [ "$status" != "$3" ] || [[ "$output" != $4 ]]; then
    printf 'FAIL: %s: exit %s (expected %s), output:\n%s\n' "$1" "$status" "$3" "$output"
    failures=$((failures + 1))
  fi
}
script() {  # name text: writes the script as UTF-8, prints its path
  printf '%s' "$2" >"$work/$1.js"
  echo "$work/$1.js"
}

expect echo "$(script echo 'WScript.Echo("a", 1, "\u4e66", "书"); WScript.echo();')" 0 \
  $'a 1 书 书\n\n'
expect "quit in a try block" \
  "$(script quit 'try { WScript.Quit(3); } catch (e) {} WScript.Echo("went on");')" 3 ''
expect "script error" "$(script error $'var a = 1;\nnew ActiveXObject("No.Such.Object");')" 1 \
  $'page_script_host: error 0x800a01ad in line 2*\n'
printf '\xff\xfe' >"$work/utf16.js"
printf 'WScript.Echo("书");' | iconv -f UTF-8 -t UTF-16LE >>"$work/utf16.js"
expect "UTF-16LE" "$work/utf16.js" 0 $'书\n'
printf '\xc4\xe3' >"$work/gbk.js"
expect "neither encoding" "$work/gbk.js" 2 'page_script_host: the script is neither*'
expect "missing file" "$work/none.js" 2 'page_script_host: cannot open the script*'

echo "$failures failures"
[ "$failures" -eq 0 ]

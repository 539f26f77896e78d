#!/usr/bin/env bash
# The link handler's part of the demo: registers PellwickLink.exe in the project's Wine prefix,
# mints a link with the build's launch key (pellwick-link) and opens it through the shell, as a
# browser does; the stand-in reader shows the command line it received. Then a tampered link,
# an expired one and the same link once more are each refused: the handler's message is read
# and closed, and the reader is not started again. Unregisters the handler at the end.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/tools/demo_build.sh"
mint_tool="$root/build/native/bin/pellwick-link"
signing_key="$root/build/launch-keys/launch-key.pem"
out="$root/build/demo/link"

rm -rf "$out"
mkdir -p "$out/reader"
cp "$bin/PellwickLink.exe" "$bin/open_link.exe" "$out/"
cp "$bin/reader_stub/Tavrel.exe" "$out/reader/"
handler="$(run winepath -w "$out/PellwickLink.exe" | tr -d '\r')"
reader="$(run winepath -w "$out/reader" | tr -d '\r')"
key='HKCU\Software\Morvane\Reader'
previous="$(run reg query "$key" /ve 2>/dev/null | tr -d '\r' | awk -F'    ' '/REG_SZ/ { print $NF }')" || true
restore() {
  run "$handler" /unregister || true
  if [ -n "$previous" ]; then
    run reg add "$key" /ve /d "$previous" /f >/dev/null 2>&1 || true
  else
    run reg delete "$key" /ve /f >/dev/null 2>&1 || true
  fi
}
trap restore EXIT

echo "== Link handler: a signed tavrel-read: link opens a book from any browser"
run reg add "$key" /ve /d "$reader" /f >/dev/null
run "$handler" /register
echo "  registered: $(run reg query 'HKCR\tavrel-read\shell\open\command' /ve | tr -d '\r' |
  awk -F'    ' '/REG_SZ/ { print $NF }')"
mint() {
  "$mint_tool" mint --signing-key "$signing_key" --site https://www.morvane.net/book/A1 \
    --url http://books.morvane.net/data --id A1 --type 2 --page 15 --key k1 --name 书名 \
    --user 3 --down-day -1 "$@"
}
link="$(mint)"
echo "  minted: ${link:0:60}... (${#link} characters)"

log="$out/reader/launch.log"
starts() {
  if [ -e "$log" ]; then iconv -f UTF-16LE -t UTF-8 "$log" | grep -c '' || true; else echo 0; fi
}
run "$out/open_link.exe" "$link" || { echo "  the handler refused the minted link ($?)"; exit 1; }
for _ in $(seq 100); do
  [ "$(starts)" -gt 0 ] && break
  sleep 0.1
done
[ "$(starts)" -gt 0 ] || { echo "  the reader was not started"; exit 1; }
echo "  opened through the shell; the reader was started as:"
echo "    $(iconv -f UTF-16LE -t UTF-8 "$out/reader/launch.rec" | tr '\0' '\n' | head -n 1)"

ticket="${link#tavrel-read:}"
middle=$(( ${#ticket} / 2 ))
[ "${ticket:$middle:1}" = A ] && swap=B || swap=A
refuse() {
  local what="$1" given="$2" before
  before="$(starts)"
  # Each refusal shows the message: the quiet spell after the last one is over.
  run reg add 'HKCU\Software\Morvane\Reader\Link Handler' /v 'Last Warning' /t REG_BINARY \
    /d 0000000000000000 /f >/dev/null
  if ! run "$bin/uidriver.exe" --timeout 30000 start "\"$handler\" \"$given\"" window 提示 \
      print-text 65535 command IDOK gone expect-exit 1 | tr -d '\r' |
      sed "s/^/  $what: refused with the message: /"; then
    echo "  $what: not refused as expected"
    exit 1
  fi
  sleep 1
  [ "$(starts)" -eq "$before" ] || { echo "  $what: the reader was started"; exit 1; }
}
refuse "tampered" "tavrel-read:${ticket:0:$middle}$swap${ticket:$((middle + 1))}"
refuse "expired" "$(mint --expiry "$(( $(date +%s) - 3600 ))")"
refuse "replayed" "$link"
echo "  the reader was not started again; %TEMP%\\PellwickLink.log says why:"
run cmd /c type '%TEMP%\PellwickLink.log' | tr -d '\r' | tail -n 4 | sed 's/^/    /'
echo "  unregistering"

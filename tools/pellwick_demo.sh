#!/usr/bin/env bash
# The launcher control's part of the demo: registers Pellwick.dll in the project's Wine prefix
# and runs one page script (JScript) through tools/page_script_host, as the script of two pages.
# On a page of the library it reads the machine identifier and opens a book, and the demo shows
# the command line the stand-in reader received; on a page of another site the control refuses
# (E_ACCESSDENIED) and the reader is not started again. Unregisters the DLL at the end.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/tools/demo_build.sh"
out="$root/build/demo/pellwick"

rm -rf "$out"
mkdir -p "$out/reader"
cp "$bin/Pellwick.dll" "$out/"
cp "$bin/reader_stub/Tavrel.exe" "$out/reader/"
cat > "$out/page.js" <<'JS'
// What a page of the online library does: create the control, read the machine identifier,
// open a book. An error ends the script; page_script_host prints it with its HRESULT.
var control = new ActiveXObject("MYPellwick.ReadInfo");
WScript.Echo("GetLocalID: [" + control.GetLocalID + "] (no IDE drive answers under Wine)");
control.PassReadInfoDirect("root", "A1", 2, 15, "", "\u4e66\u540d");
WScript.Echo("PassReadInfoDirect: the book is being opened");
JS

dll="$(run winepath -w "$out/Pellwick.dll" | tr -d '\r')"
reader="$(run winepath -w "$out/reader" | tr -d '\r')"
page="$(run winepath -w "$out/page.js" | tr -d '\r')"
key='HKCU\Software\Morvane\Reader'
previous="$(run reg query "$key" /ve 2>/dev/null | tr -d '\r' | awk -F'    ' '/REG_SZ/ { print $NF }')" || true
restore() {
  run regsvr32 /u /s "$dll" || true
  if [ -n "$previous" ]; then
    run reg add "$key" /ve /d "$previous" /f >/dev/null 2>&1 || true
  else
    run reg delete "$key" /ve /f >/dev/null 2>&1 || true
  fi
}
trap restore EXIT

echo "== Pellwick: a page's script opens a book in the reader; another site's page is refused"
run reg add "$key" /ve /d "$reader" /f >/dev/null
run regsvr32 /s "$dll"
echo "  registered $dll"

# Runs page.js as the script of the page at $1 and shows what it printed (kept in $answer);
# the script host's exit code.
run_page() {
  local status=0
  echo "  as the script of $1:"
  answer="$(run "$bin/page_script_host.exe" "$1" "$page" 2>&1 | tr -d '\r')" || status=$?
  printf '%s\n' "$answer" | sed 's/^/    /'
  return "$status"
}
# The number of starts of the stand-in reader: it writes its record (launch.rec) and then adds
# its command line to launch.log (UTF-16LE), one line a start.
log="$out/reader/launch.log"
starts() {
  if [ -e "$log" ]; then iconv -f UTF-16LE -t UTF-8 "$log" | grep -c '' || true; else echo 0; fi
}

run_page https://www.morvane.net/read.htm || { echo "  the library's page failed"; exit 1; }
for _ in $(seq 100); do
  [ "$(starts)" -gt 0 ] && break
  sleep 0.1
done
if [ "$(starts)" -gt 0 ]; then
  record="$out/reader/launch.rec"
  echo "  the reader was started as: $(iconv -f UTF-16LE -t UTF-8 "$record" | tr '\0' '\n' | head -n 1)"
else
  echo "  the reader was not started"
  exit 1
fi

before="$(starts)"
if run_page http://evil.example/read.htm; then
  echo "  the other site's page was not refused"
  exit 1
fi
case "$answer" in
  *"error 0x80070005"*) ;;
  *) echo "  the other site's page failed, but was not refused (E_ACCESSDENIED)"; exit 1 ;;
esac
# A reader started by the refused page would have logged its start within two seconds.
sleep 2
if [ "$(starts)" -eq "$before" ]; then
  echo "  refused with E_ACCESSDENIED: the reader was not started again"
else
  echo "  the reader was started again"
  exit 1
fi
echo "  unregistering"

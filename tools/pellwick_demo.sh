#!/usr/bin/env bash
# The launcher control's part of the demo: registers Pellwick.dll in the project's Wine prefix,
# lets a page's script (JScript through cscript) read the machine identifier and open a book,
# shows the command line the stand-in reader received, and unregisters the DLL again.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bin="$root/build/win64/bin"
out="$root/build/demo/pellwick"
run() { "$root/tools/wine-run" "$@"; }

rm -rf "$out"
mkdir -p "$out/reader"
cp "$bin/Pellwick.dll" "$out/"
cp "$bin/reader_stub/Tavrel.exe" "$out/reader/"
cat > "$out/page.js" <<'JS'
// What a page of the online library does: create the control, read the machine identifier,
// open a book. Errors are reported and end the script with a non-zero code.
try {
  var control = new ActiveXObject("MYPellwick.ReadInfo");
  WScript.Echo("  GetLocalID: [" + control.GetLocalID + "] (no IDE drive answers under Wine)");
  control.PassReadInfoDirect("root", "A1", 2, 15, "", "\u4e66\u540d");
  WScript.Quit(0);
} catch (e) {
  WScript.Echo("  error 0x" + (e.number >>> 0).toString(16) + " " + e.description);
  WScript.Quit(1);
}
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

echo "== Pellwick: a page's script opens a book in the reader"
run reg add "$key" /ve /d "$reader" /f >/dev/null
run regsvr32 /s "$dll"
echo "  registered $dll"
run cscript //nologo "$page"
record="$out/reader/launch.rec"
for _ in $(seq 100); do
  [ -e "$record" ] && break
  sleep 0.1
done
if [ -e "$record" ]; then
  echo "  the reader was started as: $(iconv -f UTF-16LE -t UTF-8 "$record" | tr '\0' '\n' | head -n 1)"
else
  echo "  the reader was not started"
  exit 1
fi
echo "  unregistering"

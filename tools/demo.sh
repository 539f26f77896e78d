#!/usr/bin/env bash
# The main job: a whole update under Wine. Publishes the sample update of tools/demo-update
# (plus the stand-in installer as setup.exe) with ostrel-publish, signed with the build's key
# (build/update-keys), starts the local update server with it, sets up a demo reader folder
# (build/demo/reader) with Ostrel.exe and a running stand-in Tavrel.exe, writes the reader's
# registry values and runs the wizard from server choice to installer start. Ostrel checks the
# signature of the manifest and of every file before it stores and before it installs them.
#
# Under the Xvfb that ./dev starts when there is no display (or with --auto), the UI driver
# works the wizard and a screenshot of every page lands in build/demo/; on a display of your
# own you work the wizard yourself. At the end the demo prints what was installed.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
source tools/demo_build.sh
export TAVREL_DEMO_BUILD="$build"
: "${DISPLAY:?the demo needs a display; run it through ./dev demo}"
auto=0
if [ -n "${TAVREL_OWN_DISPLAY:-}" ] || [ "${1:-}" = "--auto" ]; then auto=1; fi

out="$root/build/demo"
reader="$out/reader"
server="$out/server"
windows() { printf 'Z:%s' "${1//\//\\}"; }
rm -rf "$out"
mkdir -p "$reader" "$server/root"
cp "$bin/Ostrel.exe" "$bin/reader_stub/Tavrel.exe" "$reader/"
printf 'Tavrel 1.0.0.1\r\n' > "$reader/readme.txt"
cp -r tools/demo-update "$out/release"
cp "$bin/installer_stub/setup.exe" "$out/release/"
if [ "$build" = win32 ]; then
  echo "== the demo runs the shipped 32-bit build: build/win32/bin (i686), in the 32-bit Wine"
  echo "   environment (Wine 10, its i386 loader under qemu-i386)"
else
  echo "== the demo runs the x86_64 build: build/win64/bin, under Wine"
fi
echo "== publishing the sample update 1.0.0.2 with ostrel-publish and the build's key"
build/native/bin/ostrel-publish publish "$out/release" "$server/root/sample" --version 1.0.0.2 \
  --key build/update-keys/update-key.pem | sed 's/^/  /'

port="$(python3 tools/update_server.py start --root "$server/root" --state-dir "$server")"
key='HKCU\Software\Morvane\Reader'
watcher=""
ostrel=""
cleanup() {
  [ -n "$ostrel" ] && kill "$ostrel" 2>/dev/null
  if [ -n "$watcher" ] && kill -0 "$watcher" 2>/dev/null; then
    "$wine_run" taskkill /f /im Tavrel.exe >/dev/null 2>&1 || true
  fi
  python3 tools/update_server.py stop --state-dir "$server" >/dev/null 2>&1 || true
  "$wine_run" reg delete "$key" /f >/dev/null 2>&1 || true
}
trap cleanup EXIT

"$wine_run" reg delete "$key" /f >/dev/null 2>&1 || true
# The server waits a second before each answer, so the download pages stay on the screen long
# enough to be seen.
"$wine_run" reg add "$key" /v "Update Website" /d "http://127.0.0.1:$port/~delay=1000/sample" \
  /f >/dev/null
"$wine_run" reg add "$key" /v "Current Version" /d 1.0.0.1 /f >/dev/null
"$wine_run" reg add "$key" /ve /d "$(windows "$reader")" /f >/dev/null
echo "== update server on 127.0.0.1:$port offers 1.0.0.2; the reader in $reader is 1.0.0.1"

# The running reader, watched by a UI driver of its own: it passes once the reader has ended
# with exit code 1 (Wine tells a terminated process's exit code only inside Windows).
"$wine_run" "$bin/uidriver.exe" --timeout 1800000 start "$(windows "$reader")\\Tavrel.exe --wait" \
  expect-exit 1 >/dev/null 2>&1 &
watcher=$!
tries=0
until [ -f "$reader/launch.rec" ]; do
  tries=$((tries + 1))
  [ "$tries" -le 600 ] || { echo "the stand-in reader did not start" >&2; exit 1; }
  sleep 0.05
done
echo "== the stand-in reader Tavrel.exe is running"

driver() { "$wine_run" "$bin/uidriver.exe" --timeout 30000 "$@"; }
shot=0
screenshot() {
  shot=$((shot + 1))
  local file
  file="$(printf '%s/%02d-%s.png' "$out" "$shot" "$1")"
  xwd -root -silent -display "$DISPLAY" | convert xwd:- "$file"
  echo "  screenshot $file"
}

wizard="在线升级向导"
"$wine_run" "$reader/Ostrel.exe" 2> "$out/ostrel.log" &
ostrel=$!
if [ "$auto" -eq 1 ]; then
  echo "== Ostrel: the update wizard, driven by tools/uidriver"
  # The server page stores the choice and closes itself while it starts: it is never shown.
  driver dialog "$wizard" IDC_PAGE_MESSAGE repaint
  screenshot connect
  driver dialog "$wizard" IDC_FILE_LIST repaint
  screenshot file-list
  # The file-list page ends by itself once every file is stored and recorded; the finish page
  # says that the publisher's signature was verified.
  driver dialog "$wizard" IDC_FINISH_TEXT expect-text IDC_FINISH_TEXT "下载更新文件完毕！" \
    expect-text IDC_FINISH_VERIFIED "已验证发布者对本次更新的签名" repaint
  screenshot finish
  driver dialog "$wizard" IDC_FINISH_TEXT click IDC_WIZARD_NEXT gone
  driver window Ostrel repaint
  screenshot confirm-close
  driver window Ostrel syscommand IDM_ABOUTBOX window "关于 Ostrel" repaint
  screenshot about
  driver window "关于 Ostrel" click IDOK gone window Ostrel click IDOK gone
else
  echo "== Ostrel: the update wizard is on $DISPLAY; work it yourself (Continue installs)"
fi
wait "$ostrel" || true
ostrel=""
sed 's/^/  /' "$out/ostrel.log"

echo "== what happened"
if grep -q "update verified before install" "$out/ostrel.log"; then
  echo "  the update was verified: $(grep -o 'update verified before install.*' "$out/ostrel.log")"
else
  echo "  the update was NOT verified (see the lines of Ostrel above)"
fi
if wait "$watcher"; then
  echo "  the reader was terminated with exit code 1"
else
  echo "  the reader was not terminated (still running, or another exit code)"
fi
watcher=""
tries=0
while [ ! -s "$reader/installer.log" ] && [ "$tries" -lt 600 ]; do
  tries=$((tries + 1))
  sleep 0.05
done
if [ -s "$reader/installer.log" ]; then
  echo "  the installer ran $(grep -c '' "$reader/installer.log") time(s); its command line and path:"
  tr '\t' '\n' < "$reader/installer.log" | tr -d '\r' | sed '/^$/d; s/^/    /'
else
  echo "  the installer did not run"
fi
echo "  the reader folder now holds:"
(cd "$reader" && find . -type f ! -name launch.rec ! -name installer.log | sort | sed 's/^\.\//    /')
left="$(cd "$reader/update" 2>/dev/null && find . -type f ! -name 'ostrel.log*' | sort || true)"
if [ -n "$left" ]; then
  echo "  update\\ still holds files (cancelled, or moves wait for a restart):"
  sed 's/^\.\//    /' <<<"$left"
else
  echo "  update\\ holds only the log: every file was moved into place"
fi
if [ -f "$reader/update/ostrel.log" ]; then
  echo "  update\\ostrel.log, the run's log:"
  iconv -f GBK -t UTF-8 "$reader/update/ostrel.log" | tr -d '\r' | sed 's/^/    /'
fi
echo "  readme.txt: $(tr -d '\r' < "$reader/readme.txt" | head -1)"
[ "$auto" -eq 1 ] && echo "  screenshots in $out"

"$root/tools/pellwick_demo.sh"
"$root/tools/link_demo.sh"

#!/usr/bin/env bash
# Large files through the file-list page under Wine, from the local update server: the peak
# memory while a 1 GiB file arrives, against the idle process; and the bytes the next run
# fetches after a 300 MiB file was cut at 90 per cent. The files are made in build/ (sparse)
# and deleted afterwards. Run through ./dev bench.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bench="$root/build/bench/large_file"
state="$bench/server"
program="$bench/program"
mkdir -p "$state/root/large" "$program"
trap 'rm -rf "$state/root/large" "$program/update"' EXIT
cp "$root/build/win64/bin/large_file_bench.exe" "$program/"
source "$root/tools/bench_server.sh"
bench_server_start "$state/root" "$state"
trap 'bench_server_stop; rm -rf "$state/root/large" "$program/update"' EXIT
manifest() {
  rm -rf "$program/update"
  mkdir -p "$program/update"
  printf '[main]\r\nversion=1.0.0.9\r\nfilenum=1\r\n[list]\r\nfile1=%s\r\n' "$1" \
    > "$program/update/update.ini"
}
run() { "$root/tools/wine-run" "$program/large_file_bench.exe" "$@" | tr -d '\r'; }

truncate -s 1G "$state/root/large/huge.bin"
manifest huge.bin
bench_website "$bench_server/large"
out=$(run)
[ "$(bench_value succeeded "$out")" = 1 ] || { echo "the 1 GiB page did not succeed" >&2; exit 1; }
cmp -s "$program/update/huge.bin" "$state/root/large/huge.bin" || {
  echo "the stored 1 GiB file differs" >&2; exit 1; }
awk -v i="$(bench_value idle-kib "$out")" -v p="$(bench_value peak-kib "$out")" \
  -v s="$(bench_value seconds "$out")" -v ip="$(bench_value idle-private-kib "$out")" \
  -v ap="$(bench_value private-kib "$out")" 'BEGIN {
  printf "1 GiB file through the page in %.1f s: working set %.1f MiB idle, peak %.1f MiB;\n",
    s, i / 1024, p / 1024
  printf "private %.1f MiB idle, %.1f MiB after\n", ip / 1024, ap / 1024
  printf "peak working set above idle: %.1f MiB (target: at most 32)\n", (p - i) / 1024
}'
rm -f "$state/root/large/huge.bin" "$program/update/huge.bin"

size=$((300 * 1024 * 1024))
cut=$((size * 9 / 10))
head -c "$size" /dev/urandom > "$state/root/large/cut.bin"
manifest cut.bin
bench_website "$bench_server/~cut=$cut/large"
out=$(run close)
[ "$(bench_value succeeded "$out")" = 0 ] || { echo "the cut run succeeded" >&2; exit 1; }
bench_website "$bench_server/large"
out=$(run)
[ "$(bench_value succeeded "$out")" = 1 ] || { echo "the run after the cut did not succeed" >&2; exit 1; }
cmp -s "$program/update/cut.bin" "$state/root/large/cut.bin" || {
  echo "the resumed file differs" >&2; exit 1; }
received=$(grep -a "GET $bench_server/large/cut.bin" "$program/update/ostrel.log" | tail -n1 |
  sed -n 's/.*received \([0-9]*\),.*/\1/p')
awk -v r="$received" -v s="$size" 'BEGIN {
  printf "300 MiB cut at 90%%: the next run fetched %.1f MiB, %.1f%% of the file (target: at most 10%% + 1 MiB)\n",
    r / 1048576, 100 * r / s
}'

#!/usr/bin/env bash
# The file-list page under Wine: an update of 200 files of 64 KiB from the local update server
# through the page, against a bare WinInet loop over the same URLs (one session, 64 KiB reads,
# nothing stored) and curl fetching them in one process; then the skip pass over manifests
# whose files are all recorded. Run through ./dev bench.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bench="$root/build/bench/file_list"
state="$bench/server"
count=200
mkdir -p "$state/root" "$bench/program"
for i in $(seq 1 $count); do
  file="$state/root/$(printf 'file%04d.bin' "$i")"
  [ -f "$file" ] || head -c 65536 /dev/urandom > "$file"
done
cp "$root/build/win64/bin/file_list_bench.exe" "$bench/program/"
source "$root/tools/bench_server.sh"
bench_server_start "$state/root" "$state"
base="$bench_server"
bench_website "$base"

config="$bench/curl.config"
: > "$config"
for i in $(seq 1 $count); do
  printf 'url = "%s/file%04d.bin"\noutput = "/dev/null"\n' "$base" "$i" >> "$config"
done
start=$(date +%s.%N)
curl -s -K "$config"
curl_seconds=$(awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN {print e - s}')
exe="$bench/program/file_list_bench.exe"
rm -f "$bench/program/ostrel-signed-version.txt"  # a mark refuses the unsigned run
times=$("$root/tools/wine-run" "$exe" fetch "$base" $count | tr -d '\r')
bare=$(bench_value bare "$times")
page=$(bench_value page "$times")
page_end=$(bench_value page-end "$times")
fetcher=$(bench_value fetcher "$times")
printf '%d files of 64 KiB: curl %.3f s, bare WinInet loop %.3f s, the pages'"'"' fetcher alone %.3f s\n' \
  $count "$curl_seconds" "$bare" "$fetcher"
printf 'the page: %.3f s to its success, %.3f s to its end\n' "$page" "$page_end"
awk -v p="$page" -v e="$page_end" -v b="$bare" -v f="$fetcher" -v c="$curl_seconds" 'BEGIN {
  printf "fetcher alone / bare loop: %.2f\n", f / b
  printf "page / bare loop: %.2f (target: at most 1.3); to its end: %.2f; page / curl: %.1f\n",
    p / b, e / b, p / c
}'
# A link with 50 ms before each answer (the server delays every request): the page against the
# bare loop under the same delay, which alone waits 200 x 50 ms.
bench_website "$base/~delay=50"
times=$("$root/tools/wine-run" "$exe" fetch "$base/~delay=50" $count | tr -d '\r')
bench_website "$base"
slow_bare=$(bench_value bare "$times")
slow_page=$(bench_value page "$times")
printf '%d files, 50 ms per answer: bare WinInet loop %.3f s, the page %.3f s to its success\n' \
  $count "$slow_bare" "$slow_page"
awk -v p="$slow_page" -v b="$slow_bare" 'BEGIN {
  printf "page / bare loop at 50 ms per answer: %.2f (target: at most 0.35)\n", p / b
}'
# The same page with a signed manifest (sizes and hashes, each file checked before it is stored)
# against the unsigned one, both over the files that ostrel-publish put in the folder signed/.
release="$bench/release"
if [ ! -f "$state/root/signed/update.htm" ]; then
  rm -rf "$release" "$state/root/signed"
  mkdir -p "$release"
  ln "$state/root"/file*.bin "$release/"
  "$root/build/native/bin/ostrel-publish" publish "$release" "$state/root/signed" \
    --version 2.0.0.0 --key "$root/build/update-keys/update-key.pem" --installer file0001.bin \
    >/dev/null
fi
bench_website "$base/signed"
"$root/tools/wine-run" reg delete "$bench_key" /v "Signed Update Version" /f >/dev/null 2>&1 || true
rm -f "$bench/program/ostrel-signed-version.txt"  # a mark refuses the unsigned run
times=$("$root/tools/wine-run" "$exe" signed $count "Z:${state//\//\\}\\root\\signed\\update.htm" |
  tr -d '\r')
unsigned=$(bench_value unsigned "$times")
signed=$(bench_value signed "$times")
printf '%d files of 64 KiB through the page, best of three: unsigned %.3f s, signed %.3f s\n' \
  $count "$unsigned" "$signed"
awk -v s="$signed" -v u="$unsigned" 'BEGIN {
  printf "signed / unsigned: %.3f (target: at most 1.05)\n", s / u
}'
bench_website "$base"
# The record is read once per run into memory: the pass grows with the count (target: under
# 0.5 s at 2000 files).
for n in 500 1000 2000 4000; do
  skip=$(bench_value skip "$("$root/tools/wine-run" "$exe" skip $n | tr -d '\r')")
  printf 'skip pass, %d files all recorded: %.3f s from the page start to Succeeded\n' "$n" "$skip"
done

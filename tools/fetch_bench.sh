#!/usr/bin/env bash
# Fetches a 64 MiB file from the local update server in one run: with curl, and under Wine
# with a bare WinInet loop of 64 KiB reads, the fetcher alone and the file-list page itself.
# Prints the times and ratios. Run through ./dev bench.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
state="$root/build/bench/server"
reader="$root/build/bench/reader"
source "$root/tools/bench_server.sh"
mkdir -p "$state/root/bench" "$reader"
[ -f "$state/root/big.bin" ] || head -c $((64 * 1024 * 1024)) /dev/urandom > "$state/root/big.bin"
cp "$root/build/win64/bin/fetch_bench.exe" "$reader/"
rm -rf "$reader/update"
mkdir -p "$reader/update"
printf '[main]\r\nversion=1.0.0.9\r\nfilenum=1\r\n[list]\r\nfile1=big.bin\r\n' \
  > "$reader/update/update.ini"
bench_server_start "$state/root" "$state"
server="$bench_server"
bench_website "$server"

curl_seconds=$(curl -s -o /dev/null -w '%{time_total}' "$server/big.bin")
times=$("$root/tools/wine-run" "$reader/fetch_bench.exe" "$server/big.bin" | tr -d '\r')
get() { bench_value "$1" "$times"; }
cmp -s "$reader/update/big.bin" "$state/root/big.bin" || { echo "the stored file differs" >&2; exit 1; }
printf 'curl %.3f s; under Wine: bare WinInet loop (64 KiB reads) %.3f s, fetcher alone %.3f s,\n' \
  "$curl_seconds" "$(get bare)" "$(get quiet)"
printf 'file-list page (fetch, progress, store, record) %.3f s to its success, %.3f s to its end\n' \
  "$(get page)" "$(get page-end)"
# SHA-256 of the same 64 MiB: CNG under Wine, read in pieces as the check before the install
# reads each file, against sha256sum.
start=$(date +%s.%N)
native_sum=$(sha256sum "$state/root/big.bin" | cut -d' ' -f1)
sum_seconds=$(awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN {print e - s}')
cp "$root/build/win64/bin/hash_bench.exe" "$reader/"
read -r _ cng_seconds cng_sum < <("$root/tools/wine-run" "$reader/hash_bench.exe" \
  "Z:${state//\//\\}\\root\\big.bin" | tr -d '\r')
[ "$cng_sum" = "$native_sum" ] || { echo "CNG's SHA-256 differs from sha256sum's" >&2; exit 1; }
printf 'SHA-256 of 64 MiB: sha256sum %.3f s, CNG under Wine %.3f s; CNG / sha256sum: %.2f\n' \
  "$sum_seconds" "$cng_seconds" "$(awk -v c="$cng_seconds" -v s="$sum_seconds" 'BEGIN {print c / s}')"
awk -v b="$(get bare)" -v q="$(get quiet)" -v p="$(get page)" -v e="$(get page-end)" \
  -v c="$curl_seconds" 'BEGIN {
  printf "fetcher alone / bare loop: %.2f\n", q / b
  printf "file-list page / bare loop: %.2f (target: at most 1.3); to its end: %.2f\n", p / b, e / b
  printf "file-list page / curl: %.1f\n", p / c
}'

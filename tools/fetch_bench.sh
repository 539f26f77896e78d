#!/usr/bin/env bash
# Fetches a 64 MiB file from the local update server three ways in one run (curl; a bare
# WinInet loop under Wine; the fetcher with a progress bar and status text served by a
# user-interface thread under Wine) and prints the ratios. Run through ./dev bench.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
state="$root/build/bench/server"
mkdir -p "$state/root"
[ -f "$state/root/big.bin" ] || head -c $((64 * 1024 * 1024)) /dev/urandom > "$state/root/big.bin"
python3 "$root/tools/update_server.py" start --root "$state/root" --state-dir "$state" >/dev/null
trap 'python3 "$root/tools/update_server.py" stop --state-dir "$state"' EXIT
url="http://127.0.0.1:$(cat "$state/port")/big.bin"

curl_seconds=$(curl -s -o /dev/null -w '%{time_total}' "$url")
times=$("$root/tools/wine-run" "$root/build/win64/bin/fetch_bench.exe" "$url" | tr -d '\r')
bare=$(awk '$1 == "bare" {print $2}' <<<"$times")
quiet=$(awk '$1 == "quiet" {print $2}' <<<"$times")
fetcher=$(awk '$1 == "fetcher" {print $2}' <<<"$times")
printf 'curl %.3f s, bare WinInet loop %.3f s, fetcher without window calls %.3f s,\n' \
  "$curl_seconds" "$bare" "$quiet"
printf 'fetcher with window calls %.3f s\n' "$fetcher"
awk -v f="$fetcher" -v b="$bare" -v c="$curl_seconds" -v q="$quiet" 'BEGIN {
  printf "window calls: %.0f us per chunk of 2048 bytes\n", (f - q) * 1e6 / (64 * 512)
  printf "fetcher / bare loop: %.2f (target: at most 1.5)\n", f / b
  printf "fetcher / curl: %.1f\n", f / c
}'

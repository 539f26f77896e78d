# What the benchmark scripts share; sourced by them, with $root set to the checkout.
#   bench_server_start ROOT STATE   serves ROOT from the local update server for this script
#                                   ($bench_server holds its base address); at exit the server
#                                   stops and the reader's values the benchmarks change
#                                   ("Update Website", "Signed Update Version") are put back
#   bench_website URL               sets the reader's "Update Website"
#   bench_value NAME TEXT           the value on TEXT's line "NAME VALUE" (what the benchmark
#                                   programs print)
bench_key='HKCU\Software\Morvane\Reader'
bench_values=("Update Website" "Signed Update Version")

bench_value() { awk -v name="$1" '$1 == name {print $2}' <<<"$2"; }

bench_website() {
  "$root/tools/wine-run" reg add "$bench_key" /v "Update Website" /d "$1" /f >/dev/null
}

bench_server_start() {
  bench_state="$2"
  python3 "$root/tools/update_server.py" start --root "$1" --state-dir "$bench_state" >/dev/null
  bench_server="http://127.0.0.1:$(cat "$bench_state/port")"
  bench_saved=()
  local name
  for name in "${bench_values[@]}"; do
    bench_saved+=("$("$root/tools/wine-run" reg query "$bench_key" /v "$name" 2>/dev/null |
      tr -d '\r' | awk '$NF != "" && $(NF - 1) == "REG_SZ" {print $NF}' || true)")
  done
  trap bench_server_stop EXIT
}

bench_server_stop() {
  python3 "$root/tools/update_server.py" stop --state-dir "$bench_state"
  local i
  for i in "${!bench_values[@]}"; do
    if [ -n "${bench_saved[$i]}" ]; then
      "$root/tools/wine-run" reg add "$bench_key" /v "${bench_values[$i]}" \
        /d "${bench_saved[$i]}" /f >/dev/null
    else
      "$root/tools/wine-run" reg delete "$bench_key" /v "${bench_values[$i]}" /f \
        >/dev/null 2>&1 || true
    fi
  done
}

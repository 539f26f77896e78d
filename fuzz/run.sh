#!/usr/bin/env bash
# Runs one fuzz target (see CMakeLists.txt here); ./dev fuzz and the smoke tests call it.
#   run.sh fuzz  NAME BINARY SEEDS OUT SECONDS  explore for SECONDS; the corpus (the seeds and
#                                               every new input) grows in OUT/corpus
#   run.sh smoke NAME BINARY SEEDS OUT RUNS     every finding kept in OUT so far, the seeds, then
#                                               RUNS inputs mutated from a fixed random seed
# An input that fails is kept in OUT/findings/ and the command that replays it is printed.
# The last line printed sums the run up: executions per second, corpus size, findings.
set -euo pipefail
[ $# -eq 6 ] || { sed -n '2,9p' "$0"; exit 2; }
mode=$1 name=$2 binary=$3 seeds=$4 out=$5 amount=$6

corpus="$out/corpus"
findings="$out/findings"
[ "$mode" = smoke ] && rm -rf "$corpus"
mkdir -p "$corpus" "$findings"
# The corpus holds the seeds too, so one folder replays or minimises everything found so far.
[ -d "$seeds" ] && cp -n "$seeds"/* "$corpus"/ 2>/dev/null || true

# -timeout bounds the time of one input: a slower one is a finding like a crash.
options=(-timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/")
case "$mode" in
  fuzz) options+=(-max_total_time="$amount") ;;
  smoke) options+=(-seed=1 -runs="$amount" -max_total_time=120) ;;
  *) echo "unknown mode $mode" >&2; exit 2 ;;
esac

log="$out/last-run.log"
status=0
export UBSAN_OPTIONS=print_stacktrace=1
# Mutations depend on code addresses too, so a rerun can miss what a run found: the smoke test
# first replays every finding kept so far (mended ones pass), then fuzzes.
if [ "$mode" = smoke ] && [ -n "$(ls -A "$findings")" ]; then
  "$binary" -artifact_prefix="$findings/" "$findings"/* >"$log" 2>&1 || status=$?
fi
[ "$status" -ne 0 ] || "$binary" "${options[@]}" "$corpus" >"$log" 2>&1 || status=$?

finding=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -n1)
speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n1)
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)
reached=$(grep -o 'corp: [0-9]*' "$log" | tail -n1 | cut -d' ' -f2 || true)
if [ "$status" -ne 0 ]; then
  # The report (the property that failed, or the sanitizer's with its stack), then the summary.
  grep -v '^#\|^INFO:\|^stat::' "$log" | tail -n 60 >&2
  echo "$name: FINDING kept in ${finding:-$findings (see $log)}"
  echo "  replay: $binary $finding"
  exit 1
fi
if [ "$mode" = smoke ]; then
  echo "$name: ${runs:-?} inputs, no finding"
else
  echo "$name: ${speed:-?} exec/s, ${runs:-?} inputs, corpus ${reached:-?}" \
    "($(find "$corpus" -type f | wc -l) files kept), no finding"
fi

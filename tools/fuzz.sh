#!/usr/bin/env bash
# Builds the fuzz targets (preset fuzz: clang, libFuzzer, ASan+UBSan) and runs each for a while, one
# at a time and niced, then prints a table: executions, executions per second, coverage at the start
# and the end, inputs added, crashes and the size of the working corpus.
#   tools/fuzz.sh [seconds-per-target | -runs=N] [target...]   (default 60 seconds, every target)
# Each target starts from its stored corpus (fuzz/corpus/<target>/, never written) and its working
# corpus build/fuzz/corpus/<target>/, which keeps what earlier runs found. Crashes, property
# violations, time-outs and leaks are written to build/fuzz/crashes/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."

limit="-max_total_time=${1:-60}"
case "${1:-}" in
  -runs=*) limit=$1 ;;
  ''|*[!0-9]*) [ -n "${1:-}" ] && { echo "usage: $0 [seconds-per-target | -runs=N] [target...]" >&2; exit 2; } ;;
esac
[ $# -gt 0 ] && shift

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for src in fuzz/fuzz_*.cpp; do
    name=${src#fuzz/fuzz_}
    targets+=("${name%.cpp}")
  done
fi
for t in "${targets[@]}"; do
  [ -f "fuzz/fuzz_$t.cpp" ] || { echo "no fuzz target '$t' (fuzz/fuzz_$t.cpp)" >&2; exit 2; }
done

echo "== building the fuzz targets (preset fuzz)"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"

stat_of() { sed -n "s/^stat::$1: *//p" "$2" | tail -1; }
cov_of() { grep -o "$1.*cov: [0-9]*" "$2" | head -1 | grep -o '[0-9]*$' || true; }

rows=()
found=0
for t in "${targets[@]}"; do
  work=build/fuzz/corpus/$t
  crashes=build/fuzz/crashes/$t
  log=build/fuzz/logs/$t.log
  mkdir -p "$work" "$crashes" build/fuzz/logs
  echo "== fuzz_$t ($limit)"
  status=0
  # Slow inputs (a send log of megabytes) get less of the time, so the rest is not starved.
  nice -n 10 "build/fuzz/fuzz/fuzz_$t" "$limit" -print_final_stats=1 -timeout=25 -rss_limit_mb=4096 \
    -entropic_scale_per_exec_time=1 \
    -dict="fuzz/dict/$t.dict" -artifact_prefix="$crashes/" "$work" "fuzz/corpus/$t" >"$log" 2>&1 || status=$?
  execs=$(stat_of number_of_executed_units "$log")
  speed=$(stat_of average_exec_per_sec "$log")
  added=$(stat_of new_units_added "$log")
  start=$(cov_of INITED "$log")
  end=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*$' || true)
  crashed=$(find "$crashes" -type f | wc -l)
  corpus=$(find "$work" -type f | wc -l)
  # 72: the run was interrupted (Ctrl-C), which is no finding.
  if [ "$status" -eq 72 ] && [ "$crashed" -eq 0 ]; then
    echo "   interrupted"
  elif [ "$status" -ne 0 ] || [ "$crashed" -gt 0 ]; then
    found=1
    grep -E "property violated|ERROR: (AddressSanitizer|libFuzzer|LeakSanitizer)|runtime error" "$log" | head -3 || true
  fi
  rows+=("$(printf '%-15s %12s %9s %6s %6s %6s %8s %8s' "$t" "${execs:-?}" "${speed:-?}" "${start:-?}" \
    "${end:-?}" "${added:-?}" "$crashed" "$corpus")")
done

echo
printf '%-15s %12s %9s %6s %6s %6s %8s %8s\n' target executions exec/s cov0 cov new crashes corpus
printf '%s\n' "${rows[@]}"
echo "(cov0 and cov: coverage points when the stored corpus was loaded and at the end; logs in build/fuzz/logs/)"
if [ $found -ne 0 ]; then
  echo "X  crashes or property violations were found: build/fuzz/crashes/<target>/ holds each input;"
  echo "   run build/fuzz/fuzz/fuzz_<target> <file> to see it again"
  exit 1
fi
echo "ok no crash and no property violation"

#!/usr/bin/env bash
# Soaks the resident agent: builds it (release, or --asan for the ASan+UBSan build), starts it
# offscreen against a demo POS and the reference server with both timers at a short period, adds a
# sale to the POS every cycle, and prints the start time, the resident memory, the open descriptors
# and the threads against their targets. Takes cycles x period (the defaults: about 17 minutes).
#   tools/soak.sh [--asan] [cycles] [period-ms]     (default 1000 cycles, 1000 ms)
# No other resident agent may run meanwhile: the agent allows one per machine.
set -euo pipefail
cd "$(dirname "$0")/.."

preset=release
if [ "${1:-}" = "--asan" ]; then
  preset=asan
  shift
fi
cycles=${1:-1000}
period=${2:-1000}

echo "== building the agent and the soak ($preset)"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)" --target pavona-agent pavona-refserver soak_resident >/dev/null
echo "== soaking: $cycles cycles of $period ms"
if [ "$preset" = asan ]; then
  # A leak or a fault in the agent ends it with a report on its standard error, which the soak
  # shows; the soak itself is not the subject.
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:exitcode=23
  export LSAN_OPTIONS="suppressions=$PWD/tools/lsan.supp"
  export SOAK_SANITIZED=1
fi
exec "build/$preset/bench/soak/soak_resident" "$cycles" "$period"

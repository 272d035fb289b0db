#!/usr/bin/env bash
# The README's test command: set up, build from scratch in build/debug, run every test through
# CTest, then build the variant without the window to prove the engine needs no Qt Widgets.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh

jobs=$(nproc)
cmake --preset debug >/dev/null
cmake --build --preset debug -j "$jobs"
ctest --preset debug -j "$jobs" --timeout 300

echo "== building without the window (PAVONA_GUI=OFF)"
cmake --preset nogui >/dev/null
cmake --build --preset nogui -j "$jobs" --target pavona-agent

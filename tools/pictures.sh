#!/usr/bin/env bash
# Draws every prepared window state offscreen at 100 % and 150 % into build/pictures (or the folder
# given), to look at a page without a POS, a server or a display.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/pictures}
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target pavona-pictures
tool=build/release/tools/pictures/pavona-pictures
"$tool" --out "$out" 2> >(grep -v 'systemTrayWindowChanged\|XDG_RUNTIME_DIR' >&2)
"$tool" --out "$out" --scale 1.5 2> >(grep -v 'systemTrayWindowChanged\|XDG_RUNTIME_DIR' >&2)

#!/usr/bin/env bash
# Cross-builds the preset windows (mingw-w64) and runs the platform layer's check under wine in a
# throw-away wine prefix. Needs g++-mingw-w64-x86-64-posix and wine (see docs/windows.md).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$(nproc)" --target platform-smoke
prefix=$(mktemp -d /tmp/pavona-wine-XXXXXX)
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$prefix"' EXIT
WINEPREFIX=$prefix WINEDEBUG=-all wine build/windows/platform-smoke.exe 2>&1 | grep -v '^wine: '

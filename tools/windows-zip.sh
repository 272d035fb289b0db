#!/usr/bin/env bash
# The Windows download: builds the console program in the preset windows (mingw-w64, release) and
# packs build/windows/pavona-agent-windows-<version>.zip with PavonaAgent.exe (stripped), README.md,
# docs/windows.md and the licences the Debian package ships (the agent's own statement and the
# Pretendard typeface's licence). Needs g++-mingw-w64-x86-64-posix and libz-mingw-w64-dev.
#   tools/windows-zip.sh
set -euo pipefail
cd "$(dirname "$0")/.."

for tool in x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-strip; do
  command -v "$tool" >/dev/null || {
    echo "X  $tool is missing: sudo apt-get install -y g++-mingw-w64-x86-64-posix libz-mingw-w64-dev"
    exit 1
  }
done

build=build/windows
log=$build/zip-build.log
mkdir -p "$build"
# A zip left by an earlier run must not pass for this one's when the build fails.
rm -f "$build"/pavona-agent-windows-*.zip
echo "== building the Windows agent (preset windows, release); log in $log"
if ! { cmake --preset windows && cmake --build --preset windows -j "$(nproc)" --target pavona-agent; } >"$log" 2>&1; then
  tail -n 40 "$log"
  echo "X  the Windows build failed (whole log: $log); no zip was made"
  exit 1
fi
# The preset says Release; a cache left with another build type would pack a program nobody meant.
type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt")
[ "$type" = Release ] || { echo "X  $build is configured as '${type}', not Release"; exit 1; }
# project(VERSION) of the top CMakeLists.txt, as the configure step just read it.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "X  no project version in $build/CMakeCache.txt"; exit 1; }
[ -f "$build/pavona-agent.exe" ] || { echo "X  the build left no $build/pavona-agent.exe"; exit 1; }

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
# Windows knows the agent by this name: /install copies it under it and the Run value names it
# (kProgramFileName in platform/Platform.h).
x86_64-w64-mingw32-strip -o "$stage/PavonaAgent.exe" "$build/pavona-agent.exe"
cp README.md "$stage/README.md"
mkdir -p "$stage/docs"
cp docs/windows.md "$stage/docs/windows.md"
# The licences are those of the Debian package's copyright file: its first stanzas state the
# agent's own licence, and the typeface's stanza carries resources/fonts/LICENSE.txt. Text files
# get CR LF, which every Notepad shows as lines.
sed '/^Files: resources\/fonts\//,$d' packaging/copyright.in | sed -e :a -e '/^\n*$/{$d;N;ba' -e '}' |
  sed 's/$/\r/' >"$stage/LICENSE.txt"
grep -q '^License: ' "$stage/LICENSE.txt" || { echo "X  no licence stanza read from packaging/copyright.in"; exit 1; }
sed 's/\r$//; s/$/\r/' resources/fonts/LICENSE.txt >"$stage/LICENSE-Pretendard.txt"

zip=$PWD/$build/pavona-agent-windows-$version.zip
rm -f "$zip"
files=(PavonaAgent.exe README.md docs/windows.md LICENSE.txt LICENSE-Pretendard.txt)
(cd "$stage" && cmake -E tar cf "$zip" --format=zip -- "${files[@]}")

echo "== $zip ($(stat -c %s "$zip") bytes)"
cmake -E tar tvf "$zip"

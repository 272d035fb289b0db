#!/usr/bin/env bash
# The README's test command: set up, build from scratch in build/debug, run every test through
# CTest, build and check the Debian package, build the variant without the window to prove the
# engine needs no Qt Widgets, then build
# with AddressSanitizer and UBSan in build/asan and run the suite again there, and last run the fuzz
# targets over their stored corpora, and at the end the Windows build's tests under wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh

jobs=$(nproc)
cmake --preset debug >/dev/null
cmake --build --preset debug -j "$jobs"
ctest --preset debug -j "$jobs" --timeout 300

# The Debian package from the release build: lintian without errors, and the files the README's
# table names (about 4 minutes on 2 cores, most of it the release build).
bash tools/package.sh

echo "== building without the window (PAVONA_GUI=OFF)"
cmake --preset nogui >/dev/null
cmake --build --preset nogui -j "$jobs" --target pavona-agent

# What runs here: every test of the debug run, built with the asan preset. On 2 cores the sanitizer
# build took 2¼–3¾ minutes from scratch and its tests ½–¾ of a minute, so this adds about 3–5
# minutes to the 5 the steps above take.
# ASan and LeakSanitizer write their reports to files, so that a report from a child process (the
# agent started by a test, the reference server) fails the run as well, not only one from a test
# program itself. UBSan stops the program at its first finding (-fno-sanitize-recover).
echo "== the tests again under AddressSanitizer and UBSan"
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs"
reports="$PWD/build/asan/sanitizer-reports"
rm -rf "$reports"
mkdir -p "$reports"
status=0
ASAN_OPTIONS="log_path=$reports/asan" LSAN_OPTIONS="suppressions=$PWD/tools/lsan.supp:print_suppressions=0" \
  ctest --preset asan -j "$jobs" --timeout 300 || status=$?
if compgen -G "$reports/asan.*" >/dev/null; then
  echo "== sanitizer reports"
  cat "$reports"/asan.*
  status=1
fi

# Each libFuzzer target (clang, ASan+UBSan) runs every input of its stored corpus once: the seeds and
# the inputs of faults found before. Only the engine libraries and the targets are built; on 2 cores
# this step took 1½ minutes from scratch (82 s to build, a second to run). The long runs are tools/fuzz.sh.
echo "== the fuzz targets over their stored corpora"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"
ctest --preset fuzz -j "$jobs" --timeout 300 || status=1

# The Windows build (mingw-w64) and its tests under wine: the unit tests and the engine, client and
# console-mode tests against the reference server (this build's) and demo POS files read through
# wine's ODBC bridge. On 2 cores the build took about 3 minutes from scratch and the tests about one.
echo "== the Windows build and its tests under wine"
bash tools/windows-tests.sh || status=1
exit $status

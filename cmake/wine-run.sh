#!/usr/bin/env bash
# Runs a Windows test program under wine for CTest (CMAKE_CROSSCOMPILING_EMULATOR of the windows
# preset): quiet, in the wine prefix named by WINEPREFIX or the build folder's own. Wine's own
# lines ("wine: ...") are kept out of the test's output; PAVONA_WINE_MESSAGES names a file that
# collects them, with the test they came from.
export WINEDEBUG=${WINEDEBUG:--all}
export WINEPREFIX=${WINEPREFIX:-$(dirname "$(dirname "$1")")/wineprefix}
exec wine "$@" 2> >(awk -v file="${PAVONA_WINE_MESSAGES:-/dev/null}" -v test="$(basename "$1") ${2:-}" \
  '/^wine: / { print test ": " $0 >> file; fflush(file); next } { print > "/dev/stderr"; fflush("/dev/stderr") }')

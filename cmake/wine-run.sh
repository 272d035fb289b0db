#!/usr/bin/env bash
# Runs a Windows test program under wine for CTest (CMAKE_CROSSCOMPILING_EMULATOR of the windows
# preset): quiet, in the wine prefix named by WINEPREFIX or the build folder's own.
export WINEDEBUG=${WINEDEBUG:--all}
export WINEPREFIX=${WINEPREFIX:-$(dirname "$(dirname "$1")")/wineprefix}
exec wine "$@" 2> >(grep -v '^wine: ' >&2)

#!/usr/bin/env bash
# The Windows tests under wine: builds the windows preset (mingw-w64, googletest from its Debian
# sources) and runs its test programs through CTest. The reference server is the host's own program
# (build/debug), started by the tests through wine on one set of test certificates; as root, a
# private mount namespace binds a copy of /etc/ssl/certs holding their CA over the real one, which
# is where wine builds its trust store from. Without root the tests that need the server skip.
# One wineserver is kept running (-p) for the whole run, so each test starts in a fraction of a
# second instead of seconds.
#   tools/windows-tests.sh [ctest arguments, e.g. -R Console]   (after tools/setup.sh, which
#   installs mingw-w64 and wine)
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

echo "== the Windows build with its tests (preset windows)"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"

server=$PWD/build/debug/tools/refserver/pavona-refserver
if [ ! -x "$server" ]; then
  cmake --preset debug >/dev/null
  cmake --build --preset debug -j "$jobs" --target pavona-refserver
fi

work=$(mktemp -d /tmp/pavona-wine-tests-XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all PAVONA_WINE_MESSAGES=$work/wine-messages.log
# A display of its own, so that the tests of the hidden windows (the single instance's broadcast,
# the session's end) can make their windows; without one they say they skip.
xvfb_pid=
if command -v Xvfb >/dev/null; then
  Xvfb -displayfd 3 -nolisten tcp -screen 0 640x480x24 3>"$work/display" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
  [ -s "$work/display" ] && export DISPLAY=:$(cat "$work/display")
fi
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  if [ -s "$PAVONA_WINE_MESSAGES" ]; then
    echo "== wine's own messages during the run ($PAVONA_WINE_MESSAGES):"
    sort "$PAVONA_WINE_MESSAGES" | uniq -c | sort -rn | head -20
  fi
  # A server whose test ended before stopping it (a crash, a time-out) is named by the run's folder.
  pkill -f "$work/certs" 2>/dev/null || true
  [ -n "${PAVONA_KEEP_WINE_RUN:-}" ] || rm -rf "$work"
}
trap cleanup EXIT

run_tests() {
  # Detached from this script's output, or a pipe reading it would wait for the wineserver too.
  wineserver -p </dev/null >/dev/null 2>&1
  # The prefix, and with one HTTPS exchange its trust store, are made once before the tests start
  # in parallel: two first programs of a fresh prefix at once were seen to fail TLS or to hang.
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
  local tries=0
  until ctest --preset windows -R '^AgentApiHttpsTest[.]FirstRequestLogsIn' --timeout 120 --output-on-failure \
    >>"$WINEPREFIX/../warm-up.log" 2>&1; do
    tries=$((tries + 1))
    if [ "$tries" -ge 3 ]; then
      echo "== the first HTTPS exchange in the fresh prefix failed three times:"
      tail -30 "$WINEPREFIX/../warm-up.log"
      break
    fi
  done
  [ "$tries" -gt 0 ] && [ "$tries" -lt 3 ] && echo "== the first HTTPS exchange passed after $tries failed tries"
  # A test that fails or hangs under wine runs once more, its first output shown: wine now and then
  # fails to start a program at all, and a test used to hang in its teardown (one run in three,
  # until the tests' folders were removed without libstdc++'s remove_all). A fault of the agent
  # fails twice; the Linux run before this one repeats nothing.
  ctest --preset windows -j "$jobs" --output-on-failure --repeat until-pass:2 "$@"
}

if [ "$(id -u)" = 0 ] && unshare -m true 2>/dev/null; then
  "$server" --make-certs "$work/certs" >/dev/null
  cp -a /etc/ssl/certs "$work/trust"
  cp "$work/certs/ca.pem" "$work/trust/pavona-test-ca.pem"
  ln -sf pavona-test-ca.pem "$work/trust/$(openssl x509 -hash -noout -in "$work/certs/ca.pem").0"
  cat /etc/ssl/certs/ca-certificates.crt "$work/certs/ca.pem" > "$work/trust/ca-certificates.crt"
  export PAVONA_REFSERVER_BIN=$server PAVONA_TEST_CERTS=$work/certs
  export -f run_tests
  export jobs
  unshare -m bash -c 'mount --bind "$1" /etc/ssl/certs && shift && run_tests "$@"' run "$work/trust" "$@"
else
  echo "== not root (or no private mount namespace): the tests that need the reference server skip"
  run_tests "$@"
fi

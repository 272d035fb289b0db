#!/usr/bin/env bash
# Fails when a source file includes a header of a layer above its own. The engine's layers, lowest
# first: common < platform < config < store < pos, server < engine < app < ui (pos and server are
# side by side and include neither each other). The test tools may include any engine layer but
# never tests/ or ui/; the picture tool draws the window, so it may include ui/ too; tests/ and
# bench/ sit on top and may include anything. It also fails on a preprocessor test of the operating
# system outside platform/: each system's code lives in its own files there (or in tests/support/<os>/,
# chosen by CMake).
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

declare -A rank=([common]=0 [platform]=1 [config]=2 [store]=3 [pos]=4 [server]=4 [engine]=5 [app]=6 [ui]=7)
bad=0
while IFS= read -r -d '' file; do
  area=${file%%/*}
  while IFS= read -r target; do
    [ -n "$target" ] || continue
    ok=1
    if [ "$area" = tools ]; then
      case $target in
        tests) ok=0 ;;
        ui) case $file in tools/pictures/*) ;; *) ok=0 ;; esac ;;
      esac
    else
      own=${rank[$area]}
      other=${rank[$target]:-}
      if [ -z "$other" ] || [ "$other" -gt "$own" ] || { [ "$other" -eq "$own" ] && [ "$target" != "$area" ]; }; then
        ok=0
      fi
    fi
    if [ $ok = 0 ]; then
      echo "X  $file includes $target/ (a layer above or beside $area/)"
      bad=1
    fi
  done < <(sed -n 's|^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([a-z]*\)/.*|\1|p' "$file" | sort -u)
done < <(find common platform config store pos server engine app ui tools \
           -type f \( -name '*.h' -o -name '*.cpp' \) -print0)
os_tests=$(grep -rnE '^[[:space:]]*#[[:space:]]*(if|ifdef|ifndef|elif)\b.*\b(_WIN32|_WIN64|WIN32|__MINGW32__|__MINGW64__|__linux__|__unix__|__APPLE__)\b' \
  --include='*.h' --include='*.cpp' common config store pos server engine app ui tools tests bench fuzz 2>/dev/null || true)
if [ -n "$os_tests" ]; then
  echo "X  a test of the operating system outside platform/:"
  echo "$os_tests"
  bad=1
fi
if [ $bad = 0 ]; then echo "ok every include stays in its layer or below, and no system test outside platform/"; fi
exit $bad

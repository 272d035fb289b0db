#!/usr/bin/env bash
# Fails when a source file includes a header of a layer above its own. The engine's layers, lowest
# first: common < platform < config < store < pos, server < engine < app < ui (pos and server are
# side by side and include neither each other). The test tools may include any engine layer but
# never tests/ or ui/; the picture tool draws the window, so it may include ui/ too; tests/ and
# bench/ sit on top and may include anything.
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
if [ $bad = 0 ]; then echo "ok every include stays in its layer or below"; fi
exit $bad

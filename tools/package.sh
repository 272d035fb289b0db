#!/usr/bin/env bash
# Builds the Debian package from the release preset and checks it: lintian reports no error, and
# every file the README's package table names is in the package (unpacked with dpkg -x into a
# scratch folder), where the unpacked program also runs.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh

jobs=$(nproc)
echo "== the Debian package (release build, cpack, lintian)"
cmake --preset release >/dev/null
cmake --build --preset release -j "$jobs" --target pavona-package-files
rm -f build/release/pavona-agent_*.deb
(cd build/release && cpack -G DEB >cpack.log 2>&1) || { cat build/release/cpack.log; echo "X  cpack failed"; exit 1; }
deb=$(ls build/release/pavona-agent_*.deb)
echo "   $deb"
lint=0
findings=$(lintian --fail-on error --tag-display-limit 0 "$deb" 2>&1) || lint=$?
grep -v 'running with root privileges' <<<"$findings" || true
[ "$lint" = 0 ] || { echo "X  lintian found errors in $deb"; exit 1; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$deb" "$scratch/root"
# The paths of the README's table under "## The Debian package": every `/usr/...` in backticks.
mapfile -t wanted < <(sed -n '/^## The Debian package/,/^## /p' README.md | grep -o '`/usr/[^`]*`' | tr -d '`')
[ "${#wanted[@]}" -ge 6 ] || { echo "X  the README's package table names too few files"; exit 1; }
missing=0
for path in "${wanted[@]}"; do
  # shellcheck disable=SC2086 # a * in the table is a pattern
  if ! compgen -G "$scratch/root$path" >/dev/null; then
    echo "X  not in the package: $path"
    missing=1
  fi
done
[ "$missing" = 0 ] || exit 1
grep -q "SIL Open Font License" "$scratch/root/usr/share/doc/pavona-agent/copyright" ||
  { echo "X  the copyright file lacks the typeface's licence"; exit 1; }
"$scratch/root/usr/bin/pavona-agent" /icons "$scratch/icons" >/dev/null ||
  { echo "X  the packaged program does not run"; exit 1; }
[ "$(ls "$scratch"/icons/tray-*.png | wc -l)" = 6 ] || { echo "X  the packaged program wrote no tray images"; exit 1; }
echo "ok the package holds the ${#wanted[@]} files of the README's table, lintian found no error, and its program runs"

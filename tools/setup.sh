#!/usr/bin/env bash
# Installs what the agent needs to build, test and run on Debian 12 (idempotent, non-interactive),
# and makes sure the two ODBC drivers it uses are registered.
set -euo pipefail
cd "$(dirname "$0")/.."

read -r -a packages < tools/deps.txt
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  echo "== installing: ${missing[*]}"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The Debian packages register their drivers; a machine where that was skipped gets them here.
register() {
  local name=$1 lib=$2
  if ! odbcinst -q -d -n "$name" >/dev/null 2>&1; then
    local ini
    ini=$(mktemp)
    printf '[%s]\nDescription=%s ODBC driver\nDriver=%s\n' "$name" "$name" "$lib" > "$ini"
    odbcinst -i -d -f "$ini" >/dev/null
    rm -f "$ini"
  fi
}
register SQLite3 libsqlite3odbc.so
register FreeTDS libtdsodbc.so

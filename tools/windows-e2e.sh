#!/usr/bin/env bash
# The Windows console program end to end under wine: a demo POS (read through wine's ODBC bridge by
# the host's SQLite3 driver), the reference server on this machine, then /enroll, /once until the
# watermark is near, /selfcheck, /report -sample, /install and /uninstall; ends by comparing the
# server's accepted lines with the POS's reportable lines. Needs root (a private mount namespace
# puts the test CA into the trust store wine reads), mingw-w64 and wine.
#   tools/windows-e2e.sh
# Wine checks a certificate's host name against its DNS names only, so the agent is pointed at
# "localhost" (the test certificate names both it and 127.0.0.1).
set -euo pipefail
cd "$(dirname "$0")/.."
[ "$(id -u)" = 0 ] || { echo "X  needs root: a private mount namespace trusts the test CA for wine"; exit 2; }

echo "== building: the Windows agent (preset windows), the reference server and the demo POS (release)"
# One command per line: under set -e a failing command inside an && list would not stop the script.
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$(nproc)" --target pavona-agent >/dev/null
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target pavona-refserver pavona-demopos >/dev/null
exe=$PWD/build/windows/pavona-agent.exe
server=$PWD/build/release/tools/refserver/pavona-refserver
demopos=$PWD/build/release/tools/demopos/pavona-demopos

work=$(mktemp -d /tmp/pavona-wine-e2e-XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  wineserver -k >/dev/null 2>&1 || true
}
trap cleanup EXIT
echo "== work folder: $work"

"$server" --make-certs "$work/certs" >/dev/null
cp -a /etc/ssl/certs "$work/trust"
cp "$work/certs/ca.pem" "$work/trust/pavona-test-ca.pem"
ln -sf pavona-test-ca.pem "$work/trust/$(openssl x509 -hash -noout -in "$work/certs/ca.pem").0"
cat /etc/ssl/certs/ca-certificates.crt "$work/certs/ca.pem" > "$work/trust/ca-certificates.crt"
agent() {
  # No input: a console of the agent's own would otherwise wait for a key at the end of a mode.
  unshare -m bash -c 'mount --bind "$1" /etc/ssl/certs && shift && exec wine "$@"' agent "$work/trust" "$exe" "$@" \
    </dev/null 2> >(grep -v '^wine: ' >&2)
}

"$demopos" --out "$work/pos.sqlite" --days-back 1 --days 2 --receipts 150 --seed 7 >/dev/null
yesterday=$(date -d yesterday +%Y-%m-%d)
cat > "$work/policy.json" <<JSON
{"enabled":true,"program":{"code":"WIN","name":"윈도 시험","starts_on":"$yesterday","ends_on":"$(date -d '+30 days' +%Y-%m-%d)"},
 "budget":{"allocated":3000000},"subsidy_coupon_codes":[7001,7002,7003,7004],"collect_from":"${yesterday}T00:00:00"}
JSON
store=1234567890
"$server" --add-store --state "$work/server.db" --business-no $store --agent-key "unused-$(date +%s)" \
  --point-label "M01 솔빛마트" --point-id P-0001 --policy "$work/policy.json" >/dev/null
code=$("$server" --issue-code --state "$work/server.db" --business-no $store)
"$server" --state "$work/server.db" --cert "$work/certs/server.pem" --key "$work/certs/server.key" --port 0 \
  > "$work/server.out" 2> "$work/server.log" &
server_pid=$!
for _ in $(seq 50); do grep -q '^listening on ' "$work/server.out" 2>/dev/null && break; sleep 0.1; done
base=$(sed -n 's/^listening on //p' "$work/server.out" | sed 's|//127.0.0.1:|//localhost:|')
[ -n "$base" ] || { echo "X  the reference server did not start"; exit 1; }

echo "== /enroll against $base"
agent /enroll "$code" "$base"
# Wine gives the program the prefix's own LOCALAPPDATA: the POS connection goes into that agent.ini.
ini=$(find "$WINEPREFIX/drive_c/users" -path '*AppData/Local/Pavona/agent.ini' | head -1)
[ -n "$ini" ] || { echo "X  /enroll wrote no agent.ini"; exit 1; }
sed -i "s|^conn=\r*\$|conn=Driver=SQLite3;Database=$work/pos.sqlite\r|" "$ini"
echo "== /once four times"
for _ in 1 2 3 4; do agent /once; done
echo "== /selfcheck (whole output in $work/selfcheck.txt)"
agent /selfcheck > "$work/selfcheck.txt" 2>&1 || true
grep -E '^(ok|X) ' "$work/selfcheck.txt" || true
echo "== /report -sample 3"
agent /report -sample 3
echo "== /install, then /uninstall"
agent /install
agent /uninstall

"$server" --report --state "$work/server.db" --business-no $store | tee "$work/server-report.txt"
spool=$(dirname "$ini")/spool
watermark=$(head -c 19 "$spool/watermark.txt")
expected=$(sqlite3 "$work/pos.sqlite" "SELECT COUNT(*) FROM Ordd d JOIN Ord o ON o.ord_code = d.ordd_code
  WHERE d.ordd_kind = 0 AND d.ordd_price > 0 AND d.ordd_qty > 0 AND COALESCE(o.ord_regtype, 0) <> 2
    AND julianday(o.ord_date) < julianday('$watermark')")
accepted=$(sed -n 's/^ *실적 받음 *\([0-9]*\)줄.*/\1/p' "$work/server-report.txt")
# The three sample lines of /report are accepted as well.
if [ "$accepted" = "$((expected + 3))" ]; then
  echo "ok the server accepted every reportable line exactly once ($expected, and the 3 sample lines)"
else
  echo "X  the server accepted ${accepted:-?} lines; the POS has $expected reportable lines (and 3 samples)"
  exit 1
fi

#!/usr/bin/env bash
# The README's demo command: set up, build, then run the agent's main job on the embedded default:
# a generated demo POS (yesterday's and today's sales with designated coupons, cancels and returns)
# read through the SQLite3 ODBC driver, and the reference association server over HTTPS on
# 127.0.0.1. It enrols the agent with a one-time code, runs report cycles and the self check,
# prints what the server received, and leaves nothing running.
# With --window it then opens the resident agent's window on the demo's data (a display is needed)
# and keeps the reference server running until the agent is ended with "종료".
set -euo pipefail
cd "$(dirname "$0")/.."
window=0
case "${1:-}" in
  "") ;;
  --window) window=1 ;;
  *) echo "usage: bash tools/demo.sh [--window]" >&2; exit 2 ;;
esac
if [ "$window" = 1 ] && [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "X  --window needs a display (DISPLAY or WAYLAND_DISPLAY); run the plain demo without it" >&2
  exit 2
fi
bash tools/setup.sh

jobs=$(nproc)
cmake --preset release >/dev/null
cmake --build --preset release -j "$jobs" --target pavona-agent pavona-refserver pavona-demopos

bin=build/release
agent=$bin/pavona-agent
server=$bin/tools/refserver/pavona-refserver
demopos=$bin/tools/demopos/pavona-demopos

demo=$(mktemp -d /tmp/pavona-demo-XXXXXX)
export LOCALAPPDATA="$demo/local"
# The demo server's own CA; a store behind a private CA sets this the same way.
export SSL_CERT_FILE="$demo/certs/ca.pem"
store=1234567890
server_pid=""
cleanup() { [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null; true; }
trap cleanup EXIT

echo "== demo folder: $demo"
echo "== demo POS: yesterday and today"
"$demopos" --out "$demo/pos.sqlite" --days-back 1 --days 2 --receipts 150 --seed 7 >/dev/null

echo "== reference association server"
"$server" --make-certs "$demo/certs" >/dev/null
yesterday=$(date -d yesterday +%Y-%m-%d)
today=$(date +%Y-%m-%d)
cat > "$demo/policy.json" <<JSON
{"enabled":true,
 "program":{"code":"DEMO-$(date +%Y-%m)","name":"데모 농할","starts_on":"$yesterday","ends_on":"$(date -d '+30 days' +%Y-%m-%d)"},
 "budget":{"allocated":3000000,"offset_outstanding":0},
 "items":[],
 "subsidy_coupon_codes":[7001,7002,7003,7004],
 "collect_from":"${yesterday}T00:00:00"}
JSON
"$server" --add-store --state "$demo/server.db" --business-no $store --agent-key "unused-$(date +%s)" \
  --point-label "M01 솔빛마트" --point-id P-0001 --policy "$demo/policy.json" >/dev/null
code=$("$server" --issue-code --state "$demo/server.db" --business-no $store)
"$server" --state "$demo/server.db" --cert "$demo/certs/server.pem" --key "$demo/certs/server.key" --port 0 \
  > "$demo/server.out" 2> "$demo/server.log" &
server_pid=$!
for _ in $(seq 50); do grep -q '^listening on ' "$demo/server.out" 2>/dev/null && break; sleep 0.1; done
base=$(sed -n 's/^listening on //p' "$demo/server.out")
[ -n "$base" ] || { echo "X  the reference server did not start"; cat "$demo/server.log"; exit 1; }
echo "   $base"

echo "== the POS connection in agent.ini, then /enroll"
mkdir -p "$LOCALAPPDATA/Pavona"
printf '[pos]\r\nconn=Driver=SQLite3;Database=%s\r\n' "$demo/pos.sqlite" > "$LOCALAPPDATA/Pavona/agent.ini"
"$agent" /enroll "$code" "$base"

echo "== /once until the watermark is within the last cycle's reach (one window is at most a day)"
for i in 1 2 3 4; do
  "$agent" /once
done

echo "== /selfcheck"
"$agent" /selfcheck || true

echo "== what the association server received"
"$server" --report --state "$demo/server.db" --business-no $store | tee "$demo/server-report.txt"

spool="$LOCALAPPDATA/Pavona/spool"
watermark=$(head -c 19 "$spool/watermark.txt" 2>/dev/null || true)
if [ -n "$watermark" ]; then
  # The POS's reportable lines up to the watermark: goods lines with a positive amount and quantity
  # on receipts that are not returns.
  expected=$(sqlite3 "$demo/pos.sqlite" "SELECT COUNT(*) FROM Ordd d JOIN Ord o ON o.ord_code = d.ordd_code
    WHERE d.ordd_kind = 0 AND d.ordd_price > 0 AND d.ordd_qty > 0 AND COALESCE(o.ord_regtype, 0) <> 2
      AND julianday(o.ord_date) < julianday('$watermark')")
  accepted=$(sed -n 's/^ *실적 받음 *\([0-9]*\)줄.*/\1/p' "$demo/server-report.txt")
  echo "== POS reportable lines before the watermark ($watermark): $expected"
  if [ "$accepted" = "$expected" ]; then
    echo "ok the server accepted every reportable line exactly once ($accepted)"
  else
    echo "X  the server accepted ${accepted:-?} lines, the POS has $expected reportable lines"
    exit 1
  fi
else
  echo "X  no watermark: no report cycle completed"
  exit 1
fi
# The budget level as the agent judges it with its default thresholds (caution 80%, imminent 95%).
read -r reported allocated < <(sed -n 's/.*보고됨 \([0-9,]*\)원 \/ 배정 \([0-9,]*\)원.*/\1 \2/p' "$demo/server-report.txt" | tr -d ,)
if [ -n "${allocated:-}" ] && [ "$allocated" -gt 0 ]; then
  pct=$((reported * 100 / allocated))
  level=정상
  [ "$pct" -ge 80 ] && level=주의
  [ "$pct" -ge 95 ] && level=임박
  [ "$reported" -ge "$allocated" ] && level=소진
  echo "== budget level: $level ($pct% of the allocation reported)"
fi
echo
echo "spool: $spool"
echo "logs:  $LOCALAPPDATA/Pavona/logs"

if [ "$window" = 1 ]; then
  echo
  echo "== the resident agent's window on the demo's data; end it with the tray's 「종료」, or with"
  echo "   Ctrl+C here where the desktop has no tray — the reference server stops with it"
  if pgrep -x pavona-agent >/dev/null; then
    echo "   note: an agent already runs on this machine; it is asked to show its own window instead"
  fi
  "$agent" || echo "X  the agent ended with exit code $?"
fi

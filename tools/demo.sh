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
# One line for the build; its whole log goes to a file, shown only when the build fails.
build_log=build/demo-build.log
mkdir -p build
echo "== building the agent, the reference server and the demo POS (release)"
if ! { cmake --preset release && cmake --build --preset release -j "$jobs" --target pavona-agent pavona-refserver pavona-demopos; } \
  >"$build_log" 2>&1; then
  tail -n 40 "$build_log"
  echo "X  the build failed — the whole log is $build_log"
  exit 1
fi

bin=build/release
# PAVONA_DEMO_AGENT runs another build of the agent, for instance the installed package's.
agent=${PAVONA_DEMO_AGENT:-$bin/pavona-agent}
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
# The target items give the page something to fix: three goods the designated coupons reach, one on
# sale that none reaches (할인 미적용), and a department code the goods master lacks (POS 에 없음).
# A fourth linked goods is left for /maprequest to assign; the round designates 배추 too, which no
# goods covers.
coupons=7001,7002,7003,7004
reached="SELECT cp_goods FROM coupon WHERE cp_code IN ($coupons) AND cp_target = 1 UNION
  SELECT pg_goods FROM promotiongoods JOIN coupon ON pg_group = cp_group WHERE cp_code IN ($coupons) AND cp_group <> 0"
on_sale="(goods_status IS NULL OR goods_status = 1)"
mapfile -t linked < <(sqlite3 "$demo/pos.sqlite" \
  "SELECT goods_code || '|' || RTRIM(goods_name) FROM goods WHERE $on_sale AND goods_code IN ($reached) ORDER BY goods_code LIMIT 4")
unlinked=$(sqlite3 "$demo/pos.sqlite" \
  "SELECT goods_code || '|' || RTRIM(goods_name) FROM goods WHERE $on_sale AND goods_code NOT IN ($reached) ORDER BY goods_code LIMIT 1")
[ "${#linked[@]}" = 4 ] && [ -n "$unlinked" ] || { echo "X  the demo POS has no goods for the target items"; exit 1; }
# "사과 부사" → the association's item "사과(부사) 상품".
item() {
  local code=${2%%|*} name=${2#*|} review=$3 base variety
  base=${name%% *}; variety=${name#"$base"}; variety=${variety# }
  [ -n "$variety" ] && name="$base($variety) 상품" || name="$base 상품"
  printf '{"vendor_item_code":"%s","standard_item_code":"%s","item_name":"%s","discount_rate":20,"discount_cap":2000,"review":"%s"}' \
    "$code" "$1" "$name" "$review"
}
items="$(item V001 "${linked[0]}" confirmed),$(item V002 "${linked[1]}" confirmed),$(item V003 "${linked[2]}" pending)"
items="$items,$(item V004 "$unlinked" confirmed),$(item V005 "990001|채소 모둠" "")"
mapped=${linked[3]%%|*}
cat > "$demo/policy.json" <<JSON
{"enabled":true,
 "program":{"code":"DEMO-$(date +%Y-%m)","name":"데모 농할","starts_on":"$yesterday","ends_on":"$(date -d '+30 days' +%Y-%m-%d)"},
 "budget":{"allocated":3000000,"offset_outstanding":0},
 "items":[$items],
 "subsidy_coupon_codes":[$coupons],
 "collect_from":"${yesterday}T00:00:00",
 "rounds":[{"round_no":1,"starts_on":"$yesterday","ends_on":"$(date -d '+13 days' +%Y-%m-%d)","phase":"current",
   "designated":[{"standard_item_code":"V001","name":"${linked[0]#*|}"},{"standard_item_code":"V004","name":"${unlinked#*|}"},
                 {"standard_item_code":"V006","name":"배추"},{"standard_item_code":"V010","name":"${linked[3]#*|}"}]},
  {"round_no":2,"starts_on":"$(date -d '+14 days' +%Y-%m-%d)","ends_on":"$(date -d '+30 days' +%Y-%m-%d)","phase":"upcoming",
   "designated":[{"standard_item_code":"V002","name":"${linked[1]#*|}"},{"standard_item_code":"V007","name":"시금치"}],
   "items":[$(item V002 "${linked[1]}" confirmed)]}],
 "catalog":[{"standard_item_code":"V010","item_name":"${linked[3]#*|}","discount_rate":20,"discount_cap":2000}],
 "decisions":[{"vendor_item_code":"100399","product_name":"수입 자몽","item_name":"${linked[0]#*|}",
   "standard_item_code":"V001","verdict":"rejected","reason":"국산 품목이 아닙니다","at":"$yesterday"}]}
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

echo "== /maprequest: goods $mapped into the association's item V010, which the association then confirms"
"$agent" /maprequest "$mapped" include V010 "데모 지정"
"$server" --decide --state "$demo/server.db" --business-no $store --vendor-item-code "$mapped" --verdict confirmed >/dev/null

echo "== /selfcheck (summarised; the whole output is in $demo/selfcheck.txt)"
"$agent" /selfcheck >"$demo/selfcheck.txt" 2>&1 || true
# The coupon links run to one line each: the first three, then how many more.
awk '
  /^  연결   / { links = 1; shown = 0; more = 0; print; next }
  links && /^         쿠폰 / { if (shown < 3) { print; shown++ } else more++; next }
  links { if (more) printf "         … 외 %d개\n", more; links = 0 }
  { print }
  END { if (links && more) printf "         … 외 %d개\n", more }
' "$demo/selfcheck.txt"

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
echo "build log: $build_log"
echo "self check: $demo/selfcheck.txt"
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

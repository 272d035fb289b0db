// The four report endpoints of the reference association: sales lines de-duplicated by key,
// the coupon master, corrections of known lines, and status heartbeats.
#include "tools/refserver/RefState.h"

#include <cmath>
#include <set>

namespace pavona::refserver {
namespace {

std::string TrimmedString(const Json& obj, const char* name) {
    auto it = obj.find(name);
    if (it == obj.end() || !it->is_string()) return {};
    std::string s = it->get<std::string>();
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

bool OptionalString(const Json& obj, const char* name) {
    auto it = obj.find(name);
    return it == obj.end() || it->is_string();
}

// Returns the first field of a sale line that cannot be read, or empty when all can.
std::string BadLineField(const Json& line, int64_t& amount, int64_t& discount) {
    auto sold = line.find("sold_at");
    if (sold == line.end() || !sold->is_string() || !IsUtcStamp(sold->get<std::string>())) return "sold_at";
    if (TrimmedString(line, "vendor_item_code").empty()) return "vendor_item_code";
    for (const char* name : {"vendor_item_name", "barcode", "member_no", "pos_no", "receipt_no"})
        if (!OptionalString(line, name)) return name;
    auto qty = line.find("quantity");
    if (qty == line.end() || !qty->is_number() || !std::isfinite(qty->get<double>()) ||
        qty->get<double>() <= 0)
        return "quantity";
    int64_t unitPrice = 0, own = 0;
    if (!JsonInt(line, "unit_price", unitPrice) || unitPrice < 0) return "unit_price";
    if (!JsonInt(line, "amount", amount) || amount < 0) return "amount";
    // A subsidy can be neither negative nor more than the line's own amount.
    if (!JsonInt(line, "discount_amount", discount) || discount < 0 || discount > amount)
        return "discount_amount";
    if (line.contains("own_discount") && !JsonInt(line, "own_discount", own)) return "own_discount";
    return {};
}

Json Rejection(const std::string& key, const std::string& reason) {
    return Json{{"tx_key", key}, {"reason", reason}};
}

} // namespace

RefAnswer RefState::AcceptSales(const std::string& store, const Json& lines) {
    std::lock_guard lock(FLock);
    const std::string now = UtcText(Now());
    RefTx tx(FDb);
    int64_t accepted = 0, duplicated = 0;
    Json rejected = Json::array();
    bool ok = tx.Begun();
    for (const Json& line : lines) {
        if (!ok) break;
        std::string key, reason;
        int64_t amount = 0, discount = 0;
        if (!line.is_object()) {
            reason = "not_an_object";
        } else if ((key = TrimmedString(line, "tx_key")).empty()) {
            reason = "missing_tx_key";
        } else if (std::string bad = BadLineField(line, amount, discount); !bad.empty()) {
            reason = "invalid_field:" + bad;
        }
        if (!reason.empty()) {
            rejected.push_back(Rejection(key, reason));
            ok = RefStmt(FDb.Handle(), "INSERT INTO rejects(business_no, endpoint, tx_key, reason, body, "
                                       "received_at) VALUES(?, 'sales', ?, ?, ?, ?)")
                     .Bind(store)
                     .Bind(key)
                     .Bind(reason)
                     .Bind(line.dump())
                     .Bind(now)
                     .Run();
            continue;
        }
        RefStmt insert(FDb.Handle(), "INSERT OR IGNORE INTO sales(business_no, tx_key, vendor_item_code, "
                                     "vendor_item_name, amount, discount_amount, body, received_at) "
                                     "VALUES(?,?,?,?,?,?,?,?)");
        insert.Bind(store)
            .Bind(key)
            .Bind(TrimmedString(line, "vendor_item_code"))
            .Bind(TrimmedString(line, "vendor_item_name"))
            .Bind(amount)
            .Bind(discount)
            .Bind(line.dump())
            .Bind(now);
        ok = insert.Run();
        if (!ok) break;
        if (sqlite3_changes(FDb.Handle()) > 0) {
            ++accepted;
        } else {
            // The first report of a key stands; a repeat changes nothing.
            ++duplicated;
            ok = RefStmt(FDb.Handle(), "INSERT INTO sale_duplicates(business_no, tx_key, "
                                       "received_at) VALUES(?,?,?)")
                     .Bind(store)
                     .Bind(key)
                     .Bind(now)
                     .Run();
        }
    }
    if (!ok || !tx.Commit())
        return {500, Json{{"error", "state_error"}, {"reason", "실적을 저장하지 못했습니다."}}.dump()};
    return {200, Json{{"accepted", accepted}, {"duplicated", duplicated}, {"rejected", rejected}}.dump()};
}

RefAnswer RefState::AcceptCoupons(const std::string& store, const Json& coupons) {
    std::lock_guard lock(FLock);
    const std::string now = UtcText(Now());
    RefTx tx(FDb);
    int64_t accepted = 0, duplicated = 0;
    Json rejected = Json::array();
    bool ok = tx.Begun();
    for (const Json& coupon : coupons) {
        if (!ok) break;
        int64_t code = 0;
        std::string reason;
        if (!coupon.is_object()) {
            reason = "not_an_object";
        } else if (!JsonInt(coupon, "code", code)) {
            reason = "invalid_field:code";
        } else if (!OptionalString(coupon, "title") || !OptionalString(coupon, "sponsor_name")) {
            reason = "invalid_field:title";
        }
        if (!reason.empty()) {
            std::string key =
                coupon.is_object() && coupon.contains("code") ? coupon["code"].dump() : std::string();
            rejected.push_back(Rejection(key, reason));
            ok = RefStmt(FDb.Handle(), "INSERT INTO rejects(business_no, endpoint, tx_key, reason, body, "
                                       "received_at) VALUES(?, 'coupons', ?, ?, ?, ?)")
                     .Bind(store)
                     .Bind(key)
                     .Bind(reason)
                     .Bind(coupon.dump())
                     .Bind(now)
                     .Run();
            continue;
        }
        const std::string body = coupon.dump();
        RefStmt old(FDb.Handle(), "SELECT body FROM coupons WHERE business_no=? AND code=?");
        old.Bind(store).Bind(code);
        if (old.Next() && old.Text(0) == body) {
            ++duplicated;
            continue;
        }
        // A changed coupon replaces the master entry: the POS's latest settings count.
        ok = RefStmt(FDb.Handle(), "INSERT INTO coupons(business_no, code, body, updated_at) "
                                   "VALUES(?,?,?,?) ON CONFLICT(business_no, code) DO UPDATE "
                                   "SET body=excluded.body, updated_at=excluded.updated_at")
                 .Bind(store)
                 .Bind(code)
                 .Bind(body)
                 .Bind(now)
                 .Run();
        ++accepted;
    }
    if (!ok || !tx.Commit())
        return {500, Json{{"error", "state_error"}, {"reason", "쿠폰 목록을 저장하지 못했습니다."}}.dump()};
    return {200, Json{{"accepted", accepted}, {"duplicated", duplicated}, {"rejected", rejected}}.dump()};
}

RefAnswer RefState::ApplyCancels(const std::string& store, const Json& cancels) {
    std::lock_guard lock(FLock);
    const std::string now = UtcText(Now());
    RefTx tx(FDb);
    int64_t applied = 0;
    Json skipped = Json::array();
    bool ok = tx.Begun();
    for (const Json& c : cancels) {
        if (!ok) break;
        std::string key, reason, kind;
        int64_t corrected = 0, lineDiscount = 0;
        if (!c.is_object()) {
            reason = "not_an_object";
        } else if ((key = TrimmedString(c, "tx_key")).empty()) {
            reason = "missing_tx_key";
        } else if (kind = TrimmedString(c, "kind"); kind != "void" && kind != "amend") {
            reason = "invalid_field:kind";
        } else if (kind == "amend" &&
                   (!JsonInt(c, "corrected_discount_amount", corrected) || corrected < 0)) {
            reason = "invalid_field:corrected_discount_amount";
        } else if (!OptionalString(c, "reason")) {
            reason = "invalid_field:reason";
        } else if (auto at = c.find("occurred_at");
                   at == c.end() || !at->is_string() ||
                   (!at->get<std::string>().empty() && !IsUtcStamp(at->get<std::string>()))) {
            reason = "invalid_field:occurred_at";
        } else {
            RefStmt line(FDb.Handle(), "SELECT discount_amount FROM sales WHERE business_no=? AND tx_key=?");
            line.Bind(store).Bind(key);
            if (!line.Next())
                reason = "record_unknown";
            else
                lineDiscount = line.Int(0);
            // A correction can only lower what the sale line reported.
            if (reason.empty() && kind == "amend" && corrected > lineDiscount)
                reason = "invalid_field:corrected_discount_amount";
        }
        if (!reason.empty()) {
            skipped.push_back(Rejection(key, reason));
            ok = RefStmt(FDb.Handle(), "INSERT INTO correction_skips(business_no, tx_key, reason, "
                                       "body, received_at) VALUES(?,?,?,?,?)")
                     .Bind(store)
                     .Bind(key)
                     .Bind(reason)
                     .Bind(c.dump())
                     .Bind(now)
                     .Run();
            continue;
        }
        std::optional<int64_t> amount;
        if (kind == "amend") amount = corrected;
        ok = RefStmt(FDb.Handle(), "INSERT INTO corrections(business_no, tx_key, kind, corrected, reason, "
                                   "occurred_at, received_at) VALUES(?,?,?,?,?,?,?)")
                 .Bind(store)
                 .Bind(key)
                 .Bind(kind)
                 .Bind(amount)
                 .Bind(c.value("reason", std::string()))
                 .Bind(c["occurred_at"].get<std::string>())
                 .Bind(now)
                 .Run();
        ++applied;
    }
    if (!ok || !tx.Commit())
        return {500, Json{{"error", "state_error"}, {"reason", "취소를 저장하지 못했습니다."}}.dump()};
    return {200, Json{{"applied", applied}, {"skipped", skipped}}.dump()};
}

RefAnswer RefState::KeepHeartbeat(const std::string& store, const std::string& body) {
    std::lock_guard lock(FLock);
    bool ok = RefStmt(FDb.Handle(), "INSERT INTO heartbeats(business_no, body, received_at) VALUES(?,?,?)")
                  .Bind(store)
                  .Bind(body)
                  .Bind(UtcText(Now()))
                  .Run();
    if (!ok)
        return {500, Json{{"error", "state_error"}, {"reason", "상태 보고를 저장하지 못했습니다."}}.dump()};
    return {200, Json{{"ok", true}}.dump()};
}

// Each line counts with its reported subsidy unless corrected; of several corrections of one
// line the one that happened last at the POS counts (a re-sent older amend cannot undo a void).
int64_t RefState::ReportedExecuted(const std::string& store) {
    RefStmt st(FDb.Handle(), R"sql(
        SELECT COALESCE(SUM(CASE WHEN c.kind IS NULL THEN s.discount_amount
                                 WHEN c.kind = 'void' THEN 0
                                 ELSE c.corrected END), 0)
        FROM sales s LEFT JOIN (
            SELECT tx_key, kind, corrected,
                   ROW_NUMBER() OVER (PARTITION BY tx_key ORDER BY occurred_at DESC, id DESC) AS n
            FROM corrections WHERE business_no = ?1) c
          ON c.tx_key = s.tx_key AND c.n = 1
        WHERE s.business_no = ?1)sql");
    st.Bind(store);
    return st.Next() ? st.Int(0) : 0;
}

} // namespace pavona::refserver

// The reference association's state kept in SQLite (see RefState.h).
#include "tools/refserver/RefState.h"

#include <openssl/rand.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <sstream>

namespace pavona::refserver {
namespace {

const char* const kSchema = R"sql(
CREATE TABLE IF NOT EXISTS stores(business_no TEXT PRIMARY KEY, point_label TEXT NOT NULL,
  point_id TEXT NOT NULL, policy TEXT NOT NULL, revision INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS agent_keys(agent_key TEXT PRIMARY KEY, business_no TEXT NOT NULL,
  issued_at INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS enrol_codes(code TEXT PRIMARY KEY, business_no TEXT NOT NULL,
  issued_at INTEGER NOT NULL, expires_at INTEGER NOT NULL, used_at INTEGER, agent_key TEXT);
CREATE TABLE IF NOT EXISTS sales(business_no TEXT NOT NULL, tx_key TEXT NOT NULL,
  vendor_item_code TEXT NOT NULL, vendor_item_name TEXT NOT NULL, amount INTEGER NOT NULL,
  discount_amount INTEGER NOT NULL, body TEXT NOT NULL, received_at TEXT NOT NULL,
  PRIMARY KEY(business_no, tx_key));
CREATE TABLE IF NOT EXISTS sale_duplicates(id INTEGER PRIMARY KEY, business_no TEXT NOT NULL,
  tx_key TEXT NOT NULL, received_at TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS rejects(id INTEGER PRIMARY KEY, business_no TEXT NOT NULL,
  endpoint TEXT NOT NULL, tx_key TEXT NOT NULL, reason TEXT NOT NULL, body TEXT NOT NULL,
  received_at TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS coupons(business_no TEXT NOT NULL, code INTEGER NOT NULL,
  body TEXT NOT NULL, updated_at TEXT NOT NULL, PRIMARY KEY(business_no, code));
CREATE TABLE IF NOT EXISTS corrections(id INTEGER PRIMARY KEY, business_no TEXT NOT NULL,
  tx_key TEXT NOT NULL, kind TEXT NOT NULL, corrected INTEGER, reason TEXT NOT NULL,
  occurred_at TEXT NOT NULL, received_at TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS correction_skips(id INTEGER PRIMARY KEY, business_no TEXT NOT NULL,
  tx_key TEXT NOT NULL, reason TEXT NOT NULL, body TEXT NOT NULL, received_at TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS heartbeats(id INTEGER PRIMARY KEY, business_no TEXT NOT NULL,
  body TEXT NOT NULL, received_at TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS mappings(id INTEGER PRIMARY KEY, business_no TEXT NOT NULL,
  vendor_item_code TEXT NOT NULL, kind TEXT NOT NULL, standard_item_code TEXT NOT NULL,
  body TEXT NOT NULL, status INTEGER NOT NULL, answer TEXT NOT NULL, received_at TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS assignments(business_no TEXT NOT NULL, vendor_item_code TEXT NOT NULL,
  standard_item_code TEXT, review TEXT NOT NULL, seq INTEGER NOT NULL,
  PRIMARY KEY(business_no, vendor_item_code));
CREATE TABLE IF NOT EXISTS products(business_no TEXT NOT NULL, vendor_item_code TEXT NOT NULL,
  name TEXT NOT NULL, PRIMARY KEY(business_no, vendor_item_code));
CREATE TABLE IF NOT EXISTS decisions(id INTEGER PRIMARY KEY, business_no TEXT NOT NULL,
  vendor_item_code TEXT NOT NULL, standard_item_code TEXT NOT NULL, product_name TEXT NOT NULL,
  item_name TEXT NOT NULL, verdict TEXT NOT NULL, reason TEXT NOT NULL, at TEXT NOT NULL);
)sql";

std::string RandomText(const char* alphabet, size_t alphabetSize, size_t length) {
    std::string out;
    unsigned char buf[64];
    while (out.size() < length) {
        if (RAND_bytes(buf, sizeof buf) != 1) break;
        for (unsigned char b : buf) {
            // Rejection sampling keeps every character equally likely.
            if (b >= 256 - (256 % alphabetSize)) continue;
            out += alphabet[b % alphabetSize];
            if (out.size() == length) break;
        }
    }
    return out;
}

std::string UpperTrim(const std::string& text) {
    size_t b = text.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    size_t e = text.find_last_not_of(" \t\r\n");
    std::string out = text.substr(b, e - b + 1);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string Won(int64_t amount) {
    std::string digits = std::to_string(amount < 0 ? -amount : amount);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return (amount < 0 ? "-" : "") + out + "원";
}

} // namespace

bool IsUtcStamp(const std::string& t) {
    if (t.size() != 20) return false;
    for (size_t i : {0u, 1u, 2u, 3u, 5u, 6u, 8u, 9u, 11u, 12u, 14u, 15u, 17u, 18u})
        if (!std::isdigit(static_cast<unsigned char>(t[i]))) return false;
    if (t[4] != '-' || t[7] != '-' || t[10] != 'T' || t[13] != ':' || t[16] != ':' || t[19] != 'Z')
        return false;
    int mo = std::stoi(t.substr(5, 2)), d = std::stoi(t.substr(8, 2));
    int h = std::stoi(t.substr(11, 2)), mi = std::stoi(t.substr(14, 2)), s = std::stoi(t.substr(17, 2));
    return mo >= 1 && mo <= 12 && d >= 1 && d <= 31 && h <= 23 && mi <= 59 && s <= 59;
}

bool JsonInt(const Json& obj, const char* name, int64_t& out) {
    auto it = obj.find(name);
    if (it == obj.end()) return false;
    if (it->is_number_integer()) {
        if (it->is_number_unsigned() && it->get<uint64_t>() > static_cast<uint64_t>(INT64_MAX)) return false;
        out = it->get<int64_t>();
        return true;
    }
    if (it->is_number_float()) {
        double v = it->get<double>();
        if (!std::isfinite(v) || v != std::floor(v) || std::fabs(v) > 9.0e15) return false;
        out = static_cast<int64_t>(v);
        return true;
    }
    return false;
}

bool RefState::Open(const std::string& path, std::string& error) {
    if (!FDb.Open(path, error)) return false;
    return CreateSchema(error);
}

bool RefState::CreateSchema(std::string& error) {
    if (FDb.Exec(kSchema)) return true;
    error = "cannot create the state tables: " + FDb.Error();
    return false;
}

int64_t RefState::Now() const {
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count() + FOffset.load();
}

int64_t RefState::NowMs() const {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count() +
           FOffset.load() * 1000;
}

std::string RefState::UtcText(int64_t unixSeconds) {
    std::time_t t = static_cast<std::time_t>(unixSeconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02dZ", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buf;
}

bool RefState::ParsePolicy(const std::string& text, Json& policy, std::string& error) {
    policy = Json::parse(text, nullptr, false);
    if (policy.is_discarded() || !policy.is_object()) {
        error = "the policy is not a JSON object";
        return false;
    }
    for (const char* name : {"program", "budget", "point", "schema_fingerprint"})
        if (policy.contains(name) && !policy[name].is_object()) {
            error = std::string("policy member \"") + name + "\" must be an object";
            return false;
        }
    for (const char* name : {"items", "rounds", "decisions", "subsidy_coupon_codes", "catalog"})
        if (policy.contains(name) && !policy[name].is_array()) {
            error = std::string("policy member \"") + name + "\" must be an array";
            return false;
        }
    return true;
}

bool RefState::AddStore(const std::string& businessNo, const std::string& agentKey,
                        const std::string& pointLabel, const std::string& pointId,
                        const std::string& policyText, std::string& error) {
    if (businessNo.empty() || agentKey.empty()) {
        error = "a store needs a business number and an agent key";
        return false;
    }
    Json policy;
    if (!ParsePolicy(policyText, policy, error)) return false;
    std::lock_guard lock(FLock);
    RefTx tx(FDb);
    RefStmt owner(FDb.Handle(), "SELECT business_no FROM agent_keys WHERE agent_key=?");
    owner.Bind(agentKey);
    if (owner.Next() && owner.Text(0) != businessNo) {
        error = "the agent key already belongs to store " + owner.Text(0);
        return false;
    }
    bool ok =
        RefStmt(FDb.Handle(), "INSERT INTO stores(business_no, point_label, point_id, policy, revision) "
                              "VALUES(?,?,?,?,1) ON CONFLICT(business_no) DO UPDATE SET "
                              "point_label=excluded.point_label, point_id=excluded.point_id, "
                              "policy=excluded.policy, revision=stores.revision+1")
            .Bind(businessNo)
            .Bind(pointLabel)
            .Bind(pointId)
            .Bind(policy.dump())
            .Run();
    ok = ok && RefStmt(FDb.Handle(), "INSERT OR IGNORE INTO agent_keys(agent_key, business_no, issued_at) "
                                     "VALUES(?,?,?)")
                   .Bind(agentKey)
                   .Bind(businessNo)
                   .Bind(Now())
                   .Run();
    if (!ok || !tx.Commit()) {
        error = "cannot store the store: " + FDb.Error();
        return false;
    }
    return true;
}

bool RefState::SetPolicy(const std::string& businessNo, const std::string& policyText, std::string& error) {
    Json policy;
    if (!ParsePolicy(policyText, policy, error)) return false;
    std::lock_guard lock(FLock);
    RefStmt st(FDb.Handle(), "UPDATE stores SET policy=?, revision=revision+1 WHERE business_no=?");
    if (!st.Bind(policy.dump()).Bind(businessNo).Run()) {
        error = "cannot store the policy: " + FDb.Error();
        return false;
    }
    if (sqlite3_changes(FDb.Handle()) == 0) {
        error = "unknown store " + businessNo;
        return false;
    }
    return true;
}

std::string RefState::IssueCode(const std::string& businessNo, double hours, const std::string& code,
                                std::string& error) {
    if (!std::isfinite(hours)) {
        error = "the lifetime in hours is not a number";
        return {};
    }
    std::lock_guard lock(FLock);
    RefStmt known(FDb.Handle(), "SELECT 1 FROM stores WHERE business_no=?");
    known.Bind(businessNo);
    if (!known.Next()) {
        error = "unknown store " + businessNo;
        return {};
    }
    // No 0/O or 1/I: the code is read out over the phone and typed by hand.
    static const char kAlphabet[] = "ABCDEFGHJKLMNPQRSTUVWXYZ23456789";
    std::string out = UpperTrim(code);
    if (out.empty())
        out = RandomText(kAlphabet, sizeof kAlphabet - 1, 4) + "-" +
              RandomText(kAlphabet, sizeof kAlphabet - 1, 4);
    int64_t now = Now();
    RefStmt st(FDb.Handle(),
               "INSERT INTO enrol_codes(code, business_no, issued_at, expires_at) VALUES(?,?,?,?)");
    if (!st.Bind(out)
             .Bind(businessNo)
             .Bind(now)
             .Bind(now + static_cast<int64_t>(std::llround(hours * 3600.0)))
             .Run()) {
        error = "cannot issue the code (already issued?): " + FDb.Error();
        return {};
    }
    return out;
}

std::string RefState::StoreOfKey(const std::string& key) {
    if (key.empty()) return {};
    std::lock_guard lock(FLock);
    RefStmt st(FDb.Handle(), "SELECT business_no FROM agent_keys WHERE agent_key=?");
    st.Bind(key);
    return st.Next() ? st.Text(0) : std::string();
}

RefEnrolment RefState::Enrol(const std::string& rawCode) {
    RefEnrolment r;
    std::string code = UpperTrim(rawCode);
    std::lock_guard lock(FLock);
    RefTx tx(FDb);
    RefStmt st(FDb.Handle(),
               "SELECT c.business_no, c.expires_at, c.used_at, s.point_label FROM enrol_codes c "
               "JOIN stores s ON s.business_no=c.business_no WHERE c.code=?");
    st.Bind(code);
    if (code.empty() || !st.Next()) {
        r.Error = "code_unknown";
        return r;
    }
    if (!st.IsNull(2)) {
        r.Error = "code_used";
        return r;
    }
    int64_t now = Now();
    if (now >= st.Int(1)) {
        r.Error = "code_expired";
        return r;
    }
    r.Store = st.Text(0);
    std::string label = st.Text(3);
    size_t blank = label.find(' ');
    if (blank == std::string::npos) {
        r.SignName = label;
    } else {
        r.MemberCode = label.substr(0, blank);
        r.SignName = label.substr(blank + 1);
    }
    r.Key = "pk_" + RandomText("0123456789abcdef", 16, 40);
    bool ok = r.Key.size() == 43 &&
              RefStmt(FDb.Handle(), "INSERT INTO agent_keys(agent_key, business_no, issued_at) VALUES(?,?,?)")
                  .Bind(r.Key)
                  .Bind(r.Store)
                  .Bind(now)
                  .Run() &&
              RefStmt(FDb.Handle(), "UPDATE enrol_codes SET used_at=?, agent_key=? WHERE code=?")
                  .Bind(now)
                  .Bind(r.Key)
                  .Bind(code)
                  .Run();
    if (!ok || !tx.Commit()) {
        r = RefEnrolment{};
        r.Error = "state_error";
        return r;
    }
    r.Ok = true;
    return r;
}

RefStoreSummary RefState::Summary(const std::string& businessNo) {
    RefStoreSummary s;
    std::lock_guard lock(FLock);
    int64_t revision = 0;
    Json policy = LoadPolicy(businessNo, &revision);
    RefStmt store(FDb.Handle(), "SELECT point_label, point_id FROM stores WHERE business_no=?");
    store.Bind(businessNo);
    if (!store.Next()) return s;
    s.Found = true;
    s.BusinessNo = businessNo;
    s.PointLabel = store.Text(0);
    s.PointId = store.Text(1);
    auto count = [&](const std::string& sql) {
        RefStmt st(FDb.Handle(), sql);
        st.Bind(businessNo);
        return st.Next() ? st.Int(0) : 0;
    };
    s.Accepted = count("SELECT COUNT(*) FROM sales WHERE business_no=?");
    s.Duplicated = count("SELECT COUNT(*) FROM sale_duplicates WHERE business_no=?");
    s.Rejected = count("SELECT COUNT(*) FROM rejects WHERE business_no=? AND endpoint='sales'");
    s.Coupons = count("SELECT COUNT(*) FROM coupons WHERE business_no=?");
    s.CorrectionsApplied = count("SELECT COUNT(*) FROM corrections WHERE business_no=?");
    s.CorrectionsSkipped = count("SELECT COUNT(*) FROM correction_skips WHERE business_no=?");
    s.Heartbeats = count("SELECT COUNT(*) FROM heartbeats WHERE business_no=?");
    s.Mappings = count("SELECT COUNT(*) FROM mappings WHERE business_no=? AND status=200");
    RefStmt last(FDb.Handle(), "SELECT MAX(received_at) FROM heartbeats WHERE business_no=?");
    last.Bind(businessNo);
    if (last.Next()) s.LastHeartbeatAt = last.Text(0);
    // Amounts of another JSON type count as 0, as the agent reads them.
    if (policy.contains("budget") && policy["budget"].is_object()) {
        JsonInt(policy["budget"], "allocated", s.Allocated);
        JsonInt(policy["budget"], "offset_outstanding", s.OffsetOutstanding);
    }
    s.ReportedExecuted = ReportedExecuted(businessNo);
    s.Remaining = std::max<int64_t>(0, s.Allocated - s.OffsetOutstanding - s.ReportedExecuted);
    return s;
}

std::string RefState::ReportText(const std::string& businessNo) {
    std::vector<std::string> stores;
    {
        std::lock_guard lock(FLock);
        RefStmt st(FDb.Handle(), "SELECT business_no FROM stores ORDER BY business_no");
        while (st.Next())
            stores.push_back(st.Text(0));
    }
    if (!businessNo.empty()) {
        if (std::find(stores.begin(), stores.end(), businessNo) == stores.end())
            return "가게 " + businessNo + " 은(는) 등록되어 있지 않습니다.\n";
        stores = {businessNo};
    }
    if (stores.empty()) return "등록된 가게가 없습니다.\n";
    std::ostringstream out;
    for (const std::string& no : stores) {
        RefStoreSummary s = Summary(no);
        out << "가게 " << no << " (" << s.PointLabel << ", 점 " << s.PointId << ")\n";
        out << "  실적 받음    " << s.Accepted << "줄 (중복 " << s.Duplicated << " · 거절 " << s.Rejected
            << ")\n";
        std::lock_guard lock(FLock);
        RefStmt rej(FDb.Handle(),
                    "SELECT endpoint, tx_key, reason FROM rejects WHERE business_no=? ORDER BY id");
        rej.Bind(no);
        while (rej.Next())
            out << "    거절 " << rej.Text(0) << " " << (rej.Text(1).empty() ? "(키 없음)" : rej.Text(1))
                << "  " << rej.Text(2) << "\n";
        out << "  취소 반영    " << s.CorrectionsApplied << "건 (건너뜀 " << s.CorrectionsSkipped << ")\n";
        RefStmt skip(FDb.Handle(),
                     "SELECT tx_key, reason FROM correction_skips WHERE business_no=? ORDER BY id");
        skip.Bind(no);
        while (skip.Next())
            out << "    건너뜀 " << (skip.Text(0).empty() ? "(키 없음)" : skip.Text(0)) << "  "
                << skip.Text(1) << "\n";
        out << "  쿠폰 목록    " << s.Coupons << "개\n";
        out << "  상태 보고    " << s.Heartbeats << "번";
        if (s.Heartbeats > 0) out << " (마지막 " << s.LastHeartbeatAt << ")";
        out << "\n";
        out << "  품목 지정    " << s.Mappings << "건\n";
        out << "  지원액       보고됨 " << Won(s.ReportedExecuted) << " / 배정 " << Won(s.Allocated)
            << " · 상계 " << Won(s.OffsetOutstanding) << " · 남음 " << Won(s.Remaining) << "\n";
    }
    return out.str();
}

} // namespace pavona::refserver

// The policy document of one store, the mapping requests that change its item list and the
// association's decisions on them.
#include "tools/refserver/RefState.h"

#include <algorithm>
#include <map>

namespace pavona::refserver {
namespace {

struct CatalogItem {
    std::string Name;
    int64_t Rate = 0;
    int64_t Cap = 0;
};

std::string Str(const Json& obj, const char* name) {
    auto it = obj.find(name);
    if (it == obj.end() || !it->is_string()) return {};
    std::string s = it->get<std::string>();
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

// The association's item catalogue as far as this store's policy names it: an optional
// "catalog" list, then the store's items, the rounds' items and their designated items.
std::map<std::string, CatalogItem> Catalog(const Json& policy) {
    std::map<std::string, CatalogItem> out;
    auto add = [&](const Json& e, const char* codeName, const char* nameName) {
        if (!e.is_object()) return;
        std::string code = Str(e, codeName);
        if (code.empty() || out.count(code)) return;
        CatalogItem c;
        c.Name = Str(e, nameName);
        JsonInt(e, "discount_rate", c.Rate);
        JsonInt(e, "discount_cap", c.Cap);
        out[code] = c;
    };
    for (const Json& e : policy.value("catalog", Json::array()))
        add(e, "standard_item_code", "item_name");
    for (const Json& e : policy.value("items", Json::array()))
        add(e, "standard_item_code", "item_name");
    for (const Json& r : policy.value("rounds", Json::array())) {
        if (!r.is_object()) continue;
        for (const Json& e : r.value("items", Json::array()))
            add(e, "standard_item_code", "item_name");
        for (const Json& e : r.value("designated", Json::array()))
            add(e, "standard_item_code", "name");
    }
    return out;
}

RefAnswer MappingError(int status, const std::string& code, const std::string& reason) {
    return {status, Json{{"error", code}, {"reason", reason}}.dump()};
}

} // namespace

Json RefState::LoadPolicy(const std::string& store, int64_t* revision) {
    RefStmt st(FDb.Handle(), "SELECT policy, revision FROM stores WHERE business_no=?");
    st.Bind(store);
    if (!st.Next()) return Json();
    if (revision) *revision = st.Int(1);
    Json policy = Json::parse(st.Text(0), nullptr, false);
    return policy.is_object() ? policy : Json::object();
}

// The policy's items with the store's own mapping requests laid over them: an assigned goods
// takes the catalogue item it was assigned to, a released goods leaves the list.
Json RefState::EffectiveItems(const std::string& store, const Json& policy) {
    const auto catalog = Catalog(policy);
    std::map<std::string, bool> overlaid;
    Json mapped = Json::array();
    RefStmt st(FDb.Handle(), "SELECT vendor_item_code, standard_item_code, review FROM assignments "
                             "WHERE business_no=? ORDER BY seq");
    st.Bind(store);
    while (st.Next()) {
        overlaid[st.Text(0)] = true;
        if (st.IsNull(1)) continue;
        auto c = catalog.find(st.Text(1));
        CatalogItem item = c == catalog.end() ? CatalogItem{} : c->second;
        mapped.push_back(Json{{"vendor_item_code", st.Text(0)},
                              {"standard_item_code", st.Text(1)},
                              {"item_name", item.Name},
                              {"discount_rate", item.Rate},
                              {"discount_cap", item.Cap},
                              {"review", st.Text(2)}});
    }
    Json items = Json::array();
    for (const Json& e : policy.value("items", Json::array()))
        if (!e.is_object() || !overlaid.count(Str(e, "vendor_item_code"))) items.push_back(e);
    for (Json& e : mapped)
        items.push_back(std::move(e));
    return items;
}

RefAnswer RefState::PolicyDocument(const std::string& store) {
    std::lock_guard lock(FLock);
    int64_t revision = 0;
    Json policy = LoadPolicy(store, &revision);
    if (!policy.is_object())
        return MappingError(404, "store_unknown", "협회에 등록되지 않은 사업자번호입니다.");
    RefStmt point(FDb.Handle(), "SELECT point_label, point_id FROM stores WHERE business_no=?");
    point.Bind(store);
    point.Next();
    std::string label = point.Text(0), memberCode, signName = label;
    if (size_t blank = label.find(' '); blank != std::string::npos) {
        memberCode = label.substr(0, blank);
        signName = label.substr(blank + 1);
    }
    Json doc = policy;
    doc.erase("catalog");
    doc["schema"] = "pavona.policy.v1";
    doc["revision"] = revision;
    doc["server_time"] = UtcText(Now());
    Json budget = policy.value("budget", Json::object());
    int64_t allocated = 0, offsets = 0;
    JsonInt(budget, "allocated", allocated);
    JsonInt(budget, "offset_outstanding", offsets);
    const int64_t executed = ReportedExecuted(store);
    budget["allocated"] = allocated;
    budget["offset_outstanding"] = offsets;
    budget["reported_executed"] = executed;
    budget["remaining"] = std::max<int64_t>(0, allocated - offsets - executed);
    doc["budget"] = budget;
    doc["items"] = EffectiveItems(store, policy);
    doc["decisions"] = Decisions(store, policy);
    doc["point"] = Json{{"id", point.Text(1)}, {"member_code", memberCode}, {"sign_name", signName}};
    return {200, doc.dump()};
}

Json RefState::Decisions(const std::string& store, const Json& policy) {
    Json out = Json::array();
    for (const Json& d : policy.value("decisions", Json::array()))
        out.push_back(d);
    RefStmt st(FDb.Handle(), "SELECT vendor_item_code, standard_item_code, product_name, item_name, verdict, "
                             "reason, at FROM decisions WHERE business_no=? ORDER BY id");
    st.Bind(store);
    while (st.Next())
        out.push_back(Json{{"vendor_item_code", st.Text(0)},
                           {"standard_item_code", st.Text(1)},
                           {"product_name", st.Text(2)},
                           {"item_name", st.Text(3)},
                           {"verdict", st.Text(4)},
                           {"reason", st.Text(5)},
                           {"at", st.Text(6)}});
    return out;
}

bool RefState::Decide(const std::string& store, const std::string& vendorCode, const std::string& verdict,
                      const std::string& reason, std::string& error) {
    std::lock_guard lock(FLock);
    if (verdict != "confirmed" && verdict != "rejected") {
        error = "a verdict is confirmed or rejected";
        return false;
    }
    RefStmt current(FDb.Handle(), "SELECT standard_item_code FROM assignments WHERE business_no=? AND "
                                  "vendor_item_code=? AND standard_item_code IS NOT NULL");
    current.Bind(store).Bind(vendorCode);
    if (!current.Next()) {
        error = "goods " + vendorCode + " of store " + store + " has no assignment to decide";
        return false;
    }
    const std::string stdCode = current.Text(0);
    const auto catalog = Catalog(LoadPolicy(store, nullptr));
    const auto item = catalog.find(stdCode);
    // The goods' name as the store sent it, else as its sales named it.
    std::string productName;
    RefStmt name(FDb.Handle(), "SELECT name FROM products WHERE business_no=? AND vendor_item_code=? AND name<>'' "
                               "UNION ALL SELECT vendor_item_name FROM sales WHERE business_no=? AND "
                               "vendor_item_code=? AND vendor_item_name<>''");
    name.Bind(store).Bind(vendorCode).Bind(store).Bind(vendorCode);
    if (name.Next()) productName = name.Text(0);
    RefTx tx(FDb);
    bool ok = tx.Begun();
    ok = ok && (verdict == "confirmed"
                    ? RefStmt(FDb.Handle(), "UPDATE assignments SET review='confirmed' WHERE business_no=? AND "
                                            "vendor_item_code=?")
                          .Bind(store)
                          .Bind(vendorCode)
                          .Run()
                    : RefStmt(FDb.Handle(), "UPDATE assignments SET standard_item_code=NULL, review='' WHERE "
                                            "business_no=? AND vendor_item_code=?")
                          .Bind(store)
                          .Bind(vendorCode)
                          .Run());
    ok = ok && RefStmt(FDb.Handle(), "INSERT INTO decisions(business_no, vendor_item_code, standard_item_code, "
                                     "product_name, item_name, verdict, reason, at) VALUES(?,?,?,?,?,?,?,?)")
                   .Bind(store)
                   .Bind(vendorCode)
                   .Bind(stdCode)
                   .Bind(productName)
                   .Bind(item == catalog.end() ? std::string() : item->second.Name)
                   .Bind(verdict)
                   .Bind(reason)
                   .Bind(UtcText(Now()))
                   .Run();
    ok = ok && BumpRevision(store);
    if (!ok || !tx.Commit()) {
        error = "cannot store the decision: " + FDb.Error();
        return false;
    }
    return true;
}

bool RefState::ProductKnown(const std::string& store, const std::string& vendorCode, const Json& items) {
    for (const Json& e : items)
        if (e.is_object() && Str(e, "vendor_item_code") == vendorCode) return true;
    for (const char* sql : {"SELECT 1 FROM sales WHERE business_no=? AND vendor_item_code=?",
                            "SELECT 1 FROM products WHERE business_no=? AND vendor_item_code=?",
                            "SELECT 1 FROM assignments WHERE business_no=? AND vendor_item_code=?"}) {
        RefStmt st(FDb.Handle(), sql);
        st.Bind(store).Bind(vendorCode);
        if (st.Next()) return true;
    }
    return false;
}

bool RefState::BumpRevision(const std::string& store) {
    return RefStmt(FDb.Handle(), "UPDATE stores SET revision=revision+1 WHERE business_no=?")
        .Bind(store)
        .Run();
}

RefAnswer RefState::Mapping(const std::string& store, const Json& request) {
    std::lock_guard lock(FLock);
    const std::string now = UtcText(Now());
    if (!request.is_object()) return MappingError(400, "bad_request", "요청을 JSON 으로 읽지 못했습니다.");
    if (Str(request, "store") != store)
        return MappingError(403, "store_not_yours", "로그인한 가게의 사업자번호가 아닙니다.");
    const std::string vendor = Str(request, "vendor_item_code");
    const std::string kind = Str(request, "kind");
    const std::string stdCode = Str(request, "standard_item_code");
    const std::string name = Str(request, "vendor_item_name");
    if (vendor.empty()) return MappingError(400, "product_required", "상품번호가 없습니다.");
    if (kind != "assign" && kind != "release" && kind != "remap")
        return MappingError(400, "kind_unknown", "요청 종류는 assign, release, remap 중 하나입니다.");

    Json policy = LoadPolicy(store, nullptr);
    const auto catalog = Catalog(policy);
    const Json items = EffectiveItems(store, policy);
    const bool known = ProductKnown(store, vendor, items);
    RefTx tx(FDb);
    RefAnswer answer;
    bool ok = tx.Begun();
    if (kind == "assign") {
        auto item = catalog.find(stdCode);
        if (stdCode.empty()) {
            answer = MappingError(422, "item_required", "지정할 협회 품목이 없습니다.");
        } else if (item == catalog.end()) {
            answer = MappingError(422, "item_unknown", "협회 품목 목록에 없는 품목 코드입니다.");
        } else {
            for (const Json& d : Decisions(store, policy)) {
                if (!d.is_object() || Str(d, "verdict") != "rejected" || Str(d, "vendor_item_code") != vendor)
                    continue;
                std::string decided = Str(d, "standard_item_code");
                if (decided == stdCode || (decided.empty() && !item->second.Name.empty() &&
                                           Str(d, "item_name") == item->second.Name)) {
                    answer = MappingError(409, "rejected_pair",
                                          d.contains("reason") && d["reason"].is_string()
                                              ? d["reason"].get<std::string>()
                                              : std::string());
                    break;
                }
            }
            if (answer.Body.empty() && !known && name.empty())
                answer = MappingError(404, "product_unknown", "처음 보는 상품이라 이름이 필요합니다.");
        }
        if (answer.Body.empty()) {
            const bool created = !known;
            if (created)
                ok = ok && RefStmt(FDb.Handle(), "INSERT OR IGNORE INTO products(business_no, "
                                                 "vendor_item_code, name) VALUES(?,?,?)")
                               .Bind(store)
                               .Bind(vendor)
                               .Bind(name)
                               .Run();
            // Applied at once; the association confirms the pair later (review "pending").
            ok =
                ok && RefStmt(FDb.Handle(), "INSERT INTO assignments(business_no, vendor_item_code, "
                                            "standard_item_code, review, seq) VALUES(?,?,?,'pending',(SELECT "
                                            "COALESCE(MAX(seq),0)+1 FROM assignments WHERE business_no=?)) "
                                            "ON CONFLICT(business_no, vendor_item_code) DO UPDATE SET "
                                            "standard_item_code=excluded.standard_item_code, "
                                            "review='pending', seq=excluded.seq")
                          .Bind(store)
                          .Bind(vendor)
                          .Bind(stdCode)
                          .Bind(store)
                          .Run();
            ok = ok && BumpRevision(store);
            answer = {200,
                      Json{{"to_status", "approved"}, {"review", "pending"}, {"created", created}}.dump()};
        }
    } else if (!known) {
        answer = MappingError(404, "product_unknown", "협회 서버가 모르는 상품번호입니다.");
    } else if (kind == "release") {
        ok = ok && RefStmt(FDb.Handle(), "INSERT INTO assignments(business_no, vendor_item_code, "
                                         "standard_item_code, review, seq) VALUES(?,?,NULL,'',(SELECT "
                                         "COALESCE(MAX(seq),0)+1 FROM assignments WHERE business_no=?)) "
                                         "ON CONFLICT(business_no, vendor_item_code) DO UPDATE SET "
                                         "standard_item_code=NULL, review='', seq=excluded.seq")
                       .Bind(store)
                       .Bind(vendor)
                       .Bind(store)
                       .Run();
        ok = ok && BumpRevision(store);
        answer = {200, Json{{"to_status", "released"}, {"review", ""}, {"created", false}}.dump()};
    } else {
        // Review again: a mapped goods keeps its item; otherwise suggest an item whose name the
        // goods name contains, or abstain. A suggestion changes nothing.
        Json current;
        for (const Json& e : items)
            if (e.is_object() && Str(e, "vendor_item_code") == vendor) current = e;
        if (current.is_object()) {
            answer = {200, Json{{"to_status", "approved"},
                                {"review", current.value("review", Json(""))},
                                {"created", false}}
                               .dump()};
        } else {
            std::string goodsName = name;
            RefStmt st(FDb.Handle(), "SELECT vendor_item_name FROM sales WHERE business_no=? AND "
                                     "vendor_item_code=? AND vendor_item_name<>'' UNION ALL "
                                     "SELECT name FROM products WHERE business_no=? AND "
                                     "vendor_item_code=?");
            st.Bind(store).Bind(vendor).Bind(store).Bind(vendor);
            if (goodsName.empty() && st.Next()) goodsName = st.Text(0);
            std::string suggested;
            for (const auto& [code, item] : catalog)
                if (!item.Name.empty() && goodsName.find(item.Name) != std::string::npos) {
                    suggested = code;
                    break;
                }
            answer =
                suggested.empty()
                    ? RefAnswer{200,
                                Json{{"to_status", "abstained"}, {"review", ""}, {"created", false}}.dump()}
                    : RefAnswer{200, Json{{"to_status", "suggested"},
                                          {"review", "pending"},
                                          {"created", false},
                                          {"suggested_item_code", suggested}}
                                         .dump()};
        }
    }
    ok = ok && RefStmt(FDb.Handle(), "INSERT INTO mappings(business_no, vendor_item_code, kind, "
                                     "standard_item_code, body, status, answer, received_at) "
                                     "VALUES(?,?,?,?,?,?,?,?)")
                   .Bind(store)
                   .Bind(vendor)
                   .Bind(kind)
                   .Bind(stdCode)
                   .Bind(request.dump())
                   .Bind(answer.Status)
                   .Bind(answer.Body)
                   .Bind(now)
                   .Run();
    if (!ok || !tx.Commit()) return MappingError(500, "state_error", "품목 지정을 저장하지 못했습니다.");
    return answer;
}

} // namespace pavona::refserver

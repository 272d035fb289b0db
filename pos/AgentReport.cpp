// The report texts are written key by key in a fixed order without white space, so the same line
// always gives the same bytes (the spool's hash and the server's de-duplication rely on it).
#include "pos/AgentReport.h"

#include "common/JsonText.h"
#include "common/Text.h"
#include "pos/AgentAttribute.h"
#include "pos/AgentCancel.h"
#include "pos/AgentPos.h"
#include "store/AgentSpool.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace pavona {
namespace {

std::string Dec(std::int64_t v) {
    return std::to_string(v);
}

} // namespace

std::string MakeTxKey(const std::string& receipt, int seq) {
    const std::string_view trimmed = TrimView(receipt);
    char digits[16];
    const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, seq);
    std::string key;
    key.reserve(trimmed.size() + 1 + static_cast<size_t>(end - digits));
    key += trimmed;
    key.push_back(':');
    key.append(digits, end);
    return key;
}

std::string UtcStamp(TDateTime localTime) {
    if (localTime == 0) return {};
    // POS time is Korean standard time, which has no daylight saving: UTC is always 9 hours earlier.
    std::int64_t ms = ToMSecs(localTime) - std::int64_t{kAssociationUtcOffsetMinutes} * 60 * 1000;
    ms -= ((ms % 1000) + 1000) % 1000; // whole seconds: the fraction is dropped, not rounded
    return FormatIsoStamp(FromMSecs(ms)) + "Z";
}

std::string JsonQty(double x) {
    if (!std::isfinite(x)) return "0";
    if (x == std::trunc(x) && std::fabs(x) < 9.2e18) return Dec(static_cast<std::int64_t>(x));
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", x);
    std::string s = buf;
    if (s.find('e') == std::string::npos) return s;
    // Tiny quantities never come from POS data; write them without an exponent all the same.
    std::snprintf(buf, sizeof buf, "%.20f", x);
    s = buf;
    while (!s.empty() && s.back() == '0')
        s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s;
}

namespace {

void AppendDec(std::string& out, std::int64_t v) {
    char buf[24];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, static_cast<size_t>(end - buf));
}

void AppendField(std::string& out, std::string_view name, std::string_view text) {
    out += name;
    AppendJsonStr(out, text);
}

void AppendField(std::string& out, std::string_view name, std::int64_t v) {
    out += name;
    AppendDec(out, v);
}

// A report line's fields as views: a receipt's lines point into the rows and the names they come
// from instead of copying seven texts per line before writing them once.
struct TLineView {
    std::string_view TxKey, VendorItemCode, VendorItemName, Barcode, MemberNo, PosNo, ReceiptNo;
    double Quantity = 0;
    std::int64_t UnitPrice = 0, Amount = 0, DiscountAmount = 0;
    bool HasOwnDiscount = false;
    std::int64_t OwnDiscount = 0;
};

// The line's JSON with its sale time already in UTC: every line of a receipt shares that time,
// so a receipt formats it once.
std::string LineJsonAt(const TLineView& l, std::string_view soldAtUtc) {
    std::string s;
    s.reserve(256 + l.VendorItemName.size() + l.TxKey.size() + l.Barcode.size() + l.ReceiptNo.size());
    AppendField(s, "{\"tx_key\":", l.TxKey);
    AppendField(s, ",\"sold_at\":", soldAtUtc);
    AppendField(s, ",\"vendor_item_code\":", l.VendorItemCode);
    AppendField(s, ",\"vendor_item_name\":", l.VendorItemName);
    AppendField(s, ",\"barcode\":", l.Barcode);
    s += ",\"quantity\":";
    s += JsonQty(l.Quantity);
    AppendField(s, ",\"unit_price\":", l.UnitPrice);
    AppendField(s, ",\"amount\":", l.Amount);
    AppendField(s, ",\"discount_amount\":", l.DiscountAmount);
    if (!l.MemberNo.empty()) AppendField(s, ",\"member_no\":", l.MemberNo);
    if (!l.PosNo.empty()) AppendField(s, ",\"pos_no\":", l.PosNo);
    if (!l.ReceiptNo.empty()) AppendField(s, ",\"receipt_no\":", l.ReceiptNo);
    if (l.HasOwnDiscount) AppendField(s, ",\"own_discount\":", l.OwnDiscount);
    s.push_back('}');
    return s;
}

} // namespace

std::string LineJson(const TReportLine& l) {
    TLineView v;
    v.TxKey = l.TxKey;
    v.VendorItemCode = l.VendorItemCode;
    v.VendorItemName = l.VendorItemName;
    v.Barcode = l.Barcode;
    v.MemberNo = l.MemberNo;
    v.PosNo = l.PosNo;
    v.ReceiptNo = l.ReceiptNo;
    v.Quantity = l.Quantity;
    v.UnitPrice = l.UnitPrice;
    v.Amount = l.Amount;
    v.DiscountAmount = l.DiscountAmount;
    v.HasOwnDiscount = l.HasOwnDiscount;
    v.OwnDiscount = l.OwnDiscount;
    return LineJsonAt(v, UtcStamp(l.SoldAtLocal));
}

std::string CouponJson(const TReportCoupon& r) {
    const TCouponRow& c = r.Coupon;
    return "{\"code\":" + Dec(c.Code) + ",\"title\":" + JsonStr(c.Title) +
           ",\"sponsor_name\":" + JsonStr(c.SponsorName) + ",\"type\":" + Dec(c.CouponType) +
           ",\"options\":" + Dec(c.Options) + ",\"limit_amount\":" + Dec(c.LimitAmount) +
           ",\"limit_cycle_type\":" + Dec(c.LimitCycleType) + ",\"limit_cycle\":" + Dec(c.LimitCycle) +
           ",\"seen_lines\":" + Dec(r.SeenLines) + ",\"seen_amount\":" + Dec(r.SeenAmount) + "}";
}

std::string CancelJson(const TCancelOut& o) {
    std::string s = "{\"tx_key\":" + JsonStr(o.TxKey) + ",\"kind\":" + JsonStr(o.Kind);
    if (o.HasCorrected) s += ",\"corrected_discount_amount\":" + Dec(o.Corrected);
    s +=
        ",\"reason\":" + JsonStr(o.Reason) + ",\"occurred_at\":" + JsonStr(UtcStamp(o.OccurredAtLocal)) + "}";
    return s;
}

TGoodsNames GoodsNamesOf(const std::vector<TSalesRow>& rows) {
    TGoodsNames names;
    for (const TSalesRow& r : rows)
        if (!r.ItemName.empty()) names.try_emplace(r.Raw.Goods, TGoodsName{r.ItemName, r.Barcode});
    return names;
}

TReceiptResult ReportReceipt(const std::vector<TSalesRow>& rows, std::size_t first, std::size_t last,
                             const TGoodsNames& names, const std::vector<std::int64_t>& codes,
                             const std::string& day, TSpool& spool, std::vector<TReturnRow>& returns) {
    TReceiptResult result;
    last = std::min(last, rows.size());
    if (first >= last) return result;
    const TSalesRow& head = rows[first];
    if (head.RegType == 2) {
        // A return is not a sale: it becomes corrections of the sale it returns.
        result.IsReturn = true;
        CollectReturn(rows, first, last, returns);
        return result;
    }
    std::vector<TRawLine> raw;
    raw.reserve(last - first);
    for (std::size_t i = first; i < last; ++i)
        raw.push_back(rows[i].Raw);
    const std::string soldAtUtc = UtcStamp(head.SoldAt);
    const std::string memberNo = head.MemberCode > 0 ? Dec(head.MemberCode) : std::string();
    const std::string posNo = head.RegisterCode > 0 ? Dec(head.RegisterCode) : std::string();
    for (const TSaleLine& s : Attribute(raw)) {
        // Free items and negative lines keyed in as corrections are not sales the programme pays on.
        if (s.Amount <= 0 || s.Qty <= 0) continue;
        std::string txKey = MakeTxKey(s.OrdCode, s.Seq);
        TLineView l;
        l.TxKey = txKey;
        l.VendorItemCode = s.Goods;
        if (const auto n = names.find(s.Goods); n != names.end()) {
            l.VendorItemName = n->second.Name;
            l.Barcode = n->second.Barcode;
        }
        l.Quantity = LineQuantity(s.Stype, s.UnitQty, s.Qty);
        l.UnitPrice = UnitPriceOf(l.Quantity, s.Amount);
        l.Amount = s.Amount;
        l.DiscountAmount = SubsidyOf(s, codes);
        l.MemberNo = memberNo;
        l.PosNo = posNo;
        l.ReceiptNo = s.OrdCode;
        const TOwnDiscount own = OwnDiscountOf(l.Amount, l.DiscountAmount, s.Discount);
        l.HasOwnDiscount = own.Has;
        l.OwnDiscount = own.Value;
        // The JSON is made before the key is handed over: the view of the key points into it.
        std::string json = LineJsonAt(l, soldAtUtc);
        if (spool.Append(day, std::move(txKey), std::move(json)))
            ++result.Stored;
        else
            ++result.Refused;
    }
    return result;
}

std::vector<std::string> SelfTestLines(int count, const std::string& code, const std::string& name,
                                       TDateTime t) {
    std::vector<std::string> out;
    if (count <= 0) return out;
    const std::string prefix = "KESTREL-SELFTEST-" + FormatDateTime("yyyymmdd", t);
    for (int i = 1; i <= count; ++i) {
        TReportLine l;
        l.TxKey = prefix + ":" + std::to_string(i);
        l.SoldAtLocal = IncSecond(t, -600);
        l.VendorItemCode = Trim(code).empty() ? "SELFTEST" : Trim(code);
        l.VendorItemName = Trim(name).empty() ? "왕복 시험" : name;
        l.Quantity = 1;
        l.UnitPrice = 100;
        l.Amount = 100;
        out.push_back(LineJson(l));
    }
    return out;
}

} // namespace pavona

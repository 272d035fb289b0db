// Fuzz target: the ledger's field reader (JsonFieldText, ParseSoldAt, ParseMoney, ParseLedgerLine)
// on any spool line, and report lines the agent encodes read back by it.
#include "common/Text.h"
#include "fuzz/FuzzSupport.h"
#include "pos/AgentReport.h"
#include "store/AgentLedger.h"
#include "store/AgentSpool.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>

// Properties: members come out as valid UTF-8, sale times as real local times, money as strtoll
// reads a whole number; an encoded report line reads back field for field. Input: spool lines (key,
// tab, hash, tab, payload) or any text.

namespace pavona::fuzz {
namespace {

constexpr std::int64_t kFirstMs = -693593LL * kMSecsPerDay;      // 0001-01-01 00:00
constexpr std::int64_t kLastMs = (2958466LL * kMSecsPerDay) - 1; // 9999-12-31 23:59:59.999

void CheckTime(TDateTime t) {
    if (t == 0) return;
    const std::int64_t ms = ToMSecs(t);
    FUZZ_CHECK(ms >= kFirstMs && ms <= kLastMs);
    FUZZ_CHECK(ms % 1000 == 0);
}

void CheckMoney(const std::string& text) {
    const std::int64_t v = ParseMoney(text);
    // A whole number reads exactly as strtoll reads it (without its leading blanks).
    if (!text.empty() && !std::isspace(static_cast<unsigned char>(text[0]))) {
        errno = 0;
        char* end = nullptr;
        const long long s = std::strtoll(text.c_str(), &end, 10);
        if (end == text.c_str() + text.size() && errno != ERANGE) FUZZ_CHECK(v == s);
    }
    (void)v;
}

void CheckLine(std::string_view line) {
    const std::size_t tab2 =
        line.find('\t', line.find('\t') == std::string_view::npos ? line.size() : line.find('\t') + 1);
    const std::string_view payload = tab2 == std::string_view::npos ? line : line.substr(tab2 + 1);
    for (const char* name : {"tx_key", "sold_at", "vendor_item_code", "vendor_item_name", "quantity",
                             "amount", "discount_amount", "kind", "corrected_discount_amount", "reason"}) {
        const std::string value = JsonFieldText(payload, name);
        FUZZ_CHECK(Utf8Valid(value));
        CheckMoney(value);
    }
    CheckTime(ParseSoldAt(JsonFieldText(payload, "sold_at")));
    CheckTime(ParseSoldAt(payload));
    CheckMoney(std::string(payload));

    TLedgerLine l;
    if (!ParseLedgerLine(line, l)) return;
    FUZZ_CHECK(l.SoldAt != 0);
    CheckTime(l.SoldAt);
    for (const std::string* s : {&l.Key, &l.Receipt, &l.PosNo, &l.Code, &l.Name, &l.Barcode, &l.Member})
        FUZZ_CHECK(Utf8Valid(*s));
    FUZZ_CHECK(std::isfinite(l.Qty));
}

// Fields from the input's bytes, encoded by the agent's report encoder and read back by the ledger.
void CheckRoundTrip(const std::uint8_t* data, std::size_t size) {
    if (size < 16) return;
    std::int64_t money[3] = {0, 0, 0};
    std::memcpy(money, data, std::min(sizeof money, size));
    const std::vector<std::string> texts = Parts(data + 16, size - 16, 5);
    TReportLine r;
    r.TxKey = Trim(texts[0]).empty() ? "1:1" : Utf8Sanitize(Trim(texts[0]));
    if (r.TxKey.find_first_of("\t\r\n") != std::string::npos) return;
    // Any second of about 28 years from 2000 on.
    r.SoldAtLocal =
        FromMSecs((DaySerial(2000, 1, 1) + data[0] * 40) * kMSecsPerDay + (data[1] * 337LL + data[3]) * 1000);
    r.VendorItemCode = texts[1];
    r.VendorItemName = texts[2];
    r.Barcode = texts[3];
    r.PosNo = texts[4];
    r.ReceiptNo = "731";
    r.Quantity = static_cast<double>(static_cast<std::int8_t>(data[2])) / 4;
    r.UnitPrice = money[0];
    r.Amount = money[1];
    r.DiscountAmount = money[2];
    r.HasOwnDiscount = data[3] & 1;
    r.OwnDiscount = r.HasOwnDiscount ? money[2] ^ money[1] : 0;
    const std::string payload = LineJson(r);
    const std::string line = r.TxKey + "\t" + std::to_string(PayloadHash(payload)) + "\t" + payload;
    TLedgerLine l;
    FUZZ_CHECK(ParseLedgerLine(line, l));
    FUZZ_CHECK(l.Key == r.TxKey);
    FUZZ_CHECK(ToMSecs(l.SoldAt) == ToMSecs(r.SoldAtLocal) / 1000 * 1000);
    FUZZ_CHECK(l.Code == Utf8Sanitize(r.VendorItemCode) && l.Name == Utf8Sanitize(r.VendorItemName));
    FUZZ_CHECK(l.Barcode == Utf8Sanitize(r.Barcode) && l.PosNo == Utf8Sanitize(r.PosNo));
    FUZZ_CHECK(l.Receipt == r.ReceiptNo);
    FUZZ_CHECK(l.Qty == r.Quantity);
    FUZZ_CHECK(l.UnitPrice == r.UnitPrice && l.Amount == r.Amount && l.Discount == r.DiscountAmount);
    FUZZ_CHECK(l.OwnDiscount == r.OwnDiscount);
}

} // namespace
} // namespace pavona::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pavona::fuzz;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const std::string& line : pavona::Split(text, '\n'))
        CheckLine(line);
    CheckRoundTrip(data, size);
    return 0;
}

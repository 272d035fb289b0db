// pavona-fuzz-seeds: writes the fuzz targets' seeds into corpus/<target>/ from the agent's own
// encoders and writers, so the seeds are the real formats byte for byte.
#include "common/DateTime.h"
#include "common/Text.h"
#include "config/IniFile.h"
#include "fuzz/FuzzSupport.h"
#include "platform/Platform.h"
#include "pos/AgentReport.h"
#include "store/AgentSendLog.h"
#include "store/AgentSpool.h"

#include <cstdio>
#include <limits>

// Run it after a format changes: build/fuzz/fuzz/pavona-fuzz-seeds fuzz/corpus (target
// pavona-fuzz-seeds of the preset fuzz). It writes report and correction JSON through the spool,
// sent files, stamps, send log lines and agent.ini, and the inputs of faults found before.

namespace pavona::fuzz {
namespace {

const std::string kDir = "/mem/spool";
constexpr char kSep = '\x1e';
std::string gOut;

void Write(const std::string& target, const std::string& file, const std::string& bytes) {
    const std::string dir = platform::JoinPath(gOut, target);
    platform::MakeDirs(dir);
    if (!platform::ReplaceFileAtomic(platform::JoinPath(dir, file), bytes))
        std::fprintf(stderr, "X  could not write %s/%s\n", target.c_str(), file.c_str());
}

void Seed(const std::string& target, const std::string& name, const std::string& bytes) {
    Write(target, "seed-" + name, bytes);
}

// The input of a fault found before: kept so every run of the corpus tries it again.
void Fault(const std::string& target, const std::string& name, const std::string& bytes) {
    Write(target, "fault-" + name, bytes);
}

std::string Joined(std::initializer_list<std::string> parts) {
    std::string out;
    bool first = true;
    for (const std::string& p : parts) {
        if (!first) out += kSep;
        out += p;
        first = false;
    }
    return out;
}

TReportLine Sale(const std::string& key, const std::string& code, const std::string& name,
                 std::int64_t amount, std::int64_t discount, TDateTime at) {
    TReportLine l;
    l.TxKey = key;
    l.SoldAtLocal = at;
    l.VendorItemCode = code;
    l.VendorItemName = name;
    l.Barcode = "880" + code;
    l.Quantity = 1;
    l.UnitPrice = amount;
    l.Amount = amount;
    l.DiscountAmount = discount;
    l.PosNo = "2";
    l.ReceiptNo = key.substr(0, key.find(':'));
    l.HasOwnDiscount = true;
    l.OwnDiscount = discount / 2;
    return l;
}

TCancelOut Correction(const std::string& key, const std::string& kind, std::int64_t corrected, TDateTime at) {
    TCancelOut c;
    c.TxKey = key;
    c.Kind = kind;
    c.HasCorrected = kind == "amend";
    c.Corrected = corrected;
    c.Reason = "cancel:" + key;
    c.OccurredAtLocal = at;
    return c;
}

struct TMemSpool {
    std::shared_ptr<TMemoryFiles> Files = std::make_shared<TMemoryFiles>();
    TSpool Spool{kDir, 0, Files};
    std::string File(const std::string& name) { return Files->Files[kDir + "/" + name]; }
};

void SpoolSeeds() {
    const TDateTime at = EncodeDateTime(2026, 10, 6, 9, 12, 0);
    TMemSpool s;
    s.Spool.Append("2026-10-06", "731:3", LineJson(Sale("731:3", "512", "대파", 3000, 600, at)));
    s.Spool.Append("2026-10-06", "731:4", LineJson(Sale("731:4", "600", "무 1개", 1500, 0, at)));
    s.Spool.Append("2026-10-06", "732:1",
                   LineJson(Sale("732:1", "512", "대파", 6000, 1200, IncMinute(at, 3))));
    s.Spool.MarkSent("2026-10-06", {"731:3"});
    const std::string day = s.File("spool-2026-10-06.jsonl"), sent = s.File("sent-2026-10-06.txt");
    Seed("spool", "sales-day", Joined({"sales", day, sent, "", ""}));
    // The same day read while it grows: the last line arrives in two pieces, a sent key after it.
    const std::size_t cut = day.size() - 40;
    Seed("spool", "sales-growing", Joined({"sales", day.substr(0, cut), sent, day.substr(cut), "732:1\r\n"}));
    Seed("spool", "sales-torn-sent", Joined({"sales", day, sent + "731:", "", "4\r\n"}));
    Seed("spool", "sales-bom-lf",
         Joined({"sales", "\xEF\xBB\xBF" + ReplaceAll(day, "\r\n", "\n"), "", "", ""}));

    TMemSpool c;
    const std::string cday = "2026-10-06-cancel";
    c.Spool.Append(cday, "731:3", CancelJson(Correction("731:3", "amend", 300, IncMinute(at, 30))));
    c.Spool.Append(cday, "731:4", CancelJson(Correction("731:4", "void", 0, IncMinute(at, 31))));
    c.Spool.Append(cday, "731:3", CancelJson(Correction("731:3", "void", 0, IncMinute(at, 40))));
    c.Spool.Append(cday, "731:4", CancelJson(Correction("731:4", "void", 0, IncMinute(at, 31))));
    std::vector<TSpoolEntry> pending;
    c.Spool.Pending(cday, pending);
    c.Spool.MarkSentEntries(cday, {pending.front()});
    Seed("spool", "correction-day",
         Joined({"cancel", c.File("spool-" + cday + ".jsonl"), c.File("sent-" + cday + ".txt"), "", ""}));
}

void StampSeeds() {
    TMemSpool s;
    s.Spool.SetWatermark(EncodeDateTime(2026, 10, 6, 9, 20, 0));
    s.Spool.SetSinceOnce(EncodeDateTime(2026, 10, 1, 0, 0, 5));
    if (!s.Spool.CheckPoint("pt-7f3a")) std::fprintf(stderr, "X  point not pinned\n");
    s.Spool.SetHeld("ab12");
    Seed("stamps", "written",
         Joined({s.File("watermark.txt"), s.File("since.txt"), s.File("point.txt"), s.File("hold.txt"),
                 "pt-7f3a"}));
    Seed("stamps", "unset", Joined({"", "", "", "", "pt-9"}));
    Seed(
        "stamps", "past-and-future",
        Joined({"1999-12-31 23:59:59\r\n", "2100-01-01 00:00:00\r\n", "\xEF\xBB\xBFpt-1\r\n", "", " pt-2 "}));
}

void LedgerSeeds() {
    const TDateTime at = EncodeDateTime(2026, 10, 6, 10, 0, 0);
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    TMemSpool s;
    // A window across midnight spooled the same line into both day files.
    const std::string late =
        LineJson(Sale("2:1", "B", "배추", 4000, 400, EncodeDateTime(2026, 10, 6, 0, 2, 0)));
    s.Spool.Append("2026-10-05", "2:1", late);
    s.Spool.Append("2026-10-06", "2:1", late);
    s.Spool.Append("2026-10-06", "1:1", LineJson(Sale("1:1", "A", "대파", 3000, 600, at)));
    s.Spool.Append("2026-10-06", "1:2", LineJson(Sale("1:2", "A", "대파", 3000, 600, IncMinute(at, 1))));
    s.Spool.MarkSent("2026-10-06", {"1:1"});
    s.Spool.Append("2026-10-06-cancel", "1:2",
                   CancelJson(Correction("1:2", "amend", 300, IncMinute(at, 30))));
    s.Spool.Append("2026-10-06-cancel", "1:1", CancelJson(Correction("1:1", "void", 0, IncMinute(at, 31))));
    const std::string more = LineJson(Sale("1:3", "C", "사과", 9000, 0, IncMinute(at, 5)));
    Seed("ledger", "two-days",
         Joined({s.File("spool-2026-10-05.jsonl"), s.File("spool-2026-10-06.jsonl"),
                 s.File("sent-2026-10-06.txt"), s.File("spool-2026-10-06-cancel.jsonl"),
                 "1:3\t" + std::to_string(PayloadHash(more)) + "\t" + more + "\r\n", ""}));

    // Amounts at the ends of the 64-bit range: the sums saturate instead of wrapping.
    TMemSpool big;
    big.Spool.Append("2026-10-05", "9:1", LineJson(Sale("9:1", "A", "대파", kMax, kMax, at)));
    big.Spool.Append("2026-10-06", "9:1", LineJson(Sale("9:1", "A", "대파", kMax, kMax, at)));
    big.Spool.Append("2026-10-06", "9:2", LineJson(Sale("9:2", "A", "대파", kMax, kMax, IncMinute(at, 1))));
    big.Spool.Append("2026-10-06", "9:3", LineJson(Sale("9:3", "D", "무", -kMax - 1, -kMax - 1, at)));
    big.Spool.Append("2026-10-06", "9:4", LineJson(Sale("9:4", "D", "무", -kMax - 1, -kMax - 1, at)));
    big.Spool.Append("2026-10-06-cancel", "9:2",
                     CancelJson(Correction("9:2", "amend", kMax, IncMinute(at, 9))));
    Fault("ledger", "amount-overflow",
          Joined({big.File("spool-2026-10-05.jsonl"), big.File("spool-2026-10-06.jsonl"), "",
                  big.File("spool-2026-10-06-cancel.jsonl"), "", ""}));

    const std::string line = s.File("spool-2026-10-06.jsonl");
    Seed("ledger_fields", "day-file", line);
    Seed("ledger_fields", "corrections", s.File("spool-2026-10-06-cancel.jsonl"));
    Seed("ledger_fields", "huge-amounts", big.File("spool-2026-10-06.jsonl"));
    Seed("ledger_fields", "escapes",
         "1:9\t1\t{\"tx_key\":\"1:9\",\"sold_at\":\"2026-10-06T00:30:15Z\",\"vendor_item_name\":"
         "\"\\ud83d\\ude00 "
         "\\u0041\\t\\\"x\\\"\\uZZZZ\",\"quantity\":2.5,\"amount\":1e3,\"discount_amount\":null}\r\n");
}

void SendLogSeeds() {
    std::string log;
    TSendRecord r;
    r.At = EncodeDateTime(2026, 10, 6, 9, 40, 0);
    r.Kind = "실적";
    r.FileDay = "2026-10-06";
    r.Lines = 200;
    r.Accepted = 198;
    r.Duplicated = 1;
    r.Rejected = 1;
    r.Ok = true;
    log += SendRecordLine(r);
    r.At = IncMinute(r.At, 10);
    r.Kind = "취소";
    r.FileDay = "2026-10-06-cancel";
    r.Lines = 3;
    r.Accepted = r.Duplicated = r.Rejected = 0;
    r.Ok = false;
    r.Note = "협회 서버에 연결하지 못했습니다.\tcurl: (7)\r\n다시 시도합니다";
    log += SendRecordLine(r);
    Seed("sendlog", "records", log + "\x0a");
    Seed("sendlog", "damaged",
         "2026-10-06 09:40:00\t실적\n" + log + "garbage\r" + log.substr(0, 30) + "\x00");
    // A huge line without breaks before the newest records: read back in one pass, with bounded memory.
    std::string huge = log + "x";
    for (int i = 0; i < 1900; ++i)
        huge += "\x1e\xff"; // 1900 times 4 KiB: more than the read may hold at once
    Fault("sendlog", "huge-damaged-line", huge + "\r\n" + log + "\x0a");
}

void IniSeeds() {
    TIniFile ini("\xEF\xBB\xBF; 설정\r\n");
    ini.Write("server", "base_url", "https://127.0.0.1:8443");
    ini.Write("server", "store", "1234567890");
    ini.Write("server", "key_dpapi", Base64Encode("protected key bytes"));
    ini.Write("pos", "conn",
              "Provider=SQLOLEDB;Data Source=(local);Initial Catalog=pos;Integrated Security=SSPI");
    ini.Write("timing", "collect_min", "10");
    ini.Write("timing", "policy_min", "30");
    ini.Write("limit", "caution_pct", "80");
    ini.Write("limit", "imminent_pct", "95");
    ini.Write("state", "seen_program", "P26");
    ini.Write("state", "sent_day", FormatInvariant(EncodeDate(2026, 10, 6)));
    ini.Write("state", "sent_count", "1234");
    ini.Write("state", "last_send", FormatInvariant(EncodeDateTime(2026, 10, 6, 9, 40, 0)));
    ini.Write("window", "width", "1100");
    Seed("ini", "agent-ini", Joined({ini.Text(), "timing", "collect_min", "15"}));
    Seed("ini", "new-section", Joined({ini.Text(), "limit2", "x", " a\r\nb "}));
    Seed("ini", "no-final-break",
         Joined({"[server]\nstore = 1234567890", "server", "base_url", "https://x"}));
}

void TextSeeds() {
    const TDateTime t = EncodeDateTime(2026, 10, 6, 9, 30, 15);
    Seed("dates", "stamp", FormatStamp(t));
    Seed("dates", "day", FormatDay(t));
    Seed("dates", "iso-utc", UtcStamp(t));
    Seed("dates", "invariant", FormatInvariant(t));
    Seed("dates", "invariant-day", FormatInvariant(EncodeDate(2026, 10, 6)));
    Seed("dates", "db-fraction", "2026-10-06T09:30:15.12345");
    Seed("dates", "pattern",
         std::string("\x00\x10\x20\x30\x40\x50\x60\x70", 8) + "yyyy-mm-dd ddd hh:nn:ss.zzz \"T\"");
    Seed("text", "korean", "대파 1단 \xEF\xBB\xBF솔빛마트");
    Seed("text", "numbers", "-9223372036854775808");
    Seed("text", "ill-formed", "a\xC0\xAF\xED\xA0\x80\xF4\x90\x80\x80\xE0\x80z");
    Seed("text", "base64", Base64Encode("key bytes"));
}

void PolicySeeds() {
    Seed("policy", "full", R"({
      "schema":"pavona.policy.v1","enabled":true,"revision":12345678901,"server_time":"2026-10-06T09:00:00+09:00",
      "program":{"code":"P26","name":"가을 농할","starts_on":"2026-09-01","ends_on":"2026-12-31"},
      "budget":{"allocated":5000000,"reported_executed":1200000,"offset_outstanding":-3000,"remaining":3800000},
      "items":[{"vendor_item_code":"512","standard_item_code":"S-01","item_name":"대파","discount_rate":20,
                "discount_cap":10000,"review":"confirmed"},{"vendor_item_code":"600","review":null}],
      "subsidy_coupon_codes":[101,"202","x",9007199254740993,1.5],
      "point":{"id":"pt-9","member_code":"M7","sign_name":"솔빛마트"},
      "schema_fingerprint":{"approved":"ab12"},"collect_from":"2026-10-01 00:00:00",
      "rounds":[{"round_no":2,"starts_on":"2026-10-01","ends_on":"2026-10-15","phase":"current",
                 "designated":[{"standard_item_code":"S-01","name":"대파"},{"name":"무"}],
                 "items":[{"vendor_item_code":"512","standard_item_code":"S-01","item_name":"대파",
                           "discount_rate":30,"discount_cap":777,"review":"pending"}]},
                {"round_no":"3","phase":"upcoming"}],
      "decisions":[{"vendor_item_code":512,"product_name":"대파 1단","item_name":"대파","verdict":"rejected",
                    "reason":null,"at":"2026-10-05T10:00:00Z"}],
      "unknown_member":{"ignored":[1,2,3]}})");
    Seed("policy", "empty", "{}");
    Seed("policy", "nulls", R"({"program":null,"budget":null,"items":null,"rounds":null,"point":null})");
    Seed("policy", "wrong-shape", R"({"rounds":[{"designated":"S-01"}],"budget":[1,2]})");
}

void AnswerSeeds() {
    // The first byte ("{") asks for a batch of 3 lines "1:1" .. "1:3".
    Seed("answers", "sales",
         R"({"accepted":2,"duplicated":0,"rejected":[{"tx_key":"1:2","reason":"bad_qty"}]})");
    Seed("answers", "cancels", R"({"applied":2,"skipped":[{"tx_key":"1:3","reason":"record_unknown"}]})");
    Seed("answers", "enroll",
         R"({"key":"k-1","store":"1234567890","point":{"member_code":"M7","sign_name":"솔빛마트"}})");
    Seed("answers", "mapping", R"({"to_status":"approved","review":"confirmed","created":true})");
    Seed("answers", "mapping-error", R"({"error":"rejected_pair","reason":"  다른 품목  "})");
    Seed("answers", "body-fields", "1234567890\n512\nassign\nS-01\n메모\n 대파 \n1단\n880512");
}

void ConnSeeds() {
    Seed("connstring", "ado",
         "Provider=SQLOLEDB.1;Password=pos!1;Persist Security Info=True;User ID=sa;"
         "Initial Catalog=POSDB;Data Source=192.168.0.10");
    Seed("connstring", "ado-instance",
         "Provider=MSOLEDBSQL19;Data Source=tcp:10.0.0.5\\POS,1500;User ID=a;"
         "Password=\"a;b\"\"c\"");
    Seed("connstring", "sqlite-path", "Driver=SQLite3;Database=/var/pos/매장 #1?판매%.db");
    Seed("connstring", "sqlite-uri",
         "driver={SQLite3};database=file:/p/pos.db?mode=rwc&cache=shared;NoCreat=0");
    Seed("connstring", "dsn", "DSN=posdb;UID=a;PWD=b");
    // SQLite ends a URI's name at '#': a read-only mode behind it was never read.
    Fault("connstring", "writable-uri-fragment", "Driver=SQLite3;Database=file:/var/pos/pos.db#?mode=rw");
    // SQLite knows the scheme only in lower case: "FILE:" was opened as a plain, writable name.
    Fault("connstring", "writable-uri-upper-scheme", "Driver=SQLite3;Database=FILE:/var/pos/pos.db?mode=rw");
    Seed("connstring", "uri-mode-options",
         "Driver=SQLite3;Database=\"file:/var/pos/pos.db?cache=shared&mod%65=rw&MODE=rwc#x?mode=rw\"");
    // The driver manager knows no quotes: it loads the SQLite driver named inside them.
    Fault("connstring", "driver-in-quotes",
          "Driver=FreeTDS;X=\"a;Driver=SQLite3;Database=/var/pos/pos.db;b\"");
    // The driver manager reads up to the first NUL.
    Fault("connstring", "nul-byte", std::string("DSN=pos\0;UID=sa", 15));
}

} // namespace
} // namespace pavona::fuzz

int main(int argc, char** argv) {
    using namespace pavona::fuzz;
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    gOut = argv[1];
    SpoolSeeds();
    StampSeeds();
    LedgerSeeds();
    SendLogSeeds();
    IniSeeds();
    TextSeeds();
    AnswerSeeds();
    PolicySeeds();
    ConnSeeds();
    return 0;
}

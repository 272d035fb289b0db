// The corruption table: day files, sent files and the stamps damaged while the agent was off for
// days. For each damage: what keeps working, what is logged, what is sent again, and that every
// POS line reaches the server once, except lines the damage made unreadable, which are counted and
// logged.
#include "tests/faults/FaultHarness.h"

#include "common/Text.h"
#include "config/AgentSettings.h"
#include "platform/Platform.h"

#include <fstream>
#include <functional>
#include <set>
#include <sstream>

namespace pavona::test {
namespace {

using TLines = std::vector<std::string>;

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}
void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}
TLines SplitCrLf(const std::string& text) {
    TLines lines;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find("\r\n", start)) != std::string::npos; start = at + 2)
        lines.push_back(text.substr(start, at - start));
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}
std::string JoinCrLf(const TLines& lines) {
    std::string s;
    for (const std::string& l : lines)
        s += l + "\r\n";
    return s;
}
std::string KeyOf(const std::string& line) {
    return line.substr(0, line.find('\t'));
}

// The first 200 lines of the day file were sent before the damage; the rest were pending.
constexpr std::size_t kSentBefore = 200;
const char* const kDay = "2026-10-02";

struct Damage {
    const char* Name;
    const char* File; // "day", "sent", or a stamp's file name
    // Changes the file's lines (or its bytes, when `Bytes` is set instead).
    std::function<void(TLines&)> Lines;
    std::function<void(std::string&)> Bytes;
    std::int64_t Unreadable; // damaged lines the agent counts
    std::int64_t Missing;    // of them, lines never sent before the damage
    std::int64_t Duplicated; // marks lost: lines the server gets again and answers duplicated
    const char* Logged;      // a text the agent log holds afterwards ("" for none)
    // Reading starts again at a sale time, so the windows no longer end where they did: lines of
    // the five-minute overlap land in the next day's file as well, and the server answers them as
    // duplicates (stored once). Bounded by one overlap a day.
    bool OverlapRepeats = false;
};

// A key of `lines` one flipped bit away from the key of line `from` (a digit turned into another
// digit), or -1.
int FlippedKeyTarget(const TLines& lines, std::size_t from, std::size_t lo, std::size_t hi, std::string& flipped) {
    std::set<std::string> keys;
    for (std::size_t i = lo; i < hi && i < lines.size(); ++i)
        keys.insert(KeyOf(lines[i]));
    const std::string key = KeyOf(lines[from]);
    for (std::size_t p = 0; p < key.size(); ++p)
        for (const int bit : {1, 2, 4, 8}) {
            std::string k = key;
            k[p] = static_cast<char>(k[p] ^ bit);
            if (k[p] < '0' || k[p] > '9' || k == key || !keys.count(k)) continue;
            flipped = k;
            return static_cast<int>(p);
        }
    return -1;
}

// Flips a key of the range [lo, hi) into a key of [tlo, thi); the payload stays as it was.
void FlipKeyInto(TLines& lines, std::size_t lo, std::size_t hi, std::size_t tlo, std::size_t thi) {
    for (std::size_t i = lo; i < hi && i < lines.size(); ++i) {
        std::string k;
        const int p = FlippedKeyTarget(lines, i, tlo, thi, k);
        if (p < 0) continue;
        lines[i] = k + lines[i].substr(lines[i].find('\t'));
        return;
    }
    ADD_FAILURE() << "no key of the range flips into another";
}

const std::string kUnreadable1 = "보관 파일에서 1줄을 읽지 못했습니다";
const std::string kStampNote = "보고 기준 시각";

const Damage kDamages[] = {
    {"day file cut inside its last line", "day", nullptr, [](std::string& b) { b.resize(b.size() - 30); }, 1,
     1, 0, kUnreadable1.c_str()},
    {"day file: a garbage line among pending ones", "day",
     [](TLines& l) { l.insert(l.begin() + kSentBefore + 10, "\x13garbage ### \tnot\ta line"); }, nullptr, 1,
     0, 0, kUnreadable1.c_str()},
    {"day file: garbage bytes at its end", "day", nullptr,
     [](std::string& b) { b += std::string("\x01\x7f\xc3\x28garbage", 11); }, 1, 0, 0, kUnreadable1.c_str()},
    {"day file: invalid UTF-8 in a pending line", "day",
     [](TLines& l) { l[kSentBefore + 20][l[kSentBefore + 20].size() - 5] = '\xff'; }, nullptr, 1, 1, 0,
     kUnreadable1.c_str()},
    {"day file: invalid UTF-8 in a sent line", "day", [](TLines& l) { l[10][l[10].size() - 5] = '\xff'; },
     nullptr, 1, 0, 0, kUnreadable1.c_str()},
    {"day file: a flipped byte in a pending payload", "day",
     [](TLines& l) {
         std::string& s = l[kSentBefore + 30];
         const std::size_t at = s.find("\"amount\":") + 9;
         s[at] = static_cast<char>(s[at] ^ 1);
     },
     nullptr, 1, 1, 0, kUnreadable1.c_str()},
    // A key one flipped bit away from another line's key of the day no longer names its payload's
    // sale: the line is damage, never hidden by the other's mark nor standing in for it.
    {"day file: a pending key flipped into a sent key", "day",
     [](TLines& l) { FlipKeyInto(l, kSentBefore, l.size(), 0, kSentBefore); }, nullptr, 1, 1, 0,
     kUnreadable1.c_str()},
    {"day file: a sent key flipped into a pending key", "day",
     [](TLines& l) { FlipKeyInto(l, 0, kSentBefore, kSentBefore, l.size()); }, nullptr, 1, 0, 0,
     kUnreadable1.c_str()},
    {"sent file cut at a line break (half the marks)", "sent", [](TLines& l) { l.resize(l.size() / 2); },
     nullptr, 0, 0, kSentBefore / 2, ""},
    {"sent file cut inside its last mark", "sent", nullptr, [](std::string& b) { b.resize(b.size() - 3); }, 0,
     0, 1, ""},
    {"sent file: a garbage line", "sent", [](TLines& l) { l.insert(l.begin() + 50, "\x02zz\x7f garbage"); },
     nullptr, 0, 0, 0, ""},
    {"sent file: invalid UTF-8 in a mark", "sent", [](TLines& l) { l[5] += "\xc3"; }, nullptr, 0, 0, 1, ""},
    {"watermark empty", "watermark.txt", nullptr, [](std::string& b) { b.clear(); }, 0, 0, 0,
     kStampNote.c_str(), true},
    {"watermark garbage", "watermark.txt", nullptr, [](std::string& b) { b = "\x7f\x01 hello world ~~~\r\n"; },
     0, 0, 0, kStampNote.c_str(), true},
    {"watermark in a past year (2016)", "watermark.txt", nullptr, [](std::string& b) { b.replace(0, 4, "2016"); },
     0, 0, 0, kStampNote.c_str()},
    {"watermark in a future year (2036)", "watermark.txt", nullptr,
     [](std::string& b) { b.replace(0, 4, "2036"); }, 0, 0, 0, kStampNote.c_str(), true},
    {"since empty", "since.txt", nullptr, [](std::string& b) { b.clear(); }, 0, 0, 0, ""},
    {"since garbage", "since.txt", nullptr, [](std::string& b) { b = "20x6-1?-02 garbage\r\n"; }, 0, 0, 0, ""},
};

std::string RowName(const ::testing::TestParamInfo<Damage>& info) {
    std::string name;
    for (const char c : std::string(info.param.Name))
        if (std::isalnum(static_cast<unsigned char>(c))) name += c;
    return name;
}

class CorruptionTest : public FaultHarnessTest, public ::testing::WithParamInterface<Damage> {};

TEST_P(CorruptionTest, NothingReportableIsLostAndEveryDamagedLineIsCounted) {
    const Damage& d = GetParam();
    const std::int64_t posLines = MakePos(LinesWanted(), 4);
    ASSERT_GT(posLines, 0);

    // The first day is collected and partly sent: one batch, then the server fails.
    FClock.Set(EncodeDateTime(2026, 10, 3, 0, 30, 0));
    {
        auto engine = MakeEngine();
        engine->RefreshPolicy();
        RefFault fault;
        fault.Status = 500;
        fault.Skip = 1;
        ASSERT_TRUE(FServer->Fault("/api/agent/sales", fault)) << FServer->LastError();
        engine->CollectIfIdle();
    }
    ASSERT_EQ(FServer->Summary(kStore).Accepted, static_cast<std::int64_t>(kSentBefore));
    ASSERT_GT(ToMSecs(Spool().Watermark()), 0);

    // The damage, while the agent is off for three days.
    const std::string path = std::string(d.File) == "day"    ? Spool().SpoolPath(kDay)
                             : std::string(d.File) == "sent" ? Spool().SentPath(kDay)
                                                             : platform::JoinPath(SpoolDir(), d.File);
    std::string bytes = ReadAll(path);
    ASSERT_FALSE(bytes.empty()) << path;
    if (d.Bytes) {
        d.Bytes(bytes);
    } else {
        TLines lines = SplitCrLf(bytes);
        ASSERT_GE(lines.size(), std::string(d.File) == "day" ? kSentBefore + 31 : kSentBefore)
            << "the POS is too small for the table";
        d.Lines(lines);
        bytes = JoinCrLf(lines);
    }
    WriteAll(path, bytes);
    FSpool.reset();

    FClock.Set(EncodeDateTime(2026, 10, 6, 0, 30, 0));
    auto engine = MakeEngine();
    engine->RefreshPolicy();
    const int cycles = Drain(*engine);
    EXPECT_TRUE(CaughtUp()) << "still behind after " << cycles << " cycles";

    const FaultFigures f = Figures(std::string("corrupt: ") + d.Name, posLines, Fmt("%d cycles", cycles));
    Record(f);
    EXPECT_EQ(f.Unreadable, d.Unreadable);
    EXPECT_EQ(f.Missing, d.Missing) << "lines lost without being counted";
    if (d.OverlapRepeats) {
        EXPECT_LE(f.Duplicated, posLines / 100) << "more repeats than the overlaps hold";
    } else {
        EXPECT_EQ(f.Duplicated, d.Duplicated);
    }
    EXPECT_LE(f.Missing, f.Unreadable) << "a line went missing that no count accounts for";
    if (*d.Logged != '\0') {
        EXPECT_NE(AllLogs().find(d.Logged), std::string::npos) << AllLogs();
    }
}


INSTANTIATE_TEST_SUITE_P(Table, CorruptionTest, ::testing::ValuesIn(kDamages), &RowName);

} // namespace
} // namespace pavona::test

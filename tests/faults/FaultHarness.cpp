// Shared ground of the fault harness (see the header).
#include "tests/faults/FaultHarness.h"

#include "common/Text.h"
#include "platform/Platform.h"
#include "pos/AgentAttribute.h"
#include "pos/AgentPos.h"
#include "pos/AgentReport.h"
#include "store/AgentLog.h"
#include "tools/demopos/DemoPos.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>

namespace pavona::test {

void FaultHarnessTest::SetUp() {
    EngineTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(AddStore()) << FServer->LastError();
    SaveAgentSettings();
}

std::int64_t FaultHarnessTest::LinesWanted(std::int64_t fallback) {
    const char* v = std::getenv("PAVONA_FAULT_LINES");
    if (v == nullptr || *v == '\0') return fallback;
    const long long n = std::atoll(v);
    return n > 0 ? n : fallback;
}

std::int64_t FaultHarnessTest::MakePos(std::int64_t lines, int days) {
    demopos::TDemoOptions o;
    o.FullCancelRate = o.PartialCancelRate = o.ReturnRate = 0;
    o.FirstDay = IncDay(EncodeDate(2026, 10, 5), -(days - 1));
    o.Days = days;
    // About five reportable lines a receipt; grown until the POS holds enough.
    o.ReceiptsPerDay = static_cast<int>(std::max<std::int64_t>(1, lines / (5 * days)));
    for (int attempt = 0; attempt < 20; ++attempt) {
        const demopos::TDemoResult r = demopos::Generate(FPosPath, o);
        EXPECT_TRUE(r.Ok) << r.Error;
        if (!r.Ok) return 0;
        std::int64_t held = 0;
        for (const demopos::TDemoDay& d : r.Summary.Days)
            held += d.ReportableLines;
        if (held >= lines) return held;
        o.ReceiptsPerDay += std::max(1, o.ReceiptsPerDay / 10);
    }
    ADD_FAILURE() << "the demo POS never reached " << lines << " lines";
    return 0;
}

bool FaultHarnessTest::CaughtUp() {
    const TDateTime wm = Spool().Watermark();
    // The next window would start after its own end: nothing new to read.
    const bool read = wm > 0 && ToMSecs(IncMinute(wm, -5)) >= ToMSecs(IncMinute(FClock.Now(), -10)) - 600000;
    return read && Spool().PendingDays().empty();
}

int FaultHarnessTest::Drain(TAgentEngine& engine, int maxCycles) {
    int cycles = 0;
    for (; cycles < maxCycles; ++cycles) {
        if (CaughtUp()) break;
        Later(10);
        engine.CollectIfIdle();
    }
    return cycles;
}

std::int64_t FaultHarnessTest::UnreadableLines() {
    std::vector<std::string> names;
    std::int64_t bad = 0;
    if (!platform::ListFiles(SpoolDir(), names)) return 0;
    for (const std::string& name : names) {
        if (name.size() != 22 || !StartsWith(name, "spool-") || !EndsWith(name, ".jsonl")) continue;
        std::vector<TSpoolEntry> entries;
        TSpool fresh(SpoolDir(), 0);
        if (fresh.Pending(name.substr(6, 10), entries)) bad += fresh.BadLines();
    }
    return bad;
}

std::set<std::string> FaultHarnessTest::PosKeysBefore(TDateTime to) {
    std::set<std::string> keys;
    TPosReader reader;
    const Result<> connected = reader.Connect(PosConn());
    EXPECT_TRUE(connected) << connected.Error();
    if (!connected) return keys;
    const Result<std::vector<TSalesRow>> sales = reader.SalesLines(EncodeDate(2026, 9, 1), to);
    EXPECT_TRUE(sales) << sales.Error();
    if (!sales) return keys;
    const std::vector<TSalesRow>& rows = sales.Value();
    for (std::size_t first = 0, last; first < rows.size(); first = last) {
        std::vector<TRawLine> raw;
        for (last = first; last < rows.size() && rows[last].Raw.OrdCode == rows[first].Raw.OrdCode; ++last)
            raw.push_back(rows[last].Raw);
        if (rows[first].RegType == 2) continue; // a return is no sale line
        for (const TSaleLine& s : Attribute(raw))
            if (s.Amount > 0 && s.Qty > 0) keys.insert(MakeTxKey(s.OrdCode, s.Seq));
    }
    return keys;
}

namespace {

// The first field of every complete line of the files whose names pass `pick`.
std::set<std::string> FirstFields(const std::string& dir, bool (*pick)(const std::string&)) {
    std::set<std::string> keys;
    std::vector<std::string> names;
    if (!platform::ListFiles(dir, names)) return keys;
    for (const std::string& name : names) {
        if (!pick(name)) continue;
        std::string text;
        if (!platform::ReadWholeFile(platform::JoinPath(dir, name), text)) continue;
        std::size_t start = 0;
        for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
            const std::string line = text.substr(start, end - start);
            const std::size_t tab = line.find('\t');
            // A mark cut short by a crash is closed with TAB "-" and names no line.
            if (tab != std::string::npos && line.compare(tab, std::string::npos, "\t-") == 0) continue;
            const std::string key = line.substr(0, tab);
            if (!key.empty()) keys.insert(key);
        }
    }
    return keys;
}

bool SalesDayFile(const std::string& name) {
    return name.size() == 22 && StartsWith(name, "spool-") && EndsWith(name, ".jsonl");
}
bool SalesSentFile(const std::string& name) {
    return name.size() == 19 && StartsWith(name, "sent-") && EndsWith(name, ".txt");
}

} // namespace

std::set<std::string> FaultHarnessTest::SpooledKeys() {
    return FirstFields(SpoolDir(), SalesDayFile);
}

std::set<std::string> FaultHarnessTest::SentKeys() {
    return FirstFields(SpoolDir(), SalesSentFile);
}

std::string FaultHarnessTest::AllLogs() {
    std::string all;
    for (int d = 0; d < 8; ++d)
        for (const std::string& line : ReadLogDay(EncodeDate(2026, 10, 1 + d)))
            all += line + "\n";
    return all;
}

FaultFigures FaultHarnessTest::Figures(const std::string& scenario, std::int64_t posLines,
                                       const std::string& notes) {
    FaultFigures f;
    f.Scenario = scenario;
    f.PosLines = posLines;
    const RefSummary s = FServer->Summary(kStore);
    EXPECT_TRUE(s.Ok) << FServer->LastError();
    f.Accepted = s.Accepted;
    f.Duplicated = s.Duplicated;
    f.Missing = posLines - s.Accepted;
    f.Unreadable = UnreadableLines();
    f.Notes = notes;
    return f;
}

void FaultHarnessTest::Record(const FaultFigures& f) {
    const std::string row = Fmt("%-44s %9lld %9lld %8lld %10lld %10lld  %s", f.Scenario.c_str(),
                                static_cast<long long>(f.PosLines), static_cast<long long>(f.Accepted),
                                static_cast<long long>(f.Missing), static_cast<long long>(f.Duplicated),
                                static_cast<long long>(f.Unreadable), f.Notes.c_str());
    std::cout << "[figures] " << row << std::endl;
    if (const char* table = std::getenv("PAVONA_FAULT_TABLE"); table != nullptr && *table != '\0') {
        std::ofstream out(table, std::ios::app);
        out << f.Scenario << '\t' << f.PosLines << '\t' << f.Accepted << '\t' << f.Missing << '\t'
            << f.Duplicated << '\t' << f.Unreadable << '\t' << f.Notes << '\n';
    }
}

} // namespace pavona::test

// The engine against a misbehaving server, disk and POS: nothing is marked sent that the server's
// answer did not account for, a watermark that cannot be true is mended, the notice of a cycle
// tells the worst outcome, and the log keeps every reason.
#include "tests/engine/EngineFixture.h"

#include "common/Text.h"
#include "config/AgentSettings.h"
#include "platform/HttpSession.h"
#include "platform/Platform.h"
#include "pos/AgentCancel.h"
#include "pos/AgentPos.h"
#include "pos/AgentReport.h"
#include "store/AgentSendLog.h"
#include "store/AgentSpool.h"
#include "tests/store/SpoolTestFiles.h"
#include "tools/demopos/DemoPos.h"

namespace pavona::test {
namespace {

class EngineFaultTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(AddStore()) << FServer->LastError();
        SaveAgentSettings();
    }
    void AddLines(const std::string& day, int count, const std::string& prefix) {
        for (int i = 1; i <= count; ++i) {
            const std::string key = prefix + ":" + std::to_string(i);
            ASSERT_TRUE(Spool().Append(day, key, SaleLinePayload(key)));
        }
    }
    std::size_t PendingCount(const std::string& day) {
        std::vector<TSpoolEntry> entries;
        EXPECT_TRUE(Spool().Pending(day, entries));
        return entries.size();
    }
    // One day of demo sales on 2026-10-05, without corrections; returns its reportable lines.
    std::int64_t MakeDemoDay(int receipts) {
        demopos::TDemoOptions o;
        o.FullCancelRate = o.PartialCancelRate = o.ReturnRate = 0;
        o.FirstDay = EncodeDate(2026, 10, 5);
        o.Days = 1;
        o.ReceiptsPerDay = receipts;
        const demopos::TDemoResult r = demopos::Generate(FPosPath, o);
        EXPECT_TRUE(r.Ok) << r.Error;
        return r.Summary.Days.empty() ? 0 : r.Summary.Days[0].ReportableLines;
    }
    void AddSaleAt(TDateTime at) {
        std::string error;
        ASSERT_TRUE(demopos::AddReceiptAt(FPosPath, at, 512, 3000, 7001, 600, error)) << error;
    }
    void WriteWatermark(const std::string& stamp) {
        ASSERT_TRUE(
            platform::ReplaceFileAtomic(platform::JoinPath(SpoolDir(), "watermark.txt"), stamp + "\r\n"));
    }
    void Later(int minutes) { FClock.Set(IncMinute(FClock.Now(), minutes)); }
};

TEST_F(EngineFaultTest, AnAnswerThatDoesNotAccountForTheBatchMarksNothing) {
    const struct {
        const char* Name;
        const char* Body;
        const char* Error;
    } cases[] = {
        {"an empty object", "{}", kAnswerMismatch},
        {"a count that is text", R"({"accepted":"lots"})", kUnreadableAnswer},
        {"a list that is null", R"({"accepted":5,"rejected":null})", kUnreadableAnswer},
        {"a negative count", R"({"accepted":6,"duplicated":-1})", kUnreadableAnswer},
        {"more than was sent", R"({"accepted":7})", kAnswerMismatch},
        {"a refusal of a line not sent", R"({"accepted":4,"rejected":[{"tx_key":"X:1","reason":"bad"}]})",
         kAnswerMismatch},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        auto engine = MakeEngine();
        if (PendingCount("2026-10-05") == 0) AddLines("2026-10-05", 5, "R");
        RefFault fault;
        fault.Status = 200;
        fault.Body = c.Body;
        ASSERT_TRUE(FServer->Fault("/api/agent/sales", fault)) << FServer->LastError();
        engine->FlushSpool();
        EXPECT_EQ(PendingCount("2026-10-05"), 5u);
        EXPECT_EQ(engine->Snapshot().Report.Text, std::string("실적을 보내지 못했습니다 — ") + c.Error);
        EXPECT_EQ(engine->Snapshot().SentToday, 0);
        const std::vector<TSendRecord> sent = ReadSendLog(1);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_FALSE(sent[0].Ok);
    }
    // The log says what the answer failed to account for, with the counts.
    EXPECT_NE(LogText().find("보낸 5줄 · 받음 7 · 중복 0 · 거절 0"), std::string::npos) << LogText();
    EXPECT_NE(LogText().find("거절된 줄 [X:1]이 보낸 줄에 없습니다"), std::string::npos) << LogText();

    // Once the server answers properly, every line reaches it: none was lost on the way.
    auto engine = MakeEngine();
    engine->FlushSpool();
    EXPECT_EQ(PendingCount("2026-10-05"), 0u);
    EXPECT_EQ(FServer->Summary(kStore).Accepted, 5);
}

TEST_F(EngineFaultTest, ACorrectionsAnswerThatDoesNotAddUpMarksNothing) {
    auto engine = MakeEngine();
    const std::string day = CancelSpoolDay(FClock.Now());
    for (const char* key : {"R:1", "R:2"}) {
        TCancelOut v;
        v.TxKey = key;
        v.Kind = "void";
        v.Reason = "전표 77";
        v.OccurredAtLocal = FClock.Now();
        ASSERT_TRUE(Spool().Append(day, key, CancelJson(v)));
    }
    RefFault fault;
    fault.Status = 200;
    fault.Body = R"({"applied":1})";
    ASSERT_TRUE(FServer->Fault("/api/agent/cancels", fault)) << FServer->LastError();
    engine->SendCancels();
    EXPECT_EQ(PendingCount(day), 2u);
    EXPECT_EQ(engine->Snapshot().Report.Text, std::string("취소를 보내지 못했습니다 — ") + kAnswerMismatch);
    EXPECT_NE(LogText().find("보낸 2줄 · 반영 1 · 건너뜀 0"), std::string::npos) << LogText();
}

// A watermark moved years back (one digit changed) would re-read the POS a day per cycle for years
// and report nothing new meanwhile. It is caught, and reading starts again where reporting started.
TEST_F(EngineFaultTest, AWatermarkBeforeTheStartOfReportingIsReadFromTheStartAgain) {
    const std::int64_t reportable = MakeDemoDay(20);
    auto engine = MakeEngine();
    engine->RefreshPolicy();
    engine->CollectIfIdle();
    ASSERT_EQ(FServer->Summary(kStore).Accepted, reportable);
    ASSERT_EQ(ToMSecs(Spool().Since()), ToMSecs(EncodeDateTime(2026, 10, 5, 0, 20, 0)));

    AddSaleAt(EncodeDateTime(2026, 10, 6, 0, 22, 0));
    WriteWatermark("2016-10-06 00:20:00");
    Later(10);
    engine->CollectIfIdle();
    EXPECT_TRUE(StartsWith(engine->Snapshot().Report.Text,
                           "⚠ 보고 기준 시각(2016-10-06 00:20:00)이 보고 시작보다 앞섭니다"))
        << engine->Snapshot().Report.Text;
    EXPECT_NE(LogText().find("오류  수집  보고 기준 시각(2016-10-06 00:20:00)이 보고 시작보다 앞섭니다"),
              std::string::npos)
        << LogText();
    // The day from the start of reporting was read again (a window of one day from it); its lines
    // are known as sent and go to nobody twice.
    EXPECT_EQ(ToMSecs(Spool().Watermark()), ToMSecs(EncodeDateTime(2026, 10, 6, 0, 20, 0)));
    EXPECT_EQ(FServer->Summary(kStore).Accepted, reportable);

    // The next cycle goes on as usual and brings the sale made after the last real collection.
    Later(10);
    engine->CollectIfIdle();
    EXPECT_EQ(FServer->Summary(kStore).Accepted, reportable + 1);
}

// A watermark moved years ahead would stop collection until that date. Reading starts again at
// the newest sale the spool holds, so the sale made after the last real collection is not skipped.
TEST_F(EngineFaultTest, AWatermarkLaterThanNowReadsAgainFromTheNewestSpooledSale) {
    const std::int64_t reportable = MakeDemoDay(20);
    auto engine = MakeEngine();
    engine->RefreshPolicy();
    engine->CollectIfIdle();
    ASSERT_EQ(FServer->Summary(kStore).Accepted, reportable);

    AddSaleAt(EncodeDateTime(2026, 10, 6, 0, 25, 0));
    WriteWatermark("2036-10-06 00:20:00");
    Later(30);
    engine->CollectIfIdle();
    EXPECT_TRUE(StartsWith(engine->Snapshot().Report.Text,
                           "⚠ 보고 기준 시각(2036-10-06 00:20:00)이 지금(2026-10-06 01:00:00)보다 "
                           "뒤입니다"))
        << engine->Snapshot().Report.Text;
    EXPECT_NE(LogText().find("오류  수집  보고 기준 시각(2036-10-06 00:20:00)"), std::string::npos)
        << LogText();
    EXPECT_EQ(FServer->Summary(kStore).Accepted, reportable + 1);
    EXPECT_EQ(ToMSecs(Spool().Watermark()), ToMSecs(EncodeDateTime(2026, 10, 6, 0, 50, 0)));
}

// A full disk: the old day's lines still go out, but the cycle's line says first that new lines
// could not be kept, and /once fails.
TEST_F(EngineFaultTest, LinesNotStoredLeadTheCycleLineEvenWhenOthersWentOut) {
    MakeDemoDay(20);
    auto engine = MakeEngine();
    AddLines("2026-10-04", 3, "OLD");
    auto files = std::make_shared<FaultyFiles>();
    files->FailWrite = "spool-2026-10-05";
    engine->UseSpoolFiles(files);
    const TOnceResult once = engine->RunOnce();
    const std::string& line = once.Line;
    EXPECT_NE(line.find("줄을 보관하지 못했습니다 — 다시 시도합니다."), std::string::npos) << line;
    EXPECT_FALSE(once.Ok);
    EXPECT_EQ(FServer->Summary(kStore).Accepted, 3);
    EXPECT_EQ(Spool().Watermark(), 0);
    EXPECT_NE(LogText().find("정보  수집  실적 3줄을 협회로 보냈습니다 (중복 0)."), std::string::npos)
        << LogText();
}

// Sales the server could not take are the cycle's news, not the corrections that wait for them.
TEST_F(EngineFaultTest, ASalesFailureIsNotHiddenByTheCorrectionsThatFollow) {
    std::string error;
    ASSERT_TRUE(demopos::CreateEmpty(FPosPath, error)) << error;
    auto engine = MakeEngine();
    AddLines("2026-10-05", 3, "R");
    TCancelOut v;
    v.TxKey = "R:1";
    v.Kind = "void";
    v.Reason = "전표 77";
    v.OccurredAtLocal = FClock.Now();
    ASSERT_TRUE(Spool().Append(CancelSpoolDay(FClock.Now()), "R:1", CancelJson(v)));
    ASSERT_TRUE(FServer->Fault("/api/agent/sales", 500, 0, false, false, false, 5));
    const TOnceResult once = engine->RunOnce();
    const std::string& line = once.Line;
    EXPECT_NE(line.find("실적을 보내지 못했습니다 — 협회 서버에 문제가 있습니다."), std::string::npos)
        << line;
    EXPECT_FALSE(once.Ok);
    EXPECT_NE(LogText().find("취소 일부가 아직 반영되지 않았습니다"), std::string::npos) << LogText();
}

// A warning about one return whose sale is not found is no failed run: every line was stored and
// sent, so /once must not tell an installer's script that it failed.
TEST_F(EngineFaultTest, AWarningThatLostNothingIsASuccessfulRun) {
    std::string error;
    ASSERT_TRUE(demopos::CreateEmpty(FPosPath, error)) << error;
    AddSaleAt(EncodeDateTime(2026, 10, 5, 10, 0, 0));
    demopos::TDemoReceipt ret;
    ret.OrdCode = 950;
    ret.At = EncodeDateTime(2026, 10, 5, 16, 0, 0);
    ret.RegType = 2;
    ret.Origin = 4242; // no such receipt
    demopos::TDemoLine back;
    back.Goods = 512;
    back.Qty = -1;
    back.Price = -3000;
    ret.Lines = {back};
    ASSERT_TRUE(demopos::AddReceipt(FPosPath, ret, error)) << error;
    auto engine = MakeEngine();
    const TOnceResult once = engine->RunOnce();
    const std::string& line = once.Line;
    EXPECT_NE(line.find("못했습니다"), std::string::npos) << line;
    EXPECT_TRUE(once.Ok) << line;
    EXPECT_EQ(FServer->Summary(kStore).Accepted, 1);
}

TEST_F(EngineFaultTest, APointThatCannotBeWrittenIsADiskErrorNotAnotherStore) {
    std::string error;
    ASSERT_TRUE(demopos::CreateEmpty(FPosPath, error)) << error;
    auto engine = MakeEngine();
    auto files = std::make_shared<FaultyFiles>();
    files->FailReplace = "point.txt";
    engine->UseSpoolFiles(files);
    const TOnceResult once = engine->RunOnce();
    const std::string& line = once.Line;
    EXPECT_NE(
        line.find("⛔ 이 PC 의 보관함에 점포를 적지 못했습니다 — 디스크 공간과 폴더 권한을 확인해 주세요."),
        std::string::npos)
        << line;
    EXPECT_EQ(line.find("다릅니다"), std::string::npos) << line;
    EXPECT_FALSE(once.Ok);
    EXPECT_NE(LogText().find("오류  수집  이 PC 의 보관함에 점포를 적지 못했습니다"), std::string::npos)
        << LogText();
    EXPECT_NE(LogText().find("point.txt 를 쓰지 못했습니다"), std::string::npos) << LogText();
}

TEST_F(EngineFaultTest, APosThatCannotBeReachedIsLoggedAndOnceSaysWhy) {
    const struct {
        const char* Name;
        std::string Conn;
    } cases[] = {
        {"text that is no connection string", "hello world"},
        {"a driver that is not installed", "Driver={Pavona No Such Driver};Server=pos;Database=x"},
        {"a database file that is missing", "Driver=SQLite3;Database=" + FRoot.File("none.db")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TAgentSettings s = LoadSettings();
        s.PosConnStr = c.Conn;
        const Result<> saved = SaveSettings(s);
        ASSERT_TRUE(saved) << saved.Error();
        const Result<> probe = TPosReader().Connect(c.Conn);
        ASSERT_FALSE(probe.Ok());
        ASSERT_FALSE(probe.Error().empty());

        auto engine = MakeEngine();
        const TOnceResult once = engine->RunOnce();
        const std::string& line = once.Line;
        EXPECT_NE(
            line.find("POS 에 연결하지 못했습니다 — 실적 보고가 멈춰 있습니다. (" + probe.Error() + ")"),
            std::string::npos)
            << line;
        EXPECT_FALSE(once.Ok);
        EXPECT_NE(LogText().find("오류  POS  POS 에 연결하지 못했습니다 — 실적 보고가 멈춰 있습니다. " +
                                 probe.Error()),
                  std::string::npos)
            << LogText();
    }
}

TEST_F(EngineFaultTest, TheLogKeepsTheTransportsReasonBesideTheOperatorsText) {
    auto engine = MakeEngine();
    THttpTimeouts t;
    t.ConnectMs = 3000;
    t.ResponseMs = 1000;
    engine->SetHttpTimeouts(t);
    AddLines("2026-10-05", 3, "R");

    RefFault slow;
    slow.DelayMs = 3000;
    ASSERT_TRUE(FServer->Fault("/api/agent/sales", slow)) << FServer->LastError();
    engine->FlushSpool();
    EXPECT_EQ(engine->Snapshot().Report.Text,
              "실적을 보내지 못했습니다 — 협회 서버에 연결하지 못했습니다. 인터넷 연결을 확인해 주세요.");
    EXPECT_NE(LogText().find(THttpSession::TransportFacts().TimedOut), std::string::npos) << LogText();

    FServer->Stop();
    engine->FlushSpool();
    EXPECT_NE(LogText().find(THttpSession::TransportFacts().CannotConnect), std::string::npos) << LogText();
    EXPECT_EQ(PendingCount("2026-10-05"), 3u);
}

// The state counters are a convenience, but a write that keeps failing is a disk or a folder right
// to fix: it is logged, once for as long as the cause stays the same.
TEST_F(EngineFaultTest, AStateWriteThatFailsIsLoggedOncePerCause) {
    auto engine = MakeEngine();
    AddLines("2026-10-04", 3, "A");
    // A folder where agent.ini should be: nothing can replace it.
    ASSERT_TRUE(platform::RemoveFile(SettingsPath()));
    ASSERT_TRUE(platform::MakeDirs(platform::JoinPath(SettingsPath(), "x")));
    engine->FlushSpool();
    AddLines("2026-10-05", 3, "B");
    engine->FlushSpool();
    EXPECT_EQ(FServer->Summary(kStore).Accepted, 6);
    const std::string log = LogText();
    const std::string line = "오류  수집  설정 파일을 쓰지 못했습니다";
    ASSERT_NE(log.find(line), std::string::npos) << log;
    EXPECT_EQ(log.find(line), log.rfind(line)) << "logged once: " << log;
}

} // namespace
} // namespace pavona::test

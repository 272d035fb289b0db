// /selfcheck against the demo POS through the SQLite3 ODBC driver and the reference server: the
// settings block, the policy block, the POS probe step by step, its window and where it stops.
#include "tests/app/ConsoleFixture.h"

#include "common/Text.h"
#include "engine/AgentMonitor.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "pos/PosCatalogue.h"

namespace pavona::test {
namespace {

class SelfCheckTest : public ConsoleTest {
  protected:
    // The lines of the output from the first one that starts with `prefix` on.
    static std::vector<std::string> LinesFrom(const std::string& out, const std::string& prefix) {
        std::vector<std::string> lines = Split(out, '\n');
        for (size_t i = 0; i < lines.size(); ++i)
            if (StartsWith(lines[i], prefix)) return std::vector<std::string>(lines.begin() + i, lines.end());
        return {};
    }
    static std::string LastLine(const std::string& out) {
        const std::vector<std::string> lines = Split(out, '\n');
        return lines.size() >= 2 ? lines[lines.size() - 2] : std::string();
    }

    FixedClock FClock{EncodeDateTime(2025, 10, 5, 10, 0, 0)};
    ScopedClock FUse{FClock};
};

TEST_F(SelfCheckTest, AnInvalidStoreNumberSkipsTheServerButStillProbesThePos) {
    StartServer();
    const demopos::TDemoSummary demo = MakePos();
    SaveCompleteSettings("12-345-6789", kKey);
    const ModeRun r = Run({"/selfcheck", "2025-10-01", "2025-10-08"});
    EXPECT_EQ(r.ExitCode, 1);
    ASSERT_TRUE(StartsWith(r.Out, "Pavona 농할 에이전트 — 자가진단\n\n"
                                  "설정 파일  " +
                                      SettingsPath() +
                                      "\n"
                                      "  서버      " +
                                      FServer->BaseUrl() +
                                      "\n"
                                      "  사업자    12-345-6789\n"
                                      "  인증키    12자 (읽었다)\n"
                                      "  수집/정책 10분 / 30분\n"
                                      "  경고 기준 80% / 95%\n\n"
                                      "X  사업자번호는 숫자 10자리입니다.\n"
                                      "   (협회 서버 쪽은 건너뜁니다 — POS 는 아래에서 읽어 봅니다)\n\n"
                                      "POS DB   ok 붙었습니다\n"))
        << r.Out;
    // One line per POS table, the name right-aligned in 14 characters.
    const std::vector<std::string> probe = LinesFrom(r.Out, "POS DB");
    ASSERT_GT(probe.size(), 9u) << r.Out;
    for (size_t i = 0; i < PosTables().size(); ++i) {
        const std::string head = "  " + Utf8PadLeft(PosTables()[i], 14) + " 열 ";
        EXPECT_TRUE(StartsWith(probe[1 + i], head) && EndsWith(probe[1 + i], "개")) << probe[1 + i];
        EXPECT_GT(StrToIntDef(probe[1 + i].substr(head.size(), probe[1 + i].size() - head.size() - 3), 0), 0);
    }
    std::int64_t goods = 0, discounts = 0;
    for (const auto& d : demo.Days) {
        goods += d.GoodsLines;
        discounts += d.DiscountLines;
    }
    EXPECT_EQ(probe[9], "  창     2025-10-01 ~ 2025-10-08 (반개구간)");
    EXPECT_EQ(probe[10],
              Fmt("  판매   %lld줄 (상품 %lld · 차감 %lld)", static_cast<long long>(goods + discounts),
                  static_cast<long long>(goods), static_cast<long long>(discounts)));
    // Without designated coupons every coupon discount gives a subsidy of 0, and the probe says so.
    EXPECT_NE(r.Out.find("         ⚠ 쿠폰 할인이 있는데 지정이 없어 **지원액 0** 인 줄: "),
              std::string::npos);
    EXPECT_NE(r.Out.find("\n  연결   0개\n         지정된 쿠폰이 없어 0 이다 — 걸 것도 없다\n"),
              std::string::npos);
    EXPECT_EQ(LastLine(r.Out), "  지원액 0원  <- 지정된 쿠폰이 없어 0 이다");
    EXPECT_EQ(FServer->Received(""), "[]");
}

TEST_F(SelfCheckTest, CompleteSettingsShowThePolicyAndTheDesignatedSubsidy) {
    StartServer();
    const demopos::TDemoSummary demo = MakePos();
    SaveCompleteSettings();
    const ModeRun r = Run({"/selfcheck", "2025-10-01", "2025-10-08", "12, 0, word, 34"});
    EXPECT_EQ(r.ExitCode, 0);
    const std::vector<std::string> server = LinesFrom(r.Out, "협회 서버에 물어봅니다...");
    ASSERT_GE(server.size(), 16u) << r.Out;
    EXPECT_EQ(server[1], "  세션 쿠키 1개");
    EXPECT_EQ(server[2], "  로그인    status=200");
    EXPECT_EQ(server[3], "ok 정책을 받았습니다");
    EXPECT_TRUE(StartsWith(server[4], "  판        ")) << server[4];
    EXPECT_EQ(server[5], "  회차      가을 농할 2025-09-01 ~ 2025-12-31");
    EXPECT_EQ(server[6], "  켜짐      예");
    EXPECT_EQ(server[7], "  배정액    5,000,000원");
    EXPECT_EQ(server[8], "  보고된 것 0원");
    EXPECT_EQ(server[9], "  상계 예정 0원");
    EXPECT_EQ(server[10], "  남음      5,000,000원");
    EXPECT_EQ(server[11], "  대상 품목 1개");
    EXPECT_EQ(server[12], "  농할 쿠폰 4개");
    EXPECT_EQ(
        server[13],
        "  ⚠ 연결 조회를 돌려 보려고 쿠폰 2개를 손으로 줬습니다 — 귀속·지원액·보고에는 쓰이지 않습니다");
    EXPECT_EQ(server[14], "");
    EXPECT_EQ(server[15], "POS DB   ok 붙었습니다");
    // The coupon list only steers the link query (no such coupons in the POS); the subsidy total
    // is the designated coupons' discount over the seven days.
    std::int64_t designated = 0;
    for (const auto& d : demo.Days)
        designated += d.DesignatedDiscount;
    ASSERT_GT(designated, 0);
    EXPECT_NE(r.Out.find("\n  연결   0개\n  지원액 "), std::string::npos) << r.Out;
    EXPECT_EQ(LastLine(r.Out), "  지원액 " + FormatWon(designated));
    // The coupons used in the window, the designated ones among them.
    const std::vector<std::string> coupons = LinesFrom(r.Out, "  쿠폰   ");
    ASSERT_FALSE(coupons.empty()) << r.Out;
    EXPECT_FALSE(StartsWith(coupons[0], "  쿠폰   0개")) << coupons[0];
    EXPECT_NE(r.Out.find("\n  * 7001  농할 20% 햇배추  type=1 option=1 한도=10000 후원=농산물 할인지원\n"),
              std::string::npos)
        << r.Out;
    EXPECT_NE(r.Out.find("         * 는 제안이다 — 농할인지는 협회가 지정한다\n"), std::string::npos);
    EXPECT_NE(r.Out.find("\n  취소   "), std::string::npos);
    EXPECT_NE(r.Out.find("         건너뜀 원줄없음 "), std::string::npos);
    EXPECT_NE(r.Out.find("  상품   "), std::string::npos);
    // Nothing was reported: the self check only reads.
    EXPECT_EQ(FServer->Received("/api/agent/sales"), "[]");
    EXPECT_FALSE(platform::DirExists(SpoolDir()));
}

// A key the server refuses: the login is shown with its status, and the probe runs without
// designated coupons.
TEST_F(SelfCheckTest, ARefusedLoginIsShownAndThePosIsStillProbed) {
    StartServer();
    MakePos(2, 10);
    SaveCompleteSettings(kStore, "wrong-key");
    const ModeRun r = Run({"/selfcheck", "2025-10-01", "2025-10-03"});
    EXPECT_EQ(r.ExitCode, 1);
    const std::vector<std::string> server = LinesFrom(r.Out, "협회 서버에 물어봅니다...");
    ASSERT_GE(server.size(), 6u) << r.Out;
    EXPECT_EQ(server[1], "  세션 쿠키 0개");
    EXPECT_EQ(server[2], "  로그인    status=401");
    EXPECT_TRUE(StartsWith(server[3], "            ")) << server[3]; // the login note
    EXPECT_TRUE(StartsWith(server[4], "X  인증키가 맞지 않습니다.")) << server[4];
    EXPECT_EQ(server[5], "");
    EXPECT_EQ(server[6], "POS DB   ok 붙었습니다");
    EXPECT_EQ(LastLine(r.Out), "  지원액 0원  <- 지정된 쿠폰이 없어 0 이다");
}

TEST_F(SelfCheckTest, TheProbeWindowAndWhereTheProbeStops) {
    MakePos(7, 10);
    SaveCompleteSettings("invalid", kKey); // the server is skipped; only the probe matters here
    const struct {
        const char* Name;
        std::vector<std::string> Args;
        std::string Window; // the window line, or the line the probe stops with
        bool Stops;
    } cases[] = {
        {"seven days",
         {"/selfcheck", "2025-10-01", "2025-10-08"},
         "  창     2025-10-01 ~ 2025-10-08 (반개구간)",
         false},
        {"only the first date: yesterday",
         {"/selfcheck", "2025-10-01"},
         "  창     2025-10-04 ~ 2025-10-05 (반개구간)",
         false},
        {"no dates: yesterday", {"/selfcheck"}, "  창     2025-10-04 ~ 2025-10-05 (반개구간)", false},
        {"nine characters",
         {"/selfcheck", "2025-1-01", "2025-10-08"},
         "  창     X 날짜를 읽지 못했다 (yyyy-mm-dd 로 준다)",
         true},
        {"before 2000",
         {"/selfcheck", "1999-12-31", "2000-01-02"},
         "  창     X 날짜를 읽지 못했다 (yyyy-mm-dd 로 준다)",
         true},
        {"no such day",
         {"/selfcheck", "2025-02-29", "2025-03-01"},
         "  창     X 날짜를 읽지 못했다 (yyyy-mm-dd 로 준다)",
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const ModeRun r = Run(c.Args);
        EXPECT_EQ(r.ExitCode, 1); // the settings are invalid in every case
        EXPECT_NE(r.Out.find("\n" + c.Window + "\n"), std::string::npos) << r.Out;
        if (c.Stops) {
            EXPECT_EQ(LastLine(r.Out), c.Window);
        }
    }
}

// With settings that work, only a date that does not read makes the check fail.
TEST_F(SelfCheckTest, TheExitCodeTellsAnInstallersScriptWhetherTheCheckPassed) {
    StartServer();
    MakePos(2, 5);
    SaveCompleteSettings();
    const struct {
        const char* Name;
        std::vector<std::string> Args;
        int Code;
    } cases[] = {
        {"a window", {"/selfcheck", "2025-10-01", "2025-10-03"}, 0},
        {"no window", {"/selfcheck"}, 0},
        {"one date alone", {"/selfcheck", "2025-10-01"}, 0},
        {"a date that does not read", {"/selfcheck", "2025-1-01", "2025-10-03"}, 1},
        {"a second date that does not read", {"/selfcheck", "2025-10-01", "tomorrow"}, 1},
        {"one date alone that does not read", {"/selfcheck", "yesterday"}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const ModeRun r = Run(c.Args);
        EXPECT_EQ(r.ExitCode, c.Code) << r.Out;
        EXPECT_NE(r.Out.find("ok 정책을 받았습니다\n"), std::string::npos) << r.Out;
    }
}

TEST_F(SelfCheckTest, PosFailuresAreNamedAndStopTheProbe) {
    MakePos(1, 5);
    std::string error;
    const struct {
        const char* Name;
        std::string Conn;
        std::string Sql;
        std::string Last;
    } cases[] = {
        {"no connection string", " ", "", "POS DB   설정이 비어 있습니다 (설정 탭에서 넣어 주세요)"},
        {"no such database", "Driver=SQLite3;Database=" + FRoot.File("none.db"), "",
         "POS DB   X 붙지 못했습니다 — "},
        {"a table is missing", PosConnStr(), "DROP TABLE couponsponsor;",
         "  지문   X 읽어야 할 표가 없다: couponsponsor — 짐작으로 읽느니 멈춘다"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        if (!c.Sql.empty()) {
            ASSERT_TRUE(demopos::RunSql(FPos, c.Sql, error)) << error;
        }
        TAgentSettings s;
        DefaultSettings(s);
        s.Store = "x";
        s.PosConnStr = c.Conn;
        s.AutoStart = false;
        const Result<> saved = SaveSettings(s);
        ASSERT_TRUE(saved.Ok()) << saved.Error();
        const ModeRun r = Run({"/selfcheck"});
        EXPECT_EQ(r.ExitCode, 1); // store "x" is not a valid number
        EXPECT_TRUE(StartsWith(LastLine(r.Out), c.Last)) << r.Out;
    }
}

} // namespace
} // namespace pavona::test

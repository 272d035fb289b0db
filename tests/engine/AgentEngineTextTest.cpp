// The engine's pure texts: notices made plain and their log level, the heartbeat.
#include "common/Version.h"
#include "engine/AgentEngine.h"

#include <gtest/gtest.h>

namespace pavona {
namespace {

TEST(StripMarksTest, RemovesSignsStressAndOuterBlanks) {
    struct Case {
        const char* Text;
        const char* Want;
    } const cases[] = {
        {"⚠ 보관 **공간**이 찼습니다 ", "보관 공간이 찼습니다"},
        {"⛔ 수집을 멈췄습니다", "수집을 멈췄습니다"},
        {"\t실적 3줄\r\n", "실적 3줄"},
        {"⚠ ** ⛔ **  ", ""},
        {"보통 문장", "보통 문장"},
        {"별표 하나 * 는 남는다", "별표 하나 * 는 남는다"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(StripMarks(c.Text), c.Want);
    }
}

// The log page finds warnings and errors by these words: a stop is logged as an error.
TEST(NoticeLevelTest, EachLevelHasTheLogWordTheLogPageSearchesFor) {
    const struct {
        TNoticeLevel Level;
        const char* Word;
    } cases[] = {{TNoticeLevel::Stop, "오류"},
                 {TNoticeLevel::Error, "오류"},
                 {TNoticeLevel::Warning, "주의"},
                 {TNoticeLevel::Info, "정보"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Word);
        EXPECT_STREQ(NoticeLogWord(c.Level), c.Word);
    }
}

TEST(StatusFieldsTextTest, ExactMembersInOrder) {
    TStatusInput in;
    in.PendingDays = 2;
    in.SpoolBytes = 123456789012LL;
    EXPECT_EQ(StatusFieldsText(in),
              "\"agent_version\":\"" + std::string(kAgentVersion) +
                  "\",\"pending_days\":2,"
                  "\"spool_bytes\":123456789012,\"spool_full\":false,\"registers\":[],\"daily\":[]");

    in.Fingerprint = std::string(64, 'f');
    in.Watermark = EncodeDateTime(2025, 10, 6, 9, 20, 0);
    in.WatermarkOffsetMinutes = -210;
    in.SpoolFull = true;
    in.Registers = {{7, EncodeDateTime(2025, 10, 6, 9, 1, 2), 31},
                    {12, EncodeDateTime(2025, 10, 5, 21, 0, 0), 4}};
    in.Days = {{"2025-10-04", 812, 3456000}, {"2025-10-05", 0, 0}};
    EXPECT_EQ(
        StatusFieldsText(in),
        "\"agent_version\":\"" + std::string(kAgentVersion) + "\",\"schema_fingerprint\":\"" +
            std::string(64, 'f') +
            "\",\"watermark\":\"2025-10-06T09:20:00-03:30\",\"pending_days\":2,\"spool_bytes\":123456789012,"
            "\"spool_full\":true,\"registers\":[{\"code\":\"7\",\"last_sold_at\":\"2025-10-06T09:01:02+09:"
            "00\","
            "\"ord_count\":31},{\"code\":\"12\",\"last_sold_at\":\"2025-10-05T21:00:00+09:00\",\"ord_count\":"
            "4}],"
            "\"daily\":[{\"day\":\"2025-10-04\",\"lines\":812,\"amount\":3456000},"
            "{\"day\":\"2025-10-05\",\"lines\":0,\"amount\":0}]");

    in.WatermarkOffsetMinutes = 540;
    EXPECT_NE(StatusFieldsText(in).find("\"watermark\":\"2025-10-06T09:20:00+09:00\""), std::string::npos);
}

TEST(MissingSettingsLine, NamesWhatIsThereAndWhatIsMissing) {
    EXPECT_EQ(MissingSettingsLine("1234567890", "k", ""),
              "설정이 비었다 — 사업자번호 있음 · 인증키 있음 · POS 접속 없음");
    EXPECT_EQ(MissingSettingsLine("  ", "", " "),
              "설정이 비었다 — 사업자번호 없음 · 인증키 없음 · POS 접속 없음");
    EXPECT_EQ(MissingSettingsLine("1234567890", "k", "Driver=SQLite3"), "");
}

} // namespace
} // namespace pavona

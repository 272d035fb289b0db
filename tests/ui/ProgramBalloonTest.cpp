// The new-programme balloon as the window shows it, with every item linked and with some not.
#include "ui/ProgramBalloon.h"

#include <gtest/gtest.h>

namespace pavona {
namespace {

TEST(ProgramBalloon, NamesTheProgrammeItsBudgetAndTheItemsStillToLink) {
    TProgramNews news;
    news.ProgramCode = "NH-2026-10";
    news.ProgramName = "10월 농할";
    news.StartsOn = "2026-10-01";
    news.EndsOn = "2026-10-31";
    news.Allocated = 1000000;
    news.Items = 12;
    const struct {
        int Unlinked;
        const char* ItemsLine;
    } cases[] = {
        {0, "대상 품목 12개가 모두 연결되어 있습니다."},
        {-1, "대상 품목 12개가 모두 연결되어 있습니다."},
        {3, "대상 품목 12개 가운데 3개가 아직 연결되지 않았습니다."},
    };
    EXPECT_STREQ(kProgramBalloonTitle, "새 농할 회차");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Unlinked);
        EXPECT_EQ(ProgramBalloonText(news, c.Unlinked),
                  std::string("새 농할 회차가 시작되었습니다.\r\n\r\n10월 농할\r\n2026-10-01 ~ 2026-10-31\r\n"
                              "우리 매장 배정액 1,000,000원\r\n\r\n") +
                      c.ItemsLine + "\r\n\r\n「농할 설정」 탭에서 확인해 주세요.");
    }
}

} // namespace
} // namespace pavona

// The window's placement: the size rules at their edges (979/980, 599/600, low work areas, scale)
// and the three keys of agent.ini [window] read back after writing.
#include "ui/WindowPlacement.h"
#include "config/AgentSettings.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace pavona {
namespace {

TEST(WindowPlacement, SavedSizeIsTakenFrom980By600AndFitsTheWorkArea) {
    struct Case {
        const char* Name;
        TSavedPlacement Saved;
        QSize Work;
        double Scale;
        QSize Size, Minimum;
    };
    const QSize wide(1920, 1040);
    const Case cases[] = {
        {"nothing saved", {0, 0, false}, wide, 1.0, {980, 820}, {980, 600}},
        {"width 979 is ignored", {979, 700, false}, wide, 1.0, {980, 700}, {980, 600}},
        {"width 980 is taken", {980, 700, false}, wide, 1.0, {980, 700}, {980, 600}},
        {"height 599 is ignored", {1200, 599, false}, wide, 1.0, {1200, 820}, {980, 600}},
        {"height 600 is taken", {1200, 600, false}, wide, 1.0, {1200, 600}, {980, 600}},
        {"larger than the work area", {2500, 2000, false}, wide, 1.0, {1920, 1032}, {980, 600}},
        {"work area 828 high keeps 820", {0, 0, false}, {1366, 828}, 1.0, {980, 820}, {980, 600}},
        {"work area 827 high", {0, 0, false}, {1366, 827}, 1.0, {980, 819}, {980, 600}},
        {"work area 608 high keeps the minimum", {0, 0, false}, {1024, 608}, 1.0, {980, 600}, {980, 600}},
        {"work area 607 high lowers the minimum", {0, 0, false}, {1024, 607}, 1.0, {980, 599}, {980, 599}},
        {"narrow work area", {0, 0, false}, {800, 600}, 1.0, {800, 592}, {980, 592}},
        {"scale 1.5", {0, 0, false}, {2880, 1700}, 1.5, {1470, 1230}, {1470, 900}},
        {"scale 1.5, 1001 rounds to even", {1001, 601, false}, {2880, 1700}, 1.5, {1502, 902}, {1470, 900}},
        {"scale 1.5, low work area", {0, 0, false}, {2880, 1000}, 1.5, {1470, 988}, {1470, 900}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const TWindowSizing sizing = WindowSizingFor(c.Saved, c.Work, c.Scale);
        EXPECT_EQ(sizing.Size, c.Size);
        EXPECT_EQ(sizing.Minimum, c.Minimum);
    }
}

TEST(WindowPlacement, CentresInTheWorkArea) {
    EXPECT_EQ(CentredIn(QSize(980, 820), QRect(0, 0, 1920, 1040)), QPoint(470, 110));
    EXPECT_EQ(CentredIn(QSize(980, 820), QRect(1920, 30, 1280, 994)), QPoint(2070, 117));
}

TEST(WindowPlacement, SizeIsSavedInDesignPixelsOnlyInTheNormalState) {
    struct Case {
        const char* Name;
        QSize Size;
        bool Maximized, Normal;
        double Scale;
        TSavedPlacement Saved;
    };
    const Case cases[] = {
        {"normal", {1024, 700}, false, true, 1.0, {1024, 700, false}},
        {"normal at 1.5", {1470, 1230}, false, true, 1.5, {980, 820, false}},
        {"rounded at 1.5", {1471, 1232}, false, true, 1.5, {981, 821, false}},
        {"maximised keeps no size", {1920, 1040}, true, false, 1.0, {0, 0, true}},
        {"minimised keeps no size", {1024, 700}, false, false, 1.0, {0, 0, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(PlacementToSave(c.Size, c.Maximized, c.Normal, c.Scale), c.Saved);
    }
}

class WindowPlacementFile : public test::TempDataTest {};

TEST_F(WindowPlacementFile, MissingFileGivesNothingSaved) {
    EXPECT_EQ(LoadPlacement(), TSavedPlacement{});
}

TEST_F(WindowPlacementFile, WrittenKeysReadBackAndASaveWithoutSizeKeepsTheOldSize) {
    SavePlacement({1100, 700, false}, true);
    EXPECT_EQ(ReadIniKey("window", "width"), "1100");
    EXPECT_EQ(ReadIniKey("window", "height"), "700");
    EXPECT_EQ(ReadIniKey("window", "maximized"), "0");
    EXPECT_EQ(LoadPlacement(), (TSavedPlacement{1100, 700, false}));

    SavePlacement({0, 0, true}, false);
    EXPECT_EQ(ReadIniKey("window", "maximized"), "1");
    EXPECT_EQ(LoadPlacement(), (TSavedPlacement{1100, 700, true}));
}

TEST_F(WindowPlacementFile, HandEditedValuesThatAreNoNumbersCountAsUnset) {
    struct Case {
        const char* Width;
        const char* Maximized;
        TSavedPlacement Loaded;
    };
    const Case cases[] = {
        {" 1024 ", "1", {1024, 640, true}},
        {"abc", "yes", {0, 640, false}},
        {"", "2", {0, 640, true}},
    };
    ASSERT_TRUE(WriteIniKey("window", "height", "640"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Width);
        ASSERT_TRUE(WriteIniKey("window", "width", c.Width));
        ASSERT_TRUE(WriteIniKey("window", "maximized", c.Maximized));
        EXPECT_EQ(LoadPlacement(), c.Loaded);
    }
}

} // namespace
} // namespace pavona

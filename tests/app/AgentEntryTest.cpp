// The command line: the first argument picks the mode in any letter case; arguments count from one.
#include "app/AgentEntry.h"

#include <gtest/gtest.h>

namespace pavona {

TEST(ParseCommandLine, FirstArgumentSelectsTheModeInAnyLetterCase) {
    struct Case {
        std::vector<std::string> args;
        TRunMode mode;
        bool tray;
    } cases[] = {
        {{}, TRunMode::Resident, false},
        {{"/ONCE"}, TRunMode::Once, false},
        {{"/Once"}, TRunMode::Once, false},
        {{"/once"}, TRunMode::Once, false},
        {{"/icons"}, TRunMode::Resident, false}, // a folder is needed, else it is the resident agent
        {{"/icons", "out"}, TRunMode::Icons, false},
        {{"-install"}, TRunMode::Install, false},
        {{"/UNINSTALL"}, TRunMode::Uninstall, false},
        {{"/report"}, TRunMode::Report, false},
        {{"/enroll", "CODE"}, TRunMode::Enroll, false},
        {{"/maprequest", "123"}, TRunMode::MapRequest, false},
        {{"/selfcheck"}, TRunMode::SelfCheck, false},
        {{"/tray"}, TRunMode::Resident, true},
        {{"hello", "-TRAY"}, TRunMode::Resident, true},
        {{"/once", "/tray"}, TRunMode::Once, false}, // only the resident agent looks for the tray switch
        {{"-once"}, TRunMode::Resident, false},
    };
    for (const Case& c : cases) {
        const TCommandLine cl = ParseCommandLine(c.args);
        const std::string what = c.args.empty() ? "(none)" : c.args[0];
        EXPECT_EQ(cl.Mode, c.mode) << what;
        EXPECT_EQ(cl.Tray, c.tray) << what;
    }
}

TEST(ParseCommandLine, ReportArgumentsAnywhereFromPositionTwo) {
    struct Case {
        std::vector<std::string> args;
        int sample;
        std::string spool;
    } cases[] = {
        {{"/report", "-spool", "X", "-sample", "5"}, 5, "X"},
        {{"/report", "-sample", "3"}, 3, ""},
        {{"/report", "-sample"}, 0, ""},         // the switch is the last argument
        {{"/report", "-sample", "many"}, 0, ""}, // not a number
        {{"/report", "-SAMPLE", "7", "-spool"}, 7, ""},
        {{"/report", "-spool", "-sample", "2"}, 2, "-sample"}, // the value after a switch is examined too
    };
    for (const Case& c : cases) {
        const TCommandLine cl = ParseCommandLine(c.args);
        EXPECT_EQ(cl.SampleCount, c.sample) << c.args.size();
        EXPECT_EQ(cl.SpoolArg, c.spool) << c.args.size();
    }
}

TEST(ParseCommandLine, ArgumentPositionsCountFromOne) {
    const TCommandLine cl = ParseCommandLine({"/enroll", "ABC"});
    EXPECT_EQ(cl.Arg(1), "/enroll");
    EXPECT_EQ(cl.Arg(2), "ABC");
    EXPECT_EQ(cl.Arg(3), "");
    EXPECT_EQ(cl.Arg(0), "");
}

} // namespace pavona

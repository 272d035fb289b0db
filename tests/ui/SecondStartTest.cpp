// A second start of the real program reveals this process's hidden window through the real
// single-instance socket, and a window that is gone is never reached by a late request.
#include "platform/Platform.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/AgentWindow.h"
#include "ui/ResidentAgent.h"

#include <QTest>
#include <gtest/gtest.h>

namespace pavona {
namespace {

class SecondStartTest : public test::TempDataTest {
  protected:
    SecondStartTest() { UiTestApp(); }

    static TAgentFormHooks Quiet() {
        TAgentFormHooks hooks;
        hooks.AskExit = [](QWidget*) { return false; };
        hooks.TrayAvailable = [] { return true; };
        hooks.Quit = [] {};
        return hooks;
    }

    // The program as a store's second start runs it: no argument, or the autostart's "/tray".
    static test::ProcessResult Start(std::vector<std::string> args) {
        return test::RunProcess(test::AgentBinary(), args, {{"QT_QPA_PLATFORM", "offscreen"}}, 20000);
    }
};

TEST_F(SecondStartTest, ASecondStartShowsTheHiddenWindowInFront) {
    const ScaleGuard scale(1.0);
    TAgentForm form(Quiet());
    auto instance = platform::AcquireSingleInstance();
    ASSERT_TRUE(instance) << "another agent already runs on this machine";
    const auto hold = ListenForReveal(*instance, form);
    form.showMinimized();
    form.hide();
    ASSERT_FALSE(form.isVisible());

    // The autostart's start stays silent: the window stays where it is.
    const auto silent = Start({"/tray"});
    EXPECT_EQ(silent.ExitCode, 0);
    QTest::qWait(300);
    EXPECT_FALSE(form.isVisible()) << "/tray must not bring the window up";

    const auto second = Start({});
    EXPECT_EQ(second.ExitCode, 0) << second.Out << second.Err;
    EXPECT_EQ(second.Out, "");
    for (int i = 0; i < 100 && !form.isVisible(); ++i)
        QTest::qWait(50);
    ASSERT_TRUE(form.isVisible()) << "the window did not come up within 5 s";
    EXPECT_FALSE(form.isMinimized());
    EXPECT_FALSE(form.isMaximized());
    EXPECT_TRUE(form.isActiveWindow());
}

TEST_F(SecondStartTest, ARequestAfterTheHoldIsDroppedReachesNoWindow) {
    auto instance = platform::AcquireSingleInstance();
    ASSERT_TRUE(instance) << "another agent already runs on this machine";
    {
        TAgentForm form(Quiet());
        const auto hold = ListenForReveal(*instance, form);
    }
    // The instance still listens while the window is gone, as it does while the agent ends; a
    // request then must not touch freed memory (ASan would say so) and the asker still ends.
    const auto second = Start({});
    EXPECT_EQ(second.ExitCode, 0);
    QTest::qWait(200);
}

} // namespace
} // namespace pavona

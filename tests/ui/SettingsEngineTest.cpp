// The settings page over the real engine thread: saving refused and accepted values, enrolment
// against the reference server, the POS connection test while the engine is busy, and the install.
#include "ui/SettingsPage.h"

#include "config/AgentInstall.h"
#include "platform/Platform.h"
#include "tests/engine/EngineFixture.h"
#include "tests/ui/UiTestSupport.h"
#include "tools/demopos/DemoPos.h"
#include "ui/EngineBridge.h"
#include "ui/SettingsText.h"
#include "ui/UiControls.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <future>
#include <ostream>

// Failures print the text itself, not its UTF-16 units.
void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace pavona::test {
namespace {

constexpr const char* kOtherStore = "2234567890";

class SettingsEngineTest : public EngineTest {
  protected:
    void SetUp() override {
        UiTestApp();
        EngineTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(AddStore()) << FServer->LastError();
        ASSERT_TRUE(FServer->AddStore(kOtherStore, "key-two", "M8 새빛마트", "pt-8", PolicyJson()))
            << FServer->LastError();
        std::string error;
        ASSERT_TRUE(demopos::CreateEmpty(FPosPath, error)) << error;
        SaveAgentSettings(true);
    }

    // The engine thread and the page over it, as the resident agent builds them; the page is
    // given the settings as loaded unless told otherwise. Dialogs and engine calls are recorded.
    void Start(std::optional<TAgentSettings> settings = std::nullopt) {
        FHost.reset();
        FInformed.clear();
        FWarned.clear();
        FFailed.clear();
        FSaved.clear();
        FBridge = std::make_unique<TEngineBridge>(nullptr, [](TAgentEngine& e) {
            e.SetHttpTimeouts({3000, 15000});
            e.SetPosTimeouts(5, 60);
        });
        TSettingsHooks hooks = SettingsHooksFor(*FBridge);
        hooks.Post = [this, post = hooks.Post](auto operation, auto done) {
            ++FPosts;
            post(std::move(operation), std::move(done));
        };
        hooks.Inform = [this](QWidget*, const QString& text) { FInformed.push_back(text); };
        hooks.Warn = [this](QWidget*, const QString& text) { FWarned.push_back(text); };
        hooks.Fail = [this](QWidget*, const QString& text) { FFailed.push_back(text); };
        hooks.ProgramPath = FRoot.File("download/pavona-agent");
        FHost = std::make_unique<Host>(kUiBackdrop, QSize(UiScale(761), UiScale(1300)));
        FPage = new TSettingsPage(settings ? *settings : LoadSettings(), 705, hooks, FHost->Widget());
        QObject::connect(FPage, &TSettingsPage::settingsSaved,
                         [this](const TAgentSettings& s) { FSaved.push_back(s); });
        Drain();
    }
    // Runs the window's loop until everything asked of the engine so far has answered.
    bool Drain(int ms = 30000) {
        bool done = false;
        FBridge->Post([](TAgentEngine&) {}, [&done] { done = true; });
        QElapsedTimer clock;
        clock.start();
        while ((!done || FPage->Busy()) && clock.elapsed() < ms) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            QThread::msleep(1);
        }
        return done && !FPage->Busy();
    }
    template <class T> T* Child(const char* name) const {
        T* child = FPage->findChild<T*>(name);
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    QString Text(const char* name) const { return Child<QLabel>(name)->text(); }
    std::string Ink(const char* name) const {
        return Hex(Child<QLabel>(name)->palette().color(QPalette::WindowText).rgb());
    }
    void Enrol(const char* typed) {
        Child<QLineEdit>("enrollCode")->clear();
        QTest::keyClicks(Child<QLineEdit>("enrollCode"), typed);
        FPage->EnrollClick();
        ASSERT_TRUE(Drain());
    }

    std::unique_ptr<TEngineBridge> FBridge;
    std::unique_ptr<Host> FHost; // after the bridge: the page goes first
    TSettingsPage* FPage = nullptr;
    int FPosts = 0;
    std::vector<QString> FInformed, FWarned, FFailed;
    std::vector<TAgentSettings> FSaved;
};

TEST_F(SettingsEngineTest, RefusedValuesReachNeitherTheEngineNorTheFile) {
    Start();
    const std::string fileBefore = ReadFile(SettingsPath());
    const int postsBefore = FPosts;
    const struct Case {
        const char* Edit;
        const char* Typed;
        QString Message;
    } cases[] = {
        {"collectMinutes", "0", "수집 주기는 1분에서 1440분(하루) 사이입니다."},
        {"collectMinutes", "열", "수집 주기는 1분에서 1440분(하루) 사이입니다."},
        {"policyMinutes", "1441", "한도 확인 주기는 1분에서 1440분 사이입니다."},
        {"key", "   ", "협회에서 받은 인증키를 넣어 주세요."},
        {"baseUrl", "http://127.0.0.1:8443", "서버 주소는 https 로 시작해야 합니다."},
        {"store", "123-45-67890", "사업자번호는 숫자 10자리입니다."},
        {"cautionPct", "95",
         "주의 기준은 임박 기준보다 낮아야 합니다 — 그렇지 않으면 주의 경고를 보실 수 없습니다."},
        {"imminentPct", "101", "임박 기준은 1%에서 100% 사이입니다."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Edit + std::string(" = ") + c.Typed);
        auto* edit = Child<QLineEdit>(c.Edit);
        const QString old = edit->text();
        edit->setText(c.Typed);
        FWarned.clear();
        FPage->SaveClick();
        ASSERT_TRUE(Drain());
        EXPECT_EQ(FWarned, std::vector<QString>{c.Message});
        // Left in its edit to be corrected.
        EXPECT_EQ(edit->text(), c.Typed);
        EXPECT_EQ(FPosts, postsBefore);
        EXPECT_EQ(ReadFile(SettingsPath()), fileBefore);
        const TAgentSnapshot s = FBridge->Snapshot();
        EXPECT_EQ(s.CollectMinutes, 10);
        EXPECT_EQ(s.PolicyMinutes, 30);
        EXPECT_EQ(s.Input.CautionPct, 80);
        EXPECT_EQ(s.Input.ImminentPct, 95);
        EXPECT_EQ(FPage->Settings().Key, kKey);
        EXPECT_EQ(FPage->Settings().CollectMinutes, 10);
        edit->setText(old);
    }
    EXPECT_TRUE(FInformed.empty());
    EXPECT_TRUE(FSaved.empty());
}

TEST_F(SettingsEngineTest, SavedValuesGoLiveAndTheAnnouncedProgrammeStays) {
    // The engine announced a programme after the page read its copy of the settings.
    ASSERT_TRUE(WriteIniKey("state", "seen_program", "NH-2026-10"));
    TAgentSettings stale = LoadSettings();
    stale.SeenProgramCode.clear();
    Start(stale);
    Child<QLineEdit>("collectMinutes")->setText(" 15 ");
    Child<QLineEdit>("cautionPct")->setText("70");
    Child<QCheckBox>("autoStart")->setChecked(true);
    FPage->SaveClick();
    ASSERT_TRUE(Drain());

    EXPECT_EQ(FInformed, std::vector<QString>{kSaved});
    EXPECT_TRUE(FWarned.empty() && FFailed.empty());
    const TAgentSettings disk = LoadSettings();
    EXPECT_EQ(disk.CollectMinutes, 15);
    EXPECT_EQ(disk.CautionPct, 70);
    EXPECT_EQ(disk.SeenProgramCode, "NH-2026-10");
    const TAgentSnapshot s = FBridge->Snapshot();
    EXPECT_EQ(s.CollectMinutes, 15);
    EXPECT_EQ(s.Input.CautionPct, 70);
    ASSERT_EQ(FSaved.size(), 1u);
    EXPECT_EQ(FSaved[0].CollectMinutes, 15);
    EXPECT_EQ(FPage->Settings().SeenProgramCode, "NH-2026-10");
    // Nothing is installed yet, so autostart names the program that runs.
    EXPECT_EQ(AutoStartCommand(), "\"" + FRoot.File("download/pavona-agent") + "\" /tray");
}

TEST_F(SettingsEngineTest, EnrolmentAgainstTheReferenceServer) {
    ASSERT_EQ(FServer->IssueCode(kOtherStore, 72, "ABCD-EFGH-JKLM"), "ABCD-EFGH-JKLM")
        << FServer->LastError();
    Start();
    const struct Case {
        const char* Name;
        const char* Typed;
        QString Note;
        bool Saves;
    } cases[] = {
        {"unknown code", "zzzz-zzzz-zzzz", kEnrollRefused, false},
        {"issued code, typed in small letters", "abcd-efgh-jklm",
         "등록했습니다 — M8 새빛마트. 이 컴퓨터에서만 풀리게 저장했습니다.", true},
        {"the same code again", "ABCD-EFGH-JKLM", kEnrollRefused, false},
    };
    std::string store = kStore, key = kKey;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        FInformed.clear();
        const size_t savedBefore = FSaved.size();
        Enrol(c.Typed);
        EXPECT_EQ(Text("enrollNote"), c.Note);
        if (c.Saves) {
            // The key the association issued for this PC.
            store = kOtherStore;
            key = Child<QLineEdit>("key")->text().toStdString();
            EXPECT_EQ(key.rfind("pk_", 0), 0u) << key;
            EXPECT_EQ(FSaved.size(), savedBefore + 1);
            EXPECT_EQ(FInformed, std::vector<QString>{kSaved});
            EXPECT_TRUE(Child<QLineEdit>("enrollCode")->text().isEmpty());
            EXPECT_EQ(Text("registration"), "등록됨 — M8 새빛마트 · 사업자 2234567890");
        } else {
            EXPECT_EQ(FSaved.size(), savedBefore);
            EXPECT_TRUE(FInformed.empty());
        }
        const TAgentSettings disk = LoadSettings();
        EXPECT_EQ(disk.Store, store);
        EXPECT_EQ(disk.Key, key);
    }
}

TEST_F(SettingsEngineTest, EnrolmentKeepsTheKeyWhenAnotherValueIsRefused) {
    const std::string code = FServer->IssueCode(kOtherStore, 72, "WXYZ-WXYZ-WXYZ");
    ASSERT_EQ(code, "WXYZ-WXYZ-WXYZ") << FServer->LastError();
    Start();
    Child<QLineEdit>("collectMinutes")->setText("0");
    Enrol("WXYZ-WXYZ-WXYZ");

    EXPECT_EQ(Text("enrollNote"),
              "등록했습니다 — M8 새빛마트. 인증키 · 사업자번호 · 서버 주소는 이 컴퓨터에서만 "
              "풀리게 저장했고, 다른 설정은 저장하지 않았습니다 — 수집 주기는 1분에서 "
              "1440분(하루) 사이입니다.");
    // The note grows its card rather than losing its end.
    const QLabel* note = Child<QLabel>("enrollNote");
    EXPECT_LE(note->heightForWidth(note->width()), note->height());
    EXPECT_LE(note->geometry().bottom(), note->parentWidget()->height());

    const std::string key = Child<QLineEdit>("key")->text().toStdString();
    const TAgentSettings disk = LoadSettings(); // what the next start reads
    EXPECT_EQ(disk.Key, key);
    EXPECT_EQ(disk.Store, kOtherStore);
    EXPECT_EQ(disk.BaseUrl, FServer->BaseUrl());
    EXPECT_EQ(disk.CollectMinutes, 10);
    EXPECT_EQ(FBridge->Snapshot().CollectMinutes, 10);
    EXPECT_EQ(FPage->Settings().Key, key);
    EXPECT_EQ(FPage->Settings().CollectMinutes, 10);
    EXPECT_EQ(Child<QLineEdit>("collectMinutes")->text(), "0");
    ASSERT_EQ(FSaved.size(), 1u);
    EXPECT_EQ(FSaved[0].Store, kOtherStore);
    EXPECT_TRUE(FInformed.empty() && FWarned.empty() && FFailed.empty());
}

TEST_F(SettingsEngineTest, ConnectionTestLeavesTheWindowRunningWhileTheEngineWorks) {
    Start();
    FPage->ToggleConnEdit();
    const struct Case {
        const char* Name;
        std::string Conn;
        QString Outcome; // the second line begins so
        const char* Ink;
    } cases[] = {
        {"demo POS", PosConn(), "연결 시험 성공 — 00:30", "#1F8A4C"},
        {"missing POS file", "Driver=SQLite3;Database=" + FRoot.File("none/pos.db"), "연결하지 못했습니다 — ",
         "#C0392B"},
        {"unknown provider", "Provider=Foo;Data Source=x",
         "연결하지 못했습니다 — POS 연결 문자열의 Provider=Foo 는 쓸 수 없습니다", "#C0392B"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        // The engine is busy, as with a POS that takes its whole login time-out to answer.
        std::promise<void> gate;
        std::shared_future<void> opened = gate.get_future().share();
        FBridge->Post([opened](TAgentEngine&) { opened.wait(); });
        Child<QLineEdit>("connEdit")->setText(QString::fromStdString(c.Conn));
        FPage->ConnTestClick();
        const QString summary = ConnectionSummary(c.Conn);
        EXPECT_EQ(Text("connSummary"), summary + "\n연결 시험 중…");
        EXPECT_FALSE(Child<TUiButton>("connTest")->isEnabled());

        int beats = 0;
        QTimer probe;
        QObject::connect(&probe, &QTimer::timeout, [&beats] { ++beats; });
        probe.start(10);
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 300)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        EXPECT_GE(beats, 10) << "the window's loop stood still";
        EXPECT_TRUE(FPage->Busy());

        gate.set_value();
        ASSERT_TRUE(Drain());
        EXPECT_TRUE(Text("connSummary").startsWith(summary + "\n" + c.Outcome))
            << Text("connSummary").toStdString();
        EXPECT_EQ(Ink("connSummary"), c.Ink);
        EXPECT_TRUE(Child<TUiButton>("connTest")->isEnabled());
    }
    // The string tested is not saved by testing it.
    EXPECT_EQ(LoadSettings().PosConnStr, PosConn());
}

TEST_F(SettingsEngineTest, InstallCopiesTheProgramAndPointsAutostartThere) {
    const std::string program = FRoot.File("download/pavona-agent");
    ASSERT_TRUE(platform::MakeDirs(platform::ParentDir(program)));
    WriteFile(program, "the agent's program");
    const std::string target = InstalledExe();
    const struct Case {
        const char* Name;
        bool BlockFolder; // a file stands where the program folder must go
        std::vector<QString> Informed, Failed;
        std::string Command;
    } cases[] = {
        {"folder cannot be made",
         true,
         {},
         {QString::fromStdString("폴더를 만들지 못했습니다 — " + InstallDir())},
         ""},
        {"installed",
         false,
         {QString::fromStdString("설치했습니다.\n" + target +
                                 "\n\n다음에 컴퓨터를 켤 때부터 이 자리에서 자동으로 실행됩니다.")},
         {},
         "\"" + target + "\" /tray"},
    };
    const std::string blocker = platform::ParentDir(platform::ParentDir(target));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        if (c.BlockFolder)
            WriteFile(blocker, "not a folder");
        else
            platform::RemoveFile(blocker);
        Start();
        FPage->InstallClick();
        ASSERT_TRUE(Drain());
        EXPECT_EQ(FInformed, c.Informed);
        EXPECT_EQ(FFailed, c.Failed);
        EXPECT_EQ(AutoStartCommand(), c.Command);
        EXPECT_EQ(Child<QCheckBox>("autoStart")->isChecked(), !c.Command.empty());
    }
    EXPECT_EQ(ReadFile(target), "the agent's program");
    EXPECT_TRUE(Text("autoStartNote").startsWith("지금 상태 — 켜짐\n"))
        << Text("autoStartNote").toStdString();
    // Running from the download still, the button stays for the next time.
    EXPECT_TRUE(Child<TUiButton>("install")->isEnabled());
    EXPECT_TRUE(FPage->Settings().AutoStart);
}

} // namespace
} // namespace pavona::test

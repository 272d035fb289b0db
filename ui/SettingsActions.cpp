// The settings page's buttons: enrolment, the connection test, saving and the install, each run on
// the engine thread and answered here; the autostart state read back after each of them.
#include "ui/SettingsPage.h"

#include "common/Text.h"
#include "config/AgentInstall.h"
#include "engine/AgentEngine.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "server/AgentEnroll.h"
#include "ui/AgentWindow.h"
#include "ui/EngineBridge.h"
#include "ui/SettingsText.h"
#include "ui/UiControls.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPalette>
#include <QPointer>

#include <memory>

namespace pavona {
namespace {

constexpr QRgb kBody = 0x4B5B63;
constexpr QRgb kGreen = 0x1F8A4C;
constexpr QRgb kRed = 0xC0392B;

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

std::string Text(const QLineEdit* edit) {
    return Trim(edit->text().toStdString());
}

// What the install did, told back to the window's thread.
struct TInstallOutcome {
    std::string Target;
    std::string Error; // ended the install; empty when it ran to the end
    std::optional<TAgentSettings> Settings;
    std::string Command;     // the autostart entry afterwards
    bool Registered = false; // the entry names the installed program, which exists
};

TInstallOutcome InstallProgram(TAgentEngine& engine, const std::string& program) {
    TInstallOutcome out;
    out.Target = InstalledExeFor(program);
    if (NotSamePath(program, out.Target)) {
        if (!platform::MakeDirs(InstallDir())) {
            out.Error = "폴더를 만들지 못했습니다 — " + InstallDir();
            return out;
        }
        std::string error;
        if (!platform::InstallProgramFile(program, out.Target, error)) {
            out.Error = "옮기지 못했습니다 — " + error + "\r\n\r\n" +
                        "이미 설치된 에이전트가 돌고 있으면 트레이에서 종료한 뒤 다시 눌러 주세요.";
            return out;
        }
    }
    Result<TAgentSettings> saved = engine.SaveInForce([](TAgentSettings& s) { s.AutoStart = true; });
    if (!saved) {
        out.Error = saved.Error();
        return out;
    }
    out.Settings = saved.Value();
    // Saving registered the running program: the installed one must be the entry that remains.
    SetAutoStart(true, out.Target);
    out.Command = AutoStartCommand();
    out.Registered = AutoStartState(out.Command, out.Target, platform::FileExists(out.Target)) ==
                     TAutoStartState::Installed;
    return out;
}

} // namespace

TSettingsHooks SettingsHooksFor(TEngineBridge& bridge) {
    TSettingsHooks hooks;
    hooks.Post = [&bridge](std::function<void(TAgentEngine&)> operation, std::function<void()> done) {
        bridge.Post(std::move(operation), std::move(done));
    };
    return hooks;
}

template <class T>
void TSettingsPage::Ask(std::function<T(TAgentEngine&)> operation,
                        std::function<void(std::optional<T>)> done) {
    if (!FHooks.Post) {
        done(std::nullopt);
        return;
    }
    // Written on the engine thread before `done` is posted, read on this thread after it arrived.
    auto answer = std::make_shared<std::optional<T>>();
    QPointer<TSettingsPage> page(this);
    ++FPending;
    FHooks.Post(
        [answer, operation = std::move(operation)](TAgentEngine& e) { answer->emplace(operation(e)); },
        [page, answer, done = std::move(done)] {
            if (!page) return;
            --page->FPending;
            done(std::move(*answer));
        });
}

void TSettingsPage::Inform(const QString& text) {
    if (FHooks.Inform)
        FHooks.Inform(this, text);
    else
        QMessageBox::information(window(), kWindowCaption, text);
}

void TSettingsPage::Warn(const QString& text) {
    if (FHooks.Warn)
        FHooks.Warn(this, text);
    else
        QMessageBox::warning(window(), kWindowCaption, text);
}

void TSettingsPage::Fail(const QString& text) {
    if (FHooks.Fail)
        FHooks.Fail(this, text);
    else
        QMessageBox::critical(window(), kWindowCaption, text);
}

std::string TSettingsPage::ProgramPath() const {
    return FHooks.ProgramPath.empty() ? platform::ExecutablePath() : FHooks.ProgramPath;
}

void TSettingsPage::SetEnrolNote(const QString& text) {
    FEnrollNote->setText(text);
    LayoutSettings();
}

void TSettingsPage::EnrollClick() {
    if (!FEnrollBtn->isEnabled()) return;
    const std::string base = Text(FBaseEdit), code = Text(FEnrollEdit);
    // Said at once: asking the engine may mean waiting for a cycle to end first.
    if (base.empty() || code.empty()) {
        SetEnrolNote(kEnrollInputMissing);
        return;
    }
    SetEnrolNote(kAskingServer);
    FEnrollNote->repaint();
    FEnrollBtn->setEnabled(false);
    Ask<TEnrollResult>([base, code](TAgentEngine& e) { return e.Enroll(base, code); },
                       [this, base](std::optional<TEnrollResult> r) { EnrollAnswered(r, base); });
}

void TSettingsPage::EnrollAnswered(const std::optional<TEnrollResult>& r, const std::string& base) {
    FEnrollBtn->setEnabled(true);
    if (!r || !r->Ok) {
        SetEnrolNote(r ? Q(r->Error) : QString(kOperationLost));
        return;
    }
    FKeyEdit->setText(Q(r->Key));
    FStoreEdit->setText(Q(r->Store));
    FEnrollEdit->clear();
    FPointLabel = r->PointLabel;
    const std::string label = r->PointLabel;
    const TAgentSettings edited = EditsToSettings();
    const Result<> valid = ValidateSettings(edited);
    if (valid) {
        SaveChecked(edited, [this, label](const std::string& error) {
            SetEnrolNote(EnrolledNote(label, "", error));
        });
        return;
    }
    // Another value of the page is refused: the key is kept all the same, or it would be lost at
    // the next start while the association counts the code as used.
    const std::string refused = valid.Error(), key = r->Key, store = r->Store;
    Ask<Result<TAgentSettings>>(
        [base, key, store](TAgentEngine& e) {
            return e.SaveInForce([&](TAgentSettings& s) {
                s.BaseUrl = base;
                s.Key = key;
                s.Store = store;
            });
        },
        [this, label, refused](std::optional<Result<TAgentSettings>> saved) {
            if (saved && *saved) {
                Kept(saved->Value());
                SetEnrolNote(EnrolledNote(label, refused, ""));
            } else {
                SetEnrolNote(EnrolledNote(label, "", saved ? saved->Error() : kOperationLost));
            }
        });
}

void TSettingsPage::ConnTestClick() {
    if (!FConnTestBtn->isEnabled()) return;
    const std::string conn = Text(FConnEdit);
    if (conn.empty()) {
        SetSummary(kNoPosConn, kRed);
        return;
    }
    // A POS that does not answer keeps the engine waiting up to its login time-out; the window
    // says what it waits for meanwhile.
    const QString summary = ConnectionSummary(conn);
    SetSummary(summary + "\n연결 시험 중…", kBody);
    FConnTestBtn->setEnabled(false);
    setCursor(Qt::BusyCursor);
    Ask<Result<>>([conn](TAgentEngine& e) { return e.TestPosConnection(conn); },
                  [this, summary](std::optional<Result<>> r) {
                      FConnTestBtn->setEnabled(true);
                      unsetCursor();
                      if (r && *r)
                          SetSummary(summary + "\n연결 시험 성공 — " + Q(FormatDateTime("hh:nn", Now())),
                                     kGreen);
                      else
                          SetSummary(summary + "\n연결하지 못했습니다 — " +
                                         Q(StripMarks(r ? r->Error() : std::string(kOperationLost))),
                                     kRed);
                  });
}

void TSettingsPage::SaveClick() {
    if (!FSaveBtn->isEnabled()) return;
    // A copy is checked: a refused value stays in its edit and never reaches the engine or the file.
    const TAgentSettings edited = EditsToSettings();
    if (const Result<> valid = ValidateSettings(edited); !valid) {
        Warn(Q(valid.Error()));
        return;
    }
    SaveChecked(edited, nullptr);
}

void TSettingsPage::SaveChecked(const TAgentSettings& edited, std::function<void(const std::string&)> after) {
    FSaveBtn->setEnabled(false);
    const std::string program = ProgramPath();
    Ask<Result<TAgentSettings>>(
        [edited, program](TAgentEngine& e) {
            Result<TAgentSettings> saved = e.SaveAndApplySettings(edited);
            // Saving registered the running program; an installed copy is the one that should start.
            if (saved && edited.AutoStart) {
                const std::string installed = InstalledExeFor(program);
                SetAutoStart(true, platform::FileExists(installed) ? installed : program);
            }
            return saved;
        },
        [this, after](std::optional<Result<TAgentSettings>> saved) {
            FSaveBtn->setEnabled(true);
            if (!saved || !*saved) {
                const std::string why = saved ? saved->Error() : std::string(kOperationLost);
                Fail(Q(why));
                if (after) after(why);
                return;
            }
            Kept(saved->Value());
            Inform(kSaved);
            if (after) after("");
        });
}

void TSettingsPage::Kept(const TAgentSettings& saved) {
    FSettings = saved;
    RefreshAutoStart();
    RefreshEnrolment();
    emit settingsSaved(FSettings);
}

void TSettingsPage::InstallClick() {
    if (!FInstallBtn->isEnabled()) return;
    FInstallBtn->setEnabled(false);
    const std::string program = ProgramPath();
    Ask<TInstallOutcome>([program](TAgentEngine& e) { return InstallProgram(e, program); },
                         [this](std::optional<TInstallOutcome> out) {
                             RefreshAutoStart();
                             if (!out) {
                                 Fail(kOperationLost);
                                 return;
                             }
                             if (out->Settings) Kept(*out->Settings);
                             if (!out->Error.empty())
                                 Fail(Shown(out->Error));
                             else if (out->Registered)
                                 Inform("설치했습니다.\n" + Q(out->Target) + "\n\n" +
                                        "다음에 컴퓨터를 켤 때부터 이 자리에서 자동으로 실행됩니다.");
                             else
                                 Fail("자동 실행을 등록하지 못했습니다.\n지금 값: " + Q(out->Command));
                         });
}

void TSettingsPage::RefreshAutoStart() {
    const std::string command = AutoStartCommand();
    const std::string installed = InstalledExeFor(ProgramPath());
    const TAutoStartState state =
        AutoStartState(command, installed, platform::FileExists(CommandExe(command)));
    FAutoStartBox->setChecked(state != TAutoStartState::Off);
    FAutoStartNote->setText(AutoStartNote(state, platform::AutoStartEntryPath()));
    FInstallBtn->setEnabled(!SamePath(ProgramPath(), installed) || state != TAutoStartState::Installed);
    LayoutSettings();
}

} // namespace pavona

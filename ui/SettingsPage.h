// The settings page ("설정"): enrolment, the POS connection and its test, autostart and the install
// into the safe place, the two periods with the next-run line, the advanced card, and saving.
#pragma once

#include "config/AgentSettings.h"
#include "engine/AgentSnapshot.h"
#include "server/AgentEnroll.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace pavona {

class TAgentEngine;
class TEngineBridge;
class TUiButton;
class TUiCard;

// What the page asks of its surroundings.
struct TSettingsHooks {
    // Runs `operation` on the engine thread and `done` on the window's thread afterwards, as
    // TEngineBridge::Post does. Enrolment, the connection test, saving and installing go this way.
    std::function<void(std::function<void(TAgentEngine&)> operation, std::function<void()> done)> Post;
    // Message boxes with an OK button; empty ones show a QMessageBox.
    std::function<void(QWidget*parent, const QString&text)> Inform, Warn, Fail;
    // The running program's file; empty means this process's own.
    std::string ProgramPath;
};
// The hooks of the resident agent: the bridge's engine thread and real message boxes. The bridge
// must outlive the page.
TSettingsHooks SettingsHooksFor(TEngineBridge& bridge);

class TSettingsPage : public QWidget {
    Q_OBJECT
  public:
    // `settings` are the ones in force (as loaded); `cardWidth` the design width of the cards.
    TSettingsPage(const TAgentSettings& settings, int cardWidth, TSettingsHooks hooks,
                  QWidget* parent = nullptr);

    // The settings in force: changed only by a save that passed the checks and reached the file.
    const TAgentSettings& Settings() const { return FSettings; }
    // The engine rendered: the store's name as the association knows it, the registration and
    // connection lines (which replace a connection test's result) and the next-run line.
    void Render(const TAgentSnapshot& s);
    // The engine's status changed: the next-run line.
    void RefreshStatus(const TAgentSnapshot& s);
    // The window's width changed: the cards follow it, and what the edits hold stays.
    void SetCardWidth(int cardWidth);
    int CardWidth() const { return FW; }
    // An operation asked of the engine has not answered yet.
    bool Busy() const { return FPending > 0; }
    bool AdvancedOpen() const { return FAdvOpen; }

    // The buttons' handlers (public so the window's tests and tools can drive them).
    void EnrollClick();
    void ConnTestClick();
    void ToggleConnEdit();
    void InstallClick();
    void ToggleAdvanced();
    void SaveClick();
    // Reads the autostart entry again and shows its state.
    void RefreshAutoStart();

  signals:
    // New settings went to the file and the engine: the window re-renders the header and the
    // status page with them.
    void settingsSaved(const pavona::TAgentSettings& settings);

  private:
    void Build();
    void BuildEnrolCard();
    void BuildPosCard();
    void BuildAutoCard();
    void BuildTimingCard();
    void BuildAdvancedCard();
    QLineEdit* AddEditRow(TUiCard* card, const QString& caption, bool password);
    void LayoutSettings();
    void SettingsToEdits();
    TAgentSettings EditsToSettings() const;
    void RefreshEnrolment();
    void SetSummary(const QString& text, QRgb colour);
    // Saves `edited` (checked already) and applies it; `after` hears whether it was kept.
    void SaveChecked(const TAgentSettings& edited, std::function<void(const std::string& error)> after);
    // `base` is the address the code was sent to.
    void EnrollAnswered(const std::optional<TEnrollResult>& r, const std::string& base);
    void SetEnrolNote(const QString& text);
    void Kept(const TAgentSettings& saved);
    // Runs `operation` on the engine thread and `done` here with its value (none when the
    // operation never finished); `done` is dropped when the page is gone by then.
    template <class T>
    void Ask(std::function<T(TAgentEngine&)> operation, std::function<void(std::optional<T>)> done);
    void Inform(const QString& text);
    void Warn(const QString& text);
    void Fail(const QString& text);
    std::string ProgramPath() const;

    TSettingsHooks FHooks;
    TAgentSettings FSettings;
    int FW = 0;
    int FPending = 0;
    bool FAdvOpen = false;
    std::string FPointLabel;
    TDateTime FPolicyAt = 0; // the policy fetch the point label came from

    TUiCard* FEnrolCard = nullptr;
    QLabel* FRegLabel = nullptr;
    QLabel* FRegHelp = nullptr;
    QLineEdit* FEnrollEdit = nullptr;
    TUiButton* FEnrollBtn = nullptr;
    QLabel* FEnrollNote = nullptr;
    TUiCard* FPosCard = nullptr;
    QLabel* FConnSummary = nullptr;
    TUiButton* FConnTestBtn = nullptr;
    TUiButton* FConnToggle = nullptr;
    QLineEdit* FConnEdit = nullptr;
    TUiCard* FAutoCard = nullptr;
    QCheckBox* FAutoStartBox = nullptr;
    QLabel* FAutoStartNote = nullptr;
    TUiButton* FInstallBtn = nullptr;
    TUiCard* FTimingCard = nullptr;
    QLineEdit* FCollectEdit = nullptr;
    QLineEdit* FPolicyEdit = nullptr;
    QLabel* FTimingNote = nullptr;
    QLabel* FSendNote = nullptr;
    QLabel* FNextRunLabel = nullptr;
    TUiCard* FAdvCard = nullptr;
    TUiButton* FAdvBtn = nullptr;
    QLineEdit* FBaseEdit = nullptr;
    QLineEdit* FStoreEdit = nullptr;
    QLineEdit* FKeyEdit = nullptr;
    QLineEdit* FCautionEdit = nullptr;
    QLineEdit* FImminentEdit = nullptr;
    TUiButton* FSaveBtn = nullptr;
    QLabel* FSaveNote = nullptr;
    // The captions beside the edit rows, placed with them.
    std::vector<QLabel*> FRowCaptions;
};

} // namespace pavona

// The settings page's cards built at design coordinates, their layout as cards open and notes grow,
// and the settings shown in the edits.
#include "ui/SettingsPage.h"

#include "common/Text.h"
#include "ui/AgentUi.h"
#include "ui/SettingsText.h"
#include "ui/StatusPage.h"
#include "ui/UiControls.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QValidator>

#include <cmath>
#include <iterator>

namespace pavona {
namespace {

constexpr QRgb kInk = 0x0F1F2E;
constexpr QRgb kBody = 0x4B5B63;
constexpr QRgb kRed = 0xC0392B;

// Design heights of the notes that may need more lines than designed; their cards grow instead of
// cutting them off.
constexpr int kEnrolNoteH = 22;
constexpr int kSummaryH = 48;
constexpr int kAutoNoteH = 80;
// The open advanced card: its last edit row ends at 278.
constexpr int kAdvOpenH = 288;
constexpr int kAdvClosedH = 66;

// Enrolment codes are capitals; what is typed in small letters is shown as the code it is.
class TUpperCase : public QValidator {
  public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        input = input.toUpper();
        return Acceptable;
    }
};

QLineEdit* MakeEdit(QWidget* parent, int size) {
    auto* edit = new QLineEdit(parent);
    SetUiFont(edit, size, QColor(kInk));
    // The typed text keeps a little air from the frame at every scale.
    edit->setTextMargins(UiScale(4), 0, UiScale(4), 0);
    QPalette palette = edit->palette();
    palette.setColor(QPalette::PlaceholderText, QColor(kUiMuted));
    edit->setPalette(palette);
    return edit;
}

TUiButton* MakeButton(QWidget* parent, const char* name, TUiButtonKind kind, const QString& caption) {
    auto* button = new TUiButton(parent);
    button->setObjectName(name);
    button->SetKind(kind);
    button->SetText(caption);
    return button;
}

TUiCard* MakeCard(QWidget* parent, const char* name, const QString& title, int titleTop = 18,
                  int titleWidth = 320) {
    auto* card = new TUiCard(parent);
    card->setObjectName(name);
    MakeLabel(card, 24, titleTop, titleWidth, 26, title, 13, QColor(kInk), false, false, true);
    return card;
}

// How many design pixels more than `designHeight` the label needs for its text at its width.
int ExtraHeight(const QLabel* label, int designHeight) {
    const int needed = label->heightForWidth(label->width());
    const int design = static_cast<int>(std::ceil(needed / UiScaleFactor()));
    return design > designHeight ? design - designHeight : 0;
}

void SetInk(QLabel* label, const QColor& colour) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

} // namespace

TSettingsPage::TSettingsPage(const TAgentSettings& settings, int cardWidth, TSettingsHooks hooks,
                             QWidget* parent)
    : QWidget(parent), FHooks(std::move(hooks)), FSettings(settings), FW(cardWidth) {
    setObjectName("settingsPage");
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(kUiBackdrop));
    setPalette(palette);
    setAutoFillBackground(true);
    Build();
    SettingsToEdits();
}

void TSettingsPage::Build() {
    BuildEnrolCard();
    BuildPosCard();
    BuildAutoCard();
    BuildTimingCard();
    BuildAdvancedCard();
    FSaveBtn = MakeButton(this, "save", TUiButtonKind::Primary, "저장");
    connect(FSaveBtn, &TUiClickable::clicked, this, &TSettingsPage::SaveClick);
    FSaveNote = MakeLabel(this, 28, 0, 100, 44, kSaveNote, 9, QColor(kUiMuted), false, true);
    FSaveNote->setObjectName("saveNote");
    LayoutSettings();
}

void TSettingsPage::BuildEnrolCard() {
    FEnrolCard = MakeCard(this, "enrolCard", "협회 연결");
    FRegLabel = MakeLabel(FEnrolCard, 24, 50, 100, 26, "", 12, QColor(kInk), true);
    FRegLabel->setObjectName("registration");
    FRegHelp = MakeLabel(FEnrolCard, 24, 80, 100, 22, kRegHelpNew, 10, QColor(kUiMuted));
    FRegHelp->setObjectName("registrationHelp");
    FEnrollEdit = MakeEdit(FEnrolCard, 13);
    FEnrollEdit->setObjectName("enrollCode");
    FEnrollEdit->setValidator(new TUpperCase(FEnrollEdit));
    FEnrollEdit->setPlaceholderText(kEnrolCodeExample);
    SetBoundsScaled(FEnrollEdit, 24, 112, 240, 36);
    FEnrollBtn = MakeButton(FEnrolCard, "enroll", TUiButtonKind::Primary, "코드로 등록");
    SetBoundsScaled(FEnrollBtn, 276, 110, 150, 40);
    connect(FEnrollBtn, &TUiClickable::clicked, this, &TSettingsPage::EnrollClick);
    FEnrollNote = MakeLabel(FEnrolCard, 24, 154, 100, kEnrolNoteH, "", 9, QColor(kBody), false, true);
    FEnrollNote->setObjectName("enrollNote");
}

void TSettingsPage::BuildPosCard() {
    FPosCard = MakeCard(this, "posCard", "POS 연결");
    FConnSummary = MakeLabel(FPosCard, 24, 50, 100, kSummaryH, "", 10, QColor(kBody), false, true);
    FConnSummary->setObjectName("connSummary");
    FConnTestBtn = MakeButton(FPosCard, "connTest", TUiButtonKind::Secondary, "연결 시험");
    connect(FConnTestBtn, &TUiClickable::clicked, this, &TSettingsPage::ConnTestClick);
    FConnToggle = MakeButton(FPosCard, "connToggle", TUiButtonKind::Link, "접속 정보 바꾸기");
    connect(FConnToggle, &TUiClickable::clicked, this, &TSettingsPage::ToggleConnEdit);
    FConnEdit = MakeEdit(FPosCard, 10);
    FConnEdit->setObjectName("connEdit");
    FConnEdit->setVisible(false);
}

void TSettingsPage::BuildAutoCard() {
    FAutoCard = MakeCard(this, "autoCard", "자동 실행");
    FAutoStartBox = new QCheckBox("컴퓨터를 켤 때 자동으로 실행", FAutoCard);
    FAutoStartBox->setObjectName("autoStart");
    SetUiFont(FAutoStartBox, 11, QColor(kInk));
    // The style's box has a fixed pixel size; it grows with the text instead.
    FAutoStartBox->setStyleSheet(
        QString("QCheckBox::indicator { width: %1px; height: %1px; } QCheckBox { spacing: %2px; }")
            .arg(UiScale(16))
            .arg(UiScale(8)));
    SetBoundsScaled(FAutoStartBox, 24, 54, 400, 28);
    FAutoStartNote = MakeLabel(FAutoCard, 24, 88, 100, kAutoNoteH, "", 10, QColor(kBody), false, true);
    FAutoStartNote->setObjectName("autoStartNote");
    FInstallBtn = MakeButton(FAutoCard, "install", TUiButtonKind::Secondary, "안전한 자리에 설치");
    connect(FInstallBtn, &TUiClickable::clicked, this, &TSettingsPage::InstallClick);
}

QLineEdit* TSettingsPage::AddEditRow(TUiCard* card, const QString& caption, bool password) {
    FRowCaptions.push_back(MakeLabel(card, 24, 0, 150, 22, caption, 10, QColor(kBody)));
    QLineEdit* edit = MakeEdit(card, 11);
    if (password) {
        edit->setEchoMode(QLineEdit::Password);
        edit->setStyleSheet("QLineEdit { lineedit-password-character: 42; }");
    }
    return edit;
}

void TSettingsPage::BuildTimingCard() {
    FTimingCard = MakeCard(this, "timingCard", "수집 · 전송 주기");
    FCollectEdit = AddEditRow(FTimingCard, "수집 주기(분)", false);
    FCollectEdit->setObjectName("collectMinutes");
    FPolicyEdit = AddEditRow(FTimingCard, "정책 확인(분)", false);
    FPolicyEdit->setObjectName("policyMinutes");
    FTimingNote = MakeLabel(FTimingCard, 290, 60, 100, 84, Shown(kTimingNote), 9, QColor(kBody), false, true);
    FTimingNote->setObjectName("timingNote");
    FSendNote = MakeLabel(FTimingCard, 24, 150, 100, 44, kSendNote, 9, QColor(kBody), false, true);
    FSendNote->setObjectName("sendNote");
    FNextRunLabel = MakeLabel(FTimingCard, 24, 202, 100, 22, "", 10, QColor(kInk), false, false, true);
    FNextRunLabel->setObjectName("nextRun");
}

void TSettingsPage::BuildAdvancedCard() {
    FAdvCard = MakeCard(this, "advCard", "고급 설정", 20, 240);
    FAdvBtn = MakeButton(FAdvCard, "advToggle", TUiButtonKind::Link, "펼치기");
    connect(FAdvBtn, &TUiClickable::clicked, this, &TSettingsPage::ToggleAdvanced);
    FBaseEdit = AddEditRow(FAdvCard, "협회 서버", false);
    FBaseEdit->setObjectName("baseUrl");
    FStoreEdit = AddEditRow(FAdvCard, "사업자번호", false);
    FStoreEdit->setObjectName("store");
    FKeyEdit = AddEditRow(FAdvCard, "인증키", true);
    FKeyEdit->setObjectName("key");
    FCautionEdit = AddEditRow(FAdvCard, "주의 기준(%)", false);
    FCautionEdit->setObjectName("cautionPct");
    FImminentEdit = AddEditRow(FAdvCard, "임박 기준(%)", false);
    FImminentEdit->setObjectName("imminentPct");
}

void TSettingsPage::SetCardWidth(int cardWidth) {
    if (cardWidth == FW) return;
    FW = cardWidth;
    LayoutSettings();
}

void TSettingsPage::LayoutSettings() {
    const int w = FW;
    // Widths first: how many lines a note needs depends on them.
    SetBoundsScaled(FRegLabel, 24, 50, w - 48, 26);
    SetBoundsScaled(FRegHelp, 24, 80, w - 48, 22);
    SetBoundsScaled(FEnrollNote, 24, 154, w - 48, kEnrolNoteH);
    SetBoundsScaled(FConnSummary, 24, 50, w - 48, kSummaryH);
    SetBoundsScaled(FAutoStartNote, 24, 88, w - 48, kAutoNoteH);
    const int e1 = ExtraHeight(FEnrollNote, kEnrolNoteH);
    const int e2 = ExtraHeight(FConnSummary, kSummaryH);
    const int e3 = ExtraHeight(FAutoStartNote, kAutoNoteH);
    SetBoundsScaled(FEnrollNote, 24, 154, w - 48, kEnrolNoteH + e1);
    SetBoundsScaled(FConnSummary, 24, 50, w - 48, kSummaryH + e2);
    SetBoundsScaled(FAutoStartNote, 24, 88, w - 48, kAutoNoteH + e3);

    SetBoundsScaled(FEnrolCard, 28, 24, w, 182 + e1);

    const int posTop = 222 + e1;
    const int a = (FConnEdit->isVisibleTo(this) ? 202 : 160) + e2;
    SetBoundsScaled(FPosCard, 28, posTop, w, a);
    SetBoundsScaled(FConnTestBtn, 24, 104 + e2, 130, 40);
    SetBoundsScaled(FConnToggle, 166, 104 + e2, 170, 40);
    SetBoundsScaled(FConnEdit, 24, 154 + e2, w - 48, 32);

    const int autoTop = posTop + a + 16;
    SetBoundsScaled(FAutoCard, 28, autoTop, w, 176 + e3);
    SetBoundsScaled(FInstallBtn, w - 214, 46, 190, 40);

    const int timingTop = autoTop + 176 + e3 + 16;
    SetBoundsScaled(FTimingCard, 28, timingTop, w, 240);
    SetBoundsScaled(FTimingNote, 290, 60, w - 314, 84);
    SetBoundsScaled(FSendNote, 24, 150, w - 48, 44);
    SetBoundsScaled(FNextRunLabel, 24, 202, w - 48, 22);

    const int advTop = timingTop + 256;
    const int b = FAdvOpen ? kAdvOpenH : kAdvClosedH;
    SetBoundsScaled(FAdvCard, 28, advTop, w, b);
    SetBoundsScaled(FAdvBtn, w - 144, 14, 120, 40);
    FAdvBtn->SetText(FAdvOpen ? "접기" : "펼치기");

    // The edit rows, 42 apart: two in the timing card from 60, five in the advanced card from 68.
    struct TRow {
        QLineEdit* Edit;
        int Top;
        int Width; // 0 or less: the card's width less this much
    };
    const TRow rows[] = {{FCollectEdit, 60, 90},  {FPolicyEdit, 102, 90}, {FBaseEdit, 68, -204},
                         {FStoreEdit, 110, 180},  {FKeyEdit, 152, -204},  {FCautionEdit, 194, 90},
                         {FImminentEdit, 236, 90}};
    for (size_t i = 0; i < std::size(rows); ++i) {
        const TRow& r = rows[i];
        SetBoundsScaled(FRowCaptions[i], 24, r.Top + 7, 150, 22);
        SetBoundsScaled(r.Edit, 180, r.Top, r.Width > 0 ? r.Width : w + r.Width, 32);
        // A folded card's rows are out of sight and out of the tab order.
        const bool shown = r.Edit->parentWidget() != FAdvCard || FAdvOpen;
        r.Edit->setVisible(shown);
        FRowCaptions[i]->setVisible(shown);
    }

    SetBoundsScaled(FSaveBtn, w - 122, advTop + b + 20, 150, 48);
    SetBoundsScaled(FSaveNote, 28, advTop + b + 22, w - 170, 44);
    setMinimumHeight(UiScale(advTop + b + 20 + 48 + 28));
}

void TSettingsPage::ToggleAdvanced() {
    FAdvOpen = !FAdvOpen;
    LayoutSettings();
}

void TSettingsPage::ToggleConnEdit() {
    const bool show = !FConnEdit->isVisibleTo(this);
    FConnEdit->setVisible(show);
    LayoutSettings();
    if (show && FConnEdit->isVisible()) FConnEdit->setFocus();
}

void TSettingsPage::SettingsToEdits() {
    FBaseEdit->setText(QString::fromStdString(FSettings.BaseUrl));
    FStoreEdit->setText(QString::fromStdString(FSettings.Store));
    FKeyEdit->setText(QString::fromStdString(FSettings.Key));
    FConnEdit->setText(QString::fromStdString(FSettings.PosConnStr));
    FCollectEdit->setText(QString::number(FSettings.CollectMinutes));
    FPolicyEdit->setText(QString::number(FSettings.PolicyMinutes));
    FCautionEdit->setText(QString::number(FSettings.CautionPct));
    FImminentEdit->setText(QString::number(FSettings.ImminentPct));
    FAutoStartBox->setChecked(FSettings.AutoStart);
    RefreshAutoStart();
    RefreshEnrolment();
}

TAgentSettings TSettingsPage::EditsToSettings() const {
    // A copy of the settings in force, so what the page does not show (the programme last
    // announced) goes along unchanged.
    TAgentSettings s = FSettings;
    const auto text = [](const QLineEdit* e) { return Trim(e->text().toStdString()); };
    const auto number = [&](const QLineEdit* e) {
        int value = 0;
        return TryParseInt(text(e), value) ? value : 0;
    };
    s.BaseUrl = text(FBaseEdit);
    s.Store = text(FStoreEdit);
    s.Key = text(FKeyEdit);
    s.PosConnStr = text(FConnEdit);
    s.CollectMinutes = number(FCollectEdit);
    s.PolicyMinutes = number(FPolicyEdit);
    s.CautionPct = number(FCautionEdit);
    s.ImminentPct = number(FImminentEdit);
    s.AutoStart = FAutoStartBox->isChecked();
    return s;
}

void TSettingsPage::RefreshStatus(const TAgentSnapshot& s) {
    FNextRunLabel->setText(NextRunLine(s));
}

void TSettingsPage::Render(const TAgentSnapshot& s) {
    // The name comes with each policy fetch; between two fetches an enrolment's answer is newer.
    if (s.PolicyAt != FPolicyAt && s.PolicyAt != 0) {
        FPolicyAt = s.PolicyAt;
        FPointLabel = s.PointLabel;
    }
    RefreshStatus(s);
    RefreshEnrolment();
}

void TSettingsPage::RefreshEnrolment() {
    const TRegistrationLook look = RegistrationLook(FSettings.Store, FSettings.Key, FPointLabel);
    FRegLabel->setText(look.Line);
    SetInk(FRegLabel, look.Colour);
    FRegHelp->setText(look.Help);
    if (!Trim(FSettings.PosConnStr).empty())
        SetSummary(ConnectionSummary(FSettings.PosConnStr), kBody);
    else
        SetSummary(kNoPosConn, kRed);
}

void TSettingsPage::SetSummary(const QString& text, QRgb colour) {
    FConnSummary->setText(text);
    SetInk(FConnSummary, QColor(colour));
    LayoutSettings();
}

} // namespace pavona

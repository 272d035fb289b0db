// The target-items page's frame: built from the window's card width and height, the viewed round,
// the round totals and the note line. The list is TTargetList; the requests are ui/TargetMapping.cpp.
#include "ui/TargetPage.h"

#include "engine/AgentEngine.h"
#include "engine/TargetRounds.h"
#include "pos/CouponPlan.h"
#include "ui/AgentUi.h"
#include "ui/EngineBridge.h"
#include "ui/TargetList.h"
#include "ui/UiControls.h"

#include <QLabel>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>

namespace pavona {

namespace {

constexpr QRgb kInk = 0x0F1F2E;
constexpr QRgb kBody = 0x4B5B63;
constexpr QRgb kLegendFill = 0xFDEFE4;
constexpr QRgb kLegendBorder = 0xF3CFB0;
constexpr QRgb kLegendInk = 0xA2501A;
const char* const kHeadBeforePolicy = "회차를 받지 못했습니다 — 「현황」 에서 연결을 확인해 주세요";
const char* const kReadingText = "읽는 중…";

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

void PaintBackdrop(QWidget* w, QRgb colour) {
    QPalette palette = w->palette();
    palette.setColor(QPalette::Window, QColor(colour));
    palette.setColor(QPalette::Base, QColor(colour));
    w->setPalette(palette);
    w->setAutoFillBackground(true);
}

} // namespace

TTargetHooks TargetHooksFor(TEngineBridge& bridge, std::function<TAgentSettings()> settings) {
    TTargetHooks hooks;
    hooks.Post = [&bridge](std::function<void(TAgentEngine&)> operation, std::function<void()> done) {
        bridge.Post(std::move(operation), std::move(done));
    };
    hooks.AskRoundTotals = [&bridge](TDateTime programStart, std::function<void(TRoundTotals)> answer) {
        bridge.AskRoundTotals(programStart, std::move(answer));
    };
    hooks.Settings = std::move(settings);
    hooks.RearmPolicy = [&bridge](int ms) { bridge.RearmPolicyTimer(ms); };
    return hooks;
}

TTargetPage::TTargetPage(int cardWidth, int designHeight, TTargetHooks hooks, QWidget* parent)
    : QWidget(parent), FHooks(std::move(hooks)), FW(cardWidth), FH(designHeight),
      FHeadText(QString::fromUtf8(kHeadBeforePolicy)), FNoteText(QString::fromUtf8(kNoteBeforeRead)),
      FPlanText(QString::fromUtf8(kPlanPlaceholder)) {
    setObjectName(QStringLiteral("targetPage"));
    PaintBackdrop(this, kUiBackdrop);
    Build();
    Render();
}

TTargetPage::~TTargetPage() = default;

void TTargetPage::Build() {
    // Never squeezed below the design: the window's page slot scrolls instead.
    setMinimumSize(UiScale(FW + 56), UiScale(std::max(FH - 100, 460)));
    BuildHead();
    BuildTools();
    FMapBox = new QScrollArea(this);
    FMapBox->setObjectName(QStringLiteral("mapBox"));
    FMapBox->setFrameShape(QFrame::NoFrame);
    FMapBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    FMapBox->setWidgetResizable(false);
    PaintBackdrop(FMapBox, kUiBackdrop);
    PaintBackdrop(FMapBox->viewport(), kUiBackdrop);
    SetBoundsScaled(FMapBox, 28, 256, FW, std::max(FH - 460, 80));
    FList = new TTargetList;
    PaintBackdrop(FList, kUiBackdrop);
    FMapBox->setWidget(FList);
    connect(FList, &TTargetList::built, this, &TTargetPage::Answered);
    connect(FList, &TTargetList::requestClicked, this, &TTargetPage::ShowRequestMenu);
    connect(FList, &TTargetList::assignClicked, this, &TTargetPage::AssignPosGoodsClick);
    BuildPlan();
}

void TTargetPage::BuildHead() {
    auto* head = new TUiCard(this);
    head->setObjectName(QStringLiteral("headCard"));
    SetBoundsScaled(head, 28, 24, FW, 100);
    FMapHead = MakeLabel(head, 24, 18, FW - 48, 28, FHeadText, 13, QColor(kInk), true);
    FMapHead->setObjectName(QStringLiteral("mapHead"));
    FMapNote = MakeLabel(head, 24, 52, FW - 48, 44, FNoteText, 10, QColor(kBody), false, true);
    FMapNote->setObjectName(QStringLiteral("mapNote"));

    auto* legend = new TUiCard(this);
    legend->setObjectName(QStringLiteral("legendCard"));
    legend->SetFill(QColor(kLegendFill));
    legend->SetBorder(QColor(kLegendBorder));
    SetBoundsScaled(legend, 28, 134, FW, 56);
    QLabel* text = MakeLabel(legend, 20, 0, FW - 40, 56, QString::fromUtf8(kLegendText).replace("\r\n", "\n"),
                             9, QColor(kLegendInk), false, true);
    text->setObjectName(QStringLiteral("legend"));
    text->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void TTargetPage::BuildTools() {
    FReadBtn = new TUiButton(this);
    FReadBtn->setObjectName(QStringLiteral("readGoods"));
    FReadBtn->SetKind(TUiButtonKind::Primary);
    FReadBtn->SetText(FReading ? QString::fromUtf8(kReadingText) : QString::fromUtf8(kRereadButtonText));
    FReadBtn->setEnabled(!FReading);
    SetBoundsScaled(FReadBtn, 28, 202, 170, 42);
    connect(FReadBtn, &TUiClickable::clicked, this, &TTargetPage::ReadGoodsClick);

    auto* plan = new TUiButton(this);
    plan->setObjectName(QStringLiteral("showPlan"));
    plan->SetText(QString::fromUtf8(kPlanButtonText));
    SetBoundsScaled(plan, 210, 202, 190, 42);
    connect(plan, &TUiClickable::clicked, this, &TTargetPage::PlanClick);

    FPrevBtn = new TUiButton(this);
    FPrevBtn->setObjectName(QStringLiteral("roundPrev"));
    FPrevBtn->SetText(QStringLiteral("<"));
    FPrevBtn->setToolTip(QString::fromUtf8(kPreviousRoundHint));
    SetBoundsScaled(FPrevBtn, 418, 202, 44, 42);
    connect(FPrevBtn, &TUiClickable::clicked, this, [this] { StepRound(-1); });

    FRoundLabel =
        MakeLabel(this, 468, 202, FW - 490, 42, QStringLiteral("오늘 차수"), 11, QColor(kInk), true);
    FRoundLabel->setObjectName(QStringLiteral("roundLabel"));
    FRoundLabel->setAlignment(Qt::AlignCenter);

    FNextBtn = new TUiButton(this);
    FNextBtn->setObjectName(QStringLiteral("roundNext"));
    FNextBtn->SetText(QStringLiteral(">"));
    FNextBtn->setToolTip(QString::fromUtf8(kNextRoundHint));
    SetBoundsScaled(FNextBtn, FW - 16, 202, 44, 42);
    connect(FNextBtn, &TUiClickable::clicked, this, [this] { StepRound(1); });
}

void TTargetPage::BuildPlan() {
    auto* card = new TUiCard(this);
    card->setObjectName(QStringLiteral("planCard"));
    SetBoundsScaled(card, 28, std::max(FH - 192, 356), FW, 92);
    MakeLabel(card, 20, 10, 240, 22, QString::fromUtf8(kPlanCardTitle), 10, QColor(kUiMuted), false, false,
              true);
    FPlanMemo = new QPlainTextEdit(card);
    FPlanMemo->setObjectName(QStringLiteral("planMemo"));
    FPlanMemo->setReadOnly(true);
    FPlanMemo->setFrameShape(QFrame::NoFrame);
    FPlanMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    SetUiFont(FPlanMemo, 10, QColor(kBody));
    PaintBackdrop(FPlanMemo, kUiWhite);
    PaintBackdrop(FPlanMemo->viewport(), kUiWhite);
    SetBoundsScaled(FPlanMemo, 20, 34, FW - 40, 50);
    FPlanMemo->setPlainText(FPlanText);
}

void TTargetPage::SetSnapshot(const TAgentSnapshot& s) {
    FData = s.Targets;
    FProgramStart = s.ProgramStart;
    // "POS 다시 읽기" draws once, when the totals counted after its read are in.
    if (!FReading) Render();
}

void TTargetPage::Shown() {
    CountTotals();
}

void TTargetPage::CountTotals() {
    if (!FHooks.AskRoundTotals) {
        Render();
        return;
    }
    ++FPending;
    QPointer<TTargetPage> page(this);
    FHooks.AskRoundTotals(FProgramStart, [page](TRoundTotals totals) {
        if (!page) return;
        --page->FPending;
        page->FTotals = std::move(totals);
        page->Render();
        page->Answered();
    });
}

void TTargetPage::Render() {
    FView = std::make_shared<const TTargetView>(BuildTargetView(FData, FTotals, FViewRound));
    FViewRound = FView->ViewRound;
    FHeadText = Q(FView->Head);
    FMapHead->setText(FHeadText);
    FRoundLabel->setText(Q(FView->RoundLabel));
    // The list's own line replaces the note only when it says something new: drawing the same data
    // again (a page switch, a resize) must not wipe the answer to the store's last request.
    if (FView->Note && *FView->Note != FListNote) {
        FListNote = *FView->Note;
        SetNote(Q(FListNote));
    }
    FMapBox->verticalScrollBar()->setValue(0);
    FList->Show(FView, FW - 20);
}

void TTargetPage::SetNote(const QString& text) {
    FNoteText = text;
    FMapNote->setText(text);
}

void TTargetPage::SetSize(int cardWidth, int designHeight) {
    if (cardWidth == FW && designHeight == FH) return;
    FW = cardWidth;
    FH = designHeight;
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        delete child;
    // The texts come back from what the page last showed (FHeadText, FNoteText, FPlanText).
    Build();
    FRoundLabel->setText(FView ? Q(FView->RoundLabel) : QStringLiteral("오늘 차수"));
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        child->show();
    FList->Show(FView, FW - 20);
}

void TTargetPage::StepRound(int delta) {
    const int next = pavona::StepRound(FData.Rounds, FViewRound, delta);
    if (next == FViewRound) return;
    FViewRound = next;
    Render();
}

void TTargetPage::ReadGoodsClick() {
    if (FReading) return;
    FReading = true;
    FReadBtn->SetText(QString::fromUtf8(kReadingText));
    FReadBtn->setEnabled(false);
    QPointer<TTargetPage> page(this);
    Ask([](TAgentEngine& e) { e.ReadTargets(); },
        [page] {
            page->FReading = false;
            page->FReadBtn->SetText(QString::fromUtf8(kRereadButtonText));
            page->FReadBtn->setEnabled(true);
            page->CountTotals();
        });
}

void TTargetPage::PlanClick() {
    QString text;
    for (const std::string& line : TargetPlanLines(FData))
        text += (text.isEmpty() ? "" : "\n") + Q(line);
    FPlanText = text;
    FPlanMemo->setPlainText(text);
}

void TTargetPage::Ask(std::function<void(TAgentEngine&)> operation, std::function<void()> done) {
    if (!FHooks.Post) return;
    ++FPending;
    QPointer<TTargetPage> page(this);
    FHooks.Post(std::move(operation), [page, done = std::move(done)] {
        if (!page) return;
        --page->FPending;
        done();
        page->Answered();
    });
}

bool TTargetPage::Busy() const {
    return FPending > 0 || FList->Building();
}

void TTargetPage::Answered() {
    if (!Busy()) emit settled();
}

} // namespace pavona

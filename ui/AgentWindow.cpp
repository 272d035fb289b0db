// The main window's shell: built in code from design sizes, kept in the tray when closed, and
// relaid once after a resize settles.
#include "ui/AgentWindow.h"

#include "common/Version.h"
#include "ui/AgentUi.h"
#include "ui/UiControls.h"
#include "ui/WindowPlacement.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QBoxLayout>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTextEdit>
#include <QWheelEvent>

#include <cmath>

namespace pavona {

const char* const kPageCaptions[kPageCount] = {"현황",      "대상 품목", "실적 내역", "전송 내역",
                                               "쿼리 보기", "로그",      "설정"};
const char* const kWindowCaption = "농할 에이전트 — 솔빛상인회";
const char* const kExitQuestion =
    "에이전트를 종료하면 농할 실적 수집과 한도 감시가 멈춥니다. 종료하시겠습니까?";
const char* const kPagePending = "이 화면은 아직 준비 중입니다.";

namespace {

const QRgb kHeaderFill = 0x17324A;
const QRgb kHeaderInk = 0xB9C7D2;
const QRgb kInk = 0x0F1F2E;
const int kHeaderHeight = 76;
const int kNavWidth = 200;
const int kRelayoutMs = 150;

void Paint(QWidget* panel, QRgb colour) {
    QPalette own = panel->palette();
    own.setColor(QPalette::Window, QColor(colour));
    own.setColor(QPalette::Base, QColor(colour));
    panel->setPalette(own);
    panel->setAutoFillBackground(true);
}

// What a page slot holds until its page exists: one card that says so, as wide as the pages' cards.
class TPendingPage : public QWidget {
  public:
    TPendingPage(const QString& caption, QWidget* parent) : QWidget(parent), FCard(new TUiCard(this)) {
        setObjectName(QStringLiteral("pendingPage"));
        FCard->setObjectName(QStringLiteral("pendingCard"));
        MakeLabel(FCard, 24, 18, 400, 26, caption, 13, QColor(kInk), false, false, true);
        QLabel* note =
            MakeLabel(FCard, 24, 52, 600, 24, QString::fromUtf8(kPagePending), 11, QColor(kUiNavText));
        note->setObjectName(QStringLiteral("pendingNote"));
        setMinimumHeight(UiScale(24 + 96 + 24));
    }

  protected:
    void resizeEvent(QResizeEvent*) override {
        FCard->setGeometry(UiScale(28), UiScale(24), std::max(0, width() - UiScale(56)), UiScale(96));
    }

  private:
    TUiCard* FCard;
};

bool AskExitWithQuestionBox(QWidget* window) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Pavona 농할 에이전트"),
                    QString::fromUtf8(kExitQuestion), QMessageBox::Yes | QMessageBox::No, window);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("예"));
    box.button(QMessageBox::No)->setText(QStringLiteral("아니요"));
    // Ending stops the collection and the budget watch: an Enter pressed by habit must not do it.
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

} // namespace

TAgentForm::TAgentForm(TAgentFormHooks hooks, QWidget* parent) : QWidget(parent), FHooks(std::move(hooks)) {
    if (!FHooks.AskExit) FHooks.AskExit = AskExitWithQuestionBox;
    if (!FHooks.TrayAvailable) FHooks.TrayAvailable = [this] { return FTray.Available(); };
    if (!FHooks.Quit) FHooks.Quit = [] { QCoreApplication::quit(); };

    LoadUiFonts();
    setWindowTitle(QString::fromUtf8(kWindowCaption));
    SetUiFont(this, 10, QColor(kInk));
    Paint(this, kUiBackdrop);

    const TSavedPlacement saved = LoadPlacement();
    const QRect work = screen()->availableGeometry();
    const TWindowSizing sizing = WindowSizingFor(saved, work.size(), UiScaleFactor());
    setMinimumSize(sizing.Minimum);
    resize(sizing.Size);
    move(CentredIn(sizing.Size, work));
    MeasureDesignSize(FLW, FLH);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    BuildHeader();
    column->addWidget(FHeader);
    auto* body = new QHBoxLayout;
    body->setSpacing(0);
    column->addLayout(body, 1);
    BuildNavigation();
    body->addWidget(FNavColumn);
    auto* separator = new QWidget(this);
    separator->setObjectName(QStringLiteral("navSeparator"));
    separator->setFixedWidth(1); // a hairline at every scale
    Paint(separator, kUiLine);
    body->addWidget(separator);
    BuildContent();
    body->addWidget(FContent, 1);
    ShowPage(0);

    FRelayout.setObjectName(QStringLiteral("relayoutTimer"));
    FRelayout.setInterval(kRelayoutMs);
    connect(&FRelayout, &QTimer::timeout, this, &TAgentForm::Relayout);
    // The wheel rule covers the whole window, whichever child is under the pointer.
    qApp->installEventFilter(this);
    connect(&FTray, &TAgentTray::showRequested, this, &TAgentForm::Reveal);
    connect(&FTray, &TAgentTray::exitRequested, this, &TAgentForm::ConfirmExit);
    FBuilt = true;
    if (saved.Maximized) setWindowState(windowState() | Qt::WindowMaximized);
}

TAgentForm::~TAgentForm() {
    qApp->removeEventFilter(this);
}

void TAgentForm::BuildHeader() {
    FHeader = new QWidget(this);
    FHeader->setObjectName(QStringLiteral("header"));
    FHeader->setFixedHeight(UiScale(kHeaderHeight));
    Paint(FHeader, kHeaderFill);
    MakeLabel(FHeader, 28, 12, 360, 30, QStringLiteral("농할 에이전트"), 17, QColor(kUiWhite), true)
        ->setObjectName(QStringLiteral("appTitle"));
    FStoreTitle = MakeLabel(FHeader, 28, 44, 560, 24, QStringLiteral("점포를 아직 확인하지 못했습니다"), 11,
                            QColor(kHeaderInk));
    FStoreTitle->setObjectName(QStringLiteral("storeTitle"));
    FConnPill = new TUiPill(FHeader);
    FConnPill->setObjectName(QStringLiteral("connPill"));
    FConnPill->SetFill(QColor(kUiBlue));
    FConnPill->SetDot(QColor(kUiMuted));
    FConnPill->SetText(QStringLiteral("협회 서버 확인 중"));
    FVerLabel = MakeLabel(FHeader, 0, 50, 260, 20, QStringLiteral("판 ") + QString::fromUtf8(kAgentVersion),
                          9, QColor(kHeaderInk));
    FVerLabel->setObjectName(QStringLiteral("versionLabel"));
    FVerLabel->setAlignment(Qt::AlignRight | Qt::AlignTop);
    FHeader->installEventFilter(this);
}

void TAgentForm::BuildNavigation() {
    FNavColumn = new QWidget(this);
    FNavColumn->setObjectName(QStringLiteral("navColumn"));
    FNavColumn->setFixedWidth(UiScale(kNavWidth));
    Paint(FNavColumn, kUiBackdrop);
    for (int i = 0; i < kPageCount; ++i) {
        auto* item = new TUiNavItem(FNavColumn);
        item->setObjectName(QStringLiteral("nav%1").arg(i));
        item->SetText(QString::fromUtf8(kPageCaptions[i]));
        SetBoundsScaled(item, 0, 20 + 52 * i, kNavWidth, 48);
        connect(item, &TUiNavItem::clicked, this, [this, i] { ShowPage(i); });
        FNav[i] = item;
    }
    FNavFooter[0] = MakeLabel(FNavColumn, 28, 0, 164, 22, QStringLiteral("솔빛상인회"), 10, QColor(kUiMuted),
                              false, false, true);
    FNavFooter[1] =
        MakeLabel(FNavColumn, 28, 0, 164, 20, QStringLiteral("농할 실적 · 한도 감시"), 9, QColor(kUiMuted));
    FNavFooter[0]->setObjectName(QStringLiteral("navFooter0"));
    FNavFooter[1]->setObjectName(QStringLiteral("navFooter1"));
    FNavColumn->installEventFilter(this);
}

void TAgentForm::BuildContent() {
    FContent = new QStackedWidget(this);
    FContent->setObjectName(QStringLiteral("content"));
    Paint(FContent, kUiBackdrop);
    for (int i = 0; i < kPageCount; ++i) {
        auto* slot = new QScrollArea(FContent);
        slot->setObjectName(QStringLiteral("pageSlot%1").arg(i));
        slot->setFrameShape(QFrame::NoFrame);
        slot->setWidgetResizable(true);
        slot->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        Paint(slot, kUiBackdrop);
        Paint(slot->viewport(), kUiBackdrop);
        slot->setWidget(new TPendingPage(QString::fromUtf8(kPageCaptions[i]), slot));
        FContent->addWidget(slot);
        FPagesP[i] = slot;
    }
}

// The header's right-hand pair and the navigation's footer keep their distance to the right and
// bottom edges, as the window grows and shrinks.
void TAgentForm::PlaceAnchored() {
    const int w = FHeader->width();
    FConnPill->setGeometry(w - UiScale(208), UiScale(14), UiScale(180), UiScale(32));
    FVerLabel->setGeometry(w - UiScale(288), UiScale(50), UiScale(260), UiScale(20));
    const int h = FNavColumn->height();
    FNavFooter[0]->move(UiScale(28), h - UiScale(72));
    FNavFooter[1]->move(UiScale(28), h - UiScale(48));
}

void TAgentForm::SetPage(int index, QWidget* page) {
    if (index < 0 || index >= kPageCount || page == nullptr) return;
    delete FPagesP[index]->takeWidget();
    FPagesP[index]->setWidget(page);
}

QWidget* TAgentForm::Page(int index) const {
    if (index < 0 || index >= kPageCount) return nullptr;
    return FPagesP[index]->widget();
}

void TAgentForm::ShowPage(int index) {
    if (index < 0 || index >= kPageCount) return;
    FContent->setCurrentIndex(index);
    for (int i = 0; i < kPageCount; ++i)
        FNav[i]->SetSelected(i == index);
    FCurrent = index;
    // While the window is being built the pages have nothing to read yet.
    if (FBuilt) emit pageShown(index);
}

void TAgentForm::SetBadge(int index, const QString& badge) {
    if (index >= 0 && index < kPageCount) FNav[index]->SetBadge(badge);
}

void TAgentForm::SetStoreTitle(const QString& title) {
    FStoreTitle->setText(title);
}

void TAgentForm::SetConnection(const QString& text, const QColor& dot) {
    FConnPill->SetText(text);
    FConnPill->SetDot(dot);
}

void TAgentForm::Reveal() {
    showNormal();
    raise();
    activateWindow();
    // The window may come up behind the active one (focus stealing prevention); the alert at least
    // marks its taskbar entry.
    QApplication::alert(this);
}

void TAgentForm::ConfirmExit() {
    if (FHooks.AskExit(this)) EndNow();
}

void TAgentForm::EndNow() {
    FReallyClose = true;
    // A window that was never shown may not see a close event; the program ends all the same.
    if (!FEnded) close();
    if (!FEnded) {
        Save();
        FEnded = true;
        FHooks.Quit();
    }
}

void TAgentForm::closeEvent(QCloseEvent* event) {
    Save();
    switch (CloseActionFor(FHooks.TrayAvailable(), FReallyClose)) {
    case TCloseAction::Hide:
        event->ignore();
        hide();
        break;
    case TCloseAction::Minimise:
        event->ignore();
        showMinimized();
        break;
    case TCloseAction::Quit:
        event->accept();
        FEnded = true;
        FHooks.Quit();
        break;
    }
}

void TAgentForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (FBuilt) FRelayout.start(); // start() restarts a running timer
}

bool TAgentForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize && (watched == FHeader || watched == FNavColumn)) {
        PlaceAnchored();
        return false;
    }
    if (event->type() == QEvent::Wheel && watched->isWidgetType()) {
        auto* target = static_cast<QWidget*>(watched);
        if (target->window() != this) return false;
        return ScrollPageByWheel(target, static_cast<QWheelEvent*>(event)->angleDelta().y());
    }
    return QWidget::eventFilter(watched, event);
}

// Lists and text boxes scroll themselves; over anything else the page moves by 60 design pixels a
// notch, the same on every page and at every scale.
bool TAgentForm::ScrollPageByWheel(QWidget* target, int delta) {
    for (QWidget* w = target; w != nullptr && w != this; w = w->parentWidget()) {
        if (qobject_cast<QAbstractItemView*>(w) || qobject_cast<QTextEdit*>(w) ||
            qobject_cast<QPlainTextEdit*>(w) || qobject_cast<QComboBox*>(w))
            return false;
        if (auto* area = qobject_cast<QScrollArea*>(w)) {
            QScrollBar* bar = area->verticalScrollBar();
            if (!bar->isVisible()) return false;
            const long step = std::lround(static_cast<double>(delta) * UiScale(60) / 120.0);
            bar->setValue(bar->value() - static_cast<int>(step));
            return true;
        }
    }
    return false;
}

void TAgentForm::Relayout() {
    FRelayout.stop();
    if (isMinimized()) return;
    Save();
    int width = 0, height = 0;
    MeasureDesignSize(width, height);
    if (width == FLW && height == FLH) return;
    FLW = width;
    FLH = height;
    emit relaidOut(FLW, FLH);
    // Brought forward again, so a rebuilt page reads its data once more.
    ShowPage(FCurrent);
}

void TAgentForm::Save() const {
    const bool normal = !(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
    SavePlacement(PlacementToSave(size(), isMaximized(), normal, UiScaleFactor()), normal);
}

void TAgentForm::MeasureDesignSize(int& width, int& height) const {
    width = RoundHalfEven(this->width() / UiScaleFactor());
    height = RoundHalfEven(this->height() / UiScaleFactor());
}

} // namespace pavona

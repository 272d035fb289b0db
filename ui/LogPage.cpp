// The log page: the day is read on the reader thread, prepared and searched on the pages' worker
// thread, and the list splits only the lines on screen into their columns.
#include "ui/LogPage.h"

#include "platform/Clock.h"
#include "platform/Platform.h"
#include "ui/AgentUi.h"
#include "ui/PageText.h"
#include "ui/UiControls.h"

#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTableView>
#include <QVBoxLayout>

namespace pavona {

namespace {

constexpr QRgb kInk = 0x0F1F2E;
constexpr QRgb kBody = 0x4B5B63;

QString LogColumn(const QString& line, int column) {
    const TLogColumns c = SplitLogLine(line);
    switch (column) {
    case 0:
        return c.Time;
    case 1:
        return c.Level;
    case 2:
        return c.Category;
    default:
        return c.Text;
    }
}

} // namespace

TLogPage::TLogPage(int cardWidth, TPageReads reads, QWidget* parent, TOpener opener)
    : QWidget(parent), FReads(std::move(reads)), FOpener(std::move(opener)), FDay(Today()),
      FOffThread(new TOffThread(this)) {
    setObjectName(QStringLiteral("logPage"));
    if (!FOpener) FOpener = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    FSearchPause.setSingleShot(true);
    FSearchPause.setInterval(kSearchPauseMs);
    connect(&FSearchPause, &QTimer::timeout, this, &TLogPage::ApplyFilter);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    BuildTop(cardWidth);
    column->addWidget(FDayLabel->parentWidget());
    FList = MakeList(this, {"시각", "수준", "분류", "내용"}, {100, 56, 70, 900}, {});
    FList->setObjectName(QStringLiteral("logList"));
    column->addWidget(FList->parentWidget(), 1);
}

void TLogPage::BuildTop(int w) {
    QWidget* top = MakeTopPanel(this, 150);
    MakeLabel(top, 28, 22, 300, 30, QStringLiteral("로그"), 15, QColor(kInk), true);
    MakeLabel(
        top, 108, 30, w - 300, 20,
        QStringLiteral(
            "수집 · 전송 · 쿼리 · 정책 · 오류를 시각 순으로(14일 보관). 문의할 때 이 폴더를 보내 주세요."),
        9, QColor(kUiMuted));

    TUiButton* prev = MakeToolButton(top, QStringLiteral("<"), 28, 64, 44, 38);
    prev->setObjectName(QStringLiteral("logPrev"));
    prev->setToolTip(QStringLiteral("전날"));
    connect(prev, &TUiClickable::clicked, this, [this] { StepDay(-1); });
    FDayLabel = MakeLabel(top, 80, 64, 150, 38, DayLabel(FDay), 12, QColor(kInk), true);
    FDayLabel->setObjectName(QStringLiteral("logDay"));
    FDayLabel->setAlignment(Qt::AlignCenter);
    TUiButton* next = MakeToolButton(top, QStringLiteral(">"), 238, 64, 44, 38);
    next->setObjectName(QStringLiteral("logNext"));
    next->setToolTip(QStringLiteral("다음 날"));
    connect(next, &TUiClickable::clicked, this, [this] { StepDay(1); });
    FFilterBtn = MakeToolButton(top, QStringLiteral("주의 · 오류만"), 294, 64, 130, 38);
    FFilterBtn->setObjectName(QStringLiteral("logFilter"));
    connect(FFilterBtn, &TUiClickable::clicked, this, [this] { SetOnlyWarnings(!FOnlyWarn); });
    FSearch = MakeSearchBox(top, QStringLiteral("찾을 글자"), 434, 67, 220, 32);
    FSearch->setObjectName(QStringLiteral("logSearch"));
    connect(FSearch, &QLineEdit::textChanged, this, [this] { FSearchPause.start(); });

    TUiButton* refresh = MakeToolButton(top, QStringLiteral("새로 고침"), w - 182, 16, 100, 38);
    refresh->setObjectName(QStringLiteral("logRefresh"));
    AnchorRight(refresh, 138);
    connect(refresh, &TUiClickable::clicked, this, &TLogPage::Reload);
    TUiButton* folder = MakeToolButton(top, QStringLiteral("폴더 열기"), w - 72, 16, 100, 38);
    folder->setObjectName(QStringLiteral("logFolder"));
    AnchorRight(folder, 28);
    connect(folder, &TUiClickable::clicked, this, &TLogPage::OpenLogFolder);

    // A long data folder shortens in its middle, so the counts and the file's own name stay.
    FSum = MakeFitLabel(top, 28, 114, w, 26, 10, QColor(kBody), true, Qt::ElideMiddle);
    FSum->setObjectName(QStringLiteral("logSum"));
    StretchRight(FSum, 28);
}

void TLogPage::Reload() {
    if (!FReads.LogDay) return;
    const int ticket = ++FLoadTicket;
    FLoading = true;
    setCursor(Qt::BusyCursor);
    QPointer<TLogPage> self(this);
    const TDateTime day = FDay;
    FReads.LogDay(day, [self, ticket, day](std::vector<std::string> lines) {
        if (self) self->Loaded(ticket, day, std::move(lines));
    });
}

void TLogPage::StepDay(int days) {
    if (days < 0 || DateOf(FDay) < DateOf(Today())) FDay = IncDay(DateOf(FDay), days);
    Reload();
}

void TLogPage::SetOnlyWarnings(bool on) {
    FOnlyWarn = on;
    FFilterBtn->SetKind(on ? TUiButtonKind::Primary : TUiButtonKind::Secondary);
    FFilterBtn->update();
    ApplyFilter();
}

void TLogPage::OpenLogFolder() {
    const std::string dir = LogDir();
    platform::MakeDirs(dir);
    FOpener(QUrl::fromLocalFile(Q(dir)));
}

void TLogPage::Loaded(int ticket, TDateTime day, std::vector<std::string> lines) {
    if (ticket != FLoadTicket) return;
    auto raw = std::make_shared<std::vector<std::string>>(std::move(lines));
    FOffThread->Run<std::shared_ptr<const TLogDay>>(
        [day, raw] { return std::make_shared<const TLogDay>(PrepareLogDay(day, *raw)); },
        [this, ticket](std::shared_ptr<const TLogDay> prepared) {
            if (ticket != FLoadTicket) return;
            FLoading = false;
            unsetCursor();
            if (prepared) FData = std::move(prepared);
            ApplyFilter();
            if (!Busy()) emit settled();
        });
}

void TLogPage::ApplyFilter() {
    // The filter and a finished pause both search now; a pause still running has nothing left to do.
    FSearchPause.stop();
    if (!FData) return;
    const int ticket = ++FFilterTicket;
    const std::shared_ptr<const TLogDay> data = FData;
    const bool only = FOnlyWarn;
    const QString key = SearchKey(FSearch->text());
    FOffThread->Run<std::shared_ptr<const TView>>(
        [data, only, key] {
            auto view = std::make_shared<TView>();
            view->Day = data;
            view->Rows = FilterLog(*data, only, key);
            return std::shared_ptr<const TView>(std::move(view));
        },
        [this, ticket](std::shared_ptr<const TView> view) {
            if (ticket != FFilterTicket) return;
            FShownTicket = ticket;
            if (view) Show(view);
            if (!Busy()) emit settled();
        });
}

void TLogPage::Show(const std::shared_ptr<const TView>& view) {
    FView = view;
    FDayLabel->setText(DayLabel(view->Day->Day));
    FSum->SetFitText(
        LogSumText(static_cast<int>(view->Rows.size()), view->Day->Warnings, LogFileOf(view->Day->Day)));
    RowsOf(FList)->SetRows(static_cast<int>(view->Rows.size()), [view](int row, int column) {
        return LogColumn(view->Day->Lines[static_cast<size_t>(view->Rows[static_cast<size_t>(row)])], column);
    });
}

bool TLogPage::Busy() const {
    return FLoading || FShownTicket != FFilterTicket || FSearchPause.isActive();
}

} // namespace pavona

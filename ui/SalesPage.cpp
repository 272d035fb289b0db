// The sales history page: the ledger's day comes from the reader thread, is prepared and filtered on
// the pages' worker thread, and the list only turns the rows on screen into text.
#include "ui/SalesPage.h"

#include "common/Text.h"
#include "platform/Clock.h"
#include "store/AgentLog.h"
#include "ui/AgentUi.h"
#include "ui/ReceiptView.h"
#include "ui/UiControls.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTableView>
#include <QVBoxLayout>

namespace pavona {

namespace {

constexpr QRgb kInk = 0x0F1F2E;
constexpr QRgb kBody = 0x4B5B63;

} // namespace

TSalesPage::TSalesPage(int cardWidth, TPageReads reads, QWidget* parent)
    : QWidget(parent), FReads(std::move(reads)), FDay(Today()), FOffThread(new TOffThread(this)) {
    setObjectName(QStringLiteral("salesPage"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    BuildTop(cardWidth);
    column->addWidget(FDayLabel->parentWidget());

    FList = MakeList(
        this, {"시각", "영수증", "상품번호", "상품명", "수량", "금액", "농할 지원", "자체 할인", "협회 전송"},
        {64, 74, 66, 176, 46, 84, 76, 70, 70}, {4, 5, 6, 7});
    FList->setObjectName(QStringLiteral("salesList"));
    FList->setToolTip(QStringLiteral("줄을 두 번 누르면 그 영수증을 봅니다"));
    connect(FList, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { OpenReceipt(index.row()); });
    column->addWidget(FList->parentWidget(), 1);
}

void TSalesPage::BuildTop(int w) {
    QWidget* top = MakeTopPanel(this, 150);
    MakeLabel(top, 28, 22, 300, 30, QStringLiteral("실적 내역"), 15, QColor(kInk), true);
    MakeLabel(top, 158, 30, w - 250, 20,
              QStringLiteral("이 PC 가 POS 에서 모아 협회로 보내는 판매 줄 — 영수증 한 줄이 한 줄입니다."), 9,
              QColor(kUiMuted));

    TUiButton* prev = MakeToolButton(top, QStringLiteral("<"), 28, 64, 44, 38);
    prev->setObjectName(QStringLiteral("salesPrev"));
    prev->setToolTip(QStringLiteral("전날"));
    connect(prev, &TUiClickable::clicked, this, [this] { StepDay(-1); });
    FDayLabel = MakeLabel(top, 80, 64, 150, 38, DayLabel(FDay), 12, QColor(kInk), true);
    FDayLabel->setObjectName(QStringLiteral("salesDay"));
    FDayLabel->setAlignment(Qt::AlignCenter);
    TUiButton* next = MakeToolButton(top, QStringLiteral(">"), 238, 64, 44, 38);
    next->setObjectName(QStringLiteral("salesNext"));
    next->setToolTip(QStringLiteral("다음 날"));
    connect(next, &TUiClickable::clicked, this, [this] { StepDay(1); });
    TUiButton* today = MakeToolButton(top, QStringLiteral("오늘"), 290, 64, 70, 38);
    today->setObjectName(QStringLiteral("salesToday"));
    connect(today, &TUiClickable::clicked, this, &TSalesPage::ShowToday);
    FFilterBtn = MakeToolButton(top, QStringLiteral("농할 지원 줄만"), 372, 64, 140, 38);
    FFilterBtn->setObjectName(QStringLiteral("salesFilter"));
    connect(FFilterBtn, &TUiClickable::clicked, this, [this] { SetOnlySubsidy(!FOnlySubsidy); });
    FSearch = MakeSearchBox(top, QStringLiteral("상품명 · 상품번호 · 영수증"), 524, 67, 220, 32);
    FSearch->setObjectName(QStringLiteral("salesSearch"));
    // The filter runs on the pages' worker thread over the day already read: every keystroke may ask.
    connect(FSearch, &QLineEdit::textChanged, this, &TSalesPage::ApplyFilter);

    TUiButton* refresh = MakeToolButton(top, QStringLiteral("새로 고침"), w - 72, 16, 100, 38);
    refresh->setObjectName(QStringLiteral("salesRefresh"));
    AnchorRight(refresh, 28);
    connect(refresh, &TUiClickable::clicked, this, &TSalesPage::Reload);
    // On a busy day the sums outgrow the line: the hint at its end gives way first.
    FSum = MakeFitLabel(top, 28, 114, w, 26, 10, QColor(kBody), true, Qt::ElideRight);
    FSum->setObjectName(QStringLiteral("salesSum"));
    StretchRight(FSum, 28);
}

void TSalesPage::Reload() {
    if (!FReads.LedgerDay) return;
    const int ticket = ++FLoadTicket;
    FLoading = true;
    setCursor(Qt::BusyCursor);
    QPointer<TSalesPage> self(this);
    const TDateTime day = FDay;
    FReads.LedgerDay(day, [self, ticket, day](std::vector<TLedgerLine> lines) {
        if (self) self->Loaded(ticket, day, std::move(lines));
    });
}

void TSalesPage::StepDay(int days) {
    // Forward stops at today, but the day is read again all the same.
    if (days < 0 || DateOf(FDay) < DateOf(Today())) FDay = IncDay(DateOf(FDay), days);
    Reload();
}

void TSalesPage::ShowToday() {
    FDay = Today();
    Reload();
}

void TSalesPage::SetOnlySubsidy(bool on) {
    FOnlySubsidy = on;
    FFilterBtn->SetKind(on ? TUiButtonKind::Primary : TUiButtonKind::Secondary);
    FFilterBtn->update();
    ApplyFilter();
}

void TSalesPage::Loaded(int ticket, TDateTime day, std::vector<TLedgerLine> lines) {
    // An older read answering late (the day was stepped again meanwhile) is dropped.
    if (ticket != FLoadTicket) return;
    LogInfo("화면", Fmt("실적 내역 %s — %d줄", FormatDay(day).c_str(), static_cast<int>(lines.size())));
    auto data = std::make_shared<std::vector<TLedgerLine>>(std::move(lines));
    FOffThread->Run<std::shared_ptr<const TSalesDay>>(
        [day, data] { return std::make_shared<const TSalesDay>(PrepareSalesDay(day, std::move(*data))); },
        [this, ticket](std::shared_ptr<const TSalesDay> prepared) {
            if (ticket != FLoadTicket) return;
            FLoading = false;
            unsetCursor();
            if (prepared) FData = std::move(prepared);
            ApplyFilter();
            if (!Busy()) emit settled();
        });
}

void TSalesPage::ApplyFilter() {
    if (!FData) return;
    const int ticket = ++FFilterTicket;
    const std::shared_ptr<const TSalesDay> data = FData;
    const bool only = FOnlySubsidy;
    const QString key = SearchKey(FSearch->text());
    FOffThread->Run<std::shared_ptr<const TView>>(
        [data, only, key] {
            auto view = std::make_shared<TView>();
            view->Day = data;
            view->Rows = FilterSales(*data, only, key);
            view->Sums = SumSales(data->Lines, view->Rows);
            return std::shared_ptr<const TView>(std::move(view));
        },
        [this, ticket](std::shared_ptr<const TView> view) {
            // A later keystroke's filter is on its way; this one would only flicker.
            if (ticket != FFilterTicket) return;
            FShownTicket = ticket;
            if (view) Show(view);
            if (!Busy()) emit settled();
        });
}

void TSalesPage::Show(const std::shared_ptr<const TView>& view) {
    FView = view;
    FDayLabel->setText(DayLabel(view->Day->Day));
    FSum->SetFitText(SalesSumText(view->Sums, !view->Day->Lines.empty()));
    RowsOf(FList)->SetRows(static_cast<int>(view->Rows.size()), [view](int row, int column) {
        return SalesCell(view->Day->Lines[static_cast<size_t>(view->Rows[static_cast<size_t>(row)])], column);
    });
}

bool TSalesPage::Busy() const {
    return FLoading || FShownTicket != FFilterTicket;
}

const TLedgerLine* TSalesPage::RowLine(int row) const {
    if (!FView || row < 0 || static_cast<size_t>(row) >= FView->Rows.size()) return nullptr;
    return &FView->Day->Lines[static_cast<size_t>(FView->Rows[static_cast<size_t>(row)])];
}

void TSalesPage::OpenReceipt(int row) {
    const TLedgerLine* line = RowLine(row);
    if (line == nullptr) return;
    // The whole receipt of that day from everything read, not only the lines the filter shows.
    std::vector<TLedgerLine> lines = ReceiptLines(FView->Day->Lines, *line);
    LogInfo("화면", "영수증 보기 " + line->Receipt);
    ShowReceipt(this, Q(line->Receipt), std::move(lines));
}

} // namespace pavona

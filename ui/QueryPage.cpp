// The query page: the list over the catalogue, a splitter, and the memo with the selected statement.
#include "ui/QueryPage.h"

#include "ui/AgentUi.h"
#include "ui/UiControls.h"

#include <QItemSelectionModel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

namespace pavona {

namespace {

constexpr QRgb kInk = 0x0F1F2E;
constexpr QRgb kBody = 0x4B5B63;
const char* const kPickOne = "위 목록에서 질의를 고르세요.";

} // namespace

TQueryPage::TQueryPage(int cardWidth, TPageReads reads, QWidget* parent, std::vector<TPosQuery> catalogue)
    : QWidget(parent), FReads(std::move(reads)),
      FCatalogue(catalogue.empty() ? PosQueries() : std::move(catalogue)) {
    setObjectName(QStringLiteral("queryPage"));
    const int w = cardWidth;
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    QWidget* top = MakeTopPanel(this, 112);
    MakeLabel(top, 28, 22, 300, 30, QStringLiteral("POS 쿼리"), 15, QColor(kInk), true);
    MakeLabel(top, 158, 20, w - 130, 44,
              QStringLiteral(
                  "POS DB 에 던지는 질의 전부입니다 — 읽기 전용 계정 · SELECT 만 · WITH (NOLOCK)(계산대를 "
                  "막지 않는다). 줄을 고르면 아래에 실제로 던진 질의문과 값이 나옵니다."),
              9, QColor(kBody), false, true);
    TUiButton* refresh = MakeToolButton(top, QStringLiteral("새로 고침"), 28, 66, 110, 38);
    refresh->setObjectName(QStringLiteral("queryRefresh"));
    connect(refresh, &TUiClickable::clicked, this, &TQueryPage::Reload);
    column->addWidget(top);

    // The operator drags the boundary between the list and the statement.
    auto* split = new QSplitter(Qt::Vertical, this);
    split->setObjectName(QStringLiteral("querySplit"));
    split->setHandleWidth(UiScale(6));
    split->setChildrenCollapsible(false);
    QPalette backdrop = split->palette();
    backdrop.setColor(QPalette::Window, QColor(kUiBackdrop));
    split->setPalette(backdrop);
    split->setAutoFillBackground(true);
    FList = MakeList(split, {"질의", "하는 일", "마지막 실행", "걸린 시간", "행", "횟수"},
                     {180, 300, 80, 70, 60, 50}, {3, 4, 5});
    FList->setObjectName(QStringLiteral("queryList"));
    split->addWidget(FList->parentWidget());

    auto* memoPanel = new QWidget(split);
    memoPanel->setPalette(backdrop);
    memoPanel->setAutoFillBackground(true);
    auto* memoBox = new QVBoxLayout(memoPanel);
    memoBox->setContentsMargins(UiScale(28), UiScale(6), UiScale(28), UiScale(20));
    FMemo = new QPlainTextEdit(memoPanel);
    FMemo->setObjectName(QStringLiteral("queryMemo"));
    FMemo->setReadOnly(true);
    FMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    FMemo->setFrameShape(QFrame::NoFrame);
    FMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    FMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    SetUiFont(FMemo, 10, QColor(kInk));
    FMemo->setPlainText(QString::fromUtf8(kPickOne));
    memoBox->addWidget(FMemo);
    split->addWidget(memoPanel);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 0);
    split->setSizes({UiScale(300), UiScale(300)});
    column->addWidget(split, 1);

    connect(FList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected) {
                // A deselection leaves the memo as it is.
                if (!selected.isEmpty()) ShowDetail();
            });
}

void TQueryPage::Reload() {
    if (!FReads.QueryRuns) return;
    const int ticket = ++FTicket;
    FWaiting = true;
    QPointer<TQueryPage> self(this);
    FReads.QueryRuns([self, ticket](std::vector<TQueryRun> runs) {
        if (!self || ticket != self->FTicket) return;
        self->FWaiting = false;
        self->Show(std::move(runs));
        emit self->settled();
    });
}

std::string TQueryPage::SelectedName() const {
    const QModelIndexList rows = FList->selectionModel()->selectedRows();
    if (rows.isEmpty() || !FRows) return {};
    const auto row = static_cast<size_t>(rows.front().row());
    return row < FRows->size() ? (*FRows)[row].Query.Name : std::string();
}

void TQueryPage::Show(std::vector<TQueryRun> runs) {
    // Kept by name: the same query is selected again after the rows are replaced.
    const std::string kept = SelectedName();
    FRows = std::make_shared<const std::vector<TQueryRow>>(MergeQueryRuns(FCatalogue, runs));
    const auto rows = FRows;
    RowsOf(FList)->SetRows(static_cast<int>(rows->size()), [rows](int row, int column) {
        return QueryCell((*rows)[static_cast<size_t>(row)], column);
    });
    if (kept.empty()) return;
    for (size_t i = 0; i < rows->size(); ++i)
        if ((*rows)[i].Query.Name == kept) {
            FList->selectRow(static_cast<int>(i));
            break;
        }
}

void TQueryPage::ShowDetail() {
    const QModelIndexList rows = FList->selectionModel()->selectedRows();
    if (rows.isEmpty() || !FRows) return;
    const auto row = static_cast<size_t>(rows.front().row());
    if (row >= FRows->size()) return;
    FMemo->setPlainText(QueryDetail((*FRows)[row]));
}

} // namespace pavona

// The send history page: both records come from the reader thread; the lists turn only the rows on
// screen into text.
#include "ui/SendsPage.h"

#include "platform/Clock.h"
#include "ui/AgentUi.h"
#include "ui/DiagText.h"
#include "ui/UiControls.h"

#include <QLabel>
#include <QPointer>
#include <QTableView>
#include <QVBoxLayout>

namespace pavona {

namespace {

constexpr QRgb kInk = 0x0F1F2E;
constexpr QRgb kBody = 0x4B5B63;
constexpr int kSendRecords = 2000;

} // namespace

TSendsPage::TSendsPage(int cardWidth, TPageReads reads, QWidget* parent)
    : QWidget(parent), FReads(std::move(reads)) {
    setObjectName(QStringLiteral("sendsPage"));
    const int w = cardWidth;
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    QWidget* top = MakeTopPanel(this, 112);
    MakeLabel(top, 28, 22, 300, 30, QStringLiteral("전송 내역"), 15, QColor(kInk), true);
    MakeLabel(
        top, 158, 30, w - 130, 20,
        QStringLiteral(
            "협회 서버로 보낸 묶음(배치)마다 한 줄 — 받음 · 중복 · 거절은 협회 서버가 돌려준 답입니다."),
        9, QColor(kUiMuted));
    TUiButton* refresh = MakeToolButton(top, QStringLiteral("새로 고침"), 28, 64, 110, 38);
    refresh->setObjectName(QStringLiteral("sendsRefresh"));
    connect(refresh, &TUiClickable::clicked, this, &TSendsPage::Reload);
    FSum = MakeFitLabel(top, 154, 64, w - 126, 38, 10, QColor(kBody), true, Qt::ElideRight);
    FSum->setObjectName(QStringLiteral("sendsSum"));
    FSum->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    StretchRight(FSum, 28);
    column->addWidget(top);

    QWidget* files = MakeTopPanel(this, 190);
    auto* filesBox = new QVBoxLayout(files);
    filesBox->setContentsMargins(UiScale(28), 0, UiScale(28), UiScale(14));
    filesBox->setSpacing(0);
    QLabel* filesHead =
        MakeLabel(files, 0, 0, 400, 22, QStringLiteral("보관 파일별 — 이 PC 에 쌓은 줄과 협회가 받은 줄"), 10,
                  QColor(kInk), false, false, true);
    filesHead->setFixedHeight(UiScale(22));
    filesBox->addWidget(filesHead);
    FFilesList = MakeTable(files, {"수집 시작일", "쌓은 줄", "보낸 줄", "남은 줄", "파일 크기"},
                           {120, 120, 120, 120, 120}, {1, 2, 3, 4}, 26);
    FFilesList->setObjectName(QStringLiteral("filesList"));
    filesBox->addWidget(FFilesList, 1);
    column->addWidget(files);

    QWidget* sendsHead = MakeTopPanel(this, 30);
    MakeLabel(sendsHead, 28, 4, 600, 22, QStringLiteral("보낸 기록 — 새것부터"), 10, QColor(kInk), false,
              false, true);
    column->addWidget(sendsHead);

    FSendsList =
        MakeList(this, {"보낸 시각", "종류", "수집 시작일", "줄", "받음", "중복", "거절", "결과", "비고"},
                 {140, 50, 96, 56, 56, 56, 56, 56, 300}, {3, 4, 5, 6});
    FSendsList->setObjectName(QStringLiteral("sendsList"));
    column->addWidget(FSendsList->parentWidget(), 1);
}

void TSendsPage::Reload() {
    const int ticket = ++FTicket;
    FWaiting = (FReads.Files ? 1 : 0) + (FReads.SendLog ? 1 : 0);
    QPointer<TSendsPage> self(this);
    // Each answer is taken only while no later reload was asked for.
    if (FReads.Files)
        FReads.Files([self, ticket](std::vector<TFileSummary> files) {
            if (!self || ticket != self->FTicket) return;
            self->ShowFiles(std::move(files));
            self->Answered();
        });
    if (FReads.SendLog)
        FReads.SendLog(kSendRecords, [self, ticket](std::vector<TSendRecord> records) {
            if (!self || ticket != self->FTicket) return;
            self->ShowSends(std::move(records));
            self->Answered();
        });
}

void TSendsPage::Answered() {
    if (--FWaiting == 0) emit settled();
}

void TSendsPage::ShowFiles(std::vector<TFileSummary> files) {
    auto shown = std::make_shared<const std::vector<TFileSummary>>(std::move(files));
    RowsOf(FFilesList)->SetRows(static_cast<int>(shown->size()), [shown](int row, int column) {
        return FileCell((*shown)[static_cast<size_t>(row)], column);
    });
}

void TSendsPage::ShowSends(std::vector<TSendRecord> records) {
    auto shown = std::make_shared<const std::vector<TSendRecord>>(std::move(records));
    FSum->SetFitText(SendsSummary(*shown, Today()));
    RowsOf(FSendsList)->SetRows(static_cast<int>(shown->size()), [shown](int row, int column) {
        return SendCell((*shown)[static_cast<size_t>(row)], column);
    });
}

} // namespace pavona

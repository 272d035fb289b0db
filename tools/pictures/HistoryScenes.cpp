// The pages that read the agent's files, over a prepared day: the sales history with a receipt
// open, the send history, and the log with warnings.
#include "tools/pictures/Scenes.h"
#include "ui/AgentWindow.h"
#include "ui/LogPage.h"
#include "ui/PageParts.h"
#include "ui/ReceiptView.h"
#include "ui/SalesPage.h"
#include "ui/SendsPage.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPainter>
#include <QPixmap>

#include <cmath>
#include <cstdio>

namespace pavona::pictures {
namespace {

TDateTime SceneDay() {
    return std::floor(SceneNow());
}

TDateTime At(int hour, int minute, int second = 0) {
    return SceneDay() + (hour * 3600 + minute * 60 + second) / 86400.0;
}

struct TGoods {
    const char* Code;
    const char* Name;
    std::int64_t Price;
    int SubsidyPct; // of the price, 0 = not a programme goods
};
const TGoods kGoods[] = {
    {"100206", "GAP 무", 1990, 30},       {"100215", "GAP 깐마늘", 7450, 0},
    {"100058", "국산 시금치", 2430, 0},   {"100144", "친환경 계란 특란", 10510, 30},
    {"100213", "GAP 애호박", 1810, 0},    {"100314", "햇배 신고 2호", 23760, 20},
    {"100322", "햇배추 2호", 3910, 0},    {"100025", "한우 불고기", 20130, 30},
    {"100315", "햇감귤 2호", 11880, 20},  {"100061", "국산 양배추", 3480, 0},
};

// 14 receipts from 09:03 on, two to four lines each; one line voided, the last receipt not sent yet.
std::vector<TLedgerLine> Day() {
    std::vector<TLedgerLine> lines;
    int g = 0;
    for (int r = 0; r < 14; ++r) {
        const int count = 2 + (r * 7) % 3;
        char receipt[32];
        std::snprintf(receipt, sizeof receipt, "20261210-01-%04d", 12 + r);
        for (int i = 0; i < count; ++i, ++g) {
            const TGoods& goods = kGoods[g % std::size(kGoods)];
            TLedgerLine l;
            l.Receipt = receipt;
            l.PosNo = "01";
            l.Key = std::string(receipt) + ":" + std::to_string(i + 1);
            l.FileDay = "2026-12-10";
            l.SoldAt = At(9 + r / 3, (r % 3) * 17 + 3, 34);
            l.Code = goods.Code;
            l.Name = goods.Name;
            l.Qty = (g % 5 == 0) ? 2 : 1;
            l.UnitPrice = goods.Price;
            l.Amount = static_cast<std::int64_t>(goods.Price * l.Qty);
            l.Discount = l.Amount * goods.SubsidyPct / 100 / 10 * 10;
            l.OwnDiscount = (g % 7 == 3) ? 500 : 0;
            l.Sent = r < 13;
            l.Voided = (r == 5 && i == 1);
            lines.push_back(l);
        }
    }
    return lines;
}

std::vector<TSendRecord> Sends() {
    std::vector<TSendRecord> records;
    const int hours[] = {14, 13, 12, 11, 10, 9};
    for (int i = 0; i < 6; ++i) {
        TSendRecord r;
        r.At = At(hours[i], 20);
        r.Kind = i == 2 ? "취소" : "실적";
        r.FileDay = "2026-12-10";
        r.Lines = i == 2 ? 1 : 40 + 13 * i;
        r.Accepted = i == 4 ? r.Lines - 1 : r.Lines;
        r.Rejected = i == 4 ? 1 : 0;
        r.Ok = i != 1;
        r.Note = i == 1 ? "협회 서버에 연결하지 못했습니다 (시간 초과) — 다음 주기에 다시 보냅니다" : "";
        if (!r.Ok) r.Accepted = 0;
        records.push_back(r);
    }
    return records;
}

std::vector<TFileSummary> Files() {
    std::vector<TFileSummary> files;
    for (int d = 0; d < 8; ++d) {
        char day[16];
        std::snprintf(day, sizeof day, "2026-12-%02d", 10 - d);
        const int lines = 380 + (d * 97) % 260;
        files.push_back({day, lines, d == 0 ? lines - 12 : lines, lines * 412});
    }
    return files;
}

std::vector<std::string> LogLines() {
    const char* const lines[] = {
        "09:00:02.114  정보  시작  에이전트 시작 — 판 20261006-196818e",
        "09:00:04.530  정보  정책  협회 정책을 받았습니다 — 겨울 농할 · 대상 24개",
        "09:10:00.207  정보  쿼리  SQL_SALES — 41행 · 6 ms p1=2026-12-10 08:55:00  p2=2026-12-10 09:10:00",
        "09:10:00.431  정보  전송  실적 41줄 — 받음 41 · 중복 0 · 거절 0",
        "10:20:00.118  주의  전송  협회 서버에 연결하지 못했습니다 (시간 초과) — 다음 주기에 다시 보냅니다",
        "10:30:00.502  정보  전송  실적 53줄 — 받음 53 · 중복 0 · 거절 0",
        "11:20:00.640  오류  POS  POS 에 연결하지 못했습니다 — 로그인 시간 초과",
        "11:30:00.311  정보  POS  POS 연결이 돌아왔습니다",
        "12:20:00.207  정보  전송  취소 1줄 — 반영 1 · 건너뜀 0",
        "13:20:00.420  주의  전송  실적 1줄을 협회가 거절했습니다 — 상품 코드 확인 필요",
        "14:20:00.377  정보  전송  실적 105줄 — 받음 105 · 중복 0 · 거절 0",
        "14:25:31.008  정보  화면  영수증 20261210-01-0017 을 열었습니다",
    };
    std::vector<std::string> out;
    for (const char* line : lines)
        out.push_back(std::string("2026-12-10 ") + line);
    return out;
}

TPageReads Reads() {
    TPageReads reads;
    reads.LedgerDay = [](TDateTime day, std::function<void(std::vector<TLedgerLine>)> answer) {
        answer(std::floor(day) == SceneDay() ? Day() : std::vector<TLedgerLine>{});
    };
    reads.Files = [](std::function<void(std::vector<TFileSummary>)> answer) { answer(Files()); };
    reads.SendLog = [](int, std::function<void(std::vector<TSendRecord>)> answer) { answer(Sends()); };
    reads.QueryRuns = [](std::function<void(std::vector<TQueryRun>)> answer) { answer({}); };
    reads.LogDay = [](TDateTime, std::function<void(std::vector<std::string>)> answer) { answer(LogLines()); };
    return reads;
}

// The window with `page` in slot `index`, shown in front after it read its records.
template <typename TPage> std::unique_ptr<QWidget> WithPage(int index) {
    std::unique_ptr<TAgentForm> form = RunningWindow();
    auto* page = new TPage(form->CardWidth(), Reads());
    form->SetPage(index, page);
    form->show();
    form->ShowPage(index);
    Settle(page, [page] { page->Reload(); });
    return form;
}

// The sales history with one receipt's window over it, as the operator sees it after a double-click.
std::unique_ptr<QWidget> SalesWithReceipt() {
    std::unique_ptr<QWidget> window = WithPage<TSalesPage>(2);
    std::vector<TLedgerLine> receipt;
    for (const TLedgerLine& line : Day())
        if (line.Receipt == "20261210-01-0017") receipt.push_back(line);
    QDialog* dialog = ShowReceipt(window.get(), "20261210-01-0017", receipt);
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    QPixmap picture = window->grab();
    const QPixmap over = dialog->grab();
    QPainter painter(&picture);
    painter.fillRect(picture.rect(), QColor(0, 0, 0, 60)); // the modal shade a desktop draws
    painter.drawPixmap((picture.width() - over.width()) / 2, (picture.height() - over.height()) / 2, over);
    painter.end();
    dialog->close();
    auto label = std::make_unique<QLabel>();
    label->setPixmap(picture);
    label->resize(picture.size());
    return label;
}

} // namespace

std::vector<TScene> HistoryScenes() {
    return {
        {"sales-history", false, [] { return WithPage<TSalesPage>(2); }},
        {"sales-receipt", true, SalesWithReceipt},
        {"send-history", false, [] { return WithPage<TSendsPage>(3); }},
        {"log-warnings", true, [] { return WithPage<TLogPage>(5); }},
    };
}

} // namespace pavona::pictures

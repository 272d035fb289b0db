// The sales history's texts and filter, kept free of widgets so they run on the pages' worker
// thread and test as plain functions.
#include "ui/PageText.h"

#include "engine/AgentMonitor.h"

#include <cmath>
#include <unordered_set>

namespace pavona {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

namespace {

// "0.###" with a "." always: QString::number never asks the locale (printf would ask the C
// locale, which Qt sets from the environment, so a German desktop would get "0,5").
QString UpToThreeDecimals(double v) {
    QString text = QString::number(v, 'f', 3);
    while (text.endsWith('0'))
        text.chop(1);
    if (text.endsWith('.')) text.chop(1);
    if (text == "-0") text = "0";
    return text;
}

bool IsWhole(double v) {
    return std::isfinite(v) && std::trunc(v) == v;
}

} // namespace

QString FormatQty(double qty) {
    if (!IsWhole(qty)) return UpToThreeDecimals(qty);
    return Q(WonDigits(static_cast<std::int64_t>(qty)));
}

QString FormatReceiptQty(double qty) {
    if (!IsWhole(qty)) return UpToThreeDecimals(qty);
    return QString::number(static_cast<qlonglong>(qty));
}

QString FormatMegabytes(std::int64_t bytes) {
    return QString::number(static_cast<double>(bytes) / 1048576.0, 'f', 1) + " MB";
}

QString DayLabel(TDateTime day) {
    return Q(FormatDateTime("yyyy-mm-dd (ddd)", day));
}

TSalesDay PrepareSalesDay(TDateTime day, std::vector<TLedgerLine> lines) {
    TSalesDay out;
    out.Day = day;
    out.Lines = std::move(lines);
    out.Name.reserve(out.Lines.size());
    out.Code.reserve(out.Lines.size());
    out.Receipt.reserve(out.Lines.size());
    for (const TLedgerLine& l : out.Lines) {
        out.Name.push_back(Q(l.Name).toLower());
        out.Code.push_back(Q(l.Code).toLower());
        out.Receipt.push_back(Q(l.Receipt).toLower());
    }
    return out;
}

QString SearchKey(const QString& text) {
    return text.trimmed().toLower();
}

std::vector<int> FilterSales(const TSalesDay& day, bool onlySubsidy, const QString& key) {
    std::vector<int> rows;
    rows.reserve(day.Lines.size());
    for (size_t i = 0; i < day.Lines.size(); ++i) {
        if (onlySubsidy && day.Lines[i].Discount == 0) continue;
        // Codes and receipt numbers are lower-cased as well: a key is always lower case, and a
        // goods code with letters in it must still be found when typed as it is printed.
        if (!key.isEmpty() && !day.Name[i].contains(key) && !day.Code[i].contains(key) &&
            !day.Receipt[i].contains(key))
            continue;
        rows.push_back(static_cast<int>(i));
    }
    return rows;
}

TSalesSums SumSales(const std::vector<TLedgerLine>& lines, const std::vector<int>& rows) {
    TSalesSums s;
    std::unordered_set<std::string> receipts;
    for (const int i : rows) {
        const TLedgerLine& l = lines[static_cast<size_t>(i)];
        receipts.insert(l.Receipt);
        ++s.Lines;
        if (l.Sent) ++s.Sent;
        if (l.Voided) {
            ++s.Cancelled;
            continue;
        }
        s.Sales += l.Amount;
        s.Subsidy += l.Discount;
        if (l.Discount > 0) ++s.Subsidised;
    }
    s.Receipts = static_cast<int>(receipts.size());
    return s;
}

QString SalesSumText(const TSalesSums& s, bool dayHasLines) {
    if (!dayHasLines) return "이 날 모은 판매 줄이 없습니다 — 영업하지 않은 날이거나, 아직 수집 전입니다.";
    const QString cancelled = s.Cancelled > 0 ? " · 취소 " + Q(WonDigits(s.Cancelled)) : QString();
    return QString("영수증 %1건 · 줄 %2 · 매출 %3 · 농할 지원 %4 (%5줄) · 협회 전송 %6 / 대기 %7%8   — 줄을 "
                   "두 번 "
                   "누르면 영수증")
        .arg(Q(WonDigits(s.Receipts)), Q(WonDigits(s.Lines)), Q(FormatWon(s.Sales)), Q(FormatWon(s.Subsidy)),
             Q(WonDigits(s.Subsidised)), Q(WonDigits(s.Sent)), Q(WonDigits(s.Lines - s.Sent)), cancelled);
}

QString SalesCell(const TLedgerLine& l, int column) {
    const auto wonOrEmpty = [](std::int64_t v) { return v == 0 ? QString() : Q(WonDigits(v)); };
    switch (static_cast<TSalesColumn>(column)) {
    case TSalesColumn::Time:
        return Q(FormatDateTime("hh:nn:ss", l.SoldAt));
    case TSalesColumn::Receipt:
        return Q(l.Receipt);
    case TSalesColumn::Code:
        return Q(l.Code);
    case TSalesColumn::Name:
        return Q(l.Name);
    case TSalesColumn::Qty:
        return FormatQty(l.Qty);
    case TSalesColumn::Amount:
        return Q(WonDigits(l.Amount));
    case TSalesColumn::Subsidy:
        return wonOrEmpty(l.Discount);
    case TSalesColumn::Own:
        return wonOrEmpty(l.OwnDiscount);
    case TSalesColumn::Sent:
        return l.Voided ? "취소됨" : l.Sent ? "보냄" : "대기";
    default:
        return {};
    }
}

std::vector<TLedgerLine> ReceiptLines(const std::vector<TLedgerLine>& all, const TLedgerLine& picked) {
    std::vector<TLedgerLine> out;
    const TDateTime day = DateOf(picked.SoldAt);
    for (const TLedgerLine& l : all)
        if (l.Receipt == picked.Receipt && DateOf(l.SoldAt) == day) out.push_back(l);
    return out;
}

} // namespace pavona

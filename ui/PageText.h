// The texts of the sales history and the receipt: quantities, day labels, the row cells, which
// lines a search and the subsidy filter let through, and the summary line over them.
#pragma once

#include "common/DateTime.h"
#include "store/AgentLedger.h"

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace pavona {

QString Q(const std::string& text);

// A quantity on the list: a fractional one as "0.###" with a "." whatever the locale, a whole one
// grouped by thousands ("1,200").
QString FormatQty(double qty);
// On the receipt: fractional ones the same, whole ones as plain digits ("1200").
QString FormatReceiptQty(double qty);
// "1.5 MB": bytes ÷ 1048576 with one decimal and a "." whatever the locale.
QString FormatMegabytes(std::int64_t bytes);
// "2026-10-06 (화)".
QString DayLabel(TDateTime day);

// One day of the ledger with the texts the search looks into, made once per load.
struct TSalesDay {
    TDateTime Day = 0;
    std::vector<TLedgerLine> Lines; // in ledger order
    std::vector<QString> Name;      // lower-cased, index for index with Lines
    std::vector<QString> Code;
    std::vector<QString> Receipt;
};
TSalesDay PrepareSalesDay(TDateTime day, std::vector<TLedgerLine> lines);

// The search text as the filter compares it: trimmed and lower-cased.
QString SearchKey(const QString& text);
// Indexes of the lines that pass, in ledger order: a subsidised discount when `onlySubsidy`, and
// the key (already a SearchKey) in the name, the goods code or the receipt number, letter case
// ignored in all three.
std::vector<int> FilterSales(const TSalesDay& day, bool onlySubsidy, const QString& key);

struct TSalesSums {
    int Receipts = 0; // distinct receipt numbers
    int Lines = 0;
    int Sent = 0;      // voided lines too: what was sent stays sent
    int Cancelled = 0; // voided lines
    int Subsidised = 0;
    std::int64_t Sales = 0; // the money sums leave voided lines out
    std::int64_t Subsidy = 0;
};
TSalesSums SumSales(const std::vector<TLedgerLine>& lines, const std::vector<int>& rows);
// The summary line; the no-lines sentence when the day has no lines at all.
QString SalesSumText(const TSalesSums& sums, bool dayHasLines);

enum class TSalesColumn : int { Time, Receipt, Code, Name, Qty, Amount, Subsidy, Own, Sent, Count };
QString SalesCell(const TLedgerLine& line, int column);

// Every line of the picked line's receipt sold on its calendar day, in ledger order, whatever the
// list shows at the moment.
std::vector<TLedgerLine> ReceiptLines(const std::vector<TLedgerLine>& all, const TLedgerLine& picked);

} // namespace pavona

// One receipt redrawn from the lines this PC spooled for the association: its goods, the subsidy
// and the store's own discount per line, what was sent, and the totals. Not the POS's receipt: no
// payment, card or phone data is ever read.
#pragma once

#include "store/AgentLedger.h"

#include <QString>
#include <QWidget>

#include <cstdint>
#include <vector>

class QDialog;

namespace pavona {

struct TReceiptTotals {
    int Sent = 0;      // voided or not: a sent line stays sent
    int Cancelled = 0; // voided lines
    std::int64_t Sales = 0;
    std::int64_t Subsidy = 0;
    std::int64_t Own = 0;
};
// The money totals over the lines that are not voided, and the counts over all.
TReceiptTotals ReceiptTotals(const std::vector<TLedgerLine>& lines);
// "줄 3개 · 협회 전송 2 · 대기 1 · 취소 1" under the totals.
QString ReceiptFooter(const std::vector<TLedgerLine>& lines);

class TReceiptView : public QWidget {
    Q_OBJECT
  public:
    TReceiptView(const QString& receipt, std::vector<TLedgerLine> lines, QWidget* parent = nullptr);

    QString Receipt() const { return FReceipt; }
    const std::vector<TLedgerLine>& Lines() const { return FLines; }
    // The height that shows every line and the totals, in device pixels.
    int NeededHeight() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString FReceipt;
    std::vector<TLedgerLine> FLines;
};

// The receipt in its own modal window over `owner`'s window, closed and freed by the operator.
// Returns the window, already shown.
QDialog* ShowReceipt(QWidget* owner, const QString& receipt, std::vector<TLedgerLine> lines);

} // namespace pavona

// The receipt drawn on paper: header, one row per line, totals and the footer, every size in design
// pixels through UiScale.
#include "ui/ReceiptView.h"

#include "engine/AgentMonitor.h"
#include "ui/AgentUi.h"
#include "ui/PageText.h"

#include <QDialog>
#include <QFontMetrics>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>

namespace pavona {

namespace {

constexpr QRgb kInk = 0x0F1F2E;
constexpr QRgb kBody = 0x4B5B63;
constexpr QRgb kRed = 0xC0392B;
constexpr QRgb kAmber = 0xC27C0E;
constexpr int kViewWidth = 620;

// Writes one line of text the receipt's way: top of a box 2 × size + 6 high, one line, an ellipsis
// when it does not fit.
class TPen {
  public:
    TPen(QPainter& painter, int width) : FPainter(painter), FWidth(width) {}

    // `width` 0 runs to 24 pixels before the right edge.
    void Text(int x, int designY, int width, int size, QRgb colour, const QString& text, bool bold = false,
              bool right = false) {
        SetUiFont(FPainter, size, QColor(colour), bold);
        const int w = width > 0 ? width : FWidth - UiScale(24) - x;
        const QRect box(x, UiScale(designY), w, UiScale(2 * size + 6));
        const QString shown = QFontMetrics(FPainter.font()).elidedText(text, Qt::ElideRight, w);
        FPainter.drawText(box, (right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop | Qt::TextSingleLine,
                          shown);
    }

    // 6-pixel dashes every 10 pixels from left to right, the last one cut at right.
    void Rule(int left, int right, int designY) {
        const int y = UiScale(designY);
        for (int x = left; x < right; x += UiScale(10))
            FPainter.fillRect(x, y, std::min(UiScale(6), right - x), 1, QColor(kUiLine));
    }

  private:
    QPainter& FPainter;
    int FWidth;
};

QString Won(std::int64_t v) {
    return Q(WonDigits(v)) + "원";
}

} // namespace

TReceiptTotals ReceiptTotals(const std::vector<TLedgerLine>& lines) {
    TReceiptTotals t;
    for (const TLedgerLine& l : lines) {
        if (l.Sent) ++t.Sent;
        if (l.Voided) {
            ++t.Cancelled;
            continue;
        }
        t.Sales += l.Amount;
        t.Subsidy += l.Discount;
        t.Own += l.OwnDiscount;
    }
    return t;
}

QString ReceiptFooter(const std::vector<TLedgerLine>& lines) {
    const TReceiptTotals t = ReceiptTotals(lines);
    const int n = static_cast<int>(lines.size());
    const QString cancelled = t.Cancelled >= 1 ? QString(" · 취소 %1").arg(t.Cancelled) : QString();
    return QString("줄 %1개 · 협회 전송 %2 · 대기 %3%4")
        .arg(QString::number(n), QString::number(t.Sent), QString::number(n - t.Sent), cancelled);
}

TReceiptView::TReceiptView(const QString& receipt, std::vector<TLedgerLine> lines, QWidget* parent)
    : QWidget(parent), FReceipt(receipt), FLines(std::move(lines)) {
    setObjectName(QStringLiteral("receiptView"));
    setFixedSize(UiScale(kViewWidth), NeededHeight());
}

int TReceiptView::NeededHeight() const {
    return UiScale(static_cast<int>(FLines.size()) * 44 + 440);
}

void TReceiptView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    const int wd = width();
    const int l = UiScale(36);
    const int r = wd - UiScale(36);
    TPen pen(p, wd);

    p.fillRect(rect(), QColor(kUiBackdrop));
    const QRect paper(QPoint(UiScale(12), UiScale(12)),
                      QPoint(wd - UiScale(12) - 1, NeededHeight() - UiScale(12) - 1));
    p.fillRect(paper, QColor(kUiWhite));
    p.setPen(QColor(kUiLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(paper.adjusted(0, 0, -1, -1));

    int y = 32;
    pen.Text(l, y, 0, 14, kInk, "판매 영수증 (협회 전송 기록)", true);
    y += 36;
    if (!FLines.empty()) {
        const TLedgerLine& first = FLines.front();
        pen.Text(l, y, 0, 10, kBody, "영수증 번호  " + Q(first.Receipt));
        y += 24;
        pen.Text(l, y, 0, 10, kBody, "판매 시각  " + Q(FormatStamp(first.SoldAt)));
        y += 24;
        const QString pos = first.PosNo.empty() ? QString("-") : Q(first.PosNo);
        const QString member =
            first.Member.empty() ? QString("비회원") : "회원(번호만 · " + Q(first.Member) + ")";
        pen.Text(l, y, 0, 10, kBody, "계산대  " + pos + "     회원  " + member);
        y += 30;
    }

    pen.Rule(l, r, y);
    y += 10;
    pen.Text(l, y, 0, 9, kUiMuted, "상품", true);
    pen.Text(r - UiScale(330), y, UiScale(50), 9, kUiMuted, "수량", true, true);
    pen.Text(r - UiScale(270), y, UiScale(90), 9, kUiMuted, "금액", true, true);
    pen.Text(r - UiScale(170), y, UiScale(90), 9, kUiMuted, "농할 지원", true, true);
    pen.Text(r - UiScale(70), y, UiScale(70), 9, kUiMuted, "전송", true, true);
    y += 26;

    const int nameWidth = r - UiScale(340) - l;
    for (const TLedgerLine& line : FLines) {
        pen.Text(l, y, nameWidth, 10, line.Voided ? kUiMuted : kInk, Q(line.Name));
        QString sub = "상품번호 " + Q(line.Code);
        if (!line.Barcode.empty()) sub += "  ·  " + Q(line.Barcode);
        if (line.OwnDiscount > 0) sub += "  ·  자체 할인 " + Q(WonDigits(line.OwnDiscount));
        pen.Text(l, y + 20, nameWidth, 8, kUiMuted, sub);
        pen.Text(r - UiScale(330), y, UiScale(50), 10, kInk, FormatReceiptQty(line.Qty), false, true);
        pen.Text(r - UiScale(270), y, UiScale(90), 10, kInk, Q(WonDigits(line.Amount)), false, true);
        if (line.Discount > 0)
            pen.Text(r - UiScale(170), y, UiScale(90), 10, kUiGreen, "-" + Q(WonDigits(line.Discount)), true,
                     true);
        if (line.Voided)
            pen.Text(r - UiScale(70), y, UiScale(70), 9, kRed, "취소", true, true);
        else if (line.Sent)
            pen.Text(r - UiScale(70), y, UiScale(70), 9, kUiGreen, "보냄", false, true);
        else
            pen.Text(r - UiScale(70), y, UiScale(70), 9, kAmber, "대기", false, true);
        y += 44;
    }

    const TReceiptTotals t = ReceiptTotals(FLines);
    const int sumX = r - UiScale(200);
    const int sumW = UiScale(200);
    pen.Rule(l, r, y);
    y += 14;
    pen.Text(l, y, 0, 11, kInk, "판매 합계");
    pen.Text(sumX, y, sumW, 11, kInk, Won(t.Sales), false, true);
    y += 28;
    pen.Text(l, y, 0, 11, kUiGreen, "농할 할인 (정부 지원 대상)", true);
    pen.Text(sumX, y, sumW, 11, kUiGreen, "-" + Won(t.Subsidy), true, true);
    y += 28;
    if (t.Own > 0) {
        pen.Text(l, y, 0, 11, kBody, "매장 자체 할인 (지원 대상 아님)");
        pen.Text(sumX, y, sumW, 11, kBody, "-" + Won(t.Own), false, true);
        y += 28;
    }
    pen.Text(l, y, 0, 12, kInk, "고객 부담 (추정)", true);
    pen.Text(sumX, y, sumW, 13, kInk, Won(t.Sales - t.Subsidy - t.Own), true, true);
    y += 36;

    pen.Rule(l, r, y);
    y += 12;
    pen.Text(l, y, 0, 9, kBody, ReceiptFooter(FLines));
    y += 22;
    pen.Text(l, y, 0, 8, kUiMuted, "POS 영수증 원본이 아니라, 이 PC 가 협회로 보낸 줄로 다시 그린 것입니다.");
    y += 18;
    pen.Text(l, y, 0, 8, kUiMuted, "결제 수단 · 카드 정보 · 전화번호는 읽지 않습니다(협회로 가지 않습니다).");
}

QDialog* ShowReceipt(QWidget* owner, const QString& receipt, std::vector<TLedgerLine> lines) {
    QWidget* main = owner->window();
    auto* dialog = new QDialog(main, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                         Qt::WindowCloseButtonHint);
    dialog->setObjectName(QStringLiteral("receiptWindow"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->setWindowTitle("영수증 " + receipt + " — 협회 전송 기록");
    SetUiFont(dialog, 10, QColor(kInk));
    QPalette palette = dialog->palette();
    palette.setColor(QPalette::Window, QColor(kUiBackdrop));
    dialog->setPalette(palette);
    dialog->setAutoFillBackground(true);

    auto* box = new QScrollArea(dialog);
    box->setFrameShape(QFrame::NoFrame);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->setPalette(palette);
    box->viewport()->setPalette(palette);
    box->viewport()->setAutoFillBackground(true);
    auto* view = new TReceiptView(receipt, std::move(lines));
    box->setWidget(view);
    auto* layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(box);

    const int bar = dialog->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, box);
    const QRect work = main->screen()->availableGeometry();
    dialog->resize(view->width() + bar,
                   std::min(view->NeededHeight() + UiScale(40), work.height() - UiScale(80)));
    dialog->move(main->geometry().center() - dialog->rect().center());
    dialog->show();
    return dialog;
}

} // namespace pavona

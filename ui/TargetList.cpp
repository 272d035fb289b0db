// The target-items list: the cards are made by small steps in slices of a few milliseconds; a text that
// needs more room than the design gives it grows its block and card instead of being cut off.
#include "ui/TargetList.h"

#include "ui/AgentUi.h"
#include "ui/PageParts.h"
#include "ui/UiControls.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPalette>
#include <QPointer>

#include <algorithm>
#include <cmath>

namespace pavona {

namespace {

constexpr int kSliceMs = 8;  // the longest a slice keeps the window's loop from other events
constexpr int kGap = 6;      // between two cards
constexpr int kRightX = 286; // the right column of a card
constexpr int kSideW = 140;  // pill and button at the right of a goods block
constexpr int kTeardownChunk = 40;

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

QColor ColourOf(TTargetColour colour) {
    const char* hex = ColourHex(colour);
    return *hex ? QColor(QString::fromLatin1(hex)) : QColor();
}

QColor InkOr(TTargetColour colour, QRgb fallback) {
    const QColor c = ColourOf(colour);
    return c.isValid() ? c : QColor(fallback);
}

// Design height of `text` wrapped at `width` design pixels in the font of that size and weight.
int WrappedHeight(const std::string& text, int width, int size, bool bold = false, bool semi = false) {
    const QFontMetrics metrics(UiFont(size, bold, semi));
    const QRect r = metrics.boundingRect(QRect(0, 0, UiScale(width), 1 << 20), Qt::TextWordWrap, Q(text));
    return static_cast<int>(std::ceil(r.height() / UiScaleFactor()));
}

// A hairline of the separator colour, one device pixel thick at every scale.
void Line(QWidget* parent, int x, int y, int width, int height) {
    auto* line = new QWidget(parent);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, ColourOf(TTargetColour::Line));
    line->setPalette(palette);
    line->setAutoFillBackground(true);
    line->setGeometry(UiScale(x), UiScale(y), width > 0 ? UiScale(width) : 1,
                      height > 0 ? UiScale(height) : 1);
    line->show();
}

TUiCard* Card(QWidget* parent, const char* name, int y, int width, int height) {
    auto* card = new TUiCard(parent);
    card->setObjectName(QString::fromLatin1(name));
    SetBoundsScaled(card, 0, y, width, height);
    return card;
}

TFitLabel* FitLabel(QWidget* parent, int x, int y, int width, int height, const std::string& text, int size,
                    const QColor& colour, bool bold = false, bool semi = false) {
    TFitLabel* label = MakeFitLabel(parent, x, y, width, height, size, colour, semi, Qt::ElideRight);
    if (bold) SetUiFont(label, size, colour, true);
    label->SetFitText(Q(text));
    return label;
}

// The heights of a goods block's wrapped parts.
struct TRowSize {
    int Code = 18;
    int TotalsY = 56;
    int Totals = 36;
    int Explanation = 0;
    int Block = 96;
};

TRowSize SizeOf(const TTargetRow& row, int rightWidth) {
    TRowSize s;
    s.Code = std::max(18, WrappedHeight(row.CodeLine, rightWidth - kSideW, 9));
    s.TotalsY = 36 + s.Code + 2;
    s.Totals = std::max(36, WrappedHeight(row.TotalsLine, rightWidth - kSideW, 9));
    s.Block = std::max(96, s.TotalsY + s.Totals + 4);
    if (!row.Explanation.empty()) s.Explanation = std::max(18, WrappedHeight(row.Explanation, rightWidth, 9));
    return s;
}

} // namespace

TTargetList::TTargetList(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("targetList"));
    FSlice.setSingleShot(true);
    FSlice.setInterval(0);
    connect(&FSlice, &QTimer::timeout, this, &TTargetList::RunSlice);
}

void TTargetList::Show(std::shared_ptr<const TTargetView> view, int width) {
    FSteps.clear();
    FNext = 0;
    // The old cards leave the screen now and are taken down in the first slices.
    for (QWidget* old : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        old->hide();
        Teardown(old);
    }
    FView = std::move(view);
    FWidth = width;
    FY = 0;
    if (FView) Plan(*FView, width);
    Grow(0);
    RunSlice();
}

void TTargetList::Grow(int bottom) {
    FHeight = bottom + 10;
    setFixedSize(UiScale(FWidth), UiScale(FHeight));
}

void TTargetList::Teardown(QWidget* old) {
    QPointer<QWidget> guard(old);
    const int chunks = (static_cast<int>(old->children().size()) + kTeardownChunk - 1) / kTeardownChunk;
    for (int i = 0; i < chunks; ++i)
        FSteps.push_back([guard] {
            if (!guard) return;
            const QObjectList kids = guard->children();
            for (int k = 0; k < kTeardownChunk && k < kids.size(); ++k)
                delete kids[k];
        });
    FSteps.push_back([guard] { delete guard.data(); });
}

void TTargetList::RunSlice() {
    QElapsedTimer clock;
    clock.start();
    while (FNext < FSteps.size() && clock.elapsed() < kSliceMs)
        FSteps[FNext++]();
    if (FNext < FSteps.size()) {
        FSlice.start();
        return;
    }
    FSteps.clear();
    FNext = 0;
    emit built();
}

// Only the order of the steps is decided here; each step measures what it makes and moves the
// cursor FY down, so no text is measured before its slice runs.
void TTargetList::Plan(const TTargetView& v, int w) {
    FSteps.push_back([this, w] {
        auto* assign = new TUiButton(this);
        assign->setObjectName(QStringLiteral("assignPosGoods"));
        assign->SetText(Q(kAssignButtonText));
        SetBoundsScaled(assign, 0, 0, 230, 36);
        connect(assign, &TUiClickable::clicked, this, &TTargetList::assignClicked);
        QLabel* help =
            MakeLabel(this, 244, 0, w - 250, 36, Q(kAssignHelpText), 9, QColor(kUiNavText), false, true);
        help->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        assign->show();
        help->show();
        FY = 46;
        Grow(FY);
    });
    PlanDecisions(v.Decisions, w);
    if (v.NoItems) {
        FSteps.push_back([this, w] {
            TUiCard* card = Card(this, "noItemsCard", FY, w, 68);
            QLabel* text = MakeLabel(card, 24, 0, w - 48, 68, Q(kNoItemsText), 11, QColor(kUiNavText));
            text->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            card->show();
            FY += 68;
            Grow(FY);
        });
        return;
    }
    PlanNotice(v.RoundNotice, w);
    FSteps.push_back([this, w] {
        MakeLabel(this, 20, FY, 230, 22, Q(kItemsColumnHead), 9, QColor(kUiMuted))->show();
        MakeLabel(this, kRightX, FY, w - 310, 22, Q(kGoodsColumnHead), 9, QColor(kUiMuted))->show();
        FY += 26;
        Grow(FY);
    });
    for (const TTargetGroup& g : v.Groups)
        PlanGroup(g, w);
    if (!v.Stray.Rows.empty()) PlanStray(v.Stray, w);
}

void TTargetList::PlanDecisions(const TDecisionsView& d, int w) {
    if (!d.Line.empty()) {
        FSteps.push_back([this, &d, w] {
            TFitLabel* line = FitLabel(this, 20, FY, w - 20, 20, d.Line, 9, QColor(kUiMuted));
            line->setObjectName(QStringLiteral("decisionsLine"));
            line->show();
            FY += 20 + kGap;
            Grow(FY);
        });
        return;
    }
    if (!d.Card) return;
    FSteps.push_back([this, &d, w] {
        TUiCard* card = Card(this, "decisionsCard", FY, w, d.Height);
        card->SetFill(ColourOf(TTargetColour::RedFill));
        card->SetAccent(ColourOf(TTargetColour::Red));
        FitLabel(card, 20, 14, w - 40, 22, d.Title, 10, ColourOf(TTargetColour::Red), false, true);
        int at = 42;
        for (const TDecisionLine& line : d.Lines) {
            // Shortened to its line when it must be, and whole in its hint in any case.
            QLabel* label = MakeLabel(card, 20, at, w - 40, 20, QString(), 9, ColourOf(TTargetColour::Ink));
            label->setText(label->fontMetrics().elidedText(Q(line.Text), Qt::ElideRight, UiScale(w - 40)));
            label->setObjectName(QStringLiteral("decisionLine"));
            label->setToolTip(Q(line.Text));
            at += 22;
        }
        if (!d.More.empty()) {
            FitLabel(card, 20, at, w - 40, 20, d.More, 9, ColourOf(TTargetColour::Slate));
            at += 20;
        }
        if (!d.ConfirmedLine.empty())
            FitLabel(card, 20, at, w - 40, 22, d.ConfirmedLine, 9, QColor(kUiMuted));
        card->show();
        FY += d.Height + kGap;
        Grow(FY);
    });
}

void TTargetList::PlanNotice(const std::vector<std::string>& lines, int w) {
    if (lines.empty()) return;
    std::string text;
    for (const std::string& line : lines)
        text += (text.empty() ? "" : "\n") + line;
    FSteps.push_back([this, text, w] {
        const int height = std::max(64, WrappedHeight(text, w - 40, 9) + 16);
        TUiCard* card = Card(this, "roundNotice", FY, w, height);
        card->SetFill(ColourOf(TTargetColour::Light));
        QLabel* label =
            MakeLabel(card, 20, 0, w - 40, height, Q(text), 9, ColourOf(TTargetColour::Slate), false, true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        card->show();
        FY += height + kGap;
        Grow(FY);
    });
}

// A card whose right column is filled block by block: it starts at its least height and is
// stretched by the step that closes it.
struct TTargetList::TOpenCard {
    QPointer<TUiCard> Card;
    int Top = 0;
    int Least = 0;  // the model's height, or what the left column needs
    int Right = 4;  // the right column's cursor
    int Blocks = 0; // blocks and sub-heads placed
    QWidget* Rule = nullptr;
    QLabel* Arrow = nullptr;
};

void TTargetList::PlanGroup(const TTargetGroup& g, int w) {
    auto open = std::make_shared<TOpenCard>();
    FSteps.push_back([this, &g, open, w] {
        // The left column from the top down, each wrapped text as high as it needs.
        const int nameH = std::max(48, WrappedHeight(g.BaseName, 210, 13, true));
        const int detailsY = 36 + nameH + 2;
        const int detailsH = g.Details.empty() ? 20 : std::max(20, WrappedHeight(g.Details, 210, 9));
        const int supportY = detailsY + detailsH + 2;
        open->Top = FY;
        open->Least = std::max(g.Height, supportY + 20 + 12);
        TUiCard* c = Card(this, "groupCard", FY, w, open->Least);
        c->SetAccent(ColourOf(g.Accent));
        open->Card = c;
        MakeLabel(c, 24, 16, 210, 18, Q(g.Caption), 9, QColor(kUiMuted));
        MakeLabel(c, 24, 36, 210, nameH, Q(g.BaseName), 13, ColourOf(TTargetColour::Ink), true, true)
            ->setObjectName(QStringLiteral("groupName"));
        if (!g.Details.empty())
            MakeLabel(c, 24, detailsY, 210, detailsH, Q(g.Details), 9, ColourOf(TTargetColour::Slate), false,
                      true);
        MakeLabel(c, 24, supportY, 210, 20, Q(g.Support), 9, ColourOf(TTargetColour::Green), false, false,
                  true)
            ->setObjectName(QStringLiteral("groupSupport"));
        OpenRules(*open, true);
        c->show();
        Grow(FY + open->Least);
    });
    const int rightW = w - 302;
    for (const TVarietyRun& run : g.Runs) {
        if (!run.Label.empty())
            FSteps.push_back([open, &run, rightW] {
                if (!open->Card) return;
                if (open->Blocks++ > 0) Line(open->Card, kRightX, open->Right, rightW, 0);
                QLabel* head = MakeLabel(open->Card, kRightX, open->Right, rightW, 24, Q(run.Label), 9,
                                         ColourOf(TTargetColour::Navy), false, false, true);
                head->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
                head->setObjectName(QStringLiteral("varietyHead"));
                head->setToolTip(Q(run.Hint));
                head->show();
                open->Right += 24;
            });
        for (const TTargetRow& row : run.Rows)
            FSteps.push_back([this, open, &row, rightW] {
                if (open->Card)
                    open->Right += MakeRow(open->Card, row, open->Right, rightW, open->Blocks++ > 0);
            });
    }
    FSteps.push_back([this, open] { CloseCard(*open); });
}

void TTargetList::PlanStray(const TStrayCard& s, int w) {
    auto open = std::make_shared<TOpenCard>();
    FSteps.push_back([this, &s, open, w] {
        const int titleH = WrappedHeight(kStrayTitle, 210, 12, true);
        const int textY = 36 + titleH + 6;
        const int textH = WrappedHeight(kStrayText, 210, 9);
        open->Top = FY;
        open->Least = std::max(s.Height, textY + textH + 12);
        TUiCard* c = Card(this, "strayCard", FY, w, open->Least);
        c->SetAccent(ColourOf(TTargetColour::Red));
        open->Card = c;
        MakeLabel(c, 24, 16, 210, 18, Q(kStrayCaption), 9, ColourOf(TTargetColour::Red), false, false, true);
        MakeLabel(c, 24, 36, 210, titleH, Q(kStrayTitle), 12, ColourOf(TTargetColour::Ink), true, true);
        MakeLabel(c, 24, textY, 210, textH, Q(kStrayText), 9, ColourOf(TTargetColour::Red), false, true);
        OpenRules(*open, false);
        c->show();
        Grow(FY + open->Least);
    });
    const int rightW = w - 302;
    for (const TTargetRow& row : s.Rows)
        FSteps.push_back([this, open, &row, rightW] {
            if (open->Card) open->Right += MakeRow(open->Card, row, open->Right, rightW, open->Blocks++ > 0);
        });
    FSteps.push_back([this, open] { CloseCard(*open); });
}

void TTargetList::OpenRules(TOpenCard& open, bool arrow) {
    open.Rule = new QWidget(open.Card);
    QPalette palette = open.Rule->palette();
    palette.setColor(QPalette::Window, ColourOf(TTargetColour::Line));
    open.Rule->setPalette(palette);
    open.Rule->setAutoFillBackground(true);
    open.Rule->setGeometry(UiScale(250), UiScale(12), 1, UiScale(open.Least - 24));
    if (!arrow) return;
    open.Arrow = MakeLabel(open.Card, 256, open.Least / 2 - 14, 24, 28, QStringLiteral("→"), 15,
                           QColor(kUiMuted), true);
    open.Arrow->setAlignment(Qt::AlignCenter);
}

void TTargetList::CloseCard(TOpenCard& open) {
    if (!open.Card) return;
    const int height = std::max(open.Least, open.Right + 4);
    SetBoundsScaled(open.Card, 0, open.Top, FWidth, height);
    // The rule between the columns and the arrow follow the card's final height.
    open.Rule->setGeometry(UiScale(250), UiScale(12), 1, UiScale(height - 24));
    if (open.Arrow) SetBoundsScaled(open.Arrow, 256, height / 2 - 14, 24, 28);
    FY = open.Top + height + kGap;
    Grow(FY);
}

int TTargetList::MakeRow(TUiCard* card, const TTargetRow& row, int top, int w, bool line) {
    const TRowSize size = SizeOf(row, w);
    if (line) Line(card, kRightX, top, w, 0);
    // The block takes the card's fill, so its pill and button find the right backdrop.
    auto* block = new QWidget(card);
    block->setObjectName(QStringLiteral("goodsRow"));
    QPalette palette = block->palette();
    palette.setColor(QPalette::Window, card->Fill());
    block->setPalette(palette);
    SetBoundsScaled(block, kRightX, top, w, size.Block + size.Explanation);

    const int textW = w - kSideW;
    FitLabel(block, 0, 10, textW, 22, row.Title, 11, ColourOf(TTargetColour::Ink), true)
        ->setObjectName(QStringLiteral("rowTitle"));
    MakeLabel(block, 0, 36, textW, size.Code, Q(row.CodeLine), 9, ColourOf(TTargetColour::Slate), false, true)
        ->setObjectName(QStringLiteral("rowCode"));
    MakeLabel(block, 0, size.TotalsY, textW, size.Totals, Q(row.TotalsLine), 9,
              InkOr(row.TotalsColour, 0x0F1F2E), false, true)
        ->setObjectName(QStringLiteral("rowTotals"));
    if (!row.Pill.Caption.empty()) {
        const QColor ink = ColourOf(row.Pill.Ink);
        auto* pill = new TUiPill(block, ink);
        pill->setObjectName(QStringLiteral("statePill"));
        pill->SetFill(ColourOf(row.Pill.Fill));
        pill->SetDot(ink);
        pill->SetText(Q(row.Pill.Caption));
        pill->setToolTip(Q(row.Pill.Hint));
        SetBoundsScaled(pill, w - 128, 10, 128, 28);
    }
    if (!row.Review.empty()) {
        QLabel* review = MakeLabel(block, w - 260, 42, 260, 18, Q(row.Review), 9, ColourOf(row.ReviewColour),
                                   false, false, true);
        review->setObjectName(QStringLiteral("reviewLabel"));
        review->setAlignment(Qt::AlignRight | Qt::AlignTop);
        review->setToolTip(Q(row.ReviewHint));
    }
    auto* request = new TUiButton(block);
    request->setObjectName(QStringLiteral("requestButton"));
    request->SetKind(TUiButtonKind::Link);
    request->SetText(Q(kRequestButtonText));
    SetBoundsScaled(request, w - 128, 64, 128, 26);
    // The goods is captured now: a later render cannot change what this button asks about.
    const TRequestTarget target = row.Target;
    connect(request, &TUiClickable::clicked, this,
            [this, target, request] { emit requestClicked(target, request); });
    if (!row.Explanation.empty())
        MakeLabel(block, 0, size.Block, w, size.Explanation, Q(row.Explanation), 9,
                  ColourOf(row.ExplanationColour), false, true)
            ->setObjectName(QStringLiteral("explanation"));
    block->show();
    return size.Block + size.Explanation;
}

} // namespace pavona

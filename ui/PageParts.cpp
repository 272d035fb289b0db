// The history pages' shared parts: reads through the bridge, the row model, panels and lists,
// right-edge anchoring.
#include "ui/PageParts.h"

#include "engine/Worker.h"
#include "ui/AgentUi.h"
#include "ui/EngineBridge.h"
#include "ui/UiControls.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

#include <mutex>

namespace pavona {

namespace {

constexpr QRgb kInk = 0x0F1F2E;
constexpr QRgb kSelection = 0xDCE7F1; // a light blue under the ink, the same with or without focus

void PaintBackdrop(QWidget* panel) {
    QPalette own = panel->palette();
    own.setColor(QPalette::Window, QColor(kUiBackdrop));
    panel->setPalette(own);
    panel->setAutoFillBackground(true);
}

// Moves or widens the registered children of one parent whenever the parent's size changes.
class TRightAnchors : public QObject {
  public:
    explicit TRightAnchors(QWidget* parent) : QObject(parent) {
        setObjectName(kName);
        parent->installEventFilter(this);
    }
    // Found by name: without a meta-object of its own, a cast would take any child for it.
    static constexpr const char* kName = "rightAnchors";

    void Add(QWidget* child, int gap, bool stretch) {
        FEntries.push_back({child, gap, stretch});
        Place(static_cast<QWidget*>(parent())->width());
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == parent() && event->type() == QEvent::Resize)
            Place(static_cast<QWidget*>(watched)->width());
        return false;
    }

  private:
    struct TEntry {
        QPointer<QWidget> Child;
        int Gap = 0;
        bool Stretch = false;
    };

    void Place(int width) {
        for (const TEntry& e : FEntries) {
            if (!e.Child) continue;
            const QRect r = e.Child->geometry();
            const int right = width - UiScale(e.Gap);
            if (e.Stretch)
                e.Child->setGeometry(r.x(), r.y(), std::max(0, right - r.x()), r.height());
            else
                e.Child->move(right - r.width(), r.y());
        }
    }

    std::vector<TEntry> FEntries;
};

void Anchor(QWidget* child, int gap, bool stretch) {
    QWidget* parent = child->parentWidget();
    auto* anchors = static_cast<TRightAnchors*>(
        parent->findChild<QObject*>(QString::fromLatin1(TRightAnchors::kName), Qt::FindDirectChildrenOnly));
    if (anchors == nullptr) anchors = new TRightAnchors(parent);
    anchors->Add(child, gap, stretch);
}

// Draws a cell's text 4 design pixels in from the edge it is aligned to, and a right-aligned figure
// 6 in from the right, so it never touches the next column's text; the other edge keeps no margin,
// so the design's narrow columns ("09:00:00" in 64) still show their text whole. The selection
// covers the whole cell.
class TPaddedCells : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem cell(option);
        initStyleOption(&cell, index);
        const QString text = cell.text;
        cell.text.clear();
        const QWidget* view = cell.widget;
        QStyle* style = view != nullptr ? view->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, view);
        const bool right = (cell.displayAlignment & Qt::AlignRight) != 0;
        const QRect box =
            right ? cell.rect.adjusted(0, 0, -UiScale(6), 0) : cell.rect.adjusted(UiScale(4), 0, 0, 0);
        const bool selected = (cell.state & QStyle::State_Selected) != 0;
        painter->save();
        painter->setFont(cell.font);
        painter->setPen(cell.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter->drawText(box, static_cast<int>(cell.displayAlignment) | Qt::TextSingleLine,
                          QFontMetrics(cell.font).elidedText(text, Qt::ElideRight, box.width()));
        painter->restore();
    }
};

// One thread for every page's preparing and filtering: each page drops an answer that a later ask
// has overtaken, so running them one after another costs nothing and keeps their order.
TWorker& PagesWorker() {
    static TWorker worker;
    return worker;
}

const QEvent::Type kResultEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

// A result handed to the page's thread; the posted event owns it outright.
class TResultEvent : public QEvent {
  public:
    explicit TResultEvent(std::function<void()> f) : QEvent(kResultEvent), Call(std::move(f)) {}
    std::function<void()> Call;
};

} // namespace

// Cleared when the receiver goes, under the lock the worker posts under, so no result is ever
// posted to a receiver that is gone (one posted just before is dropped with the receiver by Qt).
struct TOffThread::TMailbox {
    std::mutex Lock;
    TOffThread* Receiver = nullptr;
};

TOffThread::TOffThread(QObject* owner) : QObject(owner), FMailbox(std::make_shared<TMailbox>()) {
    FMailbox->Receiver = this;
}

TOffThread::~TOffThread() {
    std::lock_guard lock(FMailbox->Lock);
    FMailbox->Receiver = nullptr;
}

void TOffThread::Post(std::function<void()> work, std::function<void()> done) {
    PagesWorker().Post([mailbox = FMailbox, work = std::move(work), done = std::move(done)]() mutable {
        try {
            work();
        } catch (...) {
            // The result stays empty; the page keeps what it shows.
        }
        std::lock_guard lock(mailbox->Lock);
        if (mailbox->Receiver != nullptr)
            QCoreApplication::postEvent(mailbox->Receiver, new TResultEvent(std::move(done)));
    });
}

bool TOffThread::event(QEvent* e) {
    if (e->type() != kResultEvent) return QObject::event(e);
    static_cast<TResultEvent*>(e)->Call();
    return true;
}

TPageReads PageReadsOf(TEngineBridge& bridge) {
    TPageReads r;
    r.LedgerDay = [&bridge](TDateTime day, auto answer) { bridge.AskLedgerDay(day, std::move(answer)); };
    r.Files = [&bridge](auto answer) { bridge.AskFiles(std::move(answer)); };
    r.SendLog = [&bridge](int maxCount, auto answer) { bridge.AskSendLog(maxCount, std::move(answer)); };
    r.QueryRuns = [&bridge](auto answer) { bridge.AskQueryRuns(std::move(answer)); };
    r.LogDay = [&bridge](TDateTime day, auto answer) { bridge.AskLogDay(day, std::move(answer)); };
    return r;
}

TRowsModel::TRowsModel(const QStringList& captions, const std::vector<int>& rightAligned, QObject* parent)
    : QAbstractTableModel(parent), FCaptions(captions), FRight(static_cast<size_t>(captions.size()), false) {
    for (const int column : rightAligned)
        if (column >= 0 && column < captions.size()) FRight[static_cast<size_t>(column)] = true;
}

void TRowsModel::SetRows(int count, TCellText text) {
    beginResetModel();
    FCount = std::max(0, count);
    FText = std::move(text);
    endResetModel();
}

int TRowsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : FCount;
}

int TRowsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(FCaptions.size());
}

QVariant TRowsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= FCount) return {};
    if (role == Qt::DisplayRole) return FText ? FText(index.row(), index.column()) : QString();
    if (role == Qt::TextAlignmentRole) {
        const Qt::Alignment side =
            FRight[static_cast<size_t>(index.column())] ? Qt::AlignRight : Qt::AlignLeft;
        return QVariant::fromValue(side | Qt::AlignVCenter);
    }
    return {};
}

QVariant TRowsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= FCaptions.size()) return {};
    if (role == Qt::DisplayRole) return FCaptions[section];
    if (role == Qt::TextAlignmentRole) {
        const Qt::Alignment side = FRight[static_cast<size_t>(section)] ? Qt::AlignRight : Qt::AlignLeft;
        return QVariant::fromValue(side | Qt::AlignVCenter);
    }
    return {};
}

QWidget* MakeTopPanel(QWidget* parent, int height) {
    auto* panel = new QWidget(parent);
    panel->setFixedHeight(UiScale(height));
    PaintBackdrop(panel);
    return panel;
}

QTableView* MakeTable(QWidget* parent, const QStringList& captions, const std::vector<int>& widths,
                      const std::vector<int>& rightAligned, int rowHeight) {
    auto* list = new QTableView(parent);
    list->setModel(new TRowsModel(captions, rightAligned, list));
    list->setItemDelegate(new TPaddedCells(list));
    list->setFrameShape(QFrame::NoFrame);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setShowGrid(false);
    list->setWordWrap(false);
    list->setTextElideMode(Qt::ElideRight);
    list->setTabKeyNavigation(false);
    list->setCornerButtonEnabled(false);
    list->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    SetUiFont(list, 10, QColor(kInk));
    // The selection stays as visible when the list loses the focus (the operator reads a row while
    // typing in the search box).
    QPalette palette = list->palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Highlight, QColor(kSelection));
        palette.setColor(group, QPalette::HighlightedText, QColor(kInk));
        palette.setColor(group, QPalette::Base, QColor(kUiWhite));
    }
    list->setPalette(palette);
    // No focus rectangle around one cell of a whole-row selection; a flat white header; text kept
    // clear of the column edges, so a right-aligned figure never touches the next column's text.
    list->setStyleSheet(QStringLiteral("QTableView { outline: 0; }"
                                       "QHeaderView { background: #FFFFFF; border: none; }"
                                       "QHeaderView::section { background: #FFFFFF; color: #4B5B63;"
                                       " border: none; border-bottom: 1px solid #E1E6EA; padding: 0 %1px; }")
                            .arg(UiScale(4)));
    // Rows of one fixed height: scrolling through thousands of rows never measures one.
    QHeaderView* rows = list->verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setMinimumSectionSize(1);
    rows->setDefaultSectionSize(UiScale(rowHeight));
    QHeaderView* head = list->horizontalHeader();
    head->setFont(list->font());
    head->setFixedHeight(UiScale(28));
    head->setHighlightSections(false);
    head->setSectionsClickable(false);
    head->setStretchLastSection(false);
    head->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (size_t i = 0; i < widths.size() && i < static_cast<size_t>(captions.size()); ++i)
        head->resizeSection(static_cast<int>(i), UiScale(widths[i]));
    return list;
}

QTableView* MakeList(QWidget* parent, const QStringList& captions, const std::vector<int>& widths,
                     const std::vector<int>& rightAligned) {
    auto* panel = new QWidget(parent);
    PaintBackdrop(panel);
    auto* box = new QVBoxLayout(panel);
    box->setContentsMargins(UiScale(28), 0, UiScale(28), UiScale(20));
    box->setSpacing(0);
    QTableView* list = MakeTable(panel, captions, widths, rightAligned, 28);
    box->addWidget(list);
    return list;
}

TRowsModel* RowsOf(QTableView* list) {
    return static_cast<TRowsModel*>(list->model());
}

TFitLabel::TFitLabel(Qt::TextElideMode elide, QWidget* parent) : QLabel(parent), FElide(elide) {}

void TFitLabel::SetFitText(const QString& text) {
    setText(text);
    UpdateTip();
}

QString TFitLabel::ShownText() const {
    return QFontMetrics(font()).elidedText(text(), FElide, contentsRect().width());
}

void TFitLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(contentsRect(), static_cast<int>(alignment()) | Qt::TextSingleLine, ShownText());
}

void TFitLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    UpdateTip();
}

void TFitLabel::UpdateTip() {
    setToolTip(ShownText() == text() ? QString() : text());
}

TFitLabel* MakeFitLabel(QWidget* parent, int left, int top, int width, int height, int size,
                        const QColor& colour, bool semi, Qt::TextElideMode elide) {
    auto* label = new TFitLabel(elide, parent);
    label->setTextFormat(Qt::PlainText);
    label->setAutoFillBackground(false);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    SetBoundsScaled(label, left, top, width, height);
    SetUiFont(label, size, colour, false, semi);
    return label;
}

TUiButton* MakeToolButton(QWidget* parent, const QString& caption, int left, int top, int width, int height) {
    auto* button = new TUiButton(parent);
    button->SetKind(TUiButtonKind::Secondary);
    button->SetText(caption);
    SetBoundsScaled(button, left, top, width, height);
    return button;
}

QLineEdit* MakeSearchBox(QWidget* parent, const QString& placeholder, int left, int top, int width,
                         int height) {
    auto* box = new QLineEdit(parent);
    SetBoundsScaled(box, left, top, width, height);
    SetUiFont(box, 10, QColor(kInk));
    QPalette palette = box->palette();
    palette.setColor(QPalette::PlaceholderText, QColor(kUiMuted));
    box->setPalette(palette);
    box->setPlaceholderText(placeholder);
    box->setClearButtonEnabled(true);
    return box;
}

void AnchorRight(QWidget* child, int rightGap) {
    Anchor(child, rightGap, false);
}

void StretchRight(QWidget* child, int rightGap) {
    Anchor(child, rightGap, true);
}

} // namespace pavona

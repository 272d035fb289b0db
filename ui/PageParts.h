// What the history pages share: where their records come from, the header panel and the row list
// they are built from, anchoring to the right edge, and handing work to a thread of their own.
#pragma once

#include "common/DateTime.h"
#include "store/AgentLedger.h"
#include "store/AgentLog.h"
#include "store/AgentSendLog.h"

#include <QAbstractTableModel>
#include <QLabel>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QLineEdit;
class QTableView;
class QWidget;

namespace pavona {

class TEngineBridge;
class TUiButton;

// The records the pages show. Each read answers on the window's thread, later or at once; the
// window wires them to the engine's reader thread (PageReadsOf), tests hand over their own data.
struct TPageReads {
    std::function<void(TDateTime day, std::function<void(std::vector<TLedgerLine>)>)> LedgerDay;
    std::function<void(std::function<void(std::vector<TFileSummary>)>)> Files;
    std::function<void(int maxCount, std::function<void(std::vector<TSendRecord>)>)> SendLog;
    std::function<void(std::function<void(std::vector<TQueryRun>)>)> QueryRuns;
    std::function<void(TDateTime day, std::function<void(std::vector<std::string>)>)> LogDay;
};
// Every read through the bridge's reader thread. The bridge must outlive the pages that use them.
TPageReads PageReadsOf(TEngineBridge& bridge);

// A list's rows as a function of (row, column): only the rows on screen are ever turned into text,
// so a day of thousands of lines costs no more to show than a screenful.
class TRowsModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    using TCellText = std::function<QString(int row, int column)>;
    TRowsModel(const QStringList& captions, const std::vector<int>& rightAligned, QObject* parent);

    // Replaces every row at once; the text function keeps what it needs alive.
    void SetRows(int count, TCellText text);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    QStringList FCaptions;
    std::vector<bool> FRight;
    int FCount = 0;
    TCellText FText;
};

// A header or tool row of a page: fixed design height, the backdrop colour, children placed at
// design coordinates.
QWidget* MakeTopPanel(QWidget* parent, int height);

// A read-only row list: whole-row selection that stays visible without the focus, no border,
// 10 pt ink, rows `rowHeight` design pixels high, one column per caption (widths in design
// pixels), the columns listed in rightAligned right-justified.
QTableView* MakeTable(QWidget* parent, const QStringList& captions, const std::vector<int>& widths,
                      const std::vector<int>& rightAligned, int rowHeight);
// The same list, 28-pixel rows, on a padded backdrop panel (28 left and right, 20 below), which is
// the list's parent: add list->parentWidget() to the page's layout.
QTableView* MakeList(QWidget* parent, const QStringList& captions, const std::vector<int>& widths,
                     const std::vector<int>& rightAligned);
TRowsModel* RowsOf(QTableView* list);

// A one-line label for a summary that can outgrow its width on a busy day: the text that does not
// fit is shortened with "…" where `elide` says, and the whole text shows in its tooltip. text()
// stays the whole text.
class TFitLabel : public QLabel {
    Q_OBJECT
  public:
    TFitLabel(Qt::TextElideMode elide, QWidget* parent);
    void SetFitText(const QString& text);
    // What the label shows at its present width.
    QString ShownText() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void UpdateTip();
    Qt::TextElideMode FElide;
};
// A TFitLabel at design bounds, like MakeLabel's labels otherwise.
TFitLabel* MakeFitLabel(QWidget* parent, int left, int top, int width, int height, int size,
                        const QColor& colour, bool semi, Qt::TextElideMode elide);

// A secondary button at design bounds.
TUiButton* MakeToolButton(QWidget* parent, const QString& caption, int left, int top, int width, int height);

// A one-line search box at design bounds: 10 pt ink, a grey placeholder.
QLineEdit* MakeSearchBox(QWidget* parent, const QString& placeholder, int left, int top, int width,
                         int height);

// Keeps a child `rightGap` design pixels from its parent's right edge as the parent resizes:
// moved (AnchorRight, a button anchored top and right) or widened (StretchRight, a label anchored
// left, top and right).
void AnchorRight(QWidget* child, int rightGap);
void StretchRight(QWidget* child, int rightGap);

// Hands a page's work to the pages' worker thread and the result back to the page's thread: the
// page owns one, and once it is gone no result reaches it. The hand-over is the engine bridge's: a
// posted event that owns the result, so nothing else is shared between the threads.
class TOffThread : public QObject {
  public:
    explicit TOffThread(QObject* owner);
    ~TOffThread() override;

    // `done` gets what `work` returned, or T{} (an empty pointer for the pages) when it threw, so
    // a page never stays busy.
    template <class T> void Run(std::function<T()> work, std::function<void(T)> done) {
        auto result = std::make_shared<T>();
        Post([work = std::move(work), result] { *result = work(); },
             [done = std::move(done), result] { done(std::move(*result)); });
    }

  protected:
    bool event(QEvent* e) override;

  private:
    struct TMailbox;
    void Post(std::function<void()> work, std::function<void()> done);
    std::shared_ptr<TMailbox> FMailbox;
};

} // namespace pavona

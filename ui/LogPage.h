// The log page ("로그"): one day of the agent log, newest first, in four columns, with day stepping,
// a filter for warnings and errors, a search, and the day's file opened in the file manager.
#pragma once

#include "ui/DiagText.h"
#include "ui/PageParts.h"

#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QTableView;

namespace pavona {

class TUiButton;

class TLogPage : public QWidget {
    Q_OBJECT
  public:
    using TOpener = std::function<bool(const QUrl&)>;
    // Only reads.LogDay is used; `opener` opens the log folder (QDesktopServices when empty).
    TLogPage(int cardWidth, TPageReads reads, QWidget* parent = nullptr, TOpener opener = nullptr);

    // Reads the shown day again (the window calls it whenever the page comes to the front).
    void Reload();
    // One day back or forward and reload; forward never passes today.
    void StepDay(int days);
    void SetOnlyWarnings(bool on);
    // Creates the log folder when it is missing and opens it.
    void OpenLogFolder();

    TDateTime Day() const { return FDay; }
    bool OnlyWarnings() const { return FOnlyWarn; }
    // A read, a filter, or a search waiting for typing to pause is on its way.
    bool Busy() const;

    // How long typing must pause before the search runs.
    static constexpr int kSearchPauseMs = 250;

  signals:
    // The list shows the answer to the last read, filter and search asked for.
    void settled();

  private:
    struct TView {
        std::shared_ptr<const TLogDay> Day;
        std::vector<int> Rows; // newest first
    };

    void BuildTop(int w);
    void Loaded(int ticket, TDateTime day, std::vector<std::string> lines);
    void ApplyFilter();
    void Show(const std::shared_ptr<const TView>& view);

    TPageReads FReads;
    TOpener FOpener;
    TDateTime FDay = 0;
    bool FOnlyWarn = false;
    TOffThread* FOffThread; // the day's preparing and searching
    std::shared_ptr<const TLogDay> FData;
    std::shared_ptr<const TView> FView;
    int FLoadTicket = 0;
    bool FLoading = false;
    int FFilterTicket = 0;
    int FShownTicket = 0;
    // Restarted by every keystroke: a day of tens of thousands of lines is searched once typing
    // pauses, not once per character.
    QTimer FSearchPause;

    QLabel* FDayLabel = nullptr;
    TFitLabel* FSum = nullptr;
    QLineEdit* FSearch = nullptr;
    TUiButton* FFilterBtn = nullptr;
    QTableView* FList = nullptr;
};

} // namespace pavona

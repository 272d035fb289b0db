// How long the history pages take to show a big store's records, and how long the window's event
// loop goes without a beat meanwhile (a 10 ms probe; the target is under 100 ms): the sales history
// over a 60-day spool of 1,000 lines a day, the send history over its 60 files and 2,500 send
// records, and the log page over a day of 50,000 lines, loaded and then searched.
#include "common/Text.h"
#include "config/AgentSettings.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "pos/AgentReport.h"
#include "store/AgentLog.h"
#include "store/AgentSendLog.h"
#include "store/AgentSpool.h"
#include "ui/AgentUi.h"
#include "ui/EngineBridge.h"
#include "ui/LogPage.h"
#include "ui/SalesPage.h"
#include "ui/SendsPage.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <unistd.h>

namespace pavona {
namespace {

constexpr int kDays = 60;
constexpr int kLinesPerDay = 1000;
constexpr int kLogLines = 50000;
const TDateTime kFirstDay = EncodeDate(2026, 8, 1);
const TDateTime kLastDay = IncDay(kFirstDay, kDays - 1);
const TDateTime kNow = IncMinute(kLastDay, 20 * 60);

QApplication& App() {
    static QApplication* app = [] {
        // The pages are real widgets; no display is needed to measure them.
        if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
        PrepareUiScaling();
        static int argc = 1;
        static char name[] = "bench_ui_history_pages";
        static char* argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    return *app;
}

// A data folder of its own holding the spool, the send log and the last day's agent log. Made once.
struct TStore {
    std::string Error;

    TStore() {
        char dir[] = "/tmp/pavona-bench-pages-XXXXXX";
        if (mkdtemp(dir) == nullptr) {
            Error = "mkdtemp";
            return;
        }
        for (const char* var : {"LOCALAPPDATA", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "HOME"})
            setenv(var, dir, 1);
        TSpool spool(SpoolDir(), 0);
        for (int d = 0; d < kDays; ++d) {
            const TDateTime day = IncDay(kFirstDay, d);
            const std::string name = FormatDay(day);
            std::vector<std::string> sent;
            spool.BeginBatch();
            for (int n = 0; n < kLinesPerDay; ++n) {
                TReportLine r;
                r.ReceiptNo = Fmt("%d%04d", d, n / 3);
                r.TxKey = MakeTxKey(r.ReceiptNo, n % 3 + 1);
                r.SoldAtLocal = IncSecond(day, 8 * 3600 + n * 50);
                r.VendorItemCode = std::to_string(500 + n % 300);
                r.VendorItemName = "국산 대파 1단";
                r.Barcode = Fmt("8801234%06d", n);
                r.Quantity = 1;
                r.UnitPrice = r.Amount = 3000;
                r.DiscountAmount = n % 2 ? 600 : 0;
                r.PosNo = "2";
                spool.Append(name, r.TxKey, LineJson(r));
                if (n % 10 != 0) sent.push_back(r.TxKey);
            }
            if (spool.EndBatch() != 0 || !spool.MarkSent(name, sent)) {
                Error = "spool";
                return;
            }
        }
        for (int i = 0; i < 2500; ++i) {
            TSendRecord r;
            r.At = IncMinute(kFirstDay, i * 30);
            r.Kind = "실적";
            r.FileDay = FormatDay(r.At);
            r.Lines = r.Accepted = 200;
            r.Ok = true;
            AppendSendRecordTo(SendLogPath(), r);
        }
        std::string log;
        for (int i = 0; i < kLogLines; ++i) {
            const TDateTime at = IncSecond(kLastDay, i);
            log += FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", at);
            log += i % 50 == 0 ? "  주의  수집  POS 응답이 느립니다"
                               : "  정보  전송  실적 200줄 → 받음 200 · 중복 0 · 거절 0";
            log += "\r\n";
        }
        if (!platform::MakeDirs(LogDir()) ||
            !platform::AppendToFile(LogDir() + "agent-" + FormatDay(kLastDay) + ".log", log))
            Error = "log";
    }
};

const TStore& Store() {
    static TStore store;
    return store;
}

struct TTimes {
    qint64 Total = 0;   // from the ask until the page showed the answer
    qint64 Longest = 0; // the longest gap between two beats of the probe
};

// Runs `start`, then the event loop until the page says it settled, probing the loop every 10 ms.
template <class TPage> TTimes Measure(TPage& page, const std::function<void()>& start) {
    QEventLoop loop;
    const QMetaObject::Connection done = QObject::connect(&page, &TPage::settled, &loop, [&] {
        if (!page.Busy()) loop.quit();
    });
    QElapsedTimer beat, total;
    TTimes t;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] { t.Longest = std::max(t.Longest, beat.restart()); });
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    probe.start(10);
    beat.start();
    total.start();
    start();
    if (page.Busy()) loop.exec();
    t.Total = total.elapsed();
    t.Longest = std::max(t.Longest, beat.elapsed());
    QObject::disconnect(done);
    return t;
}

void Report(benchmark::State& state, const TTimes& t) {
    state.counters["load_ms"] = static_cast<double>(t.Total);
    state.counters["longest_gap_ms"] = static_cast<double>(t.Longest);
}

// The pages' parts as the window builds them, and the engine's reader thread behind them.
struct TRig {
    FixedClock Clock{kNow};
    ScopedClock Scope{Clock};
    TEngineBridge Bridge;
    QWidget Host;
    TRig() {
        LoadUiFonts();
        Host.resize(UiScale(780), UiScale(744));
        Host.show();
    }
};

void BM_SalesHistoryDay(benchmark::State& state) {
    App();
    if (!Store().Error.empty()) return state.SkipWithError(Store().Error.c_str());
    TRig rig;
    TTimes t;
    for (auto _ : state) {
        TSalesPage page(723, PageReadsOf(rig.Bridge), &rig.Host);
        t = Measure(page, [&] { page.Reload(); });
        if (page.RowLine(kLinesPerDay - 1) == nullptr) state.SkipWithError("the day's lines were not shown");
    }
    Report(state, t);
}
BENCHMARK(BM_SalesHistoryDay)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_SendHistory(benchmark::State& state) {
    App();
    if (!Store().Error.empty()) return state.SkipWithError(Store().Error.c_str());
    TRig rig;
    TTimes t;
    for (auto _ : state) {
        TSendsPage page(723, PageReadsOf(rig.Bridge), &rig.Host);
        t = Measure(page, [&] { page.Reload(); });
    }
    Report(state, t);
}
BENCHMARK(BM_SendHistory)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_LogDay(benchmark::State& state) {
    App();
    if (!Store().Error.empty()) return state.SkipWithError(Store().Error.c_str());
    TRig rig;
    TTimes t;
    for (auto _ : state) {
        TLogPage page(723, PageReadsOf(rig.Bridge), &rig.Host, [](const QUrl&) { return true; });
        t = Measure(page, [&] { page.Reload(); });
        if (page.findChild<QLabel*>("logSum")->text().startsWith("0줄"))
            state.SkipWithError("the day was not shown");
    }
    Report(state, t);
}
BENCHMARK(BM_LogDay)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Typing a word into the search of the loaded 50,000-line day, one character at a time: the time
// runs from the first keystroke to the list showing the found lines (the pause included).
void BM_LogSearch(benchmark::State& state) {
    App();
    if (!Store().Error.empty()) return state.SkipWithError(Store().Error.c_str());
    TRig rig;
    TTimes t;
    for (auto _ : state) {
        TLogPage page(723, PageReadsOf(rig.Bridge), &rig.Host, [](const QUrl&) { return true; });
        Measure(page, [&] { page.Reload(); });
        auto* search = page.findChild<QLineEdit*>("logSearch");
        t = Measure(page, [search] {
            for (const QString& typed : {QString("p"), QString("po"), QString("pos")})
                search->setText(typed);
        });
    }
    Report(state, t);
}
BENCHMARK(BM_LogSearch)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace
} // namespace pavona

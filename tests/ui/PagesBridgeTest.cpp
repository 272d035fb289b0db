// The four history pages wired to the engine's reader thread through the bridge, over real files in
// a temporary data folder: spool lines with a sent mark and a void, send records, the day's agent
// log and this process's query runs.
#include "ui/LogPage.h"
#include "ui/QueryPage.h"
#include "ui/SalesPage.h"
#include "ui/SendsPage.h"

#include "tests/support/TestSupport.h"
#include "tests/ui/PageTestSupport.h"
#include "ui/EngineBridge.h"

#include "config/AgentSettings.h"
#include "platform/Clock.h"
#include "pos/AgentReport.h"
#include "store/AgentSpool.h"

#include <QLabel>

namespace pavona {
namespace {

const TDateTime kNow = EncodeDateTime(2026, 10, 6, 14, 30, 0);

std::string Payload(const std::string& receipt, int seq, std::int64_t amount, std::int64_t discount) {
    TReportLine r;
    r.TxKey = MakeTxKey(receipt, seq);
    r.SoldAtLocal = EncodeDateTime(2026, 10, 6, 9, seq, 0);
    r.VendorItemCode = "512";
    r.VendorItemName = "대파";
    r.Quantity = 1;
    r.UnitPrice = r.Amount = amount;
    r.DiscountAmount = discount;
    r.PosNo = std::string("2"); // assigned a literal, GCC 12 warns of an overlapping copy that is none
    r.ReceiptNo = receipt;
    return LineJson(r);
}

class PagesBridgeTest : public test::TempDataTest {
  protected:
    PagesBridgeTest() : FScope(FClock) { UiTestApp(); }

    template <class TPage> TPage& Loaded(TPage* page) {
        page->Reload();
        EXPECT_TRUE(WaitSettled(*page));
        return *page;
    }

    const ScaleGuard FScale{1.0};
    FixedClock FClock{kNow};
    ScopedClock FScope;
    QWidget FHost;
};

TEST_F(PagesBridgeTest, EveryPageShowsWhatItsFilesHold) {
    TSpool spool(SpoolDir(), 0);
    ASSERT_TRUE(spool.Append("2026-10-06", "731:1", Payload("731", 1, 3000, 600)));
    ASSERT_TRUE(spool.Append("2026-10-06", "731:2", Payload("731", 2, 5000, 1000)));
    ASSERT_TRUE(spool.Append("2026-10-06", "732:1", Payload("732", 1, 2000, 0)));
    ASSERT_TRUE(spool.MarkSent("2026-10-06", {"731:1", "731:2"}));
    TCancelOut voided;
    voided.TxKey = "731:2";
    voided.Kind = "void";
    voided.Reason = "POS 취소 #1";
    voided.OccurredAtLocal = EncodeDateTime(2026, 10, 6, 10, 0, 0);
    ASSERT_TRUE(spool.Append("2026-10-06-cancel", voided.TxKey, CancelJson(voided)));

    // Written oldest first; the page lists them newest first.
    for (int minute : {10, 20, 30}) {
        TSendRecord r;
        r.At = EncodeDateTime(2026, 10, 6, 9, minute, 0);
        r.Kind = "실적";
        r.FileDay = "2026-10-06";
        r.Lines = r.Accepted = minute;
        r.Ok = true;
        AppendSendRecord(r);
    }
    LogWarn("수집", "POS 응답이 느립니다");
    ClearQueryRunsForTests();
    RecordQueryRun(SQL_SALES, "SELECT 1", ":p1=2026-10-06 09:00:00", "", 3, 12);

    TEngineBridge bridge;
    const TPageReads reads = PageReadsOf(bridge);

    TSalesPage& sales = Loaded(new TSalesPage(760, reads, &FHost));
    EXPECT_EQ(
        sales.findChild<QLabel*>("salesSum")->text(),
        "영수증 2건 · 줄 3 · 매출 5,000원 · 농할 지원 600원 (1줄) · 협회 전송 2 / 대기 1 · 취소 1   — 줄을 "
        "두 번 누르면 영수증");

    TSendsPage& sends = Loaded(new TSendsPage(760, reads, &FHost));
    auto* files = sends.findChild<QTableView*>("filesList");
    // Correction files are not collection days.
    EXPECT_EQ(ColumnOf(files, 0), std::vector<std::string>{"2026-10-06"});
    EXPECT_EQ(Cell(files, 0, 1), "3");
    EXPECT_EQ(Cell(files, 0, 2), "2");
    EXPECT_EQ(Cell(files, 0, 3), "1");
    EXPECT_EQ(
        ColumnOf(sends.findChild<QTableView*>("sendsList"), 0),
        (std::vector<std::string>{"2026-10-06 09:30:00", "2026-10-06 09:20:00", "2026-10-06 09:10:00"}));
    EXPECT_EQ(sends.findChild<QLabel*>("sendsSum")->text(),
              "오늘 3번 보냄 · 협회가 받은 줄 60 · 실패 0번 · 마지막 성공 10-06 09:30");

    TQueryPage& queries = Loaded(new TQueryPage(760, reads, &FHost));
    auto* list = queries.findChild<QTableView*>("queryList");
    EXPECT_EQ(Cell(list, 0, 0), SQL_SALES);
    EXPECT_EQ(Cell(list, 0, 4), "3");

    TLogPage& log = Loaded(new TLogPage(760, reads, &FHost));
    const QString sum = log.findChild<QLabel*>("logSum")->text();
    EXPECT_TRUE(sum.contains("이 날 주의 · 오류 1건")) << sum.toStdString();
    EXPECT_TRUE(sum.endsWith(QString::fromStdString(LogDir() + "agent-2026-10-06.log"))) << sum.toStdString();
}

} // namespace
} // namespace pavona

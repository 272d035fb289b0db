// The target-items page from prepared data: goods in every till-discount state with decisions and a
// goods no item designates; the past round; the page before the POS goods were read.
#include "engine/AgentSnapshot.h"
#include "tools/pictures/Scenes.h"
#include "ui/AgentUi.h"
#include "ui/AgentWindow.h"
#include "ui/TargetPage.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QScrollArea>
#include <QScrollBar>
#include <QThread>

namespace pavona::pictures {
namespace {

TPolicyItem Item(const char* code, const char* standard, const char* name, const char* review = "confirmed") {
    return {code, standard, name, 20, 2000, review};
}

// A winter programme in its second round.
TTargetData Winter() {
    TTargetData d;
    d.HasPolicy = true;
    d.Revision = 7;
    d.ProgramName = "겨울 농할";
    d.StartsOn = "2026-11-20";
    d.EndsOn = "2026-12-31";
    d.ProgramEnd = EncodeDate(2026, 12, 31);
    d.SubsidyCodes = {7001, 7002};
    d.Items = {Item("512", "V001", "사과(부사) 상품"),
               Item("513", "V002", "사과(홍로) 상품", "pending"),
               Item("600", "V003", "배"),
               Item("700", "V004", "감자"),
               Item("404", "V005", "마늘", "pending"),
               Item("610", "V006", "양파")};
    TRoundInfo past{1, "2026-11-20", "2026-11-30", "past", {}, {}};
    past.Items = {Item("512", "V001", "사과(부사) 상품"), Item("600", "V003", "배"),
                  Item("620", "V007", "무")};
    past.Designated = {{"V001", "사과"}, {"V003", "배"}, {"V007", "무"}};
    TRoundInfo current{2, "2026-12-01", "2026-12-15", "current", {}, {}};
    current.Designated = {{"V001", "사과(부사) 상품"},
                          {"V002", "사과(홍로) 상품"},
                          {"V003", "배"},
                          {"V004", "감자"},
                          {"V005", "마늘"},
                          {"V006", "양파"},
                          {"V008", "배추"}};
    TRoundInfo upcoming{3, "2026-12-16", "2026-12-31", "upcoming", {}, d.Items};
    d.Rounds = {past, current, upcoming};
    d.Decisions = {
        {"905", "수입 깐마늘 200g", "마늘", "rejected", "국산이 아닙니다", "2026-12-08T10:12:00+09:00"},
        {"906", "냉동 대파 500g", "대파", "rejected", "", "2026-12-03T16:40:00+09:00"},
        {"610", "양파 1.5kg 망", "양파", "confirmed", "", "2026-12-02T09:00:00+09:00"}};
    d.Goods = {{"512", "부사 사과 1.5kg", "8801234500512", "1.5kg", true},
               {"513", "홍로 사과 2kg 봉", "8801234500513", "2kg", true},
               {"600", "신고배 3입", "", "3입", true},
               {"700", "감자 1kg 봉", "8801234500700", "1kg", false},
               {"610", "양파 1.5kg 망", "8801234500610", "1.5kg", true},
               {"620", "제주 무 1개", "", "", true},
               {"999", "수입 바나나 1송이", "8809000000999", "", true}};
    d.Links = {{7001, "512", 20, 2000, EncodeDate(2026, 12, 31)},
               {7001, "600", 20, 2000, EncodeDate(2026, 12, 31)},
               {7001, "610", 20, 2000, EncodeDate(2026, 12, 31)},
               {7002, "999", 20, 2000, 0}};
    d.GoodsRead = d.ReadTried = true;
    return d;
}

TRoundTotals WinterTotals() {
    TRoundTotals t;
    t.Counted = true;
    t.From = EncodeDate(2026, 11, 20);
    t.To = EncodeDate(2026, 12, 10);
    t.ByCode["512"] = {"512", "부사 사과 1.5kg", 214, 231, 2'354'000, 470'800};
    t.ByCode["600"] = {"600", "신고배 3입", 87, 90, 1'071'000, 214'200};
    t.ByCode["610"] = {"610", "양파 1.5kg 망", 41, 44, 198'000, 39'600};
    t.ByCode["513"] = {"513", "홍로 사과 2kg 봉", 9, 9, 171'000, 0};
    t.ByCode["999"] = {"999", "수입 바나나 1송이", 12, 12, 47'400, 9'480};
    return t;
}

// Runs the window's loop until `busy` says no more (at most 5 s).
void RunUntil(const std::function<bool()>& busy) {
    QElapsedTimer clock;
    clock.start();
    do {
        QCoreApplication::processEvents();
        QThread::msleep(1);
    } while (busy() && clock.elapsed() < 5000);
}

// The window with the page in front, the page drawn from `data`; `prepare` runs on the page after it.
std::unique_ptr<QWidget> Window(const TTargetData& data,
                                std::function<void(TTargetPage&)> prepare = nullptr) {
    TAgentFormHooks hooks;
    hooks.AskExit = [](QWidget*) { return false; };
    hooks.TrayAvailable = [] { return false; };
    hooks.Quit = [] {};
    auto form = std::make_unique<TAgentForm>(hooks);
    form->SetStoreTitle(QStringLiteral("솔빛마트 본점   ·   사업자 1234567890"));
    form->SetConnection(QStringLiteral("협회 연결됨"), QColor(0x7AD271));
    TTargetHooks page;
    // No engine: the totals are answered at once; nothing else is asked while the picture is taken.
    page.AskRoundTotals = [](TDateTime, std::function<void(TRoundTotals)> answer) { answer(WinterTotals()); };
    auto* target = new TTargetPage(form->CardWidth(), form->DesignHeight(), page);
    form->SetPage(1, target);
    TAgentSnapshot s;
    s.ProgramStart = EncodeDate(2026, 11, 20);
    s.Targets = data;
    target->SetSnapshot(s);
    form->ShowPage(1);
    target->Shown();
    // Shown first, so a scene can scroll the laid-out list.
    form->show();
    RunUntil([target] { return target->Busy(); });
    if (prepare) prepare(*target);
    RunUntil([target] { return target->Busy(); });
    return form;
}

} // namespace

std::vector<TScene> TargetScenes() {
    return {
        {"target-items", true,
         [] {
             return Window(Winter(), [](TTargetPage& p) {
                 p.PlanClick();
                 // The cards of the items in view, the decisions above them scrolled away.
                 auto* box = p.findChild<QScrollArea*>("mapBox");
                 if (QWidget* first = p.findChild<QWidget*>("groupCard"))
                     box->verticalScrollBar()->setValue(first->y() - UiScale(32));
             });
         }},
        {"target-items-past", false,
         [] { return Window(Winter(), [](TTargetPage& p) { p.StepRound(-1); }); }},
        {"target-items-unread", false,
         [] {
             TTargetData d = Winter();
             d.Goods.clear();
             d.Links.clear();
             d.GoodsRead = false;
             d.ReadNote = "POS 에 연결하지 못했습니다 — 로그인 시간이 지났습니다(15초).";
             return Window(d);
         }},
    };
}

} // namespace pavona::pictures

// Generation of the demo sales: receipts over the opening hours of each day, with coupon and
// promotion discounts, cancels (whole and partial) and returns pointing at earlier sales.
#include "tools/demopos/DemoSales.h"

#include "tools/demopos/DemoCatalog.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

namespace pavona::demopos {
namespace {

class TGenerator {
  public:
    TGenerator(const TDemoOptions& o, TDateTime firstDay, TDemoDb& db, TDemoSummary& sum)
        : FOpt(o), FRng(o.Seed), FFirst(firstDay), FDb(db), FSum(sum),
          FDesignated(o.DesignatedCoupons.begin(), o.DesignatedCoupons.end()) {}

    bool Run();

  private:
    bool WriteMaster();
    void IndexCoupons();
    bool MakeSale(int day, TDateTime at);
    bool MakeReturn(int day, TDateTime at);
    bool MakeCancel(const TDemoReceipt& r, bool partial);
    void AddGoodsLine(TDemoReceipt& r, TDateTime day);
    std::int64_t NextOrdCode(int day, std::int64_t reg);
    void Tally(const TDemoReceipt& r);
    int DayIndex(TDateTime t) const;

    const TDemoOptions& FOpt;
    TRng FRng;
    TDateTime FFirst;
    TDemoDb& FDb;
    TDemoSummary& FSum;
    std::set<std::int64_t> FDesignated;
    TDemoCatalog FCat;
    std::vector<size_t> FActive, FActiveProduce;
    std::map<std::int64_t, std::vector<const TDemoCoupon*>> FByGoods; // targeted and group coupons
    const TDemoCoupon* FMember = nullptr;                             // untargeted store coupons
    const TDemoCoupon* FApp = nullptr;
    std::map<std::int64_t, std::int64_t> FSerial; // per register, reset each day
    std::int64_t FCancelSerial = 0;
    std::vector<TDemoReceipt> FPool; // sales still free to be returned
    std::set<std::int64_t> FUnknown;
};

std::int64_t Round10(std::int64_t v) {
    return v / 10 * 10;
}

std::int64_t DayNumber(TDateTime day) {
    const TDateParts p = DecodeDateTime(day);
    return p.Year * 10000LL + p.Month * 100 + p.Day;
}

int TGenerator::DayIndex(TDateTime t) const {
    return static_cast<int>(std::floor(DateOf(t) - FFirst + 0.5));
}

bool TGenerator::WriteMaster() {
    for (const TDemoGoods& g : FCat.Goods)
        if (!FDb.InsertGoods(g)) return false;
    for (const TSponsor& s : FCat.Sponsors)
        if (!FDb.InsertSponsor(s.Code, s.Name)) return false;
    for (const TGroupMember& m : FCat.Groups)
        if (!FDb.InsertGroupMember(m.Group, m.Goods)) return false;
    for (const TDemoCoupon& c : FCat.Coupons)
        if (!FDb.InsertCoupon(c)) return false;
    return true;
}

void TGenerator::IndexCoupons() {
    std::map<int, std::vector<std::int64_t>> groups;
    for (const TGroupMember& m : FCat.Groups)
        groups[m.Group].push_back(m.Goods);
    std::set<std::int64_t> targets;
    for (const TDemoCoupon& c : FCat.Coupons) {
        std::set<std::int64_t> reach;
        if (c.Target == 1 && c.Goods != 0) reach.insert(c.Goods);
        if (c.Group != 0) reach.insert(groups[c.Group].begin(), groups[c.Group].end());
        for (std::int64_t g : reach)
            FByGoods[g].push_back(&c);
        if (c.Designated) targets.insert(reach.begin(), reach.end());
        if (reach.empty() && c.DcType == 1)
            FMember = &c;
        else if (reach.empty())
            FApp = &c;
    }
    FSum.DesignatedTargets.assign(targets.begin(), targets.end());
    for (size_t i = 0; i < FCat.Goods.size(); ++i) {
        if (!FCat.Goods[i].Active) continue;
        FActive.push_back(i);
        if (FCat.IsProduce[i]) FActiveProduce.push_back(i);
    }
}

std::int64_t TGenerator::NextOrdCode(int day, std::int64_t reg) {
    // Receipt numbers as tills print them: date, register, running number of the day.
    return DayNumber(IncDay(FFirst, day)) * 100000000LL + reg * 1000000LL + (++FSerial[reg]);
}

void TGenerator::AddGoodsLine(TDemoReceipt& r, TDateTime day) {
    const int seq = static_cast<int>(r.Lines.size()) + 1;
    TDemoLine g;
    g.Seq = seq;
    if (FRng.Chance(0.02)) {
        // A department key: the cashier rings up an amount without a goods master row.
        g.Goods = kDeptGoodsFirst + FRng.Range(0, kDeptGoodsCount - 1);
        g.Qty = 1;
        g.Price = FRng.Range(10, 500) * 10;
        FUnknown.insert(g.Goods);
        r.Lines.push_back(g);
        return;
    }
    const std::vector<size_t>& from =
        (FRng.Chance(0.5) && !FActiveProduce.empty()) ? FActiveProduce : FActive;
    const TDemoGoods& goods =
        FCat.Goods[from[static_cast<size_t>(FRng.Range(0, (std::int64_t)from.size() - 1))]];
    g.Goods = goods.Code;
    g.Stype = goods.Stype;
    g.UnitQty = goods.UnitQty;
    if (goods.Stype == 2) {
        g.Qty = FRng.Range(30, 250); // hundredths of a kg from the scale
        g.Price = Round10(goods.Price * g.Qty / 100);
    } else if (goods.UnitQty > 1) {
        g.Qty = FRng.Chance(0.3) ? FRng.Range(1, goods.UnitQty * 2) : goods.UnitQty * FRng.Range(1, 2);
        g.Price = Round10(goods.Price * g.Qty / goods.UnitQty);
    } else {
        const std::int64_t roll = FRng.Range(1, 100);
        g.Qty = roll <= 75 ? 1 : (roll <= 95 ? 2 : 3);
        g.Price = goods.Price * g.Qty;
    }
    if (FRng.Chance(0.08)) g.Dc = Round10(g.Price * FRng.Range(5, 10) / 100);
    r.Lines.push_back(g);

    std::int64_t left = g.Price - g.Dc;
    auto discount = [&](int kind, std::int64_t coupon, std::int64_t amount) {
        amount = std::min(amount, left);
        if (amount <= 0) return;
        left -= amount;
        TDemoLine d;
        d.Kind = kind;
        d.Goods = g.Goods;
        d.Coupon = coupon;
        d.Qty = g.Qty;
        d.Stype = g.Stype;
        d.UnitQty = g.UnitQty;
        // Now and then the till splits one coupon's discount over two lines.
        if (coupon != 0 && amount >= 20 && FRng.Chance(0.02)) {
            d.Seq = static_cast<int>(r.Lines.size()) + 1;
            d.Price = -Round10(amount / 2);
            r.Lines.push_back(d);
            amount += d.Price;
        }
        d.Seq = static_cast<int>(r.Lines.size()) + 1;
        d.Price = -amount;
        r.Lines.push_back(d);
    };
    auto couponAmount = [&](const TDemoCoupon& c) {
        std::int64_t a = c.DcType == 1 ? Round10(left * c.Dc / 100) : c.Dc;
        if (c.Limit > 0) a = std::min(a, c.Limit);
        return a;
    };
    auto valid = [&](const TDemoCoupon& c) { return c.EndsOn == 0 || c.EndsOn >= day; };
    auto it = FByGoods.find(g.Goods);
    if (it != FByGoods.end()) {
        for (const TDemoCoupon* c : it->second)
            if (valid(*c) && FRng.Chance(c->Designated ? 0.7 : 0.4)) discount(1, c->Code, couponAmount(*c));
    }
    if (r.MemberCode != 0 && FMember && FRng.Chance(0.25)) discount(3, FMember->Code, couponAmount(*FMember));
    if (r.MemberCode != 0 && FApp && g.Price >= 10000 && FRng.Chance(0.1))
        discount(1, FApp->Code, couponAmount(*FApp));
    if (FRng.Chance(0.05)) discount(2, 0, FRng.Range(1, 5) * 100); // a promotion without a coupon
}

void TGenerator::Tally(const TDemoReceipt& r) {
    const int idx = DayIndex(r.At);
    if (idx < 0 || idx >= static_cast<int>(FSum.Days.size())) return;
    TDemoDay& d = FSum.Days[static_cast<size_t>(idx)];
    ++d.Receipts;
    ++FSum.Receipts;
    const bool isReturn = r.RegType == 2;
    if (isReturn) ++d.ReturnReceipts;
    for (const TDemoLine& l : r.Lines) {
        if (l.Kind == 0) {
            ++d.GoodsLines;
            ++FSum.GoodsLines;
            if (!isReturn && l.Price > 0 && l.Qty > 0) {
                ++d.ReportableLines;
                d.ReportableAmount += l.Price;
            }
        } else {
            ++d.DiscountLines;
            ++FSum.DiscountLines;
            if (FDesignated.count(l.Coupon)) d.DesignatedDiscount -= l.Price;
        }
    }
}

bool TGenerator::MakeSale(int day, TDateTime at) {
    TDemoReceipt r;
    r.Register = FRng.Range(1, FOpt.Registers);
    r.OrdCode = NextOrdCode(day, r.Register);
    r.At = at;
    // The oldest till (the last one of three or more) leaves the register type empty.
    r.RegType = (FOpt.Registers >= 3 && r.Register == FOpt.Registers) ? 0 : 1;
    r.MemberCode = FRng.Chance(0.4) ? 10000000 + FRng.Range(1, 89999) : 0;
    if (FRng.Chance(0.003)) {
        TDemoLine lead; // a receipt-level discount keyed in before the first item
        lead.Seq = 1;
        lead.Kind = 3;
        lead.Qty = 0;
        lead.Price = -100;
        r.Lines.push_back(lead);
    }
    const std::int64_t n = FRng.Range(1, FOpt.MaxGoodsLines);
    for (std::int64_t i = 0; i < n; ++i)
        AddGoodsLine(r, IncDay(FFirst, day));
    if (!FDb.InsertReceipt(r)) return false;
    Tally(r);
    int goodsLines = 0;
    for (const TDemoLine& l : r.Lines)
        goodsLines += l.Kind == 0 ? 1 : 0;
    const double roll = static_cast<double>(FRng.Range(0, 999999)) / 1e6;
    if (roll < FOpt.FullCancelRate) return MakeCancel(r, false);
    if (roll < FOpt.FullCancelRate + FOpt.PartialCancelRate && goodsLines >= 2) return MakeCancel(r, true);
    FPool.push_back(std::move(r));
    if (FPool.size() > 600) FPool.erase(FPool.begin(), FPool.begin() + 100);
    return true;
}

// Lines of a receipt grouped by goods line: each group is a goods line and the discount lines
// after it.
std::vector<std::vector<TDemoLine>> GoodsGroups(const std::vector<TDemoLine>& lines) {
    std::vector<std::vector<TDemoLine>> groups;
    for (const TDemoLine& l : lines) {
        if (l.Kind == 0)
            groups.push_back({l});
        else if (!groups.empty())
            groups.back().push_back(l);
    }
    return groups;
}

// The share of a group that one unit of its goods line carries (discounts truncated toward zero).
std::vector<TDemoLine> OneUnitOf(const std::vector<TDemoLine>& group) {
    const std::int64_t qty = group.front().Qty;
    std::vector<TDemoLine> out = group;
    for (TDemoLine& l : out) {
        l.Price = l.Kind == 0 ? Round10(l.Price / qty) : l.Price / qty;
        l.Dc = l.Dc / qty;
        l.Qty = l.Kind == 0 ? 1 : l.Qty / qty;
    }
    return out;
}

bool TGenerator::MakeCancel(const TDemoReceipt& r, bool partial) {
    TDemoCancel c;
    const int day = DayIndex(r.At);
    c.CancelCode = DayNumber(IncDay(FFirst, day)) * 1000000LL + (++FCancelSerial);
    c.OrdCode = r.OrdCode;
    c.Register = r.Register;
    // Cancelled a few minutes later at the same till, never past the day's end.
    c.At = std::min(IncSecond(r.At, FRng.Range(60, 1800)), FromMSecs(ToMSecs(IncDay(FFirst, day + 1)) - 3));
    if (!partial) {
        c.Lines = r.Lines;
    } else {
        auto groups = GoodsGroups(r.Lines);
        // Keep a strict, non-empty subset of the goods in their receipt order.
        const size_t keep = static_cast<size_t>(FRng.Range(1, static_cast<std::int64_t>(groups.size()) - 1));
        std::vector<size_t> idx(groups.size());
        for (size_t i = 0; i < idx.size(); ++i)
            idx[i] = i;
        for (size_t i = idx.size() - 1; i > 0; --i)
            std::swap(idx[i], idx[static_cast<size_t>(FRng.Range(0, static_cast<std::int64_t>(i)))]);
        idx.resize(keep);
        std::sort(idx.begin(), idx.end());
        bool reduced = false;
        for (size_t i : idx) {
            const auto& g = groups[i];
            const TDemoLine& head = g.front();
            // Sometimes only one unit of a line bought several times is taken back.
            if (!reduced && head.Qty >= 2 && head.Stype != 2 && head.UnitQty <= 1 && FRng.Chance(0.3)) {
                reduced = true;
                auto one = OneUnitOf(g);
                c.Lines.insert(c.Lines.end(), one.begin(), one.end());
            } else {
                c.Lines.insert(c.Lines.end(), g.begin(), g.end());
            }
        }
    }
    for (TDemoLine& l : c.Lines)
        l.Dc = 0; // cancel lines carry no own discount column
    if (!FDb.InsertCancel(c)) return false;
    (partial ? FSum.PartlyCancelled : FSum.FullyCancelled).push_back(r.OrdCode);
    FSum.CancelCodes.push_back(c.CancelCode);
    const int cday = DayIndex(c.At);
    if (cday >= 0 && cday < static_cast<int>(FSum.Days.size()))
        ++FSum.Days[static_cast<size_t>(cday)].Cancels;
    return true;
}

bool TGenerator::MakeReturn(int day, TDateTime at) {
    TDemoReceipt r;
    r.At = at;
    r.RegType = 2;
    // A return without the sale's receipt (one in ten) names no origin.
    const bool withOrigin = !FPool.empty() && !FRng.Chance(0.1);
    std::vector<TDemoLine> taken;
    if (withOrigin) {
        const size_t pick = static_cast<size_t>(FRng.Range(0, static_cast<std::int64_t>(FPool.size()) - 1));
        TDemoReceipt origin = std::move(FPool[pick]);
        FPool.erase(FPool.begin() + static_cast<std::ptrdiff_t>(pick));
        r.Origin = origin.OrdCode;
        r.Register = origin.Register;
        r.MemberCode = origin.MemberCode;
        auto groups = GoodsGroups(origin.Lines);
        if (FRng.Chance(0.6)) {
            for (const auto& g : groups)
                taken.insert(taken.end(), g.begin(), g.end());
        } else {
            const auto& g =
                groups[static_cast<size_t>(FRng.Range(0, static_cast<std::int64_t>(groups.size()) - 1))];
            if (g.front().Qty >= 2 && g.front().Stype != 2 && g.front().UnitQty <= 1)
                taken = OneUnitOf(g);
            else
                taken = g;
        }
    } else {
        r.Register = FRng.Range(1, FOpt.Registers);
        const TDemoGoods& goods =
            FCat.Goods[FActive[static_cast<size_t>(FRng.Range(0, (std::int64_t)FActive.size() - 1))]];
        TDemoLine l;
        l.Goods = goods.Code;
        l.Qty = goods.Stype == 2 ? 100 : (goods.UnitQty > 1 ? goods.UnitQty : 1);
        l.Price = goods.Price;
        l.Stype = goods.Stype;
        l.UnitQty = goods.UnitQty;
        taken.push_back(l);
    }
    r.OrdCode = NextOrdCode(day, r.Register);
    // A return receipt books everything with the opposite sign: goods back, discounts reversed.
    int seq = 0;
    for (TDemoLine l : taken) {
        l.Seq = ++seq;
        l.Qty = -l.Qty;
        l.Price = -l.Price;
        l.Dc = -l.Dc;
        r.Lines.push_back(l);
    }
    if (!FDb.InsertReceipt(r)) return false;
    Tally(r);
    FSum.ReturnReceipts.push_back(r.OrdCode);
    FSum.ReturnedOrigins.push_back(r.Origin);
    return true;
}

bool TGenerator::Run() {
    FCat = MakeCatalog(FRng, FOpt, IncDay(FFirst, FOpt.Days - 1));
    IndexCoupons();
    FSum.Goods = FCat.Goods;
    FSum.Coupons = FCat.Coupons;
    FSum.DesignatedCoupons = FOpt.DesignatedCoupons;
    for (int d = 0; d < FOpt.Days; ++d) {
        TDemoDay day;
        day.Day = FormatDay(IncDay(FFirst, d));
        FSum.Days.push_back(day);
    }
    if (!WriteMaster()) return false;
    const double open = FOpt.OpenHour / 24.0;
    const double span = (FOpt.CloseHour - FOpt.OpenHour) / 24.0;
    const int n = FOpt.ReceiptsPerDay;
    for (int d = 0; d < FOpt.Days; ++d) {
        FSerial.clear();
        FCancelSerial = 0;
        const TDateTime base = IncDay(FFirst, d);
        for (int i = 0; i < n; ++i) {
            const double u = static_cast<double>(FRng.Range(0, 999999)) / 1e6;
            // Milliseconds in the steps SQL Server's datetime stores (.000, .003, .007).
            std::int64_t ms = ToMSecs(base + open + span * (i + u) / n);
            static const int kStep[10] = {0, 0, 0, 3, 3, 3, 7, 7, 7, 7};
            ms = ms / 10 * 10 + kStep[ms % 10];
            const TDateTime at = FromMSecs(ms);
            const bool ok = FRng.Chance(FOpt.ReturnRate) ? MakeReturn(d, at) : MakeSale(d, at);
            if (!ok) return false;
        }
    }
    FSum.UnknownGoods.assign(FUnknown.begin(), FUnknown.end());
    return true;
}

} // namespace

bool GenerateSales(TDemoDb& db, const TDemoOptions& options, TDateTime firstDay, TDemoSummary& summary) {
    TGenerator gen(options, firstDay, db, summary);
    return gen.Run();
}

} // namespace pavona::demopos

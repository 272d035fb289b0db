// The demo store's goods, sponsors, promotion groups and coupons.
#include "tools/demopos/DemoCatalog.h"

#include "common/Text.h"

#include <algorithm>

namespace pavona::demopos {

std::uint64_t TRng::Next() {
    FState += 0x9E3779B97F4A7C15ULL;
    std::uint64_t z = FState;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

std::int64_t TRng::Range(std::int64_t lo, std::int64_t hi) {
    if (hi <= lo) return lo;
    const std::uint64_t span = static_cast<std::uint64_t>(hi - lo) + 1;
    return lo + static_cast<std::int64_t>(Next() % span);
}

bool TRng::Chance(double p) {
    return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0) < p;
}

namespace {

struct TBase {
    const char* Name;
    const char* Spec;
    int Stype;
    std::int64_t UnitQty;
    std::int64_t Price;
    bool Produce;
    bool Fruit;
};

// Prices are per reported unit: a weighed item (sale type 2) per kg, a multi-unit item per pack.
const TBase kBase[] = {
    {"사과 부사", "1.5kg(5입)", 0, 1, 12900, true, true},
    {"배 신고", "3kg", 0, 1, 19800, true, true},
    {"감귤", "2kg", 0, 1, 9900, true, true},
    {"딸기 설향", "500g", 0, 1, 8900, true, true},
    {"샤인머스캣", "1송이", 0, 1, 14900, true, true},
    {"참외", "1.5kg", 0, 1, 11900, true, true},
    {"수박", "1통", 0, 1, 19900, true, true},
    {"방울토마토", "750g", 0, 1, 7980, true, true},
    {"토마토", "kg", 2, 1, 5980, true, true},
    {"배추", "1포기", 0, 1, 3990, true, false},
    {"무", "1개", 0, 1, 1990, true, false},
    {"양파", "1.5kg", 0, 1, 4490, true, false},
    {"대파", "1단", 0, 1, 2990, true, false},
    {"감자", "1kg", 0, 1, 3980, true, false},
    {"고구마", "1kg", 0, 1, 4980, true, false},
    {"당근", "1kg", 0, 1, 3480, true, false},
    {"오이", "3입", 0, 1, 2980, true, false},
    {"애호박", "1개", 0, 1, 1680, true, false},
    {"시금치", "1단", 0, 1, 2480, true, false},
    {"깐마늘", "500g", 0, 1, 6900, true, false},
    {"새송이버섯", "400g", 0, 1, 2980, true, false},
    {"양배추", "1통", 0, 1, 3480, true, false},
    {"단호박", "kg", 2, 1, 3980, true, false},
    {"한돈 삼겹살", "kg", 2, 1, 26800, true, false},
    {"한우 불고기", "kg", 2, 1, 39800, true, false},
    {"쌀 추청", "10kg", 0, 1, 32900, true, false},
    {"계란 특란", "30구", 0, 30, 8990, true, false},
    {"매운 라면", "5입", 0, 1, 4480, false, false},
    {"흰 우유", "1L", 0, 1, 2980, false, false},
    {"두부 묶음", "3입", 0, 3, 3980, false, false},
    {"탄산음료", "1.5L", 0, 1, 2980, false, false},
    {"생수", "2L×6", 0, 1, 5400, false, false},
    {"우유 식빵", "400g", 0, 1, 3200, false, false},
    {"참치캔", "150g×3", 0, 1, 6980, false, false},
    {"커피믹스", "100T", 0, 1, 13900, false, false},
    {"주방세제", "1.2L", 0, 1, 4900, false, false},
    {"화장지", "30롤", 0, 1, 15900, false, false},
    {"요구르트", "5입", 0, 5, 2400, false, false},
    {"감자칩", "120g", 0, 1, 1980, false, false},
};
constexpr int kBaseCount = static_cast<int>(sizeof(kBase) / sizeof(kBase[0]));

const char* const kProducePrefix[] = {"", "국산 ", "햇", "친환경 ", "유기농 ", "GAP "};
const char* const kGroceryPrefix[] = {"", "대용량 ", "행사 ", "알뜰 "};

std::string Ean13(std::int64_t body12) {
    std::string d = Fmt("%012lld", static_cast<long long>(body12 % 1000000000000LL));
    int sum = 0;
    for (int i = 0; i < 12; ++i)
        sum += (d[static_cast<size_t>(i)] - '0') * (i % 2 == 0 ? 1 : 3);
    return d + static_cast<char>('0' + (10 - sum % 10) % 10);
}

} // namespace

TDemoCatalog MakeCatalog(TRng& rng, const TDemoOptions& options, TDateTime lastDay) {
    TDemoCatalog cat;
    const int count = std::max(options.GoodsCount, 4);
    for (int i = 0; i < count; ++i) {
        const TBase& b = kBase[i % kBaseCount];
        const int round = i / kBaseCount;
        TDemoGoods g;
        g.Code = 100001 + i;
        const int nPrefix = b.Produce ? 6 : 4;
        g.Name = std::string(b.Produce ? kProducePrefix[round % nPrefix] : kGroceryPrefix[round % nPrefix]) +
                 b.Name;
        if (round >= nPrefix) g.Name += Fmt(" %d호", round / nPrefix + 1);
        g.Spec = b.Spec;
        g.Stype = b.Stype;
        g.UnitQty = b.UnitQty;
        g.Price = std::max<std::int64_t>(100, b.Price * rng.Range(90, 120) / 100 / 10 * 10);
        // Weighed goods carry the store's own scale label code; packed goods a national barcode.
        g.Barcode = b.Stype == 2 ? Fmt("2%06lld", static_cast<long long>(g.Code % 1000000))
                                 : Ean13(880000000000LL + g.Code * 37 + rng.Range(0, 36));
        g.Active = !rng.Chance(0.06);
        cat.Goods.push_back(g);
        cat.IsProduce.push_back(b.Produce);
    }
    // Every catalogue has at least one goods taken off sale.
    if (std::all_of(cat.Goods.begin(), cat.Goods.end(), [](const TDemoGoods& g) { return g.Active; }))
        cat.Goods.back().Active = false;

    cat.Sponsors = {{1, "농산물 할인지원"}, {2, "본점"}, {3, "협력사 판촉"}};

    // Promotion groups: 11 seasonal fruit and 12 vegetables (reached by subsidy coupons), 21 the
    // store's weekend specials.
    std::vector<std::int64_t> fruit, veg, produce, grocery;
    for (int i = 0; i < count; ++i) {
        const TBase& b = kBase[i % kBaseCount];
        const TDemoGoods& g = cat.Goods[static_cast<size_t>(i)];
        if (!g.Active) continue;
        if (b.Produce)
            produce.push_back(g.Code);
        else
            grocery.push_back(g.Code);
        if (b.Produce && b.Fruit && rng.Chance(0.5))
            fruit.push_back(g.Code);
        else if (b.Produce && !b.Fruit && rng.Chance(0.4))
            veg.push_back(g.Code);
        else if (!b.Produce && rng.Chance(0.3))
            cat.Groups.push_back({21, g.Code});
    }
    if (fruit.empty() && !produce.empty()) fruit.push_back(produce.front());
    if (veg.empty() && !produce.empty()) veg.push_back(produce.back());
    if (grocery.empty()) grocery.push_back(cat.Goods.front().Code);
    if (produce.empty()) produce.push_back(cat.Goods.front().Code);
    for (std::int64_t g : fruit)
        cat.Groups.push_back({11, g});
    for (std::int64_t g : veg)
        cat.Groups.push_back({12, g});

    auto pick = [&rng](const std::vector<std::int64_t>& v) {
        return v[static_cast<size_t>(rng.Range(0, static_cast<std::int64_t>(v.size()) - 1))];
    };
    auto nameOf = [&cat](std::int64_t code) { return cat.Goods[static_cast<size_t>(code - 100001)].Name; };

    // Designated coupons cycle through four shapes: a percentage on one product, a percentage on a
    // group, a percentage on a group that also names one product, an amount off one product.
    for (size_t k = 0; k < options.DesignatedCoupons.size(); ++k) {
        TDemoCoupon c;
        c.Code = options.DesignatedCoupons[k];
        c.Designated = true;
        c.Sponsor = 1;
        switch (k % 4) {
        case 0:
            c.Goods = pick(produce);
            c.Target = 1;
            c.DcType = 1;
            c.Dc = 20;
            c.Limit = 10000;
            c.EndsOn = IncDay(lastDay, 30);
            c.Title = "농할 20% " + nameOf(c.Goods);
            break;
        case 1:
            c.Group = 11;
            c.DcType = 1;
            c.Dc = 20;
            c.Limit = 10000;
            c.Title = "농할 20% 제철 과일";
            break;
        case 2:
            c.Group = 12;
            c.Goods = pick(veg);
            c.Target = 1;
            c.DcType = 1;
            c.Dc = 30;
            c.Limit = 20000;
            c.EndsOn = IncDay(lastDay, 30);
            c.Title = "농할 30% 김장 채소";
            break;
        default:
            c.Goods = pick(produce);
            c.Target = 1;
            c.DcType = 2;
            c.Dc = 2000;
            c.EndsOn = IncDay(lastDay, 15);
            c.Title = "농할 2,000원 " + nameOf(c.Goods);
            break;
        }
        cat.Coupons.push_back(c);
    }

    // The store's own coupons, numbered from 3001 around the designated codes.
    std::int64_t next = 3001;
    auto freeCode = [&]() {
        while (std::find(options.DesignatedCoupons.begin(), options.DesignatedCoupons.end(), next) !=
               options.DesignatedCoupons.end())
            ++next;
        return next++;
    };
    TDemoCoupon member{freeCode(), "회원 5% 할인", false, 1, 5, 5000, 2, 0, 0, 0, 0};
    TDemoCoupon thousand{freeCode(), "1,000원 할인쿠폰", false, 2, 1000, 0, 3, pick(grocery), 1,
                         0,          IncDay(lastDay, 60)};
    TDemoCoupon weekend{freeCode(), "주말 특가 10%", false, 1, 10, 0, 9, 0, 0, 21, IncDay(lastDay, 7)};
    TDemoCoupon app{freeCode(), "앱 전용 2,000원", false, 2, 2000, 2000, 2, 0, 0, 0, 0};
    TDemoCoupon old{freeCode(), "지난 행사 15%",     false, 1, 15, 0, 3, pick(produce), 1,
                    0,          IncDay(lastDay, -90)};
    for (const TDemoCoupon& c : {member, thousand, weekend, app, old})
        cat.Coupons.push_back(c);
    return cat;
}

} // namespace pavona::demopos

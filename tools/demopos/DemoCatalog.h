// Master data of the demo store: goods with Korean names, sponsors, promotion groups and coupons
// (designated subsidy coupons and the store's own), all drawn from a seeded generator.
#pragma once

#include "tools/demopos/DemoPos.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pavona::demopos {

// splitmix64: small, fast and the same on every platform and standard library, so a seed always
// gives the same database.
class TRng {
  public:
    explicit TRng(std::uint64_t seed) : FState(seed) {}
    std::uint64_t Next();
    // Uniform in [lo, hi] (inclusive).
    std::int64_t Range(std::int64_t lo, std::int64_t hi);
    // True with probability p.
    bool Chance(double p);

  private:
    std::uint64_t FState;
};

// Goods codes the tills sell that the goods master does not hold (department sales).
constexpr std::int64_t kDeptGoodsFirst = 990001;
constexpr int kDeptGoodsCount = 3;

struct TSponsor {
    std::int64_t Code;
    std::string Name;
};

struct TGroupMember {
    int Group;
    std::int64_t Goods;
};

struct TDemoCatalog {
    std::vector<TDemoGoods> Goods;
    std::vector<bool> IsProduce; // parallel to Goods: agri-food goods the programme can cover
    std::vector<TSponsor> Sponsors;
    std::vector<TGroupMember> Groups;
    std::vector<TDemoCoupon> Coupons;
};

TDemoCatalog MakeCatalog(TRng& rng, const TDemoOptions& options, TDateTime lastDay);

} // namespace pavona::demopos

// The words of the target-items page made from names and codes: an association item's name split
// into base name, variety and grade, the variety and review labels, and how a coupon is named.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pavona {

struct TItemNameParts {
    std::string Base;
    std::string Variety;
    std::string Grade; // "상품" or "중품"; a trailing "하품" stays part of the base name
};

// "사과(부사) 상품" → 사과, 부사, 상품.
TItemNameParts SplitItemName(const std::string& name);
// The name without a trailing grade word (" 상품", " 중품" or " 하품").
std::string StripGrade(const std::string& name);
// "부사 · 상품", "일반 · 중품", "일반".
std::string VarietyLabel(const std::string& variety, const std::string& grade);
// "협회 확인", "협회 확인 전 · 정산 보류", or empty (no label).
std::string ReviewLabel(const std::string& review);
// "쿠폰 7001"; a coupon code 0 stands for the first designated coupon, "농할 쿠폰" when there is none.
std::string CouponLabel(std::int64_t code, const std::vector<std::int64_t>& subsidyCodes);

} // namespace pavona

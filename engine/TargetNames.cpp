// Item names, variety, review and coupon labels of the target-items page (see TargetNames.h).
#include "engine/TargetNames.h"

#include "common/Text.h"

#include <string_view>

namespace pavona {

namespace {

// Removes `suffix` (a blank and a grade word) when `s` ends with it.
bool CutSuffix(std::string& s, std::string_view suffix) {
    if (!EndsWith(s, suffix)) return false;
    s = Trim(std::string_view(s).substr(0, s.size() - suffix.size()));
    return true;
}

} // namespace

TItemNameParts SplitItemName(const std::string& name) {
    TItemNameParts p;
    std::string s = Trim(name);
    for (const char* grade : {"상품", "중품"}) {
        if (CutSuffix(s, std::string(" ") + grade)) {
            p.Grade = grade;
            break;
        }
    }
    const size_t open = s.find('(');
    if (open == std::string::npos) {
        p.Base = s;
        return p;
    }
    p.Base = Trim(std::string_view(s).substr(0, open));
    const size_t close = s.find(')', open + 1);
    p.Variety = Trim(std::string_view(s).substr(open + 1, close == std::string::npos ? std::string::npos
                                                                                      : close - open - 1));
    if (p.Base.empty()) {
        p.Base = s;
        p.Variety.clear();
    }
    return p;
}

std::string StripGrade(const std::string& name) {
    std::string s = Trim(name);
    for (const char* suffix : {" 상품", " 중품", " 하품"})
        if (CutSuffix(s, suffix)) break;
    return s;
}

std::string VarietyLabel(const std::string& variety, const std::string& grade) {
    std::string label = Trim(variety);
    if (label.empty()) label = "일반";
    if (const std::string g = Trim(grade); !g.empty()) label += " · " + g;
    return label;
}

std::string ReviewLabel(const std::string& review) {
    if (review == "confirmed") return "협회 확인";
    if (review == "pending") return "협회 확인 전 · 정산 보류";
    return "";
}

std::string CouponLabel(std::int64_t code, const std::vector<std::int64_t>& subsidyCodes) {
    if (code == 0 && !subsidyCodes.empty()) code = subsidyCodes.front();
    return code == 0 ? std::string("농할 쿠폰") : "쿠폰 " + std::to_string(code);
}

} // namespace pavona

#include "engine/AgentSchema.h"

#include "common/Text.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cstdlib>

namespace pavona {

const char* const kHoldNotice =
    "⛔ POS 프로그램이 바뀐 것 같습니다(스키마 지문이 다릅니다) — 실적을 보내지 않고 이 PC 에 "
    "쌓아 둡니다. 협회가 확인하면 이어서 보냅니다.";

std::string SchemaFingerprint(const std::vector<std::string>& texts) {
    if (texts.empty()) return {};
    // The association computes the same value elsewhere by UTF-16 order; comparing UTF-8 bytes would
    // order characters beyond U+FFFF differently from those in U+E000..U+FFFF.
    std::vector<std::pair<std::u16string, const std::string*>> keyed;
    keyed.reserve(texts.size());
    for (const std::string& t : texts)
        keyed.emplace_back(Utf8ToUtf16(t), &t);
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::string joined;
    for (size_t i = 0; i < keyed.size(); ++i) {
        if (i) joined.push_back('\n');
        joined += *keyed[i].second;
    }
    const std::string digest = platform::Sha256(joined);
    std::string hex;
    for (const char c : digest)
        hex += Fmt("%02x", static_cast<unsigned char>(c));
    return hex;
}

THoldDecision HoldDecision(const std::string& approved, const std::string& current, const std::string& held) {
    if (!current.empty()) {
        if (approved.empty() || approved == current) return {true, ""};
        return {false, current};
    }
    if (held.empty() || held == approved) return {true, ""};
    return {false, held};
}

std::string IsoLocalTime(TDateTime t) {
    return IsoWithOffset(t, kAssociationUtcOffsetMinutes);
}

std::string IsoWithOffset(TDateTime t, int offsetMinutes) {
    const int mag = std::abs(offsetMinutes);
    return FormatIsoStamp(t) + Fmt("%c%02d:%02d", offsetMinutes < 0 ? '-' : '+', mag / 60, mag % 60);
}

} // namespace pavona

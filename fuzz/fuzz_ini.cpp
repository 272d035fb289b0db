// Fuzz target: agent.ini as found on disk, and one key written into it.
#include "common/Text.h"
#include "config/IniFile.h"
#include "fuzz/FuzzSupport.h"

#include <cctype>
#include <cerrno>
#include <set>
#include <utility>

// Properties: every read gives valid UTF-8; a written key reads back as written (trimmed, line breaks
// as spaces) and every other key reads as before; the settings' numbers read as strtoll reads them;
// the protected key's Base64 decodes consistently. Input, parts separated by 0x1E: the file, then a
// section, a key and a value to write.

namespace pavona::fuzz {
namespace {

// The names of every section and key line of the text, as a plain reader sees them.
std::set<std::pair<std::string, std::string>> Names(const std::string& text) {
    std::set<std::pair<std::string, std::string>> names;
    std::string section;
    const std::string_view body = std::string_view(text).substr(text.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0);
    for (const std::string& raw : Split(body, '\n')) {
        const std::string line = Trim(raw);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line[0] == '[') {
            section = Trim(
                line.substr(1, line.find(']') == std::string::npos ? std::string::npos : line.find(']') - 1));
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq != std::string::npos && !Trim(line.substr(0, eq)).empty())
            names.insert({LowerAscii(section), LowerAscii(Trim(line.substr(0, eq)))});
    }
    return names;
}

void CheckNumber(const std::string& value) {
    int mine = 0;
    const bool ok = TryParseInt(value, mine);
    if (value.empty() || std::isspace(static_cast<unsigned char>(value[0]))) return;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(value.c_str(), &end, 10);
    const bool whole =
        end == value.c_str() + value.size() && errno != ERANGE && v >= INT32_MIN && v <= INT32_MAX;
    FUZZ_CHECK(ok == whole);
    if (ok) FUZZ_CHECK(mine == v);
}

void CheckKeyText(const std::string& value) {
    std::string bytes;
    if (!Base64Decode(value, bytes)) return;
    std::string again;
    FUZZ_CHECK(Base64Decode(Base64Encode(bytes), again) && again == bytes);
}

} // namespace
} // namespace pavona::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pavona;
    using namespace pavona::fuzz;
    const std::vector<std::string> part = Parts(data, size, 4);
    const TIniFile before(part[0]);
    const char* const settings[][2] = {
        {"server", "base_url"},   {"server", "store"},       {"server", "key_dpapi"},
        {"pos", "conn"},          {"timing", "collect_min"}, {"timing", "policy_min"},
        {"limit", "caution_pct"}, {"limit", "imminent_pct"}, {"state", "seen_program"},
        {"state", "sent_count"},  {"window", "width"}};
    for (const auto& [section, key] : settings) {
        std::string value;
        if (!before.Read(section, key, value)) continue;
        FUZZ_CHECK(Utf8Valid(value));
        FUZZ_CHECK(value == Trim(value));
        CheckNumber(value);
        CheckKeyText(value);
    }

    // Write one key; it reads back, and nothing else changes.
    TIniFile after(part[0]);
    if (!after.Write(part[1], part[2], part[3])) {
        FUZZ_CHECK(after.Text() == part[0]);
        return 0;
    }
    std::string written;
    FUZZ_CHECK(after.Read(part[1], part[2], written));
    std::string want = part[3];
    for (char& c : want)
        if (c == '\r' || c == '\n') c = ' ';
    FUZZ_CHECK(written == Utf8Sanitize(Trim(want)));
    const std::pair<std::string, std::string> self{LowerAscii(Trim(part[1])), LowerAscii(Trim(part[2]))};
    for (const auto& [section, key] : Names(part[0])) {
        if (std::pair(section, key) == self) continue;
        std::string was, now;
        const bool had = before.Read(section, key, was);
        FUZZ_CHECK(after.Read(section, key, now) == had);
        FUZZ_CHECK(now == was);
    }
    // Writing the same again changes nothing more.
    TIniFile twice(after.Text());
    FUZZ_CHECK(twice.Write(part[1], part[2], part[3]) && twice.Text() == after.Text());
    return 0;
}

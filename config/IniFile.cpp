// The INI editor works on line offsets into the original text, so an edit rewrites one line and
// copies every other byte unchanged.
#include "config/IniFile.h"

#include "common/Text.h"
#include "platform/Platform.h"

namespace pavona {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kLineEnd = "\r\n";

bool HasLineBreak(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

} // namespace

TIniFile::TIniFile(std::string text) : FText(std::move(text)) {}

bool TIniFile::Load(const std::string& path) {
    FText.clear();
    if (platform::ReadWholeFile(path, FText)) return true;
    FText.clear();
    // Only a file that is not there counts as empty: anything else must not be overwritten
    // with a file that lost its other keys.
    return !platform::FileExists(path) && !platform::DirExists(path);
}

std::vector<TIniFile::TLine> TIniFile::Lines() const {
    std::vector<TLine> lines;
    size_t pos = StartsWith(FText, kBom) ? kBom.size() : 0;
    while (pos < FText.size()) {
        TLine line;
        line.Start = pos;
        const size_t nl = FText.find('\n', pos);
        if (nl == std::string::npos) {
            line.Length = FText.size() - pos;
            pos = FText.size();
        } else {
            const bool cr = nl > pos && FText[nl - 1] == '\r';
            line.Length = nl - pos - (cr ? 1 : 0);
            line.EndSize = cr ? 2 : 1;
            pos = nl + 1;
        }
        lines.push_back(line);
    }
    return lines;
}

TIniFile::TKind TIniFile::Classify(const TLine& line, std::string& name, std::string& value) const {
    const std::string text = Trim(std::string_view(FText).substr(line.Start, line.Length));
    if (text.empty()) return TKind::Blank;
    if (text[0] == ';' || text[0] == '#') return TKind::Comment;
    if (text[0] == '[') {
        const size_t close = text.find(']');
        name = Trim(
            std::string_view(text).substr(1, close == std::string::npos ? std::string::npos : close - 1));
        return TKind::Section;
    }
    const size_t eq = text.find('=');
    if (eq == std::string::npos) return TKind::Other;
    name = Trim(std::string_view(text).substr(0, eq));
    value = Trim(std::string_view(text).substr(eq + 1));
    return name.empty() ? TKind::Other : TKind::Key;
}

long TIniFile::Find(const std::vector<TLine>& lines, std::string_view section, std::string_view key,
                    long* insertAt) const {
    if (insertAt) *insertAt = -1;
    bool inSection = false;
    long lastContent = -1;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string name, value;
        const TKind kind = Classify(lines[i], name, value);
        if (kind == TKind::Section) {
            // Only the first section of a name counts, as with the system's own profile reader.
            if (inSection) break;
            if (lastContent < 0 && SameTextAscii(name, section)) {
                inSection = true;
                lastContent = static_cast<long>(i);
            }
            continue;
        }
        if (!inSection) continue;
        if (kind == TKind::Key || kind == TKind::Other) lastContent = static_cast<long>(i);
        if (kind == TKind::Key && SameTextAscii(name, key)) return static_cast<long>(i);
    }
    if (insertAt && lastContent >= 0) *insertAt = lastContent + 1;
    return -1;
}

bool TIniFile::Read(std::string_view section, std::string_view key, std::string& value) const {
    const std::vector<TLine> lines = Lines();
    const long at = Find(lines, Trim(section), Trim(key));
    if (at < 0) return false;
    std::string name;
    Classify(lines[static_cast<size_t>(at)], name, value);
    value = Utf8Sanitize(value);
    return true;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 const std::string& def) const {
    std::string value;
    return Read(section, key, value) ? value : def;
}

bool TIniFile::HasKey(std::string_view section, std::string_view key) const {
    std::string value;
    return Read(section, key, value);
}

bool TIniFile::Write(std::string_view section, std::string_view key, std::string_view value) {
    const std::string sec = Trim(section);
    const std::string name = Trim(key);
    if (sec.empty() || name.empty() || HasLineBreak(sec) || HasLineBreak(name) ||
        sec.find(']') != std::string::npos || name.find('=') != std::string::npos || name[0] == '[' ||
        name[0] == ';' || name[0] == '#')
        return false;
    std::string clean(value);
    for (char& c : clean)
        if (c == '\r' || c == '\n') c = ' ';
    const std::string line = name + "=" + Trim(clean) + std::string(kLineEnd);

    const std::vector<TLine> lines = Lines();
    long insertAt = -1;
    const long at = Find(lines, sec, name, &insertAt);
    if (at >= 0) {
        const TLine& old = lines[static_cast<size_t>(at)];
        FText.replace(old.Start, old.Length + old.EndSize, line);
        return true;
    }
    if (insertAt >= 0) {
        const TLine& before = lines[static_cast<size_t>(insertAt - 1)];
        const size_t pos = before.Start + before.Length + before.EndSize;
        // The section's last line may be the file's last line without a line end.
        FText.insert(pos, before.EndSize == 0 ? std::string(kLineEnd) + line : line);
        return true;
    }
    std::string add;
    const bool onlyBom = FText == kBom;
    if (!FText.empty() && !onlyBom && FText.back() != '\n') add += kLineEnd;
    add += "[" + sec + "]" + std::string(kLineEnd) + line;
    FText += add;
    return true;
}

} // namespace pavona

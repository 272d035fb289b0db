// What the fuzz targets share: a property check that stops the run with the input kept, the parts
// of a multi-file input, and an in-memory file layer for the spool, the ledger and the send log.
#pragma once

#include "common/DateTime.h"
#include "store/SpoolFiles.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace pavona::fuzz {

// A broken property is a finding like a crash: it is printed and the process aborts, so libFuzzer
// writes the input out as a crash artifact.
[[noreturn]] inline void Violated(const char* what, const char* file, int line) {
    std::fprintf(stderr, "== property violated: %s (%s:%d)\n", what, file, line);
    std::abort();
}

#define FUZZ_CHECK(cond)                                                                                     \
    do {                                                                                                     \
        if (!(cond)) ::pavona::fuzz::Violated(#cond, __FILE__, __LINE__);                                    \
    } while (0)

// Inputs that stand for several files or texts hold them one after the other, separated by the byte
// 0x1E (record separator), which none of the formats uses. Missing parts are empty; the last part
// keeps any further separators.
inline std::vector<std::string> Parts(const std::uint8_t* data, std::size_t size, std::size_t count) {
    std::vector<std::string> out;
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    std::size_t pos = 0;
    while (out.size() + 1 < count) {
        const std::size_t sep = all.find('\x1e', pos);
        if (sep == std::string_view::npos) break;
        out.emplace_back(all.substr(pos, sep - pos));
        pos = sep + 1;
    }
    out.emplace_back(all.substr(std::min(pos, all.size())));
    out.resize(count);
    return out;
}

// The spool's key rule read plainly: a line's key must be the transaction key its payload names
// (compared only when the payload opens with it, unescaped); the sample lines' day-stamped keys are
// exempt.
inline bool IsSampleKey(std::string_view key) {
    if (key.size() < 12 || key[10] != ':') return false;
    for (std::size_t i = 0; i < key.size(); ++i) {
        const bool digit = key[i] >= '0' && key[i] <= '9';
        if (i == 4 || i == 7 ? key[i] != '-' : i == 10 ? false : !digit) return false;
    }
    TDateTime day = 0;
    return ParseDay(key.substr(0, 10), day);
}

inline bool KeyAgrees(std::string_view key, std::string_view payload) {
    const std::string_view lead = "{\"tx_key\":\"";
    if (payload.substr(0, lead.size()) != lead) return true;
    const std::size_t end = payload.find('"', lead.size());
    if (end == std::string_view::npos) return true;
    const std::string_view named = payload.substr(lead.size(), end - lead.size());
    if (named.find('\\') != std::string_view::npos) return true; // escaped: not compared
    return named == key || IsSampleKey(key);
}

// Files held in memory under absolute "/"-separated paths; reads are counted.
class TMemoryFiles : public TSpoolFiles {
  public:
    std::map<std::string, std::string> Files;
    std::int64_t BytesRead = 0;

    bool Append(const std::string& path, const std::string& bytes, bool) override {
        Files[path] += bytes;
        return true;
    }
    bool Replace(const std::string& path, const std::string& bytes) override {
        Files[path] = bytes;
        return true;
    }
    bool ReadRange(const std::string& path, std::int64_t offset, std::int64_t count,
                   std::string& out) override {
        out.clear();
        const auto it = Files.find(path);
        if (it == Files.end() || offset < 0) return false;
        const std::int64_t size = static_cast<std::int64_t>(it->second.size());
        if (offset >= size) return true;
        std::int64_t want = size - offset;
        if (count >= 0 && count < want) want = count;
        out = it->second.substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(want));
        BytesRead += want;
        return true;
    }
    std::int64_t Size(const std::string& path) override {
        const auto it = Files.find(path);
        return it == Files.end() ? -1 : static_cast<std::int64_t>(it->second.size());
    }
    bool Remove(const std::string& path) override {
        Files.erase(path);
        return true;
    }
    bool List(const std::string& dir, std::vector<std::string>& names) override {
        names.clear();
        const std::string prefix = dir.empty() || dir.back() == '/' ? dir : dir + "/";
        for (const auto& [path, bytes] : Files)
            if (path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0 &&
                path.find('/', prefix.size()) == std::string::npos)
                names.push_back(path.substr(prefix.size()));
        return true;
    }
    bool MakeDirs(const std::string&) override { return true; }
};

} // namespace pavona::fuzz

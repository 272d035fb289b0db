// Test ground for the spool: the real files of the platform, with single operations made to fail
// on chosen paths and every byte read counted.
#pragma once

#include "store/SpoolFiles.h"

#include <cstdint>
#include <functional>
#include <string>

namespace pavona::test {

class FaultyFiles : public TSpoolFiles {
  public:
    // A path containing this text fails the step named: the write itself, or only the flush after
    // the bytes were written (as a full or failing disk reports it).
    std::string FailWrite, FailFlush, FailReplace, FailRead;
    std::int64_t BytesRead = 0;
    int Reads = 0;

    bool Append(const std::string& path, const std::string& bytes, bool durable) override {
        if (Hit(FailWrite, path)) return false;
        const bool ok = PlatformSpoolFiles()->Append(path, bytes, durable);
        if (durable && Hit(FailFlush, path)) return false;
        return ok;
    }
    bool Replace(const std::string& path, const std::string& bytes) override {
        if (Hit(FailReplace, path)) return false;
        return PlatformSpoolFiles()->Replace(path, bytes);
    }
    bool ReadRange(const std::string& path, std::int64_t offset, std::int64_t count,
                   std::string& out) override {
        if (Hit(FailRead, path)) return false;
        const bool ok = PlatformSpoolFiles()->ReadRange(path, offset, count, out);
        BytesRead += static_cast<std::int64_t>(out.size());
        ++Reads;
        return ok;
    }
    std::int64_t Size(const std::string& path) override { return PlatformSpoolFiles()->Size(path); }
    bool Remove(const std::string& path) override { return PlatformSpoolFiles()->Remove(path); }
    bool List(const std::string& dir, std::vector<std::string>& names) override {
        return PlatformSpoolFiles()->List(dir, names);
    }
    bool MakeDirs(const std::string& dir) override { return PlatformSpoolFiles()->MakeDirs(dir); }

  private:
    static bool Hit(const std::string& what, const std::string& path) {
        return !what.empty() && path.find(what) != std::string::npos;
    }
};

} // namespace pavona::test

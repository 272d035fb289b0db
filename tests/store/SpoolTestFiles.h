// Test ground for the spool: the real files of the platform, with single operations made to fail
// on chosen paths and every byte read counted.
#pragma once

#include "store/SpoolFiles.h"

#include <cstdint>
#include <functional>
#include <string>

namespace pavona::test {

class FaultyFiles : public TCountingSpoolFiles {
  public:
    // A path containing this text fails the step named: the write itself, or only the flush after
    // the bytes were written (as a full or failing disk reports it).
    std::string FailWrite, FailFlush, FailReplace, FailRead;

    bool Append(const std::string& path, const std::string& bytes, bool durable) override {
        if (Hit(FailWrite, path)) return false;
        const bool ok = TCountingSpoolFiles::Append(path, bytes, durable);
        if (durable && Hit(FailFlush, path)) return false;
        return ok;
    }
    bool Replace(const std::string& path, const std::string& bytes) override {
        if (Hit(FailReplace, path)) return false;
        return TCountingSpoolFiles::Replace(path, bytes);
    }
    bool ReadRange(const std::string& path, std::int64_t offset, std::int64_t count,
                   std::string& out) override {
        if (Hit(FailRead, path)) return false;
        return TCountingSpoolFiles::ReadRange(path, offset, count, out);
    }

  private:
    static bool Hit(const std::string& what, const std::string& path) {
        return !what.empty() && path.find(what) != std::string::npos;
    }
};

} // namespace pavona::test

// The platform-backed file operations of the spool and the torn-tail-safe line append.
#include "store/SpoolFiles.h"

#include "platform/Platform.h"

#include <fstream>

namespace pavona {
namespace {

class TPlatformSpoolFiles final : public TSpoolFiles {
  public:
    bool Append(const std::string& path, const std::string& bytes, bool durable) override {
        return platform::AppendToFile(path, bytes, durable);
    }
    bool Replace(const std::string& path, const std::string& bytes) override {
        return platform::ReplaceFileAtomic(path, bytes);
    }
    bool ReadRange(const std::string& path, std::int64_t offset, std::int64_t count,
                   std::string& out) override {
        return ReadFileRange(path, offset, count, out);
    }
    std::int64_t Size(const std::string& path) override {
        return platform::FileExists(path) ? platform::FileSize(path) : -1;
    }
    bool Remove(const std::string& path) override { return platform::RemoveFile(path); }
    bool List(const std::string& dir, std::vector<std::string>& names) override {
        return platform::ListFiles(dir, names);
    }
    bool MakeDirs(const std::string& dir) override { return platform::MakeDirs(dir); }
};

} // namespace

std::shared_ptr<TSpoolFiles> PlatformSpoolFiles() {
    static const std::shared_ptr<TSpoolFiles> files = std::make_shared<TPlatformSpoolFiles>();
    return files;
}

bool TCountingSpoolFiles::Append(const std::string& path, const std::string& bytes, bool durable) {
    return PlatformSpoolFiles()->Append(path, bytes, durable);
}
bool TCountingSpoolFiles::Replace(const std::string& path, const std::string& bytes) {
    return PlatformSpoolFiles()->Replace(path, bytes);
}
bool TCountingSpoolFiles::ReadRange(const std::string& path, std::int64_t offset, std::int64_t count,
                                    std::string& out) {
    const bool ok = PlatformSpoolFiles()->ReadRange(path, offset, count, out);
    ++Reads;
    BytesRead += static_cast<std::int64_t>(out.size());
    return ok;
}
std::int64_t TCountingSpoolFiles::Size(const std::string& path) {
    return PlatformSpoolFiles()->Size(path);
}
bool TCountingSpoolFiles::Remove(const std::string& path) {
    return PlatformSpoolFiles()->Remove(path);
}
bool TCountingSpoolFiles::List(const std::string& dir, std::vector<std::string>& names) {
    return PlatformSpoolFiles()->List(dir, names);
}
bool TCountingSpoolFiles::MakeDirs(const std::string& dir) {
    return PlatformSpoolFiles()->MakeDirs(dir);
}

const char* const kSentTornEnd = "\t-\r\n";

bool AppendLinesTo(TSpoolFiles& files, const std::string& path, const std::string& lines, bool durable,
                   const std::string& tornEnd) {
    const std::int64_t size = files.Size(path);
    if (size > 0) {
        std::string last;
        // When the last byte cannot be read the break is written anyway: a blank line costs nothing,
        // a glued line costs a sale.
        if (!files.ReadRange(path, size - 1, 1, last) || last != "\n") {
            // A line cut right after its CR lacks only the LF: it already reads whole (and may have
            // been sent as it stands), so the LF alone closes it. A CR LF would leave the line
            // ending in a CR of its own, and a good line would turn into a damaged one.
            const bool onlyLf = last == "\r" && tornEnd == "\r\n";
            return files.Append(path, (onlyLf ? std::string("\n") : tornEnd) + lines, durable);
        }
    }
    return files.Append(path, lines, durable);
}

bool ReadFileRange(const std::string& path, std::int64_t offset, std::int64_t count, std::string& out) {
    out.clear();
    if (offset < 0) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    const std::int64_t size = static_cast<std::int64_t>(in.tellg());
    if (size < 0) return false;
    if (offset >= size) return true;
    std::int64_t want = size - offset;
    if (count >= 0 && count < want) want = count;
    in.seekg(offset, std::ios::beg);
    out.resize(static_cast<size_t>(want));
    in.read(out.data(), want);
    out.resize(static_cast<size_t>(in.gcount()));
    return !in.bad();
}

} // namespace pavona

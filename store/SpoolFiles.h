// The file operations under the spool and the send log, behind a small interface so that tests can
// make single writes or flushes fail and benchmarks can count what is read.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pavona {

class TSpoolFiles {
  public:
    virtual ~TSpoolFiles() = default;
    // Appends the bytes with one write, creating the file; with `durable` it returns true only after
    // the bytes (and a newly created file's folder entry) reached stable storage.
    virtual bool Append(const std::string& path, const std::string& bytes, bool durable) = 0;
    // Replaces the whole file so that a crash leaves the old or the new content, never a mix.
    virtual bool Replace(const std::string& path, const std::string& bytes) = 0;
    // Up to `count` bytes from `offset` (count < 0: to the end); false when the file cannot be read.
    virtual bool ReadRange(const std::string& path, std::int64_t offset, std::int64_t count,
                           std::string& out) = 0;
    // Size in bytes, -1 when the file is missing or cannot be examined.
    virtual std::int64_t Size(const std::string& path) = 0;
    // True when the file no longer exists afterwards.
    virtual bool Remove(const std::string& path) = 0;
    // Names of the regular files directly in the folder.
    virtual bool List(const std::string& dir, std::vector<std::string>& names) = 0;
    virtual bool MakeDirs(const std::string& dir) = 0;
};

// The operating system's files (platform layer); shared, stateless.
std::shared_ptr<TSpoolFiles> PlatformSpoolFiles();

// The platform's files with every read counted: how much of the spool an operation reads back
// (tests and benchmarks hold the caches to it). Subclasses override single operations to make
// them fail or behave otherwise and call these for the real work.
class TCountingSpoolFiles : public TSpoolFiles {
  public:
    int Reads = 0;
    std::int64_t BytesRead = 0;
    bool Append(const std::string& path, const std::string& bytes, bool durable) override;
    bool Replace(const std::string& path, const std::string& bytes) override;
    bool ReadRange(const std::string& path, std::int64_t offset, std::int64_t count,
                   std::string& out) override;
    std::int64_t Size(const std::string& path) override;
    bool Remove(const std::string& path) override;
    bool List(const std::string& dir, std::vector<std::string>& names) override;
    bool MakeDirs(const std::string& dir) override;
};

// Appends whole lines to a text file that may end in a torn line (a crash in the middle of an
// earlier append): a line break is written first, so the new lines never glue onto the broken one.
// `tornEnd` is what closes a torn line: a line break for spool files (the torn line then fails its
// hash); sent files close it with a mark that no key or hash reads as, so a key cut short by a crash
// ("731:30" cut to "731:3") never hides another line.
bool AppendLinesTo(TSpoolFiles& files, const std::string& path, const std::string& lines, bool durable,
                   const std::string& tornEnd = "\r\n");
// What closes a torn line of a sent file.
extern const char* const kSentTornEnd;

// Reads a byte range of a file with the standard library (for callers without a TSpoolFiles).
bool ReadFileRange(const std::string& path, std::int64_t offset, std::int64_t count, std::string& out);

} // namespace pavona

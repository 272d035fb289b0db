// Fuzz target: the send log as found on disk, read newest first from the file's end, and records
// the agent writes.
#include "common/Text.h"
#include "fuzz/FuzzSupport.h"
#include "store/AgentSendLog.h"

#include <sanitizer/allocator_interface.h>

#include <algorithm>
#include <atomic>

// Properties: the backward read equals a plain forward reading of the same lines taken from the back;
// each byte is read once and the memory the read holds does not grow with the file; a written record
// reads back as it was written. Input: the file's bytes, where 0x1E followed by a byte b stands for
// the byte before it repeated (b + 1) * 16 times (so damaged logs of megabytes fit in a small input),
// then one last byte that gives how many records are asked for.

namespace pavona::fuzz {
namespace {

const std::string kPath = "/mem/spool/sendlog.tsv";
constexpr std::size_t kMaxLine = 64 * 1024;       // a longer line is damage and passed over
constexpr std::size_t kMaxFile = 8 * 1024 * 1024; // what the repetitions may expand to

// Heap held by this process while a read runs, and its peak.
std::atomic<bool> gCounting{false};
std::atomic<std::int64_t> gHeld{0}, gPeak{0};

void OnMalloc(const volatile void*, std::size_t size) {
    if (!gCounting.load(std::memory_order_relaxed)) return;
    const std::int64_t held = gHeld += static_cast<std::int64_t>(size);
    std::int64_t peak = gPeak.load();
    while (held > peak && !gPeak.compare_exchange_weak(peak, held)) {
    }
}
void OnFree(const volatile void* p) {
    if (!p || !gCounting.load(std::memory_order_relaxed)) return;
    gHeld -= static_cast<std::int64_t>(__sanitizer_get_allocated_size(const_cast<const void*>(p)));
}

std::string Expand(std::string_view in) {
    std::string out;
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] == '\x1e' && i + 1 < in.size() && !out.empty()) {
            const std::size_t n = (static_cast<unsigned char>(in[i + 1]) + 1) * 16;
            if (out.size() + n > kMaxFile) break;
            out.append(n, out.back());
            ++i;
            continue;
        }
        out.push_back(in[i]);
    }
    return out;
}

bool ReadRecord(std::string_view line, TSendRecord& r) {
    const std::vector<std::string> f = Split(line, '\t');
    if (f.size() < 8) return false;
    r = TSendRecord{};
    if (!ParseStampText(f[0], r.At)) return false;
    r.Kind = f[1];
    r.FileDay = f[2];
    r.Lines = StrToIntDef(f[3], 0);
    r.Accepted = StrToIntDef(f[4], 0);
    r.Duplicated = StrToIntDef(f[5], 0);
    r.Rejected = StrToIntDef(f[6], 0);
    r.Ok = f[7] == "ok";
    if (f.size() > 8) r.Note = f[8];
    return true;
}

// Forward: every piece between line ends (a CR and an LF each end one) that is not empty and not
// overlong and reads as a record; then the newest `max` of them, newest first.
std::vector<TSendRecord> ReadForward(std::string_view text, int max) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::vector<TSendRecord> all;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != '\r' && text[i] != '\n') continue;
        const std::string_view piece = text.substr(start, i - start);
        TSendRecord r;
        if (!piece.empty() && piece.size() <= kMaxLine && ReadRecord(piece, r)) all.push_back(std::move(r));
        start = i + 1;
    }
    std::reverse(all.begin(), all.end());
    if (all.size() > static_cast<std::size_t>(max)) all.resize(static_cast<std::size_t>(max));
    return all;
}

bool Same(const TSendRecord& a, const TSendRecord& b) {
    return ToMSecs(a.At) == ToMSecs(b.At) && a.Kind == b.Kind && a.FileDay == b.FileDay &&
           a.Lines == b.Lines && a.Accepted == b.Accepted && a.Duplicated == b.Duplicated &&
           a.Rejected == b.Rejected && a.Ok == b.Ok && a.Note == b.Note;
}

std::size_t HeldBy(const std::vector<TSendRecord>& records) {
    std::size_t n = records.capacity() * sizeof(TSendRecord);
    for (const TSendRecord& r : records)
        n += r.Kind.capacity() + r.FileDay.capacity() + r.Note.capacity() + 3;
    return n;
}

// A field as the writer stores it: CR LF pairs, then every tab, CR and LF, as one space.
std::string Stored(const std::string& s) {
    std::string out = ReplaceAll(s, "\r\n", " ");
    std::replace_if(
        out.begin(), out.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, ' ');
    return out;
}

void CheckWrittenRecord(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> part = Parts(data, size, 4);
    TSendRecord r;
    const unsigned char b = size ? data[0] : 0;
    r.At = EncodeDateTime(2000 + b % 100, 1 + b % 12, 1 + b % 28, b % 24, b % 60, b % 60, b % 10 * 100);
    r.Kind = part[0];
    r.FileDay = part[1];
    r.Note = part[2];
    r.Lines = static_cast<int>(part[3].size()) - 7;
    r.Accepted = static_cast<int>(size * 1000003u % 2000000000u);
    r.Duplicated = -static_cast<int>(b);
    r.Rejected = static_cast<int>(part[0].size());
    r.Ok = b & 1;
    TMemoryFiles files;
    files.Files[kPath] = SendRecordLine(r);
    const std::vector<TSendRecord> back = ReadSendLogFile(files, kPath, 5);
    // A record too long for a line of the log is passed over, like any damaged line.
    if (files.Files[kPath].size() - 2 > kMaxLine) {
        FUZZ_CHECK(back.empty());
        return;
    }
    FUZZ_CHECK(back.size() == 1);
    TSendRecord want = r;
    want.At = FromMSecs(ToMSecs(r.At) / 1000 * 1000);
    want.Kind = Stored(r.Kind);
    want.FileDay = Stored(r.FileDay);
    want.Note = Stored(r.Note);
    FUZZ_CHECK(Same(back[0], want));
}

} // namespace
} // namespace pavona::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    __sanitizer_install_malloc_and_free_hooks(pavona::fuzz::OnMalloc, pavona::fuzz::OnFree);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pavona;
    using namespace pavona::fuzz;
    if (size == 0) return 0;
    const int max = 1 + data[size - 1] * 8;
    TMemoryFiles files;
    files.Files[kPath] = Expand(std::string_view(reinterpret_cast<const char*>(data), size - 1));
    const std::int64_t fileSize = static_cast<std::int64_t>(files.Files[kPath].size());

    gHeld = 0;
    gPeak = 0;
    gCounting = true;
    const std::vector<TSendRecord> backward = ReadSendLogFile(files, kPath, max);
    gCounting = false;
    const std::int64_t peak = gPeak.load();

    const std::vector<TSendRecord> forward = ReadForward(files.Files[kPath], max);
    FUZZ_CHECK(backward.size() == forward.size());
    for (std::size_t i = 0; i < backward.size(); ++i)
        FUZZ_CHECK(Same(backward[i], forward[i]));
    // Linear: no byte is read twice. Bounded: beyond what it returns, the read holds a chunk, the
    // line being read and that line's fields, however large the file.
    FUZZ_CHECK(files.BytesRead <= fileSize);
    constexpr std::int64_t kWorkingSet = 6 * 1024 * 1024;
    FUZZ_CHECK(peak <= kWorkingSet + 2 * static_cast<std::int64_t>(HeldBy(backward)));

    CheckWrittenRecord(data, size);
    return 0;
}

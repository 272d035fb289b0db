// UTF-8 ↔ UTF-16 for the wide Windows functions, and the system's text for an error code.
#pragma once

#include "common/Text.h"

#include <windows.h>

#include <string>
#include <vector>

namespace pavona::platform {

inline std::wstring Wide(const std::string& utf8) {
    const std::u16string u = Utf8ToUtf16(utf8);
    return std::wstring(u.begin(), u.end());
}

inline std::string Narrow(const wchar_t* text, size_t length) {
    return Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(text), length));
}

inline std::string Narrow(const std::wstring& text) {
    return Narrow(text.data(), text.size());
}

// The system's own message for a Windows error code, without its trailing line break.
inline std::string ErrorText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text = n > 0 ? Trim(Narrow(buffer, n)) : "Windows 오류 " + std::to_string(code);
    if (buffer != nullptr) LocalFree(buffer);
    return text;
}

// One argument as the C runtime splits a command line back: quoted when it has blanks or quotes,
// backslashes before a quote doubled.
inline std::wstring QuotedArgument(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    size_t slashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        out.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
        slashes = 0;
        out.push_back(c);
    }
    out.append(slashes * 2, L'\\');
    out.push_back(L'"');
    return out;
}

// The command line CreateProcessW is given for a program and its UTF-8 arguments.
inline std::wstring CommandLine(const std::wstring& program, const std::vector<std::string>& args) {
    std::wstring line = QuotedArgument(program);
    for (const std::string& a : args)
        line += L" " + QuotedArgument(Wide(a));
    return line;
}

// A handle closed when it goes out of scope.
class TWinHandle {
  public:
    explicit TWinHandle(HANDLE h = INVALID_HANDLE_VALUE) : FHandle(h) {}
    ~TWinHandle() { Close(); }
    TWinHandle(const TWinHandle&) = delete;
    TWinHandle& operator=(const TWinHandle&) = delete;
    bool Valid() const { return FHandle != INVALID_HANDLE_VALUE && FHandle != nullptr; }
    HANDLE Get() const { return FHandle; }
    // False when closing fails (the last bytes may not have been written).
    bool Close() {
        if (!Valid()) return true;
        const bool ok = CloseHandle(FHandle) != 0;
        FHandle = INVALID_HANDLE_VALUE;
        return ok;
    }

  private:
    HANDLE FHandle;
};

} // namespace pavona::platform

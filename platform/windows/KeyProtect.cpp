// The agent key under DPAPI: bound to the Windows user, one line of Base64 in key_dpapi. The key
// scope is the Linux form's; DPAPI keeps its own per user and needs none of it.
#include "platform/Platform.h"

#include "common/Text.h"

#include <windows.h>

#include <dpapi.h>

namespace pavona::platform {

KeyScope DefaultKeyScope() {
    return {};
}

std::string ProtectKey(const std::string& plain, const KeyScope&) {
    if (plain.empty()) return {};
    DATA_BLOB in{static_cast<DWORD>(plain.size()), reinterpret_cast<BYTE*>(const_cast<char*>(plain.data()))};
    DATA_BLOB out{};
    if (!CryptProtectData(&in, nullptr, nullptr, nullptr, nullptr, 0, &out)) return {};
    const std::string blob(reinterpret_cast<const char*>(out.pbData), out.cbData);
    LocalFree(out.pbData);
    return Base64Encode(blob);
}

std::string UnprotectKey(const std::string& protectedText, const KeyScope&) {
    const std::string text = Trim(protectedText);
    std::string blob;
    if (text.empty() || !Base64Decode(text, blob) || blob.empty()) return {};
    DATA_BLOB in{static_cast<DWORD>(blob.size()), reinterpret_cast<BYTE*>(blob.data())};
    DATA_BLOB out{};
    if (!CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, 0, &out)) return {};
    std::string plain(reinterpret_cast<const char*>(out.pbData), out.cbData);
    SecureZeroMemory(out.pbData, out.cbData);
    LocalFree(out.pbData);
    return plain;
}

} // namespace pavona::platform

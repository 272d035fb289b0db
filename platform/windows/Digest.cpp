// SHA-256 through the system's cryptography (CNG), so the Windows agent needs no OpenSSL.
#include "platform/Platform.h"

#include <windows.h>

#include <bcrypt.h>

#include <algorithm>

namespace pavona::platform {

std::string Sha256(const std::string& bytes) {
    BCRYPT_ALG_HANDLE alg = nullptr;
    if (BCryptOpenAlgorithmProvider(&alg, BCRYPT_SHA256_ALGORITHM, nullptr, 0) < 0) return {};
    std::string digest(32, '\0');
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool ok = BCryptCreateHash(alg, &hash, nullptr, 0, nullptr, 0, 0) >= 0;
    // Fed in pieces: one call takes at most 4 GiB.
    for (size_t at = 0; ok && at < bytes.size();) {
        const ULONG n = static_cast<ULONG>(std::min<size_t>(bytes.size() - at, 0x40000000));
        ok = BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data() + at)), n, 0) >= 0;
        at += n;
    }
    ok = ok && BCryptFinishHash(hash, reinterpret_cast<PUCHAR>(digest.data()), 32, 0) >= 0;
    if (hash != nullptr) BCryptDestroyHash(hash);
    BCryptCloseAlgorithmProvider(alg, 0);
    return ok ? digest : std::string();
}

} // namespace pavona::platform

// SHA-256 through OpenSSL, which the key protection uses as well.
#include "platform/Platform.h"

#include <openssl/evp.h>

namespace pavona::platform {

std::string Sha256(const std::string& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &len, EVP_sha256(), nullptr) != 1 || len != 32) return {};
    return std::string(reinterpret_cast<const char*>(digest), len);
}

} // namespace pavona::platform

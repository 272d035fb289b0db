// Per-user key protection on Linux: AES-256-GCM under a key derived (HKDF-SHA256) from a random
// secret readable only by this user, mixed with the machine id and the user id, so a protected
// value copied to another user or machine does not open.
#include "common/Text.h"
#include "platform/Platform.h"

#include "platform/linux/UniqueFd.h"

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <openssl/evp.h>
#include <openssl/kdf.h>
#include <openssl/rand.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pavona::platform {
namespace {

constexpr size_t kSecretSize = 32;
constexpr size_t kNonceSize = 12;
constexpr size_t kTagSize = 16;
constexpr unsigned char kVersion = 1;

struct TPkeyCtxFree {
    void operator()(EVP_PKEY_CTX* ctx) const { EVP_PKEY_CTX_free(ctx); }
};
struct TCipherCtxFree {
    void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};

std::string ReadMachineId() {
    for (const char* path : {"/etc/machine-id", "/var/lib/dbus/machine-id"}) {
        std::string id;
        if (ReadWholeFile(path, id) && !Trim(id).empty()) return Trim(id);
    }
    return {};
}

bool LoadSecret(const std::string& path, bool create, std::string& secret) {
    if (ReadWholeFile(path, secret)) return secret.size() == kSecretSize;
    if (!create || errno != ENOENT) return false;
    if (!MakeDirs(ParentDir(path))) return false;
    secret.assign(kSecretSize, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char*>(secret.data()), kSecretSize) != 1) return false;
    // O_EXCL: when another process made the secret at the same moment, use that one.
    TUniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!fd.Valid()) return errno == EEXIST && ReadWholeFile(path, secret) && secret.size() == kSecretSize;
    const bool ok = ::write(fd.Get(), secret.data(), kSecretSize) == static_cast<ssize_t>(kSecretSize) &&
                    ::fsync(fd.Get()) == 0;
    fd.Reset();
    if (!ok) ::unlink(path.c_str());
    return ok;
}

bool DeriveKey(const std::string& secret, const KeyScope& scope, unsigned char out[32]) {
    if (scope.MachineId.empty() || scope.UserId.empty()) return false;
    const std::string info = "PavonaAgent key_dpapi|" + scope.MachineId + "|" + scope.UserId;
    static const unsigned char kSalt[] = "PavonaAgent.KeyProtect.v1";
    const std::unique_ptr<EVP_PKEY_CTX, TPkeyCtxFree> owned(EVP_PKEY_CTX_new_id(EVP_PKEY_HKDF, nullptr));
    EVP_PKEY_CTX* ctx = owned.get();
    if (!ctx) return false;
    size_t len = 32;
    const bool ok = EVP_PKEY_derive_init(ctx) > 0 && EVP_PKEY_CTX_set_hkdf_md(ctx, EVP_sha256()) > 0 &&
                    EVP_PKEY_CTX_set1_hkdf_salt(ctx, kSalt, sizeof kSalt - 1) > 0 &&
                    EVP_PKEY_CTX_set1_hkdf_key(ctx, reinterpret_cast<const unsigned char*>(secret.data()),
                                               static_cast<int>(secret.size())) > 0 &&
                    EVP_PKEY_CTX_add1_hkdf_info(ctx, reinterpret_cast<const unsigned char*>(info.data()),
                                                static_cast<int>(info.size())) > 0 &&
                    EVP_PKEY_derive(ctx, out, &len) > 0 && len == 32;
    return ok;
}

// Encrypts or decrypts with AES-256-GCM; the version byte is authenticated as associated data.
bool Gcm(bool encrypt, const unsigned char key[32], const unsigned char* nonce, const std::string& in,
         unsigned char* tag, std::string& out) {
    const std::unique_ptr<EVP_CIPHER_CTX, TCipherCtxFree> owned(EVP_CIPHER_CTX_new());
    EVP_CIPHER_CTX* ctx = owned.get();
    if (!ctx) return false;
    out.assign(in.size(), '\0');
    int len = 0, fin = 0;
    const unsigned char aad = kVersion;
    bool ok =
        EVP_CipherInit_ex(ctx, EVP_aes_256_gcm(), nullptr, nullptr, nullptr, encrypt ? 1 : 0) == 1 &&
        EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_GCM_SET_IVLEN, kNonceSize, nullptr) == 1 &&
        EVP_CipherInit_ex(ctx, nullptr, nullptr, key, nonce, encrypt ? 1 : 0) == 1 &&
        EVP_CipherUpdate(ctx, nullptr, &len, &aad, 1) == 1 &&
        EVP_CipherUpdate(ctx, reinterpret_cast<unsigned char*>(out.data()), &len,
                         reinterpret_cast<const unsigned char*>(in.data()), static_cast<int>(in.size())) == 1;
    if (ok && !encrypt) ok = EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_GCM_SET_TAG, kTagSize, tag) == 1;
    if (ok) ok = EVP_CipherFinal_ex(ctx, reinterpret_cast<unsigned char*>(out.data()) + len, &fin) == 1;
    if (ok && encrypt) ok = EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_GCM_GET_TAG, kTagSize, tag) == 1;
    return ok;
}

} // namespace

KeyScope DefaultKeyScope() {
    KeyScope scope;
    scope.SecretPath = JoinPath(AgentDataDir(), "key.secret");
    scope.MachineId = ReadMachineId();
    scope.UserId = std::to_string(::getuid());
    return scope;
}

std::string ProtectKey(const std::string& plain, const KeyScope& scope) {
    std::string secret;
    unsigned char key[32];
    if (plain.empty() || !LoadSecret(scope.SecretPath, true, secret) || !DeriveKey(secret, scope, key))
        return {};
    unsigned char nonce[kNonceSize];
    unsigned char tag[kTagSize];
    std::string cipher;
    if (RAND_bytes(nonce, kNonceSize) != 1 || !Gcm(true, key, nonce, plain, tag, cipher)) return {};
    std::string blob(1, static_cast<char>(kVersion));
    blob.append(reinterpret_cast<const char*>(nonce), kNonceSize);
    blob.append(cipher);
    blob.append(reinterpret_cast<const char*>(tag), kTagSize);
    return Base64Encode(blob);
}

std::string UnprotectKey(const std::string& protectedText, const KeyScope& scope) {
    std::string blob;
    const std::string text = Trim(protectedText);
    if (text.empty() || !Base64Decode(text, blob) || blob.size() <= 1 + kNonceSize + kTagSize ||
        static_cast<unsigned char>(blob[0]) != kVersion)
        return {};
    std::string secret;
    unsigned char key[32];
    if (!LoadSecret(scope.SecretPath, false, secret) || !DeriveKey(secret, scope, key)) return {};
    const auto* nonce = reinterpret_cast<const unsigned char*>(blob.data() + 1);
    std::string cipher = blob.substr(1 + kNonceSize, blob.size() - 1 - kNonceSize - kTagSize);
    unsigned char tag[kTagSize];
    std::copy(blob.end() - kTagSize, blob.end(), tag);
    std::string plain;
    if (!Gcm(false, key, nonce, cipher, tag, plain)) return {};
    return plain;
}

} // namespace pavona::platform

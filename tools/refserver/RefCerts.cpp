// The reference server's private CA and server certificate, made with OpenSSL and written as PEM.
#include "tools/refserver/RefCerts.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>

namespace pavona::refserver {
namespace {

struct PkeyFree {
    void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
};
struct X509Free {
    void operator()(X509* p) const { X509_free(p); }
};
struct ExtensionFree {
    void operator()(X509_EXTENSION* p) const { X509_EXTENSION_free(p); }
};
struct BignumFree {
    void operator()(BIGNUM* p) const { BN_free(p); }
};
struct FileClose {
    void operator()(FILE* f) const { std::fclose(f); }
};
using PkeyPtr = std::unique_ptr<EVP_PKEY, PkeyFree>;
using X509Ptr = std::unique_ptr<X509, X509Free>;

std::string OpenSslError(const std::string& what) {
    unsigned long code = ERR_get_error();
    char buf[256] = {0};
    if (code != 0) ERR_error_string_n(code, buf, sizeof buf);
    return what + (code != 0 ? std::string(": ") + buf : std::string());
}

PkeyPtr NewKey() {
    return PkeyPtr(EVP_EC_gen("P-256"));
}

bool AddExt(X509* cert, X509* issuer, int nid, const char* value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    const std::unique_ptr<X509_EXTENSION, ExtensionFree> ext(X509V3_EXT_conf_nid(nullptr, &ctx, nid, value));
    if (!ext) return false;
    return X509_add_ext(cert, ext.get(), -1) == 1;
}

bool SetName(X509_NAME* name, const char* commonName) {
    return X509_NAME_add_entry_by_txt(name, "O", MBSTRING_UTF8,
                                      reinterpret_cast<const unsigned char*>("Pavona test association"), -1,
                                      -1, 0) == 1 &&
           X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                                      reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0) == 1;
}

// A certificate for `key` named `commonName`, valid from yesterday (clock skew between the test
// machine's processes is harmless) for ten years; self-signed when issuer is null.
X509Ptr NewCert(EVP_PKEY* key, const char* commonName, X509* issuer, EVP_PKEY* issuerKey, bool isCa) {
    X509Ptr cert(X509_new());
    if (!cert) return nullptr;
    unsigned char serial[16];
    if (RAND_bytes(serial, sizeof serial) != 1) return nullptr;
    serial[0] &= 0x7f; // a positive serial number
    const std::unique_ptr<BIGNUM, BignumFree> bn(BN_bin2bn(serial, sizeof serial, nullptr));
    bool ok = bn && BN_to_ASN1_INTEGER(bn.get(), X509_get_serialNumber(cert.get())) != nullptr;
    ok = ok && X509_set_version(cert.get(), 2) == 1;
    ok = ok && X509_gmtime_adj(X509_getm_notBefore(cert.get()), -24L * 3600) != nullptr;
    ok = ok && X509_gmtime_adj(X509_getm_notAfter(cert.get()), 3650L * 24 * 3600) != nullptr;
    ok = ok && X509_set_pubkey(cert.get(), key) == 1;
    ok = ok && SetName(X509_get_subject_name(cert.get()), commonName);
    X509* signer = issuer ? issuer : cert.get();
    ok = ok && X509_set_issuer_name(cert.get(), X509_get_subject_name(signer)) == 1;
    if (!ok) return nullptr;
    if (isCa) {
        ok = AddExt(cert.get(), signer, NID_basic_constraints, "critical,CA:TRUE") &&
             AddExt(cert.get(), signer, NID_key_usage, "critical,keyCertSign,cRLSign") &&
             AddExt(cert.get(), signer, NID_subject_key_identifier, "hash");
    } else {
        ok = AddExt(cert.get(), signer, NID_basic_constraints, "critical,CA:FALSE") &&
             AddExt(cert.get(), signer, NID_key_usage, "critical,digitalSignature,keyAgreement") &&
             AddExt(cert.get(), signer, NID_ext_key_usage, "serverAuth") &&
             AddExt(cert.get(), signer, NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost") &&
             AddExt(cert.get(), signer, NID_subject_key_identifier, "hash") &&
             AddExt(cert.get(), signer, NID_authority_key_identifier, "keyid:always");
    }
    if (!ok) return nullptr;
    if (X509_sign(cert.get(), issuerKey ? issuerKey : key, EVP_sha256()) <= 0) return nullptr;
    return cert;
}

bool WritePem(const std::string& path, const std::function<int(FILE*)>& write, bool secret,
              std::string& error) {
    std::unique_ptr<FILE, FileClose> f(std::fopen(path.c_str(), "wb"));
    if (!f) {
        error = "cannot write " + path;
        return false;
    }
    if (secret) ::chmod(path.c_str(), 0600);
    bool ok = write(f.get()) == 1;
    // Closed here rather than by the owner: a failed close means the PEM did not reach the file.
    ok = std::fclose(f.release()) == 0 && ok;
    if (!ok) error = OpenSslError("cannot write " + path);
    return ok;
}

} // namespace

bool MakeCertificates(const std::string& dir, std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        error = "cannot create " + dir + ": " + ec.message();
        return false;
    }
    PkeyPtr caKey = NewKey();
    PkeyPtr serverKey = NewKey();
    if (!caKey || !serverKey) {
        error = OpenSslError("key generation failed");
        return false;
    }
    X509Ptr ca = NewCert(caKey.get(), "Pavona test association CA", nullptr, nullptr, true);
    if (!ca) {
        error = OpenSslError("CA certificate failed");
        return false;
    }
    X509Ptr server = NewCert(serverKey.get(), "localhost", ca.get(), caKey.get(), false);
    if (!server) {
        error = OpenSslError("server certificate failed");
        return false;
    }
    const std::filesystem::path base(dir);
    return WritePem((base / "ca.pem").string(), [&](FILE* f) { return PEM_write_X509(f, ca.get()); }, false,
                    error) &&
           WritePem((base / "server.pem").string(), [&](FILE* f) { return PEM_write_X509(f, server.get()); },
                    false, error) &&
           WritePem((base / "server.key").string(),
                    [&](FILE* f) {
                        return PEM_write_PrivateKey(f, serverKey.get(), nullptr, nullptr, 0, nullptr,
                                                    nullptr);
                    },
                    true, error);
}

} // namespace pavona::refserver

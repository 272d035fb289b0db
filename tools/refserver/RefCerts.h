// Certificates for the reference association server: a private CA and a server certificate for
// 127.0.0.1 / localhost signed by it, written as PEM files.
#pragma once

#include <string>

namespace pavona::refserver {

// Writes ca.pem, server.pem and server.key into `dir` (created when missing). On failure returns
// false with the reason in `error`.
bool MakeCertificates(const std::string& dir, std::string& error);

} // namespace pavona::refserver

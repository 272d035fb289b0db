// One HTTPS connection to the association server: its own in-memory cookie store, connection and
// response time-outs, no redirects, certificate and host name always verified against the system's
// trust store. libcurl on Linux, WinHTTP on Windows; the same rules on both.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace pavona {

struct THttpTimeouts {
    // Until the connection (TCP and TLS) is made.
    long ConnectMs = 15000;
    // From the connection being made until the whole answer has arrived.
    long ResponseMs = 20000;
};

struct THttpAnswer {
    // False when no HTTP answer came (no connection, time-out, TLS failure, refused URL).
    bool Answered = false;
    int Status = 0;
    // The answer body as received (bytes).
    std::string Body;
    // When not answered: the transport's error name (libcurl's "CURLE_COULDNT_CONNECT", WinHTTP's
    // "ERROR_WINHTTP_CANNOT_CONNECT") and message.
    std::string ErrorName;
    std::string ErrorMessage;
    // "name: message" for the operator's note.
    std::string Description() const;
};

// What each transport calls the failures callers meet most, and whether it reads a CA bundle named
// by SSL_CERT_FILE (libcurl does; WinHTTP trusts the Windows store alone). Operators' notes and the
// client's tests name the transport's own words.
struct THttpTransportFacts {
    const char* Name;          // "libcurl", "WinHTTP"
    const char* ErrorPrefix;   // every error name starts so: "CURLE_", "ERROR_WINHTTP_"
    const char* TimedOut;      // no complete answer in time
    const char* CannotConnect; // nothing listens, or the connection was refused
    bool ReadsSslCertFile;
};

class THttpSession {
  public:
    static const THttpTransportFacts& TransportFacts();

    THttpSession();
    ~THttpSession();
    THttpSession(const THttpSession&) = delete;
    THttpSession& operator=(const THttpSession&) = delete;

    void SetTimeouts(const THttpTimeouts& t) { FTimeouts = t; }
    const THttpTimeouts& Timeouts() const { return FTimeouts; }

    THttpAnswer Get(const std::string& url);
    // `contentType` becomes the Content-Type header; the body is sent as given.
    THttpAnswer Post(const std::string& url, const std::string& contentType, const std::string& body);

    // Cookies held in this session's store (every cookie any answer set).
    std::size_t CookieCount() const;
    void ClearCookies();

    // Percent-encoding of every byte but letters, digits and "-._~".
    static std::string UrlEncode(std::string_view s);

    // Answers larger than this are refused rather than held in memory.
    static constexpr std::size_t kMaxAnswerBytes = 64u << 20;

  private:
    THttpAnswer Perform(const std::string& url, const std::string* contentType, const std::string* body);
    // The transport's own state, known only to its file (platform/<os>/).
    struct TImpl;
    std::unique_ptr<TImpl> FImpl;
    THttpTimeouts FTimeouts;
};

} // namespace pavona

// The HTTPS session on libcurl's easy interface.
#include "platform/HttpSession.h"

#include "common/Text.h"
#include "platform/Platform.h"

#include <curl/curl.h>

#include <chrono>
#include <memory>
#include <mutex>

namespace pavona {

namespace {

void GlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

const char* CurlCodeName(CURLcode code) {
    switch (code) {
    case CURLE_UNSUPPORTED_PROTOCOL:
        return "CURLE_UNSUPPORTED_PROTOCOL";
    case CURLE_FAILED_INIT:
        return "CURLE_FAILED_INIT";
    case CURLE_URL_MALFORMAT:
        return "CURLE_URL_MALFORMAT";
    case CURLE_COULDNT_RESOLVE_PROXY:
        return "CURLE_COULDNT_RESOLVE_PROXY";
    case CURLE_COULDNT_RESOLVE_HOST:
        return "CURLE_COULDNT_RESOLVE_HOST";
    case CURLE_COULDNT_CONNECT:
        return "CURLE_COULDNT_CONNECT";
    case CURLE_WEIRD_SERVER_REPLY:
        return "CURLE_WEIRD_SERVER_REPLY";
    case CURLE_HTTP2:
        return "CURLE_HTTP2";
    case CURLE_PARTIAL_FILE:
        return "CURLE_PARTIAL_FILE";
    case CURLE_WRITE_ERROR:
        return "CURLE_WRITE_ERROR";
    case CURLE_READ_ERROR:
        return "CURLE_READ_ERROR";
    case CURLE_OUT_OF_MEMORY:
        return "CURLE_OUT_OF_MEMORY";
    case CURLE_OPERATION_TIMEDOUT:
        return "CURLE_OPERATION_TIMEDOUT";
    case CURLE_SSL_CONNECT_ERROR:
        return "CURLE_SSL_CONNECT_ERROR";
    case CURLE_ABORTED_BY_CALLBACK:
        return "CURLE_ABORTED_BY_CALLBACK";
    case CURLE_BAD_CONTENT_ENCODING:
        return "CURLE_BAD_CONTENT_ENCODING";
    case CURLE_GOT_NOTHING:
        return "CURLE_GOT_NOTHING";
    case CURLE_SSL_ENGINE_NOTFOUND:
        return "CURLE_SSL_ENGINE_NOTFOUND";
    case CURLE_SEND_ERROR:
        return "CURLE_SEND_ERROR";
    case CURLE_RECV_ERROR:
        return "CURLE_RECV_ERROR";
    case CURLE_SSL_CERTPROBLEM:
        return "CURLE_SSL_CERTPROBLEM";
    case CURLE_SSL_CIPHER:
        return "CURLE_SSL_CIPHER";
    case CURLE_PEER_FAILED_VERIFICATION:
        return "CURLE_PEER_FAILED_VERIFICATION";
    case CURLE_SSL_CACERT_BADFILE:
        return "CURLE_SSL_CACERT_BADFILE";
    case CURLE_SSL_SHUTDOWN_FAILED:
        return "CURLE_SSL_SHUTDOWN_FAILED";
    case CURLE_SSL_CRL_BADFILE:
        return "CURLE_SSL_CRL_BADFILE";
    case CURLE_SSL_ISSUER_ERROR:
        return "CURLE_SSL_ISSUER_ERROR";
    case CURLE_HTTP2_STREAM:
        return "CURLE_HTTP2_STREAM";
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        return "CURLE_SSL_PINNEDPUBKEYNOTMATCH";
    case CURLE_SSL_INVALIDCERTSTATUS:
        return "CURLE_SSL_INVALIDCERTSTATUS";
    case CURLE_PROXY:
        return "CURLE_PROXY";
    default:
        return nullptr;
    }
}

struct TSlistFree {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using TSlistPtr = std::unique_ptr<curl_slist, TSlistFree>;

// Adds one line to an owned header list. When libcurl cannot grow the list (out of memory), the
// lines so far are freed and the request goes without them.
void AppendHeader(TSlistPtr& list, const std::string& line) {
    curl_slist* grown = curl_slist_append(list.get(), line.c_str());
    if (!grown) {
        list.reset();
        return;
    }
    // `grown` is the same list when it was not empty: ownership passes without a free.
    static_cast<void>(list.release());
    list.reset(grown);
}

// State of one transfer, seen by the write and progress callbacks.
struct TTransfer {
    CURL* Curl = nullptr;
    std::string Body;
    bool TooLarge = false;
    bool ResponseTimedOut = false;
    long ResponseMs = 0;
    std::chrono::steady_clock::time_point Start;
};

size_t OnWrite(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<TTransfer*>(user);
    const size_t n = size * count;
    if (t->Body.size() + n > THttpSession::kMaxAnswerBytes) {
        t->TooLarge = true;
        return 0; // makes libcurl stop with a write error
    }
    t->Body.append(data, n);
    return n;
}

// libcurl calls this at least about once a second, also while nothing arrives; that is where the
// response time-out, counted from the moment the connection was made, is enforced.
int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* t = static_cast<TTransfer*>(user);
    // The connection is usable once TLS is done; a reused connection reports no connect times at
    // all, only the moment the request was ready to go.
    curl_off_t connectedUs = 0;
    for (CURLINFO info : {CURLINFO_APPCONNECT_TIME_T, CURLINFO_CONNECT_TIME_T, CURLINFO_PRETRANSFER_TIME_T}) {
        if (curl_easy_getinfo(t->Curl, info, &connectedUs) == CURLE_OK && connectedUs > 0) break;
        connectedUs = 0;
    }
    if (connectedUs <= 0) return 0; // still connecting: the connection time-out applies
    const auto elapsedUs =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t->Start)
            .count();
    if (elapsedUs - connectedUs > static_cast<long long>(t->ResponseMs) * 1000) {
        t->ResponseTimedOut = true;
        return 1;
    }
    return 0;
}

} // namespace

struct THttpSession::TImpl {
    struct TCleanup {
        void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
    };
    std::unique_ptr<CURL, TCleanup> Curl;
};

THttpSession::THttpSession() : FImpl(std::make_unique<TImpl>()) {
    GlobalInit();
    CURL* c = curl_easy_init();
    FImpl->Curl.reset(c);
    if (!c) return;
    // An empty cookie file switches on libcurl's in-memory cookie engine for this handle only.
    curl_easy_setopt(c, CURLOPT_COOKIEFILE, "");
}

THttpSession::~THttpSession() = default;

THttpAnswer THttpSession::Perform(const std::string& url, const std::string* contentType,
                                  const std::string* body) {
    THttpAnswer a;
    CURL* c = FImpl->Curl.get();
    if (!c) {
        a.ErrorName = "CURLE_FAILED_INIT";
        a.ErrorMessage = curl_easy_strerror(CURLE_FAILED_INIT);
        return a;
    }
    TTransfer t;
    t.Curl = c;
    t.ResponseMs = FTimeouts.ResponseMs;
    char errorBuffer[CURL_ERROR_SIZE] = {0};

    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    // Only HTTPS, and a redirect is an answer like any other: the key never follows a Location.
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    // A store behind a private certificate authority (and the tests) names its own CA bundle.
    const std::string caFile = platform::Env("SSL_CERT_FILE");
    if (!caFile.empty()) curl_easy_setopt(c, CURLOPT_CAINFO, caFile.c_str());
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, FTimeouts.ConnectMs);
    // Backstop only; the response time-out proper is counted from the connection in OnProgress.
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, FTimeouts.ConnectMs + FTimeouts.ResponseMs + 1000L);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &OnProgress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &t);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &OnWrite);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(c, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(c, CURLOPT_USERAGENT, "PavonaAgent");

    TSlistPtr headers;
    // Without this libcurl may wait for a "100 Continue" the server never sends.
    AppendHeader(headers, "Expect:");
    if (body) {
        AppendHeader(headers, "Content-Type: " + *contentType);
        curl_easy_setopt(c, CURLOPT_POST, 1L);
        curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body->size()));
        curl_easy_setopt(c, CURLOPT_POSTFIELDS, body->data());
    } else {
        curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
    }
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());

    t.Start = std::chrono::steady_clock::now();
    const CURLcode rc = curl_easy_perform(c);

    curl_easy_setopt(c, CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, nullptr);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, nullptr);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, nullptr);
    // The handle no longer points at the list, so it can go now.
    headers.reset();

    if (rc == CURLE_OK) {
        long status = 0;
        curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
        a.Answered = true;
        a.Status = static_cast<int>(status);
        a.Body = std::move(t.Body);
        return a;
    }
    if (t.ResponseTimedOut) {
        a.ErrorName = "CURLE_OPERATION_TIMEDOUT";
        a.ErrorMessage = Fmt("no complete answer within %ld ms after the connection was made", t.ResponseMs);
    } else if (t.TooLarge) {
        a.ErrorName = CurlCodeName(rc) ? CurlCodeName(rc) : "CURLE_WRITE_ERROR";
        a.ErrorMessage = Fmt("answer larger than %zu bytes refused", kMaxAnswerBytes);
    } else {
        const char* name = CurlCodeName(rc);
        a.ErrorName = name ? name : Fmt("CURLE_%d", static_cast<int>(rc));
        a.ErrorMessage = errorBuffer[0] ? errorBuffer : curl_easy_strerror(rc);
    }
    return a;
}

std::size_t THttpSession::CookieCount() const {
    CURL* c = FImpl->Curl.get();
    if (!c) return 0;
    curl_slist* raw = nullptr;
    if (curl_easy_getinfo(c, CURLINFO_COOKIELIST, &raw) != CURLE_OK) return 0;
    const TSlistPtr list(raw);
    std::size_t n = 0;
    for (const curl_slist* p = list.get(); p; p = p->next)
        ++n;
    return n;
}

void THttpSession::ClearCookies() {
    if (FImpl->Curl) curl_easy_setopt(FImpl->Curl.get(), CURLOPT_COOKIELIST, "ALL");
}

const THttpTransportFacts& THttpSession::TransportFacts() {
    static const THttpTransportFacts facts{"libcurl", "CURLE_", "CURLE_OPERATION_TIMEDOUT", "CURLE_COULDNT_CONNECT",
                                           true};
    return facts;
}

} // namespace pavona

// The HTTPS session on WinHTTP. WinHTTP's own cookie handling is switched off: the session keeps
// its cookies itself, so that it can count and clear them as the libcurl session does.
#include "platform/HttpSession.h"

#include "common/Text.h"
#include "platform/windows/WinText.h"

#include <windows.h>

#include <winhttp.h>

#include <chrono>
#include <map>

namespace pavona {
namespace {

struct TInternet {
    HINTERNET Handle = nullptr;
    explicit TInternet(HINTERNET h) : Handle(h) {}
    ~TInternet() {
        if (Handle != nullptr) WinHttpCloseHandle(Handle);
    }
    TInternet(const TInternet&) = delete;
    TInternet& operator=(const TInternet&) = delete;
};

const char* WinHttpErrorName(DWORD code) {
    switch (code) {
    case ERROR_WINHTTP_TIMEOUT:
        return "ERROR_WINHTTP_TIMEOUT";
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
        return "ERROR_WINHTTP_NAME_NOT_RESOLVED";
    case ERROR_WINHTTP_CANNOT_CONNECT:
        return "ERROR_WINHTTP_CANNOT_CONNECT";
    case ERROR_WINHTTP_CONNECTION_ERROR:
        return "ERROR_WINHTTP_CONNECTION_ERROR";
    case ERROR_WINHTTP_INVALID_URL:
        return "ERROR_WINHTTP_INVALID_URL";
    case ERROR_WINHTTP_UNRECOGNIZED_SCHEME:
        return "ERROR_WINHTTP_UNRECOGNIZED_SCHEME";
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
        return "ERROR_WINHTTP_INVALID_SERVER_RESPONSE";
    case ERROR_WINHTTP_SECURE_FAILURE:
        return "ERROR_WINHTTP_SECURE_FAILURE";
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
        return "ERROR_WINHTTP_SECURE_CERT_DATE_INVALID";
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
        return "ERROR_WINHTTP_SECURE_CERT_CN_INVALID";
    case ERROR_WINHTTP_SECURE_INVALID_CA:
        return "ERROR_WINHTTP_SECURE_INVALID_CA";
    case ERROR_WINHTTP_SECURE_CERT_REV_FAILED:
        return "ERROR_WINHTTP_SECURE_CERT_REV_FAILED";
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
        return "ERROR_WINHTTP_SECURE_CHANNEL_ERROR";
    case ERROR_WINHTTP_SECURE_INVALID_CERT:
        return "ERROR_WINHTTP_SECURE_INVALID_CERT";
    case ERROR_WINHTTP_SECURE_CERT_REVOKED:
        return "ERROR_WINHTTP_SECURE_CERT_REVOKED";
    case ERROR_WINHTTP_OPERATION_CANCELLED:
        return "ERROR_WINHTTP_OPERATION_CANCELLED";
    case ERROR_WINHTTP_INTERNAL_ERROR:
        return "ERROR_WINHTTP_INTERNAL_ERROR";
    case ERROR_NOT_ENOUGH_MEMORY:
        return "ERROR_NOT_ENOUGH_MEMORY";
    default:
        return nullptr;
    }
}

// Some WinHTTP builds (wine's among them) pass a socket's own error up; they mean the WinHTTP
// errors Windows gives for the same event.
DWORD WinHttpCode(DWORD code) {
    switch (code) {
    case WSAETIMEDOUT:
        return ERROR_WINHTTP_TIMEOUT;
    case WSAECONNREFUSED:
        return ERROR_WINHTTP_CANNOT_CONNECT;
    case WSAECONNRESET:
    case WSAECONNABORTED:
        return ERROR_WINHTTP_CONNECTION_ERROR;
    default:
        return code;
    }
}

// When the system has no text for an error (wine's winhttp.dll has none), the operator's note still
// says in words what happened.
const char* FallbackText(DWORD code) {
    switch (code) {
    case ERROR_WINHTTP_TIMEOUT:
        return "the operation timed out";
    case ERROR_WINHTTP_CANNOT_CONNECT:
        return "could not connect to the server";
    case ERROR_WINHTTP_CONNECTION_ERROR:
        return "the connection was reset or closed";
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
        return "the server name could not be resolved";
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
        return "the server's answer could not be read";
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
        return "the secure connection could not be made or its certificate was not trusted";
    default:
        return "WinHTTP error";
    }
}

// The failure of the last WinHTTP call as an unanswered result: its name and the system's text.
THttpAnswer Failed(DWORD raw) {
    THttpAnswer a;
    const DWORD code = WinHttpCode(raw);
    const char* name = WinHttpErrorName(code);
    a.ErrorName = name ? name : "ERROR_WINHTTP_" + std::to_string(code);
    wchar_t* buffer = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE |
                                       FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   GetModuleHandleW(L"winhttp.dll"), code, 0, reinterpret_cast<wchar_t*>(&buffer),
                                   0, nullptr);
    if (n > 0) a.ErrorMessage = Trim(platform::Narrow(buffer, n));
    if (buffer != nullptr) LocalFree(buffer);
    if (a.ErrorMessage.empty()) a.ErrorMessage = std::string(FallbackText(code)) + " (" + std::to_string(raw) + ")";
    return a;
}

// One Set-Cookie value applied to the jar: "name=value" with attributes after ";". A cookie whose
// Max-Age is not positive, or whose Expires lies in the past, is removed.
void ApplySetCookie(const std::string& header, std::map<std::string, std::string>& jar) {
    const std::vector<std::string> parts = Split(header, ';');
    if (parts.empty()) return;
    const std::string pair = Trim(parts[0]);
    const size_t eq = pair.find('=');
    if (eq == std::string::npos || eq == 0) return;
    const std::string name = Trim(pair.substr(0, eq));
    bool expired = false;
    for (size_t i = 1; i < parts.size(); ++i) {
        const std::string attr = Trim(parts[i]);
        const size_t aeq = attr.find('=');
        const std::string key = LowerAscii(Trim(attr.substr(0, aeq)));
        const std::string value = aeq == std::string::npos ? std::string() : Trim(attr.substr(aeq + 1));
        if (key == "max-age") {
            std::int64_t seconds = 0;
            if (TryParseInt64(value, seconds) && seconds <= 0) expired = true;
        } else if (key == "expires") {
            SYSTEMTIME when{}, now{};
            if (WinHttpTimeToSystemTime(platform::Wide(value).c_str(), &when)) {
                GetSystemTime(&now);
                FILETIME w{}, n{};
                SystemTimeToFileTime(&when, &w);
                SystemTimeToFileTime(&now, &n);
                if (CompareFileTime(&w, &n) <= 0) expired = true;
            }
        }
    }
    if (expired)
        jar.erase(name);
    else
        jar[name] = Trim(pair.substr(eq + 1));
}

} // namespace

struct THttpSession::TImpl {
    HINTERNET Session = nullptr;
    std::map<std::string, std::string> Cookies;
    ~TImpl() {
        if (Session != nullptr) WinHttpCloseHandle(Session);
    }
};

THttpSession::THttpSession() : FImpl(std::make_unique<TImpl>()) {
    FImpl->Session = WinHttpOpen(L"PavonaAgent", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                 WINHTTP_NO_PROXY_BYPASS, 0);
}

THttpSession::~THttpSession() = default;

THttpAnswer THttpSession::Perform(const std::string& url, const std::string* contentType, const std::string* body) {
    if (FImpl->Session == nullptr) return Failed(ERROR_WINHTTP_INTERNAL_ERROR);
    std::wstring wideUrl = platform::Wide(url);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(wideUrl.c_str(), 0, 0, &parts)) return Failed(GetLastError());
    // Only HTTPS: the key never travels in the clear.
    if (parts.nScheme != INTERNET_SCHEME_HTTPS) {
        THttpAnswer a;
        a.ErrorName = "ERROR_WINHTTP_UNRECOGNIZED_SCHEME";
        a.ErrorMessage = "only https is allowed";
        return a;
    }
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
    path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (path.empty()) path = L"/";

    const int connectMs = static_cast<int>(FTimeouts.ConnectMs);
    const int responseMs = static_cast<int>(FTimeouts.ResponseMs);
    WinHttpSetTimeouts(FImpl->Session, connectMs, connectMs, responseMs, responseMs);
    const TInternet connection(WinHttpConnect(FImpl->Session, host.c_str(), parts.nPort, 0));
    if (connection.Handle == nullptr) return Failed(GetLastError());
    const TInternet request(WinHttpOpenRequest(connection.Handle, body ? L"POST" : L"GET", path.c_str(), nullptr,
                                               WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE));
    if (request.Handle == nullptr) return Failed(GetLastError());
    // A redirect is an answer like any other: the key never follows a Location. Cookies are ours.
    DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    WinHttpSetOption(request.Handle, WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof never);
    DWORD noCookies = WINHTTP_DISABLE_COOKIES;
    WinHttpSetOption(request.Handle, WINHTTP_OPTION_DISABLE_FEATURE, &noCookies, sizeof noCookies);
    // The wait for the answer's headers is its own option (90 s unless set), beside the receive
    // time-out of WinHttpSetTimeouts: both are the answer time-out.
    DWORD headersMs = static_cast<DWORD>(responseMs);
    WinHttpSetOption(request.Handle, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headersMs, sizeof headersMs);

    std::string headers = "User-Agent: PavonaAgent\r\n";
    if (body) headers += "Content-Type: " + *contentType + "\r\n";
    if (!FImpl->Cookies.empty()) {
        headers += "Cookie: ";
        bool first = true;
        for (const auto& [name, value] : FImpl->Cookies) {
            if (!first) headers += "; ";
            headers += name + "=" + value;
            first = false;
        }
        headers += "\r\n";
    }
    const std::wstring wideHeaders = platform::Wide(headers);
    const DWORD size = body ? static_cast<DWORD>(body->size()) : 0;
    if (!WinHttpSendRequest(request.Handle, wideHeaders.c_str(), static_cast<DWORD>(-1),
                            body ? const_cast<char*>(body->data()) : WINHTTP_NO_REQUEST_DATA, size, size, 0))
        return Failed(GetLastError());
    // The answer time-out counts from here: the connection is made and the request sent.
    const auto sent = std::chrono::steady_clock::now();
    if (!WinHttpReceiveResponse(request.Handle, nullptr)) return Failed(GetLastError());
    const auto late = [&] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - sent)
                   .count() > responseMs;
    };
    const auto lateAnswer = [&] {
        THttpAnswer t;
        t.ErrorName = "ERROR_WINHTTP_TIMEOUT";
        t.ErrorMessage = Fmt("no complete answer within %d ms after the connection was made", responseMs);
        return t;
    };
    if (late()) return lateAnswer();

    DWORD status = 0, statusSize = sizeof status;
    if (!WinHttpQueryHeaders(request.Handle, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize, WINHTTP_NO_HEADER_INDEX))
        return Failed(GetLastError());
    for (DWORD index = 0;;) {
        DWORD bytes = 0;
        WinHttpQueryHeaders(request.Handle, WINHTTP_QUERY_SET_COOKIE, WINHTTP_HEADER_NAME_BY_INDEX, nullptr,
                            &bytes, &index);
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
        std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
        if (!WinHttpQueryHeaders(request.Handle, WINHTTP_QUERY_SET_COOKIE, WINHTTP_HEADER_NAME_BY_INDEX,
                                 value.data(), &bytes, &index))
            break;
        value.resize(bytes / sizeof(wchar_t));
        ApplySetCookie(platform::Narrow(value), FImpl->Cookies);
    }

    THttpAnswer a;
    for (;;) {
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(request.Handle, &available)) return Failed(GetLastError());
        if (available == 0) break;
        if (a.Body.size() + available > kMaxAnswerBytes) {
            THttpAnswer refused;
            refused.ErrorName = "ERROR_WINHTTP_RESPONSE_TOO_LARGE";
            refused.ErrorMessage = Fmt("answer larger than %zu bytes refused", kMaxAnswerBytes);
            return refused;
        }
        const size_t at = a.Body.size();
        a.Body.resize(at + available);
        DWORD read = 0;
        if (!WinHttpReadData(request.Handle, a.Body.data() + at, available, &read)) return Failed(GetLastError());
        a.Body.resize(at + read);
        if (late()) return lateAnswer();
    }
    if (late()) return lateAnswer();
    a.Answered = true;
    a.Status = static_cast<int>(status);
    return a;
}

std::size_t THttpSession::CookieCount() const {
    return FImpl->Cookies.size();
}

void THttpSession::ClearCookies() {
    FImpl->Cookies.clear();
}

const THttpTransportFacts& THttpSession::TransportFacts() {
    static const THttpTransportFacts facts{"WinHTTP", "ERROR_WINHTTP_", "ERROR_WINHTTP_TIMEOUT",
                                           "ERROR_WINHTTP_CANNOT_CONNECT", false};
    return facts;
}

} // namespace pavona

// What both transports share: the answer's description, GET and POST, URL encoding.
#include "platform/HttpSession.h"

namespace pavona {

std::string THttpAnswer::Description() const {
    if (ErrorMessage.empty()) return ErrorName;
    return ErrorName + ": " + ErrorMessage;
}

THttpAnswer THttpSession::Get(const std::string& url) {
    return Perform(url, nullptr, nullptr);
}

THttpAnswer THttpSession::Post(const std::string& url, const std::string& contentType,
                               const std::string& body) {
    return Perform(url, &contentType, &body);
}

std::string THttpSession::UrlEncode(std::string_view s) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
            c == '.' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

} // namespace pavona

// JSON text written by hand (see JsonText.h): quoting and arrays, the same bytes for the same record.
#include "common/JsonText.h"

#include "common/Text.h"

namespace pavona {

std::string JsonStr(std::string_view s) {
    // Escaping works on bytes: every byte below 32 is a whole character in UTF-8, exactly as the
    // code units below 32 are in UTF-16, so the output is the same either way.
    const std::string text = Utf8Valid(s) ? std::string(s) : Utf8Sanitize(s);
    std::string out;
    out.reserve(text.size() + 2);
    out.push_back('"');
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case 8:
            out += "\\b";
            break;
        case 9:
            out += "\\t";
            break;
        case 10:
            out += "\\n";
            break;
        case 12:
            out += "\\f";
            break;
        case 13:
            out += "\\r";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            if (c < 32) {
                out += Fmt("\\u%04x", c);
            } else {
                out.push_back(ch);
            }
        }
    }
    out.push_back('"');
    return out;
}

std::string JsonArray(const std::vector<std::string>& items) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i) {
        if (i) out.push_back(',');
        out += items[i];
    }
    out.push_back(']');
    return out;
}

} // namespace pavona

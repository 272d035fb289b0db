// JSON text written by hand (see JsonText.h): quoting and arrays, the same bytes for the same record.
#include "common/JsonText.h"

#include "common/Text.h"

namespace pavona {

namespace {

bool NeedsEscape(unsigned char c) {
    return c < 32 || c == '"' || c == '\\';
}

void AppendEscaped(std::string& out, std::string_view text) {
    // Escaping works on bytes: every byte below 32 is a whole character in UTF-8, exactly as the
    // code units below 32 are in UTF-16, so the output is the same either way.
    out.reserve(out.size() + text.size() + 2);
    out.push_back('"');
    size_t run = 0; // start of the bytes not yet copied
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (!NeedsEscape(c)) continue;
        out.append(text, run, i - run);
        run = i + 1;
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
        default: {
            static const char kHex[] = "0123456789abcdef";
            const char u[] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 15]};
            out.append(u, sizeof u);
        }
        }
    }
    out.append(text, run, text.size() - run);
    out.push_back('"');
}

} // namespace

void AppendJsonStr(std::string& out, std::string_view s) {
    if (Utf8Valid(s))
        AppendEscaped(out, s);
    else
        AppendEscaped(out, Utf8Sanitize(s));
}

std::string JsonStr(std::string_view s) {
    std::string out;
    AppendJsonStr(out, s);
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

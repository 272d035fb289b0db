// Writing JSON text by hand, so the same record always gives the same bytes: string quoting and
// arrays. Reading server answers is the server area's own business.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pavona {

// A JSON string: the named escapes for 8, 9, 10, 12, 13, '"' and '\\', "\u00xx" (lower-case hex)
// for the other values below 32, everything else unchanged. A text that is not valid UTF-8 (a POS
// field in a legacy encoding) is written with U+FFFD for each ill-formed sequence, so the result is
// always valid JSON in UTF-8.
std::string JsonStr(std::string_view s);
// JsonStr(s) appended to `out`, without a text of its own.
void AppendJsonStr(std::string& out, std::string_view s);
// "[" + items joined by "," + "]".
std::string JsonArray(const std::vector<std::string>& items);

} // namespace pavona

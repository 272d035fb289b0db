// Notices as the agent log writes them (the notice itself is common/Notice.h).
#pragma once

#include "common/Notice.h"

#include <string>

namespace pavona {

// The agent log's level word: "오류" for an error or a stop, "주의" for a warning, else "정보".
const char* NoticeLogWord(TNoticeLevel level);
// A notice as plain text for the log: "**", "⛔" and "⚠" removed, blanks and control characters
// trimmed.
std::string StripMarks(const std::string& text);
// Writes the notice to the agent log under `category` at its level (nothing for an empty one).
void LogNotice(const char* category, const TNotice& notice);

} // namespace pavona

// Notices as the log writes them.
#include "engine/AgentNotice.h"

#include "common/Text.h"
#include "store/AgentLog.h"

namespace pavona {

const char* NoticeLogWord(TNoticeLevel level) {
    switch (level) {
    case TNoticeLevel::Stop:
    case TNoticeLevel::Error:
        return "오류";
    case TNoticeLevel::Warning:
        return "주의";
    case TNoticeLevel::Info:
        break;
    }
    return "정보";
}

std::string StripMarks(const std::string& text) {
    std::string s = ReplaceAll(text, "**", "");
    s = ReplaceAll(s, "⛔", "");
    s = ReplaceAll(s, "⚠", "");
    std::size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= 0x20)
        ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= 0x20)
        --e;
    return s.substr(b, e - b);
}

void LogNotice(const char* category, const TNotice& notice) {
    if (notice.Empty()) return;
    WriteLog(NoticeLogWord(notice.Level), category, StripMarks(notice.Text));
}

} // namespace pavona

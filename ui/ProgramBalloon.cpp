// The balloon names the window's tab, so its words belong with the window, not the engine.
#include "ui/ProgramBalloon.h"

#include "common/Text.h"
#include "engine/AgentMonitor.h"

namespace pavona {

const char* const kProgramBalloonTitle = "새 농할 회차";

std::string ProgramBalloonText(const TProgramNews& news, int unlinked) {
    std::string text = "새 농할 회차가 시작되었습니다.\r\n\r\n" + news.ProgramName + "\r\n" + news.StartsOn +
                       " ~ " + news.EndsOn + "\r\n" + "우리 매장 배정액 " + FormatWon(news.Allocated) +
                       "\r\n\r\n" + Fmt("대상 품목 %d개", news.Items);
    if (unlinked <= 0)
        text += "가 모두 연결되어 있습니다.";
    else
        text += Fmt(" 가운데 %d개가 아직 연결되지 않았습니다.", unlinked);
    text += "\r\n\r\n「농할 설정」 탭에서 확인해 주세요.";
    return text;
}

} // namespace pavona

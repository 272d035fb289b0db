// Console pieces shared by the modes (the closing wait) and enrolment (/enroll).
#include "app/AgentConsole.h"

#include "common/Text.h"
#include "config/AgentInstall.h"
#include "platform/Platform.h"
#include "server/AgentApi.h"

namespace pavona {

void ConsoleWait(bool ownConsole, std::ostream& out, std::istream& in) {
    if (!ownConsole) return;
    out << "\n아무 키나 누르면 닫힙니다...";
    out.flush();
    std::string line;
    std::getline(in, line);
}

int EnrollConsole(const std::string& code, const std::string& baseUrl, std::ostream& out) {
    TAgentSettings s = LoadSettings();
    // A URL given here is kept only together with the key it was enrolled at.
    if (!baseUrl.empty()) s.BaseUrl = baseUrl;
    const TEnrollResult r = TAgentClient::Enroll(s.BaseUrl, code);
    if (!r.Ok) {
        out << "X  " << r.Error << "\n";
        return 1;
    }
    s.Key = r.Key;
    s.Store = r.Store;
    // Saving registers the running program for autostart; enrolling from a downloaded copy must not
    // move an autostart entry that names an installed program away from it.
    const std::string registered = CommandExe(AutoStartCommand());
    const Result<> saved = SaveSettings(s);
    if (!saved) {
        // The server has handed out the key but this PC could not keep it: never claim success.
        out << "X  " << saved.Error() << "\n";
        return 1;
    }
    if (s.AutoStart && !registered.empty() && platform::FileExists(registered))
        SetAutoStart(true, registered);
    out << "ok 등록했다 — " << r.PointLabel << " · 키 " << Utf8Left(r.Key, 6) << "…\n";
    return 0;
}

} // namespace pavona

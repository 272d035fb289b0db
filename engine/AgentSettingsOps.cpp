// The engine's operations for the settings page: the POS connection test, enrolment, and saving
// the settings on the engine thread, where the engine's own writes of agent.ini happen too.
#include "engine/AgentEngine.h"

#include "config/AgentInstall.h"
#include "platform/Platform.h"

namespace pavona {

Result<> TAgentEngine::TestPosConnection(const std::string& connStr) const {
    TPosReader reader;
    reader.SetTimeouts(FPosLoginSec, FPosCommandSec);
    return reader.Connect(connStr);
}

TEnrollResult TAgentEngine::Enroll(const std::string& baseUrl, const std::string& code) const {
    return TAgentClient::Enroll(baseUrl, code, FHttpTimeouts);
}

Result<TAgentSettings> TAgentEngine::SaveAndApplySettings(TAgentSettings settings) {
    // The page checked them already; a refused value must never reach the timers or the file.
    if (const Result<> valid = ValidateSettings(settings); !valid) return Fail(valid.Error());
    settings.SeenProgramCode = FSettings.SeenProgramCode;
    if (const Result<> saved = SaveSettings(settings); !saved) return Fail(saved.Error());
    ApplySettings(settings);
    return settings;
}

Result<TAgentSettings> TAgentEngine::SaveInForce(const std::function<void(TAgentSettings&)>& change) {
    TAgentSettings s = FSettings;
    change(s);
    // Saving registers the running program for autostart; an entry that names an installed
    // program must not be moved away from it by an enrolment.
    const std::string registered = CommandExe(AutoStartCommand());
    if (const Result<> saved = SaveSettings(s); !saved) return Fail(saved.Error());
    if (s.AutoStart && !registered.empty() && platform::FileExists(registered))
        SetAutoStart(true, registered);
    ApplySettings(s);
    return s;
}

} // namespace pavona

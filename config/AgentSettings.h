// The settings file agent.ini: the data folder and its paths, the settings record with its
// defaults, loading and saving (the key only in protected form), validation, and autostart.
#pragma once

#include "common/Result.h"

#include <string>

namespace pavona {

struct TAgentSettings {
    std::string BaseUrl;
    std::string Store;
    std::string Key;
    std::string PosConnStr;
    int CollectMinutes = 10;
    int PolicyMinutes = 30;
    int CautionPct = 80;
    int ImminentPct = 95;
    std::string SeenProgramCode;
    bool AutoStart = true;
};

// The association server used when agent.ini names none.
extern const char* const kDefaultBaseUrl;

void DefaultSettings(TAgentSettings& s);
std::string DataDir();
std::string SettingsPath();
std::string SpoolDir();

TAgentSettings LoadSettings();
// Writes every settings key and the autostart entry. Fails with a Korean message when the folder
// or file cannot be written or the key cannot be protected (the stored key is then left as it
// was, never silently erased).
Result<> SaveSettings(const TAgentSettings& s);
// Fails with the operator's message of the first check the record does not pass.
Result<> ValidateSettings(const TAgentSettings& s);
// Removes a UTF-8 byte-order mark from the start of the file; errors leave the file as it was.
void StripIniBom(const std::string& path);

std::string ProtectKey(const std::string& plain);
std::string UnprotectKey(const std::string& text);

// Autostart: the command stored is "\"<path>\" /tray"; an empty path means this executable.
void SetAutoStart(bool enable, const std::string& exePath);
std::string AutoStartCommand();
bool AutoStartEnabled();

// Single keys of agent.ini for the parts that keep their own keys there (state, window).
std::string ReadIniKey(const std::string& section, const std::string& key, const std::string& def = "");
// Creates the data folder first; fails with the same message as SaveSettings when the file could
// not be written.
Result<> WriteIniKey(const std::string& section, const std::string& key, const std::string& value);

} // namespace pavona

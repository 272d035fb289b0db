// Settings of agent.ini: the record's defaults, loading, saving in one atomic replacement of the
// file, validation, the protected key and the autostart entry.
#include "config/AgentSettings.h"

#include "common/Text.h"
#include "config/IniFile.h"
#include "platform/Platform.h"

#include <mutex>

namespace pavona {

// The demo runs the association's reference server on this machine, so that is where an agent
// without a configured server reports.
const char* const kDefaultBaseUrl = "https://127.0.0.1:8443";

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

std::string WriteFailedText(const std::string& path) {
    return "설정 파일을 쓰지 못했습니다 — " + path;
}

void ReadInt(const TIniFile& ini, const char* section, const char* key, int& field) {
    std::string text;
    int value = 0;
    if (ini.Read(section, key, text) && TryParseInt(text, value)) field = value;
}

// The window's thread (placement) and the engine's (settings, state counters) both edit agent.ini;
// each edit reads the file, changes it and replaces it, so two at once would lose one of them.
std::mutex& SettingsFileLock() {
    static std::mutex lock;
    return lock;
}

// Applies `edit` to the current agent.ini and replaces the file with the result in one step, so
// a crash leaves the old or the new file and an unreadable file is never overwritten.
template <typename Edit> Result<> EditSettingsFile(Edit edit) {
    const std::lock_guard<std::mutex> hold(SettingsFileLock());
    const std::string path = SettingsPath();
    if (!platform::MakeDirs(DataDir())) return Fail(WriteFailedText(path));
    TIniFile ini;
    if (!ini.Load(path) || !edit(ini) || !platform::ReplaceFileAtomic(path, ini.Text()))
        return Fail(WriteFailedText(path));
    return Done();
}

} // namespace

void DefaultSettings(TAgentSettings& s) {
    s = TAgentSettings{};
    s.BaseUrl = kDefaultBaseUrl;
}

std::string DataDir() {
    return platform::AgentDataDir();
}
std::string SettingsPath() {
    return platform::JoinPath(DataDir(), "agent.ini");
}
std::string SpoolDir() {
    return platform::JoinPath(DataDir(), "spool");
}

TAgentSettings LoadSettings() {
    TAgentSettings s;
    DefaultSettings(s);
    const std::string path = SettingsPath();
    if (!platform::FileExists(path)) return s;
    StripIniBom(path);
    TIniFile ini;
    ini.Load(path);
    ini.Read("server", "base_url", s.BaseUrl);
    ini.Read("server", "store", s.Store);
    s.Key = UnprotectKey(ini.ReadString("server", "key_dpapi"));
    ini.Read("pos", "conn", s.PosConnStr);
    ReadInt(ini, "timing", "collect_min", s.CollectMinutes);
    ReadInt(ini, "timing", "policy_min", s.PolicyMinutes);
    ReadInt(ini, "limit", "caution_pct", s.CautionPct);
    ReadInt(ini, "limit", "imminent_pct", s.ImminentPct);
    ini.Read("state", "seen_program", s.SeenProgramCode);
    s.AutoStart = AutoStartEnabled();
    return s;
}

Result<> SaveSettings(const TAgentSettings& s) {
    // The folder first: the key's protection keeps its secret there too, and a missing folder is
    // the real reason for the failure.
    if (!platform::MakeDirs(DataDir())) return Fail(WriteFailedText(SettingsPath()));
    const std::string keyText = ProtectKey(s.Key);
    // An empty key_dpapi would silently erase the store's key; keep the stored one instead.
    if (!s.Key.empty() && keyText.empty()) return Fail("인증키를 이 컴퓨터에 안전하게 저장하지 못했습니다.");
    Result<> written = EditSettingsFile([&](TIniFile& ini) {
        return ini.Write("server", "base_url", s.BaseUrl) && ini.Write("server", "store", s.Store) &&
               ini.Write("server", "key_dpapi", keyText) && ini.Write("pos", "conn", s.PosConnStr) &&
               ini.Write("timing", "collect_min", std::to_string(s.CollectMinutes)) &&
               ini.Write("timing", "policy_min", std::to_string(s.PolicyMinutes)) &&
               ini.Write("limit", "caution_pct", std::to_string(s.CautionPct)) &&
               ini.Write("limit", "imminent_pct", std::to_string(s.ImminentPct)) &&
               ini.Write("state", "seen_program", s.SeenProgramCode);
    });
    if (!written) return written;
    SetAutoStart(s.AutoStart, "");
    return Done();
}

Result<> ValidateSettings(const TAgentSettings& s) {
    const std::string url = Trim(s.BaseUrl);
    if (url.empty()) return Fail("협회 서버 주소를 넣어 주세요.");
    if (Utf8Left(LowerAscii(url), 8) != "https://") return Fail("서버 주소는 https 로 시작해야 합니다.");
    const std::string store = Trim(s.Store);
    if (Utf8Length(store) != 10) return Fail("사업자번호는 숫자 10자리입니다.");
    for (char c : store)
        if (c < '0' || c > '9') return Fail("사업자번호는 숫자만 넣어 주세요.");
    if (Trim(s.Key).empty()) return Fail("협회에서 받은 인증키를 넣어 주세요.");
    if (s.CollectMinutes < 1 || s.CollectMinutes > 1440)
        return Fail("수집 주기는 1분에서 1440분(하루) 사이입니다.");
    if (s.PolicyMinutes < 1 || s.PolicyMinutes > 1440)
        return Fail("한도 확인 주기는 1분에서 1440분 사이입니다.");
    if (s.CautionPct < 1 || s.CautionPct > 100) return Fail("주의 기준은 1%에서 100% 사이입니다.");
    if (s.ImminentPct < 1 || s.ImminentPct > 100) return Fail("임박 기준은 1%에서 100% 사이입니다.");
    if (s.CautionPct >= s.ImminentPct)
        return Fail("주의 기준은 임박 기준보다 낮아야 합니다 — 그렇지 않으면 주의 경고를 보실 수 없습니다.");
    return Done();
}

void StripIniBom(const std::string& path) {
    const std::lock_guard<std::mutex> hold(SettingsFileLock());
    std::string text;
    if (!platform::ReadWholeFile(path, text) || !StartsWith(text, kBom)) return;
    platform::ReplaceFileAtomic(path, text.substr(kBom.size()));
}

std::string ProtectKey(const std::string& plain) {
    if (plain.empty()) return {};
    return platform::ProtectKey(plain, platform::DefaultKeyScope());
}

std::string UnprotectKey(const std::string& text) {
    if (Trim(text).empty()) return {};
    return platform::UnprotectKey(text, platform::DefaultKeyScope());
}

void SetAutoStart(bool enable, const std::string& exePath) {
    std::string path = Trim(exePath);
    if (path.empty()) path = platform::ExecutablePath();
    if (!enable) {
        platform::RemoveAutoStartEntry();
        return;
    }
    // A quote or line break in the path would change what the entry runs; such a path is refused.
    if (path.empty() || path.find_first_of("\"\r\n") != std::string::npos) return;
    platform::WriteAutoStartEntry("\"" + path + "\" /tray");
}

std::string AutoStartCommand() {
    return platform::ReadAutoStartEntry();
}

bool AutoStartEnabled() {
    return platform::AutoStartEntryExists();
}

std::string ReadIniKey(const std::string& section, const std::string& key, const std::string& def) {
    TIniFile ini;
    if (!ini.Load(SettingsPath())) return def;
    return ini.ReadString(section, key, def);
}

Result<> WriteIniKey(const std::string& section, const std::string& key, const std::string& value) {
    return EditSettingsFile([&](TIniFile& ini) { return ini.Write(section, key, value); });
}

} // namespace pavona

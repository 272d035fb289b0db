// Autostart on Linux desktops: an XDG autostart entry whose Exec line is the command to run.
#include "common/Text.h"
#include "platform/Platform.h"

namespace pavona::platform {

std::string AutoStartEntryPath() {
    std::string config = Env("XDG_CONFIG_HOME");
    if (config.empty()) config = JoinPath(Env("HOME"), ".config");
    return JoinPath(JoinPath(config, "autostart"), "PavonaAgent.desktop");
}

bool WriteAutoStartEntry(const std::string& command) {
    const std::string path = AutoStartEntryPath();
    if (!MakeDirs(ParentDir(path))) return false;
    const std::string entry = "[Desktop Entry]\n"
                              "Type=Application\n"
                              "Name=Pavona 농할 에이전트\n"
                              "Exec=" +
                              command +
                              "\n"
                              "Terminal=false\n"
                              "X-GNOME-Autostart-enabled=true\n";
    return ReplaceFileAtomic(path, entry);
}

bool RemoveAutoStartEntry() {
    return RemoveFile(AutoStartEntryPath());
}

std::string ReadAutoStartEntry() {
    std::string text;
    if (!ReadWholeFile(AutoStartEntryPath(), text)) return {};
    bool inEntry = false;
    for (const std::string& raw : Split(text, '\n')) {
        const std::string line = Trim(raw);
        if (StartsWith(line, "[")) {
            inEntry = line == "[Desktop Entry]";
        } else if (inEntry && StartsWith(line, "Exec=")) {
            return line.substr(5);
        }
    }
    return {};
}

bool AutoStartEntryExists() {
    return FileExists(AutoStartEntryPath());
}

} // namespace pavona::platform

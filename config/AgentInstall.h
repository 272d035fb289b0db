// The installed location of the agent, how the autostart entry is judged (off, on, on from another
// place, broken) with the texts shown for each, and the console flows of /install and /uninstall.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace pavona {

// Where the agent is installed: $LOCALAPPDATA/Programs/Pavona when that variable is set, else
// ~/.local/bin (the usual per-user program folder on Linux desktops).
std::string InstallDir();
std::string InstalledExe();
// The installed program for a running `program`: the program itself when it is the system
// package's (`packaged`, the platform's place by default), which the package manager installs
// and updates; else InstalledExe().
bool IsPackagedProgram(const std::string& program, const std::string& packaged);
std::string InstalledExeFor(const std::string& program, const std::string& packaged);
std::string InstalledExeFor(const std::string& program);

// The executable a command line runs: the quoted text when it starts with a quote, else the text
// before the first space; empty for an empty command.
std::string CommandExe(const std::string& command);
// Paths compared trimmed; letter case matters only where the file system is case-sensitive.
bool SamePath(const std::string& a, const std::string& b);
bool NotSamePath(const std::string& a, const std::string& b);

enum class TAutoStartState : int { Off = 0, Installed = 1, Elsewhere = 2, Broken = 3 };
TAutoStartState AutoStartState(const std::string& command, const std::string& installed, bool exists);
std::string AutoStartStateText(TAutoStartState state);
std::string AutoStartAdvice(TAutoStartState state);

// Copies the program file over `target` without ever leaving a half-written program there.
// A target that is running right now is refused, as on systems that lock a running program.

// What the install flow runs on: the running program's path, where the system package puts the
// program, and how the installed copy is started. Empty members mean this process's own path, the
// platform's package place and a detached start.
struct TInstallHooks {
    std::string CurrentExe;
    std::string PackagedExe;
    // False in a build without the resident agent (the window): nothing would stay running at
    // login, so autostart is not registered and nothing is started in a tray.
    bool ResidentBuilt = true;
    std::function<bool(const std::string& program, const std::vector<std::string>& args,
                       const std::string& workDir)>
        Start;
};

// /install: copies this program to the installed location, registers it for autostart and starts
// it in the tray; a program of the system package is registered where it is, never copied.
// Prints its own lines; true when everything was done.
bool InstallConsole(std::ostream& out, const TInstallHooks& hooks = {});
// /uninstall: removes the autostart entry and says where the program and the data stay.
// True when no autostart entry is left. `residentBuilt` as for /install: without a tray there is
// nothing to quit before removing the folders.
bool UninstallConsole(std::ostream& out, bool residentBuilt = true);

} // namespace pavona

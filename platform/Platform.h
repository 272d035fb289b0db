// Every operating-system service the engine uses, behind one small interface: data folders,
// files with durable writes, key protection, autostart, single instance, console and local time.
// Each OS provides these in its own folder (platform/linux/, platform/windows/).
#pragma once

#include "common/DateTime.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pavona::platform {

// ---- environment, folders and files --------------------------------------------------------

// Value of an environment variable, empty when it is not set.
std::string Env(const char* name);
// The agent's per-user data folder (no trailing separator): $LOCALAPPDATA/Pavona when that is
// set and not empty, else $XDG_DATA_HOME/Pavona, else ~/.local/share/Pavona.
std::string AgentDataDir();
// Root under which the installed program lives ($LOCALAPPDATA when set, else ~/.local).
std::string UserProgramsRoot();
// Full path of the running executable.
std::string ExecutablePath();
#ifdef _WIN32
constexpr char kPathSep = '\\';
// The installed program's file name.
constexpr const char* kProgramFileName = "PavonaAgent.exe";
#else
constexpr char kPathSep = '/';
constexpr const char* kProgramFileName = "pavona-agent";
#endif
// a + separator + b, with exactly one separator between them.
std::string JoinPath(const std::string& a, const std::string& b);
std::string ParentDir(const std::string& path);

bool FileExists(const std::string& path);
bool DirExists(const std::string& path);
// Creates the folder and every missing parent; true when it exists afterwards.
bool MakeDirs(const std::string& path);
bool ReadWholeFile(const std::string& path, std::string& out);
// Appends the bytes with one write call, creating the file; concurrent appenders never interleave
// within one call. With `durable`, returns only after the bytes reached stable storage.
bool AppendToFile(const std::string& path, const std::string& bytes, bool durable = false);
// Replaces the file's content atomically (temporary file, flush, rename, flush the folder): a crash
// leaves the old or the new content, never a mix.
bool ReplaceFileAtomic(const std::string& path, const std::string& bytes);
bool RemoveFile(const std::string& path);
// Names (not paths) of the regular files directly inside `dir`.
bool ListFiles(const std::string& dir, std::vector<std::string>& names);
std::int64_t FileSize(const std::string& path); // -1 when missing
// Where the system's own package puts the program (/usr/bin/pavona-agent); empty on a system
// without such a package. A program run from there is installed and updated by the package manager.
std::string PackagedProgramPath();
// Whether two path texts name the same file by this system's rules for letter case.
bool SamePathText(const std::string& a, const std::string& b);
// Copies a program over `target` through a temporary file renamed into place, so a failure never
// leaves a torn program behind; refuses while the target is running. `error` gets the system's text.
bool InstallProgramFile(const std::string& source, const std::string& target, std::string& error);

// ---- key protection (per user and machine) ----------------------------------------------------

// What binds a protected key: a random per-user secret kept in a file only that user can read,
// the machine id and the user id. Tests pass their own; the agent uses DefaultKeyScope().
struct KeyScope {
    std::string SecretPath;
    std::string MachineId;
    std::string UserId;
};
KeyScope DefaultKeyScope();
// Plain bytes → one line of Base64, empty on any failure (creates the secret when missing).
std::string ProtectKey(const std::string& plain, const KeyScope& scope);
// One line of Base64 → plain bytes, empty on any failure (other user, other machine, damage).
std::string UnprotectKey(const std::string& protectedText, const KeyScope& scope);

// ---- autostart ---------------------------------------------------------------------------------

// Path of the autostart entry ($XDG_CONFIG_HOME/autostart/PavonaAgent.desktop).
std::string AutoStartEntryPath();
// Writes the entry with `command` as what it runs; false when it cannot be written.
bool WriteAutoStartEntry(const std::string& command);
// Removes the entry; true when it no longer exists.
bool RemoveAutoStartEntry();
// The command of the entry, empty when there is none or it cannot be read.
std::string ReadAutoStartEntry();
bool AutoStartEntryExists();

// ---- single instance -----------------------------------------------------------------------------

constexpr const char* kInstanceName = "PavonaAgent.Single";
constexpr const char* kShowWindowMessage = "PavonaAgent.ShowWindow";

// Held by the resident agent for its whole life; the system releases it when the process ends.
class SingleInstance {
  public:
    virtual ~SingleInstance() = default;
    // Starts listening for "show window" requests from later starts; `onShow` runs on a
    // background thread, so the receiver must hand it over to its own thread.
    virtual void Listen(std::function<void()> onShow) = 0;
};
// The instance when this is the first resident agent on the machine, nullptr when another runs.
std::unique_ptr<SingleInstance> AcquireSingleInstance();
// Asks the running agent to show its window; false when none answered.
bool RequestShowWindow();

// ---- ending ---------------------------------------------------------------------------------------

// The system asks the agent to end (logout, shutdown, kill): SIGTERM and SIGINT on Linux, the
// session-end messages on Windows. While the returned object lives, such a request no longer ends
// the process at once; `onRequest` runs on a background thread instead (the receiver hands it to
// its own thread and ends cleanly). Only one watch at a time.
class EndWatch {
  public:
    virtual ~EndWatch() = default;
};
std::unique_ptr<EndWatch> WatchEndRequests(std::function<void()> onRequest);

// ---- console ------------------------------------------------------------------------------------

// Makes standard output write UTF-8 to the caller's console. Returns true exactly when the
// program had to open a console of its own (and so should wait before closing it).
bool AttachConsoleOutput();

// Starts a program detached from this one (it outlives us); false when it could not be started.
bool StartDetached(const std::string& program, const std::vector<std::string>& args,
                   const std::string& workDir);

// ---- digests -------------------------------------------------------------------------------------

// SHA-256 of the bytes, 32 bytes; empty when the system's cryptography fails.
std::string Sha256(const std::string& bytes);

// ---- time ----------------------------------------------------------------------------------------

TDateTime SystemNowLocal();
// Minutes east of UTC of the local time zone at the given local time (TZ honoured).
int LocalUtcOffsetMinutes(TDateTime local);

} // namespace pavona::platform

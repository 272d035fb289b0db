// Shared test ground: a temporary data folder per test with the agent's folders pointed into it,
// and running the agent's executable as a child process. Test data is made by the code under test
// (the demo POS generator, the spool, the report encoders), so no stored fixture files are needed.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace pavona::test {

// Sets an environment variable for the life of the object, then restores the old value.
class ScopedEnv {
  public:
    ScopedEnv(const std::string& name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    std::string FName;
    bool FHad = false;
    std::string FOld;
};

// A fresh folder under the system temp folder, removed with everything in it afterwards.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    const std::string& Path() const { return FPath; }
    std::string File(const std::string& name) const;

  private:
    std::string FPath;
};

// Fixture base: LOCALAPPDATA, XDG_DATA_HOME, XDG_CONFIG_HOME and HOME all point into a temporary
// folder, so the agent's data folder, secret and autostart entry never touch the real user's.
class TempDataTest : public ::testing::Test {
  protected:
    TempDataTest();
    // The agent's data folder inside the temporary folder.
    std::string DataDir() const;
    TempDir FRoot;

  private:
    ScopedEnv FLocal, FData, FConfig, FHome;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

struct ProcessResult {
    // -1 when it had to be killed; kExitUnknown when the system gives no way to learn it (wine
    // starting a program of the host system).
    int ExitCode = -1;
    std::string Out;
    std::string Err;
};
// Runs a program with arguments and extra environment, waits at most `timeoutMs`, and returns
// its exit code (-1 when it had to be killed) and output.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env = {}, int timeoutMs = 30000);
std::string AgentBinary();
inline constexpr int kExitUnknown = -2;

// The path as the host system's own programs and drivers see it: the same path on Linux; under wine
// the Unix path of a Windows path (wine's ODBC bridge hands a database path to the host's driver
// as given, and the reference server is a host program).
std::string HostPath(const std::string& path);

} // namespace pavona::test

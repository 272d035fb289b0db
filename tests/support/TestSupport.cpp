// Temporary folders and environment for tests and file helpers: the parts every system shares.
#include "tests/support/TestSupport.h"

#include "platform/Platform.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace pavona::test {
namespace {
// Paths are UTF-8 text; a std::string alone would be read in the ANSI code page on Windows.
std::filesystem::path FsPath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}
} // namespace

std::string TempDir::File(const std::string& name) const {
    return platform::JoinPath(FPath, name);
}

TempDataTest::TempDataTest()
    : FLocal("LOCALAPPDATA", FRoot.File("local")), FData("XDG_DATA_HOME", FRoot.File("data")),
      FConfig("XDG_CONFIG_HOME", FRoot.File("config")), FHome("HOME", FRoot.File("home")) {}

std::string TempDataTest::DataDir() const {
    return platform::AgentDataDir();
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(FsPath(path), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(FsPath(path).parent_path());
    std::ofstream out(FsPath(path), std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string AgentBinary() {
    return PAVONA_AGENT_BIN;
}

} // namespace pavona::test

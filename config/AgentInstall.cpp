// Installed location, autostart judgement and the install and uninstall console flows.
#include "config/AgentInstall.h"

#include "common/Text.h"
#include "config/AgentSettings.h"
#include "platform/Platform.h"

namespace pavona {

std::string InstallDir() {
    const std::string local = platform::Env("LOCALAPPDATA");
    if (!local.empty()) return platform::JoinPath(local, "Programs/Pavona");
    return platform::JoinPath(platform::UserProgramsRoot(), "bin");
}

std::string InstalledExe() {
    return platform::JoinPath(InstallDir(), platform::kProgramFileName);
}

bool IsPackagedProgram(const std::string& program, const std::string& packaged) {
    return SamePath(program, packaged);
}

std::string InstalledExeFor(const std::string& program, const std::string& packaged) {
    return IsPackagedProgram(program, packaged) ? Trim(packaged) : InstalledExe();
}

std::string InstalledExeFor(const std::string& program) {
    return InstalledExeFor(program, platform::PackagedProgramPath());
}

std::string CommandExe(const std::string& command) {
    const std::string text = Trim(command);
    if (text.empty()) return {};
    if (text[0] == '"') {
        const size_t close = text.find('"', 1);
        if (close == std::string::npos) return Trim(text.substr(1));
        return text.substr(1, close - 1);
    }
    const size_t space = text.find(' ');
    return space == std::string::npos ? text : text.substr(0, space);
}

bool SamePath(const std::string& a, const std::string& b) {
    const std::string x = Trim(a), y = Trim(b);
    if (x.empty() || y.empty()) return false;
    return platform::SamePathText(x, y);
}

bool NotSamePath(const std::string& a, const std::string& b) {
    return !SamePath(a, b);
}

TAutoStartState AutoStartState(const std::string& command, const std::string& installed, bool exists) {
    const std::string exe = CommandExe(command);
    if (exe.empty()) return TAutoStartState::Off;
    if (!exists) return TAutoStartState::Broken;
    return SamePath(exe, installed) ? TAutoStartState::Installed : TAutoStartState::Elsewhere;
}

std::string AutoStartStateText(TAutoStartState state) {
    switch (state) {
    case TAutoStartState::Off:
        return "꺼짐";
    case TAutoStartState::Installed:
        return "켜짐";
    case TAutoStartState::Elsewhere:
        return "켜짐 (설치되지 않은 자리)";
    case TAutoStartState::Broken:
        return "고장 — 프로그램을 찾지 못합니다";
    }
    return {};
}

std::string AutoStartAdvice(TAutoStartState state) {
    switch (state) {
    case TAutoStartState::Off:
        return "컴퓨터를 켤 때 자동으로 실행되지 않습니다. 아래에서 켜 주세요.";
    case TAutoStartState::Installed:
        return {};
    case TAutoStartState::Elsewhere:
        return "지금은 돌지만 **이 파일을 옮기거나 지우면 멈춥니다.** 「설치」 를 누르면 안전한 자리로 "
               "옮겨 둡니다.";
    case TAutoStartState::Broken:
        return "자동 실행에 적힌 프로그램이 그 자리에 없습니다 — 이미 멈춰 있습니다. 「설치」 를 눌러 다시 "
               "잡아 주세요.";
    }
    return {};
}

bool InstallConsole(std::ostream& out, const TInstallHooks& hooks) {
    const std::string current = hooks.CurrentExe.empty() ? platform::ExecutablePath() : hooks.CurrentExe;
    const std::string packaged = hooks.PackagedExe.empty() ? platform::PackagedProgramPath() : hooks.PackagedExe;
    const bool fromPackage = IsPackagedProgram(current, packaged);
    const std::string target = InstalledExeFor(current, packaged);
    out << "Pavona 농할 에이전트 — 설치\n\n";
    out << "  지금 자리  " << current << "\n";
    if (!fromPackage) out << "  옮길 자리  " << target << "\n";
    if (fromPackage) {
        // The package manager put it there and updates it there: a copy elsewhere would only go stale.
        out << "  ok  시스템 패키지로 이미 설치되어 있습니다 — 복사하지 않습니다\n";
    } else if (NotSamePath(current, target)) {
        if (!platform::MakeDirs(InstallDir())) {
            out << "  X   폴더를 만들지 못했습니다 — " << InstallDir() << "\n";
            return false;
        }
        std::string error;
        if (!platform::InstallProgramFile(current, target, error)) {
            out << "  X   복사하지 못했습니다 — " << error << "\n";
            out << "      이미 돌고 있는 에이전트가 있으면 트레이에서 **종료**한 뒤 다시 실행해 주세요.\n";
            return false;
        }
        out << "  ok  옮겼습니다\n";
    } else {
        out << "  ok  이미 설치된 자리에서 돌고 있습니다\n";
    }
    if (!hooks.ResidentBuilt) {
        // Registered, a program without its resident mode would open and end at every login.
        out << "  --  자동 실행은 등록하지 않았습니다 — 이 판에는 상주 에이전트(트레이 창)가 없습니다\n\n";
        out << "설치가 끝났습니다. 보고는 " << target << " /once 로 보냅니다.\n";
        return true;
    }
    SetAutoStart(true, target);
    const std::string command = AutoStartCommand();
    if (AutoStartState(command, target, platform::FileExists(target)) != TAutoStartState::Installed) {
        out << "  X   자동 실행을 등록하지 못했습니다 (지금 값: " << command << ")\n";
        return false;
    }
    out << "  ok  컴퓨터를 켤 때 자동으로 실행됩니다\n\n";
    out << "설치가 끝났습니다. 트레이(시계 옆)에 아이콘이 뜹니다.\n";
    out.flush();
    const auto start = hooks.Start ? hooks.Start : platform::StartDetached;
    if (!start(target, {"/tray"}, fromPackage ? platform::ParentDir(target) : InstallDir())) {
        // Installed and registered all the same; only today's start has to be made by hand.
        out << "  X   지금 띄우지는 못했습니다 — " << target
            << " 를 직접 실행하거나 컴퓨터를 다시 켜 주세요.\n";
        return false;
    }
    return true;
}

bool UninstallConsole(std::ostream& out, bool residentBuilt) {
    out << "Pavona 농할 에이전트 — 자동 실행 해제\n\n";
    SetAutoStart(false, "");
    const std::string left = AutoStartCommand();
    const bool removed = left.empty();
    if (!removed)
        out << "  X   아직 남아 있습니다 — " << left << "\n";
    else
        out << "  ok  자동 실행을 껐습니다\n";
    out << "\n";
    out << "  프로그램 파일   " << InstalledExeFor(platform::ExecutablePath()) << "\n";
    out << "  설정·보관함     " << platform::ParentDir(SettingsPath()) << "\n\n";
    out << "※ 설정과 보관함은 지우지 않습니다 — 보고 이력이 거기 있습니다.\n";
    if (residentBuilt)
        out << "   완전히 지우시려면 트레이에서 종료한 뒤 위 폴더를 지워 주세요.\n";
    else
        out << "   완전히 지우시려면 위 폴더를 지워 주세요.\n";
    return removed;
}

} // namespace pavona

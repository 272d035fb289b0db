// Dispatch of the run modes. Modes are tried in a fixed order with ASCII case folding; only the
// first argument selects one, and anything unrecognised starts the resident agent.
#include "app/AgentEntry.h"

#include "app/AgentConsole.h"
#include "app/AgentIcon.h"
#include "common/Text.h"
#include "config/AgentInstall.h"
#include "config/AgentSettings.h"
#include "engine/AgentEngine.h"
#include "engine/AgentView.h"
#include "platform/Platform.h"

#include <iostream>

namespace pavona {

std::string TCommandLine::Arg(size_t position) const {
    return position >= 1 && position <= Args.size() ? Args[position - 1] : std::string();
}

TCommandLine ParseCommandLine(const std::vector<std::string>& args) {
    TCommandLine cl;
    cl.Args = args;
    const std::string first = args.empty() ? std::string() : args[0];
    auto is = [&](const char* a) { return SameTextAscii(first, a); };
    if (args.size() >= 2 && is("/icons")) {
        cl.Mode = TRunMode::Icons;
    } else if (is("/install") || is("-install")) {
        cl.Mode = TRunMode::Install;
    } else if (is("/uninstall") || is("-uninstall")) {
        cl.Mode = TRunMode::Uninstall;
    } else if (is("/report")) {
        cl.Mode = TRunMode::Report;
        // Every position is examined, including the value that follows a switch.
        for (size_t i = 1; i < args.size(); ++i) {
            const bool last = i + 1 == args.size();
            if (SameTextAscii(args[i], "-sample") && !last) cl.SampleCount = StrToIntDef(args[i + 1], 0);
            if (SameTextAscii(args[i], "-spool") && !last) cl.SpoolArg = args[i + 1];
        }
    } else if (is("/enroll")) {
        cl.Mode = TRunMode::Enroll;
    } else if (is("/once")) {
        cl.Mode = TRunMode::Once;
    } else if (is("/maprequest")) {
        cl.Mode = TRunMode::MapRequest;
    } else if (is("/selfcheck")) {
        cl.Mode = TRunMode::SelfCheck;
    } else {
        cl.Mode = TRunMode::Resident;
        for (const std::string& a : args)
            if (SameTextAscii(a, "/tray") || SameTextAscii(a, "-tray")) cl.Tray = true;
    }
    return cl;
}

namespace {

int NotBuilt(std::ostream& out, const std::string& what) {
    out << "X  " << what << " 기능은 아직 준비되지 않았습니다 — 이 판에서는 쓸 수 없습니다.\n";
    return kExitNotBuilt;
}

int RunReport(const TCommandLine& cl, std::ostream& out) {
    const bool ownConsole = platform::AttachConsoleOutput();
    int code = kExitOk;
    if (cl.SampleCount > 0) {
        code = ReportRoundTrip(cl.SampleCount, cl.SpoolArg, out);
    } else {
        out << "X  -sample <줄 수> 를 주세요 (표본만 보냅니다 — POS 는 읽지 않습니다)\n";
        code = kExitReportFailed;
    }
    ConsoleWait(ownConsole, out, std::cin);
    return code;
}

// /install and /uninstall print their own lines; an installer's script learns of a failed step
// from the exit code.
int RunInstallMode(bool install, bool residentBuilt, std::ostream& out) {
    const bool ownConsole = platform::AttachConsoleOutput();
    TInstallHooks hooks;
    hooks.ResidentBuilt = residentBuilt;
    const bool ok = install ? InstallConsole(out, hooks) : UninstallConsole(out, residentBuilt);
    ConsoleWait(ownConsole, out, std::cin);
    return ok ? kExitOk : kExitFailed;
}

int RunOnceMode(std::ostream& out) {
    platform::AttachConsoleOutput();
    // The whole engine as the window would own it, never shown: one refresh and one cycle.
    TNullAgentView view;
    TAgentEngine engine(view);
    const TOnceResult once = engine.RunOnce();
    out << once.Line << "\n";
    return once.Ok ? kExitOk : kExitFailed;
}

// /maprequest: the whole engine as for /once; a request the association did not accept, settings
// that are missing and a policy that could not be read all end with code 1.
int RunMapRequestMode(const TCommandLine& cl, std::ostream& out) {
    platform::AttachConsoleOutput();
    TNullAgentView view;
    TAgentEngine engine(view);
    const TMapRequestResult r = engine.RequestMappingNow(cl.Arg(2), cl.Arg(3), cl.Arg(4), cl.Arg(5));
    out << r.Line << "\n";
    return r.Ok ? kExitOk : kExitFailed;
}

int RunResident(const TCommandLine& cl, std::ostream& out, const TResidentRunner& resident) {
    auto instance = platform::AcquireSingleInstance();
    if (!instance) {
        // Another agent runs: bring its window forward unless this is an autostart.
        if (!cl.Tray) platform::RequestShowWindow();
        return kExitOk;
    }
    if (!resident) return NotBuilt(out, "상주 에이전트(트레이 창)");
    return resident(cl, *instance);
}

} // namespace

int RunAgent(const std::vector<std::string>& args, std::ostream& out, const TResidentRunner& resident) {
    const TCommandLine cl = ParseCommandLine(args);
    switch (cl.Mode) {
    case TRunMode::Icons:
        if (!ExportTrayIcons(cl.Arg(2))) {
            out << "X  트레이 그림을 쓰지 못했습니다 — " << cl.Arg(2) << "\n";
            return kExitFailed;
        }
        return kExitOk;
    case TRunMode::Install:
        return RunInstallMode(true, resident != nullptr, out);
    case TRunMode::Uninstall:
        return RunInstallMode(false, resident != nullptr, out);
    case TRunMode::Report:
        return RunReport(cl, out);
    case TRunMode::Enroll:
        platform::AttachConsoleOutput();
        return EnrollConsole(cl.Arg(2), cl.Arg(3), out);
    case TRunMode::Once:
        return RunOnceMode(out);
    case TRunMode::MapRequest:
        return RunMapRequestMode(cl, out);
    case TRunMode::SelfCheck:
        // The self check attaches the console itself and decides about the closing wait.
        return SelfCheck(cl.Arg(2), cl.Arg(3), cl.Arg(4), out) ? kExitOk : kExitFailed;
    case TRunMode::Resident:
        return RunResident(cl, out, resident);
    }
    return kExitOk;
}

} // namespace pavona

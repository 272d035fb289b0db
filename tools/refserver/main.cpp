// pavona-refserver: a small reference association server for tests and the demo, with the
// commands that seed its state file.
#include "tools/refserver/RefCerts.h"
#include "tools/refserver/RefHttp.h"
#include "tools/refserver/RefState.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>

using namespace pavona::refserver;

namespace {

const char kHelp[] = R"(pavona-refserver - reference association server (HTTPS JSON API on 127.0.0.1)

Serve:
  pavona-refserver --state DB --cert FILE --key FILE [--port N] [--session-seconds S] [--test-api]
    --state DB            SQLite state file (created when missing; survives restarts)
    --cert FILE           server certificate (PEM), for example server.pem of --make-certs
    --key FILE            the certificate's private key (PEM)
    --port N              port on 127.0.0.1; 0 (the default) takes any free port
    --session-seconds S   lifetime of a login session in seconds (default 3600); after it the
                          server answers 401 and the agent logs in again
    --test-api            also serve /test/... (fault injection, inspection, clock, stop); tests only
    --log FILE            write the server's own lines (standard error) to FILE, appended; a
                          starter that cannot redirect standard error (wine) names a file instead
  Prints exactly one line "listening on https://127.0.0.1:<port>" when ready; stops cleanly on
  SIGTERM or SIGINT.

Seed and inspect (without serving):
  pavona-refserver --make-certs DIR
    writes DIR/ca.pem, DIR/server.pem (IP 127.0.0.1, DNS localhost) and DIR/server.key
  pavona-refserver --add-store --state DB --business-no X --agent-key K --point-label L
                   --point-id P --policy FILE
    adds the store, or replaces its point and policy; the key is added to its keys.
    L is "member_code sign_name" (split at the first blank).
  pavona-refserver --issue-code --state DB --business-no X [--code C] [--hours H]
    prints a one-time enrolment code for the store, valid H hours (default 72)
  pavona-refserver --decide --state DB --business-no X --vendor-item-code V --verdict W [--reason R]
    the association decides the store's current assignment of goods V: W is "confirmed" or
    "rejected" (R says why); the decision is in the store's next policy document, and a rejected
    goods leaves the items and cannot be assigned to the same item again
  pavona-refserver --report --state DB [--business-no X]
    prints what the server received: lines accepted, duplicates, rejects with reasons,
    corrections applied and skipped, coupons, status heartbeats, mapping requests, and the
    store's reported_executed and remaining

Policy file: a JSON object shaped like the policy document the agent fetches, for example
  {"enabled":true,
   "program":{"code":"NH-2026-10","name":"10월 농할","starts_on":"2026-10-01","ends_on":"2026-10-31"},
   "budget":{"allocated":1000000,"offset_outstanding":0},
   "items":[{"vendor_item_code":"512","standard_item_code":"V001","item_name":"대파",
             "discount_rate":20,"discount_cap":2000,"review":"confirmed"}],
   "subsidy_coupon_codes":[101],
   "schema_fingerprint":{"approved":"<64 hex>"},
   "collect_from":"2026-10-01T00:00:00",
   "rounds":[{"round_no":1,"starts_on":"2026-10-01","ends_on":"2026-10-15","phase":"current",
              "designated":[{"standard_item_code":"V001","name":"대파"}],"items":[]}],
   "decisions":[{"vendor_item_code":"530","product_name":"깐양파","item_name":"양파",
                 "standard_item_code":"V002","verdict":"rejected","reason":"품목이 다릅니다",
                 "at":"2026-10-03"}],
   "catalog":[{"standard_item_code":"V002","item_name":"양파","discount_rate":20,"discount_cap":2000}]}
  The server adds "schema", "revision", "server_time", "point" and the budget's
  "reported_executed" (subsidy of the accepted lines after corrections) and "remaining"
  (allocated - offset_outstanding - reported_executed, not below 0). "catalog" lists association
  items that mapping requests may name besides those in items and rounds; it is not sent.

Exit codes: 0 done, 1 failed, 2 bad command line or unusable files.
)";

struct Args {
    std::set<std::string> Flags;
    std::map<std::string, std::string> Values;
    std::string Error;
};

Args Parse(int argc, char** argv) {
    static const std::set<std::string> kFlags = {"--help",       "-h",       "--test-api", "--add-store",
                                                 "--issue-code", "--report", "--decide"};
    static const std::set<std::string> kValued = {
        "--state",      "--cert",        "--key",       "--port",        "--session-seconds",
        "--make-certs", "--business-no", "--agent-key", "--point-label", "--point-id",
        "--policy",     "--code",        "--hours",     "--vendor-item-code", "--verdict",
        "--reason",     "--log"};
    Args a;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (kFlags.count(arg)) {
            a.Flags.insert(arg);
        } else if (kValued.count(arg)) {
            if (i + 1 >= argc) {
                a.Error = arg + " needs a value";
                return a;
            }
            a.Values[arg] = argv[++i];
        } else {
            a.Error = "unknown option " + arg;
            return a;
        }
    }
    return a;
}

bool ToInt(const std::string& text, long long low, long long high, int& out) {
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || v < low || v > high) return false;
    out = static_cast<int>(v);
    return true;
}

int Fail(const std::string& message, int code = 1) {
    std::cerr << "pavona-refserver: " << message << std::endl;
    return code;
}

bool Need(const Args& a, std::initializer_list<const char*> names, std::string& missing) {
    for (const char* n : names)
        if (!a.Values.count(n) || a.Values.at(n).empty()) {
            missing = std::string(n) + " is required";
            return false;
        }
    return true;
}

// Serving and --add-store create the state file; the other commands only read or extend one.
int OpenState(const Args& a, RefState& state, bool mayCreate = true) {
    std::string error;
    if (!mayCreate && !std::filesystem::exists(a.Values.at("--state")))
        return Fail("no state file " + a.Values.at("--state"), 2);
    if (!state.Open(a.Values.at("--state"), error)) return Fail(error, 2);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    Args a = Parse(argc, argv);
    if (!a.Error.empty()) return Fail(a.Error + " (see --help)", 2);
    if (a.Flags.count("--help") || a.Flags.count("-h")) {
        std::cout << kHelp;
        return 0;
    }
    std::string missing;
    auto value = [&](const char* n, const std::string& def = "") {
        return a.Values.count(n) ? a.Values.at(n) : def;
    };

    if (a.Values.count("--make-certs")) {
        std::string error;
        if (!MakeCertificates(value("--make-certs"), error)) return Fail(error);
        std::cout << "certificates written to " << value("--make-certs") << std::endl;
        return 0;
    }
    if (a.Flags.count("--add-store")) {
        if (!Need(a, {"--state", "--business-no", "--agent-key", "--point-label", "--point-id", "--policy"},
                  missing))
            return Fail(missing, 2);
        std::ifstream in(value("--policy"), std::ios::binary);
        if (!in) return Fail("cannot read " + value("--policy"), 2);
        std::stringstream text;
        text << in.rdbuf();
        RefState state;
        if (int rc = OpenState(a, state)) return rc;
        std::string error;
        if (!state.AddStore(value("--business-no"), value("--agent-key"), value("--point-label"),
                            value("--point-id"), text.str(), error))
            return Fail(error);
        std::cout << "store " << value("--business-no") << " added" << std::endl;
        return 0;
    }
    if (a.Flags.count("--issue-code")) {
        if (!Need(a, {"--state", "--business-no"}, missing)) return Fail(missing, 2);
        char* end = nullptr;
        const std::string hoursText = value("--hours", "72");
        double hours = std::strtod(hoursText.c_str(), &end);
        if (hoursText.empty() || *end != '\0') return Fail("--hours needs a number", 2);
        RefState state;
        if (int rc = OpenState(a, state, false)) return rc;
        std::string error;
        std::string code = state.IssueCode(value("--business-no"), hours, value("--code"), error);
        if (code.empty()) return Fail(error);
        std::cout << code << std::endl;
        return 0;
    }
    if (a.Flags.count("--decide")) {
        if (!Need(a, {"--state", "--business-no", "--vendor-item-code", "--verdict"}, missing))
            return Fail(missing, 2);
        RefState state;
        if (int rc = OpenState(a, state, false)) return rc;
        std::string error;
        if (!state.Decide(value("--business-no"), value("--vendor-item-code"), value("--verdict"),
                          value("--reason"), error))
            return Fail(error);
        std::cout << value("--verdict") << " " << value("--vendor-item-code") << std::endl;
        return 0;
    }
    if (a.Flags.count("--report")) {
        if (!Need(a, {"--state"}, missing)) return Fail(missing, 2);
        RefState state;
        if (int rc = OpenState(a, state, false)) return rc;
        std::cout << state.ReportText(value("--business-no"));
        return 0;
    }

    if (!Need(a, {"--state", "--cert", "--key"}, missing)) return Fail(missing + " (see --help)", 2);
    RefOptions o;
    o.State = value("--state");
    o.Cert = value("--cert");
    o.Key = value("--key");
    o.TestApi = a.Flags.count("--test-api") > 0;
    if (!ToInt(value("--port", "0"), 0, 65535, o.Port)) return Fail("--port needs 0 to 65535", 2);
    if (!ToInt(value("--session-seconds", "3600"), 0, 100000000, o.SessionSeconds))
        return Fail("--session-seconds needs a whole number of seconds", 2);
    if (a.Values.count("--log") && !std::freopen(value("--log").c_str(), "a", stderr))
        return Fail("cannot open the log file " + value("--log"), 2);
    std::setvbuf(stderr, nullptr, _IONBF, 0);
    return RunServer(o);
}

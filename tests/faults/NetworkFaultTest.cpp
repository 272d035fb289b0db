// The network fault matrix: the reference server answering with errors, late, not at all, with
// huge, malformed or wrong-typed bodies, or stopped for a few cycles, over a demo POS of 1,000
// lines (10,000 in the long run). Everything is delivered in the end, once.
#include "tests/faults/FaultHarness.h"

#include "common/Text.h"
#include "config/AgentSettings.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace pavona::test {
namespace {

enum class Outage { None, ServerStopped, SilentListener };

struct NetCase {
    const char* Name;
    const char* Path; // where the fault is injected
    RefFault Fault;
    Outage Kind = Outage::None;
    // At most this many lines the server may take without the agent hearing of it (an answer lost
    // after the server processed the batch): they are sent again and answered as duplicates.
    std::int64_t MaxDuplicated = 0;
};

RefFault Make(int status, int times, int skip = 0, const std::string& body = "", std::int64_t bodyBytes = 0,
              int delayMs = 0, bool nonJson = false, bool redirect = false, bool drop = false) {
    RefFault f;
    f.Status = status;
    f.Times = times;
    f.Skip = skip;
    f.Body = body;
    f.BodyBytes = bodyBytes;
    f.DelayMs = delayMs;
    f.NonJson = nonJson;
    f.Redirect = redirect;
    f.Drop = drop;
    return f;
}

const char* const kSales = "/api/agent/sales";
constexpr int kResponseMs = 2000;

const NetCase kCases[] = {
    {"no fault", kSales, Make(0, 0)},
    {"5xx on three batches", kSales, Make(500, 3, 1, "internal error")},
    {"503 on the login", "/api/auth/agent", Make(503, 2)},
    {"401 after login, once", kSales, Make(401, 1, 1)},
    {"401 after login, again and again", kSales, Make(401, 4, 1)},
    {"slow answers within the time-out", kSales, Make(0, 4, 0, "", 0, kResponseMs / 2)},
    {"an answer later than the time-out", kSales, Make(0, 1, 1, "", 0, kResponseMs + 1500), Outage::None,
     kBatchLines},
    {"connection dropped without an answer", kSales, Make(0, 3, 1, "", 0, 0, false, false, true)},
    {"a huge error body (8 MiB)", kSales, Make(502, 1, 1, "<html>bad gateway", 8 << 20)},
    {"a huge blank 200 body (8 MiB)", kSales, Make(200, 1, 1, "", 8 << 20)},
    {"a 200 that is not JSON", kSales, Make(0, 2, 0, "", 0, 0, true)},
    {"a 200 with truncated JSON", kSales, Make(200, 2, 1, R"({"accepted":20)")},
    {"a 200 with wrong-typed members", kSales,
     Make(200, 2, 1, R"({"accepted":"200","duplicated":[],"rejected":"none"})")},
    {"a 200 that is an array", kSales, Make(200, 1, 1, "[200,0]")},
    {"a redirect", kSales, Make(0, 2, 1, "", 0, 0, false, true)},
    {"the server stopped for three cycles", kSales, Make(0, 0), Outage::ServerStopped},
    {"a listener that never answers", kSales, Make(0, 0), Outage::SilentListener},
};

// A TCP listener on 127.0.0.1 that takes connections into its backlog and never answers.
class SilentListener {
  public:
    SilentListener() {
        FFd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (FFd >= 0 && ::bind(FFd, reinterpret_cast<sockaddr*>(&a), len) == 0 && ::listen(FFd, 16) == 0 &&
            ::getsockname(FFd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
            FPort = ntohs(a.sin_port);
    }
    ~SilentListener() {
        if (FFd >= 0) ::close(FFd);
    }
    int Port() const { return FPort; }

  private:
    int FFd = -1;
    int FPort = 0;
};

class NetworkFaultTest : public FaultHarnessTest, public ::testing::WithParamInterface<NetCase> {};

TEST_P(NetworkFaultTest, EverythingIsDeliveredOnce) {
    const NetCase& c = GetParam();
    const std::int64_t posLines = MakePos(LinesWanted());
    ASSERT_GT(posLines, 0);
    auto engine = MakeEngine();
    THttpTimeouts t;
    t.ConnectMs = 1000;
    t.ResponseMs = kResponseMs;
    engine->SetHttpTimeouts(t);
    engine->RefreshPolicy();
    if (c.Fault.Times > 0) {
        ASSERT_TRUE(FServer->Fault(c.Path, c.Fault)) << FServer->LastError();
    }

    int outageCycles = 0;
    if (c.Kind == Outage::ServerStopped) {
        FServer->Stop();
        for (; outageCycles < 3; ++outageCycles) {
            Later(10);
            engine->CollectIfIdle();
        }
        ASSERT_TRUE(FServer->Restart()) << FServer->StartError();
    } else if (c.Kind == Outage::SilentListener) {
        SilentListener silent;
        ASSERT_GT(silent.Port(), 0);
        TAgentSettings s = LoadSettings();
        s.BaseUrl = "https://127.0.0.1:" + std::to_string(silent.Port());
        engine->ApplySettings(s);
        for (; outageCycles < 2; ++outageCycles) {
            Later(10);
            engine->CollectIfIdle();
        }
        EXPECT_EQ(FServer->Summary(kStore).Accepted, 0);
        s.BaseUrl = FServer->BaseUrl();
        engine->ApplySettings(s);
    } else {
        engine->CollectIfIdle();
        ++outageCycles;
    }
    const int cycles = outageCycles + Drain(*engine);
    EXPECT_TRUE(CaughtUp()) << "still behind after " << cycles << " cycles";

    const FaultFigures f = Figures(std::string("network: ") + c.Name, posLines, Fmt("%d cycles", cycles));
    Record(f);
    EXPECT_EQ(f.Missing, 0);
    EXPECT_EQ(f.Accepted, posLines);
    EXPECT_LE(f.Duplicated, c.MaxDuplicated);
    EXPECT_EQ(f.Unreadable, 0);
}

INSTANTIATE_TEST_SUITE_P(Matrix, NetworkFaultTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<NetCase>& info) {
                             std::string name;
                             for (const char ch : std::string(info.param.Name))
                                 if (std::isalnum(static_cast<unsigned char>(ch))) name += ch;
                             return name;
                         });

} // namespace
} // namespace pavona::test

// The association server client (see AgentApi.h).
#include "server/AgentApi.h"

#include "common/JsonText.h"
#include "common/Text.h"
#include "server/ApiJson.h"

#include <set>

namespace pavona {

const char* const kUnreadableAnswer = "협회 서버의 답을 읽지 못했습니다.";
const char* const kHttpsRequired = "서버 주소는 https 로 시작해야 합니다.";
const char* const kAnswerMismatch =
    "협회 서버의 답이 보낸 줄과 맞지 않습니다 — 보낸 것으로 적지 않고 다시 보냅니다.";

namespace {

const char* const kJsonType = "application/json; charset=utf-8";
const char* const kFormType = "application/x-www-form-urlencoded";

std::string StripTrailingSlashes(std::string s) {
    while (!s.empty() && s.back() == '/')
        s.pop_back();
    return s;
}

// The key and the enrolment code travel only inside TLS.
bool IsHttpsBase(const std::string& base) {
    static const std::string kScheme = "https://";
    return base.size() > kScheme.size() && SameTextAscii(base.substr(0, kScheme.size()), kScheme);
}

// The rejected (or skipped) list: absent, or an array of objects whose "tx_key" and "reason" are
// strings when present. Anything else (null included) cannot say which lines were refused.
bool RefusalListReadable(const TJsonNode& n) {
    if (!n.Present()) return true;
    if (!n.IsArray()) return false;
    for (std::size_t i = 0; i < n.Size(); ++i) {
        const TJsonNode e = n.At(i);
        if (!e.IsObject()) return false;
        for (const char* member : {"tx_key", "reason"}) {
            const TJsonNode m = e.Member(member);
            if (m.Present() && !m.IsString()) return false;
        }
    }
    return true;
}

} // namespace

std::string ServerErrorText(int status, const std::string& answer) {
    std::string text;
    switch (status) {
    case 0:
        text = "협회 서버에 연결하지 못했습니다. 인터넷 연결을 확인해 주세요.";
        break;
    case 401:
        text = "인증키가 맞지 않습니다. 협회에서 받은 키를 다시 확인해 주세요.";
        break;
    case 403:
        text = "이 사업자번호로는 보고할 수 없습니다. 협회에 문의해 주세요.";
        break;
    case 404:
        text = "협회 서버 주소가 맞지 않습니다. 설정을 확인해 주세요.";
        break;
    case 409:
        text = "에이전트 판이 서버와 다릅니다. 최신 판으로 올려 주세요.";
        break;
    default:
        if (status >= 500 && status <= 599)
            text = "협회 서버에 문제가 있습니다. 잠시 뒤 다시 시도합니다.";
        else
            text = Fmt("협회 서버가 예상하지 못한 답을 했습니다 (%d).", status);
    }
    if (!answer.empty()) text += " [" + Utf8Left(answer, 120) + "]";
    return text;
}

std::string ReportEnvelope(const std::string& store, const std::string& agentTime,
                           const std::string& content) {
    // Quoting gives the same bytes for a ten-digit store number and a UTC stamp, and keeps the
    // body valid JSON whatever was typed into the settings.
    return "{\"schema\":\"pavona.agent.v1\",\"store\":" + JsonStr(store) +
           ",\"agent_time\":" + JsonStr(agentTime) + "," + content + "}";
}

void ReadReportAnswer(TReportKind kind, const std::string& answer, TReportResult& r) {
    const TJsonNode doc = TJsonNode::Parse(answer);
    const char* listName = kind == TReportKind::Cancels ? "skipped" : "rejected";
    const TJsonNode list = doc.Member(listName);
    // An answer of another shape cannot say which lines were taken: nothing may be marked sent.
    bool readable = doc.IsObject() && RefusalListReadable(list);
    if (readable) {
        if (kind == TReportKind::Cancels) {
            readable = ReadJsonCount(doc, "applied", r.Accepted);
        } else {
            readable =
                ReadJsonCount(doc, "accepted", r.Accepted) && ReadJsonCount(doc, "duplicated", r.Duplicated);
        }
    }
    if (!readable) {
        r.Ok = false;
        r.Accepted = r.Duplicated = 0;
        r.Error = kUnreadableAnswer;
        r.Detail = "답: " + Utf8Left(answer, 160);
        return;
    }
    r.Ok = true;
    r.Rejected = static_cast<int>(list.Size());
    for (std::size_t i = 0; i < list.Size(); ++i) {
        const TJsonNode e = list.At(i);
        if (i == 0) r.FirstReason = ReadJsonString(e, "reason");
        const std::string key = ReadJsonString(e, "tx_key");
        r.RejectedKeys.push_back(key);
        if (kind == TReportKind::Cancels) {
            if (key.empty()) r.SkippedKeysNamed = false;
            if (ReadJsonString(e, "reason") == "record_unknown") {
                r.Retryable = true;
                r.UnknownKeys.push_back(key);
            }
        }
    }
}

std::string AnswerMismatch(TReportKind kind, const TReportResult& r, std::size_t sent,
                           const std::vector<std::string>& keys) {
    const char* listName = kind == TReportKind::Cancels ? "건너뜀" : "거절";
    const std::string counts =
        kind == TReportKind::Cancels
            ? Fmt("보낸 %zu줄 · 반영 %d · %s %d", sent, r.Accepted, listName, r.Rejected)
            : Fmt("보낸 %zu줄 · 받음 %d · 중복 %d · %s %d", sent, r.Accepted, r.Duplicated, listName,
                  r.Rejected);
    const long long answered = static_cast<long long>(r.Accepted) + r.Duplicated + r.Rejected;
    if (answered != static_cast<long long>(sent)) return "답의 수가 보낸 줄 수와 다릅니다 (" + counts + ")";
    if (keys.empty()) return {};
    // Each refused key must take one line of the batch: a key named twice, or one the batch does
    // not hold, would leave a line that was never answered to be marked sent.
    std::multiset<std::string> left(keys.begin(), keys.end());
    for (const std::string& k : r.RejectedKeys) {
        if (k.empty() && kind == TReportKind::Cancels) continue; // unnamed skips mark nothing by key
        const auto it = left.find(k);
        if (it == left.end())
            return Fmt("%s된 줄 [%s]이 보낸 줄에 없습니다 (", listName, Utf8Left(k, 60).c_str()) + counts +
                   ")";
        left.erase(it);
    }
    return {};
}

void CheckAnswerAccounts(TReportKind kind, std::size_t sent, const std::vector<std::string>& keys,
                         TReportResult& r) {
    if (!r.Ok) return;
    const std::string why = AnswerMismatch(kind, r, sent, keys);
    if (why.empty()) return;
    r.Ok = false;
    r.Error = kAnswerMismatch;
    r.Detail = why;
}

TAgentClient::TAgentClient(const std::string& baseUrl, const std::string& key)
    : FBase(StripTrailingSlashes(baseUrl)), FKey(key), FHttp(std::make_unique<THttpSession>()) {}

TAgentClient::~TAgentClient() = default;

void TAgentClient::SetTimeouts(const THttpTimeouts& t) {
    FHttp->SetTimeouts(t);
}

std::size_t TAgentClient::SessionCookieCount() const {
    return FHttp->CookieCount();
}

bool TAgentClient::Login() {
    FLoginStatus = 0;
    FLoginNote.clear();
    if (!IsHttpsBase(FBase)) {
        FLoginNote = kHttpsRequired;
        return false;
    }
    const THttpAnswer a =
        FHttp->Post(FBase + "/api/auth/agent", kFormType, "key=" + THttpSession::UrlEncode(FKey));
    if (!a.Answered) {
        FLoginNote = a.Description();
        FTransportNote = FLoginNote;
        return false;
    }
    FLoginStatus = a.Status;
    if (a.Status == 200) {
        if (SessionCookieCount() > 0) return true;
        FLoginNote = "서버가 200 을 줬는데 세션 쿠키가 오지 않았다";
        return false;
    }
    FLoginNote = Utf8Left(Utf8Sanitize(a.Body), 160);
    // A refused login may still have set cookies; they must not pass for a session later.
    FHttp->ClearCookies();
    return false;
}

bool TAgentClient::Request(const std::string& path, const std::string* json, int& status,
                           std::string& answer) {
    answer.clear();
    FTransportNote.clear();
    if (SessionCookieCount() == 0 && !Login()) {
        status = FLoginStatus;
        answer = FLoginNote;
        return false;
    }
    auto once = [&]() {
        const THttpAnswer a = json ? FHttp->Post(FBase + path, kJsonType, *json) : FHttp->Get(FBase + path);
        if (!a.Answered) {
            status = 0;
            answer.clear();
            FTransportNote = a.Description();
            return false;
        }
        status = a.Status;
        answer = Utf8Sanitize(a.Body);
        return status == 200;
    };
    if (once() || status != 401) return status == 200;
    // The session expired or the server forgot it: one fresh login, one repetition.
    const int firstStatus = status;
    const std::string firstAnswer = answer;
    FHttp->ClearCookies();
    if (!Login()) {
        status = firstStatus;
        answer = firstAnswer;
        return false;
    }
    return once();
}

bool TAgentClient::GetJson(const std::string& path, int& status, std::string& answer) {
    return Request(path, nullptr, status, answer);
}

bool TAgentClient::PostJson(const std::string& path, const std::string& json, int& status,
                            std::string& answer) {
    return Request(path, &json, status, answer);
}

TReportResult TAgentClient::SendReport(TReportKind kind, const std::string& path, const std::string& body) {
    TReportResult r;
    if (!IsHttpsBase(FBase)) {
        r.Error = kHttpsRequired;
        return r;
    }
    std::string answer;
    r.Ok = PostJson(path, body, r.Status, answer);
    if (!r.Ok) {
        r.Error = ServerErrorText(r.Status, answer);
        r.Detail = FTransportNote;
        return r;
    }
    ReadReportAnswer(kind, answer, r);
    return r;
}

TReportResult TAgentClient::SendSales(const std::string& store, const std::string& agentTime,
                                      const std::string& linesJson) {
    return SendReport(TReportKind::Sales, "/api/agent/sales",
                      ReportEnvelope(store, agentTime, "\"lines\":" + linesJson));
}

TReportResult TAgentClient::SendCoupons(const std::string& store, const std::string& agentTime,
                                        const std::string& couponsJson) {
    return SendReport(TReportKind::Coupons, "/api/agent/coupons",
                      ReportEnvelope(store, agentTime, "\"coupons\":" + couponsJson));
}

TReportResult TAgentClient::SendCancels(const std::string& store, const std::string& agentTime,
                                        const std::string& cancelsJson) {
    return SendReport(TReportKind::Cancels, "/api/agent/cancels",
                      ReportEnvelope(store, agentTime, "\"cancels\":" + cancelsJson));
}

TReportResult TAgentClient::SendStatus(const std::string& store, const std::string& agentTime,
                                       const std::string& fieldsJson) {
    TReportResult r;
    if (!IsHttpsBase(FBase)) {
        r.Error = kHttpsRequired;
        return r;
    }
    int status = 0;
    std::string answer;
    if (PostJson("/api/agent/status", ReportEnvelope(store, agentTime, fieldsJson), status, answer)) {
        r.Ok = true; // only the 200 counts; the heartbeat's answer is not read
        return r;
    }
    r.Status = status;
    r.Error = ServerErrorText(status, answer);
    r.Detail = FTransportNote;
    return r;
}

TPolicy TAgentClient::FetchPolicy(const std::string& store) {
    if (!IsHttpsBase(FBase)) {
        TPolicy p;
        p.Error = kHttpsRequired;
        return p;
    }
    int status = 0;
    std::string answer;
    if (!GetJson("/api/agent/policy?store=" + THttpSession::UrlEncode(store), status, answer)) {
        TPolicy p;
        p.Error = ServerErrorText(status, answer);
        return p;
    }
    return ReadPolicyDocument(answer);
}

TMappingResult TAgentClient::RequestMapping(const std::string& store, const std::string& vendorCode,
                                            const std::string& kind, const std::string& stdCode,
                                            const std::string& note, const std::string& vendorName,
                                            const std::string& spec, const std::string& barcode) {
    TMappingResult r;
    if (!IsHttpsBase(FBase)) {
        r.Message = kHttpsRequired;
        return r;
    }
    const std::string body = MappingBody(store, vendorCode, kind, stdCode, note, vendorName, spec, barcode);
    int status = 0;
    std::string answer;
    PostJson("/api/agent/mapping-requests", body, status, answer);
    if (status == 0) {
        r.Message = kMappingUnreachable;
        return r;
    }
    ReadMappingAnswer(status, answer, r);
    return r;
}

TEnrollResult TAgentClient::Enroll(const std::string& baseUrl, const std::string& code,
                                   const THttpTimeouts& timeouts) {
    TEnrollResult r;
    const std::string base = StripTrailingSlashes(Trim(baseUrl));
    const std::string trimmedCode = Trim(code);
    if (Trim(baseUrl).empty() || trimmedCode.empty()) {
        r.Error = kEnrollInputMissing;
        return r;
    }
    if (!IsHttpsBase(base)) {
        r.Error = kHttpsRequired;
        return r;
    }
    THttpSession http;
    http.SetTimeouts(timeouts);
    const THttpAnswer a =
        http.Post(base + "/api/auth/agent/enroll", kFormType, "code=" + THttpSession::UrlEncode(trimmedCode));
    if (!a.Answered) {
        r.Error = kEnrollUnreachable;
        return r;
    }
    if (a.Status != 200) {
        r.Error = kEnrollRefused;
        return r;
    }
    ReadEnrollAnswer(Utf8Sanitize(a.Body), r);
    return r;
}

} // namespace pavona

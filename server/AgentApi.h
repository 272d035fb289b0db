// The association server client: key login with a session cookie, authenticated JSON requests
// with one re-login after 401, the four report endpoints, the policy fetch, mapping requests and
// enrolment, and the operator's error text for every failure.
#pragma once

#include "server/AgentEnroll.h"
#include "server/AgentPolicy.h"
#include "platform/HttpSession.h"

#include <memory>
#include <string>
#include <vector>

namespace pavona {

struct TReportResult {
    bool Ok = false;
    int Status = 0;
    std::string Error;
    int Accepted = 0;
    int Duplicated = 0;
    int Rejected = 0;
    std::vector<std::string> RejectedKeys; // the "tx_key" of each rejected (or skipped) element
    // Corrections only: the keys skipped as "record_unknown", and whether every skipped element
    // named its key (only then can the applied ones be told apart).
    std::vector<std::string> UnknownKeys;
    bool SkippedKeysNamed = true;
    std::string FirstReason;
    bool Retryable = false;
    // For the agent log only: the transport's own reason when no answer came (time-out, refused,
    // TLS failure, answer too large), or how an answer failed to account for its batch.
    std::string Detail;
};

// The text shown when a 200 answer is not the JSON object it should be.
extern const char* const kUnreadableAnswer;
// The text shown when a readable answer does not account for the lines that were sent.
extern const char* const kAnswerMismatch;
// The text of every operation whose base URL is not https:// (nothing is sent then).
extern const char* const kHttpsRequired;

// The operator's Korean sentence for a failed request: by status, then " [" + the first 120
// characters of the answer + "]" when the answer text is not empty.
std::string ServerErrorText(int status, const std::string& answer);

// The report envelope: schema, store and agent time, then `content` (members without braces)
// and the closing brace.
std::string ReportEnvelope(const std::string& store, const std::string& agentTime,
                           const std::string& content);

enum class TReportKind { Sales, Coupons, Cancels };
// Reads a 200 answer of the sales, coupons or cancels endpoint into `r` (Ok set to whether it
// was readable, Error set when not).
void ReadReportAnswer(TReportKind kind, const std::string& answer, TReportResult& r);
// Whether a readable answer accounts for exactly the batch it answers: the counts add up to the
// lines sent, and every rejected (or skipped) key names a line of the batch, each once. `keys`
// are the batch's keys in order (empty for coupons, which are checked by count only). Returns
// empty when it does, else why not, with the counts, for the log. Nothing of a batch whose answer
// does not account for it may be marked sent: the lines it left out would be lost.
std::string AnswerMismatch(TReportKind kind, const TReportResult& r, std::size_t sent,
                           const std::vector<std::string>& keys);
// Applies AnswerMismatch to an Ok result: when the answer does not account for the batch, the
// result becomes a failure with kAnswerMismatch as its error and the reason in Detail.
void CheckAnswerAccounts(TReportKind kind, std::size_t sent, const std::vector<std::string>& keys,
                         TReportResult& r);

class TAgentClient {
  public:
    TAgentClient(const std::string& baseUrl, const std::string& key);
    ~TAgentClient();
    TAgentClient(const TAgentClient&) = delete;
    TAgentClient& operator=(const TAgentClient&) = delete;

    // Connection and response time-outs (15 s and 20 s unless changed).
    void SetTimeouts(const THttpTimeouts& t);
    const std::string& Base() const { return FBase; }
    // The last login attempt, for diagnostics: its status (0 without answer) and why it failed.
    int LoginStatus() const { return FLoginStatus; }
    const std::string& LoginNote() const { return FLoginNote; }
    // Why the last request got no answer at all (libcurl's name and message), empty when it did.
    const std::string& TransportNote() const { return FTransportNote; }
    // Cookies the session holds now (the self check shows whether a session was opened).
    std::size_t SessionCookieCount() const;

    TReportResult SendSales(const std::string& store, const std::string& agentTime,
                            const std::string& linesJson);
    TReportResult SendCoupons(const std::string& store, const std::string& agentTime,
                              const std::string& couponsJson);
    TReportResult SendCancels(const std::string& store, const std::string& agentTime,
                              const std::string& cancelsJson);
    TReportResult SendStatus(const std::string& store, const std::string& agentTime,
                             const std::string& fieldsJson);

    TPolicy FetchPolicy(const std::string& store);

    TMappingResult RequestMapping(const std::string& store, const std::string& vendorCode,
                                  const std::string& kind, const std::string& stdCode,
                                  const std::string& note, const std::string& vendorName,
                                  const std::string& spec, const std::string& barcode);

    // Needs no client and no session; the time-outs default to the client's own.
    static TEnrollResult Enroll(const std::string& baseUrl, const std::string& code,
                                const THttpTimeouts& timeouts = {});

  private:
    bool Login();
    bool GetJson(const std::string& path, int& status, std::string& answer);
    bool PostJson(const std::string& path, const std::string& json, int& status, std::string& answer);
    bool Request(const std::string& path, const std::string* json, int& status, std::string& answer);
    TReportResult SendReport(TReportKind kind, const std::string& path, const std::string& body);

    std::string FBase;
    std::string FKey;
    std::unique_ptr<THttpSession> FHttp;
    int FLoginStatus = 0;
    std::string FLoginNote;
    std::string FTransportNote;
};

} // namespace pavona

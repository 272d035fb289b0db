// Texts of the settings page (see SettingsText.h).
#include "ui/SettingsText.h"

#include "common/Text.h"
#include "engine/AgentNotice.h"
#include "pos/ConnString.h"

#include <vector>

namespace pavona {

const char* const kRegHelpNew =
    "협회가 준 12자 등록 코드를 넣으면 인증키와 사업자번호가 자동으로 채워집니다.";
const char* const kRegHelpAgain = "다른 점포로 다시 등록하려면 협회가 준 새 등록 코드를 넣어 주세요.";
const char* const kNoPosConn = "POS 접속 정보가 없습니다 — 「접속 정보 바꾸기」 를 눌러 넣어 주세요.";
const char* const kAskingServer = "협회 서버에 묻는 중…";
const char* const kTimingNote =
    "수집 — 이 간격으로 POS 를 읽습니다(읽기만). 점심 11~13시 · 저녁 17~20시에는 3배로 늘려 계산대를 "
    "피합니다.\r\n정책 — 협회의 대상 품목 · 배정 · 한도를 이 간격으로 다시 받습니다.";
const char* const kSendNote =
    "전송 — 수집 직후 바로 협회로 보냅니다. 한 번에 200줄씩 최대 30묶음(6,000줄). 못 보내면 이 PC 에 "
    "보관했다가 다음 판에 다시 보냅니다(같은 줄은 협회가 한 번만 받습니다). 마감 대사 — 최근 3일의 날짜별 "
    "줄 수를 POS 와 협회가 받은 수로 맞춰 봅니다.";
// The key is sealed with a secret only this user can read, the machine's id and the user's id.
const char* const kSaveNote = "인증키는 이 컴퓨터의 이 사용자만 풀 수 있게 저장됩니다. 다른 컴퓨터로 설정 "
                              "파일을 옮기면 등록 코드를 새로 받아 주세요.";
const char* const kOperationLost = "작업을 마치지 못했습니다 — 로그를 확인해 주세요.";
const char* const kSaved = "저장했습니다.";
const char* const kEnrolCodeExample = "ABCD-EFGH-JKLM";

namespace {

constexpr QRgb kGreen = 0x1F8A4C;
constexpr QRgb kRed = 0xC0392B;

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

QString Shown(const std::string& text) {
    return Q(text).replace("\r\n", "\n");
}

QString ConnectionSummary(const std::string& connStr) {
    // The embedded POS is a file, not a server: naming a server and a Windows login would mislead.
    const TConnTarget target = TranslateConnString(connStr);
    if (target.Ok && target.Kind == TConnKind::Sqlite && !target.SqliteFile.empty())
        return "SQLite 파일  " + Q(target.SqliteFile) + "   ·   읽기 전용";
    std::string server, database, account;
    for (const std::string& part : Split(connStr, ';')) {
        const size_t eq = part.find('=');
        if (eq == std::string::npos || eq == 0) continue;
        const std::string key = LowerAscii(Trim(part.substr(0, eq)));
        const std::string value = Trim(part.substr(eq + 1));
        if (key == "data source" || key == "server")
            server = value;
        else if (key == "initial catalog" || key == "database")
            database = value;
        else if (key == "user id" || key == "uid")
            account = value;
    }
    if (server.empty() && database.empty())
        return "접속 정보를 읽지 못했습니다 — 「접속 정보 바꾸기」 에서 확인해 주세요.";
    return "SQL Server  " + Q(server) + "   ·   DB  " + Q(database) +
           (account.empty() ? QString("   ·   Windows 로그인") : "   ·   계정  " + Q(account));
}

QString AutoStartNote(TAutoStartState state, const std::string& entryPath) {
    QString note = "지금 상태 — " + Q(StripMarks(AutoStartStateText(state)));
    const std::string advice = AutoStartAdvice(state);
    if (!advice.empty()) note += "\n" + Q(StripMarks(advice));
    // Where to look when the entry misbehaves: a support engineer's first question.
    if (state != TAutoStartState::Off && !entryPath.empty()) note += "\n자동 실행 항목 — " + Q(entryPath);
    return note;
}

TRegistrationLook RegistrationLook(const std::string& store, const std::string& key,
                                   const std::string& pointLabel) {
    if (Trim(store).empty() || Trim(key).empty())
        return {"아직 등록하지 않았습니다 — 아래에 등록 코드를 넣어 주세요", QColor(kRed), kRegHelpNew};
    const QString label = pointLabel.empty() ? QString() : Q(pointLabel) + " · ";
    return {"등록됨 — " + label + "사업자 " + Q(Trim(store)), QColor(kGreen), kRegHelpAgain};
}

QString EnrolledNote(const std::string& pointLabel, const std::string& refused,
                     const std::string& saveError) {
    if (!saveError.empty())
        return "협회에 등록했지만 이 컴퓨터에 저장하지 못했습니다 — " + Q(saveError) +
               " 고친 뒤 「저장」 을 눌러 주세요.";
    const QString head =
        pointLabel.empty() ? QString("등록했습니다.") : "등록했습니다 — " + Q(pointLabel) + ".";
    if (refused.empty()) return head + " 이 컴퓨터에서만 풀리게 저장했습니다.";
    return head +
           " 인증키 · 사업자번호 · 서버 주소는 이 컴퓨터에서만 풀리게 저장했고, 다른 설정은 저장하지 "
           "않았습니다 — " +
           Q(refused);
}

} // namespace pavona

// Enrolment and mapping request texts and answers (see AgentEnroll.h).
#include "server/AgentEnroll.h"

#include "common/JsonText.h"
#include "common/Text.h"
#include "server/AgentApi.h"
#include "server/ApiJson.h"

namespace pavona {

const char* const kEnrollInputMissing = "협회 서버 주소와 등록 코드를 넣어 주세요.";
const char* const kEnrollUnreachable = "협회 서버에 닿지 않습니다 — 인터넷을 확인해 주세요.";
const char* const kEnrollRefused =
    "등록 코드가 맞지 않거나 이미 쓰였거나 72시간이 지났습니다. 협회에 새 코드를 요청해 주세요.";
const char* const kEnrollNoKey = "협회 서버의 답에 키가 없습니다.";
const char* const kMappingUnreachable = "협회 서버에 닿지 못했습니다 — 인터넷 연결을 확인해 주세요.";

void ReadEnrollAnswer(const std::string& answer, TEnrollResult& r) {
    const TJsonNode doc = TJsonNode::Parse(answer);
    if (!doc.IsObject()) {
        r.Error = kUnreadableAnswer;
        return;
    }
    r.Key = JsonValueText(doc.Member("key"));
    r.Store = JsonValueText(doc.Member("store"));
    // The label is only for display: a "point" that is not an object just leaves it empty.
    const TJsonNode point = doc.Member("point");
    if (point.IsObject())
        r.PointLabel =
            Trim(JsonValueText(point.Member("member_code")) + " " + JsonValueText(point.Member("sign_name")));
    r.Ok = !r.Key.empty() && !r.Store.empty();
    if (!r.Ok) r.Error = kEnrollNoKey;
}

std::string MappingBody(const std::string& store, const std::string& vendorCode, const std::string& kind,
                        const std::string& stdCode, const std::string& note, const std::string& vendorName,
                        const std::string& spec, const std::string& barcode) {
    std::string body = "{\"store\":" + JsonStr(store);
    body += ",\"vendor_item_code\":" + JsonStr(vendorCode);
    body += ",\"kind\":" + JsonStr(kind);
    if (!stdCode.empty()) body += ",\"standard_item_code\":" + JsonStr(stdCode);
    body += ",\"note\":" + JsonStr(note);
    const std::string name = Trim(vendorName), specText = Trim(spec), code = Trim(barcode);
    if (!name.empty()) body += ",\"vendor_item_name\":" + JsonStr(name);
    if (!specText.empty()) body += ",\"spec\":" + JsonStr(specText);
    if (!code.empty()) body += ",\"barcode\":" + JsonStr(code);
    body += "}";
    return body;
}

void ReadMappingAnswer(int status, const std::string& answer, TMappingResult& r) {
    const TJsonNode doc = answer.empty() ? TJsonNode() : TJsonNode::Parse(answer);
    if (status == 200 && doc.IsObject()) {
        r.Ok = true;
        r.ToStatus = JsonValueText(doc.Member("to_status"));
        r.Review = JsonValueText(doc.Member("review"));
        r.Created = ReadJsonBool(doc, "created", false);
        return;
    }
    if (doc.IsObject()) {
        r.Error = JsonValueText(doc.Member("error"));
        r.Reason = JsonValueText(doc.Member("reason"));
    }
    r.Message = MappingErrorText(r.Error, r.Reason, status);
}

std::string MappingErrorText(const std::string& error, const std::string& reason, int status) {
    const std::string why = Trim(reason);
    if (error == "rejected_pair")
        return "협회가 거부한 지정입니다" + (why.empty() ? std::string() : " — 사유: " + why) +
               ". 같은 품목으로 다시 지정하려면 협회에 문의해 주세요.";
    if (error == "item_required") return "지정할 협회 품목을 골라 주세요.";
    if (error == "item_unknown") return "협회 품목 목록에 없는 품목입니다 — 정책을 다시 받은 뒤 골라 주세요.";
    if (error == "product_unknown")
        return "협회 서버가 아직 모르는 상품입니다 — 「POS 상품을 품목에 지정」 으로 이름과 함께 지정해 "
               "주세요.";
    if (error == "store_not_yours")
        return "이 사업자번호의 상품을 바꿀 권한이 없습니다. 협회에 문의해 주세요.";
    if (!error.empty())
        return "협회 서버가 받아들이지 않았습니다 (" + error + (why.empty() ? std::string() : " · " + why) +
               ").";
    return ServerErrorText(status, "");
}

} // namespace pavona

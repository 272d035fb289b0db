// The engine's side of the target-items page: the POS goods read, when the policy refresh reads or
// redraws, the mapping requests and /maprequest. The page itself is drawn from the published
// TTargetData (engine/TargetView.h).
#include "engine/AgentEngine.h"

#include "common/Text.h"
#include "engine/TargetView.h"
#include "pos/TargetGoods.h"
#include "store/AgentLog.h"

#include <algorithm>
#include <exception>
#include <unordered_set>

namespace pavona {

namespace {

const char* const kMappingFailed = "품목 지정을 보내지 못했습니다 — ";

// The name of the first designated item with this code, searching the rounds in order.
std::string ItemNameOf(const std::vector<TRoundInfo>& rounds, const std::string& itemCode) {
    for (const TRoundInfo& r : rounds)
        for (const TDesignated& d : r.Designated)
            if (d.Code == itemCode) return d.Name;
    return itemCode;
}

std::string SuccessText(const std::string& kind, const std::string& name, const std::string& itemName,
                        const TMappingResult& m) {
    if (kind == "assign")
        return Fmt("「%s」 을(를) 「%s」 로 지정했습니다 — 바로 적용됩니다(계산대 할인 · 실적). 협회가 확인하면 정산에 "
                   "들어가고, 그 전에는 정산 보류입니다.%s",
                   name.c_str(), itemName.c_str(), m.Created ? " (협회 서버에 이 상품을 새로 올렸습니다)" : "");
    if (kind == "release") return Fmt("「%s」 의 지정을 풀었습니다 — 이 상품은 바로 대상에서 빠졌습니다.", name.c_str());
    if (m.ToStatus == "approved")
        return Fmt("「%s」 — AI 다시 보기는 제안만 합니다. 지금 적용된 지정은 그대로입니다.", name.c_str());
    if (m.ToStatus == "suggested")
        return Fmt("「%s」 — AI 가 품목을 제안했습니다. 제안은 적용되지 않습니다 — 맞으면 「다른 품목으로 지정」 으로 "
                   "정해 주세요.",
                   name.c_str());
    return Fmt("「%s」 — AI 가 품목을 정하지 못했습니다(기권). 「다른 품목으로 지정」 으로 직접 고를 수 있습니다.",
               name.c_str());
}

// The console's request kinds: "include" is an assignment; "wrong" releases the goods, or assigns
// it to the item given instead.
std::string ConsoleKind(const std::string& kind, const std::string& stdCode) {
    const std::string k = LowerAscii(Trim(kind));
    if (k == "include") return "assign";
    if (k == "wrong") return stdCode.empty() ? "release" : "assign";
    return k;
}

} // namespace

TTargetData TAgentEngine::TargetData() const {
    TTargetData d;
    d.HasPolicy = FInput.HasPolicy;
    d.Revision = FLastRevision;
    d.ProgramName = FProgramName;
    d.StartsOn = FProgramStartsOn;
    d.EndsOn = FProgramEndsOn;
    d.ProgramEnd = FProgramEnd;
    d.Items = FItems;
    d.Rounds = FRounds;
    d.Decisions = FDecisions;
    d.SubsidyCodes = FSubsidyCodes;
    d.Goods = FGoods;
    d.Links = FLinks;
    d.GoodsRead = FGoodsRead;
    d.ReadTried = FReadTried;
    d.ReadNote = FReadNote;
    d.LinksNote = FLinksNote;
    return d;
}

void TAgentEngine::ReadTargetGoodsNow() {
    FReadTried = true;
    std::vector<std::string> itemCodes, roundCodes;
    for (const TPolicyItem& item : FItems)
        itemCodes.push_back(item.VendorItemCode);
    for (const TRoundInfo& round : FRounds)
        for (const TPolicyItem& item : round.Items)
            roundCodes.push_back(item.VendorItemCode);
    TTargetGoodsRead read = ReadTargetGoods(FSettings.PosConnStr, FSubsidyCodes, itemCodes, roundCodes,
                                            FPosLoginSec, FPosCommandSec);
    if (read.Ok) {
        FGoods = std::move(read.Goods);
        FLinks = std::move(read.Links);
        FGoodsRead = true;
        FReadNote.clear();
        FLinksNote = read.LinksNote;
    } else {
        // The goods and links of the last good read stay, as one pair; the page says this read failed.
        FReadNote = read.Note;
    }
    FView.TargetsChanged(Publish());
}

void TAgentEngine::ReadTargets() {
    if (FStopRequested) return;
    try {
        ReadTargetGoodsNow();
    } catch (const std::exception& e) {
        LogError("대상 품목", std::string("대상 품목을 읽지 못했습니다 — ") + e.what());
    } catch (...) {
        LogError("대상 품목", "대상 품목을 읽지 못했습니다 — 알 수 없는 오류");
    }
    Publish();
}

void TAgentEngine::RefreshTargets(std::int64_t revision, bool changed, bool revised) {
    const bool hasPos = !Trim(FSettings.PosConnStr).empty();
    bool missing = false;
    if (FGoodsRead) {
        std::unordered_set<std::string> read;
        for (const TStoreGoods& g : FGoods)
            read.insert(g.Code);
        const auto absent = [&](const TPolicyItem& item) { return !read.count(item.VendorItemCode); };
        missing = std::any_of(FItems.begin(), FItems.end(), absent) ||
                  std::any_of(FRounds.begin(), FRounds.end(), [&](const TRoundInfo& r) {
                      return std::any_of(r.Items.begin(), r.Items.end(), absent);
                  });
    }
    if (!FGoodsTried && FGoods.empty() && !FItems.empty() && hasPos) {
        FGoodsTried = true;
        FGoodsRevision = revision;
        ReadTargetGoodsNow();
        return;
    }
    // Goods of a new revision are read once; the same revision does not ask the POS again for
    // goods it has already been told are missing.
    if (missing && FGoodsRevision != revision && hasPos) {
        FGoodsRevision = revision;
        ReadTargetGoodsNow();
        return;
    }
    if (changed || revised) FView.TargetsChanged(Publish());
}

TMappingOutcome TAgentEngine::SendMapping(const TRequestTarget& target, const std::string& kind,
                                          const std::string& itemCode, const std::string& note,
                                          const std::string& goodsName, const std::string& spec,
                                          const std::string& barcode) {
    TMappingOutcome o;
    o.Kind = kind;
    o.Target = target;
    const std::string& code = target.Code;
    const std::string name = target.Label.empty() ? code : target.Label;
    const auto refuse = [&](const std::string& message) {
        o.Message = message;
        o.Note = kMappingFailed + message;
        LogWarn("품목 지정", Fmt("%s %s(%s) 실패 — %s", kind.c_str(), name.c_str(), code.c_str(), message.c_str()));
        return o;
    };
    if (Trim(code).empty()) return refuse("품목 지정할 상품번호가 없습니다.");
    if (Trim(FSettings.Store).empty() || Trim(FSettings.Key).empty())
        return refuse("협회 등록이 아직 안 됐습니다 — 「설정」 에서 등록 코드를 넣어 주세요.");
    std::string sentName = goodsName, sentSpec = spec, sentBarcode = barcode;
    if (kind == "assign") {
        const auto g = std::find_if(FGoods.begin(), FGoods.end(), [&](const TStoreGoods& s) { return s.Code == code; });
        if (g != FGoods.end()) {
            if (sentName.empty()) sentName = g->Name;
            if (sentSpec.empty()) sentSpec = g->Spec;
            if (sentBarcode.empty()) sentBarcode = g->Barcode;
        }
    }
    try {
        TMappingResult m;
        std::string transport;
        {
            const std::unique_ptr<TAgentClient> client = MakeClient();
            m = client->RequestMapping(FSettings.Store, code, kind, itemCode, note, sentName, sentSpec, sentBarcode);
            transport = client->TransportNote();
        }
        o.Sent = true;
        o.ToStatus = m.ToStatus;
        o.Created = m.Created;
        if (m.Ok) {
            o.Ok = true;
            LogInfo("품목 지정", Fmt("%s %s(%s)%s → %s%s", kind.c_str(), name.c_str(), code.c_str(),
                                     itemCode.empty() ? "" : (" " + itemCode).c_str(), m.ToStatus.c_str(),
                                     m.Created ? " · 새 상품" : ""));
            const std::string text = SuccessText(kind, name, ItemNameOf(FRounds, itemCode), m);
            // The list shows the new state at once; the policy timer counts its period from now.
            o.NextPolicyMs = PolicyTimerTick();
            o.Note = text;
            return o;
        }
        o.Refused = !m.Error.empty();
        o.Error = m.Error;
        o.Reason = m.Reason;
        o.Message = m.Message;
        o.Note = kMappingFailed + m.Message;
        if (o.Refused) o.BoxText = name + " (상품번호 " + code + ")\r\n\r\n" + m.Message;
        LogWarn("품목 지정", Fmt("%s %s(%s) 실패 — %s %s", kind.c_str(), name.c_str(), code.c_str(), m.Error.c_str(),
                                 m.Message.c_str()) +
                                 (transport.empty() ? "" : " [" + transport + "]"));
    } catch (const std::exception& e) {
        return refuse(std::string("품목 지정을 처리하지 못했습니다 — ") + e.what());
    }
    return o;
}

TMapRequestResult TAgentEngine::RequestMappingNow(const std::string& code, const std::string& kind,
                                                  const std::string& stdCode, const std::string& note) {
    TMapRequestResult r;
    const std::string goods = Trim(code);
    if (goods.empty()) {
        r.Line = "X  지정할 POS 상품번호를 주세요 — /maprequest <상품번호> <종류> [협회 품목 코드] [메모]";
        return r;
    }
    if (Trim(FSettings.Store).empty() || Trim(FSettings.Key).empty()) {
        r.Line = "설정이 비었다 — 사업자번호 · 인증키";
        return r;
    }
    const std::string item = Trim(stdCode);
    const std::string sent = ConsoleKind(kind, item);
    RefreshPolicy();
    if (!FPolicyError.empty()) {
        r.Line = "정책을 받지 못했다 — " + FPolicyError;
        return r;
    }
    try {
        // The goods as the list names it for the current round; a goods the list does not show is
        // named by its code.
        TRequestTarget target{goods, goods};
        for (const TRequestTarget& t : BuildTargetView(TargetData(), TRoundTotals{}, -1).RequestTargets)
            if (t.Code == goods) {
                target = t;
                break;
            }
        const TMappingOutcome o = SendMapping(target, sent, item, note);
        r.Line = o.Note;
        r.Ok = o.Ok;
    } catch (const std::exception& e) {
        r.Line = kMappingFailed + std::string(e.what());
        LogError("품목 지정", r.Line);
    }
    return r;
}

} // namespace pavona

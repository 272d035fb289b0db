// The target goods read (see TargetGoods.h).
#include "pos/TargetGoods.h"

#include "common/Text.h"
#include "pos/AgentPos.h"
#include "store/AgentLog.h"

#include <unordered_set>

namespace pavona {

std::vector<std::string> TargetGoodsCodes(const std::vector<std::string>& itemCodes,
                                          const std::vector<TCurrentLink>& links,
                                          const std::vector<std::string>& roundCodes) {
    std::vector<std::string> out;
    std::unordered_set<std::string> seen;
    const auto add = [&](const std::string& code) {
        if (seen.insert(code).second) out.push_back(code);
    };
    for (const std::string& c : itemCodes)
        add(c);
    for (const TCurrentLink& l : links)
        add(l.GoodsCode);
    for (const std::string& c : roundCodes)
        add(c);
    return out;
}

TTargetGoodsRead ReadTargetGoods(const std::string& connStr, const std::vector<std::int64_t>& subsidyCodes,
                                 const std::vector<std::string>& itemCodes,
                                 const std::vector<std::string>& roundCodes, int loginSec, int commandSec) {
    TTargetGoodsRead r;
    if (Trim(connStr).empty()) {
        r.Note = "POS 접속 정보가 없습니다 — 「설정」 탭에서 넣어 주세요.";
        return r;
    }
    // Owned here, so the connection closes on every way out of this function.
    TPosReader reader;
    reader.SetTimeouts(loginSec, commandSec);
    if (const Result<> connected = reader.Connect(connStr); !connected) {
        r.Note = "POS 에 연결하지 못했습니다 — " + connected.Error();
        LogWarn("대상 품목", r.Note);
        return r;
    }
    const Result<std::vector<TLinkRow>> links = reader.CouponLinks(subsidyCodes);
    std::vector<TCurrentLink> current;
    if (links) {
        for (const TLinkRow& row : links.Value())
            current.push_back({row.CouponCode, row.GoodsCode, row.Rate, row.Cap, row.EndsOn});
    } else {
        r.LinksNote = "지금 걸려 있는 쿠폰을 읽지 못했습니다 — " + links.Error();
        LogWarn("대상 품목", r.LinksNote);
    }
    const Result<std::vector<TGoodsRow>> goods =
        reader.GoodsByCodes(TargetGoodsCodes(itemCodes, current, roundCodes));
    if (!goods) {
        r.Note = "상품을 읽지 못했습니다 — " + goods.Error();
        LogWarn("대상 품목", r.Note);
        return r;
    }
    for (const TGoodsRow& g : goods.Value())
        r.Goods.push_back({g.Code, g.Name, g.Barcode, g.Spec, g.Active});
    r.Links = std::move(current);
    r.Ok = true;
    LogInfo("대상 품목", Fmt("POS 상품 %d개 · 쿠폰 연결 %d개를 읽었습니다", static_cast<int>(r.Goods.size()),
                             static_cast<int>(r.Links.size())));
    return r;
}

} // namespace pavona

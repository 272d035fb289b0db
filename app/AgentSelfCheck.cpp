// The self check (/selfcheck): the settings as read, the policy as the server gives it, and a probe
// of the POS database step by step, so an installer sees where a store's setup breaks.
#include "app/AgentConsole.h"

#include "common/Text.h"
#include "engine/AgentMonitor.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "pos/AgentAttribute.h"
#include "pos/AgentCancel.h"
#include "pos/AgentPos.h"
#include "pos/PosCatalogue.h"
#include "server/AgentApi.h"

#include <algorithm>
#include <iostream>
#include <set>

namespace pavona {

namespace {

const char* const kNoPosConn = "POS DB   설정이 비어 있습니다 (설정 탭에서 넣어 주세요)";

bool CarriesCouponDiscount(const TSaleLine& line) {
    return std::any_of(line.Coupons.begin(), line.Coupons.end(), [](const auto& c) { return c.second != 0; });
}

void ProbeCancels(TPosReader& reader, TDateTime fromT, TDateTime toT,
                  const std::vector<std::int64_t>& designated, std::ostream& out) {
    const Result<std::vector<TCancelRow>> read = reader.CancelLines(fromT, toT);
    if (!read) {
        out << "  취소   X " << read.Error() << "\n";
        return;
    }
    const std::vector<TCancelRow>& cancels = read.Value();
    std::vector<std::int64_t> ords;
    std::set<std::int64_t> seen;
    for (const TCancelRow& c : cancels)
        if (seen.insert(c.OrdCode).second) ords.push_back(c.OrdCode);
    const Result<std::vector<TOriginRow>> origins = reader.SalesLinesByOrd(ords);
    if (!origins) {
        out << "  취소   X 원 전표를 읽지 못했다 — " << origins.Error() << "\n";
        return;
    }
    TCancelSkips skips;
    const std::vector<TCancelOut> outs = CancelCorrections(cancels, origins.Value(), designated, {}, skips);
    out << "  취소   " << cancels.size() << "줄 · 전표 " << ords.size() << "건 → 보낼 정정 " << outs.size()
        << "\n";
    out << "         건너뜀 원줄없음 " << skips.NoOrigin << " · 상품어긋남 " << skips.GoodsDiffer
        << " · 반품 " << skips.OriginIsReturn << " · 변화없음 " << skips.Unchanged << "\n";
    for (const TCancelOut& c : outs) {
        out << "         " << c.TxKey << " " << c.Kind;
        if (c.HasCorrected) out << " 남는 지원액 " << c.Corrected;
        out << "\n";
    }
}

} // namespace

std::vector<std::int64_t> ParseCodeList(const std::string& text) {
    std::vector<std::int64_t> codes;
    for (const std::string& piece : Split(Trim(text), ',')) {
        const std::int64_t v = StrToInt64Def(Trim(piece), 0);
        if (v != 0) codes.push_back(v);
    }
    return codes;
}

TDateTime ParseProbeDate(const std::string& text) {
    TDateTime day = 0;
    if (!ParseDay(text, day) || DecodeDateTime(day).Year < 2000) return 0;
    return day;
}

void ProbePos(const TAgentSettings& settings, const std::vector<std::int64_t>& designated,
              const std::vector<std::int64_t>& linkCodes, const std::string& fromText,
              const std::string& toText, std::ostream& out) {
    TPosReader reader;
    if (const Result<> connected = reader.Connect(settings.PosConnStr); !connected) {
        out << "POS DB   X 붙지 못했습니다 — " << connected.Error() << "\n";
        return;
    }
    out << "POS DB   ok 붙었습니다\n";

    const Result<std::vector<TColumnInfo>> fingerprint = reader.Fingerprint();
    if (!fingerprint) {
        out << "  지문   X " << fingerprint.Error() << "\n";
        return;
    }
    const std::vector<TColumnInfo>& columns = fingerprint.Value();
    for (const std::string& table : PosTables()) {
        const auto count = std::count_if(columns.begin(), columns.end(), [&](const TColumnInfo& c) {
            return SameTextAscii(c.TableName, table);
        });
        if (count == 0) {
            out << "  지문   X 읽어야 할 표가 없다: " << table << " — 짐작으로 읽느니 멈춘다\n";
            return;
        }
        out << "  " << Utf8PadLeft(table, 14) << " 열 " << count << "개\n";
    }

    TDateTime fromT, toT;
    if (!fromText.empty() && !toText.empty()) {
        fromT = ParseProbeDate(fromText);
        toT = ParseProbeDate(toText);
        if (fromT == 0 || toT == 0) {
            out << "  창     X 날짜를 읽지 못했다 (yyyy-mm-dd 로 준다)\n";
            return;
        }
    } else {
        toT = Today();
        fromT = IncDay(toT, -1);
    }
    out << "  창     " << FormatDay(fromT) << " ~ " << FormatDay(toT) << " (반개구간)\n";

    const Result<std::vector<TSalesRow>> salesRead = reader.SalesLines(fromT, toT);
    if (!salesRead) {
        out << "  판매   X " << salesRead.Error() << "\n";
        return;
    }
    const std::vector<TSalesRow>& sales = salesRead.Value();
    const auto goods =
        std::count_if(sales.begin(), sales.end(), [](const TSalesRow& r) { return r.Raw.IsItem(); });
    out << "  판매   " << sales.size() << "줄 (상품 " << goods << " · 차감 "
        << (static_cast<long long>(sales.size()) - goods) << ")\n";

    std::vector<TRawLine> raw;
    raw.reserve(sales.size());
    for (const TSalesRow& r : sales)
        raw.push_back(r.Raw);
    int toSend = 0, zeroSubsidy = 0;
    for (const TSaleLine& line : Attribute(raw)) {
        if (line.Amount <= 0) continue;
        ++toSend;
        if (SubsidyOf(line, designated) == 0 && CarriesCouponDiscount(line)) ++zeroSubsidy;
    }
    out << "  귀속   보낼 줄 " << toSend << "\n";
    if (zeroSubsidy > 0)
        out << "         ⚠ 쿠폰 할인이 있는데 지정이 없어 **지원액 0** 인 줄: " << zeroSubsidy << "\n";

    int named = 0, trailing = 0;
    const TSalesRow* firstNamed = nullptr;
    for (const TSalesRow& r : sales) {
        if (r.ItemName.empty()) continue;
        ++named;
        if (!firstNamed) firstNamed = &r;
        if (TrimRight(r.ItemName) != r.ItemName) ++trailing;
    }
    out << "  이름   이름 붙은 줄 " << named << " · 뒤 공백 " << trailing << "\n";
    if (firstNamed) {
        const std::string sample = firstNamed->ItemName + " / " + firstNamed->Barcode;
        out << "         표본 [" << sample << "] 길이 " << Utf8Length(sample) << "\n";
    }

    const Result<std::vector<TCouponRow>> couponsRead = reader.CouponMaster(fromT, toT);
    if (!couponsRead) {
        out << "  쿠폰   X " << couponsRead.Error() << "\n";
        return;
    }
    const std::vector<TCouponRow>& coupons = couponsRead.Value();
    out << "  쿠폰   " << coupons.size() << "개\n";
    for (const TCouponRow& c : coupons) {
        const bool suggested = c.CouponType == 1 || (c.Options & 2) != 0 || c.LimitAmount > 0;
        out << (suggested ? "  * " : "    ") << c.Code << "  " << c.Title << "  type=" << c.CouponType
            << " option=" << c.Options << " 한도=" << c.LimitAmount << " 후원=" << c.SponsorName << "\n";
    }
    if (!coupons.empty()) out << "         * 는 제안이다 — 농할인지는 협회가 지정한다\n";

    ProbeCancels(reader, fromT, toT, designated, out);

    if (const Result<std::vector<TGoodsRow>> goodsRead = reader.GoodsList("", 200); !goodsRead) {
        out << "  상품   X " << goodsRead.Error() << "\n";
    } else {
        const std::vector<TGoodsRow>& goodsRows = goodsRead.Value();
        out << "  상품   " << goodsRows.size() << "개 (살아 있는 것만)\n";
        if (!goodsRows.empty())
            out << "         첫 줄 [" << goodsRows[0].Name << "] / " << goodsRows[0].Barcode << "\n";
    }

    if (const Result<std::vector<TLinkRow>> linksRead = reader.CouponLinks(linkCodes); !linksRead) {
        out << "  연결   X " << linksRead.Error() << "\n";
    } else {
        const std::vector<TLinkRow>& links = linksRead.Value();
        out << "  연결   " << links.size() << "개\n";
        for (const TLinkRow& l : links)
            out << "         쿠폰 " << l.CouponCode << " → 상품 " << l.GoodsCode << " · 율 " << l.Rate
                << " · 한도 " << l.Cap << (l.ViaGroup ? " (그룹)" : " (단품)") << "\n";
        if (linkCodes.empty()) out << "         지정된 쿠폰이 없어 0 이다 — 걸 것도 없다\n";
    }

    if (const Result<std::int64_t> total = reader.SubsidyTotal(fromT, toT, designated)) {
        out << "  지원액 " << FormatWon(total.Value());
        if (designated.empty()) out << "  <- 지정된 쿠폰이 없어 0 이다";
        out << "\n";
    } else {
        out << "  지원액 X " << total.Error() << "\n";
    }
}

bool SelfCheck(const std::string& fromText, const std::string& toText, const std::string& codesText,
               std::ostream& out) {
    const bool ownConsole = platform::AttachConsoleOutput();
    // A date given that does not read is a wrong command line (one date alone keeps yesterday).
    const bool badArgs = (!fromText.empty() && ParseProbeDate(fromText) == 0) ||
                         (!toText.empty() && ParseProbeDate(toText) == 0);
    bool ok = !badArgs;
    const TAgentSettings s = LoadSettings();
    out << "Pavona 농할 에이전트 — 자가진단\n\n";
    out << "설정 파일  " << SettingsPath() << "\n";
    out << "  서버      " << s.BaseUrl << "\n";
    out << "  사업자    " << s.Store << "\n";
    out << "  인증키    " << Utf8Length(s.Key) << "자 "
        << (s.Key.empty() ? "(비었다 — 설정에서 넣거나 복호화가 실패했다)" : "(읽었다)") << "\n";
    out << "  수집/정책 " << s.CollectMinutes << "분 / " << s.PolicyMinutes << "분\n";
    out << "  경고 기준 " << s.CautionPct << "% / " << s.ImminentPct << "%\n";

    const bool hasPos = !Trim(s.PosConnStr).empty();
    const Result<> valid = ValidateSettings(s);
    if (!valid) {
        ok = false;
        out << "\nX  " << valid.Error()
            << "\n   (협회 서버 쪽은 건너뜁니다 — POS 는 아래에서 읽어 봅니다)\n\n";
        if (hasPos)
            ProbePos(s, {}, ParseCodeList(codesText), fromText, toText, out);
        else
            out << kNoPosConn << "\n";
    } else {
        out << "\n협회 서버에 물어봅니다...\n";
        TPolicy policy;
        {
            TAgentClient client(s.BaseUrl, s.Key);
            policy = client.FetchPolicy(s.Store);
            out << "  세션 쿠키 " << client.SessionCookieCount() << "개\n";
            out << "  로그인    status=" << client.LoginStatus() << "\n";
            if (!client.LoginNote().empty()) out << "            " << client.LoginNote() << "\n";
        }
        if (policy.Ok) {
            out << "ok 정책을 받았습니다\n";
            out << "  판        " << policy.Schema << "\n";
            out << "  회차      " << (policy.ProgramName.empty() ? "(없음)" : policy.ProgramName) << " "
                << policy.StartsOn << " ~ " << policy.EndsOn << "\n";
            out << "  켜짐      " << (policy.Enabled ? "예" : "아니오") << "\n";
            out << "  배정액    " << FormatWon(policy.Allocated) << "\n";
            out << "  보고된 것 " << FormatWon(policy.ReportedExecuted) << "\n";
            out << "  상계 예정 " << FormatWon(policy.OffsetOutstanding) << "\n";
            out << "  남음      " << FormatWon(policy.Remaining) << "\n";
            out << "  대상 품목 " << policy.Items.size() << "개\n";
            out << "  농할 쿠폰 " << policy.SubsidyCouponCodes.size() << "개";
            if (policy.SubsidyCouponCodes.empty())
                out << "  <- 지정된 것이 없어 지원액을 전부 0 으로 보고한다";
            out << "\n";
        } else {
            ok = false;
            out << "X  " << policy.Error << "\n";
        }
        const std::vector<std::int64_t> designated =
            policy.Ok ? policy.SubsidyCouponCodes : std::vector<std::int64_t>{};
        std::vector<std::int64_t> linkCodes = designated;
        if (!Trim(codesText).empty()) {
            linkCodes = ParseCodeList(codesText);
            out << "  ⚠ 연결 조회를 돌려 보려고 쿠폰 " << linkCodes.size()
                << "개를 손으로 줬습니다 — 귀속·지원액·보고에는 쓰이지 않습니다\n";
        }
        out << "\n";
        if (hasPos)
            ProbePos(s, designated, linkCodes, fromText, toText, out);
        else
            out << kNoPosConn << "\n";
    }
    out.flush();
    ConsoleWait(ownConsole, out, std::cin);
    return ok;
}

} // namespace pavona

// pavona-demopos: writes a demo POS database (SQLite) for trying the agent and for its tests.
#include "common/Text.h"
#include "platform/Clock.h"
#include "tools/demopos/DemoPos.h"

#include <cstdio>
#include <cstring>
#include <string>

using namespace pavona;

namespace {

const char* const kUsage =
    "사용법: pavona-demopos --out 파일 [선택]\n"
    "  --out 파일            만들 SQLite 파일 (있으면 새로 만든다)\n"
    "  --seed N              난수 씨앗 (기본 1; 같은 씨앗이면 같은 데이터)\n"
    "  --first-day yyyy-mm-dd  첫 판매일\n"
    "  --days-back N         첫 판매일을 오늘에서 N일 전으로 (기본: 마지막 날이 오늘)\n"
    "  --days N              판매일 수 (기본 7)\n"
    "  --receipts N          하루 전표 수 (기본 300)\n"
    "  --max-lines N         전표당 최대 상품 줄 수 (기본 9)\n"
    "  --registers N         계산대 수 (기본 3)\n"
    "  --goods N             상품 수 (기본 400)\n"
    "  --coupons a,b,...     협회 지정(농할) 쿠폰 번호 (기본 7001,7002,7003,7004)\n"
    "  --help                이 도움말\n";

bool NumberArg(const char* text, std::int64_t lo, std::int64_t hi, std::int64_t& out) {
    return TryParseInt64(text, out) && out >= lo && out <= hi;
}

} // namespace

int main(int argc, char** argv) {
    demopos::TDemoOptions o;
    std::string out;
    bool haveFirst = false;
    std::int64_t daysBack = -1;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "알 수 없거나 값이 빠진 선택입니다: %s\n\n%s", a.c_str(), kUsage);
            return 2;
        }
        const char* v = argv[++i];
        std::int64_t n = 0;
        bool ok = true;
        if (a == "--out")
            out = v;
        else if (a == "--seed")
            ok = NumberArg(v, 0, INT64_MAX, n), o.Seed = static_cast<std::uint64_t>(n);
        else if (a == "--first-day")
            ok = haveFirst = ParseDay(v, o.FirstDay);
        else if (a == "--days-back")
            ok = NumberArg(v, 0, 3660, daysBack);
        else if (a == "--days")
            ok = NumberArg(v, 1, 3660, n), o.Days = static_cast<int>(n);
        else if (a == "--receipts")
            ok = NumberArg(v, 0, 900000, n), o.ReceiptsPerDay = static_cast<int>(n);
        else if (a == "--max-lines")
            ok = NumberArg(v, 1, 200, n), o.MaxGoodsLines = static_cast<int>(n);
        else if (a == "--registers")
            ok = NumberArg(v, 1, 99, n), o.Registers = static_cast<int>(n);
        else if (a == "--goods")
            ok = NumberArg(v, 4, 800000, n), o.GoodsCount = static_cast<int>(n);
        else if (a == "--coupons") {
            o.DesignatedCoupons.clear();
            for (const std::string& part : Split(v, ',')) {
                std::int64_t c = 0;
                ok = ok && NumberArg(Trim(part).c_str(), 1, INT64_MAX, c);
                o.DesignatedCoupons.push_back(c);
            }
        } else {
            std::fprintf(stderr, "알 수 없는 선택입니다: %s\n\n%s", a.c_str(), kUsage);
            return 2;
        }
        if (!ok) {
            std::fprintf(stderr, "%s 의 값이 올바르지 않습니다: %s\n", a.c_str(), v);
            return 2;
        }
    }
    if (out.empty()) {
        std::fprintf(stderr, "--out 으로 만들 파일을 주십시오.\n\n%s", kUsage);
        return 2;
    }
    if (haveFirst && daysBack >= 0) {
        std::fputs("--first-day 와 --days-back 은 함께 쓸 수 없습니다.\n", stderr);
        return 2;
    }
    if (daysBack >= 0) o.FirstDay = IncDay(Today(), -static_cast<int>(daysBack));

    const demopos::TDemoResult r = demopos::Generate(out, o);
    if (!r.Ok) {
        std::fprintf(stderr, "데모 POS 를 만들지 못했습니다: %s\n", r.Error.c_str());
        return 1;
    }
    std::int64_t reportable = 0, cancels = 0;
    for (const auto& d : r.Summary.Days) {
        std::printf("%s  전표 %lld  상품 줄 %lld  보고 대상 %lld  지정 쿠폰 할인 %lld원  취소 %lld\n",
                    d.Day.c_str(), (long long)d.Receipts, (long long)d.GoodsLines,
                    (long long)d.ReportableLines, (long long)d.DesignatedDiscount, (long long)d.Cancels);
        reportable += d.ReportableLines;
        cancels += d.Cancels;
    }
    std::string codes;
    for (std::int64_t c : r.Summary.DesignatedCoupons) {
        if (!codes.empty()) codes += ',';
        codes += std::to_string(c);
    }
    std::printf("%s: 전표 %lld, 상품 줄 %lld, 보고 대상 %lld, 취소 %lld, 반품 %zu, 지정 쿠폰 %s\n",
                out.c_str(), (long long)r.Summary.Receipts, (long long)r.Summary.GoodsLines,
                (long long)reportable, (long long)cancels, r.Summary.ReturnReceipts.size(), codes.c_str());
    return 0;
}

// Reading the policy document: every member, the defaults, and documents of the wrong shape.
#include "server/AgentPolicy.h"

#include <gtest/gtest.h>

namespace pavona {
namespace {

const char* const kUnreadable = "협회 서버의 답을 읽지 못했습니다.";

TEST(AgentPolicyTest, FullDocument) {
    const TPolicy p = ReadPolicyDocument(R"({
      "schema":"pavona.policy.v1","enabled":true,"revision":12345678901,"server_time":"2026-10-06T09:00:00+09:00",
      "program":{"code":"P26","name":"가을 농할","starts_on":"2026-09-01","ends_on":"2026-12-31"},
      "budget":{"allocated":5000000,"reported_executed":1200000,"offset_outstanding":-3000,"remaining":3800000},
      "items":[{"vendor_item_code":"512","standard_item_code":"S-01","item_name":"대파","discount_rate":20,
                "discount_cap":10000,"review":"confirmed"},
               {"vendor_item_code":"600","review":null}],
      "subsidy_coupon_codes":[101,"202","x",9007199254740993,1.5],
      "point":{"id":"pt-9","member_code":"M7","sign_name":"솔빛마트"},
      "schema_fingerprint":{"approved":"ab12"},
      "collect_from":"2026-10-01 00:00:00",
      "rounds":[{"round_no":2,"starts_on":"2026-10-01","ends_on":"2026-10-15","phase":"current",
                 "designated":[{"standard_item_code":"S-01","name":"대파"},{"name":"무"}],
                 "items":[{"vendor_item_code":"512","standard_item_code":"S-01","item_name":"대파",
                           "discount_rate":30,"discount_cap":777,"review":"pending"}]},
                {"round_no":"3","phase":"upcoming"}],
      "decisions":[{"vendor_item_code":512,"product_name":"대파 1단","item_name":"대파","verdict":"rejected",
                    "reason":null,"at":"2026-10-05T10:00:00Z"}],
      "unknown_member":{"ignored":[1,2,3]}
    })");
    ASSERT_TRUE(p.Ok) << p.Error;
    EXPECT_EQ(p.Error, "");
    EXPECT_EQ(p.Schema, "pavona.policy.v1");
    EXPECT_TRUE(p.Enabled);
    EXPECT_EQ(p.Revision, 12345678901LL);
    EXPECT_EQ(p.ServerTime, "2026-10-06T09:00:00+09:00");
    EXPECT_EQ(p.ProgramCode, "P26");
    EXPECT_EQ(p.ProgramName, "가을 농할");
    EXPECT_EQ(p.StartsOn, "2026-09-01");
    EXPECT_EQ(p.EndsOn, "2026-12-31");
    EXPECT_EQ(p.Allocated, 5000000);
    EXPECT_EQ(p.ReportedExecuted, 1200000);
    EXPECT_EQ(p.OffsetOutstanding, -3000);
    EXPECT_EQ(p.Remaining, 3800000);
    ASSERT_EQ(p.Items.size(), 2u);
    EXPECT_EQ(p.Items[0].VendorItemCode, "512");
    EXPECT_EQ(p.Items[0].StandardItemCode, "S-01");
    EXPECT_EQ(p.Items[0].ItemName, "대파");
    EXPECT_EQ(p.Items[0].DiscountRate, 20);
    EXPECT_EQ(p.Items[0].DiscountCap, 10000);
    EXPECT_EQ(p.Items[0].Review, "confirmed");
    EXPECT_EQ(p.Items[1].VendorItemCode, "600");
    EXPECT_EQ(p.Items[1].DiscountRate, 0);
    EXPECT_EQ(p.Items[1].Review, "");
    EXPECT_EQ(p.SubsidyCouponCodes, (std::vector<std::int64_t>{101, 202, 0, 9007199254740993LL, 0}));
    EXPECT_EQ(p.PointId, "pt-9");
    EXPECT_EQ(p.PointMemberCode, "M7");
    EXPECT_EQ(p.PointSignName, "솔빛마트");
    EXPECT_EQ(p.ApprovedFingerprint, "ab12");
    EXPECT_EQ(p.CollectFrom, "2026-10-01 00:00:00");
    ASSERT_EQ(p.Rounds.size(), 2u);
    const TRoundInfo& r = p.Rounds[0];
    EXPECT_EQ(r.RoundNo, 2);
    EXPECT_EQ(r.StartsOn, "2026-10-01");
    EXPECT_EQ(r.EndsOn, "2026-10-15");
    EXPECT_EQ(r.Phase, "current");
    ASSERT_EQ(r.Designated.size(), 2u);
    EXPECT_EQ(r.Designated[0].Code, "S-01");
    EXPECT_EQ(r.Designated[0].Name, "대파");
    EXPECT_EQ(r.Designated[1].Code, "");
    EXPECT_EQ(r.Designated[1].Name, "무");
    ASSERT_EQ(r.Items.size(), 1u);
    EXPECT_EQ(r.Items[0].DiscountRate, 30);
    EXPECT_EQ(r.Items[0].DiscountCap, 0); // round items never carry a cap
    EXPECT_EQ(r.Items[0].Review, "pending");
    EXPECT_EQ(p.Rounds[1].RoundNo, 3);
    EXPECT_EQ(p.Rounds[1].Phase, "upcoming");
    EXPECT_TRUE(p.Rounds[1].Designated.empty());
    ASSERT_EQ(p.Decisions.size(), 1u);
    const TMappingDecision& d = p.Decisions[0];
    EXPECT_EQ(d.VendorItemCode, "512");
    EXPECT_EQ(d.ProductName, "대파 1단");
    EXPECT_EQ(d.ItemName, "대파");
    EXPECT_EQ(d.Verdict, "rejected");
    EXPECT_EQ(d.Reason, "");
    EXPECT_EQ(d.At, "2026-10-05T10:00:00Z");
}

TEST(AgentPolicyTest, MissingMembersKeepDefaults) {
    for (const char* doc : {"{}", R"({"program":null,"budget":null,"items":null,"rounds":null,"point":null,
                                     "decisions":null,"subsidy_coupon_codes":null,"schema_fingerprint":null,
                                     "enabled":null,"collect_from":null})"}) {
        SCOPED_TRACE(doc);
        const TPolicy p = ReadPolicyDocument(doc);
        ASSERT_TRUE(p.Ok);
        EXPECT_FALSE(p.Enabled);
        EXPECT_EQ(p.Revision, 0);
        EXPECT_EQ(p.Allocated + p.ReportedExecuted + p.OffsetOutstanding + p.Remaining, 0);
        EXPECT_TRUE(p.Items.empty() && p.Rounds.empty() && p.Decisions.empty() &&
                    p.SubsidyCouponCodes.empty());
        EXPECT_EQ(p.ProgramCode + p.PointId + p.ApprovedFingerprint + p.CollectFrom + p.Schema, "");
    }
    const TPolicy partial =
        ReadPolicyDocument(R"({"budget":{"allocated":900},"enabled":"yes","revision":"7"})");
    ASSERT_TRUE(partial.Ok);
    EXPECT_EQ(partial.Allocated, 900);
    EXPECT_EQ(partial.ReportedExecuted, 0);
    EXPECT_EQ(partial.OffsetOutstanding, 0);
    EXPECT_EQ(partial.Remaining, 0);
    EXPECT_FALSE(partial.Enabled); // a Boolean only from a JSON Boolean
    EXPECT_EQ(partial.Revision, 7);
}

TEST(AgentPolicyTest, DocumentsOfTheWrongShapeAreUnreadable) {
    const char* const cases[] = {
        "",
        "ok",
        "[]",
        "null",
        "123",
        "{\"enabled\":true",
        R"({"program":"P26"})",
        R"({"budget":[1,2]})",
        R"({"point":"M7"})",
        R"({"schema_fingerprint":"ab"})",
        R"({"items":{"vendor_item_code":"1"}})",
        R"({"items":[{"vendor_item_code":"1"},"2"]})",
        R"({"rounds":[null]})",
        R"({"rounds":[{"designated":"S-01"}]})",
        R"({"rounds":[{"items":[1]}]})",
        R"({"decisions":true})",
        R"({"subsidy_coupon_codes":101})",
    };
    for (const char* doc : cases) {
        SCOPED_TRACE(doc);
        const TPolicy p = ReadPolicyDocument(doc);
        EXPECT_FALSE(p.Ok);
        EXPECT_EQ(p.Error, kUnreadable);
        EXPECT_FALSE(p.Enabled);
        EXPECT_TRUE(p.Items.empty());
    }
}

} // namespace
} // namespace pavona

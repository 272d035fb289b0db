// The schema guard before every send and the status heartbeat at the end of a cycle.
#include "engine/AgentEngine.h"

#include "common/Text.h"
#include "engine/AgentSchema.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "pos/AgentPos.h"
#include "pos/AgentReport.h"
#include "store/AgentSpool.h"

namespace pavona {

std::string StatusFieldsText(const TStatusInput& in) {
    std::string s = std::string("\"agent_version\":\"") + kAgentVersion + "\"";
    if (!in.Fingerprint.empty()) s += ",\"schema_fingerprint\":\"" + in.Fingerprint + "\"";
    if (in.Watermark > 0)
        s += ",\"watermark\":\"" + IsoWithOffset(in.Watermark, in.WatermarkOffsetMinutes) + "\"";
    s += Fmt(",\"pending_days\":%lld,\"spool_bytes\":%lld,\"spool_full\":%s",
             static_cast<long long>(in.PendingDays), static_cast<long long>(in.SpoolBytes),
             in.SpoolFull ? "true" : "false");
    s += ",\"registers\":[";
    for (std::size_t i = 0; i < in.Registers.size(); ++i) {
        const TRegisterSeen& r = in.Registers[i];
        if (i > 0) s += ",";
        s += Fmt("{\"code\":\"%lld\",\"last_sold_at\":\"%s\",\"ord_count\":%lld}",
                 static_cast<long long>(r.Code), IsoLocalTime(r.LastSoldAt).c_str(),
                 static_cast<long long>(r.OrdCount));
    }
    s += "],\"daily\":[";
    for (std::size_t i = 0; i < in.Days.size(); ++i) {
        const TDayCount& d = in.Days[i];
        if (i > 0) s += ",";
        s += Fmt("{\"day\":\"%s\",\"lines\":%lld,\"amount\":%lld}", d.Day.c_str(),
                 static_cast<long long>(d.Lines), static_cast<long long>(d.Amount));
    }
    s += "]";
    return s;
}

bool TAgentEngine::SchemaGuardOk() {
    const THoldDecision d = HoldDecision(FApprovedFp, FCurFp, FSpool->Held());
    bool ok = d.Ok;
    // A hold that cannot be recorded (or lifted) counts as a hold: nothing is sent unrecorded.
    if (!FSpool->SetHeld(d.NewHeld)) ok = false;
    FHoldNote = ok ? std::string() : std::string(kHoldNotice);
    return ok;
}

void TAgentEngine::SendStatusHeartbeat(const std::vector<TRegisterSeen>& registers,
                                       const std::vector<TDayCount>& days) {
    TStatusInput in;
    in.Fingerprint = FCurFp;
    in.Watermark = FSpool->Watermark();
    if (in.Watermark > 0) in.WatermarkOffsetMinutes = platform::LocalUtcOffsetMinutes(in.Watermark);
    in.PendingDays = static_cast<std::int64_t>(FSpool->PendingDays().size());
    in.SpoolBytes = FSpool->Bytes();
    in.SpoolFull = FSpool->Full();
    in.Registers = registers;
    in.Days = days;
    // The answer is not looked at: the next cycle sends a fresh heartbeat anyway.
    MakeClient()->SendStatus(FSettings.Store, UtcStamp(Now()), StatusFieldsText(in));
}

} // namespace pavona

// The read-only POS reader: one connection, the eleven catalogue statements run through RunQuery
// (every run recorded in the query log), results as plain row records, failures as FError.
#pragma once

#include "common/DateTime.h"
#include "pos/OdbcConnection.h"
#include "pos/OdbcQuery.h"
#include "pos/PosCatalogue.h"
#include "pos/PosDialect.h"
#include "pos/PosRows.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pavona {

struct TSalesRow {
    TRawLine Raw;
    TDateTime SoldAt = 0;
    std::int64_t RegisterCode = 0;
    int RegType = 0;
    std::string ItemName;
    std::string Barcode;
    std::int64_t MemberCode = 0;
    std::int64_t Origin = 0;
};

struct TCouponRow {
    std::int64_t Code = 0;
    std::string Title;
    int CouponType = 0;
    int Options = 0;
    std::int64_t LimitAmount = 0;
    int LimitCycleType = 0;
    int LimitCycle = 0;
    std::string SponsorName;
};

struct TGoodsRow {
    std::string Code;
    std::string Name;
    std::string Barcode;
    std::string Spec;
    bool Active = false;
};

struct TLinkRow {
    std::int64_t CouponCode = 0;
    std::string GoodsCode;
    int Rate = -1; // percentage, or -1 when the coupon is not a percentage coupon
    std::int64_t Cap = 0;
    TDateTime EndsOn = 0; // 0 when the coupon has no end date
    bool ViaGroup = false;
};

struct TDayCount {
    std::string Day; // yyyy-mm-dd
    std::int64_t Lines = 0;
    std::int64_t Amount = 0;
};

struct TRegisterSeen {
    std::int64_t Code = 0;
    TDateTime LastSoldAt = 0;
    std::int64_t OrdCount = 0;
};

struct TColumnInfo {
    std::string TableName;
    std::string ColumnName;
    std::string DataType;
    std::string Nullable;
};

// The parameter summary of a statement: "name=value" for each parameter in order of appearance,
// two spaces after each, date-times as "yyyy-mm-dd hh:nn:ss", blanks trimmed from the whole.
std::string ParamSummary(const TOdbcQuery& query);

// The single place where statements run: opens the query and records the run (name, the text that
// ran, summary, error, rows or -1, milliseconds) in the query log; a failure is rethrown.
void RunQuery(TOdbcQuery& query, const std::string& name);

class TPosReader {
  public:
    static constexpr int kLoginTimeoutSec = 15;
    static constexpr int kCommandTimeoutSec = 60;

    TPosReader() = default;
    TPosReader(const TPosReader&) = delete;
    TPosReader& operator=(const TPosReader&) = delete;

    // Clears FError, closes an open connection and opens ConnStr (translated for the driver; the
    // caller's string itself is never changed). False with the driver's message in FError.
    bool Connect(const std::string& connStr);
    const std::string& Error() const { return FError; }
    TPosDialect Dialect() const { return FDialect; }
    // Tests shorten the waits; the agent keeps 15 s and 60 s.
    void SetTimeouts(int loginSec, int commandSec);

    bool Fingerprint(std::vector<TColumnInfo>& out);
    bool SalesLines(TDateTime fromT, TDateTime toT, std::vector<TSalesRow>& out);
    bool CancelLines(TDateTime fromT, TDateTime toT, std::vector<TCancelRow>& out);
    bool SalesLinesByOrd(const std::vector<std::int64_t>& ords, std::vector<TOriginRow>& out);
    bool CouponMaster(TDateTime fromT, TDateTime toT, std::vector<TCouponRow>& out);
    bool SubsidyTotal(TDateTime fromT, TDateTime toT, const std::vector<std::int64_t>& codes,
                      std::int64_t& total);
    bool GoodsList(const std::string& filter, int limit, std::vector<TGoodsRow>& out);
    bool GoodsByCodes(const std::vector<std::string>& codes, std::vector<TGoodsRow>& out);
    bool DailyReportable(const std::vector<TDateTime>& days, std::vector<TDayCount>& out);
    bool LastSeenByRegister(TDateTime since, std::vector<TRegisterSeen>& out);
    bool CouponLinks(const std::vector<std::int64_t>& codes, std::vector<TLinkRow>& out);

  private:
    // A query for a catalogue statement with its lists and limits filled in, in the connected
    // database's dialect.
    TOdbcQuery Prepare(const char* name, const std::string& sql);

    TOdbcConnection FConn;
    std::string FError;
    TPosDialect FDialect = TPosDialect::SqlServer;
    int FLoginTimeoutSec = kLoginTimeoutSec;
    int FCommandTimeoutSec = kCommandTimeoutSec;
};

} // namespace pavona

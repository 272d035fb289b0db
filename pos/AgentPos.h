// The read-only POS reader: one connection, the eleven catalogue statements run through RunQuery
// (every run recorded in the query log), results as plain row records; a failure is the Result's
// error text and never comes with part of the rows.
#pragma once

#include "common/DateTime.h"
#include "common/Result.h"
#include "pos/OdbcConnection.h"
#include "pos/OdbcQuery.h"
#include "pos/PosCatalogue.h"
#include "pos/PosDialect.h"
#include "pos/PosRows.h"

#include <cstdint>
#include <functional>
#include <span>
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
// RunQuery with the rows handed to `row` as they are read (see TOdbcQuery::OpenEach).
void RunQueryEach(TOdbcQuery& query, const std::string& name,
                  const std::function<void(std::span<TOdbcValue> row)>& row, const std::function<void()>& restart);

class TPosReader {
  public:
    static constexpr int kLoginTimeoutSec = 15;
    static constexpr int kCommandTimeoutSec = 60;

    TPosReader() = default;
    TPosReader(const TPosReader&) = delete;
    TPosReader& operator=(const TPosReader&) = delete;

    // Closes an open connection and opens ConnStr (translated for the driver; the caller's string
    // itself is never changed). Fails with the driver's message.
    Result<> Connect(const std::string& connStr);
    TPosDialect Dialect() const { return FDialect; }
    // Tests shorten the waits; the agent keeps 15 s and 60 s.
    void SetTimeouts(int loginSec, int commandSec);

    Result<std::vector<TColumnInfo>> Fingerprint();
    Result<std::vector<TSalesRow>> SalesLines(TDateTime fromT, TDateTime toT);
    Result<std::vector<TCancelRow>> CancelLines(TDateTime fromT, TDateTime toT);
    Result<std::vector<TOriginRow>> SalesLinesByOrd(const std::vector<std::int64_t>& ords);
    Result<std::vector<TCouponRow>> CouponMaster(TDateTime fromT, TDateTime toT);
    Result<std::int64_t> SubsidyTotal(TDateTime fromT, TDateTime toT, const std::vector<std::int64_t>& codes);
    Result<std::vector<TGoodsRow>> GoodsList(const std::string& filter, int limit);
    Result<std::vector<TGoodsRow>> GoodsByCodes(const std::vector<std::string>& codes);
    Result<std::vector<TDayCount>> DailyReportable(const std::vector<TDateTime>& days);
    Result<std::vector<TRegisterSeen>> LastSeenByRegister(TDateTime since);
    Result<std::vector<TLinkRow>> CouponLinks(const std::vector<std::int64_t>& codes);

  private:
    // A query for a catalogue statement with its lists and limits filled in, in the connected
    // database's dialect.
    TOdbcQuery Prepare(const char* name, const std::string& sql);

    TOdbcConnection FConn;
    TPosDialect FDialect = TPosDialect::SqlServer;
    int FLoginTimeoutSec = kLoginTimeoutSec;
    int FCommandTimeoutSec = kCommandTimeoutSec;
};

} // namespace pavona

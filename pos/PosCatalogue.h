// The eleven read-only statements the agent runs on the POS database (name, purpose, T-SQL text)
// and the eight POS tables they read.
#pragma once

#include <string>
#include <vector>

namespace pavona {

struct TPosQuery {
    std::string Name;
    std::string Purpose;
    std::string Sql;
};

inline constexpr char SQL_SALES[] = "SQL_SALES";
inline constexpr char SQL_CANCELS[] = "SQL_CANCELS";
inline constexpr char SQL_SALES_BY_ORD[] = "SQL_SALES_BY_ORD";
inline constexpr char SQL_COUPON[] = "SQL_COUPON";
inline constexpr char SQL_SUBSIDY[] = "SQL_SUBSIDY";
inline constexpr char SQL_DAILY_REPORTABLE[] = "SQL_DAILY_REPORTABLE";
inline constexpr char SQL_LAST_BY_REG[] = "SQL_LAST_BY_REG";
inline constexpr char SQL_LINKS[] = "SQL_LINKS";
inline constexpr char SQL_GOODS_BY_CODES[] = "SQL_GOODS_BY_CODES";
inline constexpr char SQL_GOODS[] = "SQL_GOODS";
inline constexpr char SQL_FINGERPRINT[] = "SQL_FINGERPRINT";

// The catalogue in its fixed order; constant for the life of the process.
const std::vector<TPosQuery>& PosQueries();
// "Ord", "Ordd", "ordcancel", "orddcancel", "coupon", "couponsponsor", "goods", "promotiongoods".
const std::vector<std::string>& PosTables();
// The T-SQL text of a catalogue entry, empty for an unknown name.
std::string PosQuerySql(const std::string& name);

} // namespace pavona

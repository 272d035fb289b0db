// The POS reader: connection, the eleven read methods and the recorded statement runs.
#include "pos/AgentPos.h"

#include "common/Text.h"
#include "platform/Platform.h"
#include "pos/ConnString.h"
#include "store/AgentLog.h"

#include <chrono>
#include <map>
#include <type_traits>

namespace pavona {

namespace {

std::string JoinCodes(const std::vector<std::int64_t>& codes) {
    std::string out;
    for (std::int64_t c : codes) {
        if (!out.empty()) out += ",";
        out += std::to_string(c);
    }
    return out;
}

// Runs `body` and gives what it returns; any failure becomes the error text, with nothing of what
// was read before it.
template <typename F> auto Safely(F&& body) -> Result<std::invoke_result_t<F&>> {
    try {
        if constexpr (std::is_void_v<std::invoke_result_t<F&>>) {
            body();
            return Done();
        } else {
            return body();
        }
    } catch (const std::exception& e) {
        return Fail(e.what());
    } catch (...) {
        return Fail("POS 를 읽는 중 알 수 없는 오류가 났습니다.");
    }
}

} // namespace

std::string ParamSummary(const TOdbcQuery& query) {
    std::string out;
    for (const TOdbcParam& p : query.Params()) {
        out += p.Name + "=";
        switch (p.Type) {
        case TOdbcParam::TType::DateTime:
            out += FormatStamp(p.DateTime);
            break;
        case TOdbcParam::TType::Int64:
            out += std::to_string(p.Int64);
            break;
        case TOdbcParam::TType::Text:
            out += p.Text;
            break;
        }
        out += "  ";
    }
    return Trim(out);
}

void RunQuery(TOdbcQuery& query, const std::string& name) {
    RunQueryEach(query, name, nullptr, nullptr);
}

void RunQueryEach(TOdbcQuery& query, const std::string& name,
                  const std::function<void(std::span<TOdbcValue> row)>& row, const std::function<void()>& restart) {
    const std::string summary = ParamSummary(query);
    const auto start = std::chrono::steady_clock::now();
    const auto elapsed = [&] {
        return static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
                .count());
    };
    try {
        if (row)
            query.OpenEach(row, restart);
        else
            query.Open();
    } catch (const std::exception& e) {
        RecordQueryRun(name, query.Sql(), summary, e.what(), -1, elapsed());
        throw;
    }
    RecordQueryRun(name, query.Sql(), summary, "", static_cast<int>(query.RowCount()), elapsed());
}

void TPosReader::SetTimeouts(int loginSec, int commandSec) {
    FLoginTimeoutSec = loginSec;
    FCommandTimeoutSec = commandSec;
}

Result<> TPosReader::Connect(const std::string& connStr) {
    FConn.Close();
    const TConnTarget target = TranslateConnString(connStr);
    if (!target.Ok) return Fail(target.Error);
    Result<> opened = Safely([&] {
        FConn.Open(target.OdbcString, FLoginTimeoutSec);
        FDialect = DialectOfDbms(FConn.DbmsName());
    });
    if (!opened) {
        FConn.Close();
        // The SQLite driver only says "connect failed"; the usual cause is a wrong path.
        if (target.Kind == TConnKind::Sqlite && !target.SqliteFile.empty() &&
            !platform::FileExists(target.SqliteFile))
            return Fail("POS 데이터베이스 파일이 없습니다: " + target.SqliteFile + " (" + opened.Error() +
                        ")");
    }
    return opened;
}

TOdbcQuery TPosReader::Prepare(const char* name, const std::string& sql) {
    TOdbcQuery q(FConn);
    q.SetTimeout(FCommandTimeoutSec);
    q.SetSql(DialectSql(FDialect, name, sql));
    return q;
}

Result<std::vector<TColumnInfo>> TPosReader::Fingerprint() {
    return Safely([&] {
        TOdbcQuery q = Prepare(SQL_FINGERPRINT, PosQuerySql(SQL_FINGERPRINT));
        RunQuery(q, SQL_FINGERPRINT);
        std::vector<TColumnInfo> rows(q.RowCount());
        for (size_t r = 0; r < rows.size(); ++r) {
            rows[r].TableName = q.Value(r, 0).AsText();
            rows[r].ColumnName = q.Value(r, 1).AsText();
            rows[r].DataType = q.Value(r, 2).AsText();
            rows[r].Nullable = q.Value(r, 3).AsText();
        }
        return rows;
    });
}

Result<std::vector<TSalesRow>> TPosReader::SalesLines(TDateTime fromT, TDateTime toT) {
    return Safely([&] {
        TOdbcQuery q = Prepare(SQL_SALES, PosQuerySql(SQL_SALES));
        q.SetDateTime("p1", fromT);
        q.SetDateTime("p2", toT);
        // A busy day is tens of thousands of rows: each becomes its sales row as it is read.
        std::vector<TSalesRow> rows;
        const auto take = [](TOdbcValue& v) { return v.Kind == TOdbcValue::TKind::Text ? std::move(v.Text) : v.AsText(); };
        RunQueryEach(
            q, SQL_SALES,
            [&](std::span<TOdbcValue> v) {
                TSalesRow& s = rows.emplace_back();
                s.Raw.OrdCode = take(v[0]);
                s.SoldAt = v[1].AsDateTime();
                s.RegisterCode = v[2].AsInt64();
                s.RegType = v[3].AsInt();
                s.Raw.Seq = v[4].AsInt();
                s.Raw.Kind = v[5].AsInt();
                s.Raw.Goods = take(v[6]);
                s.Raw.Coupon = v[7].AsInt64();
                s.Raw.Qty = v[8].AsInt64();
                s.Raw.Price = v[9].AsInt64();
                s.Raw.Dc = v[10].AsInt64();
                s.ItemName = take(v[11]);
                s.Barcode = take(v[12]);
                s.MemberCode = v[13].AsInt64();
                s.Origin = v[14].AsInt64();
                s.Raw.Stype = v[15].AsInt();
                s.Raw.UnitQty = v[16].AsInt64();
            },
            [&rows] { rows.clear(); });
        return rows;
    });
}

Result<std::vector<TCancelRow>> TPosReader::CancelLines(TDateTime fromT, TDateTime toT) {
    return Safely([&] {
        TOdbcQuery q = Prepare(SQL_CANCELS, PosQuerySql(SQL_CANCELS));
        q.SetDateTime("p1", fromT);
        q.SetDateTime("p2", toT);
        RunQuery(q, SQL_CANCELS);
        std::vector<TCancelRow> rows(q.RowCount());
        for (size_t r = 0; r < rows.size(); ++r) {
            const auto v = [&](size_t c) -> const TOdbcValue& { return q.Value(r, c); };
            TCancelRow& c = rows[r];
            c.CancelCode = v(0).AsInt64();
            c.OrdCode = v(1).AsInt64();
            c.CanceledAtLocal = v(2).AsDateTime();
            c.RegisterCode = v(3).AsInt64();
            // The cancel line carries the number of the sale it cancels.
            c.Raw.OrdCode = std::to_string(c.OrdCode);
            c.Raw.Seq = v(4).AsInt();
            c.Raw.Kind = v(5).AsInt();
            c.Raw.Goods = v(6).AsText();
            c.Raw.Coupon = v(7).AsInt64();
            c.Raw.Qty = v(8).AsInt64();
            c.Raw.Price = v(9).AsInt64();
        }
        return rows;
    });
}

Result<std::vector<TOriginRow>> TPosReader::SalesLinesByOrd(const std::vector<std::int64_t>& ords) {
    if (ords.empty()) return std::vector<TOriginRow>{};
    return Safely([&] {
        std::string marks;
        // Built by appending: GCC 12's release build misreads "literal" + string as an overlapping copy.
        for (size_t i = 0; i < ords.size(); ++i) {
            marks += i ? ",:o" : ":o";
            marks += std::to_string(i);
        }
        TOdbcQuery q = Prepare(SQL_SALES_BY_ORD, ReplaceAll(PosQuerySql(SQL_SALES_BY_ORD), "%s", marks));
        for (size_t i = 0; i < ords.size(); ++i) {
            std::string name = "o";
            name += std::to_string(i);
            q.SetInt64(name, ords[i]);
        }
        RunQuery(q, SQL_SALES_BY_ORD);
        std::vector<TOriginRow> rows(q.RowCount());
        for (size_t r = 0; r < rows.size(); ++r) {
            const auto v = [&](size_t c) -> const TOdbcValue& { return q.Value(r, c); };
            TOriginRow& o = rows[r];
            o.Raw.OrdCode = v(0).AsText();
            o.IsRefund = v(1).AsInt64() == 2;
            o.Raw.Seq = v(2).AsInt();
            o.Raw.Kind = v(3).AsInt();
            o.Raw.Goods = v(4).AsText();
            o.Raw.Coupon = v(5).AsInt64();
            o.Raw.Qty = v(6).AsInt64();
            o.Raw.Price = v(7).AsInt64();
            o.Raw.Dc = v(8).AsInt64();
        }
        return rows;
    });
}

Result<std::vector<TCouponRow>> TPosReader::CouponMaster(TDateTime fromT, TDateTime toT) {
    return Safely([&] {
        TOdbcQuery q = Prepare(SQL_COUPON, PosQuerySql(SQL_COUPON));
        q.SetDateTime("p1", fromT);
        q.SetDateTime("p2", toT);
        RunQuery(q, SQL_COUPON);
        std::vector<TCouponRow> rows(q.RowCount());
        for (size_t r = 0; r < rows.size(); ++r) {
            const auto v = [&](size_t c) -> const TOdbcValue& { return q.Value(r, c); };
            TCouponRow& c = rows[r];
            c.Code = v(0).AsInt64();
            c.Title = v(1).AsText();
            c.CouponType = v(2).AsInt();
            c.Options = v(3).AsInt();
            c.LimitAmount = v(4).AsInt64();
            c.LimitCycleType = v(5).AsInt();
            c.LimitCycle = v(6).AsInt();
            c.SponsorName = v(7).AsText();
        }
        return rows;
    });
}

Result<std::int64_t> TPosReader::SubsidyTotal(TDateTime fromT, TDateTime toT,
                                              const std::vector<std::int64_t>& codes) {
    if (codes.empty()) return std::int64_t{0};
    return Safely([&] {
        TOdbcQuery q = Prepare(SQL_SUBSIDY, ReplaceAll(PosQuerySql(SQL_SUBSIDY), "%s", JoinCodes(codes)));
        q.SetDateTime("p1", fromT);
        q.SetDateTime("p2", toT);
        RunQuery(q, SQL_SUBSIDY);
        // Discount amounts are negative; the subsidy is the positive number of won.
        return q.RowCount() > 0 ? -q.Value(0, 0).AsInt64() : std::int64_t{0};
    });
}

Result<std::vector<TGoodsRow>> TPosReader::GoodsList(const std::string& filter, int limit) {
    return Safely([&] {
        const std::string trimmed = Trim(filter);
        const int rowsMax = limit > 0 ? limit : 500;
        TOdbcQuery q = Prepare(SQL_GOODS, ReplaceAll(PosQuerySql(SQL_GOODS), "%d", std::to_string(rowsMax)));
        q.SetText("p1", trimmed);
        q.SetText("p2", "%" + trimmed + "%");
        RunQuery(q, SQL_GOODS);
        std::vector<TGoodsRow> rows(q.RowCount());
        for (size_t r = 0; r < rows.size(); ++r) {
            rows[r].Code = q.Value(r, 0).AsText();
            rows[r].Name = q.Value(r, 1).AsText();
            rows[r].Barcode = q.Value(r, 2).AsText();
            rows[r].Spec = q.Value(r, 3).AsText();
            rows[r].Active = true; // the statement lists goods on sale only
        }
        return rows;
    });
}

Result<std::vector<TGoodsRow>> TPosReader::GoodsByCodes(const std::vector<std::string>& codes) {
    std::vector<std::int64_t> numeric;
    for (const std::string& code : codes) {
        std::int64_t n = 0;
        if (TryParseInt64(Trim(code), n)) numeric.push_back(n);
    }
    if (numeric.empty()) return std::vector<TGoodsRow>{};
    return Safely([&] {
        TOdbcQuery q = Prepare(SQL_GOODS_BY_CODES,
                               ReplaceAll(PosQuerySql(SQL_GOODS_BY_CODES), "%s", JoinCodes(numeric)));
        RunQuery(q, SQL_GOODS_BY_CODES);
        std::vector<TGoodsRow> rows(q.RowCount());
        for (size_t r = 0; r < rows.size(); ++r) {
            rows[r].Code = q.Value(r, 0).AsText();
            rows[r].Name = q.Value(r, 1).AsText();
            rows[r].Barcode = q.Value(r, 2).AsText();
            rows[r].Spec = q.Value(r, 3).AsText();
            rows[r].Active = q.Value(r, 4).AsInt64() == 1;
        }
        return rows;
    });
}

Result<std::vector<TDayCount>> TPosReader::DailyReportable(const std::vector<TDateTime>& days) {
    if (days.empty()) return std::vector<TDayCount>{};
    return Safely([&] {
        TOdbcQuery q = Prepare(SQL_DAILY_REPORTABLE, PosQuerySql(SQL_DAILY_REPORTABLE));
        q.SetDateTime("p1", DateOf(days.front()));
        q.SetDateTime("p2", IncDay(DateOf(days.back()), 1));
        RunQuery(q, SQL_DAILY_REPORTABLE);
        std::map<std::string, std::pair<std::int64_t, std::int64_t>> byDay;
        for (size_t r = 0; r < q.RowCount(); ++r)
            byDay[Trim(q.Value(r, 0).AsText())] = {q.Value(r, 1).AsInt64(), q.Value(r, 2).AsInt64()};
        std::vector<TDayCount> rows;
        for (TDateTime day : days) {
            TDayCount c;
            c.Day = FormatDay(day);
            if (const auto it = byDay.find(c.Day); it != byDay.end()) {
                c.Lines = it->second.first;
                c.Amount = it->second.second;
            }
            rows.push_back(c);
        }
        return rows;
    });
}

Result<std::vector<TRegisterSeen>> TPosReader::LastSeenByRegister(TDateTime since) {
    return Safely([&] {
        TOdbcQuery q = Prepare(SQL_LAST_BY_REG, PosQuerySql(SQL_LAST_BY_REG));
        q.SetDateTime("p1", since);
        RunQuery(q, SQL_LAST_BY_REG);
        std::vector<TRegisterSeen> rows(q.RowCount());
        for (size_t r = 0; r < rows.size(); ++r) {
            rows[r].Code = q.Value(r, 0).AsInt64();
            rows[r].LastSoldAt = q.Value(r, 1).AsDateTime();
            rows[r].OrdCount = q.Value(r, 2).AsInt64();
        }
        return rows;
    });
}

Result<std::vector<TLinkRow>> TPosReader::CouponLinks(const std::vector<std::int64_t>& codes) {
    if (codes.empty()) return std::vector<TLinkRow>{};
    return Safely([&] {
        TOdbcQuery q = Prepare(SQL_LINKS, ReplaceAll(PosQuerySql(SQL_LINKS), "%0:s", JoinCodes(codes)));
        RunQuery(q, SQL_LINKS);
        std::vector<TLinkRow> rows(q.RowCount());
        for (size_t r = 0; r < rows.size(); ++r) {
            const auto v = [&](size_t c) -> const TOdbcValue& { return q.Value(r, c); };
            rows[r].CouponCode = v(0).AsInt64();
            rows[r].GoodsCode = v(1).AsText();
            rows[r].Rate = v(2).AsInt();
            rows[r].Cap = v(3).AsInt64();
            rows[r].EndsOn = v(4).AsDateTime();
            rows[r].ViaGroup = v(5).AsInt64() == 1;
        }
        return rows;
    });
}

} // namespace pavona

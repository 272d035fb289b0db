// Demo POS database: an SQLite file with the eight POS tables the agent reads, typed as the store's
// SQL Server would type them and filled with deterministic, realistic sales from a seed.
#pragma once

#include "common/DateTime.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pavona::demopos {

// Date-times are stored as text "yyyy-mm-dd hh:nn:ss.fff" (always three fraction digits, with the
// milliseconds SQL Server's datetime can hold: .000/.003/.007 steps). Text comparison then orders
// them as instants, and a bound written "yyyy-mm-dd hh:nn:ss" or "yyyy-mm-dd hh:nn:ss.fff" keeps
// the half-open window exact: a row stamped exactly at the bound compares >= it and not < it.
std::string PosStamp(TDateTime t);

struct TDemoOptions {
    std::uint64_t Seed = 1;
    // First sales day (midnight). 0 = the last `Days` days ending today (from platform/Clock.h).
    TDateTime FirstDay = 0;
    int Days = 7;
    int ReceiptsPerDay = 300;
    // Goods lines per sale receipt are drawn from 1..MaxGoodsLines (mean about half of it + 1).
    int MaxGoodsLines = 9;
    int Registers = 3; // register (till) codes 1..Registers
    int GoodsCount = 400;
    // The coupons the association designates as subsidised; one coupon is made per code.
    std::vector<std::int64_t> DesignatedCoupons = {7001, 7002, 7003, 7004};
    // Share of sale receipts that are later cancelled whole / partly, and returned.
    double FullCancelRate = 0.015;
    double PartialCancelRate = 0.01;
    double ReturnRate = 0.01;
    // Sales are spread over the opening hours [OpenHour:00, CloseHour:00).
    int OpenHour = 9;
    int CloseHour = 22;
    // Replace an existing file; when false an existing file is an error.
    bool Overwrite = true;
};

struct TDemoDay {
    std::string Day;                 // "yyyy-mm-dd"
    std::int64_t Receipts = 0;       // every Ord row dated that day (sales and returns)
    std::int64_t ReturnReceipts = 0; // of which register type 2
    std::int64_t GoodsLines = 0;     // Ordd rows with kind 0 on that day's receipts
    std::int64_t DiscountLines = 0;  // Ordd rows with kind other than 0
    // Goods lines with a positive amount and quantity on receipts that are not returns: what the
    // agent can report for the day, with the sum of their amounts.
    std::int64_t ReportableLines = 0;
    std::int64_t ReportableAmount = 0;
    // Sum of the discounts (positive won) of discount lines carrying a designated coupon.
    std::int64_t DesignatedDiscount = 0;
    std::int64_t Cancels = 0; // cancel documents dated that day
};

struct TDemoCoupon {
    std::int64_t Code = 0;
    std::string Title;
    bool Designated = false;
    int DcType = 0;      // 1 = percentage, 2 = amount
    std::int64_t Dc = 0; // percent or won
    std::int64_t Limit = 0;
    std::int64_t Sponsor = 0; // 0 or a code without a sponsor row = no sponsor name
    std::int64_t Goods = 0;   // the single product when Target = 1
    int Target = 0;
    int Group = 0;        // promotion group, 0 = none
    TDateTime EndsOn = 0; // 0 = stored as NULL
};

struct TDemoGoods {
    std::int64_t Code = 0;
    std::string Name;    // without the padding stored in the table
    std::string Barcode; // likewise
    std::string Spec;
    bool Active = true; // status NULL or 1
    int Stype = 0;      // 2 = sold by weight, quantity in hundredths
    std::int64_t UnitQty = 1;
    std::int64_t Price = 0; // won per reported unit
};

struct TDemoSummary {
    std::vector<TDemoDay> Days;
    std::vector<std::int64_t> DesignatedCoupons;
    std::vector<TDemoCoupon> Coupons;
    std::vector<TDemoGoods> Goods;
    // Goods codes sold on receipts that the goods master does not hold.
    std::vector<std::int64_t> UnknownGoods;
    // Goods reached by a designated coupon (as its single product or through its group), sorted.
    std::vector<std::int64_t> DesignatedTargets;
    std::vector<std::int64_t> FullyCancelled;  // receipt numbers cancelled whole
    std::vector<std::int64_t> PartlyCancelled; // receipt numbers cancelled in part
    std::vector<std::int64_t> CancelCodes;     // every cancel document number
    std::vector<std::int64_t> ReturnReceipts;  // return receipt numbers (register type 2)
    std::vector<std::int64_t> ReturnedOrigins; // their origin receipt numbers (0 = none given)
    std::int64_t Receipts = 0;
    std::int64_t GoodsLines = 0;
    std::int64_t DiscountLines = 0;
};

struct TDemoResult {
    bool Ok = false;
    std::string Error; // Korean, for the operator
    TDemoSummary Summary;
};

// Creates (or replaces, per options.Overwrite) the database at `path` and fills it.
TDemoResult Generate(const std::string& path, const TDemoOptions& options);

// One day (options.FirstDay) sized to hold about `lines` POS lines (goods and discount lines):
// a small sample day tells the lines per receipt, then the day is generated with enough receipts.
// For benchmarks that need a day of a given size.
TDemoResult GenerateDayOfLines(const std::string& path, TDemoOptions options, std::int64_t lines);

// Creates an empty database with the eight tables (replacing any file at `path`), for tests that
// build their receipts row by row.
bool CreateEmpty(const std::string& path, std::string& error);

// One receipt or cancel line. Seq 0 = its position in the list, counted from 1.
struct TDemoLine {
    int Seq = 0;
    int Kind = 0; // 0 = goods line, other = discount line
    std::int64_t Goods = 0;
    std::int64_t Coupon = 0;
    std::int64_t Qty = 1;
    std::int64_t Price = 0;
    std::int64_t Dc = 0;
    int Stype = 0;
    std::int64_t UnitQty = 1;
};

struct TDemoReceipt {
    std::int64_t OrdCode = 0; // 0 = the next free number (largest present + 1)
    TDateTime At = 0;         // stored to the millisecond as given
    std::int64_t Register = 1;
    int RegType = 1;             // 2 = return receipt; 0 = stored as NULL (older tills)
    std::int64_t MemberCode = 0; // 0 = stored as NULL
    std::int64_t Origin = 0;     // 0 = stored as NULL
    std::vector<TDemoLine> Lines;
};

struct TDemoCancel {
    std::int64_t CancelCode = 0; // 0 = the next free number
    std::int64_t OrdCode = 0;    // receipt it cancels
    TDateTime At = 0;
    std::int64_t Register = 1;
    std::vector<TDemoLine> Lines; // Seq must name the cancelled receipt's lines
};

// Appends rows to an existing database (one transaction each). `assigned` receives the number
// used. The window tests put a receipt exactly at a bound this way.
bool AddReceipt(const std::string& path, const TDemoReceipt& receipt, std::string& error,
                std::int64_t* assigned = nullptr);
bool AddCancel(const std::string& path, const TDemoCancel& cancel, std::string& error,
               std::int64_t* assigned = nullptr);
// A one-goods-line receipt at exactly `at`: goods `goods` for `price` won, followed by a discount
// line of `couponDiscount` won through `coupon` when both are not 0.
bool AddReceiptAt(const std::string& path, TDateTime at, std::int64_t goods, std::int64_t price,
                  std::int64_t coupon, std::int64_t couponDiscount, std::string& error,
                  std::int64_t* assigned = nullptr);

// Runs SQL text (one or more statements) on the database, for tests that need an odd row.
bool RunSql(const std::string& path, const std::string& sql, std::string& error);

} // namespace pavona::demopos

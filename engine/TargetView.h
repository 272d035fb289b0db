// The target-items page as a model: for the viewed round, every card, row, pill, text, colour and
// request target the page draws, in the order it draws them. Built by a pure function from the
// engine's published TTargetData and the round totals; the widgets only lay it out.
#pragma once

#include "engine/TargetData.h"

#include <optional>
#include <string>
#include <vector>

namespace pavona {

// The page's colours by name; ColourHex gives the design's value.
enum class TTargetColour : int {
    Default,   // the card's or label's own colour: nothing to set
    Ink,       // #0F1F2E  names and plain lines
    Slate,     // #4B5B63  secondary text, the "판매 중지" pill
    Muted,     // #8A94A0  captions, column heads, the confirmed-decisions line
    Amber,     // #C27C0E  not discounted, review pending
    AmberFill, // #FDF6E3
    Red,       // #C0392B  not in the POS, not designated, rejected decisions
    RedFill,   // #FCEDEC
    Green,     // #1F8A4C  discounted, review confirmed, the round's support
    GreenFill, // #EEF6EA
    Navy,      // #275478  variety sub-heads
    Light,     // #F4F6F8  the list's ground, the round notice card, the "판매 중지" pill's fill
    Line,      // #E1E6EA  separators
};
// "#RRGGBB"; empty for Default.
const char* ColourHex(TTargetColour colour);

// An item's state; groups and rows sort by the number, so problems come first.
enum class TItemState : int { NotDiscounted = 0, NotInPos = 1, Stopped = 2, Discounted = 3, NotRead = 9 };

struct TTargetPill {
    std::string Caption; // empty: no pill
    TTargetColour Ink = TTargetColour::Default; // dot and caption
    TTargetColour Fill = TTargetColour::Default;
    std::string Hint; // empty: none
};

// One goods block (96 design pixels high) in a group card or in the not-designated card.
struct TTargetRow {
    std::string ItemCode; // the goods code (an item's code in a group card)
    std::string ItemName; // the association item's name; empty in the not-designated card
    TItemState State = TItemState::NotRead;
    std::string Title;    // 11 pt bold, Ink: the goods name, or "상품번호 …" when it was not read
    std::string CodeLine; // 9 pt, Slate
    std::string TotalsLine; // 9 pt, wrapped, in TotalsColour
    TTargetColour TotalsColour = TTargetColour::Ink;
    TTargetPill Pill; // right-aligned, 128 × 28
    std::string Review; // below the pill, right-aligned, 9 pt semibold; empty: nothing
    TTargetColour ReviewColour = TTargetColour::Default;
    std::string ReviewHint;
    std::string Explanation; // below the block, 9 pt, 18 high; empty: no line
    TTargetColour ExplanationColour = TTargetColour::Default;
    TRequestTarget Target; // what its "품목 지정 ▾" button sends
};

// A run of rows with the same variety label; Label is empty when the group shows no varieties.
struct TVarietyRun {
    std::string Label; // sub-head, 9 pt semibold, Navy
    std::string Hint;  // "협회 품목 「…」"
    std::vector<TTargetRow> Rows;
};

// One card per base name.
struct TTargetGroup {
    std::string BaseName; // 13 pt bold, Ink; "(이름 없음)" when empty
    TItemState State = TItemState::NotRead; // the smallest state of its rows
    TTargetColour Accent = TTargetColour::Default;
    std::string Caption; // 9 pt, Muted: "협회 지정 · " + the round header
    std::string Details; // 9 pt, Slate: rate, cap, number of varieties; may be empty
    std::string Support; // 9 pt semibold, Green: "회차 누적 지원 …원"
    bool ShowVarieties = false;
    int Varieties = 0; // distinct variety labels
    std::vector<TVarietyRun> Runs;
    int Height = 0; // design pixels
};

struct TDecisionLine {
    std::string Text; // 9 pt, Ink; the hint is the same text
};

// The association's recent decisions above the list.
struct TDecisionsView {
    int Rejected = 0;
    int Confirmed = 0;
    // Confirmed ones only: one line (x 20, 20 high, 9 pt, Muted); empty otherwise.
    std::string Line;
    // Rejected ones: a card, fill RedFill, accent Red.
    bool Card = false;
    std::string Title; // 10 pt semibold, Red
    std::vector<TDecisionLine> Lines; // the newest 8
    std::string More;          // 9 pt, Slate; empty when 8 or fewer
    std::string ConfirmedLine; // 9 pt, Muted; empty without confirmed ones
    int Height = 0;
};

// Goods in a designated coupon that no shown item designates.
struct TStrayCard {
    std::vector<TTargetRow> Rows; // empty: no card
    int Height = 0;
};

struct TTargetView {
    // the frame
    std::string Head;       // the headline
    int ViewRound = -1;     // the viewed round as kept (a round that no longer exists became -1)
    std::string RoundLabel; // between "<" and ">"
    // the list, top to bottom
    TDecisionsView Decisions;
    bool NoItems = false; // only the card with kNoItemsText follows the decisions
    std::string RoundHeader;
    std::vector<std::string> RoundNotice; // lines of the notice card (Light, 9 pt, Slate); empty: none
    std::vector<TTargetGroup> Groups;
    TStrayCard Stray;
    // counts of the shown items
    int Items = 0;
    int NotDiscounted = 0;
    int NotInPos = 0;
    int Stopped = 0;
    int Discounted = 0;
    int Pending = 0; // review "pending"
    // The note line below the headline; nullopt: it keeps what it shows (nothing read yet).
    std::optional<std::string> Note;
    // Every row's request target, in the order the rows are drawn.
    std::vector<TRequestTarget> RequestTargets;
};

// The page for `viewRound` (-1: the current round).
TTargetView BuildTargetView(const TTargetData& data, const TRoundTotals& totals, int viewRound);

// The state of an item of the shown round.
TItemState ItemStateOf(const TTargetData& data, const std::string& itemCode);

// The fix plan's lines for the current round, whatever round is viewed.
std::vector<std::string> TargetPlanLines(const TTargetData& data);
// Current items without goods on sale (the new-programme balloon).
int TargetUnlinkedCount(const TTargetData& data);

// ---- fixed texts of the page ------------------------------------------------------------------
inline constexpr char kAssignButtonText[] = "POS 상품을 품목에 지정";
inline constexpr char kAssignHelpText[] =
    "지정하면 바로 적용됩니다(계산대 할인 · 실적). 협회가 확인하면 정산에 들어가고, 거부하면 그 판매는 "
    "정산에서 빠집니다.";
inline constexpr char kNoItemsText[] = "협회가 준 대상 품목이 없습니다 — 회차가 열리면 여기에 나옵니다.";
inline constexpr char kItemsColumnHead[] = "협회 농할 품목";
inline constexpr char kGoodsColumnHead[] = "이 매장 POS 상품  ·  상태 · 협회 확인  ·  회차 누적 실적";
inline constexpr char kRequestButtonText[] = "품목 지정 ▾";
inline constexpr char kStrayCaption[] = "협회 지정 아님";
inline constexpr char kStrayTitle[] = "이번 차수 대상이 아닌데 농할 쿠폰에 든 상품";
inline constexpr char kStrayText[] =
    "여기서 할인한 돈은 정산에서 빠지고(불인정) 매장이 부담합니다. POS 의 쿠폰 관리에서 빼거나, 맞는 "
    "품목이면 「품목 지정 ▾」 으로 지정해 주세요.";
inline constexpr char kNoteBeforeRead[] = "POS 를 읽으면 대상 상품마다 계산대 할인이 되는지 보여 드립니다.";
inline constexpr char kLegendText[] =
    "「할인 적용 중」 = 이 상품이 POS 의 농할 쿠폰(판촉 상품)에 들어 있어 계산대에서 자동으로 할인되는 "
    "상태입니다.\r\n상품번호는 POS 가 상품마다 매긴 번호이고, 바코드는 계산대에서 찍는 번호입니다.";
inline constexpr char kRereadButtonText[] = "POS 다시 읽기";
inline constexpr char kPlanButtonText[] = "고칠 내용 보기";
inline constexpr char kPreviousRoundHint[] = "이전 차수";
inline constexpr char kNextRoundHint[] = "다음 차수";
inline constexpr char kPlanCardTitle[] = "POS 에서 고칠 내용";

} // namespace pavona

// The mapping dialogs' choices and texts apart from their widgets, and the goods search: the POS asked
// on the engine thread, the goods read earlier when it cannot be asked.
#pragma once

#include "engine/TargetData.h"

#include <string>
#include <vector>

namespace pavona {

// One association item that a goods can be assigned to.
struct TItemChoice {
    std::string Name;
    std::string Code;
    bool operator==(const TItemChoice&) const = default;
};

// Every designated item of every round, once each, in text order of name then code.
std::vector<TItemChoice> ItemChoices(const std::vector<TRoundInfo>& rounds);
// The drop-down's entry: name, three blanks and the code in brackets.
std::string ItemChoiceEntry(const TItemChoice& choice);

// The goods line that opens the confirmations and the item choice: "이름 (상품번호 123)".
std::string GoodsLineOf(const TRequestTarget& target);

// The POS's answer to one search of the goods search dialog.
struct TGoodsSearch {
    std::vector<TStoreGoods> Found; // the exact code first (for a search of digits), then by name
    // Why the POS could not be asked or could not search: the dialog then searches the goods read
    // earlier and says so. Empty when the POS answered.
    std::string Note;
};

// Asks the POS for `query` (trimmed, not empty): a query of digits first as an exact goods code,
// then by name (at most 100). Blocks on the POS: runs on the engine thread.
TGoodsSearch SearchPosGoods(const std::string& connStr, const std::string& query);

// What the dialog lists after a search: the POS's goods, or, when the POS could not be asked and
// found nothing, the goods read earlier whose name holds the query (letter case ignored), whose code
// is the query or whose barcode is the query.
std::vector<TStoreGoods> PickRows(const TGoodsSearch& search, const std::vector<TStoreGoods>& readGoods,
                                  const std::string& query);
// One list line: code and name, the spec and barcode when there are any, "(판매 중지)" for a goods
// not on sale, and the item each current row assigns it to now.
std::string PickLine(const TStoreGoods& goods, const std::vector<TPolicyItem>& currentItems);
// The note under the search box after a search that listed `lines` goods.
std::string PickNote(const TGoodsSearch& search, int lines);

// ---- texts -----------------------------------------------------------------------------------
inline constexpr char kMappingCaption[] = "품목 지정";
inline constexpr char kMenuAssignOther[] = "다른 품목으로 지정(바로 적용)…";
inline constexpr char kMenuRelease[] = "이 품목이 아님(지정 풀기)";
inline constexpr char kMenuRemap[] = "AI 다시 보기(제안만)";
inline constexpr char kReleaseCaption[] = "지정 풀기";
inline constexpr char kReleaseQuestion[] =
    "이 상품은 바로 대상에서 빠집니다.\n(계산대의 쿠폰은 POS 에서 직접 빼 주세요 — 이 프로그램은 POS 를 "
    "읽기만 합니다.)\n\n지정을 풀까요?";
inline constexpr char kRemapCaption[] = "AI 다시 보기";
inline constexpr char kRemapQuestion[] =
    "AI 가 이 상품을 다시 봅니다. 결과는 제안일 뿐이고, 지금 적용된 지정은 바뀌지 않습니다.\n\n보낼까요?";
inline constexpr char kAssignOtherCaption[] = "다른 품목으로 지정";
inline constexpr char kAssignPosCaption[] = "POS 상품을 품목에 지정";
inline constexpr char kNotEnrolledText[] =
    "협회 등록이 아직 안 됐습니다 — 「설정」 에서 등록 코드를 넣어 주세요.";
inline constexpr char kNoChoicesText[] =
    "협회가 지정한 품목을 아직 받지 못했습니다 — 「현황」 에서 협회 연결을 확인해 주세요.";
inline constexpr char kChoiceHelp[] =
    "협회 품목을 고르세요. 지정하면 바로 적용됩니다(계산대 할인 · 실적). 협회가 확인하면 정산에 들어가고, "
    "거부하면 그 판매는 정산에서 빠집니다.";
inline constexpr char kChoiceMemoCaption[] = "메모(선택 · 협회가 확인할 때 봅니다)";
inline constexpr char kPickTitle[] = "POS 상품을 품목에 지정 — 상품 찾기";
inline constexpr char kPickHelp[] = "지정할 POS 상품을 찾으세요(이름의 일부 또는 상품번호). 다음 단계에서 "
                                    "협회 품목을 고르면 바로 적용됩니다.";
inline constexpr char kPickEmptyQuery[] = "상품 이름의 일부나 상품번호를 넣어 주세요.";
inline constexpr char kPickSearching[] = "POS 에서 찾는 중입니다…";

} // namespace pavona

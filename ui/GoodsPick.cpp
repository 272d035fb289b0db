// The mapping dialogs' choices, texts and the goods search over the POS.
#include "ui/GoodsPick.h"

#include "common/Text.h"
#include "pos/AgentPos.h"

#include <QString>

#include <algorithm>
#include <set>

namespace pavona {

namespace {

constexpr int kNameLimit = 100;

bool AllDigits(const std::string& s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

TStoreGoods GoodsOf(const TGoodsRow& row) {
    return {row.Code, row.Name, row.Barcode, row.Spec, row.Active};
}

} // namespace

std::vector<TItemChoice> ItemChoices(const std::vector<TRoundInfo>& rounds) {
    // Sorted and made unique by the text "name=code", as the list the store reads is ordered.
    std::vector<std::pair<std::string, TItemChoice>> all;
    for (const TRoundInfo& round : rounds)
        for (const TDesignated& d : round.Designated)
            all.push_back({d.Name + "=" + d.Code, {d.Name, d.Code}});
    std::stable_sort(all.begin(), all.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<TItemChoice> out;
    for (size_t i = 0; i < all.size(); ++i)
        if (i == 0 || all[i].first != all[i - 1].first) out.push_back(all[i].second);
    return out;
}

std::string ItemChoiceEntry(const TItemChoice& choice) {
    return choice.Name + "   (" + choice.Code + ")";
}

std::string GoodsLineOf(const TRequestTarget& target) {
    return (target.Label.empty() ? target.Code : target.Label) + " (상품번호 " + target.Code + ")";
}

TGoodsSearch SearchPosGoods(const std::string& connStr, const std::string& query) {
    TGoodsSearch out;
    const std::string q = Trim(query);
    if (Trim(connStr).empty()) {
        out.Note = "POS 접속 정보가 없어 읽어 둔 상품 안에서만 찾았습니다.";
        return out;
    }
    TPosReader reader;
    if (const Result<> connected = reader.Connect(connStr); !connected) {
        out.Note = "POS 에 연결하지 못해 읽어 둔 상품 안에서만 찾았습니다 — " + connected.Error();
        return out;
    }
    std::set<std::string> seen;
    if (AllDigits(q)) {
        if (const Result<std::vector<TGoodsRow>> exact = reader.GoodsByCodes({q}); exact)
            for (const TGoodsRow& row : exact.Value())
                if (seen.insert(row.Code).second) out.Found.push_back(GoodsOf(row));
    }
    const Result<std::vector<TGoodsRow>> named = reader.GoodsList(q, kNameLimit);
    if (!named) {
        out.Note = "POS 에서 찾지 못했습니다 — " + named.Error();
        return out;
    }
    for (const TGoodsRow& row : named.Value())
        if (seen.insert(row.Code).second) out.Found.push_back(GoodsOf(row));
    return out;
}

std::vector<TStoreGoods> PickRows(const TGoodsSearch& search, const std::vector<TStoreGoods>& readGoods,
                                  const std::string& query) {
    if (!search.Found.empty() || search.Note.empty()) return search.Found;
    const std::string q = Trim(query);
    const QString needle = QString::fromStdString(q);
    std::vector<TStoreGoods> out;
    for (const TStoreGoods& g : readGoods)
        if (QString::fromStdString(g.Name).contains(needle, Qt::CaseInsensitive) || g.Code == q ||
            (!q.empty() && Trim(g.Barcode) == q))
            out.push_back(g);
    return out;
}

std::string PickLine(const TStoreGoods& g, const std::vector<TPolicyItem>& currentItems) {
    std::string line = g.Code + "  ·  " + g.Name;
    if (const std::string spec = Trim(g.Spec); !spec.empty()) line += "  ·  " + spec;
    if (const std::string barcode = Trim(g.Barcode); !barcode.empty()) line += "  ·  바코드 " + barcode;
    if (!g.Active) line += "  (판매 중지)";
    for (const TPolicyItem& item : currentItems)
        if (item.VendorItemCode == g.Code) line += "   [지금: " + item.ItemName + "]";
    return line;
}

std::string PickNote(const TGoodsSearch& search, int lines) {
    if (lines == 0)
        return search.Note.empty() ? "찾는 상품이 없습니다 — 이름을 짧게 넣어 보세요." : search.Note;
    if (!search.Note.empty()) return search.Note;
    return Fmt("%d개를 찾았습니다%s — 고른 뒤 「다음」 을 누르세요.", lines,
               lines >= kNameLimit ? "(이름으로는 앞 100개까지)" : "");
}

} // namespace pavona

// The item choice and goods search dialogs of a mapping request, opened with open() so the window
// keeps running while the store decides; the caller hears the end through finished().
#pragma once

#include "ui/GoodsPick.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace pavona {

// "협회 품목을 고르세요": a drop-down of the items (the first chosen), a memo, "지정" and "취소".
class TItemChoiceDialog : public QDialog {
    Q_OBJECT
  public:
    TItemChoiceDialog(QWidget* parent, const QString& caption, const TRequestTarget& target,
                      std::vector<TItemChoice> choices);

    // The item chosen when the dialog was accepted; empty otherwise.
    std::string ChosenCode() const;
    // The memo, trimmed.
    std::string Note() const;

  private:
    std::vector<TItemChoice> FChoices;
    QComboBox* FChoice = nullptr;
    QLineEdit* FNote = nullptr;
};

// "상품 찾기": a search box whose search runs elsewhere (`search` answers on the window's thread,
// later), the list of goods found and "다음 — 품목 고르기".
class TGoodsPickDialog : public QDialog {
    Q_OBJECT
  public:
    using TSearch = std::function<void(const std::string& query, std::function<void(TGoodsSearch)> answer)>;
    TGoodsPickDialog(QWidget* parent, TSearch search, std::vector<TStoreGoods> readGoods,
                     std::vector<TPolicyItem> currentItems);

    // "찾기" (also Enter in the search box).
    void SearchClick();
    // The goods chosen when the dialog was accepted with a goods selected; nothing otherwise.
    std::optional<TStoreGoods> Chosen() const;
    // A search is on its way.
    bool Searching() const { return FSearching; }

  private:
    void Answered(const std::string& query, const TGoodsSearch& search);

    TSearch FSearch;
    std::vector<TStoreGoods> FReadGoods;
    std::vector<TPolicyItem> FCurrentItems;
    std::vector<TStoreGoods> FRows; // the list's goods, line for line
    bool FSearching = false;
    QLineEdit* FEdit = nullptr;
    QPushButton* FFind = nullptr;
    QLabel* FNote = nullptr;
    QListWidget* FList = nullptr;
};

} // namespace pavona

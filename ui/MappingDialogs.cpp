// The item choice and goods search dialogs, built at design coordinates with the platform's own
// buttons, edit boxes and lists.
#include "ui/MappingDialogs.h"

#include "common/Text.h"
#include "ui/AgentUi.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPalette>
#include <QPointer>
#include <QPushButton>

namespace pavona {

namespace {

constexpr QRgb kInk = 0x0F1F2E;
constexpr QRgb kBody = 0x4B5B63;

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

void DressDialog(QDialog* dialog, const QString& title, int width, int height) {
    dialog->setWindowTitle(title);
    dialog->setFixedSize(UiScale(width), UiScale(height));
    QPalette palette = dialog->palette();
    palette.setColor(QPalette::Window, QColor(kUiWhite));
    dialog->setPalette(palette);
    dialog->setAutoFillBackground(true);
    SetUiFont(dialog, 10, QColor(kInk));
}

QPushButton* MakeButton(QDialog* dialog, const QString& caption, int left, int top, int width, int height) {
    auto* button = new QPushButton(caption, dialog);
    SetBoundsScaled(button, left, top, width, height);
    button->setAutoDefault(false);
    return button;
}

} // namespace

TItemChoiceDialog::TItemChoiceDialog(QWidget* parent, const QString& caption, const TRequestTarget& target,
                                     std::vector<TItemChoice> choices)
    : QDialog(parent), FChoices(std::move(choices)) {
    setObjectName(QStringLiteral("itemChoiceDialog"));
    DressDialog(this, caption, 500, 290);
    QLabel* help = MakeLabel(this, 20, 16, 460, 84, Q(GoodsLineOf(target)) + "\n" + Q(kChoiceHelp), 9,
                             QColor(kBody), false, true);
    help->setObjectName(QStringLiteral("choiceHelp"));
    FChoice = new QComboBox(this);
    FChoice->setObjectName(QStringLiteral("itemChoice"));
    SetBoundsScaled(FChoice, 20, 106, 460, 32);
    for (const TItemChoice& c : FChoices)
        FChoice->addItem(Q(ItemChoiceEntry(c)));
    FChoice->setCurrentIndex(FChoices.empty() ? -1 : 0);
    MakeLabel(this, 20, 152, 460, 20, Q(kChoiceMemoCaption), 9, QColor(kUiMuted));
    FNote = new QLineEdit(this);
    FNote->setObjectName(QStringLiteral("itemNote"));
    SetBoundsScaled(FNote, 20, 174, 460, 32);
    QPushButton* ok = MakeButton(this, QStringLiteral("지정"), 280, 234, 96, 36);
    ok->setObjectName(QStringLiteral("choiceOk"));
    ok->setDefault(true);
    QPushButton* cancel = MakeButton(this, QStringLiteral("취소"), 384, 234, 96, 36);
    cancel->setObjectName(QStringLiteral("choiceCancel"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

std::string TItemChoiceDialog::ChosenCode() const {
    const int i = FChoice->currentIndex();
    if (result() != QDialog::Accepted || i < 0 || i >= static_cast<int>(FChoices.size())) return {};
    return FChoices[static_cast<size_t>(i)].Code;
}

std::string TItemChoiceDialog::Note() const {
    return Trim(FNote->text().toStdString());
}

TGoodsPickDialog::TGoodsPickDialog(QWidget* parent, TSearch search, std::vector<TStoreGoods> readGoods,
                                   std::vector<TPolicyItem> currentItems)
    : QDialog(parent), FSearch(std::move(search)), FReadGoods(std::move(readGoods)),
      FCurrentItems(std::move(currentItems)) {
    setObjectName(QStringLiteral("goodsPickDialog"));
    DressDialog(this, Q(kPickTitle), 620, 470);
    MakeLabel(this, 20, 14, 580, 40, Q(kPickHelp), 9, QColor(kBody), false, true);
    FEdit = new QLineEdit(this);
    FEdit->setObjectName(QStringLiteral("PickEdit"));
    SetBoundsScaled(FEdit, 20, 60, 470, 32);
    FFind = MakeButton(this, QStringLiteral("찾기"), 500, 59, 100, 34);
    FFind->setObjectName(QStringLiteral("PickFind"));
    // Enter in the search box searches.
    FFind->setDefault(true);
    connect(FFind, &QPushButton::clicked, this, &TGoodsPickDialog::SearchClick);
    FNote = MakeLabel(this, 20, 100, 580, 20, QString(), 9, QColor(kUiMuted));
    FNote->setObjectName(QStringLiteral("PickNote"));
    FList = new QListWidget(this);
    FList->setObjectName(QStringLiteral("PickList"));
    SetBoundsScaled(FList, 20, 124, 580, 280);
    SetUiFont(FList, 10, QColor(kInk));
    connect(FList, &QListWidget::itemDoubleClicked, this, [this] {
        if (FList->currentRow() >= 0) accept();
    });
    QPushButton* next = MakeButton(this, QStringLiteral("다음 — 품목 고르기"), 344, 418, 150, 36);
    next->setObjectName(QStringLiteral("PickNext"));
    connect(next, &QPushButton::clicked, this, &QDialog::accept);
    QPushButton* cancel = MakeButton(this, QStringLiteral("취소"), 504, 418, 96, 36);
    cancel->setObjectName(QStringLiteral("PickCancel"));
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    FEdit->setFocus();
}

void TGoodsPickDialog::SearchClick() {
    if (FSearching) return;
    const std::string q = Trim(FEdit->text().toStdString());
    FRows.clear();
    FList->clear();
    if (q.empty()) {
        FNote->setText(Q(kPickEmptyQuery));
        return;
    }
    FSearching = true;
    FFind->setEnabled(false);
    FNote->setText(Q(kPickSearching));
    QPointer<TGoodsPickDialog> self(this);
    FSearch(q, [self, q](TGoodsSearch found) {
        if (self) self->Answered(q, found);
    });
}

void TGoodsPickDialog::Answered(const std::string& query, const TGoodsSearch& search) {
    FSearching = false;
    FFind->setEnabled(true);
    FRows = PickRows(search, FReadGoods, query);
    for (const TStoreGoods& g : FRows)
        FList->addItem(Q(PickLine(g, FCurrentItems)));
    if (!FRows.empty()) FList->setCurrentRow(0);
    FNote->setText(Q(PickNote(search, static_cast<int>(FRows.size()))));
}

std::optional<TStoreGoods> TGoodsPickDialog::Chosen() const {
    const int i = FList->currentRow();
    if (result() != QDialog::Accepted || i < 0 || i >= static_cast<int>(FRows.size())) return std::nullopt;
    const TStoreGoods& g = FRows[static_cast<size_t>(i)];
    if (Trim(g.Code).empty()) return std::nullopt;
    return g;
}

} // namespace pavona

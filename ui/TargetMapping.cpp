// The page's mapping requests: row menu, confirmations, item choice, goods search; dialogs opened with
// open(), and every request names the goods captured when its row's button was pressed.
#include "ui/TargetPage.h"

#include "common/Text.h"
#include "engine/AgentEngine.h"
#include "ui/GoodsPick.h"
#include "ui/MappingDialogs.h"

#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

namespace pavona {

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

QMessageBox* MessageBox(QWidget* parent, QMessageBox::Icon icon, const char* name, const QString& caption,
                        const QString& text, QMessageBox::StandardButtons buttons) {
    auto* box = new QMessageBox(icon, caption, text, buttons, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setAttribute(Qt::WA_DeleteOnClose);
    if (QAbstractButton* ok = box->button(QMessageBox::Ok)) ok->setText(QStringLiteral("확인"));
    if (QAbstractButton* cancel = box->button(QMessageBox::Cancel)) cancel->setText(QStringLiteral("취소"));
    return box;
}

} // namespace

void TTargetPage::ShowRequestMenu(const TRequestTarget& target, QWidget* at) {
    // A menu of its own for each press, owned by the page: the row's button may be gone with the
    // next drawing of the list while the menu is still open.
    for (QMenu* old : findChildren<QMenu*>(QStringLiteral("requestMenu"), Qt::FindDirectChildrenOnly))
        old->deleteLater();
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("requestMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<TTargetPage> page(this);
    connect(menu->addAction(QString::fromUtf8(kMenuAssignOther)), &QAction::triggered, this, [page, target] {
        if (!page) return;
        page->ChooseItem(target, QString::fromUtf8(kAssignOtherCaption),
                         [page, target](const std::string& itemCode, const std::string& note) {
                             if (page) page->SendMapping(target, "assign", itemCode, note);
                         });
    });
    connect(menu->addAction(QString::fromUtf8(kMenuRelease)), &QAction::triggered, this, [page, target] {
        if (!page) return;
        page->Confirm(target, QString::fromUtf8(kReleaseCaption), QString::fromUtf8(kReleaseQuestion),
                      [page, target] {
                          if (page) page->SendMapping(target, "release", "", "");
                      });
    });
    menu->addSeparator();
    connect(menu->addAction(QString::fromUtf8(kMenuRemap)), &QAction::triggered, this, [page, target] {
        if (!page) return;
        page->Confirm(target, QString::fromUtf8(kRemapCaption), QString::fromUtf8(kRemapQuestion),
                      [page, target] {
                          if (page) page->SendMapping(target, "remap", "", "");
                      });
    });
    const QPoint corner = at ? at->mapToGlobal(at->rect().bottomLeft()) : mapToGlobal(rect().center());
    menu->popup(corner);
}

void TTargetPage::Confirm(const TRequestTarget& target, const QString& caption, const QString& question,
                          std::function<void()> onOk) {
    QMessageBox* box =
        MessageBox(window(), QMessageBox::Question, "confirmBox", caption,
                   Q(GoodsLineOf(target)) + "\n\n" + question, QMessageBox::Ok | QMessageBox::Cancel);
    connect(box, &QDialog::finished, box, [box, onOk = std::move(onOk)] {
        if (box->clickedButton() == box->button(QMessageBox::Ok)) onOk();
    });
    box->open();
}

void TTargetPage::ChooseItem(
    const TRequestTarget& target, const QString& caption,
    std::function<void(const std::string& itemCode, const std::string& note)> chosen) {
    std::vector<TItemChoice> choices = ItemChoices(FData.Rounds);
    if (choices.empty()) {
        Inform(QString::fromUtf8(kNoChoicesText));
        return;
    }
    auto* dialog = new TItemChoiceDialog(window(), caption, target, std::move(choices));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::finished, dialog, [dialog, chosen = std::move(chosen)] {
        const std::string code = dialog->ChosenCode();
        if (!code.empty()) chosen(code, dialog->Note());
    });
    dialog->open();
}

void TTargetPage::AssignPosGoodsClick() {
    const TAgentSettings settings = FHooks.Settings ? FHooks.Settings() : TAgentSettings{};
    if (Trim(settings.Store).empty() || Trim(settings.Key).empty()) {
        Inform(QString::fromUtf8(kNotEnrolledText));
        return;
    }
    QPointer<TTargetPage> page(this);
    const std::string connStr = settings.PosConnStr;
    // The POS is asked on the engine thread; the dialog hears the answer here.
    auto search = [page, connStr](const std::string& query, std::function<void(TGoodsSearch)> answer) {
        if (!page) return;
        auto found = std::make_shared<TGoodsSearch>();
        page->Ask([found, connStr, query](TAgentEngine&) { *found = SearchPosGoods(connStr, query); },
                  [found, answer = std::move(answer)] { answer(*found); });
    };
    auto* dialog = new TGoodsPickDialog(window(), search, FData.Goods, FData.Items);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::finished, dialog, [page, dialog] {
        const std::optional<TStoreGoods> goods = dialog->Chosen();
        if (!page || !goods) return;
        const TRequestTarget target{goods->Code, goods->Name};
        const TStoreGoods g = *goods;
        page->ChooseItem(target, QString::fromUtf8(kAssignPosCaption),
                         [page, target, g](const std::string& itemCode, const std::string& note) {
                             if (page)
                                 page->SendMapping(target, "assign", itemCode, note, g.Name, g.Spec,
                                                   g.Barcode);
                         });
    });
    dialog->open();
}

void TTargetPage::SendMapping(const TRequestTarget& target, const std::string& kind,
                              const std::string& itemCode, const std::string& note,
                              const std::string& goodsName, const std::string& spec,
                              const std::string& barcode) {
    if (Trim(target.Code).empty()) return;
    auto outcome = std::make_shared<TMappingOutcome>();
    QPointer<TTargetPage> page(this);
    Ask(
        [outcome, target, kind, itemCode, note, goodsName, spec, barcode](TAgentEngine& e) {
            *outcome = e.SendMapping(target, kind, itemCode, note, goodsName, spec, barcode);
        },
        [page, outcome] { page->MappingAnswered(*outcome); });
}

void TTargetPage::MappingAnswered(const TMappingOutcome& o) {
    // The list the refresh drew has arrived already (it was handed over first): the result goes
    // over its note.
    if (!o.Note.empty()) SetNote(Q(o.Note));
    if (o.NextPolicyMs > 0 && FHooks.RearmPolicy) FHooks.RearmPolicy(o.NextPolicyMs);
    if (!o.BoxText.empty())
        MessageBox(window(), QMessageBox::Warning, "mappingWarnBox", QString::fromUtf8(kMappingCaption),
                   Q(ReplaceAll(o.BoxText, "\r\n", "\n")), QMessageBox::Ok)
            ->open();
}

void TTargetPage::Inform(const QString& text) {
    MessageBox(window(), QMessageBox::Information, "mappingInfoBox", QString::fromUtf8(kMappingCaption), text,
               QMessageBox::Ok)
        ->open();
}

} // namespace pavona

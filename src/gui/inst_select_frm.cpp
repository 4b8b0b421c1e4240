#include "gui/inst_select_frm.h"

#include <QHeaderView>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/controls.h"
#include "gui/qt_text.h"
#include "gui/texts.h"

namespace kestrane::gui {

namespace {

constexpr int kIndexRole = Qt::UserRole;
constexpr int kGroupTop = 56;

}  // namespace

TInstSelectFrm::TInstSelectFrm(QWidget* parent) : TModelPage(parent) {
    lbDescrip = NewLabel(pnClient, "", "lbDescrip");
    lbDescrip->move(48, 24);

    gbInstance = Named(new QGroupBox(ToQt(texts::kInstanceGroup), pnClient), "gbInstance");
    gbInstance->setGeometry(48, kGroupTop, 409, 185);
    ToolBar1 = Named(new QToolBar(gbInstance), "ToolBar1");
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextOnly);
    ToolBar1->setMovable(false);
    tbSelAll = NewToolButton(texts::kSelAll, "tbSelAll", app::cmSelectAll);
    tbClrAll = NewToolButton(texts::kClrAll, "tbClrAll", app::cmClearAll);
    ToolButton1 = NewToolButton(texts::kInvert, "ToolButton1", app::cmInvert);

    lvInstance = Named(new QTreeWidget(gbInstance), "lvInstance");
    lvInstance->setColumnCount(3);
    lvInstance->setHeaderLabels(
        {ToQt(texts::kColDBName), ToQt(texts::kColAccountName), ToQt(texts::kColVersion)});
    lvInstance->setColumnWidth(0, 120);
    lvInstance->setColumnWidth(1, 200);
    lvInstance->setColumnWidth(2, 80);
    // The three columns fill the list; the last takes the pixel or two that the frames leave.
    lvInstance->header()->setStretchLastSection(true);
    lvInstance->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lvInstance->setRootIsDecorated(false);
    lvInstance->setItemsExpandable(false);
    lvInstance->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvInstance->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvInstance->setAllColumnsShowFocus(true);

    auto* layout = new QVBoxLayout(gbInstance);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(0);
    layout->addWidget(ToolBar1);
    layout->addWidget(lvInstance);
    FromModel();
}

const app::TPageClass& TInstSelectFrm::PageClass() {
    static const app::TPageClass pageClass{app::pages::TInstSelectFrm, &CreatePage<TInstSelectFrm>};
    return pageClass;
}

QToolButton* TInstSelectFrm::NewToolButton(const char* text, const char* name, app::TCheckMode mode) {
    auto* button = Named(new QToolButton(ToolBar1), name);
    button->setText(ToQt(text));
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    ToolBar1->addWidget(button);
    connect(button, &QToolButton::clicked, this,
            [this, mode] { Act([this, mode] { Model.SetChecks(mode); }); });
    return button;
}

void TInstSelectFrm::FromModel() {
    SetLabelText(lbTitle, Model.lbTitle);
    SetLabelText(lbText, Model.lbText);
    SetLabelText(lbDescrip, Model.lbDescrip);
    // Two lines of the CJK font are taller than the space above the list; the text moves up instead.
    lbDescrip->move(48, std::min(24, kGroupTop - 2 - lbDescrip->height()));

    const auto& rows = Model.lvInstance;
    if (lvInstance->topLevelItemCount() != static_cast<int>(rows.size())) {
        lvInstance->clear();
        for (std::size_t i = 0; i < rows.size(); ++i) new QTreeWidgetItem(lvInstance);
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        QTreeWidgetItem* item = lvInstance->topLevelItem(static_cast<int>(i));
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setText(0, ToQt(rows[i].DBName));
        item->setText(1, ToQt(rows[i].AccountName));
        item->setText(2, ToQt(rows[i].Version));
        item->setData(0, kIndexRole, static_cast<qulonglong>(rows[i].Index));
        item->setCheckState(0, rows[i].Checked ? Qt::Checked : Qt::Unchecked);
    }
}

void TInstSelectFrm::ToModel() {
    auto& rows = Model.lvInstance;
    const std::size_t count =
        std::min(rows.size(), static_cast<std::size_t>(lvInstance->topLevelItemCount()));
    for (std::size_t i = 0; i < count; ++i)
        rows[i].Checked = lvInstance->topLevelItem(static_cast<int>(i))->checkState(0) == Qt::Checked;
}

}  // namespace kestrane::gui

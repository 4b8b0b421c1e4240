#include "gui/progress_frm.h"

#include <QVBoxLayout>
#include <algorithm>

#include "app/manager.h"
#include "gui/qt_text.h"
#include "gui/texts.h"
#include "patch/inst_nodes.h"
#include "patch/param_info.h"

namespace kestrane::gui {

namespace {
constexpr int kNodeTypeRole = Qt::UserRole;
}

std::uint8_t NodeTypeOf(const QTreeWidgetItem* node) {
    return static_cast<std::uint8_t>(node->data(0, kNodeTypeRole).toUInt());
}

TProgressFrm::TProgressFrm(QWidget* parent) : TStepBaseFrm(parent) {
    lbDescrip = new QLabel(pnClient);
    lbDescrip->setObjectName(QStringLiteral("lbDescrip"));
    lbDescrip->move(48, 5);
    lbProgressMsg = new QLabel(pnClient);
    lbProgressMsg->setObjectName(QStringLiteral("lbProgressMsg"));
    // Fixed width: messages vary in length and each report must not move the layout.
    lbProgressMsg->setGeometry(48, 28, 409, 16);
    for (QLabel* label : {lbDescrip, lbProgressMsg}) MakePlainLabel(label);

    pbProgress = new QProgressBar(pnClient);
    pbProgress->setObjectName(QStringLiteral("pbProgress"));
    pbProgress->setGeometry(48, 44, 409, 17);
    pbProgress->setTextVisible(false);
    pbProgress->setRange(0, 100);
    pbProgress->setValue(0);

    gbContent = new QGroupBox(ToQt(texts::kProgressContent), pnClient);
    gbContent->setObjectName(QStringLiteral("gbContent"));
    gbContent->setGeometry(48, 72, 409, 169);
    Splitter1 = new QSplitter(Qt::Horizontal, gbContent);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    tvList = new QTreeWidget(Splitter1);
    tvList->setObjectName(QStringLiteral("tvList"));
    tvList->setHeaderHidden(true);
    tvList->setRootIsDecorated(false);
    tvList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tvList->setAttribute(Qt::WA_Hover);
    tvList->setMouseTracking(true);
    mDescription = new QPlainTextEdit(Splitter1);
    mDescription->setObjectName(QStringLiteral("mDescription"));
    mDescription->setReadOnly(true);
    mDescription->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Splitter1->setChildrenCollapsible(false);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({119, 409 - 119});
    auto* layout = new QVBoxLayout(gbContent);
    layout->setContentsMargins(6, 4, 6, 6);
    layout->addWidget(Splitter1);

    connect(tvList, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) { tvListChange(current); });
}

const app::TPageClass& TProgressFrm::PageClass() {
    static const app::TPageClass pageClass{"TProgressFrm", &CreatePage<TProgressFrm>};
    return pageClass;
}

bool TProgressFrm::EnterPage(patch::TBaseParamInfo& ParamInfo) {
    RefreshContents();
    const bool maker = ParamInfo.RunMode == patch::rmMaker;
    SetLabelText(lbTitle, maker ? texts::kProgressMakerTitle : texts::kProgressInstallerTitle);
    SetLabelText(lbText, maker ? texts::kProgressMakerText : texts::kProgressInstallerText);
    SetLabelText(lbDescrip, maker ? texts::kProgressMakerDescrip : texts::kProgressInstallerDescrip);
    return true;
}

bool TProgressFrm::LeavePage(patch::TBaseParamInfo& ParamInfo) {
    ParamInfo.OnProgress = [this](const void* sender, patch::TKVParamNodeType nodeType,
                                  const std::string& message, int position, int maximum) {
        ProgressChanged(sender, nodeType, message, position, maximum);
    };
    return true;
}

void TProgressFrm::AddNode(const std::string& caption, std::uint8_t nodeType) {
    auto* node = new QTreeWidgetItem(tvList, QStringList{ToQt(caption)});
    node->setData(0, kNodeTypeRole, nodeType);
}

void TProgressFrm::RefreshContents() {
    lbProgressMsg->clear();
    tvList->clear();
    if (!Manager) return;
    const patch::TKVPatchType type = Manager->ParamInfo().PatchType;
    if (type == patch::ptProgram || type == patch::ptBoth)
        AddNode(texts::kProgressProgramNode, patch::pntOther);
    if (type == patch::ptInstance || type == patch::ptBoth) {
        const patch::TInstResCollection& items = Manager->InstResItems();
        for (std::size_t i = 0; i < items.Count(); ++i) {
            const patch::TInstResItem& item = items.Item(i);
            if (!item.IsEmpty())
                AddNode(patch::ParamNodeTypeCaption(item.ParamNodeType()), item.ParamNodeType());
        }
    }
    tvList->expandAll();
}

void TProgressFrm::SelectNode(std::uint8_t nodeType) {
    for (int i = 0; i < tvList->topLevelItemCount(); ++i) {
        QTreeWidgetItem* node = tvList->topLevelItem(i);
        if (NodeTypeOf(node) == nodeType) {
            tvList->setCurrentItem(node);
            return;
        }
    }
}

void TProgressFrm::tvListChange(QTreeWidgetItem* node) {
    if (!Manager || !node) return;
    const std::uint8_t type = NodeTypeOf(node);
    if (type == patch::pntOther) {
        mDescription->setPlainText(ToQt(Manager->ResItems().Description));
        return;
    }
    const patch::TInstResItem* item =
        Manager->InstResItems().FindByNodeType(static_cast<patch::TKVParamNodeType>(type));
    mDescription->setPlainText(item ? ToQt(item->Description) : QString());
}

void TProgressFrm::ProgressChanged(const void*, patch::TKVParamNodeType nodeType, const std::string& message,
                                   int position, int maximum) {
    if (nodeType != CurrentNodeType) {
        CurrentNodeType = nodeType;
        SelectNode(nodeType);
    }
    // An empty range would turn the bar into a busy indicator; the bar clamps like the system's.
    pbProgress->setRange(0, std::max(maximum, 1));
    pbProgress->setValue(std::clamp(position, 0, std::max(maximum, 0)));
    lbProgressMsg->setText(ToQt(message));
    // The run does not return to the message loop between reports.
    pbProgress->repaint();
    lbProgressMsg->repaint();
}

}  // namespace kestrane::gui

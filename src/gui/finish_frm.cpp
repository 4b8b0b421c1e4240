#include "gui/finish_frm.h"

#include "app/installation_services.h"
#include "app/manager.h"
#include "gui/log_msg_form.h"
#include "gui/qt_text.h"
#include "gui/texts.h"
#include "gui/welcome_layout.h"
#include "patch/param_info.h"
#include "support/format.h"

namespace kestrane::gui {

TFinishFrm::TFinishFrm(QWidget* parent) : TBaseFrame(parent), RepairDatabase(&app::RepairDatabase) {
    const WelcomeLayout layout = BuildWelcomeLayout(this, 24);
    panelClient = layout.panelClient;
    imgBackground = layout.imgBackground;
    lbTitle = layout.lbTitle;
    lbText = layout.lbText;
    lbText->setGeometry(168, 88, 297, 177);
    lbText->setWordWrap(true);
    lbText->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    btnDetail = new QPushButton(ToQt(texts::kBtnDetail), panelClient);
    btnDetail->setObjectName(QStringLiteral("btnDetail"));
    btnDetail->setGeometry(168, 272, 75, 23);
    btnDetail->hide();
    btnRepairDB = new QPushButton(ToQt(texts::kBtnRepairDB), panelClient);
    btnRepairDB->setObjectName(QStringLiteral("btnRepairDB"));
    btnRepairDB->setGeometry(248, 271, 75, 23);
    btnRepairDB->hide();
    ProgressBar1 = new QProgressBar(panelClient);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(168, 104, 297, 17);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->hide();

    connect(btnDetail, &QPushButton::clicked, this, [this] { Guarded([this] { btnDetailClick(); }); });
    connect(btnRepairDB, &QPushButton::clicked, this, [this] { Guarded([this] { btnRepairDBClick(); }); });
    TFinishFrm::resizeEvent(nullptr);
}

const app::TPageClass& TFinishFrm::PageClass() {
    static const app::TPageClass pageClass{"TFinishFrm", &CreatePage<TFinishFrm>};
    return pageClass;
}

void TFinishFrm::resizeEvent(QResizeEvent*) {
    panelClient->setGeometry(rect());
}

bool TFinishFrm::EnterPage(patch::TBaseParamInfo& ParamInfo) {
    if (ParamInfo.RunMode == patch::rmMaker) {
        SetLabelText(lbTitle, texts::kFinishMakerTitle);
        SetLabelText(lbText, support::Format(texts::kFinishMakerText, ParamInfo.PatchFileName));
        return true;
    }
    const bool failed = (ParamInfo.ResultFlags & patch::rfFailed) != 0;
    if (ParamInfo.ResultFlags & patch::rfCompleted) {
        SetLabelText(lbTitle, texts::kFinishSuccessTitle);
        SetLabelText(lbText, texts::kFinishSuccessText);
    } else if (failed) {
        SetLabelText(lbTitle, texts::kFinishFailureTitle);
        SetLabelText(lbText, texts::kFinishFailureText);
    }
    btnDetail->setVisible(failed);
    btnRepairDB->setVisible(failed && !app::RepairableAccountSets(ParamInfo.Instances).empty());
    return true;
}

void TFinishFrm::btnDetailClick() {
    std::string text;
    for (const std::string& line : Manager->DetailLog()) text += line + "\r\n";
    TLogMsgForm form(this);
    form.SetLogText(text);
    form.exec();
}

void TFinishFrm::Advance(int steps, int waitMs) {
    ProgressBar1->setValue(ProgressBar1->value() + steps);
    ProgressBar1->repaint();
    if (waitMs > 0) Interaction().Sleep(waitMs);
}

void TFinishFrm::btnRepairDBClick() {
    app::TInteraction& interaction = Interaction();
    if (!interaction.AskConfirm(texts::kRepairConfirm, app::TBoxOwner::None)) return;
    const support::TInstArray sets = app::RepairableAccountSets(Manager->ParamInfo().Instances);
    const QString savedText = lbText->text();

    struct Restore {
        TFinishFrm* page;
        QString text;
        ~Restore() {
            page->ProgressBar1->hide();
            page->lbText->setText(text);
        }
    } restore{this, savedText};

    SetLabelText(lbText, texts::kRepairRunning);
    lbText->repaint();
    ProgressBar1->setRange(0, 10);
    ProgressBar1->setValue(0);
    ProgressBar1->show();
    Advance(1, 1000);
    Advance(1, 300);
    Advance(3, 500);
    Advance(3, 0);
    for (const support::TInstanceRec& set : sets) RepairDatabase(set.DBName, set.DBInfo);
    ProgressBar1->setValue(10);
    interaction.ShowNotice(texts::kRepairDone, app::TBoxOwner::None);
}

}  // namespace kestrane::gui

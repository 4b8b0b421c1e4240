#include "gui/main_frm.h"

#include "gui/pictures.h"
#include "gui/qt_text.h"
#include "gui/texts.h"
#include "patch/param_info.h"
#include "support/format.h"

namespace kestrane::gui {

TMainFrm::TMainFrm(QWidget* parent) : TBaseFrame(parent) {
    panelClient = new QWidget(this);
    panelClient->setObjectName(QStringLiteral("panelClient"));
    imgBackground = new QLabel(panelClient);
    imgBackground->setObjectName(QStringLiteral("imgBackground"));
    imgBackground->setPixmap(WelcomePicture());
    imgBackground->setGeometry(0, 0, 501, 314);

    lbTitle = new QLabel(panelClient);
    lbTitle->setObjectName(QStringLiteral("lbTitle"));
    lbTitle->setFont(WizardFont(15, true));
    lbTitle->move(168, 32);
    lbText = new QLabel(panelClient);
    lbText->setObjectName(QStringLiteral("lbText"));
    lbText->setFont(WizardFont(12));
    lbText->move(168, 88);
    for (QLabel* label : {lbTitle, lbText}) MakePlainLabel(label);
    resizeEvent(nullptr);
}

const app::TPageClass& TMainFrm::PageClass() {
    static const app::TPageClass pageClass{"TMainFrm", &CreatePage<TMainFrm>};
    return pageClass;
}

void TMainFrm::resizeEvent(QResizeEvent*) { panelClient->setGeometry(rect()); }

bool TMainFrm::EnterPage(patch::TBaseParamInfo& ParamInfo) {
    if (ParamInfo.RunMode == 0) {
        SetLabelText(lbTitle, texts::kWelcomeMakerTitle);
        SetLabelText(lbText, texts::kWelcomeMakerText);
        return true;
    }
    std::string kinds;
    if (ParamInfo.PatchType == patch::ptProgram || ParamInfo.PatchType == patch::ptBoth)
        kinds += texts::kWelcomeKindProgram;
    if (ParamInfo.PatchType == patch::ptInstance || ParamInfo.PatchType == patch::ptBoth)
        kinds += texts::kWelcomeKindInstance;
    SetLabelText(lbTitle, texts::kWelcomeInstallerTitle);
    SetLabelText(lbText, support::Format(texts::kWelcomeInstallerText, kinds));
    return true;
}

}  // namespace kestrane::gui

#include "gui/welcome_frm.h"

#include <algorithm>

#include "gui/qt_text.h"
#include "gui/texts.h"
#include "gui/welcome_layout.h"
#include "patch/param_info.h"
#include "support/format.h"

namespace kestrane::gui {

TMainFrm::TMainFrm(QWidget* parent) : TBaseFrame(parent) {
    const WelcomeLayout layout = BuildWelcomeLayout(this, 15);
    panelClient = layout.panelClient;
    imgBackground = layout.imgBackground;
    lbTitle = layout.lbTitle;
    lbText = layout.lbText;
    lbText->setFont(WizardFont(12));
    TMainFrm::resizeEvent(nullptr);
}

const app::TPageClass& TMainFrm::PageClass() {
    static const app::TPageClass pageClass{"TMainFrm", &CreatePage<TMainFrm>};
    return pageClass;
}

void TMainFrm::resizeEvent(QResizeEvent*) {
    panelClient->setGeometry(rect());
}

// The three title lines are taller in the CJK fonts of this platform than the layout allows; the
// text keeps its place unless the title would run into it.
void TMainFrm::PlaceText() {
    lbText->move(168, std::max(88, lbTitle->geometry().bottom() + 3));
}

bool TMainFrm::EnterPage(patch::TBaseParamInfo& ParamInfo) {
    if (ParamInfo.RunMode == patch::rmMaker) {
        SetLabelText(lbTitle, texts::kWelcomeMakerTitle);
        SetLabelText(lbText, texts::kWelcomeMakerText);
        PlaceText();
        return true;
    }
    std::string kinds;
    if (ParamInfo.PatchType == patch::ptProgram || ParamInfo.PatchType == patch::ptBoth)
        kinds += texts::kWelcomeKindProgram;
    if (ParamInfo.PatchType == patch::ptInstance || ParamInfo.PatchType == patch::ptBoth)
        kinds += texts::kWelcomeKindInstance;
    SetLabelText(lbTitle, texts::kWelcomeInstallerTitle);
    SetLabelText(lbText, support::Format(texts::kWelcomeInstallerText, kinds));
    PlaceText();
    return true;
}

}  // namespace kestrane::gui

#include "gui/welcome_layout.h"

#include "gui/qt_text.h"
#include "gui/wizard_bitmaps.h"

namespace kestrane::gui {

WelcomeLayout BuildWelcomeLayout(QWidget* page, int titlePixelSize) {
    WelcomeLayout l{};
    l.panelClient = new QWidget(page);
    l.panelClient->setObjectName(QStringLiteral("panelClient"));
    l.imgBackground = new QLabel(l.panelClient);
    l.imgBackground->setObjectName(QStringLiteral("imgBackground"));
    l.imgBackground->setPixmap(WelcomePicture());
    l.imgBackground->setGeometry(0, 0, 501, 314);

    l.lbTitle = new QLabel(l.panelClient);
    l.lbTitle->setObjectName(QStringLiteral("lbTitle"));
    l.lbTitle->setFont(WizardFont(titlePixelSize, true));
    l.lbTitle->move(168, 32);
    l.lbText = new QLabel(l.panelClient);
    l.lbText->setObjectName(QStringLiteral("lbText"));
    l.lbText->move(168, 88);
    for (QLabel* label : {l.lbTitle, l.lbText}) MakePlainLabel(label);
    return l;
}

}  // namespace kestrane::gui

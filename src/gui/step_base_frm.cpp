#include "gui/step_base_frm.h"

#include "gui/qt_text.h"
#include "gui/wizard_bitmaps.h"

namespace kestrane::gui {

namespace {
constexpr int kTopHeight = 65;
}

TStepBaseFrm::TStepBaseFrm(QWidget* parent) : TBaseFrame(parent) {
    pnTop = new QWidget(this);
    pnTop->setObjectName(QStringLiteral("pnTop"));
    pnTop->setAutoFillBackground(true);
    QPalette white = pnTop->palette();
    white.setColor(QPalette::Window, Qt::white);
    pnTop->setPalette(white);

    imgTop = new QLabel(pnTop);
    imgTop->setObjectName(QStringLiteral("imgTop"));
    imgTop->setPixmap(BannerPicture());
    imgTop->setGeometry(0, 0, 500, 63);

    bvLine = new QFrame(pnTop);
    bvLine->setObjectName(QStringLiteral("bvLine"));
    bvLine->setFrameShape(QFrame::HLine);
    bvLine->setFrameShadow(QFrame::Sunken);

    lbTitle = new QLabel(pnTop);
    lbTitle->setObjectName(QStringLiteral("lbTitle"));
    lbTitle->setFont(WizardFont(12, true));
    lbTitle->move(24, 16);
    lbText = new QLabel(pnTop);
    lbText->setObjectName(QStringLiteral("lbText"));
    lbText->move(46, 32);
    for (QLabel* label : {lbTitle, lbText}) MakePlainLabel(label);

    pnClient = new QWidget(this);
    pnClient->setObjectName(QStringLiteral("pnClient"));
    TStepBaseFrm::resizeEvent(nullptr);
}

void TStepBaseFrm::resizeEvent(QResizeEvent*) {
    pnTop->setGeometry(0, 0, width(), kTopHeight);
    bvLine->setGeometry(0, kTopHeight - 2, width(), 2);
    pnClient->setGeometry(0, kTopHeight, width(), height() - kTopHeight);
}

}  // namespace kestrane::gui

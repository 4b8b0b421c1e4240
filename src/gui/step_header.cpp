#include "gui/step_header.h"

#include "gui/qt_text.h"
#include "gui/wizard_bitmaps.h"

namespace kestrane::gui {

StepHeader BuildStepHeader(QWidget* page) {
    StepHeader h{};
    h.pnTop = new QWidget(page);
    h.pnTop->setObjectName(QStringLiteral("pnTop"));
    h.pnTop->setAutoFillBackground(true);
    QPalette white = h.pnTop->palette();
    white.setColor(QPalette::Window, Qt::white);
    h.pnTop->setPalette(white);

    h.imgTop = new QLabel(h.pnTop);
    h.imgTop->setObjectName(QStringLiteral("imgTop"));
    h.imgTop->setPixmap(BannerPicture());
    h.imgTop->setGeometry(0, 0, 500, 63);

    h.bvLine = new QFrame(h.pnTop);
    h.bvLine->setObjectName(QStringLiteral("bvLine"));
    h.bvLine->setFrameShape(QFrame::HLine);
    h.bvLine->setFrameShadow(QFrame::Sunken);

    h.lbTitle = new QLabel(h.pnTop);
    h.lbTitle->setObjectName(QStringLiteral("lbTitle"));
    h.lbTitle->setFont(WizardFont(12, true));
    h.lbTitle->move(24, 16);
    h.lbText = new QLabel(h.pnTop);
    h.lbText->setObjectName(QStringLiteral("lbText"));
    h.lbText->move(46, 32);
    for (QLabel* label : {h.lbTitle, h.lbText}) MakePlainLabel(label);
    return h;
}

void PlaceStepHeader(const StepHeader& header, int width) {
    header.pnTop->setGeometry(0, 0, width, StepHeader::kHeight);
    header.bvLine->setGeometry(0, StepHeader::kHeight - 2, width, 2);
}

}  // namespace kestrane::gui

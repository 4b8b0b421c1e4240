#include "gui/step_base_frm.h"

namespace kestrane::gui {

TStepBaseFrm::TStepBaseFrm(QWidget* parent) : TBaseFrame(parent), StepHeader(BuildStepHeader(this)) {
    pnClient = new QWidget(this);
    pnClient->setObjectName(QStringLiteral("pnClient"));
    TStepBaseFrm::resizeEvent(nullptr);
}

void TStepBaseFrm::resizeEvent(QResizeEvent*) {
    PlaceStepHeader(*this, width());
    pnClient->setGeometry(0, StepHeader::kHeight, width(), height() - StepHeader::kHeight);
}

}  // namespace kestrane::gui

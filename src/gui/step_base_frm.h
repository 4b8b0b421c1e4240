// The frame of every step page: a banner with the step's title and one-line explanation above the
// client area that holds the step's own controls.
#pragma once

#include <QWidget>

#include "gui/base_frame.h"
#include "gui/step_header.h"

namespace kestrane::gui {

class TStepBaseFrm : public TBaseFrame, public StepHeader {
    Q_OBJECT

  public:
    explicit TStepBaseFrm(QWidget* parent = nullptr);

    QWidget* pnClient;

  protected:
    void resizeEvent(QResizeEvent* event) override;
};

}  // namespace kestrane::gui

// The frame of every step page: a banner with the step's title and one-line explanation above the
// client area that holds the step's own controls.
#pragma once

#include <QFrame>
#include <QLabel>

#include "gui/base_frame.h"

namespace kestrane::gui {

class TStepBaseFrm : public TBaseFrame {
    Q_OBJECT

  public:
    explicit TStepBaseFrm(QWidget* parent = nullptr);

    QWidget* pnTop;
    QLabel* imgTop;
    QFrame* bvLine;
    QLabel* lbTitle;
    QLabel* lbText;
    QWidget* pnClient;

  protected:
    void resizeEvent(QResizeEvent* event) override;
};

}  // namespace kestrane::gui

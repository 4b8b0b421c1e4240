// The banner of a step page: the step's title and one-line explanation over the banner picture, with a
// line at its bottom. Every step page has it as a base; so has the organisation-unit page, which is no
// step page.
#pragma once

#include <QFrame>
#include <QLabel>
#include <QWidget>

namespace kestrane::gui {

struct StepHeader {
    static constexpr int kHeight = 65;

    QWidget* pnTop;
    QLabel* imgTop;
    QFrame* bvLine;
    QLabel* lbTitle;  // bold, at (24, 16)
    QLabel* lbText;   // at (46, 32)
};

// Children of `page`; PlaceStepHeader gives the panel the page's width.
StepHeader BuildStepHeader(QWidget* page);
void PlaceStepHeader(const StepHeader& header, int width);

}  // namespace kestrane::gui

// The layout the first and the last page share: the welcome picture filling the page, a bold title
// and a text beside it.
#pragma once

#include <QLabel>
#include <QWidget>

namespace kestrane::gui {

struct WelcomeLayout {
    QWidget* panelClient;
    QLabel* imgBackground;
    QLabel* lbTitle;  // at (168, 32)
    QLabel* lbText;   // at (168, 88); its font and size are the page's
};

// Children of `page`; the panel still has to follow the page's size.
WelcomeLayout BuildWelcomeLayout(QWidget* page, int titlePixelSize);

}  // namespace kestrane::gui

// Pictures of the wizard's windows, for review and for the start-up self-check.
#pragma once

#include <string>

class QWidget;

namespace kestrane::gui {

// Renders the widget as it is on screen into a PNG file; false when the file cannot be written.
bool SaveWidgetPicture(QWidget& widget, const std::string& path);

// The class name of the page in front, or "-" when no page is shown.
std::string FrontPageName(const QWidget& mainForm);

}  // namespace kestrane::gui

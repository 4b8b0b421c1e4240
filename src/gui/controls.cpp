#include "gui/controls.h"

#include "gui/qt_text.h"

namespace kestrane::gui {

QLabel* NewLabel(QWidget* parent, const std::string& text, const char* name) {
    auto* label = Named(new QLabel(parent), name);
    MakePlainLabel(label);
    SetLabelText(label, text);
    return label;
}

}  // namespace kestrane::gui

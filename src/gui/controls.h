// Builders for the controls of the pages and dialogs: each control carries the name the page gives
// it, so that it can be found by that name.
#pragma once

#include <QLabel>
#include <QString>
#include <string>

namespace kestrane::gui {

template <class Widget>
Widget* Named(Widget* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// A plain-text label that sizes itself to its text.
QLabel* NewLabel(QWidget* parent, const std::string& text, const char* name = "");

}  // namespace kestrane::gui

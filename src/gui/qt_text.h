// Texts between the system's UTF-8 strings and Qt. Qt breaks lines at LF alone, so CR LF is shown as LF.
#pragma once

#include <QFont>
#include <QString>
#include <string>

class QLabel;

namespace kestrane::gui {

QString ToQt(const std::string& text);
std::string FromQt(const QString& text);
// The text of a multi-line control, its lines ended by CR LF as the system keeps them.
std::string FromQtLines(const QString& text);

// The wizard's CJK font at the given pixel height.
QFont WizardFont(int pixelSize, bool bold = false);

// A label that shows its text as it is (never as markup) and sizes itself to it.
void SetLabelText(QLabel* label, const std::string& text);
void MakePlainLabel(QLabel* label);

}  // namespace kestrane::gui

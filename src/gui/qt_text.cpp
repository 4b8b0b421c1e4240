#include "gui/qt_text.h"

#include <QLabel>
#include <QStringList>

namespace kestrane::gui {

QString ToQt(const std::string& text) {
    QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return s;
}

std::string FromQt(const QString& text) {
    return text.toUtf8().toStdString();
}

std::string FromQtLines(const QString& text) {
    QString s = text;
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return FromQt(s);
}

QFont WizardFont(int pixelSize, bool bold) {
    QFont font;
    font.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("SimSun")});
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

void MakePlainLabel(QLabel* label) {
    label->setTextFormat(Qt::PlainText);
    label->setAttribute(Qt::WA_TranslucentBackground);
}

void SetLabelText(QLabel* label, const std::string& text) {
    label->setText(ToQt(text));
    if (!label->wordWrap()) label->adjustSize();
}

}  // namespace kestrane::gui

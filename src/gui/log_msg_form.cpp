#include "gui/log_msg_form.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QScreen>
#include <QVBoxLayout>

#include "gui/qt_text.h"
#include "gui/texts.h"

namespace kestrane::gui {

TLogMsgForm::TLogMsgForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TLogMsgForm"));
    setWindowTitle(ToQt(texts::kLogCaption));
    setFont(WizardFont(12));
    setFixedSize(498, 495);

    GroupBox1 = new QGroupBox(ToQt(texts::kLogCaption), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    mLogDetails = new QPlainTextEdit(GroupBox1);
    mLogDetails->setObjectName(QStringLiteral("mLogDetails"));
    mLogDetails->setLineWrapMode(QPlainTextEdit::NoWrap);
    mLogDetails->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mLogDetails->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* groupLayout = new QVBoxLayout(GroupBox1);
    groupLayout->addWidget(mLogDetails);

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(41);
    Button1 = new QPushButton(ToQt(texts::kLogOk), Panel1);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    Button1->setFixedSize(75, 25);
    auto* panelLayout = new QHBoxLayout(Panel1);
    panelLayout->addStretch();
    panelLayout->addWidget(Button1);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 0);
    layout->setSpacing(0);
    layout->addWidget(GroupBox1, 1);
    layout->addWidget(Panel1);

    // Centred on the screen, not on the page that opened it.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TLogMsgForm::SetLogText(const std::string& text) {
    mLogDetails->setPlainText(ToQt(text));
}

}  // namespace kestrane::gui

// The detail log window of the finish page.
#pragma once

#include <QDialog>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <string>

namespace kestrane::gui {

class TLogMsgForm : public QDialog {
    Q_OBJECT

  public:
    explicit TLogMsgForm(QWidget* parent = nullptr);

    void SetLogText(const std::string& text);

    QGroupBox* GroupBox1;
    QPlainTextEdit* mLogDetails;
    QWidget* Panel1;
    QPushButton* Button1;
};

}  // namespace kestrane::gui

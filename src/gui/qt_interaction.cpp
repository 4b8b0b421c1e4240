#include "gui/qt_interaction.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QThread>

#include "app/texts.h"
#include "gui/browse_for_folder.h"
#include "gui/qt_text.h"
#include "gui/texts.h"

namespace kestrane::gui {

namespace {

// A box with the system's captions and buttons; OK is the default.
bool RunBox(QWidget* owner, QMessageBox::Icon icon, const QString& caption, const std::string& text,
            bool withCancel) {
    QMessageBox box(icon, caption, ToQt(text), QMessageBox::NoButton, owner);
    box.setObjectName(QStringLiteral("MessageBox"));
    box.setTextFormat(Qt::PlainText);
    box.setFont(WizardFont(12));
    QPushButton* ok = box.addButton(ToQt(texts::kOk), QMessageBox::AcceptRole);
    QPushButton* cancel = nullptr;
    if (withCancel) {
        cancel = box.addButton(ToQt(texts::kCancel), QMessageBox::RejectRole);
        box.setEscapeButton(cancel);
    }
    box.setDefaultButton(ok);
    box.exec();
    return box.clickedButton() == ok;
}

// The chosen files, or none when the user cancels.
QStringList ChooseFiles(QWidget* owner, QFileDialog::FileMode mode, const std::string& filter,
                        const std::string& defaultExt, const std::string& proposal) {
    QFileDialog dialog(owner);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(mode == QFileDialog::AnyFile ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(mode);
    dialog.setNameFilter(QtFileFilter(filter));
    dialog.setDefaultSuffix(ToQt(defaultExt));
    if (!proposal.empty()) dialog.selectFile(ToQt(proposal));
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles();
}

bool ChooseFile(QWidget* owner, bool save, const std::string& filter, const std::string& defaultExt,
                std::string& fileName) {
    const QStringList files = ChooseFiles(owner, save ? QFileDialog::AnyFile : QFileDialog::ExistingFile,
                                          filter, defaultExt, fileName);
    if (files.isEmpty()) return false;
    fileName = FromQt(files.front());
    return true;
}

}  // namespace

QString QtFileFilter(const std::string& filter) {
    const QStringList parts = ToQt(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // "版本号文件(*.xml)" names its pattern already.
        if (parts[i].endsWith(QStringLiteral("(%1)").arg(patterns)))
            filters << parts[i];
        else
            filters << QStringLiteral("%1 (%2)").arg(parts[i], patterns);
    }
    return filters.join(QStringLiteral(";;"));
}

QWidget* TQtInteraction::Owner(app::TBoxOwner owner) const {
    if (owner == app::TBoxOwner::None || !OwnerWindow) return nullptr;
    return OwnerWindow(owner);
}

void TQtInteraction::ShowNotice(const std::string& text, app::TBoxOwner owner) {
    RunBox(Owner(owner), QMessageBox::Information, ToQt(app::texts::kCaptionNotice), text, false);
}

bool TQtInteraction::AskConfirm(const std::string& text, app::TBoxOwner owner) {
    return RunBox(Owner(owner), QMessageBox::Question, ToQt(app::texts::kCaptionConfirm), text, true);
}

void TQtInteraction::ShowError(const std::exception& error) {
    // The program's title, as the default display of an escaped error has it.
    RunBox(Owner(app::TBoxOwner::MainWindow), QMessageBox::Critical, QCoreApplication::applicationName(),
           error.what(), false);
}

bool TQtInteraction::ChooseOpenFile(const std::string& filter, const std::string& defaultExt,
                                    std::string& fileName) {
    return ChooseFile(Owner(app::TBoxOwner::MainWindow), false, filter, defaultExt, fileName);
}

bool TQtInteraction::ChooseOpenFiles(const std::string& filter, const std::string& defaultExt,
                                     std::vector<std::string>& files) {
    const QStringList chosen =
        ChooseFiles(Owner(app::TBoxOwner::MainWindow), QFileDialog::ExistingFiles, filter, defaultExt, {});
    if (chosen.isEmpty()) return false;
    files.clear();
    for (const QString& file : chosen) files.push_back(FromQt(file));
    return true;
}

bool TQtInteraction::ChooseSaveFile(const std::string& filter, const std::string& defaultExt,
                                    std::string& fileName) {
    return ChooseFile(Owner(app::TBoxOwner::MainWindow), true, filter, defaultExt, fileName);
}

bool TQtInteraction::ChooseFolder(const std::string& title, const std::string& root, std::string& directory) {
    return BrowseForFolder(title, root, directory, Owner(app::TBoxOwner::MainWindow));
}

void TQtInteraction::ProcessEvents() {
    QApplication::processEvents();
}

void TQtInteraction::Sleep(int milliseconds) {
    QThread::msleep(static_cast<unsigned long>(milliseconds));
}

namespace {

void PostQuit() {
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

}  // namespace

// Ending the event loops in the middle of a run would close every box the run shows afterwards
// before the user could read it.
void TQtInteraction::Quit() {
    quitRequested_ = true;
    if (runs_ == 0) PostQuit();
}

void TQtInteraction::EndRun() {
    if (--runs_ == 0 && quitRequested_) PostQuit();
}

}  // namespace kestrane::gui

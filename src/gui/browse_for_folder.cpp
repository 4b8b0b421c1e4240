#include "gui/browse_for_folder.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include "gui/qt_text.h"

namespace kestrane::gui {

namespace {

std::string WithoutTrailingDelimiter(QString path) {
    while (path.size() > 1 && path.endsWith(QLatin1Char('/'))) path.chop(1);
    return FromQt(path);
}

}  // namespace

bool BrowseForFolder(const std::string& title, const std::string& root, std::string& directory,
                     QWidget* owner) {
    if (!QFileInfo(ToQt(directory)).isDir()) directory.clear();

    // The toolkit's own dialog: the same on every desktop, and it can preselect a folder.
    QFileDialog dialog(owner, ToQt(title));
    dialog.setObjectName(QStringLiteral("BrowseForFolder"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setWindowModality(Qt::ApplicationModal);
    if (!root.empty()) dialog.setDirectory(ToQt(root));
    if (!directory.empty()) {
        // Cleaned first: with a trailing delimiter the folder would read as its own parent.
        const QFileInfo chosen(QDir::cleanPath(ToQt(directory)));
        const QDir parent = chosen.absoluteDir();
        if (chosen.isRoot()) {
            dialog.setDirectory(chosen.absoluteFilePath());
        } else {
            dialog.setDirectory(parent);
            dialog.selectFile(chosen.fileName());
        }
    }
    if (dialog.exec() != QDialog::Accepted) return false;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return false;
    directory = WithoutTrailingDelimiter(QDir::cleanPath(files.front()));
    return true;
}

}  // namespace kestrane::gui

// The folder selection dialog of the directory fields.
#pragma once

#include <string>

class QWidget;

namespace kestrane::gui {

// Modal over the whole program. `directory` is preselected when it names an existing folder (else it
// is emptied) and receives the chosen folder, without a trailing delimiter unless it is the root.
// `root`, when given, is where the dialog starts. False when the user cancels.
bool BrowseForFolder(const std::string& title, const std::string& root, std::string& directory,
                     QWidget* owner = nullptr);

}  // namespace kestrane::gui

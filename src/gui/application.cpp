#include "gui/application.h"

#include <QApplication>

#include "gui/common_pages.h"
#include "gui/installer_pages.h"
#include "gui/maker_pages.h"
#include "patch/component_stream.h"

namespace kestrane::gui {

int RunWithApplication(int& argc, char** argv, const std::function<int()>& body) {
    // Before any window exists: the manager creates pages and reads streams through these lists.
    RegisterCommonPages();
    RegisterMakerPages();
    RegisterInstallerPages();
    patch::RegisterStreamClasses();
    QApplication application(argc, argv);
    return body();
}

}  // namespace kestrane::gui

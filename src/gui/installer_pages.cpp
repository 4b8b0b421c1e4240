#include "gui/installer_pages.h"

#include "app/page_registry.h"
#include "gui/install_dir_set_frm.h"
#include "gui/install_init_frame.h"

namespace kestrane::gui {

void RegisterInstallerPages(bool add) {
    for (const app::TPageClass* pageClass :
         {&TInstallDirSetFrm::PageClass(), &TInstallInitFrame::PageClass()})
        app::RegisterPage(*pageClass, add);
}

}  // namespace kestrane::gui

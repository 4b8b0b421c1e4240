#include "gui/maker_pages.h"

#include "app/page_registry.h"
#include "gui/patch_build_frm.h"
#include "gui/patch_type_set_frm.h"

namespace kestrane::gui {

void RegisterMakerPages(bool add) {
    for (const app::TPageClass* pageClass : {&TPatchTypeSetFrm::PageClass(), &TPatchBuildFrm::PageClass()})
        app::RegisterPage(*pageClass, add);
}

}  // namespace kestrane::gui

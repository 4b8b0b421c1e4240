#include "gui/common_pages.h"

#include "app/page_registry.h"
#include "gui/db_info_set_frm.h"
#include "gui/finish_frm.h"
#include "gui/inst_select_frm.h"
#include "gui/progress_frm.h"
#include "gui/welcome_frm.h"

namespace kestrane::gui {

void RegisterCommonPages(bool add) {
    for (const app::TPageClass* pageClass :
         {&TMainFrm::PageClass(), &TDBInfoSetFrm::PageClass(), &TInstSelectFrm::PageClass(),
          &TProgressFrm::PageClass(), &TFinishFrm::PageClass()})
        app::RegisterPage(*pageClass, add);
}

}  // namespace kestrane::gui

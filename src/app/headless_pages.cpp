#include "app/headless_pages.h"

#include <memory>

#include "app/inst_select_model.h"
#include "app/install_pages.h"
#include "app/maker_pages.h"
#include "app/page_registry.h"

namespace kestrane::app {

namespace {

template <class Page>
std::unique_ptr<TBaseFrame> Make() {
    return std::make_unique<Page>();
}

// The welcome, progress and finish pages have nothing to decide without a window: a run reports to
// the progress callback its driver installs.
const TPageClass kPages[] = {
    {pages::TMainFrm, &Make<TBaseFrame>},
    {pages::TPatchTypeSetFrm, &Make<TPatchTypeSetModel>},
    {pages::TDBInfoSetFrm, &Make<TDBInfoSetModel>},
    {pages::TInstSelectFrm, &Make<TInstSelectModel>},
    {pages::TPatchBuildFrm, &Make<TPatchBuildModel>},
    {pages::TInstallDirSetFrm, &Make<TInstallDirSetModel>},
    {pages::TInstallInitFrame, &Make<TInstallInitModel>},
    {pages::TProgressFrm, &Make<TBaseFrame>},
    {pages::TFinishFrm, &Make<TBaseFrame>},
};

}  // namespace

void RegisterHeadlessPages(bool add) {
    for (const TPageClass& pageClass : kPages) RegisterPage(pageClass, add);
}

}  // namespace kestrane::app

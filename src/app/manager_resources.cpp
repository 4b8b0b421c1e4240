#include "app/manager.h"
#include "app/patch_loader.h"

namespace kestrane::app {

bool TManager::LoadPatchResources(const std::string& sourceFile, int parts, bool showErrors) {
    return app::LoadPatchResources(
        sourceFile, parts, showErrors, {*paramInfo_, *resItems_, *instResItems_},
        {[this](const std::string& text) { interaction_.ShowNotice(text, TBoxOwner::None); },
         [this](const std::string& text) { Log(this, text); }},
        exePath_);
}

}  // namespace kestrane::app

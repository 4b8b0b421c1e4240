// The page contract: what the manager knows of a wizard page.
#pragma once

namespace kestrane::patch {
class TBaseParamInfo;
}

namespace kestrane::app {

class TManager;
struct TPageClass;

class TBaseFrame {
  public:
    virtual ~TBaseFrame() = default;

    // Set by the manager before each activation.
    TManager* Manager = nullptr;
    // The class the manager created the page from.
    const TPageClass* PageClass = nullptr;

    // Fills the page from the parameters each time it is activated; the result is not used.
    virtual bool EnterPage(patch::TBaseParamInfo& ParamInfo) { return true; }
    // Validates and stores the page when the wizard moves forward; false keeps the wizard here (the
    // page has told the user why).
    virtual bool LeavePage(patch::TBaseParamInfo& ParamInfo) { return true; }
    // False: the page has nothing to ask and is passed over in the direction of travel.
    virtual bool CanShow() { return true; }
};

}  // namespace kestrane::app

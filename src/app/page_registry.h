// The process-wide list of page classes, filled at start-up before the main window exists. The
// manager creates pages by class name through it.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "app/page_contract.h"

namespace kestrane::app {

// A page class: its name and how to make a page of it.
struct TPageClass {
    std::string_view ClassName;
    std::unique_ptr<TBaseFrame> (*Create)();
};

// Appends the class when `add` is true, removes it when false.
void RegisterPage(const TPageClass& pageClass, bool add = true);
// The first registered class whose name equals `name` ignoring letter case, or nullptr.
const TPageClass* FindPageClass(std::string_view name);
const std::vector<const TPageClass*>& PageClasses();

// The page classes the page lists name.
namespace pages {
inline constexpr char TMainFrm[] = "TMainFrm";
inline constexpr char TPatchTypeSetFrm[] = "TPatchTypeSetFrm";
inline constexpr char TDBInfoSetFrm[] = "TDBInfoSetFrm";
inline constexpr char TInstSelectFrm[] = "TInstSelectFrm";
inline constexpr char TInstallDirSetFrm[] = "TInstallDirSetFrm";
inline constexpr char TProgressFrm[] = "TProgressFrm";
inline constexpr char TPatchBuildFrm[] = "TPatchBuildFrm";
inline constexpr char TFinishFrm[] = "TFinishFrm";
inline constexpr char TInstallInitFrame[] = "TInstallInitFrame";
}  // namespace pages

}  // namespace kestrane::app

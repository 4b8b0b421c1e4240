// The pages both run modes share, registered with the manager's page registry.
#pragma once

namespace kestrane::gui {

// Registers (or, with false, removes) the welcome, database, account-set, progress and finish pages.
void RegisterCommonPages(bool add = true);

}  // namespace kestrane::gui

// The pages only the patch installer shows, registered with the manager's page registry.
#pragma once

namespace kestrane::gui {

// Registers (or, with false, removes) the installation folder page and the organisation-unit page.
void RegisterInstallerPages(bool add = true);

}  // namespace kestrane::gui

// The pages only the patch maker shows, registered with the manager's page registry.
#pragma once

namespace kestrane::gui {

// Registers (or, with false, removes) the patch type page and the build page.
void RegisterMakerPages(bool add = true);

}  // namespace kestrane::gui

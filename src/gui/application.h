// Start-up shared by the program and the tools that draw its windows.
#pragma once

#include <functional>

namespace kestrane::gui {

// Registers the page classes and the stream classes, then runs `body` with the application object
// in place; its result is returned.
int RunWithApplication(int& argc, char** argv, const std::function<int()>& body);

}  // namespace kestrane::gui

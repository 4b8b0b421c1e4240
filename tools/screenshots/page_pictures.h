// Pictures of every wizard page of both run modes.
#pragma once

#include <string>

namespace kestrane::screenshots {

// Draws the pages into PNG files in `outDir` (created when missing) and prints each file's path;
// returns how many were written. Needs a QApplication. Throws when a picture cannot be made.
int SavePagePictures(const std::string& outDir);

}  // namespace kestrane::screenshots

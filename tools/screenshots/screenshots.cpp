// kestrane-screenshots OUTDIR: every wizard page of both run modes as PNG files, drawn offscreen.
#include <stdlib.h>

#include <cstdio>
#include <exception>

#include "gui/application.h"
#include "page_pictures.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kestrane-screenshots OUTDIR\n");
        return 2;
    }
    if (!getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return kestrane::gui::RunWithApplication(argc, argv, [&] {
        try {
            const int written = kestrane::screenshots::SavePagePictures(argv[1]);
            std::fprintf(stderr, "%d pictures in %s\n", written, argv[1]);
            return 0;
        } catch (const std::exception& error) {
            std::fprintf(stderr, "kestrane-screenshots: %s\n", error.what());
            return 1;
        }
    });
}

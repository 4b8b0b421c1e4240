// Program entry. The run mode follows from the name the program was started under: "Kestrane.exe"
// makes patches, any other name installs the patch it carries.
//
// One option exists for checking a build without a user: --screenshot FILE starts the program as
// usual, writes the window with its first page to FILE, prints the run mode and the first page's
// class and ends. Message boxes raised on the way are answered with OK and printed.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/scripted_interaction.h"
#include "gui/application.h"
#include "gui/main_window.h"
#include "gui/qt_interaction.h"
#include "gui/snapshot.h"

namespace {

using namespace kestrane;

int SelfCheck(const std::string& picture, const std::string& invokedName) {
    app::TScriptedInteraction interaction;
    gui::TMainForm form(interaction, {}, invokedName);
    if (form.Manager) form.show();
    for (const auto& call : interaction.Calls)
        std::fprintf(stderr, "%s %s\n", call.caption.empty() ? "error" : call.caption.c_str(),
                     call.text.c_str());
    if (!form.Manager) return 1;
    if (!gui::SaveWidgetPicture(form, picture)) {
        std::fprintf(stderr, "cannot write %s\n", picture.c_str());
        return 1;
    }
    std::printf("%s %s\n", form.Manager->IsInstaller() ? "installer" : "maker",
                gui::FrontPageName(form).c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string picture;
    if (argc == 3 && std::strcmp(argv[1], "--screenshot") == 0) {
        picture = argv[2];
        // Without a display the picture is drawn offscreen.
        if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }

    // The run mode follows the name the program was started under (a link named Patch.exe installs);
    // resources are read from the executable file itself.
    const std::string invokedName = argc > 0 && argv[0] ? argv[0] : "";
    return gui::RunWithApplication(argc, argv, [&] {
        if (!picture.empty()) return SelfCheck(picture, invokedName);
        gui::TQtInteraction interaction;
        gui::TMainForm form(interaction, {}, invokedName);
        // A failed start has been shown already; a refused one ends without a word.
        if (!form.Manager || interaction.QuitRequested()) return 0;
        form.show();
        return QApplication::exec();
    });
}

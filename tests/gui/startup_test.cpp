// The built program decides its run mode from its own file name: copies of it under several names.
#include <QImage>
#include <filesystem>

#include "wizard_fixture.h"

namespace kestrane::gui::testing {
namespace {

namespace fs = std::filesystem;

class StartupTest : public WizardTest {
  protected:
    // Runs the copy with the self-check option on a machine without an installation.
    std::string Run(const fs::path& exe, const fs::path& picture, std::string* errors = nullptr) {
        return RunSelfCheck(exe, dir_ / "none.reg", picture, errors);
    }
    fs::path Copy(const std::string& name) {
        const fs::path target = dir_ / name;
        fs::copy_file(KESTRANE_EXE, target);
        return target;
    }
};

TEST_F(StartupTest, ModeFollowsTheFileName) {
    const fs::path maker = Copy("Kestrane.exe");
    EXPECT_EQ(Run(maker, dir_ / "maker.png"), "maker TMainFrm\n");
    const QImage picture(QString::fromStdString((dir_ / "maker.png").string()));
    EXPECT_EQ(picture.size(), QSize(501, 354));

    // The installer reads the patch it carries.
    const fs::path patchExe = MakePatch("Patch.exe", PatchOf(patch::ptBoth), KESTRANE_EXE);
    std::string errors;
    EXPECT_EQ(Run(patchExe, dir_ / "patch.png", &errors), "installer TMainFrm\n");
    EXPECT_EQ(errors.find("FILEDATA"), std::string::npos) << errors;

    // Letter case counts: this one is an installer, and it carries no patch.
    const fs::path lower = Copy("kestrane.exe");
    EXPECT_EQ(Run(lower, dir_ / "lower.png", &errors), "installer -\n");
    EXPECT_NE(errors.find("FILEDATA"), std::string::npos) << errors;
}

// The mode follows the name the program was started under, while the patch is read from the file
// itself: a link named Patch.exe to a patch that is called Kestrane.exe installs it, and a link named
// Kestrane.exe to a patch makes patches.
TEST_F(StartupTest, LinkNameDecidesTheModeAndTheLinkedFileTheResources) {
    fs::create_directories(dir_ / "real");
    fs::create_directories(dir_ / "links");
    const fs::path named = MakePatch("real/Kestrane.exe", PatchOf(patch::ptBoth), KESTRANE_EXE);
    fs::create_symlink(named, dir_ / "links" / "Patch.exe");
    std::string errors;
    EXPECT_EQ(Run(dir_ / "links" / "Patch.exe", dir_ / "link.png", &errors), "installer TMainFrm\n");
    EXPECT_EQ(errors.find("FILEDATA"), std::string::npos) << errors;

    const fs::path made = MakePatch("real/Made.exe", PatchOf(patch::ptBoth), KESTRANE_EXE);
    fs::create_symlink(made, dir_ / "links" / "Kestrane.exe");
    EXPECT_EQ(Run(dir_ / "links" / "Kestrane.exe", dir_ / "maker.png"), "maker TMainFrm\n");
}

}  // namespace
}  // namespace kestrane::gui::testing

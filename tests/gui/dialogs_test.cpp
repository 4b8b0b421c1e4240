// The Qt interaction's message boxes and the folder selection dialog, answered by clicking them.
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "gui/browse_for_folder.h"
#include "gui/qt_interaction.h"
#include "wizard_fixture.h"

namespace kestrane::gui::testing {
namespace {

struct Box {
    std::string caption, text;
    std::vector<std::string> buttons;
};

// Reads the box that opens next and clicks the button with that caption.
void Answer(Box& seen, const std::string& click) {
    OnNextModal([&seen, click](QWidget& modal) {
        auto* box = qobject_cast<QMessageBox*>(&modal);
        ASSERT_NE(box, nullptr);
        seen.caption = box->windowTitle().toStdString();
        seen.text = box->text().toStdString();
        for (QAbstractButton* b : box->buttons()) seen.buttons.push_back(b->text().toStdString());
        std::sort(seen.buttons.begin(), seen.buttons.end());
        for (QAbstractButton* b : box->buttons())
            if (b->text().toStdString() == click) b->click();
    });
}

TEST(QtInteractionTest, BoxesCarryTheSystemsCaptionsAndButtons) {
    App();
    TQtInteraction user;
    struct Case {
        std::string click;
        bool answer;
    };
    for (const Case& c : {Case{"确定", true}, Case{"取消", false}}) {
        Box seen;
        Answer(seen, c.click);
        EXPECT_EQ(user.AskConfirm("继续吗？\r\n第二行", app::TBoxOwner::None), c.answer);
        EXPECT_EQ(seen.caption, "确认信息");
        EXPECT_EQ(seen.text, "继续吗？\n第二行");
        EXPECT_EQ(seen.buttons, (std::vector<std::string>{"取消", "确定"}));
    }

    Box notice;
    Answer(notice, "确定");
    user.ShowNotice("<b>不是标记</b>", app::TBoxOwner::None);
    EXPECT_EQ(notice.caption, "提示信息");
    EXPECT_EQ(notice.text, "<b>不是标记</b>");
    EXPECT_EQ(notice.buttons, std::vector<std::string>{"确定"});

    QCoreApplication::setApplicationName("Patch");
    Box error;
    Answer(error, "确定");
    user.ShowError(std::runtime_error("出错了"));
    EXPECT_EQ(error.caption, "Patch");
    EXPECT_EQ(error.text, "出错了");
}

TEST(QtInteractionTest, BoxesBelongToTheWindowAskedFor) {
    App();
    TQtInteraction user;
    QWidget main, page;
    user.OwnerWindow = [&](app::TBoxOwner owner) {
        return owner == app::TBoxOwner::MainWindow ? &main : &page;
    };
    for (auto [owner, expected] :
         {std::pair{app::TBoxOwner::MainWindow, &main}, std::pair{app::TBoxOwner::CurrentPage, &page},
          std::pair{app::TBoxOwner::None, static_cast<QWidget*>(nullptr)}}) {
        QWidget* parent = &main;
        OnNextModal([&parent](QWidget& modal) {
            parent = modal.parentWidget();
            static_cast<QDialog&>(modal).accept();
        });
        user.ShowNotice("x", owner);
        EXPECT_EQ(parent, expected);
    }
}

TEST(QtInteractionTest, QuitIsDeliveredThroughTheEventLoop) {
    App();
    TQtInteraction user;
    user.Quit();
    EXPECT_TRUE(user.QuitRequested());
    // The loop that starts next ends at once.
    EXPECT_EQ(QApplication::exec(), 0);
}

TEST(QtInteractionTest, FileFiltersInQtForm) {
    EXPECT_EQ(QtFileFilter("补丁程序|*.exe").toStdString(), "补丁程序 (*.exe)");
    EXPECT_EQ(QtFileFilter("文本|*.txt;*.log|全部|*.*").toStdString(), "文本 (*.txt *.log);;全部 (*.*)");
    EXPECT_EQ(QtFileFilter("版本号文件(*.xml)|*.xml").toStdString(), "版本号文件(*.xml)");
    EXPECT_EQ(QtFileFilter("").toStdString(), "");
}

class DialogsTest : public WizardTest {};

TEST_F(DialogsTest, FileChoosersProposeAndReturnTheChoice) {
    TQtInteraction user;
    const std::string existing = (dir_ / "旧补丁.exe").string();
    std::ofstream(existing) << "x";
    struct Case {
        bool save;
        std::string proposal, expected;
    };
    for (const Case& c : {Case{false, existing, existing},
                          Case{true, (dir_ / "新补丁").string(), (dir_ / "新补丁.exe").string()}}) {
        std::string fileName = c.proposal;
        OnNextModal([&](QWidget& modal) {
            auto* dialog = qobject_cast<QFileDialog*>(&modal);
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->nameFilters(), QStringList{"补丁程序 (*.exe)"});
            EXPECT_EQ(dialog->acceptMode(), c.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
            static_cast<QDialog*>(dialog)->accept();
        });
        const bool chosen = c.save ? user.ChooseSaveFile("补丁程序|*.exe", "exe", fileName)
                                   : user.ChooseOpenFile("补丁程序|*.exe", "exe", fileName);
        EXPECT_TRUE(chosen) << c.save;
        EXPECT_EQ(fileName, c.expected) << c.save;
    }
}

TEST_F(DialogsTest, SeveralFilesAtOnce) {
    TQtInteraction user;
    for (const char* name : {"甲.dll", "乙.exe"}) std::ofstream(dir_ / name) << name;
    std::vector<std::string> files;
    OnNextModal([&](QWidget& modal) {
        auto* dialog = qobject_cast<QFileDialog*>(&modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFiles);
        EXPECT_EQ(dialog->nameFilters(), QStringList{"所有文件(*.*)"});
        dialog->setDirectory(QString::fromStdString(dir_.string()));
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(QStringLiteral("\"甲.dll\" \"乙.exe\""));
        static_cast<QDialog*>(dialog)->accept();
    });
    EXPECT_TRUE(user.ChooseOpenFiles("所有文件(*.*)|*.*", "*.*", files));
    EXPECT_EQ(files, (std::vector<std::string>{(dir_ / "甲.dll").string(), (dir_ / "乙.exe").string()}));

    OnNextModal([](QWidget& modal) { static_cast<QDialog&>(modal).reject(); });
    files = {"旧"};
    EXPECT_FALSE(user.ChooseOpenFiles("所有文件(*.*)|*.*", "*.*", files));
    EXPECT_EQ(files, std::vector<std::string>{"旧"});
}

TEST_F(DialogsTest, PreselectsAnExistingFolderAndReturnsTheChoice) {
    const std::filesystem::path chosen = dir_ / "程序";
    std::filesystem::create_directories(chosen / "sub");
    std::string directory = chosen.string() + "/";
    OnNextModal([&](QWidget& modal) {
        auto* dialog = qobject_cast<QFileDialog*>(&modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle().toStdString(), "选择安装目录");
        EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
        EXPECT_EQ(dialog->windowModality(), Qt::ApplicationModal);
        EXPECT_EQ(dialog->directory().absolutePath().toStdString(), dir_.string());
        ASSERT_FALSE(dialog->selectedFiles().isEmpty());
        EXPECT_EQ(dialog->selectedFiles().front().toStdString(), chosen.string());
        static_cast<QDialog*>(dialog)->accept();
    });
    EXPECT_TRUE(BrowseForFolder("选择安装目录", "", directory));
    EXPECT_EQ(directory, chosen.string());
}

TEST_F(DialogsTest, MissingFolderIsNotPreselectedAndCancelGivesFalse) {
    std::string directory = (dir_ / "没有").string();
    OnNextModal([&](QWidget& modal) {
        auto* dialog = qobject_cast<QFileDialog*>(&modal);
        ASSERT_NE(dialog, nullptr);
        for (const QString& f : dialog->selectedFiles()) EXPECT_FALSE(f.contains(QStringLiteral("没有")));
        static_cast<QDialog*>(dialog)->reject();
    });
    EXPECT_FALSE(BrowseForFolder("选择", "", directory));
    EXPECT_EQ(directory, "");
}

TEST_F(DialogsTest, RootIsKeptAsTheRoot) {
    std::string directory = "/";
    OnNextModal([](QWidget& modal) { static_cast<QDialog&>(modal).accept(); });
    EXPECT_TRUE(BrowseForFolder("选择", "", directory));
    EXPECT_EQ(directory, "/");
}

}  // namespace
}  // namespace kestrane::gui::testing

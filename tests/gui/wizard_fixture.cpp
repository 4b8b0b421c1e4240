#include "wizard_fixture.h"

#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <array>
#include <fstream>

#include "app/page_registry.h"
#include "gui/common_pages.h"
#include "gui/inst_select_frm.h"
#include "patch/component_stream.h"
#include "patch/param_info.h"
#include "platform/resources.h"
#include "widget_driver.h"

// The font library keeps caches for the life of the process that the leak checker cannot see as kept.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

namespace kestrane::gui::testing {

namespace fs = std::filesystem;

QApplication& App() {
    static int argc = 1;
    static char name[] = "test_gui";
    static char* argv[] = {name, nullptr};
    // Kept for the whole run: widgets of every test need it.
    static auto* app = new QApplication(argc, argv);
    return *app;
}

namespace {

// Before any fixture exists: fixtures may hold widgets as members.
class AppEnvironment : public ::testing::Environment {
  public:
    void SetUp() override { App(); }
};
[[maybe_unused]] const auto* const kAppEnvironment = ::testing::AddGlobalTestEnvironment(new AppEnvironment);

// The maker's own pages are registered only by the tests that use them.
constexpr std::array<const char*, 4> kLaterPages = {"TPatchTypeSetFrm", "TInstallDirSetFrm", "TPatchBuildFrm",
                                                    "TInstallInitFrame"};

template <std::size_t I>
std::unique_ptr<app::TBaseFrame> CreateStandIn() {
    return std::make_unique<TStandInPage>(kLaterPages[I]);
}

template <std::size_t... I>
const std::array<app::TPageClass, kLaterPages.size()>& StandInClasses(std::index_sequence<I...>) {
    static const std::array<app::TPageClass, kLaterPages.size()> classes = {
        app::TPageClass{kLaterPages[I], &CreateStandIn<I>}...};
    return classes;
}

const app::TPageClass* StandInClass(const std::string& name) {
    for (const auto& c : StandInClasses(std::make_index_sequence<kLaterPages.size()>{}))
        if (c.ClassName == name) return &c;
    return nullptr;
}

}  // namespace

std::map<std::string, TStandInPage::Behaviour>& TStandInPage::Behaviours() {
    static std::map<std::string, Behaviour> behaviours;
    return behaviours;
}

bool TStandInPage::EnterPage(patch::TBaseParamInfo&) {
    ++Behaviours()[name_].entered;
    lbTitle->setText(QString::fromStdString(name_));
    return true;
}

bool TStandInPage::LeavePage(patch::TBaseParamInfo& ParamInfo) {
    Behaviour& b = Behaviours()[name_];
    ++b.left;
    if (b.chooseType != patch::ptNone) ParamInfo.PatchType = b.chooseType;
    return b.leave;
}

bool TStandInPage::CanShow() {
    return Behaviours()[name_].canShow;
}

void WizardTest::SetUp() {
    App();
    patch::RegisterStreamClasses();
    RegisterCommonPages();
    folder_.emplace();
    dir_ = folder_->Root();
    // No installation on this machine: the registry file does not exist.
    registry_.emplace("KESTRANE_REGISTRY", (dir_ / "none.reg").string());
    TStandInPage::Behaviours().clear();
}

void WizardTest::TearDown() {
    form_.reset();
    for (const app::TPageClass* c : standIns_) app::RegisterPage(*c, false);
    RegisterCommonPages(false);
    registry_.reset();
    folder_.reset();
}

void WizardTest::RegisterStandIns(const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        const app::TPageClass* c = StandInClass(name);
        ASSERT_NE(c, nullptr) << name;
        app::RegisterPage(*c, true);
        standIns_.push_back(c);
    }
}

std::string WizardTest::MakeMaker() {
    const std::string path = (dir_ / "Kestrane.exe").string();
    std::ofstream(path, std::ios::binary) << "MZ stand-in program";
    return path;
}

std::string WizardTest::MakePatch(const std::string& name, const PatchContent& content,
                                  const std::string& program) {
    const std::string path = (dir_ / name).string();
    if (program.empty())
        std::ofstream(path, std::ios::binary) << "MZ stand-in program";
    else
        fs::copy_file(program, path, fs::copy_options::overwrite_existing);
    patch::TBaseParamInfo params;
    patch::TResCollection files;
    files.PatchType = content.type;
    files.NotCheckVersion = content.notCheckVersion;
    files.Description = content.filesDescription;
    files.Create<patch::TResItem>().Name = "a.exe";
    if (!content.versionDescriptor.empty()) {
        patch::TResItem& version = files.Create<patch::TResItem>();
        version.Name = "version.xml";
        version.OptType = patch::otVersion;
        version.MemStream.assign(content.versionDescriptor.begin(), content.versionDescriptor.end());
    }
    patch::TInstResCollection items;
    for (const auto& [kind, description] : content.kinds) {
        for (std::size_t i = 0; i < items.Count(); ++i) {
            patch::TInstResItem& item = items.Item(i);
            if (item.ParamNodeType() != kind) continue;
            item.Description = description;
            item.Create<patch::TNodeItem>().Tag = "N1";
        }
    }
    std::vector<std::pair<std::string, platform::ResourceBytes>> resources = {
        {"PARAMDATA", patch::WriteObjectStream(params)}, {"INSTDATA", patch::WriteObjectStream(items)}};
    if (content.withFileData) resources.emplace_back("FILEDATA", patch::WriteObjectStream(files));
    platform::UpdateRcData(path, resources);
    return path;
}

std::string WizardTest::RealMaker() {
    const fs::path maker = dir_ / "prog" / "Kestrane.exe";
    fs::create_directories(maker.parent_path());
    fs::copy_file(KESTRANE_EXE, maker, fs::copy_options::overwrite_existing);
    return maker.string();
}

TMainForm& WizardTest::Open(const std::string& exePath) {
    form_ = std::make_unique<TMainForm>(user_, exePath);
    form_->show();
    QApplication::processEvents();
    return *form_;
}

void WizardTest::WalkToTheOrganisationPage(const std::vector<std::string>& listed,
                                           const std::vector<std::string>& ticked) {
    ASSERT_EQ(CurrentPageName(), "TMainFrm");
    Click(form_->btnNext);
    ASSERT_EQ(CurrentPageName(), "TInstSelectFrm");
    QTreeWidget* list = Front<TInstSelectFrm>().lvInstance;
    Texts names;
    for (int i = 0; i < list->topLevelItemCount(); ++i) names.push_back(Text(list->topLevelItem(i)));
    ASSERT_EQ(names, listed);
    for (const std::string& DBName : ticked) {
        const auto at = std::find(names.begin(), names.end(), DBName);
        ASSERT_NE(at, names.end()) << DBName;
        list->topLevelItem(static_cast<int>(at - names.begin()))->setCheckState(0, Qt::Checked);
    }
    Click(form_->btnNext);
    ASSERT_EQ(CurrentPageName(), "TInstallInitFrame");
}

void WizardTest::ConfirmTheOrganisationUnits(const std::string& question) {
    user_.Calls.clear();
    Click(form_->btnNext);
    EXPECT_EQ(user_.Texts(app::TScriptedInteraction::Kind::Confirm), Texts{question});
    ASSERT_EQ(CurrentPageName(), "TProgressFrm");
    EXPECT_EQ(form_->btnNext->text().toStdString(), "安装(&I)");
    user_.Calls.clear();
}

std::string WizardTest::CurrentPageName() const {
    const QWidget* front = form_->FrontPage();
    if (!front) return "-";
    const auto* page = dynamic_cast<const app::TBaseFrame*>(front);
    return page && page->PageClass ? std::string(page->PageClass->ClassName) : "?";
}

std::vector<std::string> WizardTest::VisibleButtons() const {
    std::vector<std::string> out;
    for (const QPushButton* b : {form_->btnPre, form_->btnNext, form_->btnCancel})
        if (!b->isHidden()) out.push_back(b->text().toStdString());
    return out;
}

void PageTest::SetUp() {
    WizardTest::SetUp();
    manager_ = std::make_unique<app::TManager>(user_, MakeMaker());
}

void PageTest::TearDown() {
    manager_.reset();
    WizardTest::TearDown();
}

void OnNextModal(std::function<void(QWidget& modal)> check) {
    // Polls until the modal window is up: it opens inside the call under test.
    auto* timer = new QTimer;
    timer->setInterval(10);
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, check, tries] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal && ++*tries < 500) return;
        timer->stop();
        timer->deleteLater();
        if (modal)
            check(*modal);
        else
            ADD_FAILURE() << "no modal window opened";
    });
    timer->start();
}

std::string RunSelfCheck(const fs::path& exe, const fs::path& registry, const fs::path& picture,
                         std::string* errors) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("KESTRANE_REGISTRY", QString::fromStdString(registry.string()));
    process.setProcessEnvironment(env);
    process.start(QString::fromStdString(exe.string()),
                  {QStringLiteral("--screenshot"), QString::fromStdString(picture.string())});
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << exe << " did not end";
        return {};
    }
    const std::string err = process.readAllStandardError().toStdString();
    if (errors) *errors = err;
    EXPECT_EQ(process.exitCode(), 0) << err;
    return process.readAllStandardOutput().toStdString();
}

}  // namespace kestrane::gui::testing

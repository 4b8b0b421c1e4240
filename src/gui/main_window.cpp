#include "gui/main_window.h"

#include <QApplication>
#include <QEvent>
#include <QScreen>
#include <stdexcept>

#include "gui/qt_interaction.h"
#include "gui/qt_text.h"
#include "gui/texts.h"
#include "platform/file_system.h"
#include "platform/resources.h"

namespace kestrane::gui {

namespace {

constexpr int kPanelHeight = 40;
// Distances of the buttons' left edges from the window's right edge: the buttons are anchored there.
constexpr int kPreFromRight = TMainForm::kClientWidth - 251;
constexpr int kNextFromRight = TMainForm::kClientWidth - 335;
constexpr int kCancelFromRight = TMainForm::kClientWidth - 418;

QWidget* AsWidget(app::TBaseFrame& page) {
    auto* widget = dynamic_cast<QWidget*>(&page);
    if (!widget) throw std::logic_error("a wizard page must be a widget");
    return widget;
}

// The executable's file name without its first ".exe", letter case ignored.
QString ApplicationTitle(const std::string& exePath) {
    QString name = ToQt(platform::ExtractFileName(exePath));
    const qsizetype at = name.indexOf(QStringLiteral(".exe"), 0, Qt::CaseInsensitive);
    if (at >= 0) name.remove(at, 4);
    return name;
}

}  // namespace

TMainForm::TMainForm(app::TInteraction& interaction, const std::string& exePath,
                     const std::string& invokedName)
    : interaction_(interaction) {
    setObjectName(QStringLiteral("TMainForm"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(WizardFont(12));
    setFixedSize(kClientWidth, kClientHeight);

    pages = new QStackedWidget(this);
    pages->setObjectName(QStringLiteral("pages"));
    pages->setGeometry(0, 0, kClientWidth, kClientHeight - kPanelHeight);
    // In front until a page can show, so that a passed-over page is never seen.
    noPage_ = new QWidget(pages);
    pages->addWidget(noPage_);

    pnButtons = new QWidget(this);
    pnButtons->setObjectName(QStringLiteral("pnButtons"));
    pnButtons->setGeometry(0, kClientHeight - kPanelHeight, kClientWidth, kPanelHeight);
    pnButtons->installEventFilter(this);
    bvLine = new QFrame(pnButtons);
    bvLine->setObjectName(QStringLiteral("bvLine"));
    bvLine->setFrameShape(QFrame::HLine);
    bvLine->setFrameShadow(QFrame::Sunken);
    btnPre = new QPushButton(ToQt(texts::kBtnPre), pnButtons);
    btnPre->setObjectName(QStringLiteral("btnPre"));
    btnNext = new QPushButton(ToQt(texts::kBtnNext), pnButtons);
    btnNext->setObjectName(QStringLiteral("btnNext"));
    btnCancel = new QPushButton(ToQt(texts::kBtnCancel), pnButtons);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    // Tab moves to Next only; Back and Cancel are reached with the mouse or their accelerators.
    btnPre->setFocusPolicy(Qt::ClickFocus);
    btnCancel->setFocusPolicy(Qt::ClickFocus);
    PlaceButtons();

    connect(btnPre, &QPushButton::clicked, this, [this] { Guarded([this] { btnPreClick(); }); });
    connect(btnNext, &QPushButton::clicked, this, [this] { Guarded([this] { btnNextClick(); }); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { Guarded([this] { btnCancelClick(); }); });

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    if (auto* qt = dynamic_cast<TQtInteraction*>(&interaction_)) {
        qt->OwnerWindow = [this](app::TBoxOwner owner) -> QWidget* {
            if (owner == app::TBoxOwner::CurrentPage && FrontPage()) return FrontPage();
            return this;
        };
    }
    Construct(exePath.empty() ? platform::RunningExecutable() : exePath, invokedName);
}

// The pages are the manager's; each leaves the window as it goes.
TMainForm::~TMainForm() {
    Manager.reset();
}

void TMainForm::Construct(const std::string& exePath, const std::string& invokedName) {
    QCoreApplication::setApplicationName(ApplicationTitle(invokedName.empty() ? exePath : invokedName));
    try {
        Manager = std::make_unique<app::TManager>(interaction_, exePath, invokedName);
        Manager->OnStageChange = [this](app::TManager& manager, app::TWizardStage stage) {
            StageChanged(manager, stage);
        };
        Manager->SetPageHost(this);
        const bool installer = Manager->IsInstaller();
        setWindowTitle(ToQt(installer ? texts::kCaptionInstaller : texts::kCaptionMaker));
        if (installer && !Manager->StartupChecks()) interaction_.Quit();
    } catch (const std::exception& error) {
        Manager.reset();
        interaction_.ShowNotice(std::string(texts::kStartFailed) + error.what(), app::TBoxOwner::MainWindow);
        interaction_.Quit();
    }
}

template <class F>
void TMainForm::Guarded(F&& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        interaction_.ShowError(error);
    }
}

void TMainForm::PlaceButtons() {
    const int w = pnButtons->width();
    bvLine->setGeometry(0, 0, w, 2);
    btnPre->setGeometry(w - kPreFromRight, 10, 75, 21);
    btnNext->setGeometry(w - kNextFromRight, 10, 75, 21);
    btnCancel->setGeometry(w - kCancelFromRight, 10, 75, 21);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == pnButtons && event->type() == QEvent::Resize) PlaceButtons();
    return QWidget::eventFilter(watched, event);
}

void TMainForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shown_) return;
    shown_ = true;
    Guarded([this] { FormShow(); });
}

void TMainForm::FormShow() {
    if (Manager) Manager->Start();
}

void TMainForm::btnPreClick() {
    Manager->PrevPage();
}

void TMainForm::btnNextClick() {
    if (Stage == app::wsAction) {
        // A Cancel confirmed meanwhile ends the program once the run and the display of its error
        // are over.
        const TRunInProgress running(interaction_);
        btnPre->setEnabled(false);
        btnNext->setEnabled(false);
        struct Enable {
            TMainForm* form;
            ~Enable() {
                form->btnPre->setEnabled(true);
                form->btnNext->setEnabled(true);
            }
        } enable{this};
        Guarded([this] { Manager->RunAction(); });
        return;
    }
    if (Stage == app::wsFinish) {
        Manager->Quit();
        return;
    }
    Manager->NextPage();
}

void TMainForm::btnCancelClick() {
    ConfirmCancel();
}

void TMainForm::ConfirmCancel() {
    const bool installer = Manager->IsInstaller();
    if (interaction_.AskConfirm(installer ? texts::kCancelInstaller : texts::kCancelMaker,
                                app::TBoxOwner::MainWindow))
        Manager->Quit();
}

void TMainForm::StageChanged(app::TManager& manager, app::TWizardStage stage) {
    Stage = stage;
    btnPre->setVisible(true);
    switch (stage) {
        case app::wsFirst:
            btnPre->setVisible(false);
            break;
        case app::wsStep:
            btnNext->setText(ToQt(texts::kNextStep));
            break;
        case app::wsAction:
            btnNext->setText(ToQt(manager.ParamInfo().RunMode == patch::rmMaker ? texts::kNextBuild
                                                                                : texts::kNextInstall));
            break;
        case app::wsFinish:
            btnPre->setVisible(false);
            btnNext->setText(ToQt(texts::kNextFinish));
            btnCancel->setVisible(false);
            break;
    }
}

QWidget* TMainForm::FrontPage() const {
    return pages->currentWidget() == noPage_ ? nullptr : pages->currentWidget();
}

void TMainForm::PlacePage(app::TBaseFrame& page) {
    QWidget* widget = AsWidget(page);
    // Behind every other page: adding never changes the front one.
    if (pages->indexOf(widget) < 0) pages->addWidget(widget);
    widget->setFocus();
}

void TMainForm::BringToFront(app::TBaseFrame& page) {
    QWidget* widget = AsWidget(page);
    pages->setCurrentWidget(widget);
    widget->setFocus();
}

}  // namespace kestrane::gui

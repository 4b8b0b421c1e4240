// The main window: the current page above a panel with Back, Next and Cancel. It owns the manager.
#pragma once

#include <QFrame>
#include <QPushButton>
#include <QStackedWidget>
#include <QWidget>
#include <memory>
#include <string>

#include "app/manager.h"

namespace kestrane::gui {

class TMainForm : public QWidget, public app::TPageHost {
    Q_OBJECT

  public:
    static constexpr int kClientWidth = 501;
    static constexpr int kClientHeight = 354;

    // Builds the manager for `exePath` (the running executable when empty), started under
    // `invokedName` (empty: that of `exePath`), and runs the installer's start-up checks. A failure is
    // shown and ends the program: then `Manager` is null.
    TMainForm(app::TInteraction& interaction, const std::string& exePath = {},
              const std::string& invokedName = {});
    ~TMainForm() override;

    QWidget* pnButtons;
    QFrame* bvLine;
    QPushButton* btnPre;
    QPushButton* btnNext;
    QPushButton* btnCancel;
    QStackedWidget* pages;

    std::unique_ptr<app::TManager> Manager;
    app::TWizardStage Stage = app::wsFirst;

    void FormShow();
    void btnPreClick();
    void btnNextClick();
    void btnCancelClick();
    void ConfirmCancel();
    void StageChanged(app::TManager& manager, app::TWizardStage stage);

    // The page in front, or null when none has been shown.
    QWidget* FrontPage() const;

    void PlacePage(app::TBaseFrame& page) override;
    void BringToFront(app::TBaseFrame& page) override;

  protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Construct(const std::string& exePath, const std::string& invokedName);
    template <class F>
    void Guarded(F&& handler);
    void PlaceButtons();

    app::TInteraction& interaction_;
    QWidget* noPage_;
    bool shown_ = false;
};

}  // namespace kestrane::gui

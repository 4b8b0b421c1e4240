// The wizard's TInteraction on Qt: real message boxes and dialogs, the event loop and the request to
// end the program.
#pragma once

#include <QString>
#include <functional>

#include "app/interaction.h"

class QWidget;

namespace kestrane::gui {

class TQtInteraction : public app::TInteraction {
  public:
    // The window a box is owned by; the main window sets it.
    std::function<QWidget*(app::TBoxOwner)> OwnerWindow;

    void ShowNotice(const std::string& text, app::TBoxOwner owner) override;
    bool AskConfirm(const std::string& text, app::TBoxOwner owner) override;
    void ShowError(const std::exception& error) override;
    bool ChooseOpenFile(const std::string& filter, const std::string& defaultExt,
                        std::string& fileName) override;
    bool ChooseSaveFile(const std::string& filter, const std::string& defaultExt,
                        std::string& fileName) override;
    bool ChooseFolder(const std::string& title, const std::string& root, std::string& directory) override;
    void ProcessEvents() override;
    void Sleep(int milliseconds) override;
    // Delivered through the event loop: a run in progress goes on to its end first.
    void Quit() override;

    bool QuitRequested() const { return quitRequested_; }

  private:
    QWidget* Owner(app::TBoxOwner owner) const;
    bool quitRequested_ = false;
};

// "描述|*.a;*.b|描述2|*.c" as a Qt name filter list.
QString QtFileFilter(const std::string& filter);

}  // namespace kestrane::gui

// The wizard's TInteraction on Qt: real message boxes and dialogs, the event loop and the request to
// end the program.
#pragma once

#include <QString>
#include <functional>
#include <string>
#include <vector>

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
    bool ChooseOpenFiles(const std::string& filter, const std::string& defaultExt,
                         std::vector<std::string>& files) override;
    bool ChooseSaveFile(const std::string& filter, const std::string& defaultExt,
                        std::string& fileName) override;
    bool ChooseFolder(const std::string& title, const std::string& root, std::string& directory) override;
    void ProcessEvents() override;
    void Sleep(int milliseconds) override;
    // Delivered through the event loop. During a run it is only remembered: the run goes on to its end
    // with its boxes showing and waiting, and the program ends when the run is over.
    void Quit() override;

    bool QuitRequested() const { return quitRequested_; }

    // A build or an install, from its start to the end of its error display; runs may nest.
    void BeginRun() { ++runs_; }
    void EndRun();

  private:
    QWidget* Owner(app::TBoxOwner owner) const;
    bool quitRequested_ = false;
    int runs_ = 0;
};

// Marks a run on the window's interaction for its lifetime; other interactions end no event loop.
class TRunInProgress {
  public:
    explicit TRunInProgress(app::TInteraction& interaction)
        : qt_(dynamic_cast<TQtInteraction*>(&interaction)) {
        if (qt_) qt_->BeginRun();
    }
    ~TRunInProgress() {
        if (qt_) qt_->EndRun();
    }
    TRunInProgress(const TRunInProgress&) = delete;
    TRunInProgress& operator=(const TRunInProgress&) = delete;

  private:
    TQtInteraction* qt_;
};

// "描述|*.a;*.b|描述2|*.c" as a Qt name filter list.
QString QtFileFilter(const std::string& filter);

}  // namespace kestrane::gui

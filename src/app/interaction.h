// How the manager, the runs and the pages ask and tell the user. The window toolkit implements it in
// gui/; tests and the command line use the scripted implementation.
#pragma once

#include <exception>
#include <string>
#include <vector>

namespace kestrane::app {

// The window a message box belongs to.
enum class TBoxOwner { None, MainWindow, CurrentPage };

class TInteraction {
  public:
    virtual ~TInteraction() = default;

    // Caption "提示信息", one OK button.
    virtual void ShowNotice(const std::string& text, TBoxOwner owner) = 0;
    // Caption "确认信息", OK and Cancel; true for OK.
    virtual bool AskConfirm(const std::string& text, TBoxOwner owner) = 0;
    // The application's default display of an error that escaped an operation.
    virtual void ShowError(const std::exception& error) = 0;

    // `filter` in the "描述|*.ext" form; `fileName` holds the proposal and receives the choice.
    virtual bool ChooseOpenFile(const std::string& filter, const std::string& defaultExt,
                                std::string& fileName) = 0;
    // Several files at once; `files` receives the choice. Without a dialog of its own, one file is asked.
    virtual bool ChooseOpenFiles(const std::string& filter, const std::string& defaultExt,
                                 std::vector<std::string>& files) {
        std::string fileName;
        if (!ChooseOpenFile(filter, defaultExt, fileName)) return false;
        files = {fileName};
        return true;
    }
    virtual bool ChooseSaveFile(const std::string& filter, const std::string& defaultExt,
                                std::string& fileName) = 0;
    // Modal folder choice; `directory` is preselected when it exists and receives the choice.
    virtual bool ChooseFolder(const std::string& title, const std::string& root, std::string& directory) = 0;

    // Lets the window repaint and handle input in the middle of a run.
    virtual void ProcessEvents() = 0;
    // Blocks for the given time (the window stays as it is).
    virtual void Sleep(int milliseconds) = 0;
    // Asks the application to end; the message loop stops when control returns to it.
    virtual void Quit() = 0;
};

}  // namespace kestrane::app

// A TInteraction that records what it was asked and answers from a script: for tests, for the
// command line and for rendering the pages without a user.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "app/interaction.h"

namespace kestrane::app {

class TScriptedInteraction : public TInteraction {
  public:
    enum class Kind { Notice, Confirm, Error, OpenFile, SaveFile, Folder };
    struct Call {
        Kind kind;
        std::string caption;  // "提示信息" or "确认信息" for the boxes, else empty
        std::string text;     // the message, the filter or the title
        TBoxOwner owner = TBoxOwner::None;
        bool answer = false;
    };

    // Answers for AskConfirm and the choosers, taken in order; when none is left, `DefaultAnswer`.
    std::deque<bool> Answers;
    bool DefaultAnswer = true;
    // Paths handed out by the file and folder choosers that answer true, in order.
    std::deque<std::string> Paths;

    std::vector<Call> Calls;
    bool QuitRequested = false;
    int ProcessEventsCount = 0;
    int SleptMilliseconds = 0;

    void ShowNotice(const std::string& text, TBoxOwner owner) override;
    bool AskConfirm(const std::string& text, TBoxOwner owner) override;
    void ShowError(const std::exception& error) override;
    bool ChooseOpenFile(const std::string& filter, const std::string& defaultExt,
                        std::string& fileName) override;
    bool ChooseSaveFile(const std::string& filter, const std::string& defaultExt,
                        std::string& fileName) override;
    bool ChooseFolder(const std::string& title, const std::string& root, std::string& directory) override;
    void ProcessEvents() override { ++ProcessEventsCount; }
    void Sleep(int milliseconds) override { SleptMilliseconds += milliseconds; }
    void Quit() override { QuitRequested = true; }

    // The texts of the calls of one kind, in order.
    std::vector<std::string> Texts(Kind kind) const;

  private:
    bool NextAnswer();
    bool Choose(Kind kind, const std::string& text, std::string& path);
};

}  // namespace kestrane::app

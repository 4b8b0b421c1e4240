#include "app/scripted_interaction.h"

#include "app/texts.h"

namespace kestrane::app {

bool TScriptedInteraction::NextAnswer() {
    if (Answers.empty()) return DefaultAnswer;
    const bool answer = Answers.front();
    Answers.pop_front();
    return answer;
}

void TScriptedInteraction::ShowNotice(const std::string& text, TBoxOwner owner) {
    Calls.push_back({Kind::Notice, texts::kCaptionNotice, text, owner, true});
}

bool TScriptedInteraction::AskConfirm(const std::string& text, TBoxOwner owner) {
    const bool answer = NextAnswer();
    Calls.push_back({Kind::Confirm, texts::kCaptionConfirm, text, owner, answer});
    return answer;
}

void TScriptedInteraction::ShowError(const std::exception& error) {
    Calls.push_back({Kind::Error, {}, error.what(), TBoxOwner::None, true});
}

bool TScriptedInteraction::Choose(Kind kind, const std::string& text, std::string& path) {
    const bool answer = NextAnswer() && !Paths.empty();
    if (answer) {
        path = Paths.front();
        Paths.pop_front();
    }
    Calls.push_back({kind, {}, text, TBoxOwner::None, answer});
    return answer;
}

bool TScriptedInteraction::ChooseOpenFile(const std::string& filter, const std::string&,
                                          std::string& fileName) {
    return Choose(Kind::OpenFile, filter, fileName);
}

bool TScriptedInteraction::ChooseSaveFile(const std::string& filter, const std::string&,
                                          std::string& fileName) {
    return Choose(Kind::SaveFile, filter, fileName);
}

bool TScriptedInteraction::ChooseFolder(const std::string& title, const std::string&,
                                        std::string& directory) {
    return Choose(Kind::Folder, title, directory);
}

std::vector<std::string> TScriptedInteraction::Texts(Kind kind) const {
    std::vector<std::string> out;
    for (const auto& c : Calls)
        if (c.kind == kind) out.push_back(c.text);
    return out;
}

}  // namespace kestrane::app

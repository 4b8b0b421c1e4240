// Installing program files: writing each into its folder under the installation folder, starting the
// ones to execute, and reporting every file.
#include "patch/res_install.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <exception>
#include <stdexcept>
#include <thread>

#include "patch/inst_res_items.h"
#include "patch/item_texts.h"
#include "platform/autostart.h"
#include "platform/file_system.h"
#include "platform/resources.h"
#include "support/format.h"
#include "support/text.h"

namespace kestrane::patch {
namespace {

// Stands in for the command interpreter of batch files.
constexpr char kShell[] = "/bin/sh";

// RelPath as a folder below the installation folder: one leading "\" dropped, "\" a separator. What
// is left in front still joins the installation folder, as separators in a row do on the system the
// patches come from ("\\sub" is the folder sub).
std::string RelativeFolder(const std::string& relPath) {
    std::string rel = relPath;
    if (!rel.empty() && rel[0] == '\\') rel.erase(0, 1);
    for (char& c : rel)
        if (c == '\\') c = platform::PathDelim;
    rel.erase(0, rel.find_first_not_of(platform::PathDelim));
    return rel;
}

bool StaysInside(const std::string& rel) {
    if (rel.find('\0') != std::string::npos) return false;
    const auto segments = support::Split(rel, platform::PathDelim);
    const std::string& first = segments.front();
    if (first.size() >= 2 && first[1] == ':' && std::isalpha(static_cast<unsigned char>(first[0])))
        return false;
    for (const auto& s : segments)
        if (s == "..") return false;
    return true;
}

// A program the system starts by itself: an ELF file or a script naming its interpreter.
bool IsProgram(const support::Bytes& content) {
    static constexpr std::string_view kElf =
        "\x7F"
        "ELF";
    const std::string_view head(reinterpret_cast<const char*>(content.data()),
                                std::min<std::size_t>(content.size(), 4));
    return head.starts_with(kElf) || head.starts_with("#!");
}

// Startable by whoever may read it.
std::uint32_t ExecuteBits(std::uint32_t mode) {
    return (mode & 0444u) >> 2;
}

// The file the item replaces: an existing one whose name differs only in letter case (patches name
// files as their authors' systems do), else one of the item's own name.
std::string TargetFile(const std::string& folder, const std::string& name) {
    std::vector<std::string> existing = platform::NamesIgnoringCase(folder, name);
    if (existing.size() > 1) {
        std::sort(existing.begin(), existing.end());
        std::string names;
        for (const auto& n : existing) names += (names.empty() ? "" : ", ") + n;
        throw std::runtime_error(support::Format(texts::kAmbiguousTarget, name, names));
    }
    return platform::IncludeTrailingPathDelimiter(folder) + (existing.empty() ? name : existing.front());
}

bool ShellScript(const std::string& ext) {
    return support::SameText(ext, ".bat") || support::SameText(ext, ".cmd") || support::SameText(ext, ".sh");
}

}  // namespace

std::optional<std::string> ItemTargetFolder(const TResItem& item, const std::string& installDir) {
    if (!installDir.empty())
        return platform::IncludeTrailingPathDelimiter(installDir) + RelativeFolder(item.RelPath);
    if (item.OptType == otProgram) return platform::ExtractFilePath(platform::RunningExecutable());
    return std::nullopt;
}

std::string CheckItemPaths(const TResItem& item) {
    if (!platform::IsPlainFileName(item.Name)) return support::Format(texts::kBadFileName, item.Name);
    if (!StaysInside(RelativeFolder(item.RelPath))) return support::Format(texts::kBadRelPath, item.RelPath);
    return {};
}

TExecuteCommand BuildExecuteCommand(const TResItem& item, const std::string& targetFolder,
                                    const std::string& targetFile) {
    TExecuteCommand cmd;
    const std::string ext = platform::ExtractFileExt(targetFile);
    const std::string params = support::ReplaceText(item.Param, "%PATH%", targetFolder);
    std::vector<std::string> args = platform::SplitCommandLine(params);
    if (support::SameText(ext, ".bat")) {
        cmd.Program = kShell;
        cmd.ParamText = "/C \"" + targetFile + " " + item.Param + "\"";
    } else if (support::SameText(ext, ".vbs")) {
        const std::string wscript = platform::FindOnPath("wscript");
        cmd.Program = wscript.empty() ? std::string("wscript") : wscript;
        cmd.ParamText = "\"" + targetFile + " " + item.Param + "\"";
    } else {
        cmd.Program = targetFile;
        cmd.ParamText = item.Param;
    }
    cmd.CommandLine = cmd.Program + " " + support::ReplaceText(cmd.ParamText, "%PATH%", targetFolder);

    cmd.Options.workingFolder = targetFolder;
    if (ShellScript(ext) || support::SameText(ext, ".vbs")) {
        cmd.Options.program = ShellScript(ext) ? std::string(kShell) : cmd.Program;
        args.insert(args.begin(), targetFile);
    } else {
        cmd.Options.program = targetFile;
    }
    cmd.Options.arguments = std::move(args);
    return cmd;
}

bool TResItem::InstallItem(const std::string& installDir, std::string& errorText) {
    errorText.clear();
    // Refused before any folder is made, so nothing appears outside the installation folder.
    if (std::string refusal = CheckItemPaths(*this); !refusal.empty()) {
        errorText = std::move(refusal);
        return false;
    }
    const std::optional<std::string> folder = ItemTargetFolder(*this, installDir);
    if (!folder || !platform::DirectoryExists(*folder))
        platform::ForceDirectories(folder.value_or(std::string()));

    try {
        const std::string targetFile = TargetFile(*folder, Name);
        if (OptType != otNone) {
            // The new content replaces the old file by rename and takes over its mode; a new program
            // can be started, as an update client registered for autostart must be.
            const auto old = platform::GetFileAttributes(targetFile);
            std::uint32_t mode = old ? old->mode : platform::DefaultFileMode();
            if ((!old && IsProgram(MemStream)) || OptType == otExecute) mode |= ExecuteBits(mode);
            platform::WriteFileReplacing(targetFile, MemStream, {.mode = mode});
        }
        if (OptType == otExecute) {
            const TExecuteCommand cmd = BuildExecuteCommand(*this, *folder, targetFile);
            std::optional<platform::Process> process;
            try {
                process.emplace(platform::Process::Start(cmd.Options));
            } catch (const platform::EProcessStartError&) {
                throw std::runtime_error(support::Format(texts::kExecuteFailed, cmd.Program, cmd.ParamText));
            }
            if (Waiting)
                process->Wait();
            else
                process->Detach();
            if (DelayTime > 0) std::this_thread::sleep_for(std::chrono::milliseconds(DelayTime));
        }
        if (support::SameText(Name, texts::kAutorunFileName)) platform::RegisterAutorun(targetFile);
        return true;
    } catch (const std::exception& e) {
        errorText = e.what();
        return false;
    }
}

bool TResCollection::InstallAll(const std::string& installDir, const TLogEvent& log,
                                const TLogEvent& errors) {
    bool result = true;
    const auto count = static_cast<int>(Count());
    for (std::size_t i = 0; i < Count(); ++i) {
        TResItem& item = Item(i);
        if (item.OptType == otVersion) continue;
        std::string errorText;
        if (item.InstallItem(installDir, errorText)) {
            if (log) log(this, support::Format(texts::kFileInstalled, item.Name));
        } else {
            const std::string line = support::Format(texts::kFileFailed, item.Name, errorText);
            if (log) log(this, line);
            if (errors) errors(this, line);
            result = false;
        }
        const int position = static_cast<int>(i) + 1;
        if (OnProgress)
            OnProgress(this, pntOther, support::Format(texts::kCopyingFile, position, count, item.Name),
                       position, count);
    }
    return result;
}

bool TResCollection::InstallAll(const std::string& installDir, std::vector<std::string>& log,
                                std::vector<std::string>& errors) {
    return InstallAll(
        installDir, [&log](const void*, const std::string& msg) { log.push_back(msg); },
        [&errors](const void*, const std::string& msg) { errors.push_back(msg); });
}

}  // namespace kestrane::patch

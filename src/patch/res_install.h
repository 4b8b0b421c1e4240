// The pieces of installing one program file that callers and tests look at on their own: where the
// file goes and how it is started.
#pragma once

#include <optional>
#include <string>

#include "patch/res_items.h"
#include "platform/process.h"

namespace kestrane::patch {

// The target folder of `item`: installDir with a delimiter and RelPath (one leading "\" dropped, "\"
// a folder separator), or for otProgram without installDir the running program's folder; none
// otherwise. It ends with a delimiter only when RelPath is empty or ends with one.
std::optional<std::string> ItemTargetFolder(const TResItem& item, const std::string& installDir);

// Empty when Name is a plain file name and RelPath stays inside the installation folder; else the
// refusal message.
std::string CheckItemPaths(const TResItem& item);

// How an otExecute item is started: the program and parameter text as the patch author sees them
// (the failure message quotes both), the whole command line with "%PATH%" replaced, and the start
// of the process on this platform.
struct TExecuteCommand {
    std::string Program;
    std::string ParamText;    // before "%PATH%" replacement
    std::string CommandLine;  // Program, a blank, ParamText with "%PATH%" replaced
    platform::ProcessOptions Options;
};

TExecuteCommand BuildExecuteCommand(const TResItem& item, const std::string& targetFolder,
                                    const std::string& targetFile);

}  // namespace kestrane::patch

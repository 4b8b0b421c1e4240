// Reading the three resources of a patch executable into the parameters and the two item
// collections of a run.
#pragma once

#include <functional>
#include <string>

#include "patch/inst_res_items.h"
#include "patch/param_info.h"
#include "patch/res_items.h"

namespace kestrane::app {

// Bits of `parts`; the resources are read in the order PARAMDATA, FILEDATA, INSTDATA.
inline constexpr int kPatchPartFileData = 1;
inline constexpr int kPatchPartInstData = 2;
inline constexpr int kPatchPartParamData = 4;

struct PatchResourceTargets {
    patch::TBaseParamInfo& paramInfo;
    patch::TResCollection& resItems;
    patch::TInstResCollection& instResItems;
};

using MessageSink = std::function<void(const std::string& text)>;

struct PatchLoadSinks {
    MessageSink showMessage;  // a message box
    MessageSink log;          // the run's log
};

// From `sourceFile` when it names an existing file (which then becomes the patch file name), else from
// `runningExecutable` (empty: the running process's own file). FILEDATA and INSTDATA replace the
// collections' items; PARAMDATA is read over the parameters. A failure goes to showMessage or log by
// `showErrors`, prefixed with the load failure text; what was read before it stays. The file is
// released in every case.
bool LoadPatchResources(const std::string& sourceFile, int parts, bool showErrors,
                        const PatchResourceTargets& targets, const PatchLoadSinks& sinks,
                        const std::string& runningExecutable = {});

}  // namespace kestrane::app

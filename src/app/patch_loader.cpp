#include "app/patch_loader.h"

#include <exception>

#include "patch/component_stream.h"
#include "patch/texts.h"
#include "platform/file_system.h"
#include "platform/resources.h"

namespace kestrane::app {

bool LoadPatchResources(const std::string& sourceFile, int parts, bool showErrors,
                        const PatchResourceTargets& targets, const PatchLoadSinks& sinks,
                        const std::string& runningExecutable) {
    try {
        std::string file;
        if (!sourceFile.empty() && platform::FileExists(sourceFile)) {
            file = sourceFile;
            // A patch opened for editing is written back to the same file.
            targets.paramInfo.PatchFileName = sourceFile;
        } else {
            file = runningExecutable.empty() ? platform::RunningExecutable() : runningExecutable;
        }
        const auto resources = platform::ResourceFile::Open(file);
        if (parts & kPatchPartParamData)
            patch::ReadObjectStream(resources->ReadRcData(patch::texts::kResParamData), targets.paramInfo);
        if (parts & kPatchPartFileData) {
            targets.resItems.ClearItems();
            patch::ReadObjectStream(resources->ReadRcData(patch::texts::kResFileData), targets.resItems);
        }
        if (parts & kPatchPartInstData) {
            targets.instResItems.ClearItems();
            patch::ReadObjectStream(resources->ReadRcData(patch::texts::kResInstData), targets.instResItems);
        }
        return true;
    } catch (const std::exception& e) {
        const std::string text = std::string(patch::texts::kPatchLoadFailed) + e.what();
        const MessageSink& sink = showErrors ? sinks.showMessage : sinks.log;
        if (sink) sink(text);
        return false;
    }
}

}  // namespace kestrane::app

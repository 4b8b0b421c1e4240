// The maker's run: the patch file is a copy of the running executable with the three resources.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <utility>
#include <vector>

#include "app/manager.h"
#include "app/texts.h"
#include "patch/component_stream.h"
#include "patch/texts.h"
#include "platform/file_system.h"
#include "platform/resources.h"
#include "support/format.h"

namespace kestrane::app {

namespace {

// The file can be updated in place and its present resources can be read, so they are kept.
bool CanUpdateResources(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return false;
    std::FILE* file = std::fopen(path.c_str(), "r+b");
    if (!file) return false;
    std::fclose(file);
    try {
        platform::ResourceFile::Open(path)->List();
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

platform::ResourceBytes StreamOf(const patch::TResBase& root, const char* failText, const char* name) {
    try {
        return patch::WriteObjectStream(root);
    } catch (const std::exception&) {
        throw std::runtime_error(support::Format(failText, name));
    }
}

}  // namespace

bool TManager::Build() {
    const auto& params = *paramInfo_;
    if (platform::FileExists(params.PatchFileName) &&
        !interaction_.AskConfirm(texts::kPatchExists, TBoxOwner::CurrentPage))
        return false;
    if ((params.PatchType == patch::ptInstance || params.PatchType == patch::ptBoth) &&
        !GatherAccountSetData())
        return false;
    return WritePatchExecutable();
}

// Gathering the account sets' rows is not built yet; an account-set patch cannot be made.
bool TManager::GatherAccountSetData() {
    throw std::runtime_error(support::Format(texts::kNotAvailable, "GatherAccountSetData"));
}

bool TManager::WritePatchExecutable() {
    auto& params = *paramInfo_;
    resItems_->PatchType = params.PatchType;
    resItems_->NotCheckVersion = params.NotCheckVersion;
    resItems_->NotUpdateVersion = params.NotUpdateVersion;

    std::error_code error;
    const bool copied = std::filesystem::copy_file(exePath_, params.PatchFileName,
                                                   std::filesystem::copy_options::overwrite_existing, error);
    if (copied && !error && WritePatchResources()) return true;
    throw std::runtime_error(texts::kWritePatchFailed + params.PatchFileName);
}

bool TManager::WritePatchResources() {
    const std::string path = paramInfo_->PatchFileName;
    if (!CanUpdateResources(path)) return false;

    const int f = static_cast<int>(resItems_->Count());
    const int a = static_cast<int>(instResItems_->Count());
    std::vector<std::pair<std::string, platform::ResourceBytes>> updates;
    std::exception_ptr failure;
    try {
        ReportProgress(texts::kPackingFiles, 0, f + a);
        updates.emplace_back(patch::texts::kResParamData,
                             StreamOf(*paramInfo_, texts::kWriteParamFailed, patch::texts::kResParamData));
        updates.emplace_back(patch::texts::kResFileData,
                             StreamOf(*resItems_, texts::kWriteResourceFailed, patch::texts::kResFileData));
        ReportProgress(texts::kPackingAccountSets, f, f + a);
        updates.emplace_back(patch::texts::kResInstData, StreamOf(*instResItems_, texts::kWriteResourceFailed,
                                                                  patch::texts::kResInstData));
        ReportProgress(texts::kPackingDone, f + a, f + a);
    } catch (...) {
        failure = std::current_exception();
    }

    // What was stored before a failure is committed as well.
    if (!updates.empty()) {
        try {
            platform::UpdateRcData(path, updates);
        } catch (const std::exception&) {
            throw std::runtime_error(texts::kCommitResourcesFailed);
        }
    }
    if (failure) std::rethrow_exception(failure);
    return true;
}

}  // namespace kestrane::app

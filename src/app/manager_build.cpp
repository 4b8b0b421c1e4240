// The maker's run: the chosen account-set rows gathered into the data file, then the patch file, a copy
// of the program with the three resources.
#include <exception>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <utility>
#include <vector>

#include "app/manager.h"
#include "app/node_variant.h"
#include "app/texts.h"
#include "db/connect.h"
#include "db/data_export.h"
#include "patch/component_stream.h"
#include "patch/inst_nodes.h"
#include "patch/texts.h"
#include "platform/file_system.h"
#include "platform/resources.h"
#include "support/format.h"

namespace kestrane::app {

namespace {

// The file can be updated in place and its present resources can be read, so they are kept.
bool CanUpdateResources(const std::string& path) {
    if (!platform::FileUpdatable(path)) return false;
    try {
        platform::ResourceFile::Open(path)->List();
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

// The filter of a table node: structure only, or the variant written for the source's kind.
std::string TableFilter(const patch::TNodeItem& node, support::TKVDataBaseType variant) {
    if (node.TableType == patch::ttStructure) return texts::kNoRowsFilter;
    if (variant == node.SQLType) return node.Text;
    if (const auto* table = dynamic_cast<const patch::TNodeTableItem*>(&node);
        table && variant == table->SQLType2)
        return table->Text2;
    return {};
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

void TManager::ReportItemProgress(patch::TKVParamNodeType nodeType, const std::string& message, int position,
                                  int maximum) {
    interaction_.ProcessEvents();
    if (paramInfo_->OnProgress) paramInfo_->OnProgress(this, nodeType, message, position, maximum);
}

namespace {

// Removes the data file when the gathering ends, however it ends; declared before the transfer object
// so that its connections are closed first.
struct DataFileRemover {
    std::string path;
    ~DataFileRemover() {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
    }
};

}  // namespace

bool TManager::GatherAccountSetData() {
    using namespace patch;
    auto& params = *paramInfo_;
    // A maker installed read-only (a package's bin folder) gathers into a folder of its own instead.
    std::optional<platform::TTempFolder> ownFolder;
    if (!platform::FolderWritable(params.ProgramDir)) {
        try {
            ownFolder.emplace("kestrane-build");
        } catch (const std::exception& error) {
            throw std::runtime_error(support::Format(texts::kDataFileFailed,
                                                     params.ProgramDir + texts::kDataFileName, error.what()));
        }
    }
    const std::string path = (ownFolder ? ownFolder->Dir() : params.ProgramDir) + texts::kDataFileName;
    DataFileRemover remover{path};
    db::TDataExport exporter;
    exporter.OnLog = [this](const void* sender, const std::string& message) { Log(sender, message); };

    // Without its data file the patch would be incomplete: the build stops and says why.
    bool created = false;
    try {
        created = db::TDataExport::CreateAccessDB(path);
    } catch (const std::exception& error) {
        throw std::runtime_error(support::Format(texts::kDataFileFailed, path, error.what()));
    }
    if (!created)
        throw std::runtime_error(support::Format(texts::kDataFileFailed, path, texts::kDataFileMissing));

    exporter.TargetType = support::dbAccess;
    support::TDBInfoRec dataFile;
    dataFile.DBType = support::dbAccess;
    exporter.TargetConnection()->SetConnectionString(db::BuildConnectionString(dataFile, path));

    const auto& instances = params.Instances;
    const int n = static_cast<int>(instances.size());
    const int m = static_cast<int>(instResItems_->Count());
    for (int i = 0; i < n; ++i) {
        const support::TInstanceRec& inst = instances[static_cast<std::size_t>(i)];
        if (!inst.Selected) continue;
        exporter.SourceType = inst.DBInfo.DBType;
        exporter.SourceConnection().Close();
        exporter.SourceConnection().SetConnectionString(db::BuildConnectionString(inst.DBInfo, inst.DBName));
        const support::TKVDataBaseType variant = NodeVariantKind(exporter.SourceType);

        for (int j = 0; j < m; ++j) {
            TInstResItem& item = instResItems_->Item(static_cast<std::size_t>(j));
            if (item.IsEmpty()) continue;
            const TKVParamNodeType kind = item.ParamNodeType();
            const std::string caption = ParamNodeTypeCaption(kind);
            const int position = i * m + j + 1;
            const int maximum = n * m;
            auto report = [&](const std::string& what) {
                ReportItemProgress(kind, support::Format(texts::kGathering, inst.AccountName, what), position,
                                   maximum);
            };
            report(caption);
            switch (kind) {
                case pntReCst: {
                    exporter.TransferTable(texts::kTableInstElmnt,
                                           static_cast<TInstReCstResItem&>(item).ReCstFilter(variant));
                    const int count = static_cast<int>(item.NodeCount());
                    for (int k = 0; k < count; ++k) {
                        const TNodeItem& node = item.Node(static_cast<std::size_t>(k));
                        if (node.Tag == texts::kTableInstElmnt) continue;
                        report(support::Format(texts::kReCstNodeProgress, caption, k, count, node.Caption));
                        exporter.TransferTable(node.Tag, texts::kStructureOnlyFilter);
                    }
                    break;
                }
                case pntBill: {
                    const auto& bill = static_cast<TInstBillResItem&>(item);
                    exporter.TransferTable(texts::kTableBillFormat, bill.BuildFilter());
                    exporter.TransferTable(texts::kTableSysOptInfo, bill.BillOptionFilter());
                    exporter.TransferTable(texts::kTableBillNumbering, bill.BillTypeFilter());
                    break;
                }
                case pntQuery:
                    exporter.TransferTable(texts::kTableQuery, item.BuildFilter());
                    break;
                case pntAnalyse:
                    for (const TNodeItem* node : item.NodeList()) {
                        report(node->Tag);
                        exporter.TransferTable(node->Tag, "");
                    }
                    break;
                case pntBaseData: {
                    const auto& baseData = static_cast<TInstBaseDataResItem&>(item);
                    exporter.TransferTable(texts::kTableDict, baseData.BuildFilter());
                    exporter.TransferTable(texts::kTableCodeSet, baseData.CodeSetFilter());
                    break;
                }
                case pntDeskFlow: {
                    ReportItemProgress(kind, texts::kGatheringDeskFlow, position, maximum);
                    const std::string& chart = item.Node(0).Text;
                    if (platform::FileExists(chart)) resItems_->AddFile(chart).OptType = otProgram;
                    break;
                }
                case pntTable:
                    for (const TNodeItem* node : item.NodeList()) {
                        report(node->Tag);
                        exporter.TransferTable(node->Tag, TableFilter(*node, variant));
                    }
                    break;
                case pntInitScript:
                case pntScript:
                case pntView:
                case pntOther:
                    break;
            }
        }
        exporter.TransferTable(texts::kTablePurFunRes, "");
        exporter.TransferTable(texts::kTableSysOptInfo,
                               support::Format(texts::kMultiOptFilter, texts::kMultiOptCode));
    }

    exporter.SourceConnection().Close();
    exporter.TargetConnection()->Close();
    resItems_->AddFile(path).OptType = otProgram;
    return true;
}

bool TManager::WritePatchExecutable() {
    auto& params = *paramInfo_;
    resItems_->PatchType = params.PatchType;
    resItems_->NotCheckVersion = params.NotCheckVersion;
    resItems_->NotUpdateVersion = params.NotUpdateVersion;

    const std::string& target = params.PatchFileName;
    const auto copyFailed = [&] { return std::runtime_error(texts::kWritePatchFailed + target); };
    std::error_code error;
    // The patch would take the place of the running program.
    if (std::filesystem::equivalent(exePath_, target, error)) throw copyFailed();
    std::unique_ptr<platform::TPendingFile> pending;
    try {
        pending = std::make_unique<platform::TPendingFile>(target);
    } catch (const std::exception&) {
        throw copyFailed();
    }
    const bool copied = std::filesystem::copy_file(exePath_, pending->Path(),
                                                   std::filesystem::copy_options::overwrite_existing, error);
    if (!copied || error || !WritePatchResources(pending->Path())) throw copyFailed();
    try {
        pending->Commit();
    } catch (const std::exception&) {
        throw copyFailed();
    }
    return true;
}

bool TManager::WritePatchResources(const std::string& path) {
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

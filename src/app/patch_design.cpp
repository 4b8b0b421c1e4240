#include "app/patch_design.h"

#include <algorithm>
#include <stdexcept>

#include "app/design_catalogue.h"
#include "app/manager.h"
#include "app/node_variant.h"
#include "app/texts.h"
#include "platform/file_system.h"
#include "support/text.h"

namespace kestrane::app {

using namespace patch;

namespace {

bool IsScriptKind(TKVParamNodeType kind) {
    return kind == pntInitScript || kind == pntReCst || kind == pntView || kind == pntScript;
}

bool Listed(const TResItem& item) {
    return item.OptType != otProgram && item.OptType != otVersion;
}

std::size_t IndexOf(const TResCollection& files, const TResItem* item) {
    for (std::size_t i = 0; i < files.Count(); ++i)
        if (&files.Item(i) == item) return i;
    throw std::logic_error("a listed file is not in the collection");
}

}  // namespace

void TPatchDesignModel::Open(TManager& manager) {
    Manager = &manager;
    const TBaseParamInfo& params = manager.ParamInfo();
    lbFiles.clear();
    ShowFile(nullptr);
    ClearChosen();
    Catalogue.clear();

    Source = {};
    const auto& instances = params.Instances;
    const auto source =
        std::find_if(instances.begin(), instances.end(), [](const auto& i) { return i.Selected; });
    if (source != instances.end()) Source = *source;
    SourceKind = Source.DBInfo.DBType;

    const bool program = params.PatchType == ptProgram || params.PatchType == ptBoth;
    const bool instance = params.PatchType == ptInstance || params.PatchType == ptBoth;
    tsProgramVisible = program;
    tsInstanceVisible = instance;
    ProgramTabActive = program;
    if (program) {
        FillFileList();
        mPrgrmDscrpt = manager.ResItems().Description;
    }
    if (instance) {
        if (source == instances.end()) throw std::runtime_error(texts::kSelectSource);
        Catalogue = ReadCatalogue(Source);
        const TInstResCollection& items = manager.InstResItems();
        for (std::size_t i = 0; i < items.Count(); ++i) {
            const TInstResItem& item = items.Item(i);
            for (TNodeItem* node : item.NodeList())
                ChosenOf(item.ParamNodeType()).push_back({node, node->Caption});
        }
    }

    FreeMemMB_Edt = std::to_string(params.NeedFreeMemMB);
    FreeDiskMB_Edt = std::to_string(params.NeedFreeDiskMB);
    RegInstallEdit = params.RegInstallPath;
    CloseFileNames_Edt = params.NeedCloseFileNames();
}

// ---- program files ----

const std::vector<TKVOperateType>& TPatchDesignModel::ExecTypes() {
    static const std::vector<TKVOperateType> types{otNone, otCopy, otExecute};
    return types;
}

void TPatchDesignModel::FillFileList() {
    lbFiles.clear();
    const TResCollection& files = Manager->ResItems();
    for (std::size_t i = 0; i < files.Count(); ++i)
        if (Listed(files.Item(i))) lbFiles.push_back(&files.Item(i));
    ShowFile(lbFiles.empty() ? nullptr : lbFiles.front());
}

void TPatchDesignModel::ShowFile(TResItem* file) {
    CurrentFile = file;
    if (!file) return;
    edtResName = file->Name;
    edtPath = file->RelPath;
    cbExecType = file->OptType;
    cbExecWaited = file->Waiting;
    edtExecParam = file->Param;
    seDelay = file->DelayTime;
    ExecControlsEnabled = file->OptType == otExecute;
}

void TPatchDesignModel::lbFilesClick(std::size_t row) {
    if (row < lbFiles.size()) ShowFile(lbFiles[row]);
}

bool TPatchDesignModel::btnAddFileClick() {
    std::vector<std::string> paths;
    if (!Manager->Interaction().ChooseOpenFiles(texts::kAllFilesFilter, texts::kAllFilesDefaultExt, paths))
        return false;
    AddFiles(paths);
    return true;
}

void TPatchDesignModel::AddFiles(const std::vector<std::string>& paths) {
    // A same-named item is replaced, so no pointer into the list survives the adding.
    CurrentFile = nullptr;
    lbFiles.clear();
    for (const std::string& path : paths) Manager->ResItems().AddFile(path);
    FillFileList();
}

void TPatchDesignModel::btnDeleteFileClick(const std::vector<std::size_t>& rows) {
    std::vector<TResItem*> doomed;
    for (const std::size_t row : rows)
        if (row < lbFiles.size() && std::find(doomed.begin(), doomed.end(), lbFiles[row]) == doomed.end())
            doomed.push_back(lbFiles[row]);
    CurrentFile = nullptr;
    lbFiles.clear();
    for (TResItem* item : doomed) Manager->ResItems().Destroy(*item);
    FillFileList();
}

std::size_t TPatchDesignModel::Swap(std::size_t row, std::size_t other) {
    TResCollection& files = Manager->ResItems();
    const std::size_t upper = std::min(row, other), lower = std::max(row, other);
    // Collection places of the two files; the unlisted items between them keep their order.
    const std::size_t a = IndexOf(files, lbFiles[upper]), b = IndexOf(files, lbFiles[lower]);
    files.MoveItem(b, a);
    files.MoveItem(a + 1, b);
    std::swap(lbFiles[upper], lbFiles[lower]);
    return other;
}

std::size_t TPatchDesignModel::btnUpClick(std::size_t row) {
    if (row == 0 || row >= lbFiles.size()) return row;
    return Swap(row, row - 1);
}

std::size_t TPatchDesignModel::btnDownClick(std::size_t row) {
    if (row + 1 >= lbFiles.size()) return row;
    return Swap(row, row + 1);
}

void TPatchDesignModel::edtPathChange(const std::string& text) {
    edtPath = text;
    if (CurrentFile) CurrentFile->RelPath = text;
}

void TPatchDesignModel::cbExecTypeChange(TKVOperateType type) {
    cbExecType = type;
    if (!CurrentFile) return;
    CurrentFile->OptType = type;
    ExecControlsEnabled = type == otExecute;
}

void TPatchDesignModel::cbExecWaitedClick(bool checked) {
    cbExecWaited = checked;
    if (CurrentFile) CurrentFile->Waiting = checked;
}

void TPatchDesignModel::edtExecParamChange(const std::string& text) {
    edtExecParam = text;
    if (CurrentFile) CurrentFile->Param = text;
}

void TPatchDesignModel::seDelayChange(std::int32_t milliseconds) {
    seDelay = milliseconds;
    if (CurrentFile) CurrentFile->DelayTime = milliseconds;
}

void TPatchDesignModel::mPrgrmDscrptChange(const std::string& text) {
    mPrgrmDscrpt = text;
    Manager->ResItems().Description = text;
}

// ---- account-set definitions ----

const std::vector<TKVParamNodeType>& TPatchDesignModel::AllCategories() {
    static const std::vector<TKVParamNodeType> kinds{pntReCst,    pntBill,     pntQuery, pntAnalyse,
                                                     pntBaseData, pntDeskFlow, pntTable, pntView};
    return kinds;
}

const std::vector<TKVParamNodeType>& TPatchDesignModel::SelectCategories() {
    static const std::vector<TKVParamNodeType> kinds{pntInitScript, pntReCst,    pntBill,     pntQuery,
                                                     pntAnalyse,    pntBaseData, pntDeskFlow, pntTable,
                                                     pntView,       pntScript};
    return kinds;
}

std::vector<std::size_t> TPatchDesignModel::Candidates(TKVParamNodeType kind) const {
    std::vector<std::size_t> entries;
    for (std::size_t i = 0; i < Catalogue.size(); ++i)
        if (Catalogue[i].ParamNodeType == kind) entries.push_back(i);
    return entries;
}

std::vector<TChosenLeaf>& TPatchDesignModel::ChosenOf(TKVParamNodeType kind) {
    return chosen_.at(kind);
}

const std::vector<TChosenLeaf>& TPatchDesignModel::Chosen(TKVParamNodeType kind) const {
    return chosen_.at(kind);
}

void TPatchDesignModel::ClearChosen() {
    for (auto& leaves : chosen_) leaves.clear();
    tvSelectChange(TDesignTreeNode::Root());
}

TNodeItem* TPatchDesignModel::AddEntry(const TInstNodeRec& entry, bool checkDuplicate) {
    const TKVParamNodeType kind = NodeTypeOf(entry.ParamNodeType);
    TInstResItem* item = Manager->InstResItems().FindByNodeType(kind);
    if (!item || kind == pntOther) return nullptr;
    std::vector<TChosenLeaf>& leaves = ChosenOf(kind);
    if (checkDuplicate && std::any_of(leaves.begin(), leaves.end(), [&](const TChosenLeaf& leaf) {
            return support::SameText(leaf.Node->Tag, entry.Tag);
        }))
        return nullptr;
    const support::TKVDataBaseType variant = NodeVariantKind(SourceKind);
    TNodeItem* node = IsScriptKind(kind) ? &NewNodeScriptItem(*item, entry, variant)
                      : kind == pntTable ? &NewNodeTableItem(*item, entry, variant)
                                         : &NewNodeItem(*item, entry);
    leaves.push_back({node, entry.Caption});
    return node;
}

TNodeItem* TPatchDesignModel::AddCandidate(std::size_t entry) {
    return entry < Catalogue.size() ? AddEntry(Catalogue[entry], true) : nullptr;
}

void TPatchDesignModel::btnSelectClick(const TDesignTreeNode& node) {
    if (node.Level == dlLeaf) {
        AddCandidate(node.Entry);
        return;
    }
    if (node.Level != dlCategory) return;
    const std::vector<std::size_t> entries = Candidates(node.Kind);
    if (entries.empty() ||
        !Manager->Interaction().AskConfirm(texts::kSelectCategoryQuestion, TBoxOwner::CurrentPage))
        return;
    for (const std::size_t entry : entries) AddCandidate(entry);
}

void TPatchDesignModel::btnSelectAllClick() {
    Manager->InstResItems().ClearNodes();
    ClearChosen();
    for (const TInstNodeRec& entry : Catalogue) AddEntry(entry, false);
}

void TPatchDesignModel::btnRemoveClick(const TDesignTreeNode& node) {
    if (node.Level == dlRoot || node.Kind >= chosen_.size()) return;
    TInstResItem* item = Manager->InstResItems().FindByNodeType(node.Kind);
    std::vector<TChosenLeaf>& leaves = ChosenOf(node.Kind);
    if (!item) return;
    if (node.Level == dlCategory) {
        if (leaves.empty() ||
            !Manager->Interaction().AskConfirm(texts::kRemoveCategoryQuestion, TBoxOwner::CurrentPage))
            return;
        if (CurrentNode.Kind == node.Kind && CurrentNode.Level == dlLeaf)
            tvSelectChange(TDesignTreeNode::Root());
        item->ClearNodes();
        leaves.clear();
        if (CurrentNode == node) tvSelectChange(node);
        return;
    }
    const auto leaf =
        std::find_if(leaves.begin(), leaves.end(), [&](const TChosenLeaf& l) { return l.Node == node.Node; });
    if (leaf == leaves.end()) return;
    if (CurrentNode.Node == node.Node) tvSelectChange(TDesignTreeNode::Root());
    item->RemoveNode(*leaf->Node);
    leaves.erase(leaf);
}

void TPatchDesignModel::btnRemoveAllClick() {
    if (!Manager->Interaction().AskConfirm(texts::kRemoveAllQuestion, TBoxOwner::CurrentPage)) return;
    Manager->InstResItems().ClearNodes();
    ClearChosen();
}

std::optional<TDesignTreeNode> TPatchDesignModel::FindInAll(const std::string& text) const {
    if (text.empty()) return std::nullopt;
    for (const TKVParamNodeType kind : AllCategories())
        for (const std::size_t entry : Candidates(kind))
            if (support::ContainsText(Catalogue[entry].Caption, text))
                return TDesignTreeNode::Candidate(kind, entry);
    return std::nullopt;
}

std::optional<TDesignTreeNode> TPatchDesignModel::FindInSelect(const std::string& text) const {
    if (text.empty()) return std::nullopt;
    for (const TKVParamNodeType kind : SelectCategories())
        for (const TChosenLeaf& leaf : Chosen(kind))
            if (support::ContainsText(leaf.Caption, text)) return TDesignTreeNode::Chosen(kind, leaf.Node);
    return std::nullopt;
}

void TPatchDesignModel::tvSelectChange(const TDesignTreeNode& node) {
    CurrentNode = node;
    DescriptionVisible = ScriptGroupVisible = PopupAttached = false;
    Editor = deNone;
    if (node.Level == dlCategory) {
        DescriptionVisible = true;
        const TInstResItem* item = Manager ? Manager->InstResItems().FindByNodeType(node.Kind) : nullptr;
        mDescription = item ? item->Description : std::string();
        if (node.Kind == pntInitScript || node.Kind == pntScript) {
            ScriptGroupVisible = PopupAttached = true;
            edtScriptName.clear();
        }
    } else if (node.Level == dlLeaf) {
        if (node.Kind == pntDeskFlow)
            Editor = deDeskFlow;
        else if (node.Kind == pntTable)
            Editor = deTable;
        else if (IsScriptKind(node.Kind))
            Editor = deScript;
    }
}

void TPatchDesignModel::mDescriptionChange(const std::string& text) {
    mDescription = text;
    if (CurrentNode.Level != dlCategory) return;
    if (TInstResItem* item = Manager->InstResItems().FindByNodeType(CurrentNode.Kind))
        item->Description = text;
}

TNodeItem* TPatchDesignModel::btnAddScriptClick() {
    if (edtScriptName.empty()) {
        Manager->Interaction().ShowNotice(texts::kEmptyScriptName, TBoxOwner::CurrentPage);
        return nullptr;
    }
    const TKVParamNodeType kind = CurrentNode.Level == dlCategory ? CurrentNode.Kind : pntScript;
    TNodeItem* node = AddEntry({edtScriptName, "", "", "", kind}, false);
    if (node) tvSelectChange(TDesignTreeNode::Chosen(kind, node));
    return node;
}

// ---- editor frames ----

bool TPatchDesignModel::ScriptNameEditable(TKVParamNodeType kind) {
    return kind == pntInitScript || kind == pntScript;
}

bool TPatchDesignModel::btnOpenDeskFlowClick(TNodeItem& node) {
    std::string file = platform::ExtractFilePath(node.Text);
    if (!Manager->Interaction().ChooseOpenFile(texts::kDeskFlowFilter, texts::kDeskFlowDefaultExt, file))
        return false;
    SetDeskFlowFile(node, file);
    return true;
}

void TPatchDesignModel::SetDeskFlowFile(TNodeItem& node, const std::string& path) {
    node.Tag = platform::ExtractFileName(path);
    node.Text = path;
}

// ---- run-time requirements ----

void TPatchDesignModel::FreeMemMB_EdtChange(const std::string& text) {
    FreeMemMB_Edt = text;
    Manager->ParamInfo().NeedFreeMemMB = support::StrToIntDef(text, 0);
}

void TPatchDesignModel::FreeDiskMB_EdtChange(const std::string& text) {
    FreeDiskMB_Edt = text;
    Manager->ParamInfo().NeedFreeDiskMB = support::StrToIntDef(text, 0);
}

void TPatchDesignModel::RegInstallEditChange(const std::string& text) {
    RegInstallEdit = text;
    Manager->ParamInfo().RegInstallPath = text;
}

void TPatchDesignModel::CloseFileNames_EdtChange(const std::string& text) {
    CloseFileNames_Edt = text;
    Manager->ParamInfo().SetNeedCloseFileNames(text);
}

}  // namespace kestrane::app

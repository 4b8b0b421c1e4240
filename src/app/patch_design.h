// The content designer as a model without a window: the program files of the patch, the account-set
// definitions chosen from the source's catalogue, and the run-time requirements. It edits the
// manager's objects directly; a window shows its fields and trees and calls its operations, the
// command line calls them without one. Messages go through the manager's TInteraction.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "patch/inst_nodes.h"
#include "patch/inst_res_items.h"
#include "patch/res_items.h"
#include "support/kv_types.h"

namespace kestrane::app {

class TManager;

enum TDesignLevel : std::uint8_t { dlRoot, dlCategory, dlLeaf };

// A node of one of the two trees: the root, a category (one kind), or a leaf under a category.
struct TDesignTreeNode {
    TDesignLevel Level = dlRoot;
    patch::TKVParamNodeType Kind = patch::pntOther;  // of a category or a leaf
    std::size_t Entry = 0;                           // a candidate leaf (tvAll): its index in Catalogue
    patch::TNodeItem* Node = nullptr;                // a chosen leaf (tvSelect): its node

    static TDesignTreeNode Root() { return {}; }
    static TDesignTreeNode Category(patch::TKVParamNodeType kind) { return {dlCategory, kind, 0, nullptr}; }
    static TDesignTreeNode Candidate(patch::TKVParamNodeType kind, std::size_t entry) {
        return {dlLeaf, kind, entry, nullptr};
    }
    static TDesignTreeNode Chosen(patch::TKVParamNodeType kind, patch::TNodeItem* node) {
        return {dlLeaf, kind, 0, node};
    }
    bool operator==(const TDesignTreeNode&) const = default;
};

// A leaf of the chosen tree: its node and the caption it was added with (a renamed node keeps it).
struct TChosenLeaf {
    patch::TNodeItem* Node = nullptr;
    std::string Caption;
    bool operator==(const TChosenLeaf&) const = default;
};

// The editor frame shown for the selected leaf of the chosen tree.
enum TDesignEditor { deNone, deDeskFlow, deScript, deTable };

class TPatchDesignModel {
  public:
    // Set by Open.
    TManager* Manager = nullptr;

    // Reads everything the dialog shows: the file list, the catalogue of the source (read again at
    // every opening), the chosen nodes and the run-time requirements. The tabs follow the patch type.
    // A catalogue that cannot be read (also when no source is selected) throws; the dialog is then
    // not shown.
    void Open(TManager& manager);

    // Tabs: "程序补丁", "账套补丁" (the run-time tab "配置信息" always shows).
    bool tsProgramVisible = false;
    bool tsInstanceVisible = false;
    bool ProgramTabActive = false;  // else the account-set tab is the active one

    // The first selected account set, and the kind of its server.
    support::TInstanceRec Source;
    support::TKVDataBaseType SourceKind = support::dbtMsSql;
    // Candidates of the account-set tab, in catalogue order.
    patch::TInstNodeArray Catalogue;

    // ---- "程序补丁" ----
    // lbFiles: the listed items, every one but the data files (otProgram) and the version file.
    std::vector<patch::TResItem*> lbFiles;
    patch::TResItem* CurrentFile = nullptr;  // none: the fields below change nothing
    std::string edtResName;
    std::string edtPath;
    patch::TKVOperateType cbExecType = patch::otNone;
    bool cbExecWaited = false;
    std::string edtExecParam;
    std::int32_t seDelay = 0;
    // cbExecWaited, edtExecParam and seDelay: only for otExecute.
    bool ExecControlsEnabled = false;
    std::string mPrgrmDscrpt;

    // The entries of cbExecType, in order; their captions are patch::OperateTypeCaption.
    static const std::vector<patch::TKVOperateType>& ExecTypes();
    // Lists the files and shows the first one.
    void FillFileList();
    // Makes the file of the row current and shows it.
    void lbFilesClick(std::size_t row);
    // "添加文件": a choice of several files, then AddFiles.
    bool btnAddFileClick();
    // Adds each file (replacing a same-named item), then fills the list again.
    void AddFiles(const std::vector<std::string>& paths);
    // "删除文件": destroys the items of the rows, then fills the list again.
    void btnDeleteFileClick(const std::vector<std::size_t>& rows);
    // "上移" / "下移": the file of the row changes place with the listed file above or below it, in the
    // list and in the collection; nothing at the top or bottom. The result is the file's row
    // afterwards.
    std::size_t btnUpClick(std::size_t row);
    std::size_t btnDownClick(std::size_t row);
    // Field changes, stored into the current file at once.
    void edtPathChange(const std::string& text);
    void cbExecTypeChange(patch::TKVOperateType type);
    void cbExecWaitedClick(bool checked);
    void edtExecParamChange(const std::string& text);
    void seDelayChange(std::int32_t milliseconds);
    void mPrgrmDscrptChange(const std::string& text);

    // ---- "账套补丁" ----
    // Categories of the candidate tree tvAll ("待选参数"): the kinds 1 to 8.
    static const std::vector<patch::TKVParamNodeType>& AllCategories();
    // Categories of the chosen tree tvSelect ("已选参数"): the kinds 0 to 9.
    static const std::vector<patch::TKVParamNodeType>& SelectCategories();
    // The candidate leaves of a category: indices into Catalogue.
    std::vector<std::size_t> Candidates(patch::TKVParamNodeType kind) const;
    // The chosen leaves of a category, in node order.
    const std::vector<TChosenLeaf>& Chosen(patch::TKVParamNodeType kind) const;

    // Adds a candidate unless its category already holds a node of the same Tag (any case): the new
    // node, or nullptr.
    patch::TNodeItem* AddCandidate(std::size_t entry);
    // ">" on a node of tvAll: a candidate is added; a category with candidates asks first and adds
    // them all; the root does nothing.
    void btnSelectClick(const TDesignTreeNode& node);
    // ">>": empties every item, then adds every candidate in catalogue order.
    void btnSelectAllClick();
    // "<" on a node of tvSelect: a leaf's node leaves its item; a category with leaves asks first and
    // empties its item; the root does nothing.
    void btnRemoveClick(const TDesignTreeNode& node);
    // "<<": asks, then empties every item (descriptions and the author's scripts too).
    void btnRemoveAllClick();
    // Enter in edtQueryAll / edtQuerySelect: the first leaf, categories and leaves in order, whose
    // caption holds the text (letter case ignored); none for an empty text.
    std::optional<TDesignTreeNode> FindInAll(const std::string& text) const;
    std::optional<TDesignTreeNode> FindInSelect(const std::string& text) const;

    // The selected node of tvSelect and what the panel beside the trees shows for it.
    TDesignTreeNode CurrentNode;
    bool DescriptionVisible = false;  // "补丁描述" with mDescription, for a category
    bool ScriptGroupVisible = false;  // "脚本设置", for the two script categories
    bool PopupAttached = false;       // the pop-up "增加脚本", likewise
    TDesignEditor Editor = deNone;    // for a leaf
    std::string mDescription;
    std::string edtScriptName;
    void tvSelectChange(const TDesignTreeNode& node);
    // Stored as the description of the selected category's item (only while a category is selected).
    void mDescriptionChange(const std::string& text);
    // "增加脚本(&A)" and the pop-up "增加脚本": a node named edtScriptName in the selected category (or
    // the scripts), without the duplicate test; its leaf becomes the selected one. An empty name is
    // refused with its message: nullptr.
    patch::TNodeItem* btnAddScriptClick();

    // ---- editor frames ----
    // The name of a script node can be edited for the two script kinds only.
    static bool ScriptNameEditable(patch::TKVParamNodeType kind);
    // "打开(&O)" of the desk-flow editor: a chart file choice starting in the folder of the node's path.
    bool btnOpenDeskFlowClick(patch::TNodeItem& node);
    // The chart file becomes the node's Tag (its name) and Text (its path).
    static void SetDeskFlowFile(patch::TNodeItem& node, const std::string& path);

    // ---- "配置信息" ----
    std::string FreeMemMB_Edt;
    std::string FreeDiskMB_Edt;
    std::string RegInstallEdit;
    std::string CloseFileNames_Edt;
    // Stored at once; a number that is not an integer stores 0. The installation folder is not read
    // again for a changed registry key.
    void FreeMemMB_EdtChange(const std::string& text);
    void FreeDiskMB_EdtChange(const std::string& text);
    void RegInstallEditChange(const std::string& text);
    void CloseFileNames_EdtChange(const std::string& text);

  private:
    patch::TNodeItem* AddEntry(const patch::TInstNodeRec& entry, bool checkDuplicate);
    void ShowFile(patch::TResItem* file);
    void ClearChosen();
    std::vector<TChosenLeaf>& ChosenOf(patch::TKVParamNodeType kind);
    std::size_t Swap(std::size_t row, std::size_t other);

    std::array<std::vector<TChosenLeaf>, patch::pntOther + 1> chosen_;
};

}  // namespace kestrane::app

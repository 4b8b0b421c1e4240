// build: makes a patch without a window, exactly as the maker's wizard does: the same manager and page
// rules walked from the welcome page to the finish page, answering from a JSON manifest.
//
// Paths in the manifest are taken relative to the manifest's folder. The patch is a copy of the
// program Kestrane.exe: --program names it, else the one beside kestrane-cli, else the one at the top
// of the build tree. The question whether to overwrite an existing patch is answered OK only with
// --yes. The data file is gathered in a private temporary folder, so that builds may run side by side.

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>

#include "app/headless_pages.h"
#include "app/inst_select_model.h"
#include "app/maker_pages.h"
#include "app/manager.h"
#include "app/scripted_interaction.h"
#include "app/texts.h"
#include "cli.h"
#include "patch/component_stream.h"
#include "patch/inst_nodes.h"
#include "platform/file_system.h"
#include "platform/resources.h"
#include "progress.h"
#include "support/text.h"

namespace kestrane::cli {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using patch::TKVParamNodeType;

// ---- the manifest ----

[[noreturn]] void Bad(const std::string& key, const std::string& what) {
    throw CLI::ValidationError(key, what);
}

struct FileEntry {
    std::string path;
    std::optional<std::string> relPath, param;
    std::optional<patch::TKVOperateType> action;
    std::optional<bool> wait;
    std::optional<std::int32_t> delay;
};

struct ContentEntry {
    std::string key;  // "content[i]", for messages
    TKVParamNodeType kind = patch::pntOther;
    std::optional<std::string> tag, caption, file;
    std::vector<std::pair<std::string, json>> members;  // node members by their own names
};

struct Manifest {
    std::optional<std::string> installDir;
    patch::TKVPatchType patchType = patch::ptBoth;
    std::optional<bool> notCheckVersion, notUpdateVersion, notBackup;
    std::string output;
    std::optional<std::string> versionFile, description, closeFileNames, source;
    std::optional<std::int32_t> needFreeMemMB, needFreeDiskMB;
    std::vector<FileEntry> files;
    std::vector<ContentEntry> content;
    std::vector<std::pair<TKVParamNodeType, std::string>> descriptions;
};

const std::map<std::string, TKVParamNodeType>& KindNames() {
    static const std::map<std::string, TKVParamNodeType> names{{"initScript", patch::pntInitScript},
                                                               {"reCst", patch::pntReCst},
                                                               {"bill", patch::pntBill},
                                                               {"query", patch::pntQuery},
                                                               {"analyse", patch::pntAnalyse},
                                                               {"baseData", patch::pntBaseData},
                                                               {"deskFlow", patch::pntDeskFlow},
                                                               {"table", patch::pntTable},
                                                               {"view", patch::pntView},
                                                               {"script", patch::pntScript}};
    return names;
}

// The members a content entry may set, by their own names.
const std::vector<std::string>& NodeMembers() {
    static const std::vector<std::string> names{"Text",      "Text2",       "BeforeSQL",
                                                "AfterSQL",  "BeforeSQL2",  "AfterSQL2",
                                                "TableType", "SQLExecType", "DropBeforeCreate"};
    return names;
}

template <class T>
T Choice(const json& value, const std::string& key, const std::vector<std::pair<const char*, T>>& choices) {
    std::string names;
    if (value.is_string())
        for (const auto& [name, v] : choices)
            if (value.get<std::string>() == name) return v;
    for (const auto& c : choices) names += std::string(names.empty() ? "" : ", ") + "\"" + c.first + "\"";
    Bad(key, "must be one of " + names);
}

class ManifestReader {
  public:
    explicit ManifestReader(std::string folder) : folder_(std::move(folder)) {}

    Manifest Read(const json& root) {
        if (!root.is_object()) Bad("manifest", "must be a JSON object");
        static const std::vector<std::string> keys{
            "installDir",     "patchType",   "notCheckVersion", "notUpdateVersion", "notBackup",
            "output",         "versionFile", "description",     "needFreeMemMB",    "needFreeDiskMB",
            "closeFileNames", "files",       "source",          "content",          "descriptions"};
        for (const auto& [key, value] : root.items())
            if (std::find(keys.begin(), keys.end(), key) == keys.end()) Bad(key, "unknown key");

        Manifest m;
        if (root.contains("installDir")) m.installDir = Path(root["installDir"], "installDir");
        if (root.contains("patchType"))
            m.patchType = Choice<patch::TKVPatchType>(
                root["patchType"], "patchType",
                {{"program", patch::ptProgram}, {"instance", patch::ptInstance}, {"both", patch::ptBoth}});
        m.notCheckVersion = OptBool(root, "notCheckVersion", "notCheckVersion");
        m.notUpdateVersion = OptBool(root, "notUpdateVersion", "notUpdateVersion");
        m.notBackup = OptBool(root, "notBackup", "notBackup");
        if (!root.contains("output")) Bad("output", "is required");
        m.output = Path(root["output"], "output");
        if (root.contains("versionFile")) m.versionFile = ExistingFile(root["versionFile"], "versionFile");
        m.description = OptText(root, "description", "description");
        m.closeFileNames = OptText(root, "closeFileNames", "closeFileNames");
        m.source = OptText(root, "source", "source");
        m.needFreeMemMB = OptInt(root, "needFreeMemMB", "needFreeMemMB", INT32_MIN, INT32_MAX);
        m.needFreeDiskMB = OptInt(root, "needFreeDiskMB", "needFreeDiskMB", INT32_MIN, INT32_MAX);
        if (root.contains("files")) {
            const json& files = Array(root["files"], "files");
            for (std::size_t i = 0; i < files.size(); ++i)
                m.files.push_back(File(files[i], Index("files", i)));
        }
        if (root.contains("content")) {
            const json& content = Array(root["content"], "content");
            for (std::size_t i = 0; i < content.size(); ++i)
                m.content.push_back(Content(content[i], Index("content", i)));
        }
        if (root.contains("descriptions")) {
            const json& d = root["descriptions"];
            if (!d.is_object()) Bad("descriptions", "must be an object of kind name and text");
            for (const auto& [name, text] : d.items()) {
                const std::string key = "descriptions." + name;
                const auto kind = KindNames().find(name);
                if (kind == KindNames().end()) Bad(key, "is not a kind of account-set content");
                m.descriptions.emplace_back(kind->second, Text(text, key));
            }
        }
        return m;
    }

  private:
    static std::string Index(const char* key, std::size_t i) {
        return std::string(key) + "[" + std::to_string(i) + "]";
    }
    static const json& Array(const json& v, const std::string& key) {
        if (!v.is_array()) Bad(key, "must be a list");
        return v;
    }
    static std::string Text(const json& v, const std::string& key) {
        if (!v.is_string()) Bad(key, "must be a text");
        return v.get<std::string>();
    }
    static std::optional<std::string> OptText(const json& o, const char* name, const std::string& key) {
        if (!o.contains(name)) return std::nullopt;
        return Text(o[name], key);
    }
    static std::optional<bool> OptBool(const json& o, const char* name, const std::string& key) {
        if (!o.contains(name)) return std::nullopt;
        if (!o[name].is_boolean()) Bad(key, "must be true or false");
        return o[name].get<bool>();
    }
    static std::optional<std::int32_t> OptInt(const json& o, const char* name, const std::string& key,
                                              std::int64_t low, std::int64_t high) {
        if (!o.contains(name)) return std::nullopt;
        const json& v = o[name];
        if (!v.is_number_integer() || v.get<std::int64_t>() < low || v.get<std::int64_t>() > high)
            Bad(key, "must be a whole number from " + std::to_string(low) + " to " + std::to_string(high));
        return static_cast<std::int32_t>(v.get<std::int64_t>());
    }
    std::string Path(const json& v, const std::string& key) const {
        const std::string text = Text(v, key);
        if (text.empty()) Bad(key, "must not be empty");
        const fs::path p(text);
        return (p.is_absolute() ? p : fs::path(folder_) / p).lexically_normal().string();
    }
    std::string ExistingFile(const json& v, const std::string& key) const {
        std::string path = Path(v, key);
        if (!platform::FileExists(path)) Bad(key, "no such file: " + path);
        return path;
    }

    FileEntry File(const json& o, const std::string& key) const {
        if (!o.is_object()) Bad(key, "must be an object");
        for (const auto& [name, value] : o.items())
            if (name != "path" && name != "relPath" && name != "action" && name != "wait" &&
                name != "param" && name != "delay")
                Bad(key + "." + name, "unknown key");
        if (!o.contains("path")) Bad(key + ".path", "is required");
        FileEntry f;
        f.path = ExistingFile(o["path"], key + ".path");
        f.relPath = OptText(o, "relPath", key + ".relPath");
        f.param = OptText(o, "param", key + ".param");
        f.wait = OptBool(o, "wait", key + ".wait");
        f.delay = OptInt(o, "delay", key + ".delay", 0, 1000000);
        if (o.contains("action"))
            f.action = Choice<patch::TKVOperateType>(
                o["action"], key + ".action",
                {{"none", patch::otNone}, {"copy", patch::otCopy}, {"execute", patch::otExecute}});
        return f;
    }

    ContentEntry Content(const json& o, const std::string& key) const {
        if (!o.is_object()) Bad(key, "must be an object");
        ContentEntry c;
        c.key = key;
        if (!o.contains("kind")) Bad(key + ".kind", "is required");
        const std::string kindName = Text(o["kind"], key + ".kind");
        const auto kind = KindNames().find(kindName);
        if (kind == KindNames().end())
            Bad(key + ".kind", "is not a kind of account-set content: " + kindName);
        c.kind = kind->second;
        for (const auto& [name, value] : o.items()) {
            if (name == "kind") continue;
            if (name == "tag") {
                c.tag = Text(value, key + ".tag");
            } else if (name == "caption") {
                c.caption = Text(value, key + ".caption");
            } else if (name == "file") {
                if (c.kind != patch::pntDeskFlow) Bad(key + ".file", "belongs to a deskFlow entry only");
                c.file = ExistingFile(value, key + ".file");
            } else if (std::find(NodeMembers().begin(), NodeMembers().end(), name) != NodeMembers().end()) {
                c.members.emplace_back(name, value);
            } else {
                Bad(key + "." + name, "unknown key");
            }
        }
        const bool script = c.kind == patch::pntInitScript || c.kind == patch::pntScript;
        if (script && !c.caption) Bad(key + ".caption", "is required for a script");
        if (script && c.tag) Bad(key + ".tag", "a script is named by its caption");
        if (!script && c.caption) Bad(key + ".caption", "names scripts only");
        if (!script && !c.tag && c.kind != patch::pntDeskFlow) Bad(key + ".tag", "is required");
        return c;
    }

    std::string folder_;
};

Manifest ReadManifest(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) Bad("MANIFEST", "cannot read " + file);
    json root;
    try {
        root = json::parse(in);
    } catch (const json::exception& e) {
        Bad("MANIFEST", file + " is not JSON: " + e.what());
    }
    const fs::path folder = fs::absolute(file).parent_path();
    return ManifestReader(folder.string()).Read(root);
}

// ---- running the wizard ----

// Answers as a user of the manifest would: OK to every question, but to overwriting an existing patch
// only when asked to; no dialogs.
class ManifestInteraction : public app::TScriptedInteraction {
  public:
    explicit ManifestInteraction(bool overwrite) : overwrite_(overwrite) { DefaultAnswer = false; }
    bool AskConfirm(const std::string& text, app::TBoxOwner owner) override {
        const bool answer = text != app::texts::kPatchExists || overwrite_;
        Calls.push_back({Kind::Confirm, app::texts::kCaptionConfirm, text, owner, answer});
        return answer;
    }
    // What the wizard last told the user: a page's refusal or a failure.
    std::string LastMessage() const {
        for (auto it = Calls.rbegin(); it != Calls.rend(); ++it)
            if (it->kind == Kind::Notice || it->kind == Kind::Error) return it->text;
        return {};
    }

  private:
    bool overwrite_;
};

struct BuildArgs {
    std::string manifest;
    std::string program;
    bool yes = false;
};

// The program to copy: --program, else Kestrane.exe beside kestrane-cli (as installed), else, for the
// kestrane-cli of a build tree, the one at the top of that tree.
std::string FindProgram(const std::string& given) {
    if (!given.empty()) {
        if (!platform::FileExists(given)) throw CommandFailed("no such program: " + given);
        return fs::absolute(given).string();
    }
    const std::string self = platform::RunningExecutable();
    const std::string beside = platform::ExtractFilePath(self) + app::texts::kMakerExeName;
    if (platform::FileExists(beside)) return beside;
#ifdef KESTRANE_BUILD_DIR
    // An installed copy never reaches into the tree it was built in, which may hold another version.
    const fs::path tree = fs::weakly_canonical(KESTRANE_BUILD_DIR);
    const fs::path relative = fs::weakly_canonical(self).lexically_relative(tree);
    const std::string built = (tree / app::texts::kMakerExeName).string();
    if (!relative.empty() && *relative.begin() != ".." && platform::FileExists(built)) return built;
#endif
    throw CommandFailed(
        "cannot find the program Kestrane.exe beside kestrane-cli or in the build tree; give --program");
}

class WizardRun {
  public:
    WizardRun(const Manifest& m, const BuildArgs& args, ProgressView& progress)
        : m_(m), ui_(args.yes), manager_(ui_, FindProgram(args.program), app::texts::kMakerExeName) {
        auto& params = manager_.ParamInfo();
        params.ProgramDir = work_.Dir();
        params.OnProgress = progress.Callback();
    }

    std::string Run() {
        if (m_.installDir &&
            !manager_.ChangeInstallPath(platform::IncludeTrailingPathDelimiter(*m_.installDir)))
            Refused();
        manager_.Start();
        Next();
        PatchType();
        const bool instance = m_.patchType != patch::ptProgram;
        const bool program = m_.patchType != patch::ptInstance;
        if (instance) CheckSource();
        Next();
        // The database page shows only while no server is known; it has nothing to set here.
        if (Is<app::TDBInfoSetModel>()) Next();
        if (instance && Is<app::TInstSelectModel>()) {
            auto& select = Current<app::TInstSelectModel>();
            for (auto& row : select.lvInstance) row.Checked = m_.source && row.DBName == *m_.source;
            Next();
        }
        auto& build = Current<app::TPatchBuildModel>();
        build.btnDesignClick();
        Design(build.Designer, program, instance);
        if (m_.versionFile && !build.ImportVersionFile(*m_.versionFile)) Refused();
        build.edtDir = platform::ExtractFilePath(m_.output);
        build.edtName = platform::ExtractFileName(m_.output);
        Next();
        if (!manager_.RunAction()) {
            if (!ui_.Calls.empty() && ui_.Calls.back().kind == app::TScriptedInteraction::Kind::Confirm &&
                ui_.Calls.back().text == app::texts::kPatchExists)
                throw CommandFailed(manager_.ParamInfo().PatchFileName + ": " + app::texts::kPatchExists +
                                    " (not overwritten; give --yes)");
            Refused();
        }
        return manager_.ParamInfo().PatchFileName;
    }

  private:
    template <class P>
    bool Is() const {
        return dynamic_cast<P*>(manager_.CurrentPage()) != nullptr;
    }
    template <class P>
    P& Current() {
        auto* page = dynamic_cast<P*>(manager_.CurrentPage());
        if (!page) throw std::logic_error("the wizard is not on the expected page");
        return *page;
    }
    [[noreturn]] void Refused() const {
        const std::string message = ui_.LastMessage();
        throw CommandFailed(message.empty() ? "the wizard stopped" : message);
    }
    // Next as the user presses it; a page that refuses has told why.
    void Next() {
        const auto index = manager_.PageIndex();
        manager_.NextPage();
        if (manager_.PageIndex() == index) Refused();
    }

    void PatchType() {
        auto& page = Current<app::TPatchTypeSetModel>();
        page.SelectPatchType(m_.patchType);
        if (m_.notCheckVersion) page.cbNotCheckVersion = *m_.notCheckVersion;
        if (m_.notUpdateVersion) page.cbNotUpdateVersion = *m_.notUpdateVersion;
        if (m_.notBackup) page.cbNotBackup = *m_.notBackup;
    }

    void CheckSource() {
        const auto& sets = manager_.ParamInfo().Instances;
        std::string names;
        for (const auto& s : sets) names += (names.empty() ? "" : ", ") + s.DBName;
        if (!m_.source) {
            if (sets.size() > 1) Bad("source", "is required: the installation has " + names);
            return;
        }
        if (std::none_of(sets.begin(), sets.end(), [&](const auto& s) { return s.DBName == *m_.source; }))
            Bad("source", "no account set " + *m_.source + " in the installation" +
                              (names.empty() ? std::string(" (it has none)") : " (it has " + names + ")"));
    }

    void Design(app::TPatchDesignModel& d, bool program, bool instance) {
        if (!program && (!m_.files.empty() || m_.description))
            Bad(m_.files.empty() ? "description" : "files", "an account-set patch carries no program files");
        if (!instance && (!m_.content.empty() || !m_.descriptions.empty()))
            Bad(m_.content.empty() ? "descriptions" : "content",
                "a program patch carries no account-set content");
        for (const FileEntry& f : m_.files) AddFile(d, f);
        if (m_.description) d.mPrgrmDscrptChange(*m_.description);
        if (m_.needFreeMemMB) d.FreeMemMB_EdtChange(std::to_string(*m_.needFreeMemMB));
        if (m_.needFreeDiskMB) d.FreeDiskMB_EdtChange(std::to_string(*m_.needFreeDiskMB));
        if (m_.closeFileNames) d.CloseFileNames_EdtChange(*m_.closeFileNames);
        for (const ContentEntry& c : m_.content) AddContent(d, c);
        for (const auto& [kind, text] : m_.descriptions) {
            d.tvSelectChange(app::TDesignTreeNode::Category(kind));
            d.mDescriptionChange(text);
        }
    }

    static void AddFile(app::TPatchDesignModel& d, const FileEntry& f) {
        d.AddFiles({f.path});
        const std::string name = platform::ExtractFileName(f.path);
        for (std::size_t row = 0; row < d.lbFiles.size(); ++row)
            if (support::SameText(d.lbFiles[row]->Name, name)) d.lbFilesClick(row);
        if (f.relPath) d.edtPathChange(*f.relPath);
        if (f.action) d.cbExecTypeChange(*f.action);
        if (f.wait) d.cbExecWaitedClick(*f.wait);
        if (f.param) d.edtExecParamChange(*f.param);
        if (f.delay) d.seDelayChange(*f.delay);
    }

    void AddContent(app::TPatchDesignModel& d, const ContentEntry& c) {
        std::vector<patch::TNodeItem*> nodes;
        if (c.caption) {
            d.tvSelectChange(app::TDesignTreeNode::Category(c.kind));
            d.edtScriptName = *c.caption;
            if (patch::TNodeItem* node = d.btnAddScriptClick()) nodes.push_back(node);
        } else if (c.tag && *c.tag == "*") {
            const std::size_t before = d.Chosen(c.kind).size();
            d.btnSelectClick(app::TDesignTreeNode::Category(c.kind));
            for (std::size_t i = before; i < d.Chosen(c.kind).size(); ++i)
                nodes.push_back(d.Chosen(c.kind)[i].Node);
        } else {
            const std::size_t entry = Candidate(d, c);
            patch::TNodeItem* node = d.AddCandidate(entry);
            if (!node) Bad(c.key + ".tag", "\"" + d.Catalogue[entry].Tag + "\" is chosen already");
            nodes.push_back(node);
        }
        for (patch::TNodeItem* node : nodes) {
            if (c.file) app::TPatchDesignModel::SetDeskFlowFile(*node, *c.file);
            for (const auto& [name, value] : c.members) SetMember(*node, c.key + "." + name, name, value);
        }
    }

    // The candidate an entry names by its tag (letter case ignored, as the duplicate test does); a
    // desk-flow entry without a tag takes the default chart.
    static std::size_t Candidate(const app::TPatchDesignModel& d, const ContentEntry& c) {
        const std::vector<std::size_t> entries = d.Candidates(c.kind);
        if (!c.tag) {
            if (entries.empty()) Bad(c.key, "the source has no desk-flow chart entry");
            return entries.front();
        }
        for (const std::size_t i : entries)
            if (d.Catalogue[i].Tag == *c.tag) return i;
        for (const std::size_t i : entries)
            if (support::SameText(d.Catalogue[i].Tag, *c.tag)) return i;
        Bad(c.key + ".tag", "unknown tag \"" + *c.tag + "\": the source account set has no such " +
                                patch::ParamNodeTypeCaption(c.kind) + " entry");
    }

    static void SetMember(patch::TNodeItem& node, const std::string& key, const std::string& name,
                          const json& value) {
        const patch::PropInfo* prop = node.ClassInfo().FindProperty(name);
        if (!prop) Bad(key, "a " + std::string(node.ClassName()) + " has no " + name);
        if (name == "TableType") {
            prop->setOrdinal(
                node, Choice<int>(value, key, {{"data", patch::ttData}, {"structure", patch::ttStructure}}));
        } else if (name == "SQLExecType") {
            prop->setOrdinal(node,
                             Choice<int>(value, key, {{"check", patch::seCheck}, {"update", patch::seExc}}));
        } else if (name == "DropBeforeCreate") {
            if (!value.is_boolean()) Bad(key, "must be true or false");
            prop->setOrdinal(node, value.get<bool>() ? 1 : 0);
        } else {
            if (!value.is_string()) Bad(key, "must be a text");
            prop->setText(node, value.get<std::string>());
        }
    }

    const Manifest& m_;
    platform::TTempFolder work_{"kestrane-build"};  // the run's own data file beside nobody else's
    ManifestInteraction ui_;
    app::TManager manager_;
};

const CommandGroup buildCommand([](CLI::App& app, const Options& options) {
    auto args = std::make_shared<BuildArgs>();
    auto* cmd = app.add_subcommand("build",
                                   "make a patch as the maker's wizard does, answering from a JSON manifest");
    cmd->add_option("MANIFEST", args->manifest, "the manifest (JSON)")->required();
    cmd->add_option("--program", args->program, "the program Kestrane.exe the patch is a copy of");
    cmd->add_flag("--yes", args->yes, "overwrite an existing patch file");
    cmd->callback([&options, args] {
        const Manifest manifest = ReadManifest(args->manifest);
        patch::RegisterStreamClasses();
        const app::TScopedHeadlessPages pages;
        std::string patchFile;
        {
            ProgressView progress(options);
            patchFile = WizardRun(manifest, *args, progress).Run();
        }
        Emit(options, {{"patch", patchFile}}, [&] { std::cout << "patch written: " << patchFile << '\n'; });
    });
});

}  // namespace
}  // namespace kestrane::cli

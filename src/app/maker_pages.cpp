#include "app/maker_pages.h"

#include "app/manager.h"
#include "app/texts.h"
#include "db/connect.h"
#include "db/texts.h"
#include "platform/file_system.h"
#include "product/install_path.h"
#include "support/format.h"
#include "support/text.h"

namespace kestrane::app {

using patch::ptBoth;
using patch::ptInstance;
using patch::ptNone;
using patch::ptProgram;
using support::Format;

namespace {

// A page that refuses to be left says why.
bool Refused(TManager& manager, const std::string& text) {
    manager.Interaction().ShowNotice(text, TBoxOwner::CurrentPage);
    return false;
}

}  // namespace

// ---- the patch-type page ----

TPatchTypeSetModel::TPatchTypeSetModel()
    : lbTitle(texts::kTypeTitle), lbText(texts::kTypeText), lbDescrip(texts::kStepDescrip) {}

void TPatchTypeSetModel::SelectPatchType(patch::TKVPatchType type) {
    rbProgram = type == ptProgram;
    rbInstance = type == ptInstance;
    rbBoth = !rbProgram && !rbInstance;
}

patch::TKVPatchType TPatchTypeSetModel::SelectedPatchType() const {
    if (rbProgram) return ptProgram;
    if (rbInstance) return ptInstance;
    if (rbBoth) return ptBoth;
    return ptNone;
}

bool TPatchTypeSetModel::EnterPage(patch::TBaseParamInfo& ParamInfo) {
    SelectPatchType(ParamInfo.PatchType);
    cbNotCheckVersion = ParamInfo.NotCheckVersion;
    cbNotUpdateVersion = ParamInfo.NotUpdateVersion;
    cbNotBackup = ParamInfo.NotBackup;
    RegInstallEdit = ParamInfo.RegInstallPath;
    return true;
}

bool TPatchTypeSetModel::LeavePage(patch::TBaseParamInfo& ParamInfo) {
    if (const patch::TKVPatchType type = SelectedPatchType(); type != ptNone) ParamInfo.PatchType = type;
    ParamInfo.NotCheckVersion = cbNotCheckVersion;
    ParamInfo.NotUpdateVersion = cbNotUpdateVersion;
    ParamInfo.NotBackup = cbNotBackup;
    if (RegInstallEdit != ParamInfo.RegInstallPath) {
        ParamInfo.RegInstallPath = RegInstallEdit;
        Manager->ChangeInstallPath(product::GetInstallPath(ParamInfo.RegInstallPath));
    }
    return true;
}

// ---- the database page ----

TDBInfoSetModel::TDBInfoSetModel()
    : lbTitle(texts::kDBTitle),
      lbText(texts::kDBText),
      lbDescrip(std::string(texts::kStepDescrip) + texts::kDBDescripTail) {}

bool TDBInfoSetModel::EnterPage(patch::TBaseParamInfo& ParamInfo) {
    for (const support::TDBInfoRec& r : ParamInfo.DBInfos) {
        if (r.DBType == support::dbtMsSql) {
            tsMsSQLVisible = true;
            ActivePage = tabMsSQL;
            cbIntegrated = r.Integrated;
            edtServer = r.Server;
            edtPort = std::to_string(r.Port);
            edtUser = r.User;
            edtPassword = r.Password;
        } else if (r.DBType == support::dbtOracle) {
            tsOracleVisible = true;
            edtServer_PL = r.Server;
            edtPort_PL = std::to_string(r.Port);
            edtSID_PL = r.SID;
            edtUser_PL = r.User;
            edtPassword_PL = r.Password;
        }
    }
    return true;
}

bool TDBInfoSetModel::LeavePage(patch::TBaseParamInfo& ParamInfo) {
    for (support::TDBInfoRec& r : ParamInfo.DBInfos) {
        if (r.DBType == support::dbtMsSql) {
            r.Integrated = cbIntegrated;
            r.Server = edtServer;
            r.Port = support::StrToIntDef(edtPort, 1433);
            r.User = edtUser;
            r.Password = edtPassword;
        } else if (r.DBType == support::dbtOracle) {
            r.Server = edtServer_PL;
            r.Port = support::StrToIntDef(edtPort_PL, 1521);
            r.SID = edtSID_PL;
            r.User = edtUser_PL;
            r.Password = edtPassword_PL;
        }
    }
    return true;
}

bool TDBInfoSetModel::CanShow() {
    return Manager->ParamInfo().DBInfos.empty();
}

void TDBInfoSetModel::cbIntegratedClick() {
    if (cbIntegrated) {
        edtUser.clear();
        edtPassword.clear();
    }
    UserPasswordEnabled = !cbIntegrated;
}

support::TDBInfoRec TDBInfoSetModel::TestRecord(support::TKVDataBaseType kind) const {
    support::TDBInfoRec r;
    r.DBType = kind;
    if (kind == support::dbtOracle) {
        r.Server = edtServer_PL;
        r.Port = support::StrToIntDef(edtPort_PL, 0);
        r.SID = edtSID_PL;
        r.User = edtUser_PL;
        r.Password = edtPassword_PL;
    } else {
        r.Integrated = cbIntegrated;
        r.Server = edtServer;
        r.Port = support::StrToIntDef(edtPort, 0);
        r.User = edtUser;
        r.Password = edtPassword;
    }
    return r;
}

bool TDBInfoSetModel::TestClick(support::TKVDataBaseType kind) {
    std::string errorText;
    const bool ok = db::TestConnection(TestRecord(kind), errorText);
    Manager->Interaction().ShowNotice(ok ? db::kTxtTestConnectionOk : errorText, TBoxOwner::CurrentPage);
    return ok;
}

// ---- the build page ----

std::string VersionOptionsText(bool notCheckVersion, bool notUpdateVersion) {
    return Format(texts::kVersionOptions,
                  std::string(notCheckVersion ? texts::kNotCheckVersion : texts::kCheckVersion) +
                      (notUpdateVersion ? texts::kNotUpdateVersion : texts::kUpdateVersion));
}

namespace {

std::string VersionList(const patch::TVersionArray& versions) {
    std::string list;
    for (const patch::TVersionPair& v : versions) list += Format(texts::kVersionListEntry, v.Tag, v.Name);
    return list.empty() ? list : list.substr(1);
}

}  // namespace

std::string VersionSummary(const patch::TPatchVersion& v) {
    std::string brings = texts::kVersionNone;
    std::string fits = texts::kVersionNone;
    switch (v.Type) {
        case ptProgram:
            brings = Format(texts::kVersionNewProgram, v.ProgramNewTag, v.ProgramNewName);
            fits = Format(texts::kVersionListProgram, VersionList(v.ProgramVersions));
            break;
        case ptInstance:
            brings = Format(texts::kVersionNewInstance, v.InstanceNewTag, v.InstanceNewName);
            fits = Format(texts::kVersionListInstance, VersionList(v.InstanceVersions));
            break;
        case ptBoth:
            brings = Format(texts::kVersionNewBoth, v.ProgramNewTag, v.ProgramNewName, v.InstanceNewTag,
                            v.InstanceNewName);
            fits = Format(texts::kVersionListBoth, VersionList(v.ProgramVersions),
                          VersionList(v.InstanceVersions));
            break;
        default:
            break;
    }
    return Format(texts::kVersionInfo, brings, fits);
}

std::string PatchFileNameOf(const std::string& folder, const std::string& name) {
    std::string file = platform::IncludeTrailingPathDelimiter(folder) + name;
    if (!support::EndsText(texts::kPatchExt, name)) file += texts::kPatchExt;
    return file;
}

TPatchBuildModel::TPatchBuildModel()
    : lbTitle(texts::kBuildTitle), lbText(texts::kBuildText), lbVersionInfo(VersionSummary(Version)) {}

bool TPatchBuildModel::EnterPage(patch::TBaseParamInfo& ParamInfo) {
    edtName = platform::ExtractFileName(ParamInfo.PatchFileName);
    edtDir = platform::ExtractFilePath(ParamInfo.PatchFileName);
    lbVersion = VersionOptionsText(ParamInfo.NotCheckVersion, ParamInfo.NotUpdateVersion);
    return true;
}

bool TPatchBuildModel::LeavePage(patch::TBaseParamInfo& ParamInfo) {
    if (edtName.empty()) return Refused(*Manager, texts::kNoPatchName);
    if (edtDir.empty()) return Refused(*Manager, texts::kNoPatchDir);
    if (!platform::DirectoryExists(edtDir)) return Refused(*Manager, texts::kDirMissing);
    ParamInfo.PatchFileName = PatchFileNameOf(edtDir, edtName);

    const patch::TResCollection& files = Manager->ResItems();
    if ((!ParamInfo.NotCheckVersion || !ParamInfo.NotUpdateVersion) && !files.FindByOptType(patch::otVersion))
        return Refused(*Manager, texts::kNoVersionFile);
    const bool program = ParamInfo.PatchType == ptProgram || ParamInfo.PatchType == ptBoth;
    const bool instance = ParamInfo.PatchType == ptInstance || ParamInfo.PatchType == ptBoth;
    if (program && files.HasNoUserFiles()) return Refused(*Manager, texts::kNoUserFiles);
    if (instance && Manager->InstResItems().AllEmpty()) return Refused(*Manager, texts::kNoAccountSetData);
    return true;
}

bool TPatchBuildModel::btnBrowseClick() {
    std::string directory = platform::ExtractFilePath(edtDir);
    if (!Manager->Interaction().ChooseFolder(texts::kBrowseSaveTitle, "", directory)) return false;
    edtDir = directory;
    return true;
}

void TPatchBuildModel::btnDesignClick() {
    Designer.Open(*Manager);
}

bool TPatchBuildModel::btnImportVersionClick() {
    std::string file;
    if (!Manager->Interaction().ChooseOpenFile(texts::kVersionFilter, texts::kVersionDefaultExt, file))
        return false;
    return ImportVersionFile(file);
}

bool TPatchBuildModel::ValidateVersionFile(const std::string& path) {
    if (!platform::FileExists(path)) return true;
    try {
        Version.LoadFromFile(path);
    } catch (const patch::EVersionFormatError&) {
        return Refused(*Manager, texts::kVersionBadFormat);
    } catch (const platform::EFileSystemError&) {
        // A file that cannot be read is no version file either.
        return Refused(*Manager, texts::kVersionBadFormat);
    }
    if (Version.Type != Manager->ParamInfo().PatchType) return Refused(*Manager, texts::kVersionTypeMismatch);
    return true;
}

bool TPatchBuildModel::ImportVersionFile(const std::string& path) {
    if (!ValidateVersionFile(path)) return false;
    patch::TResCollection& files = Manager->ResItems();
    if (patch::TResItem* old = files.FindByOptType(patch::otVersion)) files.Destroy(*old);
    files.AddFile(path).OptType = patch::otVersion;
    RefreshVersionInfo();
    return true;
}

bool TPatchBuildModel::btnOpenPatchClick() {
    TInteraction& ui = Manager->Interaction();
    if (!ui.AskConfirm(texts::kOpenPatchQuestion, TBoxOwner::CurrentPage)) return false;
    std::string file;
    if (!ui.ChooseOpenFile(texts::kPatchFilter, texts::kPatchDefaultExt, file)) return false;
    return OpenPatch(file);
}

bool TPatchBuildModel::OpenPatch(const std::string& file) {
    TManager& manager = *Manager;
    patch::TBaseParamInfo& params = manager.ParamInfo();
    manager.LoadPatchResources(file, ppParamData, false);
    if (!manager.LoadPatchResources(file, ppFileData | ppInstData, true)) return false;
    patch::TResCollection& files = manager.ResItems();
    params.NotCheckVersion = files.NotCheckVersion;
    params.NotUpdateVersion = files.NotUpdateVersion;
    if (files.PatchType != params.PatchType) {
        files.ClearItems();
        manager.InstResItems().ClearNodes();
        manager.Interaction().ShowNotice(texts::kPatchTypeMismatch, TBoxOwner::CurrentPage);
        return false;
    }
    params.PatchFileName = file;
    EnterPage(params);
    // The data files are made again by the next build, from the current source.
    for (std::size_t i = files.Count(); i-- > 0;) {
        patch::TResItem& item = files.Item(i);
        if (item.OptType == patch::otProgram)
            files.Destroy(item);
        else if (item.OptType == patch::otVersion)
            Version.LoadFromStream(item.MemStream);
    }
    RefreshVersionInfo();
    return true;
}

void TPatchBuildModel::RefreshVersionInfo() {
    lbVersionInfo = VersionSummary(Version);
}

}  // namespace kestrane::app

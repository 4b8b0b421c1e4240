#include "product/lmb_file_mng.h"

#include "db/connection.h"
#include "framework/blob_codec.h"
#include "framework/persist.h"
#include "framework/record.h"
#include "platform/file_system.h"
#include "product/command_params.h"
#include "product/install_facts.h"
#include "product/texts.h"
#include "support/text.h"

namespace kestrane::product {

using framework::TQELDBConnFactory;
using framework::TQELDBCtlgInfoRec;
using support::Bytes;
using support::TDBInfoRec;
using support::TInstanceRec;

TLmbFileMng::TLmbFileMng(const std::string& installPath) {
    LoadInstallation(installPath);
}

void TLmbFileMng::LoadInstallation(const std::string& folder) {
    // A folder picked by the user may come without its delimiter; the store's file names need it.
    const std::string path = folder.empty() ? folder : platform::IncludeTrailingPathDelimiter(folder);
    installPath_ = path;
    store_ = framework::TQELIntfPtr<framework::TQELSBDFProvider>::Make(path);
    factories_ = std::make_unique<framework::TQELDBConnFactorys>();
    // A list left from another installation would be renamed and saved into this one's store.
    instInfos_.clear();
    servers_.clear();
    accountSets_.clear();
    // Without a folder there is no store; relative names would read whatever the working folder holds.
    if (path.empty()) {
        storeKey_ = kSingleStoreKey;
        return;
    }
    storeKey_ = IsNetworkEdition(path) ? kNetworkStoreKey : kSingleStoreKey;
    LoadStoreValues();
    RemoveDuplicateCatalogs();
    EnumerateAccountSets();
}

Bytes TLmbFileMng::ReadStoreValue(std::int32_t V) {
    if (installPath_.empty()) return {};
    try {
        framework::TQELStoredValue value = store_->ReadValue(V, storeKey_);
        if (!value.Found || value.Bytes.empty()) return {};
        framework::InvertBytes(value.Bytes);
        return framework::DecompressBlob(value.Bytes, value.Trailer);
    } catch (const std::exception&) {
        return {};
    }
}

void TLmbFileMng::WriteStoreValue(std::int32_t V, const Bytes& B) {
    if (B.empty()) {
        store_->ClearValue(V, storeKey_);
        return;
    }
    Bytes stored = framework::CompressBlob(B, framework::clFastest);
    framework::InvertBytes(stored);
    store_->WriteValue(stored, V, storeKey_, static_cast<std::int32_t>(B.size()));
}

void TLmbFileMng::LoadStoreValues() {
    Bytes b = ReadStoreValue(kFactoriesValue);
    if (!b.empty()) factories_->LoadFromBlob(b);
    b = ReadStoreValue(kInstInfosValue);
    if (!b.empty()) framework::LoadRecordFromBlob(&b, &instInfos_, &TQELInstInfoDArrayType());
}

void TLmbFileMng::SaveStoreValues() {
    WriteStoreValue(kFactoriesValue, factories_->SaveToBlob());
    WriteStoreValue(kInstInfosValue, framework::SaveRecordToBlob(&instInfos_, &TQELInstInfoDArrayType()));
}

void TLmbFileMng::RemoveDuplicateCatalogs() {
    for (int f = factories_->Count() - 1; f >= 0; --f) {
        TQELDBConnFactory* factory = factories_->Factory(f);
        const framework::TQELDBCtlgInfoRecDArray catalogs = factory->Data.Catalogs;
        for (std::size_t i = catalogs.size(); i-- > 0;) {
            for (std::size_t j = 0; j < i; ++j) {
                if (catalogs[j].CtlgName == catalogs[i].CtlgName) {
                    factories_->DelDBCtlg(factory, catalogs[i].CtlgId, false);
                    break;
                }
            }
        }
    }
}

void TLmbFileMng::EnumerateAccountSets() {
    servers_.clear();
    accountSets_.clear();
    TDBInfoRec record;
    try {
        for (int f = factories_->Count() - 1; f >= 0; --f) {
            const TQELDBConnFactory& factory = *factories_->Factory(f);
            AddServer(factory, record);
            ScanFactory(factory, record);
        }
    } catch (...) {
        // Half a list would look like a complete one to the wizard.
        servers_.clear();
        accountSets_.clear();
        throw;
    }
}

void TLmbFileMng::AddServer(const TQELDBConnFactory& factory, TDBInfoRec& R) {
    const framework::TQELADOConnectionData& conn = factory.Data.ConnData;
    switch (framework::ServerKind(factory)) {
        case framework::skMsSql:
            R.DBType = support::dbtMsSql;
            R.Server = conn.DataSource;
            R.SID.clear();
            R.Port = 1433;
            break;
        case framework::skOracle: {
            R.DBType = support::dbtOracle;
            const std::size_t underscore = conn.DataSource.find('_');
            if (underscore == std::string::npos) {
                R.SID.clear();
                R.Server = conn.DataSource;
            } else {
                R.SID = conn.DataSource.substr(0, underscore);
                R.Server = conn.DataSource.substr(underscore + 1);
            }
            R.Port = 1521;
            break;
        }
        case framework::skEmbedded:
            R.DBType = support::dbAccess;
            R.Server = conn.DataSource;
            R.SID.clear();
            R.Port = 0;
            R.User.clear();
            R.Password.clear();
            R.Integrated = true;
            servers_.push_back(R);
            return;
        default:
            // Neither kind: the record of the factory handled before stands for this one too.
            servers_.push_back(R);
            return;
    }
    R.User = conn.UserID;
    R.Password = conn.ConnPassword;
    R.Integrated = conn.UserID.empty();
    servers_.push_back(R);
}

void TLmbFileMng::ScanFactory(const TQELDBConnFactory& factory, const TDBInfoRec& R) {
    db::Connection connection;
    if (factory.Data.ConnData.ConnectTimeout > 0)
        connection.SetConnectionTimeout(factory.Data.ConnData.ConnectTimeout);
    for (const TQELDBCtlgInfoRec& catalog : factory.Data.Catalogs) {
        if (support::SameText(catalog.CtlgName, texts::kCentralCatalog)) continue;
        connection.SetConnectionString(framework::CatalogConnectionString(factory, catalog));
        try {
            connection.Open();
        } catch (const std::exception& e) {
            if (OnMessage)
                OnMessage(this, std::string(texts::kLoadFailedOpen) + factory.Data.ConnData.DataSource +
                                    texts::kLoadFailedClose + e.what());
            connection.Close();
            continue;
        }
        TInstanceRec inst;
        ReadAccountInfo(connection, inst);
        inst.DBInfo = R;
        inst.DBName = catalog.CtlgName;
        accountSets_.push_back(std::move(inst));
    }
}

void ReadAccountInfo(db::Connection& connection, TInstanceRec& Inst) {
    const db::ClosedAfterUse closed(connection);
    Inst = TInstanceRec{};
    auto account = connection.Execute(texts::kSelectAccount);
    if (account && !account->Eof()) {
        Inst.AccountName = account->Value(0).AsString();
        Inst.InstanceID = support::StringToGuid(account->Value(1).AsString());
    }
    account.reset();
    try {
        auto version = connection.Execute(texts::kSelectVersion);
        if (version && !version->Eof()) Inst.Version = version->Value(0).AsString();
    } catch (const std::exception&) {
        // Older account sets have no version column.
    }
    Inst.Selected = false;
}

namespace {

Bytes FieldBytes(const support::Variant& v) {
    if (v.Type() == support::VarType::Bytes) return v.AsBytes();
    const std::string s = v.AsString();
    return Bytes(s.begin(), s.end());
}

}  // namespace

void TLmbFileMng::RenameAccountSet(const TInstanceRec& Inst) {
    TQELInstInfo* entry = nullptr;
    TQELDBConnFactory* factory = nullptr;
    TQELDBCtlgInfoRec catalog;
    for (TQELInstInfo& info : instInfos_) {
        factory = factories_->FindCatalog(info.InstRef, 0, catalog);
        if (factory && !catalog.CtlgName.empty() && catalog.CtlgName == Inst.DBName) {
            entry = &info;
            break;
        }
    }
    if (!entry) return;
    if (entry->InstName != Inst.AccountName) {
        entry->InstName = Inst.AccountName;
        SaveStoreValues();
    }
    // The element is a second copy of the name; the account set works without it.
    try {
        db::Connection connection(framework::CatalogConnectionString(*factory, catalog));
        connection.Open();
        Bytes data;
        {
            auto rows = connection.Execute(texts::kSelectInstElement);
            if (!rows || rows->Eof()) return;
            data = FieldBytes(rows->Value(0));
        }
        if (data.empty()) return;
        TQELDBInstance element;
        element.LoadFromBlob(data);
        if (element.InstName == Inst.AccountName) return;
        element.InstName = Inst.AccountName;
        ExecutePreparedCommand(connection, texts::kUpdateInstElement,
                               {support::Variant(element.SaveToBlob())},
                               framework::ServerKind(*factory) == framework::skOracle);
    } catch (const std::exception&) {
    }
}

}  // namespace kestrane::product

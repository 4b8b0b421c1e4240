#include "patch/param_info.h"

#include <stdexcept>

#include "patch/texts.h"
#include "support/text.h"

namespace kestrane::patch {

TBaseParamInfo::TBaseParamInfo() : RegInstallPath(texts::kDefaultRegInstallPath) {
    SetNeedCloseFileNames(texts::kDefaultNeedCloseFileNames);
}

void TBaseParamInfo::SetNeedCloseFileNames(std::string value) {
    needCloseFileNames_ = std::move(value);
    closeList_.clear();
    if (needCloseFileNames_.empty()) return;
    // Commas and typed line breaks both separate entries; a final separator adds none.
    for (const auto& line : support::SplitLines(support::ReplaceAll(needCloseFileNames_, ",", "\r\n"))) {
        const auto dash = line.find('-');
        if (dash == std::string::npos)
            closeList_.push_back({support::Trim(line), {}});
        else
            closeList_.push_back({support::Trim(std::string_view(line).substr(0, dash)),
                                  support::Trim(std::string_view(line).substr(dash + 1))});
    }
}

const std::string& TBaseParamInfo::CloseFileName(std::size_t i) const {
    if (i >= closeList_.size()) throw std::out_of_range("TBaseParamInfo::CloseFileName: index out of range");
    return closeList_[i].fileName;
}

const std::string& TBaseParamInfo::CloseFileCaption(std::size_t i) const {
    if (i >= closeList_.size())
        throw std::out_of_range("TBaseParamInfo::CloseFileCaption: index out of range");
    return closeList_[i].caption;
}

support::TKVDataBaseTypes TBaseParamInfo::GetSelectedDBSQLTypes() const {
    support::TKVDataBaseTypes types;
    for (const auto& inst : Instances) {
        if (!inst.Selected) continue;
        const auto kind = inst.DBInfo.DBType;
        if (kind == support::dbtMsSql || kind == support::dbtOracle || kind == support::dbAccess)
            types.Include(kind);
    }
    return types;
}

}  // namespace kestrane::patch

#include "db/connection_string.h"

#include "support/text.h"

namespace kestrane::db {

std::vector<std::pair<std::string, std::string>> SplitConnectionString(std::string_view text) {
    std::vector<std::pair<std::string, std::string>> parts;
    for (const std::string& part : support::Split(text, ';')) {
        if (part.empty()) continue;
        const auto eq = part.find('=');
        if (eq == std::string::npos)
            parts.emplace_back(part, std::string());
        else
            parts.emplace_back(part.substr(0, eq), part.substr(eq + 1));
    }
    return parts;
}

std::string ConnectionStringValue(std::string_view text, std::string_view key) {
    for (const auto& [k, v] : SplitConnectionString(text))
        if (support::SameText(k, key)) return v;
    return {};
}

std::string ConnectionStringValueTrimmed(std::string_view text, std::string_view key) {
    for (const auto& [k, v] : SplitConnectionString(text))
        if (support::SameText(support::Trim(k), key)) return support::Trim(v);
    return {};
}

}  // namespace kestrane::db

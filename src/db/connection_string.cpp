#include "db/connection_string.h"

#include "db/connection.h"
#include "db/texts.h"
#include "support/text.h"

namespace kestrane::db {

namespace {

using support::IsBlank;

std::vector<ConnectionStringPart> Parse(std::string_view text) {
    std::vector<ConnectionStringPart> parts;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t end = text.find(';', i);
        const std::size_t eq = text.find('=', i);
        if (eq == std::string_view::npos || (end != std::string_view::npos && eq > end)) {
            // A part without "=": a key of its own with an empty value.
            const std::string_view part = text.substr(i, end == std::string_view::npos ? end : end - i);
            if (!part.empty()) parts.push_back({std::string(part), {}, false});
            i = end == std::string_view::npos ? text.size() : end + 1;
            continue;
        }
        ConnectionStringPart p;
        p.key = std::string(text.substr(i, eq - i));
        std::size_t v = eq + 1;
        std::size_t q = v;
        while (q < text.size() && IsBlank(text[q]) && text[q] != ';') ++q;
        if (q < text.size() && (text[q] == '"' || text[q] == '\'')) {
            const char quote = text[q];
            p.quoted = true;
            std::size_t k = q + 1;
            for (;;) {
                if (k >= text.size()) throw EDatabaseError(kTxtBadConnectionString);
                if (text[k] == quote) {
                    if (k + 1 < text.size() && text[k + 1] == quote) {
                        p.value += quote;
                        k += 2;
                        continue;
                    }
                    ++k;
                    break;
                }
                p.value += text[k++];
            }
            while (k < text.size() && IsBlank(text[k]) && text[k] != ';') ++k;
            if (k < text.size() && text[k] != ';') throw EDatabaseError(kTxtBadConnectionString);
            i = k < text.size() ? k + 1 : k;
        } else {
            const std::size_t stop = end == std::string_view::npos ? text.size() : end;
            p.value = std::string(text.substr(v, stop - v));
            i = end == std::string_view::npos ? text.size() : end + 1;
        }
        parts.push_back(std::move(p));
    }
    return parts;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> SplitConnectionString(std::string_view text) {
    std::vector<std::pair<std::string, std::string>> out;
    for (ConnectionStringPart& p : Parse(text)) out.emplace_back(std::move(p.key), std::move(p.value));
    return out;
}

std::vector<ConnectionStringPart> ConnectionStringParts(std::string_view text) {
    return Parse(text);
}

std::string ConnectionStringValue(std::string_view text, std::string_view key) {
    for (ConnectionStringPart& p : Parse(text))
        if (support::SameText(p.key, key)) return std::move(p.value);
    return {};
}

std::string ConnectionStringValueTrimmed(std::string_view text, std::string_view key) {
    for (ConnectionStringPart& p : Parse(text))
        if (support::SameText(support::Trim(p.key), key))
            return p.quoted ? std::move(p.value) : support::Trim(p.value);
    return {};
}

}  // namespace kestrane::db

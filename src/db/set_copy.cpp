#include "db/set_copy.h"

#include <vector>

#include "db/sqlite_driver.h"
#include "support/format.h"
#include "support/text.h"

namespace kestrane::db {

using support::Format;
using support::SameText;

namespace {

bool IsWordChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}

// SQLite's column affinity of a declared type, by its own rules.
enum class Affinity { Integer, Text, Blob, Real, Numeric };

Affinity AffinityOf(std::string_view declared) {
    const std::string d = support::UpperCase(declared);
    if (d.find("INT") != std::string::npos) return Affinity::Integer;
    if (d.find("CHAR") != std::string::npos || d.find("CLOB") != std::string::npos ||
        d.find("TEXT") != std::string::npos)
        return Affinity::Text;
    if (d.find("BLOB") != std::string::npos || support::Trim(d).empty()) return Affinity::Blob;
    if (d.find("REAL") != std::string::npos || d.find("FLOA") != std::string::npos ||
        d.find("DOUB") != std::string::npos)
        return Affinity::Real;
    return Affinity::Numeric;
}

bool IsNumericAffinity(Affinity a) {
    return a == Affinity::Integer || a == Affinity::Real || a == Affinity::Numeric;
}

struct Column {
    std::string name;
    std::string declared;
    bool hasDefault = false;
    bool notNull = false;
};

std::vector<Column> ColumnsOf(Connection& c, const std::string& schema, const std::string& table) {
    std::vector<Column> out;
    auto rs = c.driver().Execute("pragma " + schema + ".table_info('" + support::QuotedSqlText(table) + "')");
    for (; rs && !rs->Eof(); rs->MoveNext())
        out.push_back({rs->Value("name").AsString(), rs->Value("type").AsString(),
                       !rs->Value("dflt_value").IsNullOrEmpty(), rs->Value("notnull").AsInt64() != 0});
    return out;
}

std::string QuoteName(const std::string& name) {
    return "\"" + support::ReplaceAll(name, "\"", "\"\"") + "\"";
}

// The value the row-wise copy binds for column `c`, whose values are typed by `source` and land in a
// column of `target` affinity. Comparisons sort by storage class (numbers < texts < blobs, with ''
// the least text and x'' the least blob), which tells the classes apart without a function call; only
// values the row-wise path would change go through the engine's conversion.
std::string ValueExpression(const std::string& c, const Column& source, Affinity target) {
    const DeclaredType t = MapDeclaredType(source.declared);
    const std::string convert = Format("%0:s(%1:s, %2:d, %3:d)", kEngineValueFunction, c, t.Type, t.Size);
    const auto when = [&](const std::string& condition, const std::string& then,
                          const std::string& otherwise) {
        return "case when " + condition + " then " + then + " else " + otherwise + " end";
    };
    const Affinity affinity = AffinityOf(source.declared);
    // Without its affinity the column compares by storage class alone, with no conversion of the
    // other operand.
    const std::string bare = "+" + c;
    switch (t.Type) {
        case adWChar:
        case adVarWChar:
        case adLongVarWChar:
            // Texts pass; numbers and blobs become texts. A column of text affinity holds no numbers,
            // and a blob cast to text keeps its bytes, as the row-wise copy's text of it does.
            if (affinity == Affinity::Text) return "cast(" + c + " as text)";
            return when(bare + " < '' or " + bare + " >= x''", convert, c);
        case adGUID:
            // Texts and numbers pass; blobs become GUID texts (or fail as a row-wise insert does).
            return when(bare + " >= x''", convert, c);
        case adBinary:
        case adVarBinary:
        case adLongVarBinary:
            return t.Size == 16 ? when(bare + " >= x''", convert, c) : c;
        case adBoolean:
            // A column of numeric affinity holds 0 and 1 as integers, which pass.
            if (affinity != Affinity::Numeric && affinity != Affinity::Integer) return convert;
            return "case when " + bare + " in (0, 1) then " + c + " when " + c + " is null then null else " +
                   convert + " end";
        case adNumeric:
        case adCurrency:
        case adDecimal:
        case adVarNumeric:
            // Numbers go as integers or doubles of their own value, which a numeric column stores as
            // it stores the number itself; texts are read as decimals.
            if (!IsNumericAffinity(target)) return convert;
            return when(bare + " >= '' and " + bare + " < x''", convert, c);
        case adSingle:
        case adDouble:
            // A column of real affinity holds no integers; a double passes.
            return affinity == Affinity::Real ? c : convert;
        case adDate:
        case adDBDate:
        case adDBTime:
        case adDBTimeStamp:
            return convert;
        default:
            return c;
    }
}

}  // namespace

bool SetCopyFilterAllowed(std::string_view filter) {
    int depth = 0;
    bool first = true;
    for (std::size_t i = 0; i < filter.size();) {
        const char ch = filter[i];
        if (static_cast<unsigned char>(ch) <= ' ') {
            ++i;
        } else if (ch == '\'' || ch == '"' || ch == '`' || ch == '[') {
            const char close = ch == '[' ? ']' : ch;
            std::size_t j = i + 1;
            for (;; ++j) {
                if (j >= filter.size()) return false;
                if (filter[j] != close) continue;
                if (close != ']' && j + 1 < filter.size() && filter[j + 1] == close) {
                    ++j;
                    continue;
                }
                break;
            }
            if (first) return false;
            i = j + 1;
        } else if (IsWordChar(ch)) {
            std::size_t j = i;
            while (j < filter.size() && IsWordChar(filter[j])) ++j;
            const std::string_view word = filter.substr(i, j - i);
            if (first && !SameText(word, "and")) return false;
            for (const char* refused : {"select", "order", "group", "having", "limit", "union", "except",
                                        "intersect", "window", "values"})
                if (SameText(word, refused)) return false;
            i = j;
            first = false;
        } else {
            if (first) return false;
            if (ch == ';') return false;
            if ((ch == '-' || ch == '/') && i + 1 < filter.size() && filter[i + 1] == (ch == '-' ? '-' : '*'))
                return false;
            if (ch == '(') ++depth;
            if (ch == ')' && --depth < 0) return false;
            ++i;
        }
    }
    return depth == 0;
}

std::string SetCopyStatement(Connection& target, const std::string& tableName, const std::string& filter) {
    const std::vector<Column> sources = ColumnsOf(target, kSetCopySource, tableName);
    const std::vector<Column> targets = ColumnsOf(target, "main", tableName);
    if (sources.empty()) return {};
    // A row with a value that may not be null is never a row of nulls only.
    bool someNotNull = false;
    std::string names, values, present;
    for (const Column& s : sources) {
        someNotNull = someNotNull || s.notNull;
        const Column* t = nullptr;
        for (const Column& c : targets)
            if (SameText(c.name, s.name)) t = &c;
        if (!t || t->hasDefault) return {};
        const std::string c = QuoteName(s.name);
        names += ",[" + support::UpperCase(s.name) + "]";  // as a row-wise insert names them
        values += (values.empty() ? "" : ", ") + ValueExpression(c, s, AffinityOf(t->declared));
        // The unary plus keeps the planner from reading the rows in another order through an index.
        present += (present.empty() ? "+" : " or +") + c + " is not null";
    }
    std::string sql = "insert into " + tableName + "(" + names.substr(1) + ")\r\nselect " + values +
                      " from " + kSetCopySource + "." + tableName + " where (1=1 " + filter + ")";
    if (!someNotNull) sql += " and (" + present + ")";
    return sql;
}

}  // namespace kestrane::db

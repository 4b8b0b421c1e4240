#include "stream_report.h"

#include <nettle/sha2.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <set>

#include "cli.h"
#include "platform/file_system.h"
#include "support/text.h"

namespace kestrane::cli {
namespace {

namespace fs = std::filesystem;

// Hashes each content and, with a folder given, writes it there piece by piece. Each file appears
// whole or not at all.
class FileSink : public patch::StreamFileSink {
  public:
    explicit FileSink(const DecodeOptions& options) : options_(options) {}

    void Begin(const std::string& itemName, StreamFile& file) override {
        sha256_init(&sha_);
        out_.reset();
        if (options_.filesDir.empty()) return;
        std::error_code ec;
        fs::create_directories(options_.filesDir, ec);
        file.savedAs = OutputPath(itemName);
        // Checked here so that nothing is inflated for a file that cannot be written; the commit
        // checks again.
        if (!options_.force && fs::symlink_status(file.savedAs, ec).type() != fs::file_type::not_found)
            throw CommandFailed(file.savedAs + " already exists (--force replaces it)");
        try {
            out_.emplace(file.savedAs, platform::TReplaceOptions{.keepExisting = !options_.force});
        } catch (const platform::EFileSystemError& e) {
            throw CommandFailed("cannot write " + file.savedAs + ": " + e.Reason());
        }
    }

    void Write(std::span<const std::uint8_t> piece) override {
        sha256_update(&sha_, piece.size(), piece.data());
        if (!out_) return;
        try {
            out_->Write(piece);
        } catch (const platform::EFileSystemError& e) {
            throw CommandFailed("cannot write " + out_->Target() + ": " + e.Reason());
        }
    }

    void End(StreamFile& file) override {
        std::uint8_t digest[SHA256_DIGEST_SIZE];
        sha256_digest(&sha_, sizeof digest, digest);
        file.sha256 = support::HexText(digest, true);
        if (!out_) return;
        try {
            out_->Commit();
        } catch (const platform::EFileSystemError& e) {
            if (e.Code() == EEXIST)
                throw CommandFailed(file.savedAs + " already exists (--force replaces it)");
            throw CommandFailed("cannot write " + file.savedAs + ": " + e.Reason());
        }
        out_.reset();
    }

  private:
    // The item's name, or a free one: a name written before is never written again.
    std::string OutputPath(const std::string& itemName) {
        const std::size_t number = ++fileCount_;
        std::string name = platform::IsPlainFileName(itemName) ? itemName : "item" + std::to_string(number);
        for (std::size_t n = number; written_.count(name); ++n)
            name = std::to_string(n) + "-" + (platform::IsPlainFileName(itemName) ? itemName : "item");
        written_.insert(name);
        return (fs::path(options_.filesDir) / name).string();
    }

    const DecodeOptions& options_;
    sha256_ctx sha_{};
    std::optional<platform::TReplacementFile> out_;
    std::size_t fileCount_ = 0;
    std::set<std::string> written_;
};

void Text(const StreamRecord& r, int depth, std::string& out) {
    const std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
    out += indent + "object " + (r.objectName.empty() ? "" : r.objectName + ": ") + r.className + "\n";
    for (const StreamProperty& p : r.properties) {
        out += indent + "  " + p.name + " = ";
        switch (p.kind) {
            case StreamProperty::Integer:
                out += std::to_string(p.integer);
                break;
            case StreamProperty::Boolean:
                out += p.boolean ? "True" : "False";
                break;
            case StreamProperty::Identifier:
                out += p.text;
                break;
            case StreamProperty::Text:
                out += QuoteText(p.text);
                break;
            case StreamProperty::FileData:
                out += "{" + std::to_string(p.file.size) + " bytes, SHA-256 " + p.file.sha256;
                if (!p.file.savedAs.empty()) out += ", saved as " + p.file.savedAs;
                out += "}";
                break;
        }
        out += "\n";
    }
    for (const StreamRecord& c : r.children) Text(c, depth + 1, out);
    out += indent + "end\n";
}

}  // namespace

StreamRecord DecodeStream(std::span<const std::uint8_t> bytes, const DecodeOptions& options) {
    FileSink sink(options);
    return patch::DecodeStream(bytes, &sink);
}

std::string QuoteText(std::string_view text) {
    std::string out;
    bool quoted = false;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20) {
            if (quoted) out += '\'';
            quoted = false;
            out += '#' + std::to_string(u);
            continue;
        }
        if (!quoted) out += '\'';
        quoted = true;
        out += c;
        if (c == '\'') out += '\'';
    }
    if (quoted) out += '\'';
    return out.empty() ? "''" : out;
}

std::string StreamText(const StreamRecord& root) {
    std::string out;
    Text(root, 0, out);
    return out;
}

nlohmann::ordered_json StreamJson(const StreamRecord& r) {
    nlohmann::ordered_json properties = nlohmann::ordered_json::object();
    for (const StreamProperty& p : r.properties) {
        switch (p.kind) {
            case StreamProperty::Integer:
                properties[p.name] = p.integer;
                break;
            case StreamProperty::Boolean:
                properties[p.name] = p.boolean;
                break;
            case StreamProperty::Identifier:
            case StreamProperty::Text:
                properties[p.name] = p.text;
                break;
            case StreamProperty::FileData: {
                nlohmann::ordered_json file = {{"size", p.file.size}, {"sha256", p.file.sha256}};
                if (!p.file.savedAs.empty()) file["file"] = p.file.savedAs;
                properties[p.name] = file;
                break;
            }
        }
    }
    nlohmann::ordered_json children = nlohmann::ordered_json::array();
    for (const StreamRecord& c : r.children) children.push_back(StreamJson(c));
    return {
        {"class", r.className}, {"name", r.objectName}, {"properties", properties}, {"children", children}};
}

}  // namespace kestrane::cli

#include "stream_text.h"

#include <nettle/sha2.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "cli.h"
#include "patch/component_stream.h"
#include "patch/texts.h"
#include "support/codepage.h"
#include "support/text.h"

namespace kestrane::cli {
namespace {

namespace fs = std::filesystem;
namespace texts = patch::texts;

[[noreturn]] void Fail(const char* message) {
    throw patch::EStreamError(message);
}

std::string Hex(const std::uint8_t* p, std::size_t n) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string r;
    for (std::size_t i = 0; i < n; ++i) {
        r += kDigits[p[i] >> 4];
        r += kDigits[p[i] & 15];
    }
    return r;
}

bool IsPlainFileName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

// Walks the records of a stream the patch reader has accepted; bounds are still checked here.
class Decoder {
  public:
    Decoder(std::span<const std::uint8_t> in, const DecodeOptions& options) : in_(in), options_(options) {}

    StreamRecord Root() {
        pos_ = 4;
        return Record(0);
    }

  private:
    std::uint8_t Byte() {
        if (pos_ >= in_.size()) Fail(texts::kStreamReadError);
        return in_[pos_++];
    }
    std::uint8_t Peek() const {
        if (pos_ >= in_.size()) Fail(texts::kStreamReadError);
        return in_[pos_];
    }
    std::span<const std::uint8_t> Take(std::uint64_t n) {
        if (n > in_.size() - pos_) Fail(texts::kStreamReadError);
        auto r = in_.subspan(pos_, static_cast<std::size_t>(n));
        pos_ += static_cast<std::size_t>(n);
        return r;
    }
    std::uint32_t U32() {
        const auto b = Take(4);
        return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
               static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
    }
    std::string_view Chars(std::uint64_t n) {
        const auto b = Take(n);
        return {reinterpret_cast<const char*>(b.data()), b.size()};
    }
    std::string ShortString() { return std::string(Chars(Byte())); }

    std::int32_t IntegerPayload(std::uint8_t tag) {
        switch (tag) {
            case 0x02:
                return static_cast<std::int8_t>(Byte());
            case 0x03: {
                const auto b = Take(2);
                return static_cast<std::int16_t>(static_cast<std::uint16_t>(b[0] | b[1] << 8));
            }
            case 0x04:
                return static_cast<std::int32_t>(U32());
            default:
                Fail(texts::kInvalidPropertyValue);
        }
    }

    StreamRecord Record(int depth) {
        if (depth > 64) Fail(texts::kInvalidStreamFormat);
        if ((Peek() & 0xF0) == 0xF0 && (Byte() & 0x02)) IntegerPayload(Byte());
        StreamRecord r;
        r.className = ShortString();
        r.objectName = ShortString();
        // Object names are not checked by the reader; keep what is shown text.
        for (auto& c : r.objectName)
            if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x80) c = '?';
        const patch::TClassInfo* info = patch::FindStreamClass(r.className);
        std::string itemName;
        while (Peek() != 0) {
            StreamProperty p;
            p.name = ShortString();
            if (info && info->HasFileData() && !info->FindProperty(p.name) &&
                support::SameText(p.name, texts::kResFileData)) {
                p.kind = StreamProperty::FileData;
                p.file = FileData(itemName);
            } else {
                Value(p);
                if (p.kind == StreamProperty::Text && support::SameText(p.name, "Name")) itemName = p.text;
            }
            r.properties.push_back(std::move(p));
        }
        ++pos_;
        while (Peek() != 0) r.children.push_back(Record(depth + 1));
        ++pos_;
        return r;
    }

    void Value(StreamProperty& p) {
        const std::uint8_t tag = Byte();
        switch (tag) {
            case 0x02:
            case 0x03:
            case 0x04:
                p.kind = StreamProperty::Integer;
                p.integer = IntegerPayload(tag);
                return;
            case 0x07:
                p.kind = StreamProperty::Identifier;
                p.text = ShortString();
                return;
            case 0x08:
            case 0x09:
                p.kind = StreamProperty::Boolean;
                p.boolean = tag == 0x09;
                return;
            case 0x06:
            case 0x0C: {
                const std::string_view s = tag == 0x06 ? Chars(Byte()) : Chars(U32());
                p.kind = StreamProperty::Text;
                p.text = support::IsAscii(s) ? std::string(s) : support::Cp936ToUtf8(s);
                return;
            }
            case 0x12: {
                const std::uint32_t units = U32();
                const auto b = Take(std::uint64_t{2} * units);
                std::u16string utf16(units, u'\0');
                for (std::size_t i = 0; i < units; ++i)
                    utf16[i] = static_cast<char16_t>(b[2 * i] | b[2 * i + 1] << 8);
                p.kind = StreamProperty::Text;
                p.text = support::Utf16ToUtf8(utf16);
                return;
            }
            case 0x14:
                p.kind = StreamProperty::Text;
                p.text = std::string(Chars(U32()));
                return;
            default:
                Fail(texts::kInvalidPropertyValue);
        }
    }

    std::string OutputPath(const std::string& itemName) {
        const std::string number = std::to_string(++fileCount_);
        std::string name = IsPlainFileName(itemName) ? itemName : "item" + number;
        if (!written_.insert(name).second) {
            name = number + "-" + name;
            written_.insert(name);
        }
        return (fs::path(options_.filesDir) / name).string();
    }

    // Inflated in pieces straight into the hash and the output file: the content is never held whole.
    StreamFile FileData(const std::string& itemName) {
        const auto n = static_cast<std::int32_t>(U32());
        const auto in = n > 0 ? Take(static_cast<std::uint64_t>(n)) : std::span<const std::uint8_t>{};
        StreamFile file;
        std::ofstream out;
        if (!options_.filesDir.empty()) {
            std::error_code ec;
            fs::create_directories(options_.filesDir, ec);
            file.savedAs = OutputPath(itemName);
            out.open(file.savedAs, std::ios::binary | std::ios::trunc);
            if (!out) throw CommandFailed("cannot write " + file.savedAs);
        }
        sha256_ctx sha;
        sha256_init(&sha);
        if (!in.empty()) {
            z_stream z{};
            if (inflateInit(&z) != Z_OK) Fail(texts::kZlibError);
            struct End {
                z_stream& z;
                ~End() { inflateEnd(&z); }
            } end{z};
            std::vector<std::uint8_t> chunk(1 << 18);
            z.next_in = const_cast<Bytef*>(in.data());
            z.avail_in = static_cast<uInt>(in.size());
            int rc = Z_OK;
            while (rc != Z_STREAM_END) {
                z.next_out = chunk.data();
                z.avail_out = static_cast<uInt>(chunk.size());
                rc = inflate(&z, Z_NO_FLUSH);
                if (rc != Z_OK && rc != Z_STREAM_END) Fail(texts::kZlibError);
                const std::size_t got = chunk.size() - z.avail_out;
                if (got == 0 && rc == Z_OK && z.avail_in == 0) Fail(texts::kZlibError);
                sha256_update(&sha, got, chunk.data());
                if (out)
                    out.write(reinterpret_cast<const char*>(chunk.data()), static_cast<std::streamsize>(got));
                file.size += got;
            }
        }
        std::uint8_t digest[SHA256_DIGEST_SIZE];
        sha256_digest(&sha, sizeof digest, digest);
        file.sha256 = Hex(digest, sizeof digest);
        if (out.is_open() && !out.flush()) throw CommandFailed("cannot write " + file.savedAs);
        return file;
    }

    std::span<const std::uint8_t> in_;
    const DecodeOptions& options_;
    std::size_t pos_ = 0;
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
    patch::RegisterStreamClasses();
    patch::ReadObjectStream(bytes);  // the reader's verdict and messages
    return Decoder(bytes, options).Root();
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

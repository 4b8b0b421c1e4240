#include "patch/stream_text.h"

#include <zlib.h>

#include "patch/class_info.h"
#include "patch/component_stream.h"
#include "patch/stream_bytes.h"
#include "patch/texts.h"
#include "support/text.h"

namespace kestrane::patch {
namespace {

using namespace detail;

[[noreturn]] void Fail(const char* message) {
    throw EStreamError(message);
}

// Walks the records of a stream the patch reader has accepted; bounds are still checked here.
class Decoder {
  public:
    Decoder(std::span<const std::uint8_t> in, StreamFileSink* sink) : in_(in), sink_(sink) {}

    StreamRecord Root() {
        in_.Seek(4);
        return Record(0);
    }

  private:
    StreamRecord Record(int depth) {
        if (depth > 64) Fail(texts::kInvalidStreamFormat);
        in_.SkipRecordPrefix();
        StreamRecord r;
        r.className = std::string(in_.ShortString());
        // Object names are not checked by the reader; keep what is shown text.
        r.objectName = Printable(in_.ShortString());
        const TClassInfo* info = FindStreamClass(r.className);
        std::string itemName;
        while (in_.Peek() != vaNull) {
            StreamProperty p;
            p.name = std::string(in_.ShortString());
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
        in_.Byte();
        while (in_.Peek() != vaNull) r.children.push_back(Record(depth + 1));
        in_.Byte();
        return r;
    }

    void Value(StreamProperty& p) {
        const std::uint8_t tag = in_.Byte();
        switch (tag) {
            case vaInt8:
            case vaInt16:
            case vaInt32:
                p.kind = StreamProperty::Integer;
                p.integer = in_.IntegerPayload(tag);
                return;
            case vaIdent:
                p.kind = StreamProperty::Identifier;
                p.text = std::string(in_.ShortString());
                return;
            case vaFalse:
            case vaTrue:
                p.kind = StreamProperty::Boolean;
                p.boolean = tag == vaTrue;
                return;
            case vaString:
            case vaLString:
                p.kind = StreamProperty::Text;
                p.text = AnsiText(tag == vaString ? in_.ShortString() : in_.Chars(in_.U32()));
                return;
            case vaWString:
                p.kind = StreamProperty::Text;
                p.text = in_.WideStringPayload();
                return;
            case vaUTF8String:
                p.kind = StreamProperty::Text;
                p.text = std::string(in_.Chars(in_.U32()));
                return;
            default:
                Fail(texts::kInvalidPropertyValue);
        }
    }

    StreamFile FileData(const std::string& itemName) {
        const auto n = static_cast<std::int32_t>(in_.U32());
        const auto in = n > 0 ? in_.Take(static_cast<std::uint64_t>(n)) : std::span<const std::uint8_t>{};
        StreamFile file;
        if (sink_) sink_->Begin(itemName, file);
        if (!in.empty()) Inflate(in, file);
        if (sink_) sink_->End(file);
        return file;
    }

    void Inflate(std::span<const std::uint8_t> in, StreamFile& file) {
        Inflater inflater;
        z_stream& z = inflater.z();
        chunk_.resize(1 << 18);
        z.next_in = const_cast<Bytef*>(in.data());
        z.avail_in = static_cast<uInt>(in.size());
        int rc = Z_OK;
        while (rc != Z_STREAM_END) {
            z.next_out = chunk_.data();
            z.avail_out = static_cast<uInt>(chunk_.size());
            rc = inflate(&z, Z_NO_FLUSH);
            if (rc != Z_OK && rc != Z_STREAM_END) Fail(texts::kZlibError);
            const std::size_t got = chunk_.size() - z.avail_out;
            if (got == 0 && rc == Z_OK && z.avail_in == 0) Fail(texts::kZlibError);
            if (sink_ && got > 0) sink_->Write(std::span(chunk_).first(got));
            file.size += got;
        }
    }

    StreamBytes in_;
    StreamFileSink* sink_;
    std::vector<std::uint8_t> chunk_;
};

}  // namespace

StreamRecord DecodeStream(std::span<const std::uint8_t> bytes, StreamFileSink* sink) {
    RegisterStreamClasses();
    CheckObjectStream(bytes);  // the reader's verdict and messages
    return Decoder(bytes, sink).Root();
}

}  // namespace kestrane::patch

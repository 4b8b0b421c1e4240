#include "patch/component_stream.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "patch/inst_res_items.h"
#include "patch/param_info.h"
#include "patch/res_items.h"
#include "patch/stream_bytes.h"
#include "patch/texts.h"
#include "support/codepage.h"
#include "support/format.h"
#include "support/little_endian.h"
#include "support/text.h"

namespace kestrane::patch {
namespace {

using namespace detail;

constexpr std::uint8_t kSignature[4] = {'T', 'P', 'F', '0'};
constexpr std::string_view kFileData = "FILEDATA";

// The patch model nests three levels; anything much deeper is not a stream of this system and would
// only exhaust the stack.
constexpr int kMaxDepth = 32;

// zlib counts in uInt; larger buffers go through in pieces of this size.
constexpr std::size_t kZChunk = 1u << 30;

std::vector<const TClassInfo*>& Registry() {
    static std::vector<const TClassInfo*> classes;
    return classes;
}

[[noreturn]] void Fail(const char* message) {
    throw EStreamError(message);
}

// ---- writing ----

// The FILEDATA contents of a tree in the order the writer meets them.
void CollectFileData(const TResBase& object, std::vector<const support::Bytes*>& contents) {
    const TClassInfo& info = object.ClassInfo();
    if (info.HasFileData()) contents.push_back(&info.FileData().get(object));
    for (std::size_t i = 0; i < object.ChildCount(); ++i) CollectFileData(object.Child(i), contents);
}

// Compresses the FILEDATA contents on worker threads, in write order and at most a few ahead of the
// writer, which takes each result in turn. Every content is its own zlib stream, so the bytes are
// those of compressing them one after another.
class Compressor {
  public:
    struct Result {
        std::unique_ptr<std::uint8_t[]> data;  // not zeroed: only the compressed bytes are ever touched
        uLongf size = 0;
        int rc = Z_OK;
        bool done = false;
    };

    // Goes on with the threads that could be started; throws std::system_error when none could.
    Compressor(std::vector<const support::Bytes*> contents, unsigned threads)
        : contents_(std::move(contents)), results_(contents_.size()), window_(2 * std::size_t{threads}) {
        for (unsigned i = 0; i < threads; ++i) {
            try {
                workers_.emplace_back([this] { Work(); });
            } catch (const std::system_error&) {
                if (workers_.empty()) throw;
                break;
            }
        }
    }
    // A writer that fails part way lets the workers finish what they hold and stops them.
    ~Compressor() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        room_.notify_all();
        for (std::thread& t : workers_) t.join();
    }
    Compressor(const Compressor&) = delete;
    Compressor& operator=(const Compressor&) = delete;

    // The result of content i, taken in order; waits for it.
    Result Take(std::size_t i) {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [&] { return results_[i].done; });
        Result result = std::move(results_[i]);
        taken_ = i + 1;
        lock.unlock();
        room_.notify_all();
        return result;
    }

  private:
    void Work() {
        std::unique_lock lock(mutex_);
        for (;;) {
            room_.wait(lock, [&] { return stop_ || next_ == contents_.size() || next_ < taken_ + window_; });
            if (stop_ || next_ == contents_.size()) return;
            const std::size_t i = next_++;
            lock.unlock();
            Result result = Compress(*contents_[i]);
            lock.lock();
            results_[i] = std::move(result);
            results_[i].done = true;
            ready_.notify_all();
        }
    }

    static Result Compress(const support::Bytes& content) {
        Result r;
        const uLong bound = compressBound(static_cast<uLong>(content.size()));
        try {
            r.data = std::make_unique_for_overwrite<std::uint8_t[]>(bound);
        } catch (const std::bad_alloc&) {
            r.rc = Z_MEM_ERROR;
            return r;
        }
        r.size = bound;
        r.rc = compress2(r.data.get(), &r.size, content.data(), static_cast<uLong>(content.size()),
                         Z_BEST_COMPRESSION);
        return r;
    }

    const std::vector<const support::Bytes*> contents_;
    std::vector<Result> results_;
    const std::size_t window_;  // started but not yet taken, at most
    std::size_t next_ = 0;      // the next content to start
    std::size_t taken_ = 0;     // contents the writer has taken
    bool stop_ = false;
    std::mutex mutex_;
    std::condition_variable ready_;  // a result is done
    std::condition_variable room_;   // the writer took one, or the end
    std::vector<std::thread> workers_;
};

class Writer {
  public:
    // With a compressor the contents come from it in order; without one they are compressed here.
    Writer(support::Bytes& out, Compressor* compressor) : out_(out), compressor_(compressor) {}

    // At least what Object() writes, so that the output is reserved once and never moved while it
    // grows: a patch's files are hundreds of megabytes. Reserved pages that stay unwritten cost no
    // memory.
    static std::size_t Bound(const TResBase& object) {
        const TClassInfo& info = object.ClassInfo();
        std::size_t n = 2 * 256 + 2;
        for (const PropInfo& p : info.Properties())
            n += 256 + 5 + (p.kind == PropKind::Text && p.getText ? 2 * p.getText(object).size() : 256);
        if (info.HasFileData())
            n += 256 + 4 + compressBound(static_cast<uLong>(info.FileData().get(object).size()));
        for (std::size_t i = 0; i < object.ChildCount(); ++i) n += Bound(object.Child(i));
        return n;
    }

    void Object(const TResBase& object) {
        const TClassInfo& info = object.ClassInfo();
        ShortString(info.Name());
        ShortString(object.ObjectName());
        for (const PropInfo& p : info.Properties()) Property(object, p);
        if (info.HasFileData()) FileData(info.FileData().get(object));
        Byte(vaNull);
        for (std::size_t i = 0; i < object.ChildCount(); ++i) Object(object.Child(i));
        Byte(vaNull);
    }

  private:
    void Byte(std::uint8_t b) { out_.push_back(b); }
    void Raw(const void* data, std::size_t n) {
        const auto* p = static_cast<const std::uint8_t*>(data);
        out_.insert(out_.end(), p, p + n);
    }
    void U16(std::uint16_t v) { support::AppendLittleEndian(out_, v); }
    void U32(std::uint32_t v) { support::AppendLittleEndian(out_, v); }
    void ShortString(std::string_view s) {
        if (s.size() > 255) throw EStreamError(texts::kStreamWriteError);
        Byte(static_cast<std::uint8_t>(s.size()));
        Raw(s.data(), s.size());
    }

    void Property(const TResBase& object, const PropInfo& p) {
        if (!p.stored) return;
        if (p.kind == PropKind::Text) {
            if (!p.getText || !p.setText) return;
            const std::string& value = p.getText(object);
            if (value.empty()) return;
            ShortString(p.name);
            Text(value);
            return;
        }
        if (!p.getOrdinal || !p.setOrdinal) return;
        const std::int32_t value = p.getOrdinal(object);
        if (p.hasDefault && value == p.defaultValue) return;
        ShortString(p.name);
        switch (p.kind) {
            case PropKind::Integer:
                Integer(value);
                break;
            case PropKind::Boolean:
                Byte(value ? vaTrue : vaFalse);
                break;
            case PropKind::Enumeration:
                if (value < 0 || static_cast<std::size_t>(value) >= p.enumType->names.size())
                    Fail(texts::kInvalidPropertyValue);
                Byte(vaIdent);
                ShortString(p.enumType->names[static_cast<std::size_t>(value)]);
                break;
            case PropKind::Text:
                break;
        }
    }

    void Integer(std::int32_t v) {
        if (v >= -128 && v <= 127) {
            Byte(vaInt8);
            Byte(static_cast<std::uint8_t>(v));
        } else if (v >= -32768 && v <= 32767) {
            Byte(vaInt16);
            U16(static_cast<std::uint16_t>(v));
        } else {
            Byte(vaInt32);
            U32(static_cast<std::uint32_t>(v));
        }
    }

    // ASCII as a short or long string; else UTF-8 when it is shorter than UTF-16, else UTF-16.
    void Text(const std::string& s) {
        if (support::IsAscii(s)) {
            if (s.size() <= 255) {
                Byte(vaString);
                Byte(static_cast<std::uint8_t>(s.size()));
            } else {
                if (s.size() > std::numeric_limits<std::uint32_t>::max()) Fail(texts::kStreamWriteError);
                Byte(vaLString);
                U32(static_cast<std::uint32_t>(s.size()));
            }
            Raw(s.data(), s.size());
            return;
        }
        const std::u16string utf16 = support::Utf8ToUtf16(s);
        if (s.size() > std::numeric_limits<std::uint32_t>::max()) Fail(texts::kStreamWriteError);
        if (s.size() < 2 * utf16.size()) {
            Byte(vaUTF8String);
            U32(static_cast<std::uint32_t>(s.size()));
            Raw(s.data(), s.size());
        } else {
            Byte(vaWString);
            U32(static_cast<std::uint32_t>(utf16.size()));
            for (char16_t c : utf16) U16(static_cast<std::uint16_t>(c));
        }
    }

    // The length precedes the data: the content is compressed in one piece, straight into the output
    // or taken from the compressor, and the length is filled in afterwards.
    void FileData(const support::Bytes& content) {
        ShortString(kFileData);
        const std::size_t lengthAt = out_.size();
        U32(0);
        uLongf written = 0;
        if (compressor_) {
            const Compressor::Result r = compressor_->Take(fileIndex_++);
            if (r.rc != Z_OK) Fail(texts::kZlibError);
            written = r.size;
            if (written <= kMaxPayload) Raw(r.data.get(), written);
        } else {
            const uLong bound = compressBound(static_cast<uLong>(content.size()));
            out_.resize(lengthAt + 4 + bound);
            written = bound;
            const int rc = compress2(out_.data() + lengthAt + 4, &written, content.data(),
                                     static_cast<uLong>(content.size()), Z_BEST_COMPRESSION);
            if (rc != Z_OK) Fail(texts::kZlibError);
            out_.resize(lengthAt + 4 + written);
        }
        if (written > kMaxPayload) {
            out_.resize(lengthAt);
            Fail(texts::kStreamWriteError);
        }
        support::StoreLittleEndian(out_.data() + lengthAt, static_cast<std::uint32_t>(written));
    }

    // The length is a signed 32-bit number.
    static constexpr uLongf kMaxPayload = std::numeric_limits<std::int32_t>::max();

    support::Bytes& out_;
    Compressor* compressor_;
    std::size_t fileIndex_ = 0;
};

// ---- reading ----

class Reader {
  public:
    // keepFileData false: each file content is dropped once it has been read and checked.
    explicit Reader(std::span<const std::uint8_t> in, bool keepFileData = true)
        : in_(in), keepFileData_(keepFileData) {}

    void Signature() {
        const auto bytes = in_.Bytes();
        if (bytes.size() < sizeof kSignature || std::memcmp(bytes.data(), kSignature, sizeof kSignature) != 0)
            Fail(texts::kInvalidStreamFormat);
        in_.Seek(sizeof kSignature);
    }

    // The class name of the root record, the read position left unchanged.
    std::string PeekRootClass() {
        const std::size_t saved = in_.Pos();
        in_.SkipRecordPrefix();
        std::string name(in_.ShortString());
        in_.Seek(saved);
        return name;
    }

    void Root(TResBase& root) {
        in_.SkipRecordPrefix();
        in_.ShortString();  // the root keeps its own class
        Body(root, 0);
    }

  private:
    std::int32_t Integer() { return in_.IntegerPayload(in_.Byte()); }

    std::string Ident() {
        switch (Byte()) {
            case vaIdent:
                return std::string(ShortString());
            case vaFalse:
                return "False";
            case vaTrue:
                return "True";
            default:
                Fail(texts::kInvalidPropertyValue);
        }
    }

    std::string Text() {
        try {
            switch (Byte()) {
                case vaString:
                    return AnsiText(ShortString());
                case vaLString:
                    return AnsiText(Chars(U32()));
                case vaWString:
                    return in_.WideStringPayload();
                case vaUTF8String: {
                    std::string_view s = Chars(U32());
                    if (!support::IsValidUtf8(s)) Fail(texts::kInvalidPropertyValue);
                    return std::string(s);
                }
                default:
                    Fail(texts::kInvalidPropertyValue);
            }
        } catch (const support::ECodePageError&) {
            Fail(texts::kInvalidPropertyValue);
        }
    }

    void Value(TResBase& object, const PropInfo& p) {
        switch (p.kind) {
            case PropKind::Integer:
                p.setOrdinal(object, Integer());
                return;
            case PropKind::Boolean: {
                const std::string name = Ident();
                if (support::SameText(name, "False"))
                    p.setOrdinal(object, 0);
                else if (support::SameText(name, "True"))
                    p.setOrdinal(object, 1);
                else
                    Fail(texts::kInvalidPropertyValue);
                return;
            }
            case PropKind::Enumeration: {
                const std::string name = Ident();
                const auto& names = p.enumType->names;
                for (std::size_t i = 0; i < names.size(); ++i) {
                    if (support::SameText(names[i], name)) {
                        p.setOrdinal(object, static_cast<std::int32_t>(i));
                        return;
                    }
                }
                Fail(texts::kInvalidPropertyValue);
            }
            case PropKind::Text: {
                std::string text = Text();
                // The object name set as a property must stay what a record can hold, or the object
                // would not write out again the way it was read.
                if (IsObjectName(p)) {
                    text = Printable(text);
                    if (text.size() > 255) Fail(texts::kInvalidPropertyValue);
                }
                p.setText(object, std::move(text));
                return;
            }
        }
    }

    static bool IsObjectName(const PropInfo& p) {
        return p.setText == TResBase::StaticClassInfo().Properties().front().setText;
    }

    void Body(TResBase& object, int depth) {
        if (depth > kMaxDepth) Fail(texts::kInvalidStreamFormat);
        object.SetObjectName(Printable(ShortString()));
        const TClassInfo& info = object.ClassInfo();
        while (Peek() != vaNull) {
            const std::string_view name = ShortString();
            if (const PropInfo* p = info.FindProperty(name); p && (p->setOrdinal || p->setText))
                Value(object, *p);
            else if (info.HasFileData() && support::SameText(name, kFileData))
                FileData(info.FileData().edit(object));
            else
                throw EStreamError(support::Format(texts::kPropertyDoesNotExist, Printable(name)));
        }
        Byte();
        while (Peek() != vaNull) Child(object, depth + 1);
        Byte();
    }

    void Child(TResBase& parent, int depth) {
        in_.SkipRecordPrefix();
        const std::string_view name = ShortString();
        const TClassInfo* info = FindStreamClass(name);
        if (!info || !info->CanCreate())
            throw EStreamError(support::Format(texts::kClassNotFound, Printable(name)));
        TResBase& child = parent.Insert(info->Create());
        Body(child, depth);
    }

    void FileData(support::Bytes& content) {
        const auto n = static_cast<std::int32_t>(U32());
        content.clear();
        if (n <= 0) return;
        Inflate(in_.Take(static_cast<std::uint64_t>(n)), content);
        if (!keepFileData_) support::Bytes().swap(content);
    }

    // Inflates into `out` without knowing the size beforehand and without moving the content: the
    // first piece goes to a buffer kept for the whole read, its ratio decides the capacity reserved
    // (address space only; pages come in as they are written), and the size grows just ahead of the
    // output, so each byte is zeroed once and written once. Only a tail that compresses far better
    // than the head makes the content move.
    void Inflate(std::span<const std::uint8_t> in, support::Bytes& out) {
        Inflater inflater;
        z_stream& z = inflater.z();
        // Deflate cannot expand more than about 1032 times: no buffer needs to go past this.
        const std::size_t limit = in.size() * 1032 + 1024;
        constexpr std::size_t kFirstPiece = 256 * 1024;
        constexpr std::size_t kStep = 1024 * 1024;
        std::size_t inPos = 0;
        std::size_t outPos = 0;
        // One call of inflate into [dst, dst + n); true at the end of the zlib stream.
        const auto step = [&](std::uint8_t* dst, std::size_t n) {
            const std::size_t inChunk = std::min(in.size() - inPos, kZChunk);
            const std::size_t outChunk = std::min(n, kZChunk);
            z.next_in = const_cast<Bytef*>(in.data() + inPos);
            z.avail_in = static_cast<uInt>(inChunk);
            z.next_out = dst;
            z.avail_out = static_cast<uInt>(outChunk);
            const int rc = inflate(&z, Z_NO_FLUSH);
            inPos += inChunk - z.avail_in;
            outPos += outChunk - z.avail_out;
            if (rc == Z_STREAM_END) return true;
            // Out of input before the end of the zlib stream, or bad data.
            if (rc != Z_OK && !(rc == Z_BUF_ERROR && z.avail_out == 0)) Fail(texts::kZlibError);
            if (rc == Z_OK && inPos == in.size() && z.avail_out > 0) Fail(texts::kZlibError);
            return false;
        };
        const auto estimate = [&](double margin) {
            const double ratio =
                static_cast<double>(outPos) / static_cast<double>(std::max<std::size_t>(inPos, 1));
            return static_cast<std::size_t>(std::min(ratio * static_cast<double>(in.size() - inPos) * margin,
                                                     static_cast<double>(limit)));
        };

        scratch_.resize(std::min(limit, kFirstPiece));
        bool done = false;
        while (!done && outPos < scratch_.size())
            done = step(scratch_.data() + outPos, scratch_.size() - outPos);
        out.clear();
        if (!done) out.reserve(std::min(limit, outPos + estimate(1.25) + kStep));
        out.assign(scratch_.begin(), scratch_.begin() + static_cast<std::ptrdiff_t>(outPos));
        while (!done) {
            if (outPos == out.size()) {
                if (outPos >= limit) Fail(texts::kZlibError);
                if (out.size() == out.capacity())
                    out.reserve(
                        std::min(limit, std::max(outPos + estimate(1.25), outPos + outPos / 4) + kStep));
                // Not much past the expected end: zeroing pages that are never written costs as much
                // as writing them.
                const std::size_t ahead = std::min(kStep, estimate(1.02) + 65536);
                out.resize(std::min(out.capacity(), outPos + ahead));
            }
            done = step(out.data() + outPos, out.size() - outPos);
        }
        out.resize(outPos);
    }

    std::uint8_t Byte() { return in_.Byte(); }
    std::uint8_t Peek() const { return in_.Peek(); }
    std::uint32_t U32() { return in_.U32(); }
    std::string_view Chars(std::uint64_t n) { return in_.Chars(n); }
    std::string_view ShortString() { return in_.ShortString(); }

    support::Bytes scratch_;  // the first piece of each FILEDATA
    StreamBytes in_;
    bool keepFileData_;
};

}  // namespace

support::Bytes WriteObjectStream(const TResBase& root, unsigned threads) {
    support::Bytes out;
    out.reserve(sizeof kSignature + Writer::Bound(root));
    out.assign(std::begin(kSignature), std::end(kSignature));
    std::vector<const support::Bytes*> contents;
    CollectFileData(root, contents);
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    threads = static_cast<unsigned>(std::min<std::size_t>(threads, contents.size()));
    std::unique_ptr<Compressor> compressor;
    if (threads > 1) {
        try {
            compressor = std::make_unique<Compressor>(std::move(contents), threads);
        } catch (const std::system_error&) {
            // No thread to be had: the calling thread compresses alone.
        }
    }
    Writer(out, compressor.get()).Object(root);
    return out;
}

void ReadObjectStream(std::span<const std::uint8_t> bytes, TResBase& root) {
    Reader reader(bytes);
    reader.Signature();
    reader.Root(root);
}

namespace {

std::unique_ptr<TResBase> ReadRoot(std::span<const std::uint8_t> bytes, bool keepFileData) {
    Reader reader(bytes, keepFileData);
    reader.Signature();
    const std::string name = reader.PeekRootClass();
    const TClassInfo* info = FindStreamClass(name);
    if (!info || !info->CanCreate())
        throw EStreamError(support::Format(texts::kClassNotFound, Printable(name)));
    auto root = info->Create();
    reader.Root(*root);
    return root;
}

}  // namespace

std::unique_ptr<TResBase> ReadObjectStream(std::span<const std::uint8_t> bytes) {
    return ReadRoot(bytes, true);
}

void CheckObjectStream(std::span<const std::uint8_t> bytes) {
    ReadRoot(bytes, false);
}

void RegisterStreamClasses() {
    Registry() = {
        &TBaseParamInfo::StaticClassInfo(),       &TResItem::StaticClassInfo(),
        &TResCollection::StaticClassInfo(),       &TNodeItem::StaticClassInfo(),
        &TNodeScriptItem::StaticClassInfo(),      &TNodeTableItem::StaticClassInfo(),
        &TInstResItem::StaticClassInfo(),         &TInstInitScriptResItem::StaticClassInfo(),
        &TInstReCstResItem::StaticClassInfo(),    &TInstBillResItem::StaticClassInfo(),
        &TInstQueryResItem::StaticClassInfo(),    &TInstAnalyseResItem::StaticClassInfo(),
        &TInstBaseDataResItem::StaticClassInfo(), &TInstDeskFlowResItem::StaticClassInfo(),
        &TInstScriptResItem::StaticClassInfo(),   &TInstViewResItem::StaticClassInfo(),
        &TInstTableResItem::StaticClassInfo(),    &TInstResCollection::StaticClassInfo(),
    };
}

void UnregisterStreamClasses() {
    Registry().clear();
}

const TClassInfo* FindStreamClass(std::string_view name) {
    for (const TClassInfo* c : Registry())
        if (support::SameText(c->Name(), name)) return c;
    return nullptr;
}

}  // namespace kestrane::patch

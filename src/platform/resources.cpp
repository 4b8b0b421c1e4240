#include "platform/resources.h"

#include <filesystem>
#include <optional>
#include <system_error>

#include "platform/file_system.h"
#include "platform/pe_resources.h"
#include "platform/resources_io.h"
#include "platform/resources_texts.h"
#include "platform/zip_archive.h"
#include "platform/zip_writer.h"
#include "support/format.h"
#include "support/text.h"

namespace kestrane::platform {
namespace {

using support::Format;

// An appended archive takes precedence: a PE file updated here keeps its own section untouched
// and carries the new resources in the archive.
class OpenedResourceFile : public ResourceFile {
  public:
    explicit OpenedResourceFile(const std::string& path) : path_(path), source_(path) {
        zip_ = ZipArchive::Find(source_, path_);
        if (!zip_) pe_ = PeResources::Find(source_, path_);
    }

    std::vector<ResourceInfo> List() const override {
        std::vector<ResourceInfo> out;
        if (zip_) {
            for (const ZipEntry& e : zip_->Entries()) {
                const auto slash = e.name.find('/');
                if (slash == 0 || slash == std::string::npos || slash + 1 == e.name.size()) continue;
                out.push_back({PrintableName(e.name.substr(0, slash)),
                               PrintableName(e.name.substr(slash + 1)), 0, e.size});
            }
        } else if (pe_) {
            for (const PeResource& r : pe_->Resources()) out.push_back(r.info);
        }
        return out;
    }

    ResourceBytes ReadRcData(const std::string& name) const override {
        if (zip_) {
            if (const ZipEntry* e = zip_->FindEntry(RcDataEntryName(name)))
                return ZipArchive::Read(source_, *e, path_);
        } else if (pe_) {
            if (const PeResource* r = pe_->FindRcData(name)) return PeResources::Read(source_, *r);
        }
        throw EResourceError(Format(texts::kResourceNotFound, name));
    }

  private:
    std::string path_;
    FileSource source_;
    std::optional<ZipArchive> zip_;
    std::optional<PeResources> pe_;
};

}  // namespace

std::unique_ptr<ResourceFile> ResourceFile::Open(const std::string& path) {
    return std::make_unique<OpenedResourceFile>(path);
}

std::string RunningExecutable() {
    std::error_code ec;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) throw EResourceError(Format(texts::kCannotOpen, "/proc/self/exe", ec.message()));
    return path.string();
}

void UpdateRcData(const std::string& path,
                  const std::vector<std::pair<std::string, ResourceBytes>>& resources) {
    const FileSource source(path);
    try {
        // Through a symbolic link the file it names is replaced, not the link.
        TReplacementFile file(path, {.mode = source.Mode(), .throughLink = true});
        ReplacementSink sink(file);
        WriteWithRcData(source, path, resources, sink, DosTimeNow());
        file.Commit();
    } catch (const EResourceError&) {
        throw;
    } catch (const EFileSystemError& e) {
        throw EResourceError(Format(texts::kCannotWrite, path, e.Reason()));
    } catch (const std::exception& e) {
        throw EResourceError(Format(texts::kCannotWrite, path, e.what()));
    }
}

}  // namespace kestrane::platform

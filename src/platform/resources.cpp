#include "platform/resources.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>

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

// A temporary file beside the target, removed unless it was renamed into place.
class TempFile {
  public:
    explicit TempFile(const std::filesystem::path& target) {
        std::string pattern =
            (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
        fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (fd_ < 0) throw std::system_error(errno, std::generic_category());
        path_ = pattern;
    }
    ~TempFile() {
        if (fd_ >= 0) ::close(fd_);
        if (!path_.empty()) ::unlink(path_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    int Descriptor() const { return fd_; }

    void CommitAs(const std::filesystem::path& target, unsigned mode) {
        if (::fchmod(fd_, mode) != 0 || ::fsync(fd_) != 0)
            throw std::system_error(errno, std::generic_category());
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) throw std::system_error(errno, std::generic_category());
        if (::rename(path_.c_str(), target.c_str()) != 0)
            throw std::system_error(errno, std::generic_category());
        path_.clear();
        // The rename itself reaches the disk with the folder.
        const int dir = ::open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
    }

  private:
    int fd_ = -1;
    std::string path_;
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
    // Through a symbolic link the file it names is replaced, not the link.
    std::error_code ec;
    const std::filesystem::path target = std::filesystem::canonical(path, ec);
    if (ec) throw EResourceError(Format(texts::kCannotOpen, path, ec.message()));
    const FileSource source(target.string());
    try {
        TempFile temp(target);
        FdSink sink(temp.Descriptor());
        WriteWithRcData(source, path, resources, sink, DosTimeNow());
        temp.CommitAs(target, source.Mode());
    } catch (const EResourceError&) {
        throw;
    } catch (const std::exception& e) {
        throw EResourceError(Format(texts::kCannotWrite, path, e.what()));
    }
}

}  // namespace kestrane::platform

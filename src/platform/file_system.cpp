#include "platform/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/file_system_texts.h"

namespace kestrane::platform {
namespace {

[[noreturn]] void Fail(std::string_view what, const std::string& path, int error) {
    throw EFileSystemError(std::string(what) + " " + path + ": " + std::strerror(error));
}

// Closes the descriptor and removes the temporary file unless the rename has taken it over.
class TempFile {
  public:
    explicit TempFile(const std::string& target)
        : name_(ExtractFilePath(target) + "." + ExtractFileName(target) + ".XXXXXX") {
        fd_ = ::mkstemp(name_.data());
        if (fd_ < 0) Fail(texts::kCannotCreateFile, name_, errno);
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() {
        if (fd_ >= 0) ::close(fd_);
        if (!renamed_) ::unlink(name_.c_str());
    }
    int fd() const { return fd_; }
    const std::string& name() const { return name_; }
    void Close() {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) Fail(texts::kCannotWriteFile, name_, errno);
    }
    void RenameTo(const std::string& target) {
        if (::rename(name_.c_str(), target.c_str()) != 0) Fail(texts::kCannotReplaceFile, target, errno);
        renamed_ = true;
    }

  private:
    std::string name_;
    int fd_ = -1;
    bool renamed_ = false;
};

}  // namespace

std::string IncludeTrailingPathDelimiter(std::string_view path) {
    std::string result(path);
    if (result.empty() || result.back() != PathDelim) result += PathDelim;
    return result;
}

std::string ExcludeTrailingPathDelimiter(std::string_view path) {
    std::string result(path);
    if (result.size() > 1 && result.back() == PathDelim) result.pop_back();
    return result;
}

std::string ExtractFileName(std::string_view path) {
    const auto pos = path.rfind(PathDelim);
    return std::string(pos == std::string_view::npos ? path : path.substr(pos + 1));
}

std::string ExtractFilePath(std::string_view path) {
    const auto pos = path.rfind(PathDelim);
    return pos == std::string_view::npos ? std::string() : std::string(path.substr(0, pos + 1));
}

std::string ExtractFileExt(std::string_view path) {
    const std::string name = ExtractFileName(path);
    const auto pos = name.rfind('.');
    return pos == std::string::npos ? std::string() : name.substr(pos);
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

namespace {

// 0 or the errno of the first folder that could not be made.
int MakeFolders(const std::string& dir) {
    if (DirectoryExists(dir)) return 0;
    const std::string parent = ExcludeTrailingPathDelimiter(ExtractFilePath(dir));
    if (!parent.empty() && parent != dir) {
        if (const int error = MakeFolders(parent)) return error;
    }
    if (::mkdir(dir.c_str(), 0777) == 0) return 0;
    if (errno != EEXIST) return errno;
    return DirectoryExists(dir) ? 0 : ENOTDIR;
}

}  // namespace

void ForceDirectories(const std::string& path) {
    const std::string dir = ExcludeTrailingPathDelimiter(path);
    if (dir.empty()) throw EFileSystemError(texts::kUnableToCreateDirectory);
    if (const int error = MakeFolders(dir)) Fail(texts::kUnableToCreateDirectory, dir, error);
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) Fail(texts::kCannotOpenFile, path, errno);
    std::vector<std::uint8_t> result;
    std::uint8_t buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            ::close(fd);
            Fail(texts::kCannotReadFile, path, error);
        }
        if (n == 0) break;
        result.insert(result.end(), buffer, buffer + n);
    }
    ::close(fd);
    return result;
}

TPendingFile::TPendingFile(std::string target)
    : target_(std::move(target)), path_(ExtractFilePath(target_) + ".kst-XXXXXX") {
    // A short name: the target's own name may already be as long as the file system allows.
    const int fd = ::mkstemp(path_.data());
    if (fd < 0) Fail(texts::kCannotCreateFile, path_, errno);
    ::close(fd);
}

TPendingFile::~TPendingFile() {
    if (!committed_) ::unlink(path_.c_str());
}

void TPendingFile::Commit() {
    const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) Fail(texts::kCannotWriteFile, path_, errno);
    const bool synced = ::fsync(fd) == 0;
    const int syncError = errno;
    ::close(fd);
    if (!synced) Fail(texts::kCannotWriteFile, path_, syncError);
    if (::rename(path_.c_str(), target_.c_str()) != 0) Fail(texts::kCannotReplaceFile, target_, errno);
    committed_ = true;
    const std::string folder = ExtractFilePath(target_).empty() ? "." : ExtractFilePath(target_);
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

void WriteFileReplacing(const std::string& path, std::string_view content,
                        std::optional<std::uint32_t> mode) {
    TempFile temp(path);
    const char* data = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        const ssize_t n = ::write(temp.fd(), data, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            Fail(texts::kCannotWriteFile, temp.name(), errno);
        }
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    if (::fchmod(temp.fd(), static_cast<mode_t>(mode.value_or(DefaultFileMode()) & 07777u)) != 0)
        Fail(texts::kCannotSetAttributes, temp.name(), errno);
    if (::fsync(temp.fd()) != 0) Fail(texts::kCannotWriteFile, temp.name(), errno);
    temp.Close();
    temp.RenameTo(path);
}

void WriteFileReplacing(const std::string& path, const std::vector<std::uint8_t>& content,
                        std::optional<std::uint32_t> mode) {
    WriteFileReplacing(path, std::string_view(reinterpret_cast<const char*>(content.data()), content.size()),
                       mode);
}

std::optional<FileAttributes> GetFileAttributes(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return FileAttributes{static_cast<std::uint32_t>(st.st_mode & 07777u)};
}

void SetFileAttributes(const std::string& path, FileAttributes attributes) {
    if (::chmod(path.c_str(), static_cast<mode_t>(attributes.mode & 07777u)) != 0)
        Fail(texts::kCannotSetAttributes, path, errno);
}

void SetReadOnly(const std::string& path, bool readOnly) {
    const auto current = GetFileAttributes(path);
    if (!current) Fail(texts::kCannotSetAttributes, path, ENOENT);
    FileAttributes next = *current;
    next.mode = readOnly ? (next.mode & ~0222u) : (next.mode | 0200u);
    SetFileAttributes(path, next);
}

std::uint32_t DefaultFileMode() {
    // umask() can only be read by setting it, which races with other threads; the kernel shows it here.
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) {
            std::istringstream in(line.substr(6));
            unsigned value = 0;
            if (in >> std::oct >> value) return 0666u & ~value;
        }
    }
    return 0644u;
}

}  // namespace kestrane::platform

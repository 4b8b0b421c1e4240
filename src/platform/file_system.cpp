#include "platform/file_system.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/file_system_texts.h"
#include "support/text.h"

namespace kestrane::platform {
namespace {

[[noreturn]] void Fail(std::string_view what, const std::string& path, int error) {
    throw EFileSystemError(std::string(what) + " " + path + ": " + std::strerror(error), error);
}

// Writes all of [data, data + size) to fd; a write that makes no progress counts as a full disk.
void WriteAll(int fd, const void* data, std::size_t size, const std::string& name) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, std::min<std::size_t>(size, 1u << 30));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) Fail(texts::kCannotWriteFile, name, n < 0 ? errno : ENOSPC);
        p += n;
        size -= static_cast<std::size_t>(n);
    }
}

// The folder's entry of a rename or link reaches the disk with the folder.
void SyncFolder(const std::string& file) {
    const std::string folder = ExtractFilePath(file).empty() ? "." : ExtractFilePath(file);
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

// A name of 11 bytes beside the target, so that it fits whatever the target's own length.
std::string ShortTempPattern(const std::string& target) {
    return ExtractFilePath(target) + ".kst-XXXXXX";
}

std::string ProcFdPath(int fd) {
    return "/proc/self/fd/" + std::to_string(fd);
}

// An unnamed file in the target's folder, or -1 where the file system (or a missing /proc, through
// which it is linked into place) does not allow one.
int OpenUnnamed(const std::string& target) {
    if (::access("/proc/self/fd", X_OK) != 0) return -1;
    const std::string folder = ExtractFilePath(target).empty() ? "." : ExtractFilePath(target);
    return ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
}

// Makes the new file in fd one that stands where `target` stood: the target's owner and group where
// this process may set them (root may set both; a user a group of its own), so that a file replaced by
// an install run as root stays the product user's; then `mode`, else the target's permission bits,
// else those of any new file (after the owner, since a change of owner drops set-id bits). Returns
// 0 or the error that kept the owner or the mode from being set.
int TakeThePlaceOf(int fd, const std::string& target, std::optional<std::uint32_t> mode) {
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    struct stat now {};
    if (exists && ::fstat(fd, &now) == 0 && (now.st_uid != old.st_uid || now.st_gid != old.st_gid)) {
        // EPERM: not this process's to give away; EINVAL: an owner this user namespace cannot name.
        const auto refused = [] { return errno == EPERM || errno == EINVAL; };
        if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
            if (!refused()) return errno;
            if (::fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0 && !refused()) return errno;
        }
    }
    const std::uint32_t bits = mode ? *mode : exists ? old.st_mode : DefaultFileMode();
    return ::fchmod(fd, static_cast<mode_t>(bits & 07777u)) == 0 ? 0 : errno;
}

// Links the unnamed file under a free short name beside the target and returns that name.
std::string LinkUnderShortName(int fd, const std::string& target) {
    static thread_local std::mt19937 random{std::random_device{}()};
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0;; ++attempt) {
        std::string name = ShortTempPattern(target);
        for (auto it = name.end() - 6; it != name.end(); ++it)
            *it = kLetters[random() % (sizeof kLetters - 1)];
        if (::linkat(AT_FDCWD, ProcFdPath(fd).c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return name;
        if (errno != EEXIST || attempt >= 100) Fail(texts::kCannotReplaceFile, target, errno);
    }
}

}  // namespace

std::string EFileSystemError::Reason() const {
    return code_ ? std::string(std::strerror(code_)) : std::string(what());
}

bool EFileSystemError::DiskFull() const {
    return code_ == ENOSPC || code_ == EDQUOT || code_ == EFBIG;
}

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

bool IsPlainFileName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
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

// 0 or the errno of the first folder that could not be made; `made` lists the folders made, parents
// first.
int MakeFolders(const std::string& dir, std::vector<std::string>& made) {
    if (DirectoryExists(dir)) return 0;
    const std::string parent = ExcludeTrailingPathDelimiter(ExtractFilePath(dir));
    if (!parent.empty() && parent != dir) {
        if (const int error = MakeFolders(parent, made)) return error;
    }
    if (::mkdir(dir.c_str(), 0777) == 0) {
        made.push_back(dir);
        return 0;
    }
    if (errno != EEXIST) return errno;
    return DirectoryExists(dir) ? 0 : ENOTDIR;
}

}  // namespace

void ForceDirectories(const std::string& path) {
    const std::string dir = ExcludeTrailingPathDelimiter(path);
    if (dir.empty()) throw EFileSystemError(texts::kUnableToCreateDirectory);
    std::vector<std::string> made;
    if (const int error = MakeFolders(dir, made)) {
        // A path that fails part-way leaves no empty folders behind; one that another process filled
        // in the meantime stays.
        for (auto it = made.rbegin(); it != made.rend(); ++it) ::rmdir(it->c_str());
        Fail(texts::kUnableToCreateDirectory, dir, error);
    }
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

std::vector<std::string> NamesIgnoringCase(const std::string& folder, std::string_view name) {
    std::vector<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder.empty() ? "." : folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        std::string entry = it->path().filename().string();
        if (support::SameText(entry, name)) names.push_back(std::move(entry));
    }
    return names;
}

bool FolderWritable(const std::string& folder) {
    return ::access(folder.empty() ? "." : folder.c_str(), W_OK | X_OK) == 0;
}

bool FileUpdatable(const std::string& path) {
    // Non-blocking, so that a FIFO in the file's place cannot hold the caller.
    const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ::close(fd);
    return regular;
}

TTempFolder::TTempFolder(std::string_view prefix) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
    if (!::mkdtemp(pattern.data())) Fail(texts::kUnableToCreateDirectory, pattern, errno);
    dir_ = IncludeTrailingPathDelimiter(pattern);
}

TTempFolder::~TTempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

TPendingFile::TPendingFile(std::string target)
    : target_(std::move(target)), path_(ShortTempPattern(target_)) {
    // A short name: the target's own name may already be as long as the file system allows.
    const int fd = ::mkostemp(path_.data(), O_CLOEXEC);
    if (fd < 0) Fail(texts::kCannotCreateFile, path_, errno);
    // mkostemp makes the file private; it is to be read as the file it replaces, or as a new file is.
    const int error = TakeThePlaceOf(fd, target_, std::nullopt);
    ::close(fd);
    if (error != 0) {
        ::unlink(path_.c_str());
        Fail(texts::kCannotSetAttributes, target_, error);
    }
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
    SyncFolder(target_);
}

TReplacementFile::TReplacementFile(std::string target, TReplaceOptions options)
    : target_(std::move(target)), options_(options) {
    struct stat st {};
    if (options_.throughLink && ::lstat(target_.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char* resolved = ::realpath(target_.c_str(), nullptr);
        if (!resolved) Fail(texts::kCannotReplaceFile, target_, errno);
        target_ = resolved;
        std::free(resolved);
    }
    fd_ = OpenUnnamed(target_);
    if (fd_ >= 0) return;
    tempPath_ = ShortTempPattern(target_);
    fd_ = ::mkostemp(tempPath_.data(), O_CLOEXEC);
    if (fd_ < 0) Fail(texts::kCannotCreateFile, target_, errno);
}

TReplacementFile::~TReplacementFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!tempPath_.empty()) ::unlink(tempPath_.c_str());
}

void TReplacementFile::Write(std::span<const std::uint8_t> bytes) {
    if (fd_ < 0) Fail(texts::kCannotWriteFile, target_, EBADF);
    WriteAll(fd_, bytes.data(), bytes.size(), target_);
}

void TReplacementFile::Write(std::string_view text) {
    Write(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

void TReplacementFile::Commit() {
    if (fd_ < 0) Fail(texts::kCannotReplaceFile, target_, EBADF);
    if (const int error = TakeThePlaceOf(fd_, target_, options_.mode); error != 0)
        Fail(texts::kCannotSetAttributes, target_, error);
    if (::fsync(fd_) != 0) Fail(texts::kCannotWriteFile, target_, errno);
    if (tempPath_.empty() && options_.keepExisting) {
        // Any entry of that name, a link included, makes this fail: nothing is written through it.
        if (::linkat(AT_FDCWD, ProcFdPath(fd_).c_str(), AT_FDCWD, target_.c_str(), AT_SYMLINK_FOLLOW) != 0)
            Fail(texts::kCannotCreateFile, target_, errno);
    } else {
        if (tempPath_.empty()) tempPath_ = LinkUnderShortName(fd_, target_);
        const int rc = options_.keepExisting ? ::link(tempPath_.c_str(), target_.c_str())
                                             : ::rename(tempPath_.c_str(), target_.c_str());
        const int error = errno;
        // Whatever the outcome, nothing stays beside the target.
        if (rc != 0 || options_.keepExisting) ::unlink(tempPath_.c_str());
        tempPath_.clear();
        if (rc != 0)
            Fail(options_.keepExisting ? texts::kCannotCreateFile : texts::kCannotReplaceFile, target_,
                 error);
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) Fail(texts::kCannotWriteFile, target_, errno);
    SyncFolder(target_);
}

void WriteFileReplacing(const std::string& path, std::span<const std::uint8_t> content,
                        const TReplaceOptions& options) {
    TReplacementFile file(path, options);
    file.Write(content);
    file.Commit();
}

void WriteFileReplacing(const std::string& path, std::string_view content, const TReplaceOptions& options) {
    WriteFileReplacing(path, std::span(reinterpret_cast<const std::uint8_t*>(content.data()), content.size()),
                       options);
}

TLockedFile::TLockedFile(const std::string& path, bool create) : path_(path) {
    fd_ = ::open(path.c_str(), (create ? O_WRONLY | O_CREAT : O_RDONLY) | O_CLOEXEC, 0644);
    if (fd_ < 0) Fail(texts::kCannotOpenFile, path, errno);
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd_);
        fd_ = -1;
        Fail(texts::kCannotOpenFile, path, error);
    }
}

TLockedFile::~TLockedFile() {
    if (fd_ >= 0) ::close(fd_);
}

std::uint64_t TLockedFile::Size() const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) Fail(texts::kCannotReadFile, path_, errno);
    return static_cast<std::uint64_t>(st.st_size);
}

std::size_t TLockedFile::Read(void* data, std::size_t size) {
    auto* p = static_cast<std::uint8_t*>(data);
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd_, p + got, std::min<std::size_t>(size - got, 1u << 30));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) Fail(texts::kCannotReadFile, path_, errno);
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return got;
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

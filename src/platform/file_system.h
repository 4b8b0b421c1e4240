// File-system helpers: path pieces, folder creation, whole-file reads, files replaced whole and files
// held under a lock, and file attributes. Paths are UTF-8 texts with "/" as the folder separator.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane::platform {

// The message names the operation, the path and the system's reason; Code() is the system's error
// number behind it, 0 when there is none.
class EFileSystemError : public std::runtime_error {
  public:
    explicit EFileSystemError(const std::string& message, int code = 0)
        : std::runtime_error(message), code_(code) {}
    int Code() const { return code_; }
    // The system's text for Code(), or the message when there is no code.
    std::string Reason() const;
    // The disk, the user's share of it, or the size a file of this process may reach is used up.
    bool DiskFull() const;

  private:
    int code_;
};

inline constexpr char PathDelim = '/';

std::string IncludeTrailingPathDelimiter(std::string_view path);
std::string ExcludeTrailingPathDelimiter(std::string_view path);
// Everything after the last "/" (the whole text when there is none).
std::string ExtractFileName(std::string_view path);
// Everything up to and including the last "/" (empty when there is none).
std::string ExtractFilePath(std::string_view path);
// From the last "." of the file name on, dot included; empty when the name has no dot.
std::string ExtractFileExt(std::string_view path);
// Whether `name` names one entry inside a folder: not empty, not "." or "..", and free of "/", "\"
// (a separator in names that come from elsewhere) and NUL.
bool IsPlainFileName(std::string_view name);

bool FileExists(const std::string& path);       // an existing entry that is not a folder
bool DirectoryExists(const std::string& path);  // follows symbolic links

// Creates the folder and every missing parent. An empty path fails with "Unable to create directory".
// When a folder cannot be made, the ones this call made before it are removed again.
void ForceDirectories(const std::string& path);

std::vector<std::uint8_t> ReadFileBytes(const std::string& path);

// Whether this process may make files in `folder`.
bool FolderWritable(const std::string& folder);
// Whether `path` is a regular file (through links) this process may open to read and write in place.
bool FileUpdatable(const std::string& path);

// A folder of this process's own under the system's temporary folder, removed with all it holds when
// the object goes. Throws EFileSystemError when none can be made.
class TTempFolder {
  public:
    explicit TTempFolder(std::string_view prefix = "kestrane");
    ~TTempFolder();
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;
    // With a trailing delimiter.
    const std::string& Dir() const { return dir_; }

  private:
    std::string dir_;
};

// The entries of `folder` whose names equal `name` but for ASCII letter case, the exact name
// included, in no particular order; empty when the folder cannot be read.
std::vector<std::string> NamesIgnoringCase(const std::string& folder, std::string_view name);

// How a new file takes the place of its target.
struct TReplaceOptions {
    // Permission bits of the new file; unset: those of the file it replaces, else DefaultFileMode().
    std::optional<std::uint32_t> mode = std::nullopt;
    // Never replace anything: Commit fails when the target exists, be it a file, a folder or a link.
    bool keepExisting = false;
    // A symbolic link at the target: the file it names is replaced, not the link.
    bool throughLink = false;
};

// The new content of `target`, written piece by piece and put in its place by Commit, so that the
// target is the old file or the complete new one, never a part. Until Commit the file has no name in
// the folder where the file system allows (else a short temporary name beside the target), so that
// a long target name fits and a process killed while writing leaves nothing behind. Dropped
// uncommitted, the new file is removed. Throws EFileSystemError naming the target.
class TReplacementFile {
  public:
    explicit TReplacementFile(std::string target, TReplaceOptions options = {});
    ~TReplacementFile();
    TReplacementFile(const TReplacementFile&) = delete;
    TReplacementFile& operator=(const TReplacementFile&) = delete;

    // The file that is replaced: the target, or with throughLink the file its link names.
    const std::string& Target() const { return target_; }
    void Write(std::span<const std::uint8_t> bytes);
    void Write(std::string_view text);
    // Syncs the file, puts it in place and syncs the folder.
    void Commit();

  private:
    std::string target_;
    TReplaceOptions options_;
    int fd_ = -1;
    std::string tempPath_;  // empty while the file has no name
};

// The whole content at once, through a TReplacementFile.
void WriteFileReplacing(const std::string& path, std::span<const std::uint8_t> content,
                        const TReplaceOptions& options = {});
void WriteFileReplacing(const std::string& path, std::string_view content,
                        const TReplaceOptions& options = {});

// A file being made beside `target`: written at Path() by any means, then renamed over the target by
// Commit, so the target is either as it was or complete. Dropped uncommitted, the file is removed.
class TPendingFile {
  public:
    explicit TPendingFile(std::string target);
    ~TPendingFile();
    TPendingFile(const TPendingFile&) = delete;
    TPendingFile& operator=(const TPendingFile&) = delete;

    const std::string& Target() const { return target_; }
    const std::string& Path() const { return path_; }
    // Syncs the file, renames it over the target and syncs the folder. Throws EFileSystemError.
    void Commit();

  private:
    std::string target_;
    std::string path_;
    bool committed_ = false;
};

// A file held open under an exclusive lock until the object goes. The lock is advisory: it keeps out
// every other TLockedFile of the same file (in this process or another), not other programs.
class TLockedFile {
  public:
    // Opens `path` for reading, or with `create` for writing (made empty when missing), and takes the
    // lock without waiting. Throws EFileSystemError; its Code() is EWOULDBLOCK's value when another
    // holder has the lock.
    TLockedFile(const std::string& path, bool create);
    ~TLockedFile();
    TLockedFile(const TLockedFile&) = delete;
    TLockedFile& operator=(const TLockedFile&) = delete;

    std::uint64_t Size() const;
    // Up to `size` bytes from the current position; fewer only at the end of the file.
    std::size_t Read(void* data, std::size_t size);

  private:
    std::string path_;
    int fd_ = -1;
};

// File attributes as this platform has them: the permission bits. A file is read-only when
// nobody may write it.
struct FileAttributes {
    std::uint32_t mode = 0;
    bool ReadOnly() const { return (mode & 0222u) == 0; }
    bool operator==(const FileAttributes&) const = default;
};

// Attributes of an existing entry, or none when it does not exist.
std::optional<FileAttributes> GetFileAttributes(const std::string& path);
void SetFileAttributes(const std::string& path, FileAttributes attributes);
// Read-only on clears every write bit; off gives the owner write access back.
void SetReadOnly(const std::string& path, bool readOnly);

// Permission bits a newly created file receives (0666 less the process umask).
std::uint32_t DefaultFileMode();

}  // namespace kestrane::platform

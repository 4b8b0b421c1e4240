// File-system helpers: path pieces, folder creation, whole-file reads and crash-safe writes, and
// file attributes. Paths are UTF-8 texts with "/" as the folder separator.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane::platform {

// The message names the operation, the path and the system's reason.
class EFileSystemError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
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

bool FileExists(const std::string& path);       // an existing entry that is not a folder
bool DirectoryExists(const std::string& path);  // follows symbolic links

// Creates the folder and every missing parent. An empty path fails with "Unable to create directory".
void ForceDirectories(const std::string& path);

std::vector<std::uint8_t> ReadFileBytes(const std::string& path);

// Writes `content` to a temporary file beside `path` and renames it over `path`, so readers see
// either the old or the complete new file. `mode` gives the new file's permission bits; without
// it they are those of a freshly created file (0666 less the umask).
void WriteFileReplacing(const std::string& path, std::string_view content,
                        std::optional<std::uint32_t> mode = std::nullopt);
void WriteFileReplacing(const std::string& path, const std::vector<std::uint8_t>& content,
                        std::optional<std::uint32_t> mode = std::nullopt);

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

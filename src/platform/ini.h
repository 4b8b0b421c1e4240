// INI files in code page 936, with the two sets of rules the product's files are written by.
//
// IniFile works on the file itself, one call at a time, as the Windows profile API does: section and
// key names compare without regard to ASCII letter case, blanks around names and values do not
// count, a value in matching quotes loses them, and writing one key rewrites only that key's line
// (or adds one line), leaving every other byte of the file as it was.
//
// MemIniFile holds a whole file in memory and writes the whole file back: loading trims every line,
// drops empty lines, comment lines (";") and lines before the first section, and removes the blanks
// around the first "=" of a line; saving writes each section, its lines and one empty line. Lines
// read from the file keep their bytes; texts given to it that code page 936 cannot hold, or that are
// not valid UTF-8, are written with "?" in their place.
//
// Bytes that are not valid code page 936 read as "?"; reading never fails on content.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane::platform {

class IniFile {
  public:
    explicit IniFile(std::string path);

    const std::string& FileName() const { return path_; }

    // A missing file reads as empty; a file that cannot be read throws EFileSystemError.
    std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
    std::int32_t ReadInteger(std::string_view section, std::string_view key, std::int32_t def) const;
    bool SectionExists(std::string_view section) const;
    bool ValueExists(std::string_view section, std::string_view key) const;
    std::vector<std::string> ReadSections() const;
    std::vector<std::string> ReadSection(std::string_view section) const;  // key names in file order

    // Creates the file when missing. Throws EFileSystemError; the file is replaced as a whole by
    // rename, so a failed write leaves the old file.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, std::int32_t value);
    void DeleteKey(std::string_view section, std::string_view key);
    void EraseSection(std::string_view section);

  private:
    std::string path_;
};

class MemIniFile {
  public:
    MemIniFile() = default;
    // Loads the file when it exists; throws EFileSystemError when it exists but cannot be read.
    explicit MemIniFile(std::string path);

    const std::string& FileName() const { return path_; }

    // Replaces the content by the given lines, with the loading rules above.
    void SetStrings(const std::vector<std::string>& lines);
    void SetText(std::string_view text);  // lines split at CR LF, CR or LF
    // The content in file form: "[name]", the section's lines, an empty line, per section.
    std::vector<std::string> GetStrings() const;
    std::string GetText() const;  // each line ended by CR LF

    std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
    std::int32_t ReadInteger(std::string_view section, std::string_view key, std::int32_t def) const;
    bool SectionExists(std::string_view section) const;
    bool ValueExists(std::string_view section, std::string_view key) const;
    std::vector<std::string> ReadSections() const;
    std::vector<std::string> ReadSection(std::string_view section) const;        // key names
    std::vector<std::string> ReadSectionValues(std::string_view section) const;  // its lines as stored

    // The section is appended when missing; an existing key's line is replaced where it stands.
    // A value may hold line breaks; it is written unchanged.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, std::int32_t value);
    void DeleteKey(std::string_view section, std::string_view key);
    void EraseSection(std::string_view section);
    void Clear();

    // Writes GetText() in code page 936 to FileName(), replacing the file by rename.
    void UpdateFile() const;
    void SaveToFile(const std::string& path) const;

  private:
    // Name and lines in code page 936, as in the file.
    struct Section {
        std::string name;
        std::vector<std::string> lines;
    };
    void Load(const std::vector<std::string>& lines);
    std::vector<std::string> FileLines() const;
    const Section* Find(std::string_view section) const;
    Section* Find(std::string_view section);

    std::string path_;
    std::vector<Section> sections_;
};

// Code page 936 bytes as UTF-8; invalid bytes become "?" instead of failing.
std::string DecodeCp936Lenient(std::string_view bytes);

}  // namespace kestrane::platform

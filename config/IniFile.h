// An editor over the text of an INI file: reads keys and replaces one key's value in place, so
// every other byte of the file (comments, blank lines, other sections, line ends) stays as it was.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pavona {

class TIniFile {
  public:
    TIniFile() = default;
    // The file's whole text; a UTF-8 byte-order mark is skipped when reading and kept on writing.
    explicit TIniFile(std::string text);

    // Reads `path`; a missing file gives an empty text and true, an unreadable one false.
    bool Load(const std::string& path);
    const std::string& Text() const { return FText; }

    // The value of the first matching key in the first matching section (names compare without
    // regard to ASCII case; key and value trimmed around "="). Invalid UTF-8 is replaced so that
    // callers always get valid text. False when the key is absent.
    bool Read(std::string_view section, std::string_view key, std::string& value) const;
    std::string ReadString(std::string_view section, std::string_view key, const std::string& def = "") const;
    bool HasKey(std::string_view section, std::string_view key) const;

    // Sets one key: its line is replaced by "key=value" CR LF, a new key goes after the last key
    // line of its section, a new section at the end of the file. Line breaks in the value become
    // spaces so a value can never add lines of its own. False (nothing changed) when the section
    // or key name could not be written as one line of the file.
    bool Write(std::string_view section, std::string_view key, std::string_view value);

  private:
    struct TLine {
        size_t Start = 0;   // offset of the line in FText
        size_t Length = 0;  // without its line end
        size_t EndSize = 0; // bytes of its line end: 0 (end of file), 1 (LF) or 2 (CR LF)
    };
    enum class TKind { Blank, Comment, Section, Key, Other };
    std::vector<TLine> Lines() const;
    TKind Classify(const TLine& line, std::string& name, std::string& value) const;
    // Index of the line that sets the key, or -1; `insertAt` gets the index just after the
    // section's last key line (or its header), -1 when the section does not exist.
    long Find(const std::vector<TLine>& lines, std::string_view section, std::string_view key,
              long* insertAt = nullptr) const;

    std::string FText;
};

} // namespace pavona

// INI files as games read and write them: "[section]" lines, "key=value" lines, anything else
// (comments, blank lines) kept as it is. Section and key names ignore ASCII letter case and the
// blanks around them; a value loses its surrounding blanks and one pair of matching quotes.
// When a section or key occurs twice, the first one counts. Every change rewrites the whole
// file atomically (a temporary file renamed over it), so a crash never leaves half a file.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kr {

class IniFile {
public:
    // Reads the file at `path`; a missing or unreadable file is an empty one.
    explicit IniFile(std::string path);

    std::optional<std::string> Read(std::string_view section, std::string_view key) const;
    bool KeyExists(std::string_view section, std::string_view key) const;
    bool SectionExists(std::string_view section) const;

    // Changes the text and writes the file; false when the file could not be written (the text
    // in memory is changed all the same).
    bool Write(std::string_view section, std::string_view key, std::string_view value);
    bool DeleteKey(std::string_view section, std::string_view key);
    bool DeleteSection(std::string_view section);

    // The file's text as it would be written.
    std::string Text() const;

private:
    struct Line {
        std::string text;
        enum Kind { kOther, kSection, kKey } kind = kOther;
        std::string name;  // the section or key name, trimmed
    };
    // [begin, end) of the lines of the first section of that name (the header excluded); begin
    // is npos when there is none.
    void FindSection(std::string_view section, size_t& header, size_t& end) const;
    size_t FindKey(size_t begin, size_t end, std::string_view key) const;
    static Line Parse(std::string text);
    bool Save();

    std::string path_;
    std::vector<Line> lines_;
};

}  // namespace kr

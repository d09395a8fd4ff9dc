#include "library/IniFile.h"

#include "platform/Files.h"

namespace kr {

namespace {

constexpr size_t kNone = std::string::npos;

std::string_view Trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return s.substr(b, e - b);
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = (unsigned char)a[i], y = (unsigned char)b[i];
        if (x >= 'A' && x <= 'Z') x = (unsigned char)(x + 32);
        if (y >= 'A' && y <= 'Z') y = (unsigned char)(y + 32);
        if (x != y) return false;
    }
    return true;
}

}  // namespace

IniFile::Line IniFile::Parse(std::string text) {
    Line line;
    std::string_view t = Trim(text);
    if (!t.empty() && t.front() == '[') {
        size_t close = t.find(']');
        if (close != std::string_view::npos) {
            line.kind = Line::kSection;
            line.name = std::string(Trim(t.substr(1, close - 1)));
        }
    } else if (!t.empty() && t.front() != ';') {
        size_t eq = t.find('=');
        if (eq != std::string_view::npos) {
            line.kind = Line::kKey;
            line.name = std::string(Trim(t.substr(0, eq)));
        }
    }
    line.text = std::move(text);
    return line;
}

IniFile::IniFile(std::string path) : path_(std::move(path)) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path_, bytes)) return;
    size_t i = 0, n = bytes.size();
    while (i < n) {
        size_t start = i;
        while (i < n && bytes[i] != '\r' && bytes[i] != '\n') ++i;
        lines_.push_back(
            Parse(std::string(reinterpret_cast<const char*>(bytes.data()) + start, i - start)));
        if (i < n && bytes[i] == '\r') ++i;
        if (i < n && bytes[i] == '\n') ++i;
    }
}

void IniFile::FindSection(std::string_view section, size_t& header, size_t& end) const {
    std::string_view want = Trim(section);
    header = kNone;
    end = kNone;
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind != Line::kSection) continue;
        if (header != kNone) {
            end = i;
            return;
        }
        if (SameName(lines_[i].name, want)) header = i;
    }
    if (header != kNone) end = lines_.size();
}

size_t IniFile::FindKey(size_t begin, size_t end, std::string_view key) const {
    std::string_view want = Trim(key);
    for (size_t i = begin; i < end; ++i)
        if (lines_[i].kind == Line::kKey && SameName(lines_[i].name, want)) return i;
    return kNone;
}

std::optional<std::string> IniFile::Read(std::string_view section, std::string_view key) const {
    size_t header, end;
    FindSection(section, header, end);
    if (header == kNone) return std::nullopt;
    size_t k = FindKey(header + 1, end, key);
    if (k == kNone) return std::nullopt;
    std::string_view text = lines_[k].text;
    std::string_view value = Trim(text.substr(text.find('=') + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

bool IniFile::KeyExists(std::string_view section, std::string_view key) const {
    return Read(section, key).has_value();
}

bool IniFile::SectionExists(std::string_view section) const {
    size_t header, end;
    FindSection(section, header, end);
    return header != kNone;
}

bool IniFile::Write(std::string_view section, std::string_view key, std::string_view value) {
    std::string text = std::string(Trim(key)) + "=" + std::string(value);
    size_t header, end;
    FindSection(section, header, end);
    if (header == kNone) {
        lines_.push_back(Parse("[" + std::string(Trim(section)) + "]"));
        lines_.push_back(Parse(std::move(text)));
        return Save();
    }
    size_t k = FindKey(header + 1, end, key);
    if (k != kNone) {
        lines_[k] = Parse(std::move(text));
        return Save();
    }
    // A new key goes after the section's last key (or its header), before trailing blank lines.
    size_t at = header + 1;
    for (size_t i = header + 1; i < end; ++i)
        if (!Trim(lines_[i].text).empty()) at = i + 1;
    lines_.insert(lines_.begin() + long(at), Parse(std::move(text)));
    return Save();
}

bool IniFile::DeleteKey(std::string_view section, std::string_view key) {
    size_t header, end;
    FindSection(section, header, end);
    if (header == kNone) return true;
    size_t k = FindKey(header + 1, end, key);
    if (k == kNone) return true;
    lines_.erase(lines_.begin() + long(k));
    return Save();
}

bool IniFile::DeleteSection(std::string_view section) {
    size_t header, end;
    FindSection(section, header, end);
    if (header == kNone) return true;
    lines_.erase(lines_.begin() + long(header), lines_.begin() + long(end));
    return Save();
}

std::string IniFile::Text() const {
    std::string out;
    for (const Line& l : lines_) {
        out += l.text;
        out += "\r\n";
    }
    return out;
}

bool IniFile::Save() {
    std::string text = Text();
    return WriteFileAtomically(
        path_, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

}  // namespace kr

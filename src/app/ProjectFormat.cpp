// Shared pieces of the text-project format.
#include "app/ProjectFormat.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "data/Stream.h"
#include "platform/Text.h"

namespace kr::project {

namespace {
constexpr Word kEventTypeWords[] = {
    {0, "create"},    {1, "destroy"},  {2, "alarm"},       {3, "step"},
    {4, "collision"}, {5, "keyboard"}, {6, "mouse"},       {7, "other"},
    {8, "draw"},      {9, "keypress"}, {10, "keyrelease"}, {11, "trigger"},
};
constexpr Word kActionKindWords[] = {
    {0, "normal"}, {1, "begin"},  {2, "end"},      {3, "else"},
    {4, "exit"},   {5, "repeat"}, {6, "variable"}, {7, "code"},
};
constexpr Word kExecTypeWords[] = {{0, "nothing"}, {1, "function"}, {2, "code"}};
constexpr Word kSoundKindWords[] = {{0, "normal"}, {1, "music"}, {2, "3d"}, {3, "multimedia"}};
constexpr Word kMaskShapeWords[] = {
    {0, "precise"}, {1, "rectangle"}, {2, "ellipse"}, {3, "diamond"}};
constexpr Word kBoxModeWords[] = {{0, "automatic"}, {1, "full"}, {2, "manual"}};
constexpr Word kTriggerMomentWords[] = {{0, "step"}, {1, "begin_step"}, {2, "end_step"}};
constexpr Word kFileKindWords[] = {
    {1, "library"}, {2, "script"}, {3, "action_library"}, {4, "other"}};
constexpr Word kPathKindWords[] = {{0, "straight"}, {1, "smooth"}};
}  // namespace

const std::span<const Word> kPathKinds = kPathKindWords;
const std::span<const Word> kEventTypes = kEventTypeWords;
const std::span<const Word> kActionKinds = kActionKindWords;
const std::span<const Word> kExecTypes = kExecTypeWords;
const std::span<const Word> kSoundKinds = kSoundKindWords;
const std::span<const Word> kMaskShapes = kMaskShapeWords;
const std::span<const Word> kBoxModes = kBoxModeWords;
const std::span<const Word> kTriggerMoments = kTriggerMomentWords;
const std::span<const Word> kFileKinds = kFileKindWords;

const char* WordOf(std::span<const Word> words, int32_t value) {
    for (const Word& w : words)
        if (w.value == value) return w.word;
    return nullptr;
}

bool ValueOf(std::span<const Word> words, std::string_view word, int32_t& value) {
    for (const Word& w : words) {
        if (word == w.word) {
            value = w.value;
            return true;
        }
    }
    return false;
}

std::string ToUtf8(std::string_view game_text) {
    return GameTextToUtf8(game_text);
}

bool FromUtf8(std::string_view utf8, std::string& out) {
    // The code page's characters by their UTF-8 form, from the one conversion we have.
    static const std::map<std::string, char> kBack = [] {
        std::map<std::string, char> m;
        for (int b = 0; b < 256; ++b) {
            char c = char(b);
            m.emplace(GameTextToUtf8(std::string_view(&c, 1)), c);
        }
        return m;
    }();
    out.clear();
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        const uint8_t lead = uint8_t(utf8[i]);
        if (lead < 0x80) {
            out += char(lead);
            ++i;
            continue;
        }
        size_t n = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        auto it = kBack.find(std::string(utf8.substr(i, n)));
        if (it == kBack.end()) return false;
        out += it->second;
        i += n;
    }
    return true;
}

size_t EditDistance(std::string_view a, std::string_view b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            size_t up = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = up;
        }
    }
    return row[b.size()];
}

std::string FileStem(std::string_view name, std::set<std::string>& taken) {
    std::string stem;
    for (char c : name) {
        const unsigned char u = static_cast<unsigned char>(c);
        stem += (u < 0x80 && (std::isalnum(u) || c == '_' || c == '-' || c == '.')) ? c : '_';
    }
    if (stem.empty()) stem = "_";
    if (stem[0] == '.') stem[0] = '_';
    auto lower = [](std::string s) {
        for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    std::string unique = stem;
    for (int n = 2; taken.count(lower(unique)); ++n) unique = stem + "_" + std::to_string(n);
    taken.insert(lower(unique));
    return unique;
}

namespace {
void Chunk(std::vector<uint8_t>& out, const char type[4], std::span<const uint8_t> data) {
    auto be = [&out](uint32_t v) {
        for (int s = 24; s >= 0; s -= 8) out.push_back(uint8_t(v >> s));
    };
    be(uint32_t(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    be(uint32_t(crc32(0, out.data() + start, uInt(out.size() - start))));
}
}  // namespace

std::vector<uint8_t> EncodeGreyPng(int32_t width, int32_t height, int bits,
                                   std::span<const uint8_t> values) {
    const size_t row_bytes = bits == 1 ? (size_t(width) + 7) / 8 : size_t(width);
    std::vector<uint8_t> raw;
    raw.reserve((row_bytes + 1) * size_t(height));
    for (int32_t y = 0; y < height; ++y) {
        raw.push_back(0);  // filter: none
        const uint8_t* row = values.data() + size_t(y) * size_t(width);
        if (bits == 8) {
            raw.insert(raw.end(), row, row + width);
            continue;
        }
        for (size_t i = 0; i < row_bytes; ++i) {
            uint8_t byte = 0;
            for (int b = 0; b < 8; ++b) {
                const size_t x = i * 8 + size_t(b);
                if (x < size_t(width) && row[x]) byte |= uint8_t(0x80 >> b);
            }
            raw.push_back(byte);
        }
    }
    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    std::vector<uint8_t> header;
    for (uint32_t v : {uint32_t(width), uint32_t(height)})
        for (int s = 24; s >= 0; s -= 8) header.push_back(uint8_t(v >> s));
    header.insert(header.end(), {uint8_t(bits), 0, 0, 0, 0});  // grey, no interlace
    Chunk(out, "IHDR", header);
    Chunk(out, "IDAT", Deflate(raw, 9));
    Chunk(out, "IEND", {});
    return out;
}

// --- TomlOut ---

std::string TomlOut::Quote(std::string_view game_text) {
    std::string utf8 = ToUtf8(game_text);
    std::string q = "\"";
    for (char c : utf8) {
        switch (c) {
            case '"':
                q += "\\\"";
                break;
            case '\\':
                q += "\\\\";
                break;
            case '\n':
                q += "\\n";
                break;
            case '\r':
                q += "\\r";
                break;
            case '\t':
                q += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04X",
                                  unsigned(static_cast<unsigned char>(c)));
                    q += buf;
                } else {
                    q += c;
                }
        }
    }
    return q + "\"";
}

std::string TomlOut::Real(double v) {
    if (std::isnan(v)) return "nan";
    if (std::isinf(v)) return v > 0 ? "inf" : "-inf";
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    // The shortest form that reads back the same.
    for (int digits = 1; digits <= 17; ++digits) {
        char shorter[40];
        std::snprintf(shorter, sizeof shorter, "%.*g", digits, v);
        if (std::strtod(shorter, nullptr) == v) {
            std::snprintf(buf, sizeof buf, "%s", shorter);
            break;
        }
    }
    std::string s = buf;
    if (s.find_first_of(".eE") == std::string::npos) s += ".0";
    // TOML wants a digit before an exponent's mark and after a decimal point.
    if (size_t e = s.find_first_of("eE");
        e != std::string::npos && s.find('.') == std::string::npos)
        s.insert(e, ".0");
    return s;
}

void TomlOut::Comment(std::string_view text) {
    out_ += "# ";
    out_ += text;
    out_ += '\n';
}
void TomlOut::Blank() {
    out_ += '\n';
}
void TomlOut::Table(std::string_view header) {
    if (!out_.empty() && !out_.ends_with("\n\n")) out_ += '\n';
    out_ += "[" + std::string(header) + "]\n";
}
void TomlOut::ArrayTable(std::string_view header) {
    if (!out_.empty() && !out_.ends_with("\n\n")) out_ += '\n';
    out_ += "[[" + std::string(header) + "]]\n";
}
void TomlOut::Key(std::string_view key, double v) {
    Raw(key, Real(v));
}
void TomlOut::Key(std::string_view key, bool v) {
    Raw(key, v ? "true" : "false");
}
void TomlOut::Key(std::string_view key, std::string_view game_text) {
    Raw(key, Quote(game_text));
}
void TomlOut::Raw(std::string_view key, std::string_view toml) {
    out_ += key;
    out_ += " = ";
    out_ += toml;
    out_ += '\n';
}

}  // namespace kr::project

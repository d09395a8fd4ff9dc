// The pieces that reading and writing text projects share: the words used for enumerations, a
// small TOML writer that keeps keys in a readable order, game text to and from UTF-8, file
// names made from resource names, and grey-level PNG files for masks and font images.
#pragma once

#include <concepts>
#include <cstdint>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kr::project {

// Words for enumerated fields, by stored value. Values outside a table are written as numbers.
struct Word {
    int32_t value;
    const char* word;
};
extern const std::span<const Word> kEventTypes;      // "create" .. "trigger"
extern const std::span<const Word> kActionKinds;     // "normal", "begin", "end", ...
extern const std::span<const Word> kExecTypes;       // "nothing", "function", "code"
extern const std::span<const Word> kSoundKinds;      // "normal", "music", "3d", "multimedia"
extern const std::span<const Word> kMaskShapes;      // "precise", "rectangle", ...
extern const std::span<const Word> kBoxModes;        // "automatic", "full", "manual"
extern const std::span<const Word> kTriggerMoments;  // "step", "begin_step", "end_step"
extern const std::span<const Word> kFileKinds;       // extension files: "library", ...
extern const std::span<const Word> kPathKinds;       // "straight", "smooth"
const char* WordOf(std::span<const Word> words, int32_t value);  // nullptr when none
bool ValueOf(std::span<const Word> words, std::string_view word, int32_t& value);

// Game text (code page 1252) to UTF-8 and back. Back fails on characters the code page lacks.
std::string ToUtf8(std::string_view game_text);
bool FromUtf8(std::string_view utf8, std::string& game_text);

// The edit distance of two names (insertions, deletions, substitutions), for suggestions.
size_t EditDistance(std::string_view a, std::string_view b);

// A file name for a resource name: letters, digits, '_', '-' and '.' kept, everything else
// '_', never empty or hidden, and unique (ignoring case) among the names `taken` so far.
std::string FileStem(std::string_view name, std::set<std::string>& taken);

// A PNG of one grey channel, 1 or 8 bits deep; `values` holds one byte per pixel (for 1 bit,
// zero or not). Decoders give it back as opaque pixels with red = green = blue.
std::vector<uint8_t> EncodeGreyPng(int32_t width, int32_t height, int bits,
                                   std::span<const uint8_t> values);

// Writes TOML text. Strings are game text and are converted to UTF-8.
class TomlOut {
public:
    void Comment(std::string_view text);
    void Blank();
    void Table(std::string_view header);       // [header]
    void ArrayTable(std::string_view header);  // [[header]]
    template <std::integral T>
    requires(!std::same_as<T, bool>) void Key(std::string_view key, T v) {
        Raw(key, std::to_string(v));
    }
    void Key(std::string_view key, double v);
    void Key(std::string_view key, bool v);
    void Key(std::string_view key, std::string_view game_text);
    void Key(std::string_view key, const char* game_text) { Key(key, std::string_view(game_text)); }
    // A value already in TOML form (an array, an inline table).
    void Raw(std::string_view key, std::string_view toml);
    const std::string& Text() const { return out_; }

    static std::string Quote(std::string_view game_text);
    static std::string Real(double v);

private:
    std::string out_;
};

}  // namespace kr::project

#include "platform/FontRaster.h"

#ifndef __EMSCRIPTEN__
#include <fontconfig/fontconfig.h>
#endif
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <mutex>
#include "platform/LazyLibrary.h"

// fontconfig parses its configuration once and keeps it for the whole process: the leak
// checker of sanitizer builds is told so, not to report it (the checker calls this by name).
extern "C" __attribute__((used)) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

// ...and to say nothing of it either: a run's standard error carries only what the run says.
extern "C" __attribute__((used)) const char* __lsan_default_options() {
    return "print_suppressions=0";
}

namespace kr {

namespace {

// Loaded on first use (platform/LazyLibrary.h).
LazyLibrary kFreeType("libfreetype.so.6");
KR_LAZY_FUNCTION(kFreeType, FT_Done_Face)
KR_LAZY_FUNCTION(kFreeType, FT_Done_FreeType)
KR_LAZY_FUNCTION(kFreeType, FT_Get_Char_Index)
KR_LAZY_FUNCTION(kFreeType, FT_GlyphSlot_Embolden)
KR_LAZY_FUNCTION(kFreeType, FT_GlyphSlot_Oblique)
KR_LAZY_FUNCTION(kFreeType, FT_Init_FreeType)
KR_LAZY_FUNCTION(kFreeType, FT_Load_Glyph)
KR_LAZY_FUNCTION(kFreeType, FT_New_Face)
KR_LAZY_FUNCTION(kFreeType, FT_Render_Glyph)
KR_LAZY_FUNCTION(kFreeType, FT_Set_Char_Size)
#ifndef __EMSCRIPTEN__  // the web runner finds its faces itself
LazyLibrary kFontConfig("libfontconfig.so.1");
KR_LAZY_FUNCTION(kFontConfig, FcConfigSubstitute)
KR_LAZY_FUNCTION(kFontConfig, FcDefaultSubstitute)
KR_LAZY_FUNCTION(kFontConfig, FcFontMatch)
KR_LAZY_FUNCTION(kFontConfig, FcInit)
KR_LAZY_FUNCTION(kFontConfig, FcPatternAddBool)
KR_LAZY_FUNCTION(kFontConfig, FcPatternAddInteger)
KR_LAZY_FUNCTION(kFontConfig, FcPatternAddString)
KR_LAZY_FUNCTION(kFontConfig, FcPatternCreate)
KR_LAZY_FUNCTION(kFontConfig, FcPatternDestroy)
KR_LAZY_FUNCTION(kFontConfig, FcPatternGetString)
#endif

}  // namespace

namespace {

std::string Lower(std::string s) {
    for (char& ch : s) ch = char(std::tolower(static_cast<unsigned char>(ch)));
    return s;
}

// Windows Latin code points 0x80..0x9F; the rest of 0..255 is Latin-1.
constexpr uint16_t kWindows80[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

uint32_t CodePoint(uint8_t c) {
    return c >= 0x80 && c < 0xA0 ? kWindows80[c - 0x80] : c;
}

#ifdef __EMSCRIPTEN__
// The web runner has no fontconfig: its file system holds a few free faces in /fonts, loaded
// with the runner (the Liberation families and DejaVu Sans). A family it does not hold gives
// nothing; a style it does not hold gives the regular face, the style then made up.
std::string MatchFile(const std::string& family, bool bold, bool italic) {
    std::string name;
    for (char c : family)
        if (c != ' ') name += c;
    const bool liberation = name.starts_with("Liberation");
    const char* style = bold && italic ? (liberation ? "-BoldItalic" : "-BoldOblique")
                        : bold         ? "-Bold"
                        : italic       ? (liberation ? "-Italic" : "-Oblique")
                                       : (liberation ? "-Regular" : "");
    for (const std::string& file : {"/fonts/" + name + style + ".ttf",
                                    "/fonts/" + name + (liberation ? "-Regular" : "") + ".ttf"}) {
        if (std::FILE* f = std::fopen(file.c_str(), "rb")) {
            std::fclose(f);
            return file;
        }
    }
    return {};
}
#else
// The file of the best face for a family and style; empty when fontconfig finds nothing.
std::string MatchFile(const std::string& family, bool bold, bool italic) {
    static std::mutex lock;
    std::lock_guard<std::mutex> guard(lock);
    if (!FcInit()) return {};
    FcPattern* pat = FcPatternCreate();
    if (!pat) return {};
    FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pat, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pat, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult res = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pat, &res);
    std::string file;
    FcChar8* path = nullptr;
    if (match && FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path)
        file = reinterpret_cast<const char*>(path);
    if (match) FcPatternDestroy(match);
    FcPatternDestroy(pat);
    return file;
}
#endif

class FreeTypeFont final : public FontRasterizer {
public:
    ~FreeTypeFont() override {
        if (face_) FT_Done_Face(face_);
        if (lib_) FT_Done_FreeType(lib_);
    }

    bool Open(const std::string& file, int32_t size, bool bold, bool italic) {
        if (FT_Init_FreeType(&lib_) != 0) return false;
        if (FT_New_Face(lib_, file.c_str(), 0, &face_) != 0) return false;
        size = std::clamp(size, 1, 1000);
        if (FT_Set_Char_Size(face_, 0, FT_F26Dot6(size) * 64, 96, 96) != 0) return false;
        file_ = file;
        // A style the face does not have is made up.
        embolden_ = bold && !(face_->style_flags & FT_STYLE_FLAG_BOLD);
        oblique_ = italic && !(face_->style_flags & FT_STYLE_FLAG_ITALIC);
        ascent_ = int32_t((face_->size->metrics.ascender + 63) / 64);
        int32_t descent = int32_t((-face_->size->metrics.descender + 63) / 64);
        height_ = std::max(1, ascent_ + descent);
        return true;
    }

    int32_t LineHeight() const override { return height_; }
    const std::string& FaceFile() const override { return file_; }

    bool Glyph(uint8_t c, RasterGlyph& out) override {
        out = RasterGlyph{};
        FT_UInt index = FT_Get_Char_Index(face_, CodePoint(c));
        if (index == 0 && c != 32) return false;
        if (FT_Load_Glyph(face_, index, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0) return false;
        FT_GlyphSlot slot = face_->glyph;
        if (oblique_) FT_GlyphSlot_Oblique(slot);
        if (embolden_) FT_GlyphSlot_Embolden(slot);
        if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return false;
        out.advance = int32_t((slot->advance.x + 32) / 64);
        out.left = slot->bitmap_left;
        out.top = ascent_ - slot->bitmap_top;
        const FT_Bitmap& bm = slot->bitmap;
        out.width = int32_t(bm.width);
        out.height = int32_t(bm.rows);
        out.coverage.assign(size_t(out.width) * size_t(out.height), 0);
        for (int32_t y = 0; y < out.height; ++y) {
            const unsigned char* row = bm.buffer + ptrdiff_t(y) * bm.pitch;
            for (int32_t x = 0; x < out.width; ++x) {
                uint8_t v = bm.pixel_mode == FT_PIXEL_MODE_MONO
                                ? ((row[x >> 3] >> (7 - (x & 7))) & 1 ? 255 : 0)
                                : row[x];
                out.coverage[size_t(y) * size_t(out.width) + size_t(x)] = v;
            }
        }
        return true;
    }

private:
    FT_Library lib_ = nullptr;
    FT_Face face_ = nullptr;
    std::string file_;
    bool embolden_ = false, oblique_ = false;
    int32_t ascent_ = 0, height_ = 1;
};

}  // namespace

std::string SubstituteFamily(const std::string& name) {
    static const struct {
        const char* windows;
        const char* free;
    } kMap[] = {
        {"arial", "Liberation Sans"},
        {"helvetica", "Liberation Sans"},
        {"times new roman", "Liberation Serif"},
        {"times", "Liberation Serif"},
        {"courier new", "Liberation Mono"},
        {"courier", "Liberation Mono"},
        {"verdana", "DejaVu Sans"},
        {"tahoma", "DejaVu Sans"},
        {"comic sans ms", "DejaVu Sans"},
        {"georgia", "DejaVu Serif"},
        {"lucida console", "DejaVu Sans Mono"},
    };
    std::string key = Lower(name);
    for (const auto& m : kMap)
        if (key == m.windows) return m.free;
    return name;
}

std::unique_ptr<FontRasterizer> OpenSystemFont(const std::string& name, int32_t size, bool bold,
                                               bool italic) {
    const std::string family = SubstituteFamily(name);
    for (const std::string& f :
         {family, std::string("Liberation Sans"), std::string("DejaVu Sans")}) {
        std::string file = MatchFile(f, bold, italic);
        if (file.empty()) continue;
        auto font = std::make_unique<FreeTypeFont>();
        if (font->Open(file, size, bold, italic)) return font;
    }
    return nullptr;
}

}  // namespace kr

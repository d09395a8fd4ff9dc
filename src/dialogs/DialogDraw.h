// Draws the window models of DialogWindows.h and RichText.h with the game's renderer: frames,
// caption bars, buttons (plain or from a button image), input fields with their cursor, menus,
// the highscore table and rich text. Its font cache renders system faces once per font and size
// and measures text for the layouts.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "dialogs/DialogWindows.h"
#include "dialogs/Pickers.h"
#include "dialogs/RichText.h"
#include "graphics/Font.h"

namespace kr {

class Graphics;

// Colours (0xBBGGRR) and images of the windows.
struct DialogStyle {
    int32_t text_color = 0, button_text_color = 0, input_text_color = 0;
    int32_t window_color = 0xF0F0F0;
    int32_t caption_color = 0x7A4A1E, caption_text_color = 0xFFFFFF;
    int32_t button_color = 0xE1E1E1;
    int32_t mouse_color = 0xF7D9BC;  // a button under the mouse
    int32_t input_color = 0xFFFFFF;
    double alpha = 1;
    // Stretched over the window (-1 none); a button image has frames for up, under the mouse
    // and held down when it has that many.
    int32_t background_texture = -1;
    std::vector<int32_t> button_textures;
};

class DialogPainter final : public TextMeasure {
public:
    explicit DialogPainter(Graphics& gfx);
    ~DialogPainter() override;

    int32_t Width(const FontKey& font, std::string_view text) override;
    int32_t Height(const FontKey& font) override;

    // Text on one line at (x, y), its top left.
    void Text(const FontKey& font, int32_t x, int32_t y, std::string_view text, int32_t color,
              double alpha);
    // The game's picture behind the window, darkened a little.
    void Shade(int32_t w, int32_t h, double amount);

    void Draw(const MessageWindow& w, const MessageLook& look, const DialogStyle& s, bool caret);
    void Draw(const MenuWindow& w, const FontKey& font, const DialogStyle& s);
    // `new_color`: the colour of the entry being typed, `other_color` of the rest.
    void Draw(const HighscoreWindow& w, const FontKey& font, const DialogStyle& s,
              int32_t new_color, int32_t other_color, bool border, bool caret);
    void Draw(const TextViewer& v, const FontKey& caption_font, const DialogStyle& s);
    void Draw(const FilePicker& w, const FontKey& font, const DialogStyle& s, bool caret);
    void Draw(const ColorPicker& w, const FontKey& font, const DialogStyle& s);

    // A caption bar with the text and, when `close`, a close box at its right end, which is
    // returned (empty without one).
    DialogRect CaptionBar(const DialogRect& bar, const FontKey& font, std::string_view text,
                          const DialogStyle& s, bool close);

    // Frees the cached fonts' textures (before the device goes).
    void Release();

private:
    CFont& Font(const FontKey& key);
    void Frame(const DialogRect& r, const DialogStyle& s, bool border);
    void Caption(const DialogRect& bar, const FontKey& font, std::string_view text,
                 const DialogStyle& s);
    void Button(const DialogRect& r, std::string_view text, const FontKey& font,
                const DialogStyle& s, bool hover, bool down, bool focus);
    void Field(const DialogRect& r, const TextField& f, const FontKey& font, const DialogStyle& s,
               bool caret);
    void Rect(const DialogRect& r, int32_t color, double alpha, bool outline);

    Graphics& gfx_;
    struct Cached {
        FontKey key;
        std::unique_ptr<CFont> font;
    };
    std::vector<Cached> fonts_;
};

}  // namespace kr

// The game's own windows as models: message and input boxes, pop-up menus, the highscore table
// and the text viewer of the game information. Each lays itself out in the game window's client
// area, hit-tests the mouse, edits its text and knows when it has closed and with what answer.
// Nothing here draws or talks to a window system: DialogDraw.h draws these models, and the
// runner feeds them the window's input.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kr {

// Virtual-key codes the windows react to.
inline constexpr int32_t kVkBackspace = 8, kVkTab = 9, kVkEnter = 13, kVkEscape = 27,
                         kVkPageUp = 33, kVkPageDown = 34, kVkEnd = 35, kVkHome = 36, kVkLeft = 37,
                         kVkUp = 38, kVkRight = 39, kVkDown = 40, kVkDelete = 46;

// Input to a window: keys by virtual-key code, typed characters as bytes, mouse buttons 1 left,
// 2 right, 3 middle; positions are client-area pixels.
struct DialogInput {
    enum class Kind : uint8_t {
        kKeyDown,
        kChar,
        kMouseMove,
        kMouseDown,
        kMouseUp,
        kWheelUp,
        kWheelDown
    };
    Kind kind = Kind::kKeyDown;
    int32_t code = 0;
    int32_t x = 0, y = 0;
};

struct DialogRect {
    int32_t x = 0, y = 0, w = 0, h = 0;
    bool Contains(int32_t px, int32_t py) const {
        return w > 0 && h > 0 && px >= x && py >= y && px < x + w && py < y + h;
    }
    bool operator==(const DialogRect&) const = default;
};

// Where a picture (an image or a video's frames) of pw x ph pixels is drawn in a splash `area`.
// `fit`: scaled to fill the area with its proportions kept. Otherwise at its own size times
// `ui_scale` (the scale of the dialogs on this screen), made smaller with its proportions kept
// only when it does not fit. Always centred in the area.
struct PicturePlace {
    double x = 0, y = 0, w = 0, h = 0;
    bool operator==(const PicturePlace&) const = default;
};
PicturePlace PlacePicture(const DialogRect& area, int32_t pw, int32_t ph, bool fit,
                          double ui_scale);

// A font by what it is made from; sizes are pixels of line height asked for (points as the
// game gives them, times the window's scale).
struct FontKey {
    std::string name = "Arial";
    int32_t size = 10;
    bool bold = false, italic = false;
    bool operator==(const FontKey&) const = default;
};

// Measures text for the layouts; the drawer's font cache measures with real fonts, tests with
// fixed widths.
class TextMeasure {
public:
    virtual ~TextMeasure() = default;
    virtual int32_t Width(const FontKey& font, std::string_view text) = 0;
    virtual int32_t Height(const FontKey& font) = 0;
};

// A message text as the windows show it: "#" is a line break, "\#" a literal "#"; "\r\n", "\r"
// and "\n" are line breaks too (all become "\n").
std::string MessageText(std::string_view text);
// Lines of `text` ("\n" breaks them) wrapped at blanks to `width` pixels (a word wider than
// that is cut between characters). An empty text is one empty line.
std::vector<std::string> WrapLines(TextMeasure& m, const FontKey& font, std::string_view text,
                                   int32_t width);

// A one-line text field. It opens with its whole text selected, so that typing replaces it.
class TextField {
public:
    explicit TextField(std::string text = {});
    const std::string& Text() const { return text_; }
    size_t Cursor() const { return cursor_; }
    bool AllSelected() const { return selected_; }
    // Typed bytes replace the selection; control characters other than those of Key are
    // ignored (backspace typed as a character erases).
    void Type(std::string_view s);
    // Backspace, Delete, Left, Right, Home, End. False for other keys.
    bool Key(int32_t vk);
    void SetCursor(size_t at);
    // Caps the length (bytes); 0 is no cap.
    size_t max_length = 0;

private:
    std::string text_;
    size_t cursor_ = 0;
    bool selected_ = true;
};

// The look settings that affect the layout.
struct MessageLook {
    FontKey text_font, button_font, input_font;
    bool caption_shown = true;
    std::string caption;
    int32_t x = -1, y = -1;                       // position in the client area; -1 centred
    int32_t width = -1, height = -1;              // -1: from the content
    int32_t button_width = 0, button_height = 0;  // a button image's size; 0: from the text
};

// A message box with up to three buttons, optionally with an input field. Buttons keep their
// numbers 1..3 when one before them is hidden (an empty text hides a button).
class MessageWindow {
public:
    MessageWindow(std::string text, std::array<std::string, 3> buttons, bool input = false,
                  std::string input_text = {});

    // Lays the window out in a client area of cw x ch pixels, `scale` times the base size.
    void Layout(TextMeasure& m, const MessageLook& look, int32_t cw, int32_t ch, double scale);
    // One input; true once the window has closed.
    bool Handle(const DialogInput& in);
    // Presses button n (1..3, a hidden one does nothing), or closes without a button for 0.
    void Press(int32_t n);
    bool Closed() const { return closed_; }
    // The pressed button 1..3, or 0 when closed otherwise.
    int32_t Result() const { return result_; }
    bool ButtonShown(int32_t n) const;
    // The button Enter presses and Escape closes with (0: closed without a button).
    int32_t DefaultButton() const;
    int32_t CancelButton() const;
    bool HasInput() const { return input_; }
    TextField& Field() { return field_; }
    const TextField& Field() const { return field_; }
    const std::string& Text() const { return text_; }
    const std::array<std::string, 3>& Buttons() const { return buttons_; }

    // ---- The layout ----
    DialogRect frame, caption_bar, text_area, input_box;
    std::array<DialogRect, 3> button_rects{};  // empty for hidden buttons
    std::vector<std::string> lines;
    int32_t line_height = 0;
    int32_t hover = 0;    // the button under the mouse, 0 none
    int32_t focus = 0;    // the button with the keyboard focus
    int32_t pressed = 0;  // the button held down with the mouse

private:
    std::string text_;
    std::array<std::string, 3> buttons_;
    bool input_;
    TextField field_;
    // From the last layout, to place the caret where the input field is clicked.
    TextMeasure* measure_ = nullptr;
    FontKey input_font_;
    bool closed_ = false;
    int32_t result_ = 0;
};

// A pop-up menu: items separated by "|"; an item "-" is a separator without a number, the
// others are numbered from 0.
class MenuWindow {
public:
    MenuWindow(std::string_view items, int32_t default_item);
    void Layout(TextMeasure& m, const FontKey& font, int32_t x, int32_t y, int32_t cw, int32_t ch,
                double scale);
    bool Handle(const DialogInput& in);
    // Chooses item number n (as numbered above); one that does not exist closes with the
    // default.
    void Choose(int32_t n);
    bool Closed() const { return closed_; }
    int32_t Result() const { return result_; }

    struct Item {
        std::string text;
        int32_t number = -1;  // -1: a separator
        DialogRect rect;
    };
    std::vector<Item> items;
    DialogRect frame;
    int32_t hover = -1;  // index into items

private:
    int32_t default_;
    bool closed_ = false;
    int32_t result_;
};

// The highscore window: the ten ranks, one of which may hold the name being typed.
class HighscoreWindow {
public:
    struct Row {
        std::string name;
        int32_t score = 0;
    };
    // `editing`: the rank (0..9) whose name is typed, -1 none.
    HighscoreWindow(std::vector<Row> rows, int32_t editing, std::string caption,
                    std::string escape_hint);
    void Layout(TextMeasure& m, const FontKey& font, int32_t cw, int32_t ch, double scale);
    bool Handle(const DialogInput& in);
    void Close() { closed_ = true; }
    bool Closed() const { return closed_; }
    int32_t Editing() const { return editing_; }
    TextField& Field() { return field_; }
    const TextField& Field() const { return field_; }
    const std::vector<Row>& Rows() const { return rows_; }
    const std::string& Caption() const { return caption_; }
    const std::string& EscapeHint() const { return hint_; }

    DialogRect frame, caption_bar, table, hint_area;
    std::vector<DialogRect> row_rects;
    int32_t line_height = 0;

private:
    std::vector<Row> rows_;
    int32_t editing_;
    std::string caption_, hint_;
    TextField field_;
    bool closed_ = false;
};

}  // namespace kr

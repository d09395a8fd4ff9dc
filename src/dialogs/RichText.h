// Rich text as the game information and text splash windows keep it: a small reader of the
// rich-text format (fonts, sizes, bold, italic, underline, colours, paragraphs with their
// alignment and indents), the layout of a document into lines of pieces, and the scrolling text
// viewer that shows one. Text that is not rich text reads as plain paragraphs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dialogs/DialogWindows.h"

namespace kr {

struct RichRun {
    std::string text;
    FontKey font;       // size in points
    int32_t color = 0;  // 0xBBGGRR
    bool underline = false;
};

struct RichParagraph {
    std::vector<RichRun> runs;
    int32_t align = 0;  // 0 left, 1 centre, 2 right (justified text is shown left-aligned)
    int32_t left_indent = 0, first_indent = 0;  // twentieths of a point
    int32_t space_before = 0, space_after = 0;  // twentieths of a point
};

struct RichDocument {
    std::vector<RichParagraph> paragraphs;
};

// Reads a document. Anything malformed (unbalanced braces, unknown words, a cut-off end) is
// read as far as it makes sense; the reader never fails.
RichDocument ParseRichText(std::string_view text);

// One piece of a laid-out line: text in one style at a position relative to the document's
// top left.
struct RichPiece {
    int32_t x = 0, y = 0;  // top left of the text
    std::string text;
    FontKey font;  // size in pixels
    int32_t color = 0;
    bool underline = false;
    int32_t width = 0, height = 0;
};

struct RichLayout {
    std::vector<RichPiece> pieces;
    int32_t height = 0;
};

// Lays the document out `width` pixels wide; font sizes are multiplied by `scale`.
RichLayout LayoutRichText(const RichDocument& doc, TextMeasure& m, int32_t width, double scale);

// A window that shows a laid-out document with a caption, scrolled by the wheel, the arrow and
// page keys; Escape, Enter or the close box closes it.
class TextViewer {
public:
    TextViewer(RichDocument doc, std::string caption, int32_t background);
    // `w`, `h`: the window's size (-1: most of the client area); `x`, `y` its place (-1 centred).
    void Layout(TextMeasure& m, const FontKey& caption_font, int32_t x, int32_t y, int32_t w,
                int32_t h, int32_t cw, int32_t ch, double scale);
    bool Handle(const DialogInput& in);
    void Close() { closed_ = true; }
    bool Closed() const { return closed_; }
    const std::string& Caption() const { return caption_; }
    int32_t Background() const { return background_; }
    // Whether a key or click anywhere closes the viewer (splash windows).
    bool close_on_key = false, close_on_click = false;
    bool caption_shown = true;

    DialogRect frame, caption_bar, close_box, page;  // page: where the text shows
    RichLayout layout;
    int32_t scroll = 0;  // pixels of the document above the page

private:
    void ScrollBy(int32_t dy);
    RichDocument doc_;
    std::string caption_;
    int32_t background_;
    int32_t line_step_ = 16;
    bool closed_ = false;
};

}  // namespace kr

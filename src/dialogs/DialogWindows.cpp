// The window models: text conversion and wrapping, the text field, and the layout and input
// handling of message boxes, menus and the highscore window.
#include "dialogs/DialogWindows.h"

#include <algorithm>
#include <cmath>

namespace kr {

PicturePlace PlacePicture(const DialogRect& area, int32_t pw, int32_t ph, bool fit,
                          double ui_scale) {
    if (pw <= 0 || ph <= 0 || area.w <= 0 || area.h <= 0) return {};
    const double fill = std::min(double(area.w) / pw, double(area.h) / ph);
    const double f = fit ? fill : std::min(ui_scale, fill);
    const double w = pw * f, h = ph * f;
    return {area.x + (area.w - w) / 2, area.y + (area.h - h) / 2, w, h};
}

namespace {

int32_t Px(double v, double scale) {
    return int32_t(std::lround(v * scale));
}

// A rectangle of w x h at (x, y), or centred when x or y is negative, kept inside the client.
DialogRect Place(int32_t x, int32_t y, int32_t w, int32_t h, int32_t cw, int32_t ch) {
    DialogRect r{x, y, w, h};
    if (x < 0) r.x = (cw - w) / 2;
    if (y < 0) r.y = (ch - h) / 2;
    r.x = std::max(0, std::min(r.x, cw - w));
    r.y = std::max(0, std::min(r.y, ch - h));
    return r;
}

bool Printable(char c) {
    return uint8_t(c) >= 32 && c != 127;
}

}  // namespace

std::string MessageText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\' && i + 1 < text.size() && text[i + 1] == '#') {
            out += '#';
            ++i;
        } else if (c == '#') {
            out += '\n';
        } else if (c == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out += c;
        }
    }
    return out;
}

std::vector<std::string> WrapLines(TextMeasure& m, const FontKey& font, std::string_view text,
                                   int32_t width) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        size_t end = text.find('\n', start);
        std::string_view para =
            text.substr(start, end == std::string_view::npos ? end : end - start);
        // Greedy wrapping: take words while they fit; a word alone wider than the width is cut.
        std::string line;
        size_t i = 0;
        bool any = false;
        while (i < para.size()) {
            size_t j = para.find(' ', i);
            if (j == std::string_view::npos) j = para.size();
            std::string_view word = para.substr(i, j - i);
            std::string candidate =
                line.empty() ? std::string(word) : line + " " + std::string(word);
            if (width <= 0 || m.Width(font, candidate) <= width || (line.empty() && word.empty())) {
                line = std::move(candidate);
            } else if (!line.empty()) {
                lines.push_back(std::move(line));
                any = true;
                line.clear();
                continue;  // the word again, on a line of its own
            } else {
                // A word wider than a line: as many characters as fit (at least one).
                size_t n = 1;
                while (n < word.size() && m.Width(font, word.substr(0, n + 1)) <= width) ++n;
                lines.emplace_back(word.substr(0, n));
                any = true;
                i += n;
                continue;
            }
            i = j + 1;
        }
        if (!line.empty() || !any) lines.push_back(std::move(line));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return lines;
}

// ---- TextField -------------------------------------------------------------------------------

TextField::TextField(std::string text) : text_(std::move(text)), cursor_(text_.size()) {}

void TextField::Type(std::string_view s) {
    for (char c : s) {
        if (c == '\b') {
            Key(kVkBackspace);
            continue;
        }
        if (!Printable(c)) continue;
        if (selected_) {
            text_.clear();
            cursor_ = 0;
            selected_ = false;
        }
        if (max_length > 0 && text_.size() >= max_length) continue;
        text_.insert(text_.begin() + std::ptrdiff_t(cursor_), c);
        ++cursor_;
    }
}

bool TextField::Key(int32_t vk) {
    bool was_selected = selected_;
    selected_ = false;
    switch (vk) {
        case kVkBackspace:
        case kVkDelete:
            if (was_selected) {
                text_.clear();
                cursor_ = 0;
            } else if (vk == kVkBackspace && cursor_ > 0) {
                text_.erase(--cursor_, 1);
            } else if (vk == kVkDelete && cursor_ < text_.size()) {
                text_.erase(cursor_, 1);
            }
            return true;
        case kVkLeft:
            if (was_selected)
                cursor_ = 0;
            else if (cursor_ > 0)
                --cursor_;
            return true;
        case kVkRight:
            if (cursor_ < text_.size()) ++cursor_;
            return true;
        case kVkHome:
            cursor_ = 0;
            return true;
        case kVkEnd:
            cursor_ = text_.size();
            return true;
        default:
            selected_ = was_selected;
            return false;
    }
}

void TextField::SetCursor(size_t at) {
    selected_ = false;
    cursor_ = std::min(at, text_.size());
}

// ---- MessageWindow ---------------------------------------------------------------------------

MessageWindow::MessageWindow(std::string text, std::array<std::string, 3> buttons, bool input,
                             std::string input_text)
    : text_(std::move(text)),
      buttons_(std::move(buttons)),
      input_(input),
      field_(std::move(input_text)) {
    focus = DefaultButton();
}

bool MessageWindow::ButtonShown(int32_t n) const {
    return n >= 1 && n <= 3 && !buttons_[size_t(n - 1)].empty();
}

int32_t MessageWindow::DefaultButton() const {
    for (int32_t n = 1; n <= 3; ++n)
        if (ButtonShown(n)) return n;
    return 0;
}

// Escape is the last button of a question or an input box (No, Cancel); a box with one button
// or with the game's own buttons just closes.
int32_t MessageWindow::CancelButton() const {
    int32_t shown = 0, last = 0;
    for (int32_t n = 1; n <= 3; ++n)
        if (ButtonShown(n)) ++shown, last = n;
    return shown == 1 ? last : 0;
}

void MessageWindow::Layout(TextMeasure& m, const MessageLook& look, int32_t cw, int32_t ch,
                           double scale) {
    const int32_t pad = Px(14, scale), gap = Px(10, scale);
    measure_ = &m;
    input_font_ = look.input_font;
    line_height = std::max(1, m.Height(look.text_font));
    const int32_t button_text_h = m.Height(look.button_font);
    const int32_t bh =
        look.button_height > 0 ? Px(look.button_height, scale) : button_text_h + Px(12, scale);
    std::array<int32_t, 3> bw{};
    int32_t buttons_w = 0, shown = 0;
    for (int32_t n = 1; n <= 3; ++n) {
        if (!ButtonShown(n)) continue;
        int32_t w =
            look.button_width > 0
                ? Px(look.button_width, scale)
                : std::max(Px(80, scale),
                           m.Width(look.button_font, buttons_[size_t(n - 1)]) + Px(24, scale));
        bw[size_t(n - 1)] = w;
        buttons_w += w + (shown++ > 0 ? gap : 0);
    }
    const int32_t caption_h = look.caption_shown ? m.Height(look.text_font) + Px(10, scale) : 0;
    const int32_t input_h = input_ ? m.Height(look.input_font) + Px(10, scale) : 0;

    const int32_t max_w = std::max(Px(120, scale), cw - Px(16, scale));
    int32_t w = look.width > 0 ? std::min(Px(look.width, scale), cw) : 0;
    int32_t wrap = w > 0 ? w - 2 * pad : std::min(max_w, Px(560, scale)) - 2 * pad;
    lines = WrapLines(m, look.text_font, text_, std::max(1, wrap));
    if (w <= 0) {
        int32_t content = std::max(buttons_w, input_ ? Px(300, scale) : 0);
        for (const std::string& l : lines) content = std::max(content, m.Width(look.text_font, l));
        w = std::clamp(content + 2 * pad, std::min(Px(240, scale), max_w), max_w);
    }
    const int32_t text_h = int32_t(lines.size()) * line_height;
    int32_t h =
        caption_h + pad + text_h + (input_ ? gap + input_h : 0) + (shown ? gap + bh : 0) + pad;
    if (look.height > 0) h = std::min(Px(look.height, scale), ch);
    h = std::min(h, ch);

    frame = Place(look.x >= 0 ? Px(look.x, scale) : -1, look.y >= 0 ? Px(look.y, scale) : -1, w, h,
                  cw, ch);
    caption_bar = {frame.x, frame.y, w, caption_h};
    // Buttons sit at the bottom, the input field above them, the text fills the rest.
    int32_t bottom = frame.y + h - pad;
    int32_t x = frame.x + (w - buttons_w) / 2;
    button_rects = {};
    if (shown) {
        for (int32_t n = 1; n <= 3; ++n) {
            if (!ButtonShown(n)) continue;
            button_rects[size_t(n - 1)] = {x, bottom - bh, bw[size_t(n - 1)], bh};
            x += bw[size_t(n - 1)] + gap;
        }
        bottom -= bh + gap;
    }
    input_box = {};
    if (input_) {
        input_box = {frame.x + pad, bottom - input_h, w - 2 * pad, input_h};
        bottom -= input_h + gap;
    }
    int32_t top = frame.y + caption_h + pad;
    text_area = {frame.x + pad, top, w - 2 * pad, std::max(0, bottom - top)};
}

void MessageWindow::Press(int32_t n) {
    if (closed_ || (n != 0 && !ButtonShown(n))) return;
    closed_ = true;
    result_ = n;
}

bool MessageWindow::Handle(const DialogInput& in) {
    using Kind = DialogInput::Kind;
    if (closed_) return true;
    auto button_at = [&](int32_t x, int32_t y) {
        for (int32_t n = 1; n <= 3; ++n)
            if (button_rects[size_t(n - 1)].Contains(x, y)) return n;
        return 0;
    };
    switch (in.kind) {
        case Kind::kMouseMove:
            hover = button_at(in.x, in.y);
            break;
        case Kind::kMouseDown:
            hover = button_at(in.x, in.y);
            if (in.code == 1) pressed = hover;
            if (in.code == 1 && input_ && input_box.Contains(in.x, in.y)) {
                // The caret goes to the character boundary nearest the click (the field's text
                // starts 4 pixels in; see DialogDraw).
                const std::string& t = field_.Text();
                size_t at = t.size();
                if (measure_) {
                    int32_t x = in.x - (input_box.x + 4);
                    for (size_t i = 0; i < t.size(); ++i) {
                        int32_t left =
                            measure_->Width(input_font_, std::string_view(t).substr(0, i));
                        int32_t right =
                            measure_->Width(input_font_, std::string_view(t).substr(0, i + 1));
                        if (x < (left + right) / 2) {
                            at = i;
                            break;
                        }
                    }
                }
                field_.SetCursor(at);
            }
            break;
        case Kind::kMouseUp:
            hover = button_at(in.x, in.y);
            if (in.code == 1 && pressed != 0 && pressed == hover) Press(pressed);
            pressed = 0;
            break;
        case Kind::kKeyDown:
            if (in.code == kVkEnter) {
                Press(focus != 0 ? focus : DefaultButton());
            } else if (in.code == kVkEscape) {
                Press(CancelButton());
            } else if (in.code == kVkTab ||
                       (!input_ && (in.code == kVkLeft || in.code == kVkRight))) {
                // The focus moves round the shown buttons.
                int32_t step = in.code == kVkLeft ? 2 : 1;
                for (int32_t i = 0; i < 3; ++i) {
                    focus = (focus + step - 1) % 3 + 1;
                    if (ButtonShown(focus)) break;
                }
            } else if (input_) {
                field_.Key(in.code);
            }
            break;
        case Kind::kChar:
            if (input_) field_.Type(std::string(1, char(in.code)));
            break;
        default:
            break;
    }
    return closed_;
}

// ---- MenuWindow ------------------------------------------------------------------------------

MenuWindow::MenuWindow(std::string_view text, int32_t default_item)
    : default_(default_item), result_(default_item) {
    int32_t number = 0;
    size_t start = 0;
    for (;;) {
        size_t end = text.find('|', start);
        std::string_view piece =
            text.substr(start, end == std::string_view::npos ? end : end - start);
        Item item;
        item.text = std::string(piece);
        item.number = piece == "-" ? -1 : number++;
        items.push_back(std::move(item));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
}

void MenuWindow::Layout(TextMeasure& m, const FontKey& font, int32_t x, int32_t y, int32_t cw,
                        int32_t ch, double scale) {
    const int32_t pad = Px(8, scale), item_h = m.Height(font) + Px(6, scale), sep_h = Px(9, scale);
    int32_t w = Px(100, scale), h = Px(4, scale) * 2;
    for (const Item& it : items) {
        if (it.number >= 0) w = std::max(w, m.Width(font, it.text) + 2 * pad);
        h += it.number >= 0 ? item_h : sep_h;
    }
    w = std::min(w, cw);
    // A menu opens down and right of the point, or up and left where the client ends.
    DialogRect r{x, y, w, std::min(h, ch)};
    if (r.x + w > cw) r.x = std::max(0, x - w);
    if (r.y + r.h > ch) r.y = std::max(0, y - r.h);
    frame = r;
    int32_t top = r.y + Px(4, scale);
    for (Item& it : items) {
        int32_t ih = it.number >= 0 ? item_h : sep_h;
        it.rect = {r.x, top, w, ih};
        top += ih;
    }
}

void MenuWindow::Choose(int32_t n) {
    closed_ = true;
    result_ = default_;
    for (const Item& it : items)
        if (it.number >= 0 && it.number == n) result_ = n;
}

bool MenuWindow::Handle(const DialogInput& in) {
    using Kind = DialogInput::Kind;
    if (closed_) return true;
    auto item_at = [&](int32_t x, int32_t y) {
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i].number >= 0 && items[i].rect.Contains(x, y)) return int32_t(i);
        return -1;
    };
    auto move = [&](int32_t dir) {
        int32_t n = int32_t(items.size());
        if (n == 0) return;
        int32_t i = hover;
        for (int32_t k = 0; k < n; ++k) {
            i = i < 0 ? (dir > 0 ? 0 : n - 1) : (i + dir + n) % n;
            if (items[size_t(i)].number >= 0) {
                hover = i;
                return;
            }
        }
    };
    switch (in.kind) {
        case Kind::kMouseMove:
            hover = item_at(in.x, in.y);
            break;
        case Kind::kMouseDown:
            if (!frame.Contains(in.x, in.y)) Choose(-1);
            break;
        case Kind::kMouseUp:
            if (int32_t i = item_at(in.x, in.y); i >= 0) Choose(items[size_t(i)].number);
            break;
        case Kind::kKeyDown:
            if (in.code == kVkEscape)
                Choose(-1);
            else if (in.code == kVkUp)
                move(-1);
            else if (in.code == kVkDown)
                move(1);
            else if (in.code == kVkEnter)
                Choose(hover >= 0 ? items[size_t(hover)].number : -1);
            break;
        default:
            break;
    }
    return closed_;
}

// ---- HighscoreWindow -------------------------------------------------------------------------

HighscoreWindow::HighscoreWindow(std::vector<Row> rows, int32_t editing, std::string caption,
                                 std::string escape_hint)
    : rows_(std::move(rows)),
      editing_(editing),
      caption_(std::move(caption)),
      hint_(std::move(escape_hint)) {
    if (editing_ < 0 || editing_ >= int32_t(rows_.size())) editing_ = -1;
    field_.max_length = 64;
}

void HighscoreWindow::Layout(TextMeasure& m, const FontKey& font, int32_t cw, int32_t ch,
                             double scale) {
    const int32_t pad = Px(16, scale);
    line_height = m.Height(font) + Px(4, scale);
    int32_t names_w = Px(160, scale), scores_w = Px(60, scale);
    for (const Row& r : rows_) {
        names_w = std::max(names_w, m.Width(font, r.name));
        scores_w = std::max(scores_w, m.Width(font, std::to_string(r.score)));
    }
    const int32_t rank_w = m.Width(font, "10. ");
    int32_t w = std::max(rank_w + names_w + scores_w + Px(24, scale),
                         std::max(m.Width(font, caption_), m.Width(font, hint_))) +
                2 * pad;
    w = std::min(w, cw);
    const int32_t caption_h = m.Height(font) + Px(10, scale);
    int32_t h = caption_h + pad + int32_t(rows_.size()) * line_height + pad + m.Height(font) + pad;
    h = std::min(h, ch);
    frame = Place(-1, -1, w, h, cw, ch);
    caption_bar = {frame.x, frame.y, w, caption_h};
    table = {frame.x + pad, frame.y + caption_h + pad, w - 2 * pad,
             int32_t(rows_.size()) * line_height};
    row_rects.clear();
    for (size_t i = 0; i < rows_.size(); ++i)
        row_rects.push_back({table.x, table.y + int32_t(i) * line_height, table.w, line_height});
    hint_area = {frame.x + pad, table.y + table.h + pad, w - 2 * pad, m.Height(font)};
}

bool HighscoreWindow::Handle(const DialogInput& in) {
    using Kind = DialogInput::Kind;
    if (closed_) return true;
    switch (in.kind) {
        case Kind::kKeyDown:
            if (in.code == kVkEnter || in.code == kVkEscape)
                closed_ = true;
            else if (editing_ >= 0)
                field_.Key(in.code);
            break;
        case Kind::kChar:
            if (editing_ >= 0) field_.Type(std::string(1, char(in.code)));
            break;
        case Kind::kMouseUp:
            // Without a name to type a click closes the table.
            if (editing_ < 0 && in.code == 1) closed_ = true;
            break;
        default:
            break;
    }
    return closed_;
}

}  // namespace kr

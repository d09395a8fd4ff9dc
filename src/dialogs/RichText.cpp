// The rich-text reader: control words, groups, the font and colour tables and the characters
// of the text, turned into paragraphs of styled runs; then the layout into lines.
#include "dialogs/RichText.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>

namespace kr {

namespace {

constexpr int kMaxDepth = 256;  // deeper groups are read as if flat: no stack can overflow

struct CharState {
    int32_t font = 0;
    int32_t half_points = 24;
    bool bold = false, italic = false, underline = false;
    int32_t color = 0;  // index into the colour table; 0 the automatic colour
    bool skip = false;  // inside a destination whose text is not shown
    int32_t uc = 1;     // characters that stand in for a \u character
};

struct ParaState {
    int32_t align = 0, left = 0, first = 0, before = 0, after = 0;
};

class Reader {
public:
    explicit Reader(std::string_view t) : t_(t) {}

    RichDocument Read() {
        doc_.paragraphs.emplace_back();
        while (i_ < t_.size()) {
            char c = t_[i_];
            if (c == '{') {
                ++i_;
                if (stack_.size() < kMaxDepth)
                    stack_.push_back(cs_);
                else
                    ++flat_;
                group_start_ = true;
                continue;
            }
            if (c == '}') {
                ++i_;
                EndGroup();
                continue;
            }
            if (c == '\\') {
                ++i_;
                ControlWord();
                group_start_ = false;
                continue;
            }
            group_start_ = false;
            ++i_;
            if (c == '\r' || c == '\n') continue;
            Char(c);
        }
        FinishTable();
        // A document ends with a paragraph mark: the empty paragraph after it is not shown.
        if (doc_.paragraphs.size() > 1 && doc_.paragraphs.back().runs.empty())
            doc_.paragraphs.pop_back();
        return std::move(doc_);
    }

private:
    enum class Table { kNone, kFonts, kColors };

    void EndGroup() {
        if (flat_ > 0) {
            --flat_;
            return;
        }
        if (stack_.empty()) return;  // an extra closing brace
        FinishTable();
        bool was_table = table_ != Table::kNone && table_depth_ == stack_.size();
        cs_ = stack_.back();
        stack_.pop_back();
        if (was_table) table_ = Table::kNone;
    }

    void FinishTable() {
        if (table_ == Table::kFonts && !font_name_.empty()) {
            std::string name = font_name_;
            while (!name.empty() && (name.back() == ';' || name.back() == ' ')) name.pop_back();
            fonts_[font_entry_] = name;
            font_name_.clear();
        }
    }

    void ControlWord() {
        if (i_ >= t_.size()) return;
        char c = t_[i_];
        if (!std::isalpha(uint8_t(c))) {
            ++i_;
            switch (c) {
                case '\\':
                case '{':
                case '}':
                    Char(c);
                    break;
                case '\'': {
                    int v = 0, n = 0;
                    while (n < 2 && i_ < t_.size() && std::isxdigit(uint8_t(t_[i_]))) {
                        char h = t_[i_++];
                        v = v * 16 +
                            (std::isdigit(uint8_t(h)) ? h - '0' : (std::tolower(h) - 'a' + 10));
                        ++n;
                    }
                    if (pending_skip_ > 0)
                        --pending_skip_;
                    else if (n > 0)
                        Char(char(v));
                    break;
                }
                case '*':
                    cs_.skip = true;
                    break;
                case '~':
                    Char(' ');
                    break;
                case '_':
                    Char('-');
                    break;
                case '\r':
                case '\n':
                    Paragraph();
                    break;
                default:
                    break;
            }
            return;
        }
        size_t start = i_;
        while (i_ < t_.size() && std::isalpha(uint8_t(t_[i_])) && i_ - start < 32) ++i_;
        std::string_view word = t_.substr(start, i_ - start);
        bool has_num = false, neg = false;
        int64_t num = 0;
        if (i_ < t_.size() && t_[i_] == '-') neg = true, ++i_;
        while (i_ < t_.size() && std::isdigit(uint8_t(t_[i_]))) {
            has_num = true;
            if (num < 100000000) num = num * 10 + (t_[i_] - '0');
            ++i_;
        }
        if (neg) num = -num;
        if (i_ < t_.size() && t_[i_] == ' ') ++i_;  // the delimiter belongs to the word
        Word(word, has_num, int32_t(num));
    }

    void Word(std::string_view w, bool has_num, int32_t n) {
        const bool on = !has_num || n != 0;
        // Destinations whose text is never shown.
        static constexpr std::string_view kSkipped[] = {"stylesheet",
                                                        "info",
                                                        "pict",
                                                        "header",
                                                        "footer",
                                                        "headerl",
                                                        "headerr",
                                                        "footerl",
                                                        "footerr",
                                                        "object",
                                                        "generator",
                                                        "listtable",
                                                        "listoverridetable",
                                                        "revtbl",
                                                        "rsidtbl",
                                                        "themedata",
                                                        "colorschememapping",
                                                        "latentstyles",
                                                        "datastore",
                                                        "xmlnstbl",
                                                        "mmathPr",
                                                        "fldinst",
                                                        "bkmkstart",
                                                        "bkmkend",
                                                        "field",
                                                        "nonshppict"};
        if (group_start_ &&
            std::find(std::begin(kSkipped), std::end(kSkipped), w) != std::end(kSkipped)) {
            cs_.skip = true;
            return;
        }
        if (w == "fonttbl") {
            table_ = Table::kFonts, table_depth_ = stack_.size(), cs_.skip = true;
        } else if (w == "colortbl") {
            table_ = Table::kColors, table_depth_ = stack_.size(), cs_.skip = true;
            colors_.clear();
            color_ = 0;
        } else if (table_ == Table::kColors && (w == "red" || w == "green" || w == "blue")) {
            int32_t v = std::clamp(n, 0, 255);
            int shift = w == "red" ? 0 : w == "green" ? 8 : 16;
            color_ = (color_ & ~(0xFF << shift)) | (v << shift);
            color_set_ = true;
        } else if (w == "f") {
            if (table_ == Table::kFonts) {
                FinishTable();
                font_entry_ = n;
            } else {
                cs_.font = n;
            }
        } else if (w == "fs") {
            cs_.half_points = std::clamp(has_num ? n : 24, 2, 400);
        } else if (w == "b") {
            cs_.bold = on;
        } else if (w == "i") {
            cs_.italic = on;
        } else if (w == "ul") {
            cs_.underline = on;
        } else if (w == "ulnone") {
            cs_.underline = false;
        } else if (w == "cf") {
            cs_.color = n;
        } else if (w == "plain") {
            int32_t uc = cs_.uc;
            bool skip = cs_.skip;
            cs_ = CharState{};
            cs_.uc = uc, cs_.skip = skip;
        } else if (w == "pard") {
            ps_ = ParaState{};
            Current().align = 0;
        } else if (w == "ql" || w == "qj") {
            ps_.align = 0;
        } else if (w == "qc") {
            ps_.align = 1;
        } else if (w == "qr") {
            ps_.align = 2;
        } else if (w == "li") {
            ps_.left = std::clamp(n, 0, 20000);
        } else if (w == "fi") {
            ps_.first = std::clamp(n, -20000, 20000);
        } else if (w == "sb") {
            ps_.before = std::clamp(n, 0, 20000);
        } else if (w == "sa") {
            ps_.after = std::clamp(n, 0, 20000);
        } else if (w == "par" || w == "line") {
            Paragraph();
        } else if (w == "tab") {
            Char(' '), Char(' '), Char(' '), Char(' ');
        } else if (w == "uc") {
            cs_.uc = std::clamp(n, 0, 8);
        } else if (w == "u") {
            // One byte stands for the character: itself when it fits, else a question mark.
            int32_t code = n < 0 ? n + 65536 : n;
            Char(code < 256 ? char(code) : '?');
            pending_skip_ = cs_.uc;
        } else if (w == "emdash" || w == "endash") {
            Char('-');
        } else if (w == "bullet") {
            Char(char(0x95));
        } else if (w == "lquote" || w == "rquote") {
            Char('\'');
        } else if (w == "ldblquote" || w == "rdblquote") {
            Char('"');
        }
    }

    RichParagraph& Current() { return doc_.paragraphs.back(); }

    void ApplyPara() {
        RichParagraph& p = Current();
        p.align = ps_.align;
        p.left_indent = ps_.left;
        p.first_indent = ps_.first;
        p.space_before = ps_.before;
        p.space_after = ps_.after;
    }

    void Paragraph() {
        if (cs_.skip || table_ != Table::kNone) return;
        if (doc_.paragraphs.size() >= 100000) return;
        ApplyPara();
        doc_.paragraphs.emplace_back();
    }

    void Char(char c) {
        if (pending_skip_ > 0 && c != '\\') {
            --pending_skip_;
            return;
        }
        if (table_ == Table::kFonts && !cs_.skip) return;
        if (table_ == Table::kFonts) {
            if (font_name_.size() < 64) font_name_ += c;
            return;
        }
        if (table_ == Table::kColors) {
            if (c == ';') {
                colors_.push_back(color_set_ ? color_ : -1);
                color_ = 0;
                color_set_ = false;
            }
            return;
        }
        if (cs_.skip) return;
        RichParagraph& p = Current();
        ApplyPara();
        FontKey font;
        auto f = fonts_.find(cs_.font);
        font.name = f != fonts_.end() && !f->second.empty() ? f->second : "Arial";
        font.size = std::max(1, cs_.half_points / 2);
        font.bold = cs_.bold;
        font.italic = cs_.italic;
        int32_t color =
            cs_.color > 0 && size_t(cs_.color) < colors_.size() && colors_[size_t(cs_.color)] >= 0
                ? colors_[size_t(cs_.color)]
                : 0;
        if (p.runs.empty() || !(p.runs.back().font == font) || p.runs.back().color != color ||
            p.runs.back().underline != cs_.underline)
            p.runs.push_back(RichRun{{}, font, color, cs_.underline});
        p.runs.back().text += c;
    }

    std::string_view t_;
    size_t i_ = 0;
    RichDocument doc_;
    std::vector<CharState> stack_;
    int flat_ = 0;
    CharState cs_;
    ParaState ps_;
    bool group_start_ = false;
    Table table_ = Table::kNone;
    size_t table_depth_ = 0;
    std::map<int32_t, std::string> fonts_;
    int32_t font_entry_ = 0;
    std::string font_name_;
    std::vector<int32_t> colors_;
    int32_t color_ = 0;
    bool color_set_ = false;
    int32_t pending_skip_ = 0;
};

}  // namespace

RichDocument ParseRichText(std::string_view text) {
    size_t s = text.find_first_not_of(" \t\r\n");
    if (s == std::string_view::npos || text.substr(s, 5) != "{\\rtf") {
        // Plain text: only its line breaks count ("#" is not a break in a text file).
        RichDocument doc;
        size_t start = 0;
        for (;;) {
            size_t end = text.find('\n', start);
            std::string line(text.substr(start, end == std::string_view::npos ? end : end - start));
            if (!line.empty() && line.back() == '\r') line.pop_back();
            RichParagraph p;
            if (!line.empty())
                p.runs.push_back(RichRun{line, FontKey{"Arial", 10, false, false}, 0, false});
            doc.paragraphs.push_back(std::move(p));
            if (end == std::string_view::npos) break;
            start = end + 1;
        }
        return doc;
    }
    return Reader(text.substr(s)).Read();
}

RichLayout LayoutRichText(const RichDocument& doc, TextMeasure& m, int32_t width, double scale) {
    RichLayout out;
    const double twip = scale * 96.0 / 72.0 / 20.0;  // twentieths of a point to pixels
    int32_t y = 0;
    for (const RichParagraph& p : doc.paragraphs) {
        y += int32_t(std::lround(p.space_before * twip));
        const int32_t left = int32_t(std::lround(p.left_indent * twip));
        const int32_t first = int32_t(std::lround((p.left_indent + p.first_indent) * twip));
        // Words with their style; a word may span runs (pieces with no blank between them).
        struct Word {
            size_t run;
            std::string text;
            bool space_before;
        };
        std::vector<Word> words;
        std::vector<FontKey> fonts;
        for (size_t r = 0; r < p.runs.size(); ++r) {
            FontKey f = p.runs[r].font;
            f.size = std::max(1, int32_t(std::lround(f.size * scale)));
            fonts.push_back(f);
            const std::string& t = p.runs[r].text;
            size_t i = 0;
            bool space = false;
            while (i < t.size()) {
                if (t[i] == ' ') {
                    space = true;
                    ++i;
                    continue;
                }
                size_t j = t.find(' ', i);
                if (j == std::string::npos) j = t.size();
                words.push_back({r, t.substr(i, j - i), space});
                space = false;
                i = j;
            }
            if (space) words.push_back({r, "", true});
        }
        std::vector<RichPiece> line;
        int32_t x = first, line_h = 0;
        auto flush = [&](bool last) {
            (void)last;
            if (line_h == 0) {
                // An empty paragraph is as high as its font (or a default line).
                line_h = p.runs.empty()
                             ? m.Height(FontKey{"Arial", int32_t(std::lround(10 * scale))})
                             : m.Height(fonts[0]);
            }
            int32_t used = line.empty() ? 0 : line.back().x + line.back().width;
            int32_t shift = p.align == 1 ? (width - used) / 2 : p.align == 2 ? width - used : 0;
            shift = std::max(shift, 0);
            for (RichPiece& pc : line) {
                pc.x += shift;
                pc.y = y + (line_h - pc.height);
                out.pieces.push_back(std::move(pc));
            }
            line.clear();
            y += line_h;
            line_h = 0;
            x = left;
        };
        for (const Word& w : words) {
            const RichRun& run = p.runs[w.run];
            const FontKey& f = fonts[w.run];
            int32_t space_w = w.space_before && x > left ? m.Width(f, " ") : 0;
            int32_t ww = m.Width(f, w.text);
            if (!line.empty() && x + space_w + ww > width && w.space_before) {
                flush(false);
                space_w = 0;
            }
            std::string text = (space_w > 0 ? " " : "") + w.text;
            int32_t tw = space_w + ww;
            int32_t h = m.Height(f);
            // Pieces of one style next to each other merge.
            if (!line.empty() && line.back().font == f && line.back().color == run.color &&
                line.back().underline == run.underline && line.back().x + line.back().width == x) {
                line.back().text += text;
                line.back().width += tw;
            } else {
                line.push_back(RichPiece{x, 0, text, f, run.color, run.underline, tw, h});
            }
            line_h = std::max(line_h, h);
            x += tw;
        }
        flush(true);
        y += int32_t(std::lround(p.space_after * twip));
        if (out.pieces.size() > 200000) break;
    }
    out.height = y;
    return out;
}

// ---- TextViewer ------------------------------------------------------------------------------

TextViewer::TextViewer(RichDocument doc, std::string caption, int32_t background)
    : doc_(std::move(doc)), caption_(std::move(caption)), background_(background) {}

void TextViewer::Layout(TextMeasure& m, const FontKey& caption_font, int32_t x, int32_t y,
                        int32_t w, int32_t h, int32_t cw, int32_t ch, double scale) {
    const int32_t pad = int32_t(std::lround(10 * scale));
    if (w <= 0) w = cw * 9 / 10;
    if (h <= 0) h = ch * 9 / 10;
    w = std::clamp(w, 1, cw);
    h = std::clamp(h, 1, ch);
    frame = {x < 0 ? (cw - w) / 2 : std::clamp(x, 0, cw - w),
             y < 0 ? (ch - h) / 2 : std::clamp(y, 0, ch - h), w, h};
    const int32_t cap_h =
        caption_shown ? m.Height(caption_font) + int32_t(std::lround(8 * scale)) : 0;
    caption_bar = {frame.x, frame.y, w, cap_h};
    close_box =
        caption_shown ? DialogRect{frame.x + w - cap_h, frame.y, cap_h, cap_h} : DialogRect{};
    page = {frame.x + pad, frame.y + cap_h + pad, std::max(1, w - 2 * pad),
            std::max(1, h - cap_h - 2 * pad)};
    layout = LayoutRichText(doc_, m, page.w, scale);
    line_step_ = std::max(8, m.Height(FontKey{"Arial", int32_t(std::lround(10 * scale))}));
    ScrollBy(0);
}

void TextViewer::ScrollBy(int32_t dy) {
    int32_t max_scroll = std::max(0, layout.height - page.h);
    scroll = std::clamp(scroll + dy, 0, max_scroll);
}

bool TextViewer::Handle(const DialogInput& in) {
    using Kind = DialogInput::Kind;
    if (closed_) return true;
    switch (in.kind) {
        case Kind::kKeyDown:
            if (close_on_key || in.code == kVkEscape || in.code == kVkEnter)
                closed_ = true;
            else if (in.code == kVkUp)
                ScrollBy(-line_step_);
            else if (in.code == kVkDown)
                ScrollBy(line_step_);
            else if (in.code == kVkPageUp)
                ScrollBy(-page.h);
            else if (in.code == kVkPageDown)
                ScrollBy(page.h);
            else if (in.code == kVkHome)
                ScrollBy(-layout.height);
            else if (in.code == kVkEnd)
                ScrollBy(layout.height);
            break;
        case Kind::kWheelUp:
            ScrollBy(-3 * line_step_);
            break;
        case Kind::kWheelDown:
            ScrollBy(3 * line_step_);
            break;
        case Kind::kMouseUp:
            if (close_on_click || (in.code == 1 && close_box.Contains(in.x, in.y))) closed_ = true;
            break;
        default:
            break;
    }
    return closed_;
}

}  // namespace kr

// The game's own windows: message, question and input boxes, pop-up menus, file, folder and
// colour pickers, the highscore table, the game information and splash screens. Each shows in
// the game window through the dialog host (DialogHost.h) and answers from replayed input
// first; without a window it prints its text to standard error and takes its default answer.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "data/Color.h"
#include "data/ImageCodecs.h"
#include "dialogs/Pickers.h"
#include "dialogs/RichText.h"
#include "library/DialogHost.h"
#include "library/FunctionInteraction.h"
#include "library/FunctionMath.h"
#include "platform/Files.h"
#include "platform/GamePath.h"
#include "platform/Programs.h"
#include "platform/video/VideoDecoder.h"
#include "runner/Runner.h"

namespace kr {

namespace {

// A value shown as text: strings as they are, reals as `string` writes them.
std::string TextOf(const RValue& v) {
    return v.IsString() ? std::string(ArgStr(v)) : RealToString(ArgReal(v));
}

void PrintText(std::string_view text) {
    std::fprintf(stderr, "%.*s\n", int(text.size()), text.data());
    std::fflush(stderr);
}

FontKey FontFrom(const RValue* a) {
    FontKey f;
    f.name = std::string(ArgStr(a[0]));
    if (f.name.empty()) f.name = "Arial";
    f.size = std::clamp(ArgInt(a[1]), 1, 200);
    int32_t style = ArgInt(a[3]);
    f.bold = style == 1 || style == 3;
    f.italic = style == 2 || style == 3;
    return f;
}

// Shows a message box and returns the pressed button (0: closed otherwise); `field` is the
// input field's text, in and out.
int32_t MessageBoxAnswer(Runtime& rt, const std::string& text, std::array<std::string, 3> buttons,
                         bool input, std::string& field) {
    Runner& r = RunnerOf(rt);
    DialogHost& host = Dialogs(r);
    MessageWindow w(MessageText(text), std::move(buttons), input, field);
    for (const DialogAnswer& ans : host.TakeAnswers(r)) {
        if (ans.is_button)
            w.Press(ans.button);
        else if (input)
            w.Field().Type(ans.text);
    }
    if (!w.Closed()) {
        // A windowed game that has no room yet shows the text in the system's box.
        if (!DialogHost::CanShow(r) && r.Windowed())
            r.GetPlatform().messages->Show(r.ApplicationTitle(), w.Text());
        else if (!DialogHost::CanShow(r))
            PrintText(w.Text());
        double scale = 1;
        MessageLook look;
        DialogStyle style;
        ModalWindow modal;
        modal.layout = [&](DialogPainter& p, int32_t cw, int32_t ch, double s) {
            scale = s;
            look = host.Look(r, scale);
            style = host.Style(r);
            w.Layout(p, look, cw, ch, scale);
        };
        modal.draw = [&](DialogPainter& p, bool caret) { p.Draw(w, look, style, caret); };
        modal.handle = [&](const DialogInput& in) { return w.Handle(in); };
        modal.cancel = [&] { w.Press(0); };
        if (!host.RunModal(r, modal)) w.Press(w.DefaultButton());
    } else if (!DialogHost::CanShow(r)) {
        PrintText(w.Text());
    }
    r.Loop().Input().ClearAll();
    field = w.Field().Text();
    return w.Result();
}

// An input box with OK and Cancel: the typed text, or the default when cancelled.
std::string InputAnswer(Runtime& rt, const std::string& text, const std::string& def) {
    std::string field = def;
    int32_t b = MessageBoxAnswer(rt, text, {"OK", "Cancel", ""}, true, field);
    return b == 1 ? field : def;
}

// A number as the player typed it: blanks around it allowed, "$" for hexadecimal.
bool ParseNumber(std::string_view s, double& out) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    if (s.empty()) return false;
    std::string t(s);
    char* end = nullptr;
    if (t[0] == '$') {
        if (t.size() < 2) return false;
        unsigned long long v = std::strtoull(t.c_str() + 1, &end, 16);
        if (*end != '\0') return false;
        out = double(v);
        return true;
    }
    double v = std::strtod(t.c_str(), &end);
    if (end == t.c_str() || *end != '\0' || !std::isfinite(v)) return false;
    out = v;
    return true;
}

}  // namespace

// ---- Messages and input ------------------------------------------------------------------------

KR_DIALOG_FN(show_message) {
    std::string field;
    MessageBoxAnswer(rt, TextOf(a[0]), {"OK", "", ""}, false, field);
}

KR_DIALOG_FN(show_message_ext) {
    std::string field;
    int32_t b = MessageBoxAnswer(rt, TextOf(a[0]), {TextOf(a[1]), TextOf(a[2]), TextOf(a[3])},
                                 false, field);
    result.SetReal(b);
}

KR_DIALOG_FN(show_question) {
    std::string field;
    int32_t b = MessageBoxAnswer(rt, TextOf(a[0]), {"Yes", "No", ""}, false, field);
    result.SetReal(b == 1 ? 1 : 0);
}

KR_DIALOG_FN(show_error) {
    rt.ShowError(TextOf(a[0]), ArgBool(a[1]));
}

KR_DIALOG_FN(get_string) {
    result = RValue(InputAnswer(rt, TextOf(a[0]), TextOf(a[1])));
}

// A typed text that is no number gives the default.
KR_DIALOG_FN(get_integer) {
    std::string def = TextOf(a[1]);
    std::string typed = InputAnswer(rt, TextOf(a[0]), def);
    double v = 0;
    if (ParseNumber(typed, v))
        result.SetReal(v);
    else if (ParseNumber(def, v))
        result.SetReal(v);
}

namespace {

// Gives the message box a resource of `table` (its background or button image) when the
// resource exists; `what` names it in the error.
template <class Table>
void SetMessageResource(Runtime& rt, const Table& table, const RValue& id, int32_t& field,
                        const char* what) {
    int32_t index = ArgInt(id);
    if (!table.Exists(index)) {
        rt.RuntimeError(std::string("Trying to set a non-existing message ") + what);
        return;
    }
    field = index;
}

}  // namespace

KR_DIALOG_FN(message_background) {
    Runner& r = RunnerOf(rt);
    SetMessageResource(rt, r.Game().backgrounds, a[0], Dialogs(r).message.background, "background");
}

KR_DIALOG_FN(message_button) {
    Runner& r = RunnerOf(rt);
    SetMessageResource(rt, r.Game().sprites, a[0], Dialogs(r).message.button, "button");
}

KR_DIALOG_FN(message_alpha) {
    Dialogs(RunnerOf(rt)).message.alpha = std::clamp(ArgReal(a[0]), 0.0, 1.0);
}

KR_DIALOG_FN(message_text_font) {
    MessageSettings& m = Dialogs(RunnerOf(rt)).message;
    m.text_font = FontFrom(a);
    m.text_color = ArgInt(a[2]);
}

KR_DIALOG_FN(message_button_font) {
    MessageSettings& m = Dialogs(RunnerOf(rt)).message;
    m.button_font = FontFrom(a);
    m.button_color = ArgInt(a[2]);
}

KR_DIALOG_FN(message_input_font) {
    MessageSettings& m = Dialogs(RunnerOf(rt)).message;
    m.input_font = FontFrom(a);
    m.input_text_color = ArgInt(a[2]);
}

KR_DIALOG_FN(message_mouse_color) {
    Dialogs(RunnerOf(rt)).message.mouse_color = ArgInt(a[0]);
}

KR_DIALOG_FN(message_input_color) {
    Dialogs(RunnerOf(rt)).message.input_color = ArgInt(a[0]);
}

KR_DIALOG_FN(message_position) {
    MessageSettings& m = Dialogs(RunnerOf(rt)).message;
    m.x = std::max(-1, ArgInt(a[0]));
    m.y = std::max(-1, ArgInt(a[1]));
}

KR_DIALOG_FN(message_size) {
    MessageSettings& m = Dialogs(RunnerOf(rt)).message;
    m.width = std::max(-1, ArgInt(a[0]));
    m.height = std::max(-1, ArgInt(a[1]));
}

KR_DIALOG_FN(message_caption) {
    MessageSettings& m = Dialogs(RunnerOf(rt)).message;
    m.caption_shown = ArgBool(a[0]);
    m.caption = TextOf(a[1]);
}

// ---- Menus and pickers ---------------------------------------------------------------------

namespace {

// Shows a pop-up menu with its top left at client position (x, y); the chosen item's number,
// or `def`.
int32_t MenuAnswer(Runtime& rt, int32_t x, int32_t y, std::string_view items, int32_t def) {
    Runner& r = RunnerOf(rt);
    DialogHost& host = Dialogs(r);
    MenuWindow w(items, def);
    for (const DialogAnswer& ans : host.TakeAnswers(r)) {
        if (ans.is_button) {
            w.Choose(ans.button);
        } else {
            for (const MenuWindow::Item& it : w.items)
                if (it.number >= 0 && it.text == ans.text) w.Choose(it.number);
        }
        if (w.Closed()) break;
    }
    if (!DialogHost::CanShow(r)) PrintText(items);
    if (!w.Closed()) {
        FontKey font;
        DialogStyle style;
        ModalWindow modal;
        modal.shade = 0;
        modal.layout = [&](DialogPainter& p, int32_t cw, int32_t ch, double scale) {
            font = Scaled(host.message.text_font, scale);
            style = host.Style(r);
            style.background_texture = -1;
            w.Layout(p, font, x, y, cw, ch, scale);
        };
        modal.draw = [&](DialogPainter& p, bool) { p.Draw(w, font, style); };
        modal.handle = [&](const DialogInput& in) { return w.Handle(in); };
        modal.cancel = [&] { w.Choose(-1); };
        if (!host.RunModal(r, modal)) w.Choose(-1);
    }
    r.Loop().Input().ClearAll();
    return w.Result();
}

// A region position as a position in the window's drawable area.
void RegionToDrawable(Runner& r, int32_t rx, int32_t ry, int32_t& x, int32_t& y) {
    int32_t cw, ch;
    r.Drawer().DrawableSize(cw, ch);
    r.Drawer().Gfx().RegionToClient(rx, ry, cw, ch, x, y);
}

// The entries of a folder; an unreadable folder is empty. Very large folders are cut.
std::vector<FolderEntry> ListFolder(const std::string& folder) {
    namespace fs = std::filesystem;
    std::vector<FolderEntry> out;
    std::error_code ec;
    fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
    for (; !ec && it != fs::directory_iterator() && out.size() < 20000; it.increment(ec)) {
        std::error_code type_ec;
        out.push_back({it->path().filename().string(), it->is_directory(type_ec)});
    }
    return out;
}

std::string CurrentFolder() {
    std::error_code ec;
    std::string here = std::filesystem::current_path(ec).string();
    return ec || here.empty() ? "/" : here;
}

// The file and folder pickers: `text` types the name, button 1 is OK and 2 Cancel; without a
// window the picker accepts what it holds (the initial name), as OK would.
std::string PickPath(Runtime& rt, FilePicker::Mode mode, const std::string& caption,
                     std::string_view filter, const std::string& initial) {
    Runner& r = RunnerOf(rt);
    DialogHost& host = Dialogs(r);
    FilePicker w(mode, caption, filter, initial, CurrentFolder(), ListFolder);
    for (const DialogAnswer& ans : host.TakeAnswers(r)) {
        if (!ans.is_button)
            w.Field().Type(ans.text);
        else if (ans.button == 1)
            w.Accept();
        else
            w.Cancel();
        if (w.Closed()) break;
    }
    if (!DialogHost::CanShow(r)) PrintText(caption);
    if (!w.Closed()) {
        FontKey font;
        DialogStyle style;
        ModalWindow modal;
        modal.layout = [&](DialogPainter& p, int32_t cw, int32_t ch, double scale) {
            font = Scaled(host.message.input_font, scale);
            style = host.Style(r);
            style.background_texture = -1;
            style.button_textures.clear();
            w.Layout(p, font, cw, ch, scale);
        };
        modal.draw = [&](DialogPainter& p, bool caret) { p.Draw(w, font, style, caret); };
        modal.handle = [&](const DialogInput& in) { return w.Handle(in); };
        modal.cancel = [&] { w.Cancel(); };
        if (!host.RunModal(r, modal)) {
            w.Accept();
            if (!w.Closed()) w.Cancel();
        }
    }
    r.Loop().Input().ClearAll();
    return w.Result();
}

}  // namespace

KR_DIALOG_FN(show_menu) {
    Runner& r = RunnerOf(rt);
    const InputState& in = r.Loop().Input();
    int32_t cw, ch, dw, dh;
    r.Drawer().ClientSize(cw, ch);
    r.Drawer().DrawableSize(dw, dh);
    int32_t x = cw > 0 ? int32_t(int64_t(in.window_mouse_x) * dw / cw) : in.window_mouse_x;
    int32_t y = ch > 0 ? int32_t(int64_t(in.window_mouse_y) * dh / ch) : in.window_mouse_y;
    result.SetReal(MenuAnswer(rt, x, y, ArgStr(a[0]), ArgInt(a[1])));
}

KR_DIALOG_FN(show_menu_pos) {
    Runner& r = RunnerOf(rt);
    int32_t x, y;
    RegionToDrawable(r, ArgInt(a[0]), ArgInt(a[1]), x, y);
    result.SetReal(MenuAnswer(rt, x, y, ArgStr(a[2]), ArgInt(a[3])));
}

// The palette: `text` sets the colour (a number, or "$" and hexadecimal digits BBGGRR), button
// 1 is OK and 2 Cancel.
KR_DIALOG_FN(get_color) {
    Runner& r = RunnerOf(rt);
    DialogHost& host = Dialogs(r);
    ColorPicker w(ArgInt(a[0]));
    for (const DialogAnswer& ans : host.TakeAnswers(r)) {
        double v = 0;
        if (!ans.is_button && ParseNumber(ans.text, v) && v >= 0 && v <= 0xFFFFFF)
            w.SetCurrent(int32_t(v));
        else if (ans.is_button && ans.button == 1)
            w.Accept();
        else if (ans.is_button)
            w.Cancel();
    }
    if (!DialogHost::CanShow(r)) PrintText("Colour");
    if (!w.Closed()) {
        FontKey font;
        DialogStyle style;
        ModalWindow modal;
        modal.layout = [&](DialogPainter& p, int32_t cw, int32_t ch, double scale) {
            font = Scaled(host.message.button_font, scale);
            style = host.Style(r);
            style.background_texture = -1;
            style.button_textures.clear();
            w.Layout(p, font, cw, ch, scale);
        };
        modal.draw = [&](DialogPainter& p, bool) { p.Draw(w, font, style); };
        modal.handle = [&](const DialogInput& in) { return w.Handle(in); };
        modal.cancel = [&] { w.Cancel(); };
        if (!host.RunModal(r, modal)) w.Accept();
    }
    r.Loop().Input().ClearAll();
    result.SetReal(w.Result());
}

namespace {

std::string FilterPatterns(std::string_view filter) {
    std::string out;
    size_t start = 0;
    for (int i = 0;; ++i) {
        size_t end = filter.find('|', start);
        std::string_view piece =
            filter.substr(start, end == std::string_view::npos ? end : end - start);
        if (i % 2 == 1 && !piece.empty()) out += (out.empty() ? "" : " ") + std::string(piece);
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return out;
}

}  // namespace

KR_DIALOG_FN(get_open_filename) {
    std::string patterns = FilterPatterns(ArgStr(a[0]));
    std::string caption = "Open" + (patterns.empty() ? "" : " (" + patterns + ")");
    result = RValue(
        PickPath(rt, FilePicker::Mode::kOpen, caption, ArgStr(a[0]), std::string(ArgStr(a[1]))));
}

KR_DIALOG_FN(get_save_filename) {
    std::string patterns = FilterPatterns(ArgStr(a[0]));
    std::string caption = "Save as" + (patterns.empty() ? "" : " (" + patterns + ")");
    result = RValue(
        PickPath(rt, FilePicker::Mode::kSave, caption, ArgStr(a[0]), std::string(ArgStr(a[1]))));
}

KR_DIALOG_FN(get_directory) {
    result = RValue(
        PickPath(rt, FilePicker::Mode::kFolder, "Choose a folder", "", std::string(ArgStr(a[0]))));
}

KR_DIALOG_FN(get_directory_alt) {
    std::string capt(ArgStr(a[0]));
    result = RValue(PickPath(rt, FilePicker::Mode::kFolder, capt.empty() ? "Choose a folder" : capt,
                             "", std::string(ArgStr(a[1]))));
}

// ---- Highscores --------------------------------------------------------------------------------

namespace {

// Shows the table; `editing` is the rank (0..9) whose name is typed, -1 none. Returns the name
// typed.
std::string ShowHighscoreWindow(Runner& r, const HighscoreTable& table, int32_t editing) {
    DialogHost& host = Dialogs(r);
    const HighscoreSettings& hs = host.highscore;
    std::vector<HighscoreWindow::Row> rows;
    for (const HighscoreEntry& e : table) rows.push_back({e.name, e.score});
    HighscoreWindow w(std::move(rows), editing, hs.caption, hs.escape);
    for (const DialogAnswer& ans : host.TakeAnswers(r)) {
        if (ans.is_button)
            w.Close();
        else if (editing >= 0)
            w.Field().Type(ans.text);
    }
    if (!DialogHost::CanShow(r)) {
        std::string text = hs.caption;
        for (size_t i = 0; i < table.size(); ++i) {
            const std::string& name = int32_t(i) == editing ? w.Field().Text() : table[i].name;
            text +=
                "\n" + std::to_string(i + 1) + ". " + name + " " + std::to_string(table[i].score);
        }
        PrintText(text);
    }
    if (!w.Closed()) {
        FontKey font;
        DialogStyle style;
        ModalWindow modal;
        modal.layout = [&](DialogPainter& p, int32_t cw, int32_t ch, double scale) {
            font = Scaled(hs.font, scale);
            style = host.Style(r);
            style.window_color = hs.back_color;
            style.background_texture = -1;
            if (CBackground* b = r.Game().backgrounds.Get(hs.background))
                style.background_texture = r.Drawer().Gfx().BackgroundTexture(*b);
            w.Layout(p, font, cw, ch, scale);
        };
        modal.draw = [&](DialogPainter& p, bool caret) {
            p.Draw(w, font, style, hs.new_color, hs.other_color, hs.border, caret);
        };
        modal.handle = [&](const DialogInput& in) { return w.Handle(in); };
        modal.cancel = [&] { w.Close(); };
        host.RunModal(r, modal);
    }
    r.Loop().Input().ClearAll();
    return w.Field().Text();
}

void HighscoreShow(Runtime& rt, int32_t score) {
    Runner& r = RunnerOf(rt);
    DialogHost& host = Dialogs(r);
    HighscoreTable table = host.ReadTable(r);
    int32_t rank = HighscoreInsert(table, "", score);
    std::string name = ShowHighscoreWindow(r, table, rank);
    if (rank < 0) return;
    table[size_t(rank)].name = name;
    host.WriteTable(r, table);
}

}  // namespace

KR_DIALOG_FN(highscore_show) {
    HighscoreShow(rt, ArgInt(a[0]));
}

KR_DIALOG_FN(highscore_set_background) {
    Dialogs(RunnerOf(rt)).highscore.background = ArgInt(a[0]);
}

KR_DIALOG_FN(highscore_set_border) {
    Dialogs(RunnerOf(rt)).highscore.border = ArgBool(a[0]);
}

KR_DIALOG_FN(highscore_set_font) {
    HighscoreSettings& hs = Dialogs(RunnerOf(rt)).highscore;
    hs.font.name = std::string(ArgStr(a[0]));
    if (hs.font.name.empty()) hs.font.name = "Arial";
    hs.font.size = std::clamp(ArgInt(a[1]), 1, 200);
    int32_t style = ArgInt(a[2]);
    hs.font.bold = style == 1 || style == 3;
    hs.font.italic = style == 2 || style == 3;
}

KR_DIALOG_FN(highscore_set_strings) {
    HighscoreSettings& hs = Dialogs(RunnerOf(rt)).highscore;
    hs.caption = TextOf(a[0]);
    hs.nobody = TextOf(a[1]);
    hs.escape = TextOf(a[2]);
}

KR_DIALOG_FN(highscore_set_colors) {
    HighscoreSettings& hs = Dialogs(RunnerOf(rt)).highscore;
    hs.back_color = ArgInt(a[0]);
    hs.new_color = ArgInt(a[1]);
    hs.other_color = ArgInt(a[2]);
}

KR_DIALOG_FN(highscore_show_ext) {
    HighscoreSettings& hs = Dialogs(RunnerOf(rt)).highscore;
    hs.background = ArgInt(a[1]);
    hs.border = ArgBool(a[2]);
    hs.new_color = ArgInt(a[3]);
    hs.other_color = ArgInt(a[4]);
    hs.font.name = std::string(ArgStr(a[5]));
    if (hs.font.name.empty()) hs.font.name = "Arial";
    hs.font.size = std::clamp(ArgInt(a[6]), 1, 200);
    HighscoreShow(rt, ArgInt(a[0]));
}

KR_DIALOG_FN(highscore_clear) {
    Runner& r = RunnerOf(rt);
    DialogHost& host = Dialogs(r);
    HighscoreTable table;
    for (HighscoreEntry& e : table) e = HighscoreEntry{host.highscore.nobody, 0};
    host.WriteTable(r, table);
}

KR_DIALOG_FN(highscore_add) {
    Runner& r = RunnerOf(rt);
    DialogHost& host = Dialogs(r);
    HighscoreTable table = host.ReadTable(r);
    if (HighscoreInsert(table, TextOf(a[0]), ArgInt(a[1])) >= 0) host.WriteTable(r, table);
}

KR_DIALOG_FN(highscore_add_current) {
    Runner& r = RunnerOf(rt);
    DialogHost& host = Dialogs(r);
    const int32_t score = r.Vars().score;
    if (score <= host.ReadTable(r)[9].score) return;
    std::string name = InputAnswer(
        rt, "You reached a place in the highscore table.\rPlease provide your name.", "player");
    // Read again: the table may have changed while the box was open (another game).
    HighscoreTable table = host.ReadTable(r);
    if (HighscoreInsert(table, name, score) >= 0) host.WriteTable(r, table);
}

KR_DIALOG_FN(highscore_value) {
    int32_t place = ArgInt(a[0]);
    if (place < 1 || place > 10) return;
    Runner& r = RunnerOf(rt);
    result.SetReal(Dialogs(r).ReadTable(r)[size_t(place - 1)].score);
}

KR_DIALOG_FN(highscore_name) {
    int32_t place = ArgInt(a[0]);
    if (place < 1 || place > 10) {
        result = RValue("");
        return;
    }
    Runner& r = RunnerOf(rt);
    result = RValue(Dialogs(r).ReadTable(r)[size_t(place - 1)].name);
}

// Through draw_text, so the current font, colour and alpha apply as to any text.
KR_DIALOG_FN(draw_highscore) {
    Runner& r = RunnerOf(rt);
    const double x1 = ArgReal(a[0]), y1 = ArgReal(a[1]), x2 = ArgReal(a[2]), y2 = ArgReal(a[3]);
    HighscoreTable table = Dialogs(r).ReadTable(r);
    BuiltinRegistry& reg = rt.Builtins();
    const int draw_text = reg.Find("draw_text");
    if (draw_text < 0) return;
    TextState& text = r.Drawer().text;
    const int32_t halign = text.halign;
    for (int32_t rank = 1; rank <= 10; ++rank) {
        const HighscoreEntry& e = table[size_t(rank - 1)];
        double y = std::nearbyint(y1 + (rank - 1) * (y2 - y1) / 10);
        // Literal "#" in names must not break the line.
        std::string name;
        for (char c : e.name) name += c == '#' ? std::string("\\#") : std::string(1, c);
        RValue args[3] = {RValue(x1), RValue(y), RValue(name)};
        RValue out;
        text.halign = 0;
        reg.Call(draw_text, rt, self, other, 3, args, out);
        args[0] = RValue(x2);
        args[2] = RValue(double(e.score));
        text.halign = 2;
        reg.Call(draw_text, rt, self, other, 3, args, out);
    }
    text.halign = halign;
}

// ---- Game information and splash screens ----------------------------------------------------

namespace {

std::string PlainText(const RichDocument& doc) {
    std::string out;
    for (size_t i = 0; i < doc.paragraphs.size(); ++i) {
        if (i > 0) out += '\n';
        for (const RichRun& run : doc.paragraphs[i].runs) out += run.text;
    }
    return out;
}

// Shows a text viewer `w` x `h` game pixels large (-1: most of the window), closed after
// `timeout_ms` when that is positive.
void ShowViewer(Runner& r, TextViewer& v, const RichDocument& doc, int32_t w, int32_t h,
                int64_t timeout_ms) {
    DialogHost& host = Dialogs(r);
    for (const DialogAnswer& ans : host.TakeAnswers(r))
        if (ans.is_button) v.Close();
    if (!DialogHost::CanShow(r)) {
        PrintText(PlainText(doc));
        return;
    }
    if (v.Closed()) return;
    FontKey caption_font;
    DialogStyle style;
    ModalWindow modal;
    modal.timeout_ms = timeout_ms;
    modal.layout = [&](DialogPainter& p, int32_t cw, int32_t ch, double scale) {
        caption_font = Scaled(FontKey{"Arial", 10, true, false}, scale);
        style = host.Style(r);
        style.background_texture = -1;
        int32_t sw = w > 0 ? int32_t(std::lround(w * scale)) : -1;
        int32_t sh = h > 0 ? int32_t(std::lround(h * scale)) : -1;
        v.Layout(p, caption_font, -1, -1, sw, sh, cw, ch, scale);
    };
    modal.draw = [&](DialogPainter& p, bool) { p.Draw(v, caption_font, style); };
    modal.handle = [&](const DialogInput& in) { return v.Handle(in); };
    modal.cancel = [&] { v.Close(); };
    host.RunModal(r, modal);
}

bool ReadText(const std::string& name, std::string& out) {
    std::vector<uint8_t> bytes;
    std::string path = MapGamePath(name);
    if (name.empty() || !FileExists(path) || !ReadWholeFile(path, bytes)) return false;
    out.assign(bytes.begin(), bytes.end());
    return true;
}

// Splash windows close on a key or click as the settings allow; one that could be closed by
// neither and has no time limit is shown for no time at all, rather than for ever.
void SplashClosing(const SplashSettings& s, int64_t& delay_ms, bool& on_key, bool& on_click) {
    on_key = s.interrupt && s.stop_key;
    on_click = s.interrupt && s.stop_mouse;
    if (delay_ms <= 0 && !on_key && !on_click && !s.close_button) delay_ms = 1;
}

void SplashText(Runtime& rt, const std::string& name, int32_t background, bool full,
                int64_t delay_ms) {
    Runner& r = RunnerOf(rt);
    std::string text;
    if (!ReadText(name, text)) {
        rt.RuntimeError("Text file not found.");
        return;
    }
    const SplashSettings& s = Dialogs(r).splash;
    RichDocument doc = ParseRichText(text);
    TextViewer v(doc, s.caption.empty() ? r.ApplicationTitle() : s.caption, background);
    SplashClosing(s, delay_ms, v.close_on_key, v.close_on_click);
    v.caption_shown = s.border && !full;
    bool whole = full || s.fullscreen || s.main;
    ShowViewer(r, v, doc, whole ? 100000 : s.width, whole ? 100000 : s.height, delay_ms);
}

// The area of a splash window in a client area cw x ch for content of w x h pixels.
DialogRect SplashArea(const SplashSettings& s, bool full, int32_t w, int32_t h, int32_t cw,
                      int32_t ch, double scale) {
    if (full || s.fullscreen || s.main) return {0, 0, cw, ch};
    if (!s.adapt) w = s.width, h = s.height;
    w = std::clamp(int32_t(std::lround(w * scale)), 1, cw);
    h = std::clamp(int32_t(std::lround(h * scale)), 1, ch);
    return {s.x < 0 ? (cw - w) / 2 : std::clamp(int32_t(s.x * scale), 0, cw - w),
            s.y < 0 ? (ch - h) / 2 : std::clamp(int32_t(s.y * scale), 0, ch - h), w, h};
}

// The caption bar of a splash window that is not the whole game window and has a border: it
// sits on top of the area, with a close box when the settings show one.
struct SplashChrome {
    DialogRect bar, close;
    FontKey font;
    DialogStyle style;

    void Layout(DialogPainter& p, Runner& r, const SplashSettings& s, bool whole, DialogRect& area,
                double scale) {
        bar = close = {};
        if (whole || !s.border) return;
        font = Scaled(FontKey{"Arial", 10, true, false}, scale);
        style = Dialogs(r).Style(r);
        int32_t h = p.Height(font) + int32_t(std::lround(8 * scale));
        bar = {area.x, std::max(0, area.y - h), area.w, h};
        area.y = bar.y + h;
    }
    void Draw(DialogPainter& p, Runner& r, const SplashSettings& s) {
        if (bar.h > 0)
            close = p.CaptionBar(bar, font, s.caption.empty() ? r.ApplicationTitle() : s.caption,
                                 style, s.close_button);
    }
    bool Closes(const DialogInput& in) const {
        return in.kind == DialogInput::Kind::kMouseUp && in.code == 1 && close.Contains(in.x, in.y);
    }
};

// The largest side an image is shown at; larger ones are scaled down before they are made a
// texture.
constexpr int32_t kMaxSplashSide = 4096;

void SplashImage(Runtime& rt, const std::string& name, bool full, int64_t delay_ms) {
    Runner& r = RunnerOf(rt);
    DialogHost& host = Dialogs(r);
    std::string path = MapGamePath(name);
    if (name.empty() || !FileExists(path)) {
        rt.RuntimeError("Image file not found.");
        return;
    }
    if (!DialogHost::CanShow(r)) {
        PrintText(name);
        return;
    }
    std::vector<TBitmap32> frames;
    if (!LoadImageFile(path, frames) || frames.empty()) {
        rt.RuntimeError("Image file not found.");
        return;
    }
    TBitmap32& image = frames[0];
    if (image.Width() > kMaxSplashSide || image.Height() > kMaxSplashSide) {
        double f = double(kMaxSplashSide) / std::max(image.Width(), image.Height());
        image.Resize(std::max(1, int32_t(image.Width() * f)),
                     std::max(1, int32_t(image.Height() * f)));
    }
    Graphics& g = r.Drawer().Gfx();
    const int32_t tex = g.TextureFromImage(image);
    const int32_t iw = image.Width(), ih = image.Height();
    const SplashSettings& s = host.splash;
    bool on_key, on_click;
    SplashClosing(s, delay_ms, on_key, on_click);
    bool done = false;
    DialogRect area;
    SplashChrome chrome;
    ModalWindow modal;
    modal.shade = 0;
    modal.timeout_ms = delay_ms;
    modal.layout = [&](DialogPainter& p, int32_t cw, int32_t ch, double scale) {
        area = SplashArea(s, full, iw, ih, cw, ch, scale);
        chrome.Layout(p, r, s, full || s.fullscreen || s.main, area, scale);
    };
    modal.draw = [&](DialogPainter& p, bool) {
        chrome.Draw(p, r, s);
        uint32_t c = ScriptColorToDevice(s.color, 1);
        g.DrawRectangle(area.x, area.y, area.x + area.w - 1, area.y + area.h - 1, c, c, c, c,
                        false);
        // The image fills the area with its proportions kept.
        double f = std::min(double(area.w) / iw, double(area.h) / ih);
        double w = iw * f, h = ih * f;
        g.DrawTextureStretched(tex, 0xFFFFFFFF, area.x + (area.w - w) / 2,
                               area.y + (area.h - h) / 2, w, h);
    };
    modal.handle = [&](const DialogInput& in) {
        using K = DialogInput::Kind;
        if ((in.kind == K::kKeyDown && (on_key || in.code == kVkEscape)) ||
            (in.kind == K::kMouseUp && on_click) || chrome.Closes(in))
            done = true;
        return done;
    };
    modal.cancel = [&] { done = true; };
    host.RunModal(r, modal);
    if (tex >= 0) g.TextureFree(tex);
}

void SplashWeb(Runtime& rt, const std::string& url) {
    Runner& r = RunnerOf(rt);
    bool address = url.find("://") != std::string::npos || url.starts_with("www.");
    std::string target = address ? url : MapGamePath(url);
    if (url.empty() || (!address && !FileExists(target))) {
        rt.RuntimeError("Web page not found.");
        return;
    }
    if (!DialogHost::CanShow(r)) {
        PrintText(url);
        return;
    }
    // The page opens in the player's browser; the game goes on at once.
    std::vector<int> running;
    if (!OpenWithDesktop(target, running)) rt.RuntimeError("Web page not found.");
}

// A 16-bit stereo wave file of a sound track, for the sound system.
std::vector<uint8_t> WaveBytes(const VideoSound& sound) {
    std::vector<uint8_t> out;
    auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
    };
    auto u16 = [&](uint16_t v) {
        out.push_back(uint8_t(v & 0xFF));
        out.push_back(uint8_t(v >> 8));
    };
    const uint32_t data = uint32_t(sound.samples.size() * 2);
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    u32(36 + data);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    u32(16), u16(1), u16(2), u32(uint32_t(sound.rate)), u32(uint32_t(sound.rate) * 4), u16(4),
        u16(16);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    u32(data);
    out.reserve(out.size() + data);
    for (float f : sound.samples)
        u16(uint16_t(int16_t(std::lround(std::clamp(f, -1.0f, 1.0f) * 32767.0f))));
    return out;
}

// Plays the pictures of a video at their times, and its sound through the sound system; a key
// or click ends it as the splash settings allow, and so does its end unless it loops.
void SplashVideo(Runtime& rt, const std::string& name, bool full, bool loop) {
    Runner& r = RunnerOf(rt);
    DialogHost& host = Dialogs(r);
    const char* const kMessage = "Video file not found (or name too long).";
    std::string path = MapGamePath(name);
    if (name.empty() || name.size() > 4096 || !FileExists(path)) {
        rt.RuntimeError(kMessage);
        return;
    }
    std::string why;
    std::unique_ptr<VideoDecoder> video = VideoDecoder::Open(path, why);
    std::vector<uint8_t> bgra;
    double next_t = 0;
    bool have_next = video && video->NextFrame(bgra, next_t);
    if (!have_next) {
        // A file that is there but cannot be played is reported as the player would see it.
        rt.RuntimeError(kMessage);
        return;
    }
    if (!DialogHost::CanShow(r)) {
        PrintText(name);
        return;
    }
    Graphics& g = r.Drawer().Gfx();
    Clock& clock = *r.GetPlatform().clock;
    const int32_t vw = video->Width(), vh = video->Height();
    const SplashSettings& s = host.splash;
    int64_t no_delay = 0;
    bool on_key, on_click;
    SplashClosing(s, no_delay, on_key, on_click);
    TBitmap32 picture;
    int32_t tex = -1;
    double offset = next_t;  // the first picture's time is the start
    int64_t start = clock.Microseconds();
    bool done = false;
    DialogRect area;
    SplashChrome chrome;
    ModalWindow modal;
    modal.shade = 0;
    modal.layout = [&](DialogPainter& p, int32_t cw, int32_t ch, double scale) {
        area = SplashArea(s, full, vw, vh, cw, ch, scale);
        chrome.Layout(p, r, s, full || s.fullscreen || s.main, area, scale);
    };
    modal.draw = [&](DialogPainter& p, bool) {
        chrome.Draw(p, r, s);
        const double now = (clock.Microseconds() - start) / 1e6;
        // Every picture that is due is decoded; only the latest is shown.
        bool fresh = false;
        while (have_next && next_t - offset <= now) {
            fresh = picture.CopyFromMemory(vw, vh, bgra.data(), size_t(vw) * 4) || fresh;
            have_next = video->NextFrame(bgra, next_t);
        }
        if (fresh) {
            if (tex < 0)
                tex = g.TextureFromImage(picture);
            else
                g.TextureLoad(tex, picture);
        }
        if (!have_next) {
            if (loop && video->Rewind() && video->NextFrame(bgra, next_t)) {
                have_next = true;
                offset = next_t;
                start = clock.Microseconds();
            } else if (!fresh) {
                done = true;
            }
        }
        uint32_t c = ScriptColorToDevice(s.color, 1);
        g.DrawRectangle(area.x, area.y, area.x + area.w - 1, area.y + area.h - 1, c, c, c, c,
                        false);
        double f = std::min(double(area.w) / vw, double(area.h) / vh);
        double w = vw * f, h = vh * f;
        if (tex >= 0)
            g.DrawTextureStretched(tex, 0xFFFFFFFF, area.x + (area.w - w) / 2,
                                   area.y + (area.h - h) / 2, w, h);
    };
    modal.finished = [&] { return done; };
    modal.handle = [&](const DialogInput& in) {
        using K = DialogInput::Kind;
        if ((in.kind == K::kKeyDown && (on_key || in.code == kVkEscape)) ||
            (in.kind == K::kMouseUp && on_click) || chrome.Closes(in))
            done = true;
        return done;
    };
    modal.cancel = [&] { done = true; };
    // The sound starts with the first picture and stops with the window.
    SoundSystem& sound = r.Sound();
    int32_t slot = -1;
    VideoSound track;
    if (DecodeVideoSound(path, track)) {
        std::vector<uint8_t> wave = WaveBytes(track);
        slot = sound.LoadSlotFromMemory(wave, 0);
        if (slot >= 0) sound.PlaySlot(slot, loop);
    }
    start = clock.Microseconds();
    host.RunModal(r, modal);
    if (slot >= 0) {
        sound.StopSlot(slot);
        sound.FreeSlot(slot);
    }
    if (tex >= 0) g.TextureFree(tex);
}

}  // namespace

KR_DIALOG_FN(show_info) {
    Runner& r = RunnerOf(rt);
    DialogHost& host = Dialogs(r);
    const CGameInformation& gi = r.Game().game_information;
    RichDocument doc = ParseRichText(host.loaded_info ? *host.loaded_info : gi.text);
    TextViewer v(doc, gi.caption, gi.background_color);
    v.caption_shown = gi.show_border;
    ShowViewer(r, v, doc, gi.width, gi.height, 0);
    r.Loop().Input().ClearAll();
}

KR_DIALOG_FN(load_info) {
    std::string text;
    if (!ReadText(std::string(ArgStr(a[0])), text)) return;
    Dialogs(RunnerOf(rt)).loaded_info = std::move(text);
    result.SetReal(1);
}

#define KR_SPLASH_SET(name, field, conv)                 \
    KR_DIALOG_FN(splash_set_##name) {                    \
        Dialogs(RunnerOf(rt)).splash.field = conv(a[0]); \
    }

KR_SPLASH_SET(caption, caption, TextOf)
KR_SPLASH_SET(fullscreen, fullscreen, ArgBool)
KR_SPLASH_SET(border, border, ArgBool)
KR_SPLASH_SET(adapt, adapt, ArgBool)
KR_SPLASH_SET(top, top, ArgBool)
KR_SPLASH_SET(main, main, ArgBool)
KR_SPLASH_SET(scale, scale, ArgInt)
KR_SPLASH_SET(cursor, cursor, ArgBool)
KR_SPLASH_SET(interrupt, interrupt, ArgBool)
KR_SPLASH_SET(stop_key, stop_key, ArgBool)
KR_SPLASH_SET(close_button, close_button, ArgBool)
KR_SPLASH_SET(stop_mouse, stop_mouse, ArgBool)
#undef KR_SPLASH_SET

KR_DIALOG_FN(splash_set_color) {
    SplashSettings& s = Dialogs(RunnerOf(rt)).splash;
    s.color = ArgInt(a[0]);
    s.color_set = true;
}

KR_DIALOG_FN(splash_set_size) {
    SplashSettings& s = Dialogs(RunnerOf(rt)).splash;
    s.width = std::clamp(ArgInt(a[0]), 1, 16384);
    s.height = std::clamp(ArgInt(a[1]), 1, 16384);
}

KR_DIALOG_FN(splash_set_position) {
    SplashSettings& s = Dialogs(RunnerOf(rt)).splash;
    s.x = ArgInt(a[0]);
    s.y = ArgInt(a[1]);
}

KR_DIALOG_FN(splash_show_video) {
    SplashVideo(rt, std::string(ArgStr(a[0])), false, ArgBool(a[1]));
}

KR_DIALOG_FN(splash_show_image) {
    SplashImage(rt, std::string(ArgStr(a[0])), false, int64_t(ArgInt(a[1])));
}

// Text shows on white unless the game chose a splash colour.
KR_DIALOG_FN(splash_show_text) {
    const SplashSettings& s = Dialogs(RunnerOf(rt)).splash;
    SplashText(rt, std::string(ArgStr(a[0])), s.color_set ? s.color : 0xFFFFFF, false,
               int64_t(ArgInt(a[1])));
}

KR_DIALOG_FN(splash_show_web) {
    SplashWeb(rt, std::string(ArgStr(a[0])));
}

KR_DIALOG_FN(show_image) {
    SplashImage(rt, std::string(ArgStr(a[0])), ArgBool(a[1]), int64_t(ArgInt(a[2])));
}

KR_DIALOG_FN(show_video) {
    SplashVideo(rt, std::string(ArgStr(a[0])), ArgBool(a[1]), ArgBool(a[2]));
}

KR_DIALOG_FN(show_text) {
    SplashText(rt, std::string(ArgStr(a[0])), ArgInt(a[2]), ArgBool(a[1]), int64_t(ArgInt(a[3])));
}

}  // namespace kr

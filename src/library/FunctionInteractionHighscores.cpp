// The highscore table: showing it (with the name of a new entry typed in), its look, its entries
// and drawing it into the room.
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
        PrintDialogText(text);
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
    hs.caption = DialogTextOf(a[0]);
    hs.nobody = DialogTextOf(a[1]);
    hs.escape = DialogTextOf(a[2]);
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
    if (HighscoreInsert(table, DialogTextOf(a[0]), ArgInt(a[1])) >= 0) host.WriteTable(r, table);
}

KR_DIALOG_FN(highscore_add_current) {
    Runner& r = RunnerOf(rt);
    DialogHost& host = Dialogs(r);
    const int32_t score = r.Vars().score;
    if (score <= host.ReadTable(r)[9].score) return;
    std::string name = DialogInputAnswer(
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

}  // namespace kr

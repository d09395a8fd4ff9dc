// The game's pop-up menus and its colour, file and folder pickers, shown through the dialog host
// (DialogHost.h) like the boxes (FunctionInteractionBoxes.cpp).
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
    if (!DialogHost::CanShow(r)) PrintDialogText(items);
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
    if (!DialogHost::CanShow(r)) PrintDialogText(caption);
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
        if (!ans.is_button && ParseTypedNumber(ans.text, v) && v >= 0 && v <= 0xFFFFFF)
            w.SetCurrent(int32_t(v));
        else if (ans.is_button && ans.button == 1)
            w.Accept();
        else if (ans.is_button)
            w.Cancel();
    }
    if (!DialogHost::CanShow(r)) PrintDialogText("Colour");
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

}  // namespace kr

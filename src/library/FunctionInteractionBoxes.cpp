// The game's own message, question and input boxes and their look. Each shows in the game
// window through the dialog host (DialogHost.h) and answers from replayed input first; without
// a window it prints its text to standard error and takes its default answer.
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
            PrintDialogText(w.Text());
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
        PrintDialogText(w.Text());
    }
    r.Loop().Input().ClearAll();
    field = w.Field().Text();
    return w.Result();
}

}  // namespace

std::string DialogTextOf(const RValue& v) {
    return v.IsString() ? std::string(ArgStr(v)) : RealToString(ArgReal(v));
}

void PrintDialogText(std::string_view text) {
    std::fprintf(stderr, "%.*s\n", int(text.size()), text.data());
    std::fflush(stderr);
}

std::string DialogInputAnswer(Runtime& rt, const std::string& text, const std::string& def) {
    std::string field = def;
    int32_t b = MessageBoxAnswer(rt, text, {"OK", "Cancel", ""}, true, field);
    return b == 1 ? field : def;
}

bool ParseTypedNumber(std::string_view s, double& out) {
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

// ---- Messages and input ------------------------------------------------------------------------

KR_DIALOG_FN(show_message) {
    std::string field;
    MessageBoxAnswer(rt, DialogTextOf(a[0]), {"OK", "", ""}, false, field);
}

KR_DIALOG_FN(show_message_ext) {
    std::string field;
    int32_t b = MessageBoxAnswer(rt, DialogTextOf(a[0]),
                                 {DialogTextOf(a[1]), DialogTextOf(a[2]), DialogTextOf(a[3])},
                                 false, field);
    result.SetReal(b);
}

KR_DIALOG_FN(show_question) {
    std::string field;
    int32_t b = MessageBoxAnswer(rt, DialogTextOf(a[0]), {"Yes", "No", ""}, false, field);
    result.SetReal(b == 1 ? 1 : 0);
}

KR_DIALOG_FN(show_error) {
    rt.ShowError(DialogTextOf(a[0]), ArgBool(a[1]));
}

KR_DIALOG_FN(get_string) {
    result = RValue(DialogInputAnswer(rt, DialogTextOf(a[0]), DialogTextOf(a[1])));
}

// A typed text that is no number gives the default.
KR_DIALOG_FN(get_integer) {
    std::string def = DialogTextOf(a[1]);
    std::string typed = DialogInputAnswer(rt, DialogTextOf(a[0]), def);
    double v = 0;
    if (ParseTypedNumber(typed, v))
        result.SetReal(v);
    else if (ParseTypedNumber(def, v))
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
    m.caption = DialogTextOf(a[1]);
}

}  // namespace kr

// Script functions for keyboard, mouse and joystick, dialogs, splash screens and the highscore
// table. The bodies of the game's own windows are in the FunctionInteraction*.cpp parts
// (FunctionInteraction.h).
#include "library/FunctionInteraction.h"
#include "code/Vocabulary.h"
#include "runner/Runner.h"

namespace kr {

// ---- Keyboard and mouse ----------------------------------------------------------------------
// Key and button arguments are rounded; numbers far outside the ranges simply match nothing.

namespace {

using Marks = InputState::Marks;

InputState& Input(Runtime& rt) {
    return RunnerOf(rt).Loop().Input();
}
int64_t Rounded(const RValue& v) {
    return RoundToInt64(ArgReal(v));
}
bool IsKey(int64_t k) {
    return k >= 0 && k < kKeyCount;
}
void Bool(RValue& result, bool b) {
    result.SetReal(b ? 1.0 : 0.0);
}

}  // namespace

static void fn_keyboard_check(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                              const RValue* args, RValue& result) {
    Bool(result, Input(rt).CheckKey(Rounded(args[0]), Marks::kHeld));
}

static void fn_keyboard_check_pressed(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                      const RValue* args, RValue& result) {
    Bool(result, Input(rt).CheckKey(Rounded(args[0]), Marks::kPressed));
}

static void fn_keyboard_check_released(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                       const RValue* args, RValue& result) {
    Bool(result, Input(rt).CheckKey(Rounded(args[0]), Marks::kReleased));
}

// The keyboard as it is now, not through the key map: the window's own view, or the keys the
// notifications (replayed ones included) left down.
static void fn_keyboard_check_direct(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                     const RValue* args, RValue& result) {
    int64_t k = Rounded(args[0]);
    if (!IsKey(k)) return;
    Runner& r = RunnerOf(rt);
    Bool(result, r.Loop().Input().PhysicallyDown(int32_t(k)) ||
                     r.GetPlatform().window->KeyDownNow(int32_t(k)));
}

// Simulated keys reach the game like real ones: at the next processing of window messages.
static void fn_keyboard_key_press(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                  const RValue* args, RValue&) {
    int64_t k = Rounded(args[0]);
    if (IsKey(k)) RunnerOf(rt).Loop().PostInput({InputEvent::Kind::kKeyDown, int32_t(k)});
}

static void fn_keyboard_key_release(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                    const RValue* args, RValue&) {
    int64_t k = Rounded(args[0]);
    if (IsKey(k)) RunnerOf(rt).Loop().PostInput({InputEvent::Kind::kKeyUp, int32_t(k)});
}

static void fn_keyboard_get_numlock(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                    const RValue*, RValue& result) {
    Bool(result, RunnerOf(rt).GetPlatform().window->NumLock());
}

// Switching Num Lock is a press and release of its key (144), which the game sees as well.
static void fn_keyboard_set_numlock(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                    const RValue* args, RValue&) {
    Runner& r = RunnerOf(rt);
    bool on = ArgBool(args[0]);
    GameWindow& window = *r.GetPlatform().window;
    if (window.NumLock() == on) return;
    window.SetNumLock(on);
    r.Loop().PostInput({InputEvent::Kind::kKeyDown, 144});
    r.Loop().PostInput({InputEvent::Kind::kKeyUp, 144});
}

static void fn_keyboard_set_map(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                const RValue* args, RValue&) {
    int64_t from = Rounded(args[0]), to = Rounded(args[1]);
    if (!IsKey(from)) return;
    // A target outside the key codes makes the key count as nothing.
    Input(rt).SetMap(int32_t(from), IsKey(to) ? int32_t(to) : -1);
}

static void fn_keyboard_get_map(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                const RValue* args, RValue& result) {
    int64_t k = Rounded(args[0]);
    result.SetReal(IsKey(k) ? double(Input(rt).Map(k)) : double(k));
}

static void fn_keyboard_unset_map(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue*,
                                  RValue&) {
    Input(rt).ResetMap();
}

static void fn_keyboard_clear(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                              const RValue* args, RValue&) {
    RunnerOf(rt).Loop().ProcessMessages();
    int64_t k = Rounded(args[0]);
    if (IsKey(k)) Input(rt).ClearKey(int32_t(k));
}

// Waits for a key that goes down after the call. A run that cannot receive input any more
// (no window, replayed input used up) stops waiting instead of hanging.
static void fn_keyboard_wait(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue*,
                             RValue&) {
    GameLoop& loop = RunnerOf(rt).Loop();
    loop.Input().SetLastKey(0);
    while (loop.Input().LastKey() == 0 && loop.WaitForInput()) {
    }
}

static void fn_mouse_check_button(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                  const RValue* args, RValue& result) {
    Bool(result, Input(rt).CheckButton(Rounded(args[0]), Marks::kHeld));
}

static void fn_mouse_check_button_pressed(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                          const RValue* args, RValue& result) {
    Bool(result, Input(rt).CheckButton(Rounded(args[0]), Marks::kPressed));
}

static void fn_mouse_check_button_released(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                           const RValue* args, RValue& result) {
    Bool(result, Input(rt).CheckButton(Rounded(args[0]), Marks::kReleased));
}

static void fn_mouse_wheel_up(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue*,
                              RValue& result) {
    Bool(result, Input(rt).WheelUp());
}

static void fn_mouse_wheel_down(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue*,
                                RValue& result) {
    Bool(result, Input(rt).WheelDown());
}

static void fn_mouse_clear(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                           RValue&) {
    RunnerOf(rt).Loop().ProcessMessages();
    int64_t b = Rounded(args[0]);
    if (b >= 1 && b <= kMouseButtonCount) Input(rt).ClearButton(int32_t(b));
}

static void fn_mouse_wait(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue*,
                          RValue&) {
    GameLoop& loop = RunnerOf(rt).Loop();
    loop.Input().ForgetLastButton();
    while (loop.Input().LastButton() == 0 && loop.WaitForInput()) {
    }
}

static void fn_io_clear(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue*,
                        RValue&) {
    RunnerOf(rt).Loop().ProcessMessages();
    Input(rt).ClearAll();
}

static void fn_io_handle(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue*,
                         RValue&) {
    RunnerOf(rt).Loop().ProcessMessages();
}

// ---- Joysticks -------------------------------------------------------------------------------
// Id 2 is the second joystick; every other id the first.

namespace {

Joysticks& Sticks(Runtime& rt) {
    return *RunnerOf(rt).GetPlatform().joysticks;
}
int32_t StickIndex(const RValue& id) {
    return Rounded(id) == 2 ? 1 : 0;
}
bool ReadStick(Runtime& rt, const RValue& id, JoystickState& out) {
    return Sticks(rt).Read(StickIndex(id), out);
}

// The position of axis `a` from 0..65535 to -1..1; 0 when the joystick cannot be read.
template <int A>
void fn_joystick_axis(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                      RValue& result) {
    JoystickState s;
    if (ReadStick(rt, args[0], s)) result.SetReal(s.axes[A] / 32767.0 - 1.0);
}

}  // namespace

static void fn_joystick_exists(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                               const RValue* args, RValue& result) {
    JoystickState s;
    Bool(result, ReadStick(rt, args[0], s));
}

static void fn_joystick_name(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                             RValue& result) {
    JoystickInfo info;
    result = RValue(Sticks(rt).Info(StickIndex(args[0]), info) ? info.name : std::string());
}

static void fn_joystick_axes(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                             RValue& result) {
    JoystickInfo info;
    if (Sticks(rt).Info(StickIndex(args[0]), info)) result.SetReal(info.axes);
}

static void fn_joystick_buttons(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                const RValue* args, RValue& result) {
    JoystickInfo info;
    if (Sticks(rt).Info(StickIndex(args[0]), info)) result.SetReal(info.buttons);
}

static void fn_joystick_has_pov(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                const RValue* args, RValue& result) {
    JoystickInfo info;
    Bool(result, Sticks(rt).Info(StickIndex(args[0]), info) && info.has_pov);
}

// A keypad key for the stick's direction: 96 + 1..3 for left, centre, right + 0, 3 or 6 for
// down, centre, up; 101 (the centre) when the joystick cannot be read.
static void fn_joystick_direction(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                  const RValue* args, RValue& result) {
    JoystickState s;
    if (!ReadStick(rt, args[0], s)) {
        result.SetReal(101);
        return;
    }
    int32_t x = s.axes[0], y = s.axes[1];
    int32_t column = x < 20000 ? 1 : x > 44000 ? 3 : 2;
    int32_t row = y < 20000 ? 6 : y > 44000 ? 0 : 3;
    result.SetReal(96 + column + row);
}

static void fn_joystick_check_button(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                     const RValue* args, RValue& result) {
    int64_t n = Rounded(args[1]);
    JoystickState s;
    if (n < 1 || n > 32 || !ReadStick(rt, args[0], s)) return;
    Bool(result, (s.buttons >> (n - 1) & 1u) != 0);
}

static void fn_joystick_pov(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                            RValue& result) {
    JoystickState s;
    bool ok = ReadStick(rt, args[0], s);
    result.SetReal(!ok || s.pov > 36000 ? -1.0 : s.pov / 100.0);
}

// ORDER VOCABULARY: the rows keep the registration order of the family.
static constexpr BuiltinDef kInteractionFunctions[] = {
    {"splash_set_caption", fn_splash_set_caption, 1},
    {"splash_set_fullscreen", fn_splash_set_fullscreen, 1},
    {"splash_set_border", fn_splash_set_border, 1},
    {"splash_set_size", fn_splash_set_size, 2},
    {"splash_set_position", fn_splash_set_position, 2},
    {"splash_set_adapt", fn_splash_set_adapt, 1},
    {"splash_set_top", fn_splash_set_top, 1},
    {"splash_set_color", fn_splash_set_color, 1},
    {"splash_set_main", fn_splash_set_main, 1},
    {"splash_set_scale", fn_splash_set_scale, 1},
    {"splash_set_cursor", fn_splash_set_cursor, 1},
    {"splash_set_interrupt", fn_splash_set_interrupt, 1},
    {"splash_set_stop_key", fn_splash_set_stop_key, 1},
    {"splash_set_close_button", fn_splash_set_close_button, 1},
    {"splash_set_stop_mouse", fn_splash_set_stop_mouse, 1},
    {"splash_show_video", fn_splash_show_video, 2},
    {"splash_show_image", fn_splash_show_image, 2},
    {"splash_show_text", fn_splash_show_text, 2},
    {"splash_show_web", fn_splash_show_web, 2},
    {"show_image", fn_show_image, 3},
    {"show_video", fn_show_video, 3},
    {"show_text", fn_show_text, 4},
    {"show_message", fn_show_message, 1},
    {"show_question", fn_show_question, 1},
    {"show_error", fn_show_error, 2},
    {"show_info", fn_show_info, 0},
    {"load_info", fn_load_info, 1},
    {"highscore_show", fn_highscore_show, 1},
    {"highscore_set_background", fn_highscore_set_background, 1},
    {"highscore_set_border", fn_highscore_set_border, 1},
    {"highscore_set_font", fn_highscore_set_font, 3},
    {"highscore_set_strings", fn_highscore_set_strings, 3},
    {"highscore_set_colors", fn_highscore_set_colors, 3},
    {"highscore_show_ext", fn_highscore_show_ext, 7},
    {"highscore_clear", fn_highscore_clear, 0},
    {"highscore_add", fn_highscore_add, 2},
    {"highscore_add_current", fn_highscore_add_current, 0},
    {"highscore_value", fn_highscore_value, 1},
    {"highscore_name", fn_highscore_name, 1},
    {"draw_highscore", fn_draw_highscore, 4},
    {"show_message_ext", fn_show_message_ext, 4},
    {"message_background", fn_message_background, 1},
    {"message_button", fn_message_button, 1},
    {"message_alpha", fn_message_alpha, 1},
    {"message_text_font", fn_message_text_font, 4},
    {"message_button_font", fn_message_button_font, 4},
    {"message_input_font", fn_message_input_font, 4},
    {"message_mouse_color", fn_message_mouse_color, 1},
    {"message_input_color", fn_message_input_color, 1},
    {"message_position", fn_message_position, 2},
    {"message_size", fn_message_size, 2},
    {"message_caption", fn_message_caption, 2},
    {"show_menu", fn_show_menu, 2},
    {"show_menu_pos", fn_show_menu_pos, 4},
    {"get_integer", fn_get_integer, 2},
    {"get_string", fn_get_string, 2},
    {"get_color", fn_get_color, 1},
    {"get_open_filename", fn_get_open_filename, 2},
    {"get_save_filename", fn_get_save_filename, 2},
    {"get_directory", fn_get_directory, 1},
    {"get_directory_alt", fn_get_directory_alt, 2},
    {"keyboard_get_numlock", fn_keyboard_get_numlock, 0},
    {"keyboard_set_numlock", fn_keyboard_set_numlock, 1},
    {"keyboard_key_press", fn_keyboard_key_press, 1},
    {"keyboard_key_release", fn_keyboard_key_release, 1},
    {"keyboard_set_map", fn_keyboard_set_map, 2},
    {"keyboard_get_map", fn_keyboard_get_map, 1},
    {"keyboard_unset_map", fn_keyboard_unset_map, 0},
    {"keyboard_check", fn_keyboard_check, 1},
    {"keyboard_check_pressed", fn_keyboard_check_pressed, 1},
    {"keyboard_check_released", fn_keyboard_check_released, 1},
    {"keyboard_check_direct", fn_keyboard_check_direct, 1},
    {"mouse_check_button", fn_mouse_check_button, 1},
    {"mouse_check_button_pressed", fn_mouse_check_button_pressed, 1},
    {"mouse_check_button_released", fn_mouse_check_button_released, 1},
    {"mouse_wheel_up", fn_mouse_wheel_up, 0},
    {"mouse_wheel_down", fn_mouse_wheel_down, 0},
    {"joystick_exists", fn_joystick_exists, 1},
    {"joystick_direction", fn_joystick_direction, 1},
    {"joystick_name", fn_joystick_name, 1},
    {"joystick_axes", fn_joystick_axes, 1},
    {"joystick_buttons", fn_joystick_buttons, 1},
    {"joystick_has_pov", fn_joystick_has_pov, 1},
    {"joystick_check_button", fn_joystick_check_button, 2},
    {"joystick_xpos", fn_joystick_axis<0>, 1},
    {"joystick_ypos", fn_joystick_axis<1>, 1},
    {"joystick_zpos", fn_joystick_axis<2>, 1},
    {"joystick_rpos", fn_joystick_axis<3>, 1},
    {"joystick_upos", fn_joystick_axis<4>, 1},
    {"joystick_vpos", fn_joystick_axis<5>, 1},
    {"joystick_pov", fn_joystick_pov, 1},
    {"keyboard_clear", fn_keyboard_clear, 1},
    {"mouse_clear", fn_mouse_clear, 1},
    {"io_clear", fn_io_clear, 0},
    {"io_handle", fn_io_handle, 0},
    {"keyboard_wait", fn_keyboard_wait, 0},
    {"mouse_wait", fn_mouse_wait, 0},
};

void RegisterInteractionFunctions(BuiltinRegistry& reg) {
    reg.AddTable<kInteractionFunctions>();
}

}  // namespace kr

// Script functions for keyboard, mouse and joystick, dialogs, splash screens and the highscore
// table. Rows without a body are registered so that games compile; calling one reports that the
// function is not available yet.
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
static const BuiltinDef kInteractionFunctions[] = {
    {"splash_set_caption", nullptr, 1},
    {"splash_set_fullscreen", nullptr, 1},
    {"splash_set_border", nullptr, 1},
    {"splash_set_size", nullptr, 2},
    {"splash_set_position", nullptr, 2},
    {"splash_set_adapt", nullptr, 1},
    {"splash_set_top", nullptr, 1},
    {"splash_set_color", nullptr, 1},
    {"splash_set_main", nullptr, 1},
    {"splash_set_scale", nullptr, 1},
    {"splash_set_cursor", nullptr, 1},
    {"splash_set_interrupt", nullptr, 1},
    {"splash_set_stop_key", nullptr, 1},
    {"splash_set_close_button", nullptr, 1},
    {"splash_set_stop_mouse", nullptr, 1},
    {"splash_show_video", nullptr, 2},
    {"splash_show_image", nullptr, 2},
    {"splash_show_text", nullptr, 2},
    {"splash_show_web", nullptr, 2},
    {"show_image", nullptr, 3},
    {"show_video", nullptr, 3},
    {"show_text", nullptr, 4},
    {"show_message", nullptr, 1},
    {"show_question", nullptr, 1},
    {"show_error", nullptr, 2},
    {"show_info", nullptr, 0},
    {"load_info", nullptr, 1},
    {"highscore_show", nullptr, 1},
    {"highscore_set_background", nullptr, 1},
    {"highscore_set_border", nullptr, 1},
    {"highscore_set_font", nullptr, 3},
    {"highscore_set_strings", nullptr, 3},
    {"highscore_set_colors", nullptr, 3},
    {"highscore_show_ext", nullptr, 7},
    {"highscore_clear", nullptr, 0},
    {"highscore_add", nullptr, 2},
    {"highscore_add_current", nullptr, 0},
    {"highscore_value", nullptr, 1},
    {"highscore_name", nullptr, 1},
    {"draw_highscore", nullptr, 4},
    {"show_message_ext", nullptr, 4},
    {"message_background", nullptr, 1},
    {"message_button", nullptr, 1},
    {"message_alpha", nullptr, 1},
    {"message_text_font", nullptr, 4},
    {"message_button_font", nullptr, 4},
    {"message_input_font", nullptr, 4},
    {"message_mouse_color", nullptr, 1},
    {"message_input_color", nullptr, 1},
    {"message_position", nullptr, 2},
    {"message_size", nullptr, 2},
    {"message_caption", nullptr, 2},
    {"show_menu", nullptr, 2},
    {"show_menu_pos", nullptr, 4},
    {"get_integer", nullptr, 2},
    {"get_string", nullptr, 2},
    {"get_color", nullptr, 1},
    {"get_open_filename", nullptr, 2},
    {"get_save_filename", nullptr, 2},
    {"get_directory", nullptr, 1},
    {"get_directory_alt", nullptr, 2},
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
    reg.Add(kInteractionFunctions);
}

}  // namespace kr

// The interaction family (keyboard, mouse, joysticks, dialogs, splash screens, highscores)
// keeps its one table in FunctionInteraction.cpp; the bodies of the game's own windows live in
// FunctionInteractionBoxes.cpp (message, question and input boxes), FunctionInteractionPickers.cpp
// (menus, colour, file and folder pickers), FunctionInteractionHighscores.cpp and
// FunctionInteractionSplash.cpp (game information and splash screens), and are declared here.
#pragma once

#include <string>
#include <string_view>

#include "code/BuiltinRegistry.h"
#include "code/Runtime.h"

namespace kr {

#define KR_DIALOG_FN(name)                                                             \
    void fn_##name(Runtime& rt, ScriptInstance* self, ScriptInstance* other, int argc, \
                   const RValue* a, RValue& result)

KR_DIALOG_FN(splash_set_caption);
KR_DIALOG_FN(splash_set_fullscreen);
KR_DIALOG_FN(splash_set_border);
KR_DIALOG_FN(splash_set_size);
KR_DIALOG_FN(splash_set_position);
KR_DIALOG_FN(splash_set_adapt);
KR_DIALOG_FN(splash_set_top);
KR_DIALOG_FN(splash_set_color);
KR_DIALOG_FN(splash_set_main);
KR_DIALOG_FN(splash_set_scale);
KR_DIALOG_FN(splash_set_cursor);
KR_DIALOG_FN(splash_set_interrupt);
KR_DIALOG_FN(splash_set_stop_key);
KR_DIALOG_FN(splash_set_close_button);
KR_DIALOG_FN(splash_set_stop_mouse);
KR_DIALOG_FN(splash_show_video);
KR_DIALOG_FN(splash_show_image);
KR_DIALOG_FN(splash_show_text);
KR_DIALOG_FN(splash_show_web);
KR_DIALOG_FN(show_image);
KR_DIALOG_FN(show_video);
KR_DIALOG_FN(show_text);
KR_DIALOG_FN(show_message);
KR_DIALOG_FN(show_question);
KR_DIALOG_FN(show_error);
KR_DIALOG_FN(show_info);
KR_DIALOG_FN(load_info);
KR_DIALOG_FN(highscore_show);
KR_DIALOG_FN(highscore_set_background);
KR_DIALOG_FN(highscore_set_border);
KR_DIALOG_FN(highscore_set_font);
KR_DIALOG_FN(highscore_set_strings);
KR_DIALOG_FN(highscore_set_colors);
KR_DIALOG_FN(highscore_show_ext);
KR_DIALOG_FN(highscore_clear);
KR_DIALOG_FN(highscore_add);
KR_DIALOG_FN(highscore_add_current);
KR_DIALOG_FN(highscore_value);
KR_DIALOG_FN(highscore_name);
KR_DIALOG_FN(draw_highscore);
KR_DIALOG_FN(show_message_ext);
KR_DIALOG_FN(message_background);
KR_DIALOG_FN(message_button);
KR_DIALOG_FN(message_alpha);
KR_DIALOG_FN(message_text_font);
KR_DIALOG_FN(message_button_font);
KR_DIALOG_FN(message_input_font);
KR_DIALOG_FN(message_mouse_color);
KR_DIALOG_FN(message_input_color);
KR_DIALOG_FN(message_position);
KR_DIALOG_FN(message_size);
KR_DIALOG_FN(message_caption);
KR_DIALOG_FN(show_menu);
KR_DIALOG_FN(show_menu_pos);
KR_DIALOG_FN(get_integer);
KR_DIALOG_FN(get_string);
KR_DIALOG_FN(get_color);
KR_DIALOG_FN(get_open_filename);
KR_DIALOG_FN(get_save_filename);
KR_DIALOG_FN(get_directory);
KR_DIALOG_FN(get_directory_alt);

// ---- Shared by the parts of the game's own windows (FunctionInteractionBoxes.cpp).
// A value shown as text: strings as they are, reals as `string` writes them.
std::string DialogTextOf(const RValue& v);
// Prints a window's text on standard error (no window to show it in).
void PrintDialogText(std::string_view text);
// An input box with OK and Cancel: the typed text, or the default when cancelled.
std::string DialogInputAnswer(Runtime& rt, const std::string& text, const std::string& def);
// A number as the player typed it: blanks around it allowed, "$" for hexadecimal.
bool ParseTypedNumber(std::string_view s, double& out);

}  // namespace kr

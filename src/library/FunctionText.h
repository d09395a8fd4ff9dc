// The text and font functions: drawing and measuring text (rows in FunctionGraphics.cpp) and
// the font resource functions (rows in FunctionResource.cpp); bodies in FunctionText.cpp.
#pragma once

#include "code/BuiltinRegistry.h"
#include "code/Runtime.h"

namespace kr {

#define KR_TEXT_FUNCTIONS(X)           \
    X(draw_set_font)                   \
    X(draw_set_halign)                 \
    X(draw_set_valign)                 \
    X(string_width)                    \
    X(string_height)                   \
    X(string_width_ext)                \
    X(string_height_ext)               \
    X(draw_text)                       \
    X(draw_text_ext)                   \
    X(draw_text_transformed)           \
    X(draw_text_ext_transformed)       \
    X(draw_text_color)                 \
    X(draw_text_transformed_color)     \
    X(draw_text_ext_color)             \
    X(draw_text_ext_transformed_color) \
    X(font_exists)                     \
    X(font_get_name)                   \
    X(font_get_fontname)               \
    X(font_get_size)                   \
    X(font_get_bold)                   \
    X(font_get_italic)                 \
    X(font_get_first)                  \
    X(font_get_last)                   \
    X(font_add)                        \
    X(font_replace)                    \
    X(font_add_sprite)                 \
    X(font_replace_sprite)             \
    X(font_delete)

#define KR_TEXT_DECLARE(name)                                                          \
    void fn_##name(Runtime& rt, ScriptInstance* self, ScriptInstance* other, int argc, \
                   const RValue* args, RValue& result);
KR_TEXT_FUNCTIONS(KR_TEXT_DECLARE)
#undef KR_TEXT_DECLARE

}  // namespace kr

// The resource family spreads its bodies over several files; the table in FunctionResource.cpp
// names them all. These are the bodies that live outside that file.
#pragma once

#include "code/BuiltinRegistry.h"

namespace kr {

#define KR_FN(name)                                                                    \
    void fn_##name(Runtime& rt, ScriptInstance* self, ScriptInstance* other, int argc, \
                   const RValue* args, RValue& result)

// FunctionResourcePaths.cpp
KR_FN(path_exists);
KR_FN(path_get_name);
KR_FN(path_get_length);
KR_FN(path_get_kind);
KR_FN(path_get_closed);
KR_FN(path_get_precision);
KR_FN(path_get_number);
KR_FN(path_get_point_x);
KR_FN(path_get_point_y);
KR_FN(path_get_point_speed);
KR_FN(path_get_x);
KR_FN(path_get_y);
KR_FN(path_get_speed);
KR_FN(path_set_kind);
KR_FN(path_set_closed);
KR_FN(path_set_precision);
KR_FN(path_add);
KR_FN(path_duplicate);
KR_FN(path_assign);
KR_FN(path_append);
KR_FN(path_delete);
KR_FN(path_add_point);
KR_FN(path_insert_point);
KR_FN(path_change_point);
KR_FN(path_delete_point);
KR_FN(path_clear_points);
KR_FN(path_reverse);
KR_FN(path_mirror);
KR_FN(path_flip);
KR_FN(path_rotate);
KR_FN(path_scale);
KR_FN(path_shift);

// FunctionResourceTimeLines.cpp
KR_FN(timeline_exists);
KR_FN(timeline_get_name);
KR_FN(timeline_add);
KR_FN(timeline_delete);
KR_FN(timeline_clear);
KR_FN(timeline_moment_clear);
KR_FN(timeline_moment_add);

#undef KR_FN

}  // namespace kr

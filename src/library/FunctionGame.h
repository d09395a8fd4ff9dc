// The game family spreads its bodies over several files; the table in FunctionGame.cpp names
// them all. These are the bodies that live outside that file.
#pragma once

#include "code/BuiltinRegistry.h"

namespace kr {

#define KR_FN(name)                                                                    \
    void fn_##name(Runtime& rt, ScriptInstance* self, ScriptInstance* other, int argc, \
                   const RValue* args, RValue& result)

// FunctionGameMotion.cpp
KR_FN(move_random);
KR_FN(place_snapped);
KR_FN(move_snap);
KR_FN(move_towards_point);
KR_FN(move_contact);
KR_FN(move_contact_solid);
KR_FN(move_contact_all);
KR_FN(move_outside_solid);
KR_FN(move_outside_all);
KR_FN(move_bounce);
KR_FN(move_bounce_solid);
KR_FN(move_bounce_all);
KR_FN(move_wrap);
KR_FN(motion_set);
KR_FN(motion_add);
KR_FN(distance_to_point);
KR_FN(distance_to_object);
KR_FN(path_start);
KR_FN(path_end);
KR_FN(mp_linear_step);
KR_FN(mp_linear_path);
KR_FN(mp_linear_step_object);
KR_FN(mp_linear_path_object);
KR_FN(mp_potential_settings);
KR_FN(mp_potential_step);
KR_FN(mp_potential_path);
KR_FN(mp_potential_step_object);
KR_FN(mp_potential_path_object);
KR_FN(position_empty);
KR_FN(position_meeting);

// FunctionGameGrid.cpp
KR_FN(mp_grid_create);
KR_FN(mp_grid_destroy);
KR_FN(mp_grid_clear_all);
KR_FN(mp_grid_clear_cell);
KR_FN(mp_grid_clear_rectangle);
KR_FN(mp_grid_add_cell);
KR_FN(mp_grid_add_rectangle);
KR_FN(mp_grid_add_instances);
KR_FN(mp_grid_path);
KR_FN(mp_grid_draw);

#undef KR_FN

}  // namespace kr

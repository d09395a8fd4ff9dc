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

// FunctionResourceImage.cpp and FunctionResourceRoom.cpp: sprites, backgrounds, objects and rooms.
#define KR_RESOURCE_FN(name)                                                      \
    void name(Runtime& rt, ScriptInstance* self, ScriptInstance* other, int argc, \
              const RValue* args, RValue& result)
KR_RESOURCE_FN(fn_sprite_exists);
KR_RESOURCE_FN(fn_sprite_get_name);
KR_RESOURCE_FN(fn_sprite_get_number);
KR_RESOURCE_FN(fn_sprite_get_width);
KR_RESOURCE_FN(fn_sprite_get_height);
KR_RESOURCE_FN(fn_sprite_get_xoffset);
KR_RESOURCE_FN(fn_sprite_get_yoffset);
KR_RESOURCE_FN(fn_sprite_get_bbox_left);
KR_RESOURCE_FN(fn_sprite_get_bbox_right);
KR_RESOURCE_FN(fn_sprite_get_bbox_top);
KR_RESOURCE_FN(fn_sprite_get_bbox_bottom);
KR_RESOURCE_FN(fn_sprite_set_offset);
KR_RESOURCE_FN(fn_sprite_set_alpha_from_sprite);
KR_RESOURCE_FN(fn_sprite_add);
KR_RESOURCE_FN(fn_sprite_replace);
KR_RESOURCE_FN(fn_sprite_add_sprite);
KR_RESOURCE_FN(fn_sprite_replace_sprite);
KR_RESOURCE_FN(fn_sprite_delete);
KR_RESOURCE_FN(fn_sprite_duplicate);
KR_RESOURCE_FN(fn_sprite_create_from_screen);
KR_RESOURCE_FN(fn_sprite_add_from_screen);
KR_RESOURCE_FN(fn_sprite_create_from_surface);
KR_RESOURCE_FN(fn_sprite_add_from_surface);
KR_RESOURCE_FN(fn_background_create_from_screen);
KR_RESOURCE_FN(fn_background_create_from_surface);
KR_RESOURCE_FN(fn_sprite_assign);
KR_RESOURCE_FN(fn_sprite_merge);
KR_RESOURCE_FN(fn_sprite_save);
KR_RESOURCE_FN(fn_sprite_save_strip);
KR_RESOURCE_FN(fn_sprite_collision_mask);
KR_RESOURCE_FN(fn_background_exists);
KR_RESOURCE_FN(fn_background_get_name);
KR_RESOURCE_FN(fn_background_get_width);
KR_RESOURCE_FN(fn_background_get_height);
KR_RESOURCE_FN(fn_background_set_alpha_from_background);
KR_RESOURCE_FN(fn_background_create_color);
KR_RESOURCE_FN(fn_background_create_gradient);
KR_RESOURCE_FN(fn_background_add);
KR_RESOURCE_FN(fn_background_replace);
KR_RESOURCE_FN(fn_background_add_background);
KR_RESOURCE_FN(fn_background_replace_background);
KR_RESOURCE_FN(fn_background_delete);
KR_RESOURCE_FN(fn_background_duplicate);
KR_RESOURCE_FN(fn_background_assign);
KR_RESOURCE_FN(fn_background_save);
KR_RESOURCE_FN(fn_object_add);
KR_RESOURCE_FN(fn_object_delete);
KR_RESOURCE_FN(fn_object_event_clear);
KR_RESOURCE_FN(fn_object_event_add);
KR_RESOURCE_FN(fn_room_exists);
KR_RESOURCE_FN(fn_room_get_name);
KR_RESOURCE_FN(fn_room_set_width);
KR_RESOURCE_FN(fn_room_set_height);
KR_RESOURCE_FN(fn_room_set_caption);
KR_RESOURCE_FN(fn_room_set_persistent);
KR_RESOURCE_FN(fn_room_set_code);
KR_RESOURCE_FN(fn_room_set_background_color);
KR_RESOURCE_FN(fn_room_set_background);
KR_RESOURCE_FN(fn_room_set_view);
KR_RESOURCE_FN(fn_room_set_view_enabled);
KR_RESOURCE_FN(fn_room_add);
KR_RESOURCE_FN(fn_room_duplicate);
KR_RESOURCE_FN(fn_room_assign);
KR_RESOURCE_FN(fn_room_instance_add);
KR_RESOURCE_FN(fn_room_instance_clear);
KR_RESOURCE_FN(fn_room_tile_add);
KR_RESOURCE_FN(fn_room_tile_add_ext);
KR_RESOURCE_FN(fn_room_tile_clear);
#undef KR_RESOURCE_FN

}  // namespace kr

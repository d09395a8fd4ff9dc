// The resource family's bodies that live outside FunctionResource.cpp, which holds the one table:
// sprites and backgrounds (FunctionResourceImage.cpp), objects and rooms
// (FunctionResourceRoom.cpp), paths and time lines (FunctionResourcePath.cpp).
#pragma once

#include "code/Runtime.h"

namespace kr {

#define KR_RESOURCE_FN(name)                                                      \
    void name(Runtime& rt, ScriptInstance* self, ScriptInstance* other, int argc, \
              const RValue* args, RValue& result)

// Sprites.
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
KR_RESOURCE_FN(fn_sprite_assign);
KR_RESOURCE_FN(fn_sprite_merge);
KR_RESOURCE_FN(fn_sprite_save);
KR_RESOURCE_FN(fn_sprite_save_strip);
KR_RESOURCE_FN(fn_sprite_collision_mask);

// Backgrounds.
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

// Objects.
KR_RESOURCE_FN(fn_object_add);
KR_RESOURCE_FN(fn_object_delete);
KR_RESOURCE_FN(fn_object_event_clear);
KR_RESOURCE_FN(fn_object_event_add);

// Rooms.
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

// Paths and time lines (FunctionResourcePath.cpp).
KR_RESOURCE_FN(fn_path_set_kind);
KR_RESOURCE_FN(fn_path_set_closed);
KR_RESOURCE_FN(fn_path_set_precision);
KR_RESOURCE_FN(fn_path_add);
KR_RESOURCE_FN(fn_path_duplicate);
KR_RESOURCE_FN(fn_path_assign);
KR_RESOURCE_FN(fn_path_append);
KR_RESOURCE_FN(fn_path_delete);
KR_RESOURCE_FN(fn_path_add_point);
KR_RESOURCE_FN(fn_path_insert_point);
KR_RESOURCE_FN(fn_path_change_point);
KR_RESOURCE_FN(fn_path_delete_point);
KR_RESOURCE_FN(fn_path_clear_points);
KR_RESOURCE_FN(fn_path_reverse);
KR_RESOURCE_FN(fn_path_mirror);
KR_RESOURCE_FN(fn_path_flip);
KR_RESOURCE_FN(fn_path_rotate);
KR_RESOURCE_FN(fn_path_scale);
KR_RESOURCE_FN(fn_path_shift);
KR_RESOURCE_FN(fn_timeline_add);
KR_RESOURCE_FN(fn_timeline_delete);
KR_RESOURCE_FN(fn_timeline_clear);
KR_RESOURCE_FN(fn_timeline_moment_clear);
KR_RESOURCE_FN(fn_timeline_moment_add);

#undef KR_RESOURCE_FN

}  // namespace kr

// Script functions that query and change resources: sprites, sounds, backgrounds, fonts, paths,
// scripts, time lines, objects and rooms.
// script_name and object_name are the older names of script_get_name and object_get_name and
// share their bodies.
// Rows without a body are registered so that games compile; calling one reports that the
// function is not available yet.
#include <type_traits>

#include "code/Runtime.h"
#include "code/Vocabulary.h"
#include "library/FunctionResource.h"
#include "library/FunctionSound.h"
#include "library/FunctionText.h"
#include "runner/Runner.h"

namespace kr {

// ---- Names and queries of sounds, fonts, paths and time lines ---------------------------------

namespace {
// kind_exists(ind) and kind_get_name(ind) for the table `Table`.
template <auto Table>
void ResourceExists(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                    RValue& result) {
    result.SetReal((RunnerOf(rt).Game().*Table).Exists(ArgInt(args[0])) ? 1.0 : 0.0);
}
template <auto Table>
void ResourceName(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                  RValue& result) {
    result = RValue((RunnerOf(rt).Game().*Table).Name(ArgInt(args[0])));
}
// A numeric field of the resource; -1 when it does not exist.
template <auto Table, auto Field>
void ResourceField(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                   RValue& result) {
    const auto* item = (RunnerOf(rt).Game().*Table).Get(ArgInt(args[0]));
    result.SetReal(item ? double(item->*Field) : -1.0);
}
}  // namespace

namespace {
const CPath* PathArg(Runtime& rt, const RValue& v) {
    return RunnerOf(rt).Game().paths.Get(ArgInt(v));
}
}  // namespace

// Control point n: -1 for a missing path, 0 for a point outside the path.
template <double PathPoint::*Field>
void PathPointField(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                    RValue& result) {
    const CPath* p = PathArg(rt, args[0]);
    const int32_t n = ArgInt(args[1]);
    if (!p)
        result.SetReal(-1.0);
    else
        result.SetReal(n >= 0 && size_t(n) < p->points.size() ? p->points[size_t(n)].*Field : 0.0);
}

// The point at position pos (0 start .. 1 end) along the path; -1 for a missing path.
template <double PathPiece::*Field>
void PathPosition(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                  RValue& result) {
    const CPath* p = PathArg(rt, args[0]);
    result.SetReal(p ? p->PointAt(ArgReal(args[1])).*Field : -1.0);
}

// ---- Scripts ---------------------------------------------------------------------------------

namespace {
// A script index argument, rounded; -1 for values that cannot name a script.
int32_t ScriptIndex(const RValue& v) {
    int64_t i = RoundToInt64(ArgReal(v));
    return i >= 0 && i < INT32_MAX ? int32_t(i) : -1;
}
}  // namespace

static void fn_script_exists(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                             RValue& result) {
    result.SetReal(rt.ScriptExists(ScriptIndex(args[0])) ? 1.0 : 0.0);
}

static void fn_script_get_name(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                               const RValue* args, RValue& result) {
    result = RValue(std::string_view(rt.ScriptName(ScriptIndex(args[0]))));
}

static void fn_script_get_text(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                               const RValue* args, RValue& result) {
    result = RValue(std::string_view(rt.ScriptText(ScriptIndex(args[0]))));
}

// script_execute(scr, a0, a1, ...): the script with the other arguments (15 at most). An error
// inside it is shown at once, non-fatally, and the call gives "ERROR".
static void fn_script_execute(Runtime& rt, ScriptInstance* self, ScriptInstance* other, int argc,
                              const RValue* args, RValue& result) {
    int32_t index = argc > 0 ? ScriptIndex(args[0]) : -1;
    if (!rt.ScriptExists(index)) {
        rt.RuntimeError("Trying to execute non-existing script.");
        return;
    }
    int n = (argc < kArgCount ? argc : kArgCount) - 1;
    if (!rt.CallScript(index, self, other, result, args + 1, n)) {
        std::string text = rt.ErrorText();
        rt.ClearError();
        rt.ShowRuntimeError(text, false);
    }
}

// ---- Objects ---------------------------------------------------------------------------------

namespace {
const CObject* ObjectArg(Runtime& rt, const RValue& v) {
    return RunnerOf(rt).Game().objects.Get(ArgInt(v));
}
}  // namespace

static void fn_object_exists(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                             RValue& result) {
    result.SetReal(ObjectArg(rt, args[0]) ? 1.0 : 0.0);
}

static void fn_object_get_name(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                               const RValue* args, RValue& result) {
    result = RValue(RunnerOf(rt).Game().objects.Name(ArgInt(args[0])));
}

// The getters give -1 for a missing object.
template <auto Field>
void ObjectGet(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
               RValue& result) {
    const CObject* o = ObjectArg(rt, args[0]);
    result.SetReal(o ? double(o->*Field) : -1.0);
}

// The setters store the rounded value or the boolean; a missing object is ignored.
template <auto Field>
void ObjectSet(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args, RValue&) {
    CObject* o = RunnerOf(rt).Game().objects.Get(ArgInt(args[0]));
    if (!o) return;
    if constexpr (std::is_same_v<std::remove_reference_t<decltype(o->*Field)>, bool>)
        o->*Field = ArgBool(args[1]);
    else
        o->*Field = ArgInt(args[1]);
}

// 1 when ind2 is a parent, grandparent, ... of ind1; -1 when ind1 does not exist.
static void fn_object_is_ancestor(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                  const RValue* args, RValue& result) {
    if (!ObjectArg(rt, args[0])) {
        result.SetReal(-1.0);
        return;
    }
    result.SetReal(RunnerOf(rt).Events().IsAncestor(ArgInt(args[0]), ArgInt(args[1])) ? 1.0 : 0.0);
}

static void fn_object_set_parent(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                 const RValue* args, RValue&) {
    RunnerOf(rt).Events().SetParent(ArgInt(args[0]), ArgInt(args[1]));
}

// ORDER VOCABULARY: the rows keep the registration order of the family.
static constexpr BuiltinDef kResourceFunctions[] = {
    {"sprite_name", fn_sprite_get_name, 1},
    {"sprite_exists", fn_sprite_exists, 1},
    {"sprite_get_name", fn_sprite_get_name, 1},
    {"sprite_get_number", fn_sprite_get_number, 1},
    {"sprite_get_width", fn_sprite_get_width, 1},
    {"sprite_get_height", fn_sprite_get_height, 1},
    {"sprite_get_xoffset", fn_sprite_get_xoffset, 1},
    {"sprite_get_yoffset", fn_sprite_get_yoffset, 1},
    {"sprite_get_bbox_left", fn_sprite_get_bbox_left, 1},
    {"sprite_get_bbox_right", fn_sprite_get_bbox_right, 1},
    {"sprite_get_bbox_top", fn_sprite_get_bbox_top, 1},
    {"sprite_get_bbox_bottom", fn_sprite_get_bbox_bottom, 1},
    {"sprite_set_offset", fn_sprite_set_offset, 3},
    {"sprite_set_alpha_from_sprite", fn_sprite_set_alpha_from_sprite, 2},
    {"sprite_create_from_screen", fn_sprite_create_from_screen, 8},
    {"sprite_add_from_screen", fn_sprite_add_from_screen, 7},
    {"sprite_create_from_surface", fn_sprite_create_from_surface, 9},
    {"sprite_add_from_surface", fn_sprite_add_from_surface, 8},
    {"sprite_add", fn_sprite_add, 6},
    {"sprite_replace", fn_sprite_replace, 7},
    {"sprite_add_sprite", fn_sprite_add_sprite, 1},
    {"sprite_replace_sprite", fn_sprite_replace_sprite, 2},
    {"sprite_delete", fn_sprite_delete, 1},
    {"sprite_duplicate", fn_sprite_duplicate, 1},
    {"sprite_assign", fn_sprite_assign, 2},
    {"sprite_merge", fn_sprite_merge, 2},
    {"sprite_save", fn_sprite_save, 3},
    {"sprite_save_strip", fn_sprite_save_strip, 2},
    {"sprite_collision_mask", fn_sprite_collision_mask, 9},
    {"background_name", fn_background_get_name, 1},
    {"background_exists", fn_background_exists, 1},
    {"background_get_name", fn_background_get_name, 1},
    {"background_get_width", fn_background_get_width, 1},
    {"background_get_height", fn_background_get_height, 1},
    {"background_set_alpha_from_background", fn_background_set_alpha_from_background, 2},
    {"background_create_from_screen", fn_background_create_from_screen, 6},
    {"background_create_from_surface", fn_background_create_from_surface, 7},
    {"background_create_color", fn_background_create_color, 3},
    {"background_create_gradient", fn_background_create_gradient, 5},
    {"background_add", fn_background_add, 3},
    {"background_replace", fn_background_replace, 4},
    {"background_add_background", fn_background_add_background, 1},
    {"background_replace_background", fn_background_replace_background, 2},
    {"background_delete", fn_background_delete, 1},
    {"background_duplicate", fn_background_duplicate, 1},
    {"background_assign", fn_background_assign, 2},
    {"background_save", fn_background_save, 2},
    {"sound_name", fn_sound_name, 1},
    {"sound_exists", fn_sound_exists, 1},
    {"sound_get_name", fn_sound_get_name, 1},
    {"sound_get_kind", fn_sound_get_kind, 1},
    {"sound_get_preload", fn_sound_get_preload, 1},
    {"sound_discard", fn_sound_discard, 1},
    {"sound_restore", fn_sound_restore, 1},
    {"sound_add", fn_sound_add, 3},
    {"sound_replace", fn_sound_replace, 4},
    {"sound_delete", fn_sound_delete, 1},
    {"font_name", &fn_font_get_name, 1},
    {"font_exists", &fn_font_exists, 1},
    {"font_get_name", &fn_font_get_name, 1},
    {"font_get_fontname", &fn_font_get_fontname, 1},
    {"font_get_size", &fn_font_get_size, 1},
    {"font_get_bold", &fn_font_get_bold, 1},
    {"font_get_italic", &fn_font_get_italic, 1},
    {"font_get_first", &fn_font_get_first, 1},
    {"font_get_last", &fn_font_get_last, 1},
    {"font_add", &fn_font_add, 6},
    {"font_replace", &fn_font_replace, 7},
    {"font_add_sprite", &fn_font_add_sprite, 4},
    {"font_replace_sprite", &fn_font_replace_sprite, 5},
    {"font_delete", &fn_font_delete, 1},
    {"script_name", fn_script_get_name, 1},
    {"script_exists", fn_script_exists, 1},
    {"script_get_name", fn_script_get_name, 1},
    {"script_get_text", fn_script_get_text, 1},
    {"script_execute", fn_script_execute, -1},
    {"path_name", fn_path_get_name, 1},
    {"path_exists", fn_path_exists, 1},
    {"path_get_name", fn_path_get_name, 1},
    {"path_get_length", fn_path_get_length, 1},
    {"path_get_kind", fn_path_get_kind, 1},
    {"path_get_closed", fn_path_get_closed, 1},
    {"path_get_precision", fn_path_get_precision, 1},
    {"path_get_number", fn_path_get_number, 1},
    {"path_get_point_x", fn_path_get_point_x, 2},
    {"path_get_point_y", fn_path_get_point_y, 2},
    {"path_get_point_speed", fn_path_get_point_speed, 2},
    {"path_get_x", fn_path_get_x, 2},
    {"path_get_y", fn_path_get_y, 2},
    {"path_get_speed", fn_path_get_speed, 2},
    {"path_set_kind", fn_path_set_kind, 2},
    {"path_set_closed", fn_path_set_closed, 2},
    {"path_set_precision", fn_path_set_precision, 2},
    {"path_add", fn_path_add, 0},
    {"path_duplicate", fn_path_duplicate, 1},
    {"path_assign", fn_path_assign, 2},
    {"path_append", fn_path_append, 2},
    {"path_delete", fn_path_delete, 1},
    {"path_add_point", fn_path_add_point, 4},
    {"path_insert_point", fn_path_insert_point, 5},
    {"path_change_point", fn_path_change_point, 5},
    {"path_delete_point", fn_path_delete_point, 2},
    {"path_clear_points", fn_path_clear_points, 1},
    {"path_reverse", fn_path_reverse, 1},
    {"path_mirror", fn_path_mirror, 1},
    {"path_flip", fn_path_flip, 1},
    {"path_rotate", fn_path_rotate, 2},
    {"path_scale", fn_path_scale, 3},
    {"path_shift", fn_path_shift, 3},
    {"timeline_name", fn_timeline_get_name, 1},
    {"timeline_exists", fn_timeline_exists, 1},
    {"timeline_get_name", fn_timeline_get_name, 1},
    {"timeline_add", fn_timeline_add, 0},
    {"timeline_delete", fn_timeline_delete, 1},
    {"timeline_clear", fn_timeline_clear, 1},
    {"timeline_moment_clear", fn_timeline_moment_clear, 2},
    {"timeline_moment_add", fn_timeline_moment_add, 3},
    {"object_name", fn_object_get_name, 1},
    {"object_exists", fn_object_exists, 1},
    {"object_get_name", fn_object_get_name, 1},
    {"object_get_sprite", ObjectGet<&CObject::sprite>, 1},
    {"object_get_solid", ObjectGet<&CObject::solid>, 1},
    {"object_get_visible", ObjectGet<&CObject::visible>, 1},
    {"object_get_depth", ObjectGet<&CObject::depth>, 1},
    {"object_get_persistent", ObjectGet<&CObject::persistent>, 1},
    {"object_get_mask", ObjectGet<&CObject::mask>, 1},
    {"object_get_parent", ObjectGet<&CObject::parent>, 1},
    {"object_is_ancestor", fn_object_is_ancestor, 2},
    {"object_set_sprite", ObjectSet<&CObject::sprite>, 2},
    {"object_set_solid", ObjectSet<&CObject::solid>, 2},
    {"object_set_visible", ObjectSet<&CObject::visible>, 2},
    {"object_set_depth", ObjectSet<&CObject::depth>, 2},
    {"object_set_persistent", ObjectSet<&CObject::persistent>, 2},
    {"object_set_mask", ObjectSet<&CObject::mask>, 2},
    {"object_set_parent", fn_object_set_parent, 2},
    {"object_add", fn_object_add, 0},
    {"object_delete", fn_object_delete, 1},
    {"object_event_clear", fn_object_event_clear, 3},
    {"object_event_add", fn_object_event_add, 4},
    {"room_name", fn_room_get_name, 1},
    {"room_exists", fn_room_exists, 1},
    {"room_get_name", fn_room_get_name, 1},
    {"room_set_width", fn_room_set_width, 2},
    {"room_set_height", fn_room_set_height, 2},
    {"room_set_caption", fn_room_set_caption, 2},
    {"room_set_persistent", fn_room_set_persistent, 2},
    {"room_set_code", fn_room_set_code, 2},
    {"room_set_background_color", fn_room_set_background_color, 3},
    {"room_set_background", fn_room_set_background, 12},
    {"room_set_view", fn_room_set_view, 16},
    {"room_set_view_enabled", fn_room_set_view_enabled, 2},
    {"room_add", fn_room_add, 0},
    {"room_duplicate", fn_room_duplicate, 1},
    {"room_assign", fn_room_assign, 2},
    {"room_instance_add", fn_room_instance_add, 4},
    {"room_instance_clear", fn_room_instance_clear, 1},
    {"room_tile_add", fn_room_tile_add, 9},
    {"room_tile_add_ext", fn_room_tile_add_ext, 12},
    {"room_tile_clear", fn_room_tile_clear, 1},
};

void RegisterResourceFunctions(BuiltinRegistry& reg) {
    reg.AddTable<kResourceFunctions>();
}

}  // namespace kr

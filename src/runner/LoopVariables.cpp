// The built-in variables of the input state and of the current room: mouse and keyboard, the
// room and its size, speed, caption and colour, its instances, its background layers and its
// views.
#include <string>

#include "runner/Runner.h"

namespace kr {

namespace {

bool Put(RValue& out, double v) {
    out.SetReal(v);
    return true;
}

GameLoop& Loop(Runtime& rt) {
    return RunnerOf(rt).Loop();
}
InputState& In(Runtime& rt) {
    return Loop(rt).Input();
}
CRoom& CurrentRoom(Runtime& rt) {
    return Loop(rt).Room();
}

// ---- Input ----

bool get_mouse_x(Runtime& rt, ScriptInstance*, int32_t, RValue& out) {
    return Put(out, Loop(rt).MouseRoomX());
}
bool get_mouse_y(Runtime& rt, ScriptInstance*, int32_t, RValue& out) {
    return Put(out, Loop(rt).MouseRoomY());
}
bool get_mouse_button(Runtime& rt, ScriptInstance*, int32_t, RValue& out) {
    return Put(out, In(rt).CurrentButton());
}
bool set_mouse_button(Runtime& rt, ScriptInstance*, int32_t, const RValue& v) {
    In(rt).SetCurrentButton(StoredInteger(v));
    return true;
}
bool get_mouse_lastbutton(Runtime& rt, ScriptInstance*, int32_t, RValue& out) {
    return Put(out, In(rt).LastButton());
}
bool set_mouse_lastbutton(Runtime& rt, ScriptInstance*, int32_t, const RValue& v) {
    In(rt).SetLastButton(StoredInteger(v));
    return true;
}
bool get_keyboard_key(Runtime& rt, ScriptInstance*, int32_t, RValue& out) {
    return Put(out, In(rt).CurrentKey());
}
bool set_keyboard_key(Runtime& rt, ScriptInstance*, int32_t, const RValue& v) {
    In(rt).SetCurrentKey(StoredInteger(v));
    return true;
}
bool get_keyboard_lastkey(Runtime& rt, ScriptInstance*, int32_t, RValue& out) {
    return Put(out, In(rt).LastKey());
}
bool set_keyboard_lastkey(Runtime& rt, ScriptInstance*, int32_t, const RValue& v) {
    In(rt).SetLastKey(StoredInteger(v));
    return true;
}
bool get_keyboard_lastchar(Runtime& rt, ScriptInstance*, int32_t, RValue& out) {
    out = RValue(std::string(1, char(In(rt).LastChar())));
    return true;
}
bool set_keyboard_lastchar(Runtime& rt, ScriptInstance*, int32_t, const RValue& v) {
    std::string_view s = v.IsString() ? v.Str() : std::string_view();
    if (!s.empty()) In(rt).SetLastChar(uint8_t(s[0]));
    return true;
}
bool get_keyboard_string(Runtime& rt, ScriptInstance*, int32_t, RValue& out) {
    out = RValue(In(rt).TypedText());
    return true;
}
bool set_keyboard_string(Runtime& rt, ScriptInstance*, int32_t, const RValue& v) {
    In(rt).SetTypedText(v.IsString() ? v.StdStr() : std::string());
    return true;
}

// ---- The room ----

bool get_room(Runtime& rt, ScriptInstance*, int32_t, RValue& out) {
    return Put(out, Loop(rt).RoomIndex());
}
bool set_room(Runtime& rt, ScriptInstance*, int32_t, const RValue& v) {
    Loop(rt).RequestRoom(StoredInteger(v), RunnerOf(rt).Vars().transition_kind);
    return true;
}
bool get_room_first(Runtime& rt, ScriptInstance*, int32_t, RValue& out) {
    return Put(out, Loop(rt).FirstRoom());
}
bool get_room_last(Runtime& rt, ScriptInstance*, int32_t, RValue& out) {
    return Put(out, Loop(rt).LastRoom());
}
bool get_room_caption(Runtime& rt, ScriptInstance*, int32_t, RValue& out) {
    out = RValue(CurrentRoom(rt).caption);
    return true;
}
bool set_room_caption(Runtime& rt, ScriptInstance*, int32_t, const RValue& v) {
    CurrentRoom(rt).caption = v.IsString() ? v.StdStr() : std::string();
    RunnerOf(rt).GetPlatform().window->SetCaption(CurrentRoom(rt).caption);
    return true;
}
// A speed of 0 or less is refused with an error of its own, shown without the event context.
bool set_room_speed(Runtime& rt, ScriptInstance*, int32_t, const RValue& v) {
    int32_t speed = StoredInteger(v);
    if (speed <= 0) {
        rt.ShowError("Trying to set the room speed to a value <= 0.", false);
        return true;
    }
    CurrentRoom(rt).speed = speed;
    return true;
}

// The room's list of active instances: destroyed instances count until the room removes them,
// deactivated ones do not. A position outside the list reads noone.
bool get_instance_count(Runtime& rt, ScriptInstance*, int32_t, RValue& out) {
    return Put(out, RunnerOf(rt).Instances().Count());
}
bool get_instance_id(Runtime& rt, ScriptInstance*, int32_t i, RValue& out) {
    const CInstance* inst = RunnerOf(rt).Instances().At(i);
    return Put(out, inst ? inst->id : int32_t(kOwnerNoone));
}
// The view being drawn; 0 outside drawing.
bool get_view_current(Runtime& rt, ScriptInstance*, int32_t, RValue& out) {
    return Put(out, Loop(rt).view_current);
}

// Plain fields of the current room.
template <typename T, T CRoom::*F>
bool GetRoomField(Runtime& rt, ScriptInstance*, int32_t, RValue& out) {
    return Put(out, double(CurrentRoom(rt).*F));
}
template <int32_t CRoom::*F>
bool SetRoomInt(Runtime& rt, ScriptInstance*, int32_t, const RValue& v) {
    CurrentRoom(rt).*F = StoredInteger(v);
    return true;
}
template <bool CRoom::*F>
bool SetRoomBool(Runtime& rt, ScriptInstance*, int32_t, const RValue& v) {
    CurrentRoom(rt).*F = StoredBoolean(v);
    return true;
}

// Stores a written value with the conversion of the field's type: booleans true at a rounded 1
// or more, integers rounded, reals as they are.
template <typename T>
bool Store(T& field, const RValue& v) {
    if constexpr (std::is_same_v<T, bool>)
        field = StoredBoolean(v);
    else if constexpr (std::is_same_v<T, int32_t>)
        field = StoredInteger(v);
    else
        field = ArgReal(v);
    return true;
}

// Fields of background layer and view i (0..7; other indexes mean 0).
template <typename T, T CBack::*F>
bool GetBack(Runtime& rt, ScriptInstance*, int32_t i, RValue& out) {
    return Put(out, double(CurrentRoom(rt).backgrounds[size_t(VariableIndex(i, 8))].*F));
}
template <typename T, T CBack::*F>
bool SetBack(Runtime& rt, ScriptInstance*, int32_t i, const RValue& v) {
    return Store(CurrentRoom(rt).backgrounds[size_t(VariableIndex(i, 8))].*F, v);
}
template <typename T, T CView::*F>
bool GetView(Runtime& rt, ScriptInstance*, int32_t i, RValue& out) {
    return Put(out, double(CurrentRoom(rt).views[size_t(VariableIndex(i, 8))].*F));
}
template <typename T, T CView::*F>
bool SetView(Runtime& rt, ScriptInstance*, int32_t i, const RValue& v) {
    return Store(CurrentRoom(rt).views[size_t(VariableIndex(i, 8))].*F, v);
}

// The size of the background a layer shows; 0 when it shows none.
template <bool Width>
bool GetBackSize(Runtime& rt, ScriptInstance*, int32_t i, RValue& out) {
    int32_t index = CurrentRoom(rt).backgrounds[size_t(VariableIndex(i, 8))].index;
    const CBackground* b = RunnerOf(rt).Game().backgrounds.Get(index);
    return Put(out, b ? double(Width ? b->Width() : b->Height()) : 0.0);
}

struct Accessors {
    const char* name;
    BuiltinVarGetter get;
    BuiltinVarSetter set;
};

#define KR_BACK(name, T, field) \
    { name, &GetBack<T, &CBack::field>, &SetBack<T, &CBack::field> }
#define KR_VIEW(name, T, field) \
    { name, &GetView<T, &CView::field>, &SetView<T, &CView::field> }

const Accessors kLoopVariables[] = {
    {"mouse_x", &get_mouse_x, nullptr},
    {"mouse_y", &get_mouse_y, nullptr},
    {"mouse_button", &get_mouse_button, &set_mouse_button},
    {"mouse_lastbutton", &get_mouse_lastbutton, &set_mouse_lastbutton},
    {"keyboard_key", &get_keyboard_key, &set_keyboard_key},
    {"keyboard_lastkey", &get_keyboard_lastkey, &set_keyboard_lastkey},
    {"keyboard_lastchar", &get_keyboard_lastchar, &set_keyboard_lastchar},
    {"keyboard_string", &get_keyboard_string, &set_keyboard_string},
    {"room", &get_room, &set_room},
    {"room_first", &get_room_first, nullptr},
    {"room_last", &get_room_last, nullptr},
    {"room_width", &GetRoomField<int32_t, &CRoom::width>, nullptr},
    {"room_height", &GetRoomField<int32_t, &CRoom::height>, nullptr},
    {"room_caption", &get_room_caption, &set_room_caption},
    {"room_speed", &GetRoomField<int32_t, &CRoom::speed>, &set_room_speed},
    {"room_persistent", &GetRoomField<bool, &CRoom::persistent>, &SetRoomBool<&CRoom::persistent>},
    {"instance_count", &get_instance_count, nullptr},
    {"instance_id", &get_instance_id, nullptr},
    {"background_color", &GetRoomField<int32_t, &CRoom::background_color>,
     &SetRoomInt<&CRoom::background_color>},
    {"background_showcolor", &GetRoomField<bool, &CRoom::show_background_color>,
     &SetRoomBool<&CRoom::show_background_color>},
    KR_BACK("background_visible", bool, visible),
    KR_BACK("background_foreground", bool, foreground),
    KR_BACK("background_index", int32_t, index),
    KR_BACK("background_x", double, x),
    KR_BACK("background_y", double, y),
    {"background_width", &GetBackSize<true>, nullptr},
    {"background_height", &GetBackSize<false>, nullptr},
    KR_BACK("background_htiled", bool, tile_h),
    KR_BACK("background_vtiled", bool, tile_v),
    KR_BACK("background_xscale", double, xscale),
    KR_BACK("background_yscale", double, yscale),
    KR_BACK("background_hspeed", double, hspeed),
    KR_BACK("background_vspeed", double, vspeed),
    KR_BACK("background_blend", int32_t, blend),
    KR_BACK("background_alpha", double, alpha),
    {"view_enabled", &GetRoomField<bool, &CRoom::views_enabled>,
     &SetRoomBool<&CRoom::views_enabled>},
    {"view_current", &get_view_current, nullptr},
    KR_VIEW("view_visible", bool, visible),
    KR_VIEW("view_xview", int32_t, xview),
    KR_VIEW("view_yview", int32_t, yview),
    KR_VIEW("view_wview", int32_t, wview),
    KR_VIEW("view_hview", int32_t, hview),
    KR_VIEW("view_xport", int32_t, xport),
    KR_VIEW("view_yport", int32_t, yport),
    KR_VIEW("view_wport", int32_t, wport),
    KR_VIEW("view_hport", int32_t, hport),
    KR_VIEW("view_angle", double, angle),
    KR_VIEW("view_hborder", int32_t, hborder),
    KR_VIEW("view_vborder", int32_t, vborder),
    KR_VIEW("view_hspeed", int32_t, hspeed),
    KR_VIEW("view_vspeed", int32_t, vspeed),
    KR_VIEW("view_object", int32_t, object),
};

#undef KR_BACK
#undef KR_VIEW

}  // namespace

void AttachLoopVariables(Runtime& rt) {
    for (const Accessors& a : kLoopVariables) rt.SetBuiltinVariableAccessors(a.name, a.get, a.set);
}

}  // namespace kr

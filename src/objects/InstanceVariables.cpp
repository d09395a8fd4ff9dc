// Getters and setters of the built-in instance variables. ORDER VARIABLES: the table follows
// the instance part of the built-in variable table (code/BuiltinVariables.cpp).
#include "objects/InstanceVariables.h"

#include <algorithm>
#include <cstdint>

#include "code/BuiltinRegistry.h"
#include "data/Sprite.h"
#include "objects/Instance.h"

namespace kr {

namespace {

inline CInstance& Inst(ScriptInstance* s) {
    return *static_cast<CInstance*>(s);
}

inline double Real(const RValue& v) {
    return ArgReal(v);
}
// Integer fields take the value rounded to the nearest integer, ties to even, saturated to
// the 32-bit range (as every built-in variable does).
inline int32_t Rounded(const RValue& v) {
    return int32_t(std::clamp<int64_t>(RoundToInt64(ArgReal(v)), INT32_MIN, INT32_MAX));
}
// Boolean fields are true when the rounded value is at least 1, so 0.5 stores false.
inline bool BoolAtOne(const RValue& v) {
    return RoundToInt64(ArgReal(v)) >= 1;
}

inline const CSprite* SpriteOf(const CInstance& i) {
    return i.SpriteIndex() >= 0 ? i.World().FindSprite(i.SpriteIndex()) : nullptr;
}

// A getter or setter for an instance variable; `i` is the instance, `index` the flat index,
// `v` the value written.
#define KR_GET(name, expr)                                                     \
    bool get_##name(Runtime&, ScriptInstance* s, int32_t index, RValue& out) { \
        if (!s) return false;                                                  \
        [[maybe_unused]] const CInstance& i = Inst(s);                         \
        [[maybe_unused]] const int32_t n = index;                              \
        out.SetReal(double(expr));                                             \
        return true;                                                           \
    }
#define KR_SET(name, statement)                                                    \
    bool set_##name(Runtime&, ScriptInstance* s, int32_t index, const RValue& v) { \
        if (!s) return false;                                                      \
        [[maybe_unused]] CInstance& i = Inst(s);                                   \
        [[maybe_unused]] const int32_t n = index;                                  \
        statement;                                                                 \
        return true;                                                               \
    }
// A plain field, read and stored as it is (after the conversion).
#define KR_FIELD(name, convert) \
    KR_GET(name, i.name)        \
    KR_SET(name, i.name = convert(v))

// alarm[n]: any index outside 0..11 means alarm[0].
inline int32_t AlarmIndex(int32_t n) {
    return n >= 0 && n < kAlarmCount ? n : 0;
}

KR_GET(x, i.X())
KR_SET(x, i.SetPosition(Real(v), i.Y()))
KR_GET(y, i.Y())
KR_SET(y, i.SetPosition(i.X(), Real(v)))
KR_FIELD(xprevious, Real)
KR_FIELD(yprevious, Real)
KR_FIELD(xstart, Real)
KR_FIELD(ystart, Real)
KR_GET(hspeed, i.HSpeed())
KR_SET(hspeed, i.SetHSpeed(Real(v)))
KR_GET(vspeed, i.VSpeed())
KR_SET(vspeed, i.SetVSpeed(Real(v)))
KR_GET(direction, i.Direction())
KR_SET(direction, i.SetDirection(Real(v)))
KR_GET(speed, i.Speed())
KR_SET(speed, i.SetSpeed(Real(v)))
KR_FIELD(friction, Real)
KR_FIELD(gravity, Real)
KR_FIELD(gravity_direction, Real)
KR_GET(object_index, i.object_index)
KR_GET(id, i.id)
KR_GET(alarm, i.GetAlarm(AlarmIndex(n)))
KR_SET(alarm, i.SetAlarm(AlarmIndex(n), Rounded(v)))
KR_FIELD(solid, BoolAtOne)
KR_FIELD(visible, BoolAtOne)
KR_FIELD(persistent, BoolAtOne)
KR_FIELD(depth, Real)
KR_GET(bbox_left, i.BBoxLeft())
KR_GET(bbox_right, i.BBoxRight())
KR_GET(bbox_top, i.BBoxTop())
KR_GET(bbox_bottom, i.BBoxBottom())
KR_GET(sprite_index, i.SpriteIndex())
KR_SET(sprite_index, i.SetSprite(Rounded(v)))
KR_FIELD(image_index, Real)
// image_single: the fixed image shown, -1 while animating.
KR_GET(image_single, i.image_speed == 0 ? i.image_index : -1.0)
bool set_image_single(Runtime&, ScriptInstance* s, int32_t, const RValue& v) {
    if (!s) return false;
    CInstance& i = Inst(s);
    if (Real(v) < 0) {
        i.image_speed = 1;
    } else {
        i.image_index = Real(v);
        i.image_speed = 0;
    }
    return true;
}
KR_GET(image_number, i.ImageNumber())
KR_GET(sprite_width, SpriteOf(i) ? SpriteOf(i)->Width() * i.XScale() : 0.0)
KR_GET(sprite_height, SpriteOf(i) ? SpriteOf(i)->Height() * i.YScale() : 0.0)
KR_GET(sprite_xoffset, SpriteOf(i) ? SpriteOf(i)->x_origin* i.XScale() : 0.0)
KR_GET(sprite_yoffset, SpriteOf(i) ? SpriteOf(i)->y_origin* i.YScale() : 0.0)
KR_GET(image_xscale, i.XScale())
KR_SET(image_xscale, i.SetXScale(Real(v)))
KR_GET(image_yscale, i.YScale())
KR_SET(image_yscale, i.SetYScale(Real(v)))
KR_GET(image_angle, i.Angle())
KR_SET(image_angle, i.SetAngle(Real(v)))
KR_FIELD(image_alpha, Real)
KR_FIELD(image_blend, Rounded)
KR_FIELD(image_speed, Real)
KR_GET(mask_index, i.MaskIndex())
KR_SET(mask_index, i.SetMask(Rounded(v)))
KR_GET(path_index, i.path_index)
KR_GET(path_position, i.PathPosition())
KR_SET(path_position, i.SetPathPosition(Real(v)))
KR_GET(path_positionprevious, i.PathPositionPrevious())
KR_SET(path_positionprevious, i.SetPathPositionPrevious(Real(v)))
KR_FIELD(path_speed, Real)
KR_FIELD(path_scale, Real)
KR_FIELD(path_orientation, Real)
KR_FIELD(path_endaction, Rounded)
KR_FIELD(timeline_index, Rounded)
KR_FIELD(timeline_position, Real)
KR_FIELD(timeline_speed, Real)
KR_FIELD(timeline_running, BoolAtOne)
KR_FIELD(timeline_loop, BoolAtOne)

#undef KR_FIELD
#undef KR_SET
#undef KR_GET

#define KR_RW(name) \
    { #name, &get_##name, &set_##name }
#define KR_RO(name) \
    { #name, &get_##name, nullptr }
const InstanceVariableDef kInstanceVariables[] = {
    KR_RW(x),
    KR_RW(y),
    KR_RW(xprevious),
    KR_RW(yprevious),
    KR_RW(xstart),
    KR_RW(ystart),
    KR_RW(hspeed),
    KR_RW(vspeed),
    KR_RW(direction),
    KR_RW(speed),
    KR_RW(friction),
    KR_RW(gravity),
    KR_RW(gravity_direction),
    KR_RO(object_index),
    KR_RO(id),
    KR_RW(alarm),
    KR_RW(solid),
    KR_RW(visible),
    KR_RW(persistent),
    KR_RW(depth),
    KR_RO(bbox_left),
    KR_RO(bbox_right),
    KR_RO(bbox_top),
    KR_RO(bbox_bottom),
    KR_RW(sprite_index),
    KR_RW(image_index),
    KR_RW(image_single),
    KR_RO(image_number),
    KR_RO(sprite_width),
    KR_RO(sprite_height),
    KR_RO(sprite_xoffset),
    KR_RO(sprite_yoffset),
    KR_RW(image_xscale),
    KR_RW(image_yscale),
    KR_RW(image_angle),
    KR_RW(image_alpha),
    KR_RW(image_blend),
    KR_RW(image_speed),
    KR_RW(mask_index),
    KR_RO(path_index),
    KR_RW(path_position),
    KR_RW(path_positionprevious),
    KR_RW(path_speed),
    KR_RW(path_scale),
    KR_RW(path_orientation),
    KR_RW(path_endaction),
    KR_RW(timeline_index),
    KR_RW(timeline_position),
    KR_RW(timeline_speed),
    KR_RW(timeline_running),
    KR_RW(timeline_loop),
};
#undef KR_RO
#undef KR_RW

}  // namespace

std::span<const InstanceVariableDef> InstanceVariables() {
    return kInstanceVariables;
}

bool InstanceVariableAccessors(std::string_view name, BuiltinVarGetter& get,
                               BuiltinVarSetter& set) {
    for (const InstanceVariableDef& v : kInstanceVariables) {
        if (name == v.name) {
            get = v.get;
            set = v.set;
            return true;
        }
    }
    return false;
}

void DeclareInstanceVariableFields(Runtime& rt) {
    for (const InstanceVariableDef& v : kInstanceVariables) {
        const int32_t offset = CInstance::FieldOffset(v.name);
        if (offset >= 0) rt.SetBuiltinVariableField(v.name, offset);
    }
    // x and y are written in place too; a move marks the box, as SetPosition does.
    for (const char* name : {"x", "y"})
        rt.SetBuiltinVariableFieldWrite(name, CInstance::BoxDirtyOffset(),
                                        &CInstance::PositionWritten);
}

}  // namespace kr

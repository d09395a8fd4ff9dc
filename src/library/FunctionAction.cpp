// The action library: the functions behind the drag-and-drop actions of objects and time lines.
// This file holds the shared helpers, the movement, instance, sprite, question and score
// actions, and the family's table; FunctionActionMedia.cpp holds the rest.
#include "library/FunctionAction.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "code/Vocabulary.h"
#include "data/Sprite.h"
#include "objects/EventTypes.h"
#include "objects/InstanceCollision.h"
#include "objects/InstanceOps.h"
#include "runner/Runner.h"

namespace kr {

// ---- Helpers ---------------------------------------------------------------------------------

namespace action {

CInstance& Self(ScriptInstance* self) {
    return *static_cast<CInstance*>(self);
}

bool Relative(Runtime& rt) {
    return RunnerOf(rt).Vars().argument_relative;
}

double RelX(Runtime& rt, ScriptInstance* self, const RValue& v) {
    return ArgReal(v) + (Relative(rt) ? Self(self).X() : 0.0);
}

double RelY(Runtime& rt, ScriptInstance* self, const RValue& v) {
    return ArgReal(v) + (Relative(rt) ? Self(self).Y() : 0.0);
}

RValue CallBuiltin(Runtime& rt, ScriptInstance* self, ScriptInstance* other, std::string_view name,
                   std::initializer_list<RValue> args) {
    RValue result;
    const int id = rt.Builtins().Find(name);
    if (id < 0) {
        rt.RuntimeError("Unknown function " + std::string(name) + ".");
        return result;
    }
    RValue packed[kArgCount];
    int n = 0;
    for (const RValue& v : args)
        if (n < kArgCount) packed[n++] = v;
    rt.Builtins().Call(id, rt, self, other, n, packed, result);
    return result;
}

bool CompareMenu(double value, double against, int32_t op) {
    if (op == 1) return value < against;
    if (op == 2) return value > against;
    return value == against;
}

void ClearInput(Runtime& rt) {
    RunnerOf(rt).Loop().Input().ClearAll();
}

}  // namespace action

using action::CallBuiltin;
using action::Relative;
using action::RelX;
using action::RelY;
using action::Self;

namespace {

// The value of a real setting: with the relative flag added to the current value.
double Rel(Runtime& rt, double current, const RValue& v) {
    return Relative(rt) ? current + ArgReal(v) : ArgReal(v);
}

void SetQuestion(RValue& result, bool yes) {
    result.SetReal(yes ? 1.0 : 0.0);
}

}  // namespace

// ---- Movement --------------------------------------------------------------------------------

// The keypad layout of the direction string: characters 1 to 9 are these angles, the middle
// one stops.
static constexpr double kKeypadAngles[9] = {225, 270, 315, 180, -1, 0, 135, 90, 45};

static void fn_action_move(KR_ACTION_PARAMS) {
    std::string_view dirs = a[0].IsString() ? ArgStr(a[0]) : std::string_view();
    if (dirs.size() != 9) {
        rt.RuntimeError("Wrong argument to action_move().");
        return;
    }
    if (dirs.find('1') == std::string_view::npos) return;
    CInstance& inst = Self(self);
    inst.SetSpeed(Rel(rt, inst.Speed(), a[1]));
    for (;;) {
        const uint32_t k = rt.Rng().NextBelow(9);
        if (dirs[k] != '1') continue;
        if (kKeypadAngles[k] < 0) {
            inst.SetDirection(0);
            inst.SetSpeed(0);
        } else {
            inst.SetDirection(kKeypadAngles[k]);
        }
        return;
    }
}

static void fn_action_set_motion(KR_ACTION_PARAMS) {
    CInstance& inst = Self(self);
    if (Relative(rt)) {
        inst.AddMotion(ArgReal(a[0]), ArgReal(a[1]));
    } else {
        inst.SetDirection(ArgReal(a[0]));
        inst.SetSpeed(ArgReal(a[1]));
    }
}

static void fn_action_set_hspeed(KR_ACTION_PARAMS) {
    CInstance& inst = Self(self);
    inst.SetHSpeed(Rel(rt, inst.HSpeed(), a[0]));
}

static void fn_action_set_vspeed(KR_ACTION_PARAMS) {
    CInstance& inst = Self(self);
    inst.SetVSpeed(Rel(rt, inst.VSpeed(), a[0]));
}

static void fn_action_set_gravity(KR_ACTION_PARAMS) {
    CInstance& inst = Self(self);
    inst.gravity_direction = Rel(rt, inst.gravity_direction, a[0]);
    inst.gravity = Rel(rt, inst.gravity, a[1]);
}

static void fn_action_set_friction(KR_ACTION_PARAMS) {
    CInstance& inst = Self(self);
    inst.friction = Rel(rt, inst.friction, a[0]);
}

static void fn_action_move_point(KR_ACTION_PARAMS) {
    CallBuiltin(rt, self, other, "move_towards_point",
                {RelX(rt, self, a[0]), RelY(rt, self, a[1]), ArgReal(a[2])});
}

static void fn_action_move_to(KR_ACTION_PARAMS) {
    Self(self).SetPosition(RelX(rt, self, a[0]), RelY(rt, self, a[1]));
}

static void fn_action_move_start(KR_ACTION_PARAMS) {
    CInstance& inst = Self(self);
    inst.SetPosition(inst.xstart, inst.ystart);
}

// Up to 100 random positions that keep the box inside the room; the first free one is taken.
static void fn_action_move_random(KR_ACTION_PARAMS) {
    Runner& r = RunnerOf(rt);
    CInstance& inst = Self(self);
    const CRoom& room = r.Loop().Room();
    const bool has_box =
        r.World().FindSprite(inst.SpriteIndex()) || r.World().FindSprite(inst.MaskIndex());
    double left = 0, right = 0, top = 0, bottom = 0;  // the box's reach around the position
    if (has_box) {
        left = inst.X() - inst.BBoxLeft();
        right = inst.BBoxRight() - inst.X();
        top = inst.Y() - inst.BBoxTop();
        bottom = inst.BBoxBottom() - inst.Y();
    }
    const double hsnap = ArgReal(a[0]), vsnap = ArgReal(a[1]);
    for (int attempt = 0; attempt < 100; ++attempt) {
        double x = left + rt.Rng().NextReal() * std::max(0.0, room.width - left - right);
        double y = top + rt.Rng().NextReal() * std::max(0.0, room.height - top - bottom);
        if (hsnap >= 1) x = std::floor(x / hsnap) * hsnap;
        if (vsnap >= 1) y = std::floor(y / vsnap) * vsnap;
        if (PlaceFree(r.Instances(), inst, x, y)) {
            inst.SetPosition(x, y);
            return;
        }
    }
}

static void fn_action_snap(KR_ACTION_PARAMS) {
    CallBuiltin(rt, self, other, "move_snap", {ArgReal(a[0]), ArgReal(a[1])});
}

static void fn_action_wrap(KR_ACTION_PARAMS) {
    const int32_t dir = ArgInt(a[0]);
    CallBuiltin(rt, self, other, "move_wrap",
                {dir == 0 || dir == 2 ? 1.0 : 0.0, dir == 1 || dir == 2 ? 1.0 : 0.0, 0.0});
}

static void fn_action_reverse_xdir(KR_ACTION_PARAMS) {
    Self(self).SetHSpeed(-Self(self).HSpeed());
}

static void fn_action_reverse_ydir(KR_ACTION_PARAMS) {
    Self(self).SetVSpeed(-Self(self).VSpeed());
}

static void fn_action_move_contact(KR_ACTION_PARAMS) {
    CallBuiltin(rt, self, other, ArgBool(a[2]) ? "move_contact_all" : "move_contact_solid",
                {ArgReal(a[0]), ArgReal(a[1])});
}

static void fn_action_bounce(KR_ACTION_PARAMS) {
    CallBuiltin(rt, self, other, ArgReal(a[1]) == 1 ? "move_bounce_all" : "move_bounce_solid",
                {ArgBool(a[0]) ? 1.0 : 0.0});
}

static void fn_action_path(KR_ACTION_PARAMS) {
    CallBuiltin(rt, self, other, "path_start",
                {ArgReal(a[0]), ArgReal(a[1]), ArgReal(a[2]), ArgBool(a[3]) ? 0.0 : 1.0});
}

static void fn_action_path_end(KR_ACTION_PARAMS) {
    Self(self).path_index = -1;
}

static void fn_action_path_position(KR_ACTION_PARAMS) {
    CInstance& inst = Self(self);
    inst.SetPathPosition(Rel(rt, inst.PathPosition(), a[0]));
}

static void fn_action_path_speed(KR_ACTION_PARAMS) {
    CInstance& inst = Self(self);
    inst.path_speed = Rel(rt, inst.path_speed, a[0]);
}

static void fn_action_linear_step(KR_ACTION_PARAMS) {
    result = CallBuiltin(
        rt, self, other, "mp_linear_step",
        {RelX(rt, self, a[0]), RelY(rt, self, a[1]), ArgReal(a[2]), ArgBool(a[3]) ? 1.0 : 0.0});
}

static void fn_action_potential_step(KR_ACTION_PARAMS) {
    result = CallBuiltin(
        rt, self, other, "mp_potential_step",
        {RelX(rt, self, a[0]), RelY(rt, self, a[1]), ArgReal(a[2]), ArgBool(a[3]) ? 1.0 : 0.0});
}

// ---- Instances -------------------------------------------------------------------------------

static void fn_action_create_object(KR_ACTION_PARAMS) {
    InstanceCreate(RunnerOf(rt).Instancing(), ArgInt(a[0]), RelX(rt, self, a[1]),
                   RelY(rt, self, a[2]));
}

// The motion is set before the create event runs, so that the event sees it.
static void fn_action_create_object_motion(KR_ACTION_PARAMS) {
    Runner& r = RunnerOf(rt);
    const int32_t object = ArgInt(a[0]);
    ObjectDefaults unused;
    if (!r.World().FindObject(object, unused)) {
        rt.RuntimeError("Creating instance for non-existing object: " + std::to_string(object));
        return;
    }
    CInstance& inst = r.Instances().AddInstance(object, RelX(rt, self, a[1]), RelY(rt, self, a[2]));
    inst.SetSpeed(ArgReal(a[3]));
    inst.SetDirection(ArgReal(a[4]));
    r.Events().PerformInstanceEvent(inst, inst, kEventCreate, 0);
}

static void fn_action_create_object_random(KR_ACTION_PARAMS) {
    Runner& r = RunnerOf(rt);
    int32_t objects[4];
    bool any = false;
    ObjectDefaults unused;
    for (int i = 0; i < 4; ++i) {
        objects[i] = ArgInt(a[i]);
        any = any || r.World().FindObject(objects[i], unused);
    }
    if (!any) return;
    int32_t object;
    do {
        object = objects[rt.Rng().NextBelow(4)];
    } while (!r.World().FindObject(object, unused));
    InstanceCreate(r.Instancing(), object, RelX(rt, self, a[4]), RelY(rt, self, a[5]));
}

static void fn_action_change_object(KR_ACTION_PARAMS) {
    InstanceChange(RunnerOf(rt).Instancing(), Self(self), ArgInt(a[0]), ArgReal(a[1]) > 0.5);
}

static void fn_action_kill_object(KR_ACTION_PARAMS) {
    InstanceDestroy(RunnerOf(rt).Instancing(), Self(self));
}

static void fn_action_kill_position(KR_ACTION_PARAMS) {
    PositionDestroy(RunnerOf(rt).Instancing(), RelX(rt, self, a[0]), RelY(rt, self, a[1]));
}

// ---- Sprite ----------------------------------------------------------------------------------

static void fn_action_sprite_set(KR_ACTION_PARAMS) {
    CInstance& inst = Self(self);
    inst.SetSprite(ArgInt(a[0]));
    if (ArgReal(a[1]) >= 0) inst.image_index = ArgReal(a[1]);
    inst.image_speed = ArgReal(a[2]);
}

static void fn_action_sprite_transform(KR_ACTION_PARAMS) {
    CInstance& inst = Self(self);
    inst.SetXScale(ArgReal(a[0]));
    inst.SetYScale(ArgReal(a[1]));
    inst.SetAngle(ArgReal(a[2]));
    const int32_t mirror = ArgInt(a[3]);
    if (mirror == 1 || mirror == 3) inst.SetXScale(-inst.XScale());
    if (mirror == 2 || mirror == 3) inst.SetYScale(-inst.YScale());
}

static void fn_action_sprite_color(KR_ACTION_PARAMS) {
    CInstance& inst = Self(self);
    inst.image_blend = ArgInt(a[0]);
    inst.image_alpha = ArgReal(a[1]);
}

static void fn_action_set_sprite(KR_ACTION_PARAMS) {
    CInstance& inst = Self(self);
    if (!SetInstanceSprite(RunnerOf(rt).Instancing(), inst, ArgInt(a[0]))) return;
    if (ArgReal(a[1]) > 0) {
        inst.SetXScale(ArgReal(a[1]));
        inst.SetYScale(ArgReal(a[1]));
    }
}

// ---- Questions and control -------------------------------------------------------------------

static bool EmptyAt(Runtime& rt, ScriptInstance* self, const RValue* a) {
    Runner& r = RunnerOf(rt);
    const double x = RelX(rt, self, a[0]), y = RelY(rt, self, a[1]);
    return ArgInt(a[2]) == 0 ? PlaceFree(r.Instances(), Self(self), x, y)
                             : PlaceEmpty(r.Instances(), Self(self), x, y);
}

static void fn_action_if_empty(KR_ACTION_PARAMS) {
    SetQuestion(result, EmptyAt(rt, self, a));
}

static void fn_action_if_collision(KR_ACTION_PARAMS) {
    SetQuestion(result, !EmptyAt(rt, self, a));
}

static void fn_action_if_object(KR_ACTION_PARAMS) {
    SetQuestion(result, PlaceMeeting(RunnerOf(rt).Instances(), Self(self), RelX(rt, self, a[1]),
                                     RelY(rt, self, a[2]), ArgInt(a[0])));
}

static void fn_action_if_number(KR_ACTION_PARAMS) {
    RValue count = CallBuiltin(rt, self, other, "instance_number", {ArgReal(a[0])});
    SetQuestion(result, action::CompareMenu(ArgReal(count), ArgReal(a[1]), ArgInt(a[2])));
}

static void fn_action_if(KR_ACTION_PARAMS) {
    result = a[0];
}

static void fn_action_if_question(KR_ACTION_PARAMS) {
    RValue answer = CallBuiltin(rt, self, other, "show_question", {a[0]});
    action::ClearInput(rt);
    SetQuestion(result, ArgBool(answer));
}

static void fn_action_if_dice(KR_ACTION_PARAMS) {
    const double sides = ArgReal(a[0]);
    if (!(sides > 1)) return SetQuestion(result, true);
    const int64_t range = RoundToInt64(1000 * sides);
    const uint32_t n = range > int64_t(UINT32_MAX) ? UINT32_MAX : uint32_t(range);
    SetQuestion(result, rt.Rng().NextBelow(n) < 1000);
}

static void fn_action_if_mouse(KR_ACTION_PARAMS) {
    const InputState& in = RunnerOf(rt).Loop().Input();
    const int32_t button = ArgInt(a[0]);
    if (button >= 1 && button <= kMouseButtonCount)
        return SetQuestion(result, in.ButtonHeld(button));
    bool none = true;
    for (int32_t b = 1; b <= kMouseButtonCount; ++b) none = none && !in.ButtonHeld(b);
    SetQuestion(result, none);
}

static void fn_action_if_aligned(KR_ACTION_PARAMS) {
    const CInstance& inst = Self(self);
    auto aligned = [](double v, double snap) {
        return !(snap > 0) || std::fabs(v - std::round(v / snap) * snap) < 0.001;
    };
    SetQuestion(result, aligned(inst.X(), ArgReal(a[0])) && aligned(inst.Y(), ArgReal(a[1])));
}

static void fn_action_if_variable(KR_ACTION_PARAMS) {
    if (a[0].IsString() != a[1].IsString()) {
        rt.RuntimeError("Cannot compare arguments.");
        return SetQuestion(result, false);
    }
    const int32_t op = ArgInt(a[2]);
    if (a[0].IsReal()) return SetQuestion(result, action::CompareMenu(a[0].real, a[1].real, op));
    const int c = ArgStr(a[0]).compare(ArgStr(a[1]));
    SetQuestion(result, op == 1 ? c < 0 : op == 2 ? c > 0 : c == 0);
}

// An error inside the script is shown at once: nothing after the action would report it.
static void fn_action_execute_script(KR_ACTION_PARAMS) {
    const int32_t index = ArgInt(a[0]);
    if (!rt.CallScript(index, self, other, result, a + 1, 5) && rt.ErrorPending()) {
        std::string text = rt.ErrorText();
        rt.ClearError();
        rt.ShowRuntimeError(text, false);
    }
}

static void fn_action_inherited(KR_ACTION_PARAMS) {
    CallBuiltin(rt, self, other, "event_inherited", {});
}

// ---- Score, lives, health --------------------------------------------------------------------

namespace {

int32_t RelInt(Runtime& rt, int32_t current, const RValue& v) {
    const double value = Relative(rt) ? current + ArgReal(v) : ArgReal(v);
    const int64_t n = RoundToInt64(value);
    return int32_t(std::clamp<int64_t>(n, INT32_MIN, INT32_MAX));
}

void DrawCaptioned(Runtime& rt, ScriptInstance* self, ScriptInstance* other, const RValue* a,
                   double value) {
    std::string text(ArgStr(a[2]));
    text += std::to_string(int64_t(value));
    CallBuiltin(rt, self, other, "draw_text",
                {RelX(rt, self, a[0]), RelY(rt, self, a[1]), RValue(text)});
}

// The colours of the health bar menus, in menu order from black (the constants' values).
constexpr int32_t kMenuColors[16] = {0x000000, 0x808080, 0xC0C0C0, 0xFFFFFF, 0x000080, 0x008000,
                                     0x008080, 0x800000, 0x800080, 0x808000, 0x0000FF, 0x00FF00,
                                     0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00};
constexpr int32_t kRed = 0x0000FF, kLime = 0x00FF00, kWhite = 0xFFFFFF, kBlack = 0;

}  // namespace

static void fn_action_set_score(KR_ACTION_PARAMS) {
    GameVariables& v = RunnerOf(rt).Vars();
    v.score = RelInt(rt, v.score, a[0]);
}

static void fn_action_if_score(KR_ACTION_PARAMS) {
    SetQuestion(result,
                action::CompareMenu(RunnerOf(rt).Vars().score, ArgReal(a[0]), ArgInt(a[1])));
}

static void fn_action_draw_score(KR_ACTION_PARAMS) {
    DrawCaptioned(rt, self, other, a, RunnerOf(rt).Vars().score);
}

static void fn_action_set_life(KR_ACTION_PARAMS) {
    Runner& r = RunnerOf(rt);
    r.SetLives(RelInt(rt, r.Vars().lives, a[0]));
}

static void fn_action_if_life(KR_ACTION_PARAMS) {
    SetQuestion(result,
                action::CompareMenu(RunnerOf(rt).Vars().lives, ArgReal(a[0]), ArgInt(a[1])));
}

static void fn_action_draw_life(KR_ACTION_PARAMS) {
    DrawCaptioned(rt, self, other, a, RunnerOf(rt).Vars().lives);
}

static void fn_action_draw_life_images(KR_ACTION_PARAMS) {
    Runner& r = RunnerOf(rt);
    const int32_t sprite = ArgInt(a[2]);
    const CSprite* spr = r.Game().sprites.Get(sprite);
    if (!spr) {
        rt.RuntimeError("Trying to draw a non-existing sprite.");
        return;
    }
    const double x = RelX(rt, self, a[0]), y = RelY(rt, self, a[1]);
    for (int32_t i = 0; i < r.Vars().lives; ++i)
        CallBuiltin(rt, self, other, "draw_sprite",
                    {double(sprite), 0.0, x + double(i) * spr->Width(), y});
}

static void fn_action_set_health(KR_ACTION_PARAMS) {
    Runner& r = RunnerOf(rt);
    r.SetHealth(Rel(rt, r.Vars().health, a[0]));
}

static void fn_action_if_health(KR_ACTION_PARAMS) {
    SetQuestion(result,
                action::CompareMenu(RunnerOf(rt).Vars().health, ArgReal(a[0]), ArgInt(a[1])));
}

// Menu values outside the lists draw black.
static void fn_action_draw_health(KR_ACTION_PARAMS) {
    const int32_t back = ArgInt(a[4]), bar = ArgInt(a[5]);
    const int32_t back_color = back >= 1 && back <= 16 ? kMenuColors[back - 1] : kBlack;
    int32_t min_color = kBlack, max_color = kBlack;
    if (bar == 0) {
        min_color = kRed;
        max_color = kLime;
    } else if (bar == 1) {
        min_color = kBlack;
        max_color = kWhite;
    } else if (bar >= 2 && bar <= 17) {
        min_color = max_color = kMenuColors[bar - 2];
    }
    CallBuiltin(rt, self, other, "draw_healthbar",
                {RelX(rt, self, a[0]), RelY(rt, self, a[1]), RelX(rt, self, a[2]),
                 RelY(rt, self, a[3]), RunnerOf(rt).Vars().health, double(back_color),
                 double(min_color), double(max_color), 0.0, ArgReal(a[4]) >= 0.5 ? 1.0 : 0.0, 1.0});
}

static void fn_action_set_caption(KR_ACTION_PARAMS) {
    GameVariables& v = RunnerOf(rt).Vars();
    v.show_score = ArgReal(a[0]) == 1;
    v.show_score_assigned = true;
    v.caption_score = std::string(ArgStr(a[1]));
    v.show_lives = ArgReal(a[2]) == 1;
    v.caption_lives = std::string(ArgStr(a[3]));
    v.show_health = ArgReal(a[4]) == 1;
    v.caption_health = std::string(ArgStr(a[5]));
}

// A string as it is; a whole number as an integer; anything else with two decimals, in
// scientific form where that would need more than 10 significant digits.
static std::string ActionVariableText(const RValue& v) {
    if (v.IsString()) return std::string(v.Str());
    const double d = v.real;
    char buf[64];
    if (std::isfinite(d) && d == std::round(d) && std::fabs(d) < 1e18)
        std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(d));
    else if (std::fabs(d) < 1e8)
        std::snprintf(buf, sizeof buf, "%.2f", d);
    else
        std::snprintf(buf, sizeof buf, "%.9E", d);
    return buf;
}

static void fn_action_draw_variable(KR_ACTION_PARAMS) {
    CallBuiltin(rt, self, other, "draw_text",
                {RelX(rt, self, a[1]), RelY(rt, self, a[2]), RValue(ActionVariableText(a[0]))});
}

namespace {

// The items of a font description: commas split, except inside double quotes.
std::vector<std::string> FontItems(std::string_view text) {
    std::vector<std::string> items(1);
    bool quoted = false;
    for (char c : text) {
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            items.emplace_back();
        } else {
            items.back() += c;
        }
    }
    return items;
}

bool ParseInteger(const std::string& s, int64_t& out) {
    if (s.empty()) return false;
    char* end = nullptr;
    long long v = std::strtoll(s.c_str(), &end, 10);
    if (*end != '\0') return false;
    out = v;
    return true;
}

}  // namespace

// A font description that is short or holds a size or colour that is no integer is reported
// and the highscore font stays as it was; the table is still shown.
static void fn_action_highscore_show(KR_ACTION_PARAMS) {
    CallBuiltin(rt, self, other, "highscore_set_background", {double(ArgInt(a[0]))});
    CallBuiltin(rt, self, other, "highscore_set_border", {ArgInt(a[1]) == 1 ? 1.0 : 0.0});
    CallBuiltin(rt, self, other, "highscore_set_colors",
                {double(kWhite), ArgReal(a[2]), ArgReal(a[3])});
    std::vector<std::string> items = FontItems(ArgStr(a[4]));
    int64_t size = 0, color = 0;
    if (items.size() < 7 || !ParseInteger(items[1], size) || !ParseInteger(items[2], color)) {
        rt.RuntimeError("Wrong font description in action_highscore_show().");
    } else {
        const double style = (items[3] == "1" ? 1 : 0) + (items[4] == "1" ? 2 : 0);
        CallBuiltin(rt, self, other, "highscore_set_font", {RValue(items[0]), double(size), style});
    }
    CallBuiltin(rt, self, other, "highscore_show", {double(RunnerOf(rt).Vars().score)});
    action::ClearInput(rt);
}

static void fn_action_highscore_clear(KR_ACTION_PARAMS) {
    CallBuiltin(rt, self, other, "highscore_clear", {});
}

// ORDER VOCABULARY: the rows keep the registration order of the family.
// The obsolete actions of old libraries only answer: they are kept so that games holding them
// still run.
static constexpr BuiltinDef kActionFunctions[] = {
    {"action_path_old", BuiltinOnlyAnswers, 3},
    {"action_set_sprite", fn_action_set_sprite, 2},
    {"action_draw_font", BuiltinOnlyAnswers, 1},
    {"action_draw_font_old", BuiltinOnlyAnswers, 6},
    {"action_fill_color", BuiltinOnlyAnswers, 1},
    {"action_line_color", BuiltinOnlyAnswers, 1},
    {"action_highscore", BuiltinOnlyAnswers, 0},
    {"action_move", fn_action_move, 2},
    {"action_set_motion", fn_action_set_motion, 2},
    {"action_set_hspeed", fn_action_set_hspeed, 1},
    {"action_set_vspeed", fn_action_set_vspeed, 1},
    {"action_set_gravity", fn_action_set_gravity, 2},
    {"action_set_friction", fn_action_set_friction, 1},
    {"action_move_point", fn_action_move_point, 3},
    {"action_move_to", fn_action_move_to, 2},
    {"action_move_start", fn_action_move_start, 0},
    {"action_move_random", fn_action_move_random, 2},
    {"action_snap", fn_action_snap, 2},
    {"action_wrap", fn_action_wrap, 1},
    {"action_reverse_xdir", fn_action_reverse_xdir, 0},
    {"action_reverse_ydir", fn_action_reverse_ydir, 0},
    {"action_move_contact", fn_action_move_contact, 3},
    {"action_bounce", fn_action_bounce, 2},
    {"action_path", fn_action_path, 4},
    {"action_path_end", fn_action_path_end, 0},
    {"action_path_position", fn_action_path_position, 1},
    {"action_path_speed", fn_action_path_speed, 1},
    {"action_linear_step", fn_action_linear_step, 4},
    {"action_potential_step", fn_action_potential_step, 4},
    {"action_kill_object", fn_action_kill_object, 0},
    {"action_create_object", fn_action_create_object, 3},
    {"action_create_object_motion", fn_action_create_object_motion, 5},
    {"action_create_object_random", fn_action_create_object_random, 6},
    {"action_change_object", fn_action_change_object, 2},
    {"action_kill_position", fn_action_kill_position, 2},
    {"action_sprite_set", fn_action_sprite_set, 3},
    {"action_sprite_transform", fn_action_sprite_transform, 4},
    {"action_sprite_color", fn_action_sprite_color, 2},
    {"action_sound", fn_action_sound, 2},
    {"action_end_sound", fn_action_end_sound, 2},
    {"action_if_sound", fn_action_if_sound, 1},
    {"action_another_room", fn_action_another_room, 2},
    {"action_current_room", fn_action_current_room, 1},
    {"action_previous_room", fn_action_previous_room, 1},
    {"action_next_room", fn_action_next_room, 1},
    {"action_if_previous_room", fn_action_if_previous_room, 0},
    {"action_if_next_room", fn_action_if_next_room, 0},
    {"action_set_alarm", fn_action_set_alarm, 2},
    {"action_sleep", fn_action_sleep, 2},
    {"action_set_timeline", fn_action_set_timeline, 2},
    {"action_timeline_set", fn_action_timeline_set, 4},
    {"action_timeline_start", fn_action_timeline_start, 0},
    {"action_timeline_pause", fn_action_timeline_pause, 0},
    {"action_timeline_stop", fn_action_timeline_stop, 0},
    {"action_set_timeline_position", fn_action_set_timeline_position, 1},
    {"action_set_timeline_speed", fn_action_set_timeline_speed, 1},
    {"action_message", fn_action_message, 1},
    {"action_show_info", fn_action_show_info, 0},
    {"action_show_video", fn_action_show_video, 3},
    {"action_splash_video", fn_action_splash_video, 2},
    {"action_splash_text", fn_action_splash_text, 1},
    {"action_splash_image", fn_action_splash_image, 1},
    {"action_splash_web", fn_action_splash_web, 2},
    {"action_splash_settings", fn_action_splash_settings, 5},
    {"action_end_game", fn_action_end_game, 0},
    {"action_restart_game", fn_action_restart_game, 0},
    {"action_save_game", fn_action_save_game, 1},
    {"action_load_game", fn_action_load_game, 1},
    {"action_replace_sprite", fn_action_replace_sprite, 3},
    {"action_replace_sound", fn_action_replace_sound, 2},
    {"action_replace_background", fn_action_replace_background, 2},
    {"action_if_empty", fn_action_if_empty, 3},
    {"action_if_collision", fn_action_if_collision, 3},
    {"action_if", fn_action_if, 1},
    {"action_if_number", fn_action_if_number, 3},
    {"action_if_object", fn_action_if_object, 3},
    {"action_if_question", fn_action_if_question, 1},
    {"action_if_dice", fn_action_if_dice, 1},
    {"action_if_mouse", fn_action_if_mouse, 1},
    {"action_if_aligned", fn_action_if_aligned, 2},
    {"action_execute_script", fn_action_execute_script, 6},
    {"action_inherited", fn_action_inherited, 0},
    {"action_if_variable", fn_action_if_variable, 3},
    {"action_draw_variable", fn_action_draw_variable, 3},
    {"action_set_score", fn_action_set_score, 1},
    {"action_if_score", fn_action_if_score, 2},
    {"action_draw_score", fn_action_draw_score, 3},
    {"action_highscore_show", fn_action_highscore_show, 5},
    {"action_highscore_clear", fn_action_highscore_clear, 0},
    {"action_set_life", fn_action_set_life, 1},
    {"action_if_life", fn_action_if_life, 2},
    {"action_draw_life", fn_action_draw_life, 3},
    {"action_draw_life_images", fn_action_draw_life_images, 3},
    {"action_set_health", fn_action_set_health, 1},
    {"action_if_health", fn_action_if_health, 2},
    {"action_draw_health", fn_action_draw_health, 6},
    {"action_set_caption", fn_action_set_caption, 6},
    {"action_partsyst_create", fn_action_partsyst_create, 1},
    {"action_partsyst_destroy", fn_action_partsyst_destroy, 0},
    {"action_partsyst_clear", fn_action_partsyst_clear, 0},
    {"action_parttype_create_old", fn_action_parttype_create_old, 6},
    {"action_parttype_create", fn_action_parttype_create, 6},
    {"action_parttype_color", fn_action_parttype_color, 6},
    {"action_parttype_life", fn_action_parttype_life, 3},
    {"action_parttype_speed", fn_action_parttype_speed, 6},
    {"action_parttype_gravity", fn_action_parttype_gravity, 3},
    {"action_parttype_secondary", fn_action_parttype_secondary, 5},
    {"action_partemit_create", fn_action_partemit_create, 6},
    {"action_partemit_destroy", fn_action_partemit_destroy, 1},
    {"action_partemit_burst", fn_action_partemit_burst, 3},
    {"action_partemit_stream", fn_action_partemit_stream, 3},
    {"action_cd_play", fn_action_cd_play, 2},
    {"action_cd_stop", fn_action_cd_stop, 0},
    {"action_cd_pause", fn_action_cd_pause, 0},
    {"action_cd_resume", fn_action_cd_resume, 0},
    {"action_cd_present", fn_action_cd_present, 0},
    {"action_cd_playing", fn_action_cd_playing, 0},
    {"action_set_cursor", fn_action_set_cursor, 2},
    {"action_webpage", fn_action_webpage, 1},
    {"action_draw_sprite", fn_action_draw_sprite, 4},
    {"action_draw_background", fn_action_draw_background, 4},
    {"action_draw_text", fn_action_draw_text, 3},
    {"action_draw_text_transformed", fn_action_draw_text_transformed, 6},
    {"action_draw_rectangle", fn_action_draw_rectangle, 5},
    {"action_draw_gradient_hor", fn_action_draw_gradient_hor, 6},
    {"action_draw_gradient_vert", fn_action_draw_gradient_vert, 6},
    {"action_draw_ellipse", fn_action_draw_ellipse, 5},
    {"action_draw_ellipse_gradient", fn_action_draw_ellipse_gradient, 6},
    {"action_draw_line", fn_action_draw_line, 4},
    {"action_draw_arrow", fn_action_draw_arrow, 5},
    {"action_color", fn_action_color, 1},
    {"action_font", fn_action_font, 2},
    {"action_fullscreen", fn_action_fullscreen, 1},
    {"action_snapshot", fn_action_snapshot, 1},
    {"action_effect", fn_action_effect, 6},
};

void RegisterActionFunctions(BuiltinRegistry& reg) {
    reg.AddTable<kActionFunctions>();
}

}  // namespace kr

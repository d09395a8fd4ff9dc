// Script functions that move the calling instance explicitly: setting its motion, snapping,
// wrapping, random free places, moving up to or out of contact, bouncing, distances, starting
// and ending paths, and the planning steps and routes towards a goal. Every move goes through
// SetPosition, so the bounding box follows.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "library/FunctionGame.h"
#include "motion/MotionPlanning.h"
#include "objects/InstanceCollision.h"
#include "objects/InstancePath.h"
#include "runner/Runner.h"

namespace kr {

namespace {

constexpr double kRad = std::numbers::pi / 180;
// The distance given when no instance is selected (or only the caller or deleted ones are).
constexpr double kFarAway = 1000000;

CInstance& Self(ScriptInstance* self) {
    return *static_cast<CInstance*>(self);
}

enum class FreeTest { kSolid, kAll, kObject };

// The calling instance as a planning step sees it; "free" is chosen per function.
class InstanceMover final : public Mover {
public:
    InstanceMover(const InstanceList& room, CInstance& inst, FreeTest test, int32_t obj = 0)
        : room_(room), inst_(inst), test_(test), obj_(obj) {}
    double X() const override { return inst_.X(); }
    double Y() const override { return inst_.Y(); }
    double Direction() const override { return inst_.Direction(); }
    void SetDirection(double d) override { inst_.SetDirection(d); }
    void MoveTo(double x, double y) override { inst_.SetPosition(x, y); }
    bool Free(double x, double y) const override {
        switch (test_) {
            case FreeTest::kSolid:
                return PlaceFree(room_, inst_, x, y);
            case FreeTest::kAll:
                return PlaceEmpty(room_, inst_, x, y);
            case FreeTest::kObject:
                return !PlaceMeeting(room_, inst_, x, y, obj_);
        }
        return true;
    }

private:
    const InstanceList& room_;
    CInstance& inst_;
    FreeTest test_;
    int32_t obj_;
};

InstanceMover MoverOf(Runtime& rt, ScriptInstance* self, FreeTest test, int32_t obj = 0) {
    return InstanceMover(RunnerOf(rt).Instances(), Self(self), test, obj);
}

FreeTest AllOr(bool checkall) {
    return checkall ? FreeTest::kAll : FreeTest::kSolid;
}

// The number of one-pixel steps of the contact functions. A huge distance is bounded, so that
// moving through empty space cannot hold the game for hours.
constexpr int64_t kMaxContactSteps = 1000000;
int64_t ContactSteps(double maxdist) {
    if (maxdist > 0) {
        const int64_t n = RoundToInt64(std::min(maxdist, double(kMaxContactSteps)));
        return n > 0 ? n : 0;
    }
    return 1000;
}

void MoveContact(Runtime& rt, ScriptInstance* self, FreeTest test, double dir, double maxdist) {
    InstanceMover m = MoverOf(rt, self, test);
    if (!m.Free(m.X(), m.Y())) return;
    const double dx = std::cos(dir * kRad), dy = -std::sin(dir * kRad);
    for (int64_t i = ContactSteps(maxdist); i > 0; --i) {
        const double nx = m.X() + dx, ny = m.Y() + dy;
        if (!m.Free(nx, ny)) return;
        m.MoveTo(nx, ny);
    }
}

void MoveOutside(Runtime& rt, ScriptInstance* self, FreeTest test, double dir, double maxdist) {
    InstanceMover m = MoverOf(rt, self, test);
    if (m.Free(m.X(), m.Y())) return;
    const double dx = std::cos(dir * kRad), dy = -std::sin(dir * kRad);
    for (int64_t i = ContactSteps(maxdist); i > 0; --i) {
        m.MoveTo(m.X() + dx, m.Y() + dy);
        if (m.Free(m.X(), m.Y())) return;
    }
}

void Bounce(Runtime& rt, ScriptInstance* self, FreeTest test, bool precise) {
    CInstance& inst = Self(self);
    InstanceMover m = MoverOf(rt, self, test);
    bool needed = false;
    if (!m.Free(inst.X(), inst.Y())) {
        inst.SetPosition(inst.xprevious, inst.yprevious);
        needed = true;
    }
    const double x0 = inst.X(), y0 = inst.Y();
    if (precise) {
        const double speed = inst.Speed();
        const double base = std::nearbyint(inst.Direction() / 10) * 10;
        auto turn = [&](double step) {
            double a = base;
            for (int i = 0; i < 35; ++i) {
                a += step;
                if (m.Free(x0 + speed * std::cos(a * kRad), y0 - speed * std::sin(a * kRad))) break;
                needed = true;
            }
            return a;
        };
        const double a = turn(-10), b = turn(10);
        if (needed) inst.SetDirection(a + b + 180 - base);
        return;
    }
    const double hs = inst.HSpeed(), vs = inst.VSpeed();
    const bool h = !m.Free(x0 + hs, y0), v = !m.Free(x0, y0 + vs);
    const bool d = !m.Free(x0 + hs, y0 + vs);
    if ((h && v) || (!h && !v && d)) {
        inst.SetHSpeed(-hs);
        inst.SetVSpeed(-vs);
    } else if (h) {
        inst.SetHSpeed(-hs);
    } else if (v) {
        inst.SetVSpeed(-vs);
    }
}

CPath* RoutePath(Runtime& rt, const RValue& v) {
    CPath* p = RunnerOf(rt).Game().paths.Get(ArgInt(v));
    if (!p) rt.RuntimeError("Trying to assign to a non-existing path.");
    return p;
}

// Calls fn for each selected instance that is not deleted.
template <class Fn>
void ForEachSelected(const InstanceList& room, CInstance* self, int32_t obj, Fn fn) {
    if (obj == kOwnerSelf) {
        if (self && !self->deleted) fn(*self);
        return;
    }
    const Selection sel = Selection::FromObj(obj);
    switch (sel.kind) {
        case Selection::Kind::kAll:
            for (int32_t k = 0, n = room.Count(); k < n; ++k)
                if (CInstance* inst = room.At(k); inst && !inst->deleted) fn(*inst);
            return;
        case Selection::Kind::kObject:
            for (int32_t k = 0, n = room.FamilyCount(sel.value); k < n; ++k)
                if (CInstance* inst = room.FamilyAt(sel.value, k); inst && !inst->deleted)
                    fn(*inst);
            return;
        case Selection::Kind::kId:
            if (CInstance* inst = room.Find(sel.value); inst && !inst->deleted) fn(*inst);
            return;
        default:
            return;
    }
}

}  // namespace

void fn_motion_set(Runtime&, ScriptInstance* self, ScriptInstance*, int, const RValue* args,
                   RValue&) {
    Self(self).SetDirection(ArgReal(args[0]));
    Self(self).SetSpeed(ArgReal(args[1]));
}

void fn_motion_add(Runtime&, ScriptInstance* self, ScriptInstance*, int, const RValue* args,
                   RValue&) {
    Self(self).AddMotion(ArgReal(args[0]), ArgReal(args[1]));
}

void fn_move_towards_point(Runtime&, ScriptInstance* self, ScriptInstance*, int, const RValue* args,
                           RValue&) {
    CInstance& inst = Self(self);
    inst.SetHSpeed(ArgReal(args[0]) - inst.X());
    inst.SetVSpeed(ArgReal(args[1]) - inst.Y());
    inst.SetSpeed(ArgReal(args[2]));
}

void fn_move_snap(Runtime&, ScriptInstance* self, ScriptInstance*, int, const RValue* args,
                  RValue&) {
    CInstance& inst = Self(self);
    const double hs = ArgReal(args[0]), vs = ArgReal(args[1]);
    double x = inst.X(), y = inst.Y();
    if (hs > 0) x = std::nearbyint(x / hs) * hs;
    if (vs > 0) y = std::nearbyint(y / vs) * vs;
    inst.SetPosition(x, y);
}

void fn_place_snapped(Runtime&, ScriptInstance* self, ScriptInstance*, int, const RValue* args,
                      RValue& result) {
    const CInstance& inst = Self(self);
    const double hs = ArgReal(args[0]), vs = ArgReal(args[1]);
    bool snapped = true;
    if (hs > 0 && std::fabs(inst.X() - std::nearbyint(inst.X() / hs) * hs) >= 0.001)
        snapped = false;
    if (vs > 0 && std::fabs(inst.Y() - std::nearbyint(inst.Y() / vs) * vs) >= 0.001)
        snapped = false;
    result.SetReal(snapped ? 1 : 0);
}

void fn_move_random(Runtime& rt, ScriptInstance* self, ScriptInstance*, int, const RValue* args,
                    RValue&) {
    Runner& r = RunnerOf(rt);
    CInstance& inst = Self(self);
    const CRoom& room = r.Loop().Room();
    double xmin = 0, xmax = room.width, ymin = 0, ymax = room.height;
    if (inst.MaskSprite()) {
        xmin = std::nearbyint(inst.X() - inst.BBoxLeft());
        xmax = std::nearbyint(room.width + inst.X() - inst.BBoxRight());
        ymin = std::nearbyint(inst.Y() - inst.BBoxTop());
        ymax = std::nearbyint(room.height + inst.Y() - inst.BBoxBottom());
    }
    const double hs = ArgReal(args[0]), vs = ArgReal(args[1]);
    Random& rng = rt.Rng();
    auto pick = [&](double lo, double hi, double snap) {
        double v = lo + (hi > lo ? std::floor(rng.NextReal() * (hi - lo)) : 0);
        if (RoundToInt64(snap) > 0) v = std::floor(v / snap) * snap;
        return v;
    };
    for (int i = 0; i < 100; ++i) {
        const double nx = pick(xmin, xmax, hs), ny = pick(ymin, ymax, vs);
        if (PlaceFree(r.Instances(), inst, nx, ny)) {
            inst.SetPosition(nx, ny);
            return;
        }
    }
}

void fn_move_wrap(Runtime& rt, ScriptInstance* self, ScriptInstance*, int, const RValue* args,
                  RValue&) {
    CInstance& inst = Self(self);
    const CRoom& room = RunnerOf(rt).Loop().Room();
    const double margin = ArgReal(args[2]);
    double x = inst.X(), y = inst.Y();
    if (ArgBool(args[0])) {
        if (x < -margin)
            x += room.width + 2 * margin;
        else if (x > room.width + margin)
            x -= room.width + 2 * margin;
    }
    if (ArgBool(args[1])) {
        if (y < -margin)
            y += room.height + 2 * margin;
        else if (y > room.height + margin)
            y -= room.height + 2 * margin;
    }
    inst.SetPosition(x, y);
}

void fn_move_contact_solid(Runtime& rt, ScriptInstance* self, ScriptInstance*, int,
                           const RValue* args, RValue&) {
    MoveContact(rt, self, FreeTest::kSolid, ArgReal(args[0]), ArgReal(args[1]));
}

void fn_move_contact_all(Runtime& rt, ScriptInstance* self, ScriptInstance*, int,
                         const RValue* args, RValue&) {
    MoveContact(rt, self, FreeTest::kAll, ArgReal(args[0]), ArgReal(args[1]));
}

void fn_move_outside_solid(Runtime& rt, ScriptInstance* self, ScriptInstance*, int,
                           const RValue* args, RValue&) {
    MoveOutside(rt, self, FreeTest::kSolid, ArgReal(args[0]), ArgReal(args[1]));
}

void fn_move_outside_all(Runtime& rt, ScriptInstance* self, ScriptInstance*, int,
                         const RValue* args, RValue&) {
    MoveOutside(rt, self, FreeTest::kAll, ArgReal(args[0]), ArgReal(args[1]));
}

void fn_move_contact(Runtime& rt, ScriptInstance* self, ScriptInstance*, int, const RValue* args,
                     RValue&) {
    const CInstance& inst = Self(self);
    if (PlaceFree(RunnerOf(rt).Instances(), inst, inst.X(), inst.Y()))
        MoveContact(rt, self, FreeTest::kSolid, ArgReal(args[0]), -1);
    else
        MoveOutside(rt, self, FreeTest::kSolid, ArgReal(args[0]), -1);
}

void fn_move_bounce(Runtime& rt, ScriptInstance* self, ScriptInstance*, int, const RValue* args,
                    RValue&) {
    Bounce(rt, self, FreeTest::kSolid, ArgBool(args[0]));
}

void fn_move_bounce_solid(Runtime& rt, ScriptInstance* self, ScriptInstance*, int,
                          const RValue* args, RValue&) {
    Bounce(rt, self, FreeTest::kSolid, ArgBool(args[0]));
}

void fn_move_bounce_all(Runtime& rt, ScriptInstance* self, ScriptInstance*, int, const RValue* args,
                        RValue&) {
    Bounce(rt, self, FreeTest::kAll, ArgBool(args[0]));
}

void fn_distance_to_point(Runtime&, ScriptInstance* self, ScriptInstance*, int, const RValue* args,
                          RValue& result) {
    const CInstance& inst = Self(self);
    const double x = ArgReal(args[0]), y = ArgReal(args[1]);
    const double dx = x > inst.BBoxRight()  ? x - inst.BBoxRight()
                      : x < inst.BBoxLeft() ? x - inst.BBoxLeft()
                                            : 0;
    const double dy = y > inst.BBoxBottom() ? y - inst.BBoxBottom()
                      : y < inst.BBoxTop()  ? y - inst.BBoxTop()
                                            : 0;
    result.SetReal(std::sqrt(dx * dx + dy * dy));
}

void fn_distance_to_object(Runtime& rt, ScriptInstance* self, ScriptInstance*, int,
                           const RValue* args, RValue& result) {
    CInstance& me = Self(self);
    double best = kFarAway;
    ForEachSelected(RunnerOf(rt).Instances(), &me, ArgInt(args[0]), [&](CInstance& o) {
        if (&o == &me) return;
        const double dx = me.BBoxRight() < o.BBoxLeft()   ? o.BBoxLeft() - me.BBoxRight()
                          : o.BBoxRight() < me.BBoxLeft() ? o.BBoxRight() - me.BBoxLeft()
                                                          : 0;
        const double dy = me.BBoxBottom() < o.BBoxTop()   ? o.BBoxTop() - me.BBoxBottom()
                          : o.BBoxBottom() < me.BBoxTop() ? o.BBoxBottom() - me.BBoxTop()
                                                          : 0;
        best = std::min(best, std::sqrt(dx * dx + dy * dy));
    });
    result.SetReal(best);
}

void fn_position_empty(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                       RValue& result) {
    result.SetReal(
        InstancePosition(RunnerOf(rt).Instances(), ArgReal(args[0]), ArgReal(args[1]), kOwnerAll)
            ? 0
            : 1);
}

void fn_position_meeting(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                         RValue& result) {
    result.SetReal(InstancePosition(RunnerOf(rt).Instances(), ArgReal(args[0]), ArgReal(args[1]),
                                    ArgInt(args[2]))
                       ? 1
                       : 0);
}

void fn_path_start(Runtime& rt, ScriptInstance* self, ScriptInstance*, int, const RValue* args,
                   RValue&) {
    const int32_t index = ArgInt(args[0]);
    StartPath(Self(self), index, RunnerOf(rt).Game().paths.Get(index), ArgReal(args[1]),
              ArgInt(args[2]), !ArgBool(args[3]), 1, 0);
}

void fn_path_end(Runtime&, ScriptInstance* self, ScriptInstance*, int, const RValue*, RValue&) {
    Self(self).path_index = -1;
}

void fn_mp_linear_step(Runtime& rt, ScriptInstance* self, ScriptInstance*, int, const RValue* args,
                       RValue& result) {
    InstanceMover m = MoverOf(rt, self, AllOr(ArgBool(args[3])));
    result.SetReal(LinearStep(m, ArgReal(args[0]), ArgReal(args[1]), ArgReal(args[2])) ? 1 : 0);
}

void fn_mp_linear_step_object(Runtime& rt, ScriptInstance* self, ScriptInstance*, int,
                              const RValue* args, RValue& result) {
    InstanceMover m = MoverOf(rt, self, FreeTest::kObject, ArgInt(args[3]));
    result.SetReal(LinearStep(m, ArgReal(args[0]), ArgReal(args[1]), ArgReal(args[2])) ? 1 : 0);
}

void fn_mp_potential_settings(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                              const RValue* args, RValue&) {
    PotentialSettings& s = RunnerOf(rt).Potential();
    s.max_rotation = std::max(ArgReal(args[0]), 1.0);
    s.rotation_step = std::max(ArgReal(args[1]), 1.0);
    s.ahead = std::max(ArgReal(args[2]), 1.0);
    s.on_spot = ArgBool(args[3]);
}

void fn_mp_potential_step(Runtime& rt, ScriptInstance* self, ScriptInstance*, int,
                          const RValue* args, RValue& result) {
    InstanceMover m = MoverOf(rt, self, AllOr(ArgBool(args[3])));
    result.SetReal(PotentialStep(m, RunnerOf(rt).Potential(), ArgReal(args[0]), ArgReal(args[1]),
                                 ArgReal(args[2]))
                       ? 1
                       : 0);
}

void fn_mp_potential_step_object(Runtime& rt, ScriptInstance* self, ScriptInstance*, int,
                                 const RValue* args, RValue& result) {
    InstanceMover m = MoverOf(rt, self, FreeTest::kObject, ArgInt(args[3]));
    result.SetReal(PotentialStep(m, RunnerOf(rt).Potential(), ArgReal(args[0]), ArgReal(args[1]),
                                 ArgReal(args[2]))
                       ? 1
                       : 0);
}

void fn_mp_linear_path(Runtime& rt, ScriptInstance* self, ScriptInstance*, int, const RValue* args,
                       RValue& result) {
    CPath* path = RoutePath(rt, args[0]);
    if (!path) return;
    InstanceMover m = MoverOf(rt, self, AllOr(ArgBool(args[4])));
    result.SetReal(LinearPath(m, *path, ArgReal(args[1]), ArgReal(args[2]), ArgReal(args[3])) ? 1
                                                                                              : 0);
}

void fn_mp_linear_path_object(Runtime& rt, ScriptInstance* self, ScriptInstance*, int,
                              const RValue* args, RValue& result) {
    CPath* path = RoutePath(rt, args[0]);
    if (!path) return;
    InstanceMover m = MoverOf(rt, self, FreeTest::kObject, ArgInt(args[4]));
    result.SetReal(LinearPath(m, *path, ArgReal(args[1]), ArgReal(args[2]), ArgReal(args[3])) ? 1
                                                                                              : 0);
}

void fn_mp_potential_path(Runtime& rt, ScriptInstance* self, ScriptInstance*, int,
                          const RValue* args, RValue& result) {
    CPath* path = RoutePath(rt, args[0]);
    if (!path) return;
    InstanceMover m = MoverOf(rt, self, AllOr(ArgBool(args[5])));
    result.SetReal(PotentialPath(m, RunnerOf(rt).Potential(), *path, ArgReal(args[1]),
                                 ArgReal(args[2]), ArgReal(args[3]), ArgReal(args[4]))
                       ? 1
                       : 0);
}

void fn_mp_potential_path_object(Runtime& rt, ScriptInstance* self, ScriptInstance*, int,
                                 const RValue* args, RValue& result) {
    CPath* path = RoutePath(rt, args[0]);
    if (!path) return;
    InstanceMover m = MoverOf(rt, self, FreeTest::kObject, ArgInt(args[5]));
    result.SetReal(PotentialPath(m, RunnerOf(rt).Potential(), *path, ArgReal(args[1]),
                                 ArgReal(args[2]), ArgReal(args[3]), ArgReal(args[4]))
                       ? 1
                       : 0);
}

}  // namespace kr

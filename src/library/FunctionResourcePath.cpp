// Script functions that add and change paths and time lines while the game runs.
//
// Paths are changed in place and their derived polyline made again at once. A time line may be
// running one of its moments while a script changes it, so a change makes a new time line in
// the slot and keeps the old one alive until the run ends (GameData's retired list).
#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "library/FunctionResource.h"
#include "objects/ActionExecution.h"
#include "runner/Runner.h"

namespace kr {

namespace {

using Args = const RValue*;

ResourceTable<CPath>& Paths(Runtime& rt) {
    return RunnerOf(rt).Game().paths;
}
CPath* PathArg(Runtime& rt, const RValue& v) {
    return Paths(rt).Get(ArgInt(v));
}
int AddPath(Runtime& rt, std::unique_ptr<CPath> path) {
    ResourceTable<CPath>& paths = Paths(rt);
    const int index = paths.Count();
    path->Recompute();
    return paths.Add("__newpath" + std::to_string(index), std::move(path));
}

// Runs `change` on the path when it exists, then recomputes it.
template <typename Fn>
void ChangePath(Runtime& rt, const RValue& ind, Fn change) {
    if (CPath* p = PathArg(rt, ind)) {
        change(*p);
        p->Recompute();
    }
}

PathPoint PointArgs(Args args) {
    return PathPoint{ArgReal(args[0]), ArgReal(args[1]), ArgReal(args[2])};
}

// Maps every point about the centre of the points' bounding rectangle.
template <typename Fn>
void AboutCentre(CPath& p, Fn map) {
    if (p.points.empty()) return;
    double left = p.points[0].x, right = left, top = p.points[0].y, bottom = top;
    for (const PathPoint& q : p.points) {
        left = std::min(left, q.x), right = std::max(right, q.x);
        top = std::min(top, q.y), bottom = std::max(bottom, q.y);
    }
    const double cx = (left + right) / 2, cy = (top + bottom) / 2;
    for (PathPoint& q : p.points) {
        double x = q.x - cx, y = q.y - cy;
        map(x, y);
        q.x = x + cx;
        q.y = y + cy;
    }
}

}  // namespace

void fn_path_set_kind(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args, RValue&) {
    const int32_t kind = ArgInt(args[1]);
    ChangePath(rt, args[0],
               [&](CPath& p) { p.kind = kind == 1 ? CPath::kSmooth : CPath::kStraight; });
}

void fn_path_set_closed(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args, RValue&) {
    ChangePath(rt, args[0], [&](CPath& p) { p.closed = ArgBool(args[1]); });
}

void fn_path_set_precision(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args, RValue&) {
    const int32_t precision = std::clamp(ArgInt(args[1]), 0, CPath::kMaxPrecision);
    ChangePath(rt, args[0], [&](CPath& p) { p.precision = precision; });
}

void fn_path_add(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args, RValue& result) {
    result.SetReal(AddPath(rt, std::make_unique<CPath>()));
}

void fn_path_duplicate(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                       RValue& result) {
    const CPath* p = PathArg(rt, args[0]);
    if (!p) {
        rt.RuntimeError("Trying to duplicate non-existing path.");
        result.SetReal(-1.0);
        return;
    }
    result.SetReal(AddPath(rt, std::make_unique<CPath>(*p)));
}

void fn_path_assign(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args, RValue&) {
    CPath* target = PathArg(rt, args[0]);
    const CPath* source = PathArg(rt, args[1]);
    if (!target || !source) {
        rt.RuntimeError("Error assigning a path.");
        return;
    }
    if (target != source) *target = *source;
    target->Recompute();
}

void fn_path_append(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args, RValue&) {
    CPath* target = PathArg(rt, args[0]);
    if (!target) {
        rt.RuntimeError("Appending to non-existing path.");
        return;
    }
    const CPath* source = PathArg(rt, args[1]);
    if (!source) {
        rt.RuntimeError("Appending a non-existing path.");
        return;
    }
    const std::vector<PathPoint> points = source->points;  // the source may be the target
    target->points.insert(target->points.end(), points.begin(), points.end());
    target->Recompute();
}

void fn_path_delete(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args, RValue&) {
    if (!PathArg(rt, args[0])) {
        rt.RuntimeError("Trying to delete non-existing path.");
        return;
    }
    Paths(rt).Remove(ArgInt(args[0]));
}

void fn_path_add_point(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args, RValue&) {
    ChangePath(rt, args[0], [&](CPath& p) { p.points.push_back(PointArgs(args + 1)); });
}

void fn_path_insert_point(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args, RValue&) {
    const int32_t n = ArgInt(args[1]);
    ChangePath(rt, args[0], [&](CPath& p) {
        if (n >= 0 && size_t(n) <= p.points.size())
            p.points.insert(p.points.begin() + n, PointArgs(args + 2));
    });
}

void fn_path_change_point(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args, RValue&) {
    const int32_t n = ArgInt(args[1]);
    ChangePath(rt, args[0], [&](CPath& p) {
        if (n >= 0 && size_t(n) < p.points.size()) p.points[size_t(n)] = PointArgs(args + 2);
    });
}

void fn_path_delete_point(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args, RValue&) {
    const int32_t n = ArgInt(args[1]);
    ChangePath(rt, args[0], [&](CPath& p) {
        if (n >= 0 && size_t(n) < p.points.size()) p.points.erase(p.points.begin() + n);
    });
}

void fn_path_clear_points(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args, RValue&) {
    ChangePath(rt, args[0], [](CPath& p) { p.points.clear(); });
}

void fn_path_reverse(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args, RValue&) {
    ChangePath(rt, args[0], [](CPath& p) { std::reverse(p.points.begin(), p.points.end()); });
}

void fn_path_mirror(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args, RValue&) {
    ChangePath(rt, args[0], [](CPath& p) { AboutCentre(p, [](double& x, double&) { x = -x; }); });
}

void fn_path_flip(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args, RValue&) {
    ChangePath(rt, args[0], [](CPath& p) { AboutCentre(p, [](double&, double& y) { y = -y; }); });
}

// (x, y) becomes (c x + s y, c y - s x): counter-clockwise on the screen, whose y axis points
// down.
void fn_path_rotate(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args, RValue&) {
    const double a = ArgReal(args[1]) * M_PI / 180;
    const double c = std::cos(a), s = std::sin(a);
    ChangePath(rt, args[0], [&](CPath& p) {
        AboutCentre(p, [&](double& x, double& y) {
            const double nx = c * x + s * y, ny = c * y - s * x;
            x = nx, y = ny;
        });
    });
}

void fn_path_scale(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args, RValue&) {
    const double sx = ArgReal(args[1]), sy = ArgReal(args[2]);
    ChangePath(rt, args[0],
               [&](CPath& p) { AboutCentre(p, [&](double& x, double& y) { x *= sx, y *= sy; }); });
}

void fn_path_shift(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args, RValue&) {
    const double dx = ArgReal(args[1]), dy = ArgReal(args[2]);
    ChangePath(rt, args[0], [&](CPath& p) {
        for (PathPoint& q : p.points) q.x += dx, q.y += dy;
    });
}

// ---- Time lines ------------------------------------------------------------------------------

namespace {
ResourceTable<CTimeLine>& TimeLines(Runtime& rt) {
    return RunnerOf(rt).Game().time_lines;
}

// Replaces time line `index` by a changed copy; the old one stays alive (it may be running).
template <typename Fn>
void ChangeTimeLine(Runtime& rt, int32_t index, Fn change) {
    ResourceTable<CTimeLine>& table = TimeLines(rt);
    const CTimeLine* old = table.Get(index);
    if (!old) return;
    auto fresh = std::make_unique<CTimeLine>(*old);
    if (!change(*fresh)) return;
    std::string name(table.Name(index));
    GameData& game = RunnerOf(rt).Game();
    game.retired_time_lines.push_back(table.Take(index));
    table.Set(index, std::move(name), std::move(fresh));
}
}  // namespace

void fn_timeline_add(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args, RValue& result) {
    ResourceTable<CTimeLine>& table = TimeLines(rt);
    const int index = table.Count();
    result.SetReal(
        table.Add("__newtimeline" + std::to_string(index), std::make_unique<CTimeLine>()));
}

void fn_timeline_delete(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                        RValue& result) {
    std::unique_ptr<CTimeLine> gone = TimeLines(rt).Take(ArgInt(args[0]));
    if (!gone) {
        rt.RuntimeError("Trying to delete non-existing timeline.");
        result.SetReal(0.0);
        return;
    }
    RunnerOf(rt).Game().retired_time_lines.push_back(std::move(gone));
    result.SetReal(1.0);
}

void fn_timeline_clear(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args, RValue&) {
    ChangeTimeLine(rt, ArgInt(args[0]), [](CTimeLine& t) {
        t.moments.clear();
        return true;
    });
}

void fn_timeline_moment_clear(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                              RValue&) {
    const int32_t step = ArgInt(args[1]);
    ChangeTimeLine(rt, ArgInt(args[0]), [&](CTimeLine& t) {
        auto it = std::find_if(t.moments.begin(), t.moments.end(),
                               [&](const TimeLineMoment& m) { return m.step == step; });
        if (it == t.moments.end()) return false;
        t.moments.erase(it);
        return true;
    });
}

// The code action is prepared at once, so a compilation error shows now; the moment is then
// left as it was.
void fn_timeline_moment_add(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                            RValue&) {
    const int32_t index = ArgInt(args[0]), step = ArgInt(args[1]);
    if (!TimeLines(rt).Exists(index)) return;
    CAction action;
    action.kind = CAction::kCode;
    action.exec_type = CAction::kExecCode;
    action.arg_count = 1;
    action.arg_texts[0] = std::string(ArgStr(args[2]));
    EventContext& ctx = rt.Event();
    const EventContext saved = ctx;
    ctx.event_object = index;
    ctx.event_type = kTimeLineEvent;
    ctx.event_number = step;
    const bool prepared = PrepareAction(rt, action);
    ctx = saved;
    if (!prepared) return;
    ChangeTimeLine(rt, index, [&](CTimeLine& t) {
        auto it = std::lower_bound(t.moments.begin(), t.moments.end(), step,
                                   [](const TimeLineMoment& m, int32_t s) { return m.step < s; });
        if (it == t.moments.end() || it->step != step) it = t.moments.insert(it, {step, {}});
        it->event.actions.push_back(std::move(action));
        return true;
    });
}

}  // namespace kr

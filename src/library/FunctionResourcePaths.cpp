// Script functions on path resources: queries, editing, transformations, adding, copying and
// deleting paths. Point numbers outside the path are ignored; a missing path reads as
// nothing (getters give -1 or 0 as below) and is ignored by the editing functions.
#include <memory>
#include <string>

#include "library/FunctionResource.h"
#include "runner/Runner.h"

namespace kr {

namespace {

ResourceTable<CPath>& Paths(Runtime& rt) {
    return RunnerOf(rt).Game().paths;
}

CPath* PathArg(Runtime& rt, const RValue& v) {
    return Paths(rt).Get(ArgInt(v));
}

int64_t PointArg(const RValue& v) {
    return RoundToInt64(ArgReal(v));
}

// The number of a new path appended to the table.
int AddPath(Runtime& rt, std::unique_ptr<CPath> path) {
    ResourceTable<CPath>& t = Paths(rt);
    const int index = t.Count();
    return t.Add("__newpath" + std::to_string(index), std::move(path));
}

// Control point n of the path, or null.
const PathPoint* PointOf(Runtime& rt, const RValue* args) {
    const CPath* p = PathArg(rt, args[0]);
    const int64_t n = PointArg(args[1]);
    if (!p || n < 0 || n >= int64_t(p->points.size())) return nullptr;
    return &p->points[size_t(n)];
}

}  // namespace

void fn_path_exists(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                    RValue& result) {
    result.SetReal(PathArg(rt, args[0]) ? 1 : 0);
}

void fn_path_get_name(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                      RValue& result) {
    result = RValue(Paths(rt).Name(ArgInt(args[0])));
}

void fn_path_get_length(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                        RValue& result) {
    const CPath* p = PathArg(rt, args[0]);
    result.SetReal(p ? p->Length() : -1);
}

void fn_path_get_kind(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                      RValue& result) {
    const CPath* p = PathArg(rt, args[0]);
    result.SetReal(p ? p->kind : -1);
}

void fn_path_get_closed(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                        RValue& result) {
    const CPath* p = PathArg(rt, args[0]);
    result.SetReal(p ? (p->closed ? 1 : 0) : -1);
}

void fn_path_get_precision(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                           RValue& result) {
    const CPath* p = PathArg(rt, args[0]);
    result.SetReal(p ? p->precision : -1);
}

void fn_path_get_number(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                        RValue& result) {
    const CPath* p = PathArg(rt, args[0]);
    result.SetReal(p ? double(p->points.size()) : -1);
}

void fn_path_get_point_x(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                         RValue& result) {
    const PathPoint* p = PointOf(rt, args);
    result.SetReal(p ? p->x : 0);
}

void fn_path_get_point_y(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                         RValue& result) {
    const PathPoint* p = PointOf(rt, args);
    result.SetReal(p ? p->y : 0);
}

void fn_path_get_point_speed(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                             RValue& result) {
    const PathPoint* p = PointOf(rt, args);
    result.SetReal(p ? p->speed : 0);
}

void fn_path_get_x(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                   RValue& result) {
    const CPath* p = PathArg(rt, args[0]);
    result.SetReal(p ? p->PointAt(ArgReal(args[1])).x : 0);
}

void fn_path_get_y(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                   RValue& result) {
    const CPath* p = PathArg(rt, args[0]);
    result.SetReal(p ? p->PointAt(ArgReal(args[1])).y : 0);
}

void fn_path_get_speed(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                       RValue& result) {
    const CPath* p = PathArg(rt, args[0]);
    result.SetReal(p ? p->PointAt(ArgReal(args[1])).speed : 0);
}

void fn_path_set_kind(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                      RValue&) {
    if (CPath* p = PathArg(rt, args[0])) {
        const int32_t v = ArgInt(args[1]);
        p->kind = v == CPath::kSmooth ? CPath::kSmooth : CPath::kStraight;
        p->Recompute();
    }
}

void fn_path_set_closed(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                        RValue&) {
    if (CPath* p = PathArg(rt, args[0])) {
        p->closed = ArgBool(args[1]);
        p->Recompute();
    }
}

void fn_path_set_precision(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                           RValue&) {
    if (CPath* p = PathArg(rt, args[0])) {
        const int64_t v = RoundToInt64(ArgReal(args[1]));
        p->precision = int32_t(v < 0 ? 0 : v > CPath::kMaxPrecision ? CPath::kMaxPrecision : v);
        p->Recompute();
    }
}

void fn_path_add(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue*,
                 RValue& result) {
    result.SetReal(AddPath(rt, std::make_unique<CPath>()));
}

void fn_path_duplicate(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                       RValue& result) {
    const CPath* p = PathArg(rt, args[0]);
    if (!p) {
        rt.RuntimeError("Trying to duplicate non-existing path.");
        result.SetReal(-1.0);  // never an index that names a path
        return;
    }
    result.SetReal(AddPath(rt, std::make_unique<CPath>(*p)));
}

void fn_path_assign(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                    RValue&) {
    CPath* to = PathArg(rt, args[0]);
    const CPath* from = PathArg(rt, args[1]);
    if (!to || !from) {
        rt.RuntimeError("Error assigning a path.");
        return;
    }
    if (to != from) *to = *from;
}

void fn_path_append(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                    RValue&) {
    CPath* to = PathArg(rt, args[0]);
    if (!to) {
        rt.RuntimeError("Appending to non-existing path.");
        return;
    }
    const CPath* from = PathArg(rt, args[1]);
    if (!from) {
        rt.RuntimeError("Appending a non-existing path.");
        return;
    }
    to->Append(*from);
}

void fn_path_delete(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                    RValue&) {
    const int32_t i = ArgInt(args[0]);
    if (!Paths(rt).Exists(i)) {
        rt.RuntimeError("Trying to delete non-existing path.");
        return;
    }
    Paths(rt).Remove(i);
}

void fn_path_add_point(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                       RValue&) {
    if (CPath* p = PathArg(rt, args[0]))
        p->AddPoint(ArgReal(args[1]), ArgReal(args[2]), ArgReal(args[3]));
}

void fn_path_insert_point(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                          RValue&) {
    if (CPath* p = PathArg(rt, args[0]))
        p->InsertPoint(PointArg(args[1]), ArgReal(args[2]), ArgReal(args[3]), ArgReal(args[4]));
}

void fn_path_change_point(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                          RValue&) {
    if (CPath* p = PathArg(rt, args[0]))
        p->ChangePoint(PointArg(args[1]), ArgReal(args[2]), ArgReal(args[3]), ArgReal(args[4]));
}

void fn_path_delete_point(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                          RValue&) {
    if (CPath* p = PathArg(rt, args[0])) p->DeletePoint(PointArg(args[1]));
}

void fn_path_clear_points(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                          RValue&) {
    if (CPath* p = PathArg(rt, args[0])) p->ClearPoints();
}

void fn_path_reverse(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                     RValue&) {
    if (CPath* p = PathArg(rt, args[0])) p->Reverse();
}

void fn_path_mirror(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                    RValue&) {
    if (CPath* p = PathArg(rt, args[0])) p->Mirror();
}

void fn_path_flip(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args, RValue&) {
    if (CPath* p = PathArg(rt, args[0])) p->Flip();
}

void fn_path_rotate(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                    RValue&) {
    if (CPath* p = PathArg(rt, args[0])) p->Rotate(ArgReal(args[1]));
}

void fn_path_scale(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                   RValue&) {
    if (CPath* p = PathArg(rt, args[0])) p->Scale(ArgReal(args[1]), ArgReal(args[2]));
}

void fn_path_shift(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                   RValue&) {
    if (CPath* p = PathArg(rt, args[0])) p->Shift(ArgReal(args[1]), ArgReal(args[2]));
}

}  // namespace kr

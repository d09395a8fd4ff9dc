// Script functions on motion planning grids: creating and destroying them, marking cells by
// hand, by rectangle or from the instances that cover them, and finding a route into a path.
// An id that names no live grid is ignored.
#include "data/Color.h"
#include "graphics/Graphics.h"
#include "library/FunctionGame.h"
#include "motion/MotionGrid.h"
#include "objects/InstanceCollision.h"
#include "runner/RoomDraw.h"
#include "runner/Runner.h"

namespace kr {

namespace {

CGrid* GridArg(Runtime& rt, const RValue& v) {
    return RunnerOf(rt).Grids().Get(ArgInt(v));
}

int64_t CellArg(const RValue& v) {
    return RoundToInt64(ArgReal(v));
}

// Marks the cells covered by one instance: its box, and with `precise` only the cells its mask
// reaches. Testing the mask over a big grid takes a while, so a request to stop the run is
// answered after each column of cells.
void AddInstance(Runtime& rt, CGrid& g, const CInstance& inst, bool precise) {
    int32_t h0, v0, h1, v1;
    if (!g.CellsTouched(inst.BBoxLeft(), inst.BBoxTop(), inst.BBoxRight(), inst.BBoxBottom(), h0,
                        v0, h1, v1))
        return;
    const double w = g.CellWidth(), h = g.CellHeight();
    for (int32_t cx = h0; cx <= h1; ++cx) {
        if (precise && rt.Interrupted()) return;
        for (int32_t cy = v0; cy <= v1; ++cy) {
            if (g.Cell(cx, cy) == CGrid::kForbidden) continue;
            if (precise) {
                const double x0 = g.Left() + cx * w, y0 = g.Top() + cy * h;
                if (!InstanceInRectangle(inst, x0, y0, x0 + w - 1, y0 + h - 1, true)) continue;
            }
            g.SetCell(cx, cy, CGrid::kForbidden);
        }
    }
}

}  // namespace

void fn_mp_grid_create(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                       RValue& result) {
    result.SetReal(RunnerOf(rt).Grids().Create(ArgReal(args[0]), ArgReal(args[1]), ArgReal(args[2]),
                                               ArgReal(args[3]), ArgReal(args[4]),
                                               ArgReal(args[5])));
}

void fn_mp_grid_destroy(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                        RValue&) {
    RunnerOf(rt).Grids().Destroy(ArgInt(args[0]));
}

void fn_mp_grid_clear_all(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                          RValue&) {
    if (CGrid* g = GridArg(rt, args[0])) g->ClearAll();
}

void fn_mp_grid_clear_cell(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                           RValue&) {
    if (CGrid* g = GridArg(rt, args[0]))
        g->SetCell(CellArg(args[1]), CellArg(args[2]), CGrid::kFree);
}

void fn_mp_grid_add_cell(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                         RValue&) {
    if (CGrid* g = GridArg(rt, args[0]))
        g->SetCell(CellArg(args[1]), CellArg(args[2]), CGrid::kForbidden);
}

void fn_mp_grid_clear_rectangle(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                const RValue* args, RValue&) {
    if (CGrid* g = GridArg(rt, args[0]))
        g->SetRectangle(ArgReal(args[1]), ArgReal(args[2]), ArgReal(args[3]), ArgReal(args[4]),
                        CGrid::kFree);
}

void fn_mp_grid_add_rectangle(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                              const RValue* args, RValue&) {
    if (CGrid* g = GridArg(rt, args[0]))
        g->SetRectangle(ArgReal(args[1]), ArgReal(args[2]), ArgReal(args[3]), ArgReal(args[4]),
                        CGrid::kForbidden);
}

void fn_mp_grid_add_instances(Runtime& rt, ScriptInstance* self, ScriptInstance* other, int,
                              const RValue* args, RValue&) {
    CGrid* g = GridArg(rt, args[0]);
    if (!g) return;
    const int32_t obj = ArgInt(args[1]);
    const bool precise = ArgBool(args[2]);
    const InstanceList& room = RunnerOf(rt).Instances();
    auto add = [&](const CInstance* inst) {
        if (inst && !inst->deleted && !rt.Interrupted()) AddInstance(rt, *g, *inst, precise);
    };
    if (obj == kOwnerSelf || obj == kOwnerOther) {
        add(static_cast<const CInstance*>(obj == kOwnerSelf ? self : other));
        return;
    }
    const Selection sel = Selection::FromObj(obj);
    switch (sel.kind) {
        case Selection::Kind::kAll:
            for (int32_t k = 0, n = room.Count(); k < n; ++k) add(room.At(k));
            return;
        case Selection::Kind::kObject:
            for (int32_t k = 0, n = room.FamilyCount(sel.value); k < n; ++k)
                add(room.FamilyAt(sel.value, k));
            return;
        case Selection::Kind::kId:
            add(room.Find(sel.value));
            return;
        default:
            return;
    }
}

void fn_mp_grid_path(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                     RValue& result) {
    CGrid* g = GridArg(rt, args[0]);
    if (!g) return;
    CPath* path = RunnerOf(rt).Game().paths.Get(ArgInt(args[1]));
    if (!path) {
        rt.RuntimeError("Trying to assign to a non-existing path.");
        return;
    }
    std::vector<GridPoint> route;
    if (!g->FindPath(ArgInt(args[2]), ArgInt(args[3]), ArgInt(args[4]), ArgInt(args[5]),
                     ArgBool(args[6]), route, rt.InterruptFlag()))
        return;
    path->points.clear();
    path->kind = CPath::kStraight;
    path->closed = false;
    path->points.reserve(route.size());
    for (const GridPoint& p : route) path->points.push_back({p.x, p.y, 100});
    path->Recompute();
    result.SetReal(1);
}

// Every cell as a filled rectangle, red when forbidden and green when free, at the drawing
// alpha. A filled rectangle includes its far edge, so neighbouring cells share a line of pixels
// and the cell drawn later owns it. A column's cells of one kind in a row are drawn as one
// rectangle: the picture is the same, and a large grid costs a few rectangles per column.
void fn_mp_grid_draw(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                     RValue&) {
    const CGrid* g = GridArg(rt, args[0]);
    if (!g) return;
    Graphics& gfx = RunnerOf(rt).Drawer().Gfx();
    const uint32_t red = ScriptColorToDevice(255, gfx.Alpha());
    const uint32_t green = ScriptColorToDevice(32768, gfx.Alpha());
    const double w = g->CellWidth(), h = g->CellHeight();
    for (int32_t cx = 0; cx < g->HCells(); ++cx) {
        const double x1 = g->Left() + cx * w, x2 = x1 + w;
        for (int32_t cy = 0; cy < g->VCells();) {
            const bool forbidden = g->Cell(cx, cy) == CGrid::kForbidden;
            int32_t end = cy + 1;
            while (end < g->VCells() && (g->Cell(cx, end) == CGrid::kForbidden) == forbidden) ++end;
            const uint32_t c = forbidden ? red : green;
            gfx.DrawRectangle(x1, g->Top() + cy * h, x2, g->Top() + end * h, c, c, c, c, false);
            cy = end;
        }
    }
}

}  // namespace kr

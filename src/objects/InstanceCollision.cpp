// The instance collision tests and searches. Box checks come first in every test; pixel work
// is confined to the part of the instance's box the shape can reach.
#include "objects/InstanceCollision.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace kr {

namespace {

inline bool AnyNaN(double a, double b, double c, double d) {
    return std::isnan(a) || std::isnan(b) || std::isnan(c) || std::isnan(d);
}

// `a` at position (ax, ay) with box `abox` against b where it is.
bool MeetsAt(const CInstance& a, const CollisionBox& abox, double ax, double ay, const CInstance& b,
             bool precise) {
    if (&a == &b || a.deleted || b.deleted) return false;
    const CollisionBox& bbox = b.Box();
    if (!abox.Overlaps(bbox)) return false;
    if (!precise) return true;
    const MaskPlacement pa = a.PlacementAt(ax, ay);
    if (!pa.mask) return false;
    const MaskPlacement pb = b.Placement();
    if (!pb.mask) return false;
    return MasksMeetIn(pa, pb, abox.Intersect(bbox));
}

// The box part of the rectangle, ellipse and line tests.
bool RectangleTouchesBox(const CInstance& inst, double x1, double y1, double x2, double y2) {
    if (inst.deleted || AnyNaN(x1, y1, x2, y2)) return false;
    const CollisionBox& b = inst.Box();
    return !(std::min(x1, x2) >= b.right + 1.0 || std::max(x1, x2) < b.left ||
             std::min(y1, y2) >= b.bottom + 1.0 || std::max(y1, y2) < b.top);
}

// The integer area a rectangle search looks in: every box the rectangle test can accept
// touches it.
CollisionBox SearchArea(double x1, double y1, double x2, double y2) {
    return CollisionBox{FloorCoord(std::min(x1, x2)), FloorCoord(std::min(y1, y2)),
                        CeilCoord(std::max(x1, x2)), CeilCoord(std::max(y1, y2))};
}

template <class Test>
CInstance* FirstHit(const InstanceList& room, Selection sel, const CollisionBox& area,
                    const CInstance* skip, Test test) {
    std::vector<CInstance*>& found = room.SearchBuffer();
    room.Candidates(area, sel, found);
    for (CInstance* inst : found)
        if (inst != skip && test(*inst)) return inst;
    return nullptr;
}

}  // namespace

// ---- The tests ----

bool InstanceMeets(const CInstance& a, const CInstance& b, bool precise) {
    return MeetsAt(a, a.Box(), a.X(), a.Y(), b, precise);
}

bool InstanceAtPoint(const CInstance& inst, double px, double py, bool precise) {
    if (inst.deleted) return false;
    const CollisionBox& b = inst.Box();
    if (!(b.left <= px && px < b.right + 1.0 && b.top <= py && py < b.bottom + 1.0)) return false;
    if (!precise) return true;
    const MaskPlacement p = inst.Placement();
    return p.mask && p.SolidAt(px, py);
}

bool InstanceInRectangle(const CInstance& inst, double x1, double y1, double x2, double y2,
                         bool precise) {
    if (!RectangleTouchesBox(inst, x1, y1, x2, y2)) return false;
    if (!precise) return true;
    const MaskPlacement p = inst.Placement();
    if (!p.mask) return false;
    const CollisionBox rect{RoundCoord(std::min(x1, x2)), RoundCoord(std::min(y1, y2)),
                            RoundCoord(std::max(x1, x2)), RoundCoord(std::max(y1, y2))};
    return MaskSolidIn(p, rect.Intersect(inst.Box()));
}

bool InstanceInEllipse(const CInstance& inst, double x1, double y1, double x2, double y2,
                       bool precise) {
    if (!RectangleTouchesBox(inst, x1, y1, x2, y2)) return false;
    const int32_t l = RoundCoord(std::min(x1, x2)), r = RoundCoord(std::max(x1, x2));
    const int32_t t = RoundCoord(std::min(y1, y2)), b = RoundCoord(std::max(y1, y2));
    // A flat ellipse is its rectangle.
    if (l == r || t == b) return InstanceInRectangle(inst, x1, y1, x2, y2, precise);
    const double cx = (double(l) + r) / 2, cy = (double(t) + b) / 2;
    const double rx = (double(r) - l) / 2, ry = (double(b) - t) / 2;
    const CollisionBox& box = inst.Box();
    // Beside a corner of the box, the ellipse reaches the box only when it holds one of the
    // box's corners.
    if ((cx < box.left || cx > box.right) && (cy < box.top || cy > box.bottom)) {
        const auto inside = [&](double px, double py) {
            const double dx = (px - cx) / rx, dy = (py - cy) / ry;
            return dx * dx + dy * dy <= 1;
        };
        if (!inside(box.left, box.top) && !inside(box.right, box.top) &&
            !inside(box.left, box.bottom) && !inside(box.right, box.bottom))
            return false;
    }
    if (!precise) return true;
    const MaskPlacement p = inst.Placement();
    if (!p.mask) return false;
    return MaskSolidInEllipse(p, CollisionBox{l, t, r, b}.Intersect(box), float(cx), float(cy),
                              float(rx), float(ry));
}

bool InstanceOnLine(const CInstance& inst, double x1, double y1, double x2, double y2,
                    bool precise) {
    if (!RectangleTouchesBox(inst, x1, y1, x2, y2)) return false;
    const CollisionBox& box = inst.Box();
    // a is the right end, b the left one; cut the segment to the box's columns.
    double xa = x1, ya = y1, xb = x2, yb = y2;
    if (xa < xb) {
        std::swap(xa, xb);
        std::swap(ya, yb);
    }
    // The box test guarantees xa >= left and xb < right + 1, so no cut divides by zero.
    if (xb < box.left) {
        yb = (ya - yb) * (box.left - xb) / (xa - xb) + yb;
        xb = box.left;
    }
    if (xa > box.right + 1.0) {
        ya = (ya - yb) * (box.right + 1.0 - xa) / (xa - xb) + ya;
        xa = box.right + 1.0;
    }
    if (!((yb >= box.top || ya >= box.top) && (yb < box.bottom + 1.0 || ya < box.bottom + 1.0)))
        return false;
    if (!precise) return true;
    const int32_t lx = RoundCoord(xb), ly = RoundCoord(yb);
    const int32_t ux = RoundCoord(xa), uy = RoundCoord(ya);
    if (lx == ux || ly == uy) return InstanceInRectangle(inst, lx, ly, ux, uy, true);
    const MaskPlacement p = inst.Placement();
    if (!p.mask) return false;
    const int64_t dx = int64_t(ux) - lx, dy = int64_t(uy) - ly;
    if (std::llabs(dx) < std::llabs(dy)) {
        // Steep: one point per row, from the end with the smaller y.
        const bool lower_first = ly < uy;
        const int32_t x0 = lower_first ? lx : ux, y0 = lower_first ? ly : uy;
        const int32_t y1e = lower_first ? uy : ly;
        const double step = double(lower_first ? dx : -dx) / double(lower_first ? dy : -dy);
        for (int32_t y = std::max(box.top, y0); y <= std::min(box.bottom, y1e); ++y)
            if (p.SolidAt(x0 + (double(y) - y0) * step, y)) return true;
    } else {
        // Flat: one point per column (lx < ux here).
        const double step = double(dy) / double(dx);
        for (int32_t x = std::max(box.left, lx); x <= std::min(box.right, ux); ++x)
            if (p.SolidAt(x, ly + (double(x) - lx) * step)) return true;
    }
    return false;
}

// ---- Searches ----

bool PlaceFree(const InstanceList& room, const CInstance& self, double x, double y) {
    const CollisionBox box = self.BoxAt(x, y);
    return !FirstHit(room, Selection::All(), box, &self, [&](const CInstance& other) {
        return other.solid && MeetsAt(self, box, x, y, other, true);
    });
}

bool PlaceEmpty(const InstanceList& room, const CInstance& self, double x, double y) {
    const CollisionBox box = self.BoxAt(x, y);
    return !FirstHit(room, Selection::All(), box, &self,
                     [&](const CInstance& other) { return MeetsAt(self, box, x, y, other, true); });
}

CInstance* InstancePlace(const InstanceList& room, const CInstance& self, double x, double y,
                         int32_t obj) {
    const CollisionBox box = self.BoxAt(x, y);
    return FirstHit(room, Selection::FromObj(obj), box, &self,
                    [&](const CInstance& other) { return MeetsAt(self, box, x, y, other, true); });
}

CInstance* InstancePosition(const InstanceList& room, double x, double y, int32_t obj) {
    return CollisionPoint(room, nullptr, x, y, obj, true, false);
}

CInstance* CollisionPoint(const InstanceList& room, const CInstance* self, double x, double y,
                          int32_t obj, bool precise, bool notme) {
    if (std::isnan(x) || std::isnan(y)) return nullptr;
    const CollisionBox area{FloorCoord(x), FloorCoord(y), FloorCoord(x), FloorCoord(y)};
    return FirstHit(room, Selection::FromObj(obj), area, notme ? self : nullptr,
                    [&](const CInstance& i) { return InstanceAtPoint(i, x, y, precise); });
}

CInstance* CollisionRectangle(const InstanceList& room, const CInstance* self, double x1, double y1,
                              double x2, double y2, int32_t obj, bool precise, bool notme) {
    if (AnyNaN(x1, y1, x2, y2)) return nullptr;
    return FirstHit(
        room, Selection::FromObj(obj), SearchArea(x1, y1, x2, y2), notme ? self : nullptr,
        [&](const CInstance& i) { return InstanceInRectangle(i, x1, y1, x2, y2, precise); });
}

CInstance* CollisionEllipse(const InstanceList& room, const CInstance* self, double x1, double y1,
                            double x2, double y2, int32_t obj, bool precise, bool notme) {
    if (AnyNaN(x1, y1, x2, y2)) return nullptr;
    return FirstHit(
        room, Selection::FromObj(obj), SearchArea(x1, y1, x2, y2), notme ? self : nullptr,
        [&](const CInstance& i) { return InstanceInEllipse(i, x1, y1, x2, y2, precise); });
}

CInstance* CollisionCircle(const InstanceList& room, const CInstance* self, double xc, double yc,
                           double radius, int32_t obj, bool precise, bool notme) {
    return CollisionEllipse(room, self, xc - radius, yc - radius, xc + radius, yc + radius, obj,
                            precise, notme);
}

CInstance* CollisionLine(const InstanceList& room, const CInstance* self, double x1, double y1,
                         double x2, double y2, int32_t obj, bool precise, bool notme) {
    if (AnyNaN(x1, y1, x2, y2)) return nullptr;
    return FirstHit(room, Selection::FromObj(obj), SearchArea(x1, y1, x2, y2),
                    notme ? self : nullptr,
                    [&](const CInstance& i) { return InstanceOnLine(i, x1, y1, x2, y2, precise); });
}

}  // namespace kr

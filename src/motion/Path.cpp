// The path record and the derived polyline: straight paths use their control points as they
// are; smooth paths replace every corner by a quadratic curve between the midpoints of its two
// edges, subdivided to a depth set by the path's precision.
#include "motion/Path.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "data/Stream.h"

namespace kr {

namespace {
constexpr size_t kStoredPointBytes = 3 * 8;

PathPiece Mid(const PathPiece& a, const PathPiece& b) {
    return {(a.x + b.x) / 2, (a.y + b.y) / 2, (a.speed + b.speed) / 2, 0};
}

double SquaredDistance(const PathPiece& a, const PathPiece& b) {
    return (b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y);
}
}  // namespace

bool CPath::LoadFromStream(CStream& s) {
    if (s.ReadInteger() != kPathVersion || s.Failed()) return false;
    kind = s.ReadInteger();
    closed = s.ReadBoolean();
    precision = s.ReadInteger();
    int32_t n = s.ReadCount(kStoredPointBytes);
    points.resize(size_t(n));
    for (PathPoint& p : points) {
        p.x = s.ReadReal();
        p.y = s.ReadReal();
        p.speed = s.ReadReal();
    }
    if (s.Failed()) return false;
    Recompute();
    return true;
}

void CPath::SaveToStream(CStream& s) const {
    s.WriteInteger(kPathVersion);
    s.WriteInteger(kind);
    s.WriteBoolean(closed);
    s.WriteInteger(precision);
    s.WriteInteger(int32_t(points.size()));
    for (const PathPoint& p : points) {
        s.WriteReal(p.x);
        s.WriteReal(p.y);
        s.WriteReal(p.speed);
    }
}

// Adds the inner points of the curve from a to c with control point b; a and c themselves are
// added by the caller. Halves are only refined while their control leg is longer than 4 pixels.
void CPath::Subdivide(const PathPiece& a, const PathPiece& b, const PathPiece& c, int depth) {
    if (depth <= 0) return;
    PathPiece m{(a.x + 2 * b.x + c.x) / 4, (a.y + 2 * b.y + c.y) / 4,
                (a.speed + 2 * b.speed + c.speed) / 4, 0};
    if (SquaredDistance(a, b) > 16) Subdivide(a, Mid(a, b), m, depth - 1);
    pieces_.push_back(m);
    if (SquaredDistance(b, c) > 16) Subdivide(m, Mid(b, c), c, depth - 1);
}

void CPath::Recompute() {
    pieces_.clear();
    length_ = 0;
    const size_t n = points.size();
    if (n == 0) return;
    auto at = [&](size_t i) {
        const PathPoint& p = points[i % n];
        return PathPiece{p.x, p.y, p.speed, 0};
    };
    if (kind != kSmooth) {
        pieces_.reserve(n + 1);
        for (size_t i = 0; i < n; ++i) pieces_.push_back(at(i));
        if (closed) pieces_.push_back(at(0));
    } else {
        // A stored precision beyond the limit would multiply the points by 2^precision.
        const int depth = std::clamp(precision, 0, kMaxPrecision);
        if (!closed) pieces_.push_back(at(0));
        const size_t curves = closed ? n : (n >= 3 ? n - 2 : 0);
        for (size_t i = 0; i < curves; ++i) {
            PathPiece b = at(i + 1);
            Subdivide(Mid(at(i), b), b, Mid(b, at(i + 2)), depth);
        }
        if (!closed) {
            pieces_.push_back(at(n - 1));
        } else if (!pieces_.empty()) {
            pieces_.push_back(pieces_.front());
        }
    }
    for (size_t i = 1; i < pieces_.size(); ++i) {
        const PathPiece& a = pieces_[i - 1];
        pieces_[i].length = a.length + std::sqrt(SquaredDistance(a, pieces_[i]));
    }
    length_ = pieces_.empty() ? 0 : pieces_.back().length;
}

void CPath::AddPoint(double x, double y, double speed) {
    points.push_back({x, y, speed});
    Recompute();
}

void CPath::InsertPoint(int64_t n, double x, double y, double speed) {
    if (n < 0 || n > int64_t(points.size())) return;
    points.insert(points.begin() + n, PathPoint{x, y, speed});
    Recompute();
}

void CPath::ChangePoint(int64_t n, double x, double y, double speed) {
    if (n < 0 || n >= int64_t(points.size())) return;
    points[size_t(n)] = {x, y, speed};
    Recompute();
}

void CPath::DeletePoint(int64_t n) {
    if (n < 0 || n >= int64_t(points.size())) return;
    points.erase(points.begin() + n);
    Recompute();
}

void CPath::ClearPoints() {
    points.clear();
    Recompute();
}

void CPath::Reverse() {
    std::reverse(points.begin(), points.end());
    Recompute();
}

template <class Fn>
void CPath::TransformAboutCentre(Fn fn) {
    if (points.empty()) return;
    double x0 = points[0].x, x1 = x0, y0 = points[0].y, y1 = y0;
    for (const PathPoint& p : points) {
        x0 = std::min(x0, p.x);
        x1 = std::max(x1, p.x);
        y0 = std::min(y0, p.y);
        y1 = std::max(y1, p.y);
    }
    const double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
    for (PathPoint& p : points) {
        double x = p.x - cx, y = p.y - cy;
        fn(x, y);
        p.x = x + cx;
        p.y = y + cy;
    }
    Recompute();
}

void CPath::Mirror() {
    TransformAboutCentre([](double& x, double&) { x = -x; });
}

void CPath::Flip() {
    TransformAboutCentre([](double&, double& y) { y = -y; });
}

// Counter-clockwise on a screen whose y axis points down.
void CPath::Rotate(double degrees) {
    const double a = degrees * std::numbers::pi / 180, c = std::cos(a), s = std::sin(a);
    TransformAboutCentre([&](double& x, double& y) {
        const double nx = c * x + s * y, ny = c * y - s * x;
        x = nx;
        y = ny;
    });
}

void CPath::Scale(double xscale, double yscale) {
    TransformAboutCentre([&](double& x, double& y) {
        x *= xscale;
        y *= yscale;
    });
}

void CPath::Shift(double dx, double dy) {
    for (PathPoint& p : points) {
        p.x += dx;
        p.y += dy;
    }
    Recompute();
}

void CPath::Append(const CPath& other) {
    const std::vector<PathPoint> copy = other.points;  // other may be this path
    points.insert(points.end(), copy.begin(), copy.end());
    Recompute();
}

PathPiece CPath::PointAt(double position) const {
    if (pieces_.empty()) return PathPiece{0, 0, 100, 0};
    if (pieces_.size() == 1 || length_ == 0) return pieces_.front();
    if (!(position > 0)) return pieces_.front();  // also catches NaN
    if (position >= 1) return pieces_.back();
    const double l = length_ * position;
    // First i (at most the second-to-last) whose successor lies beyond l.
    auto next = std::upper_bound(pieces_.begin() + 1, pieces_.end() - 1, l,
                                 [](double v, const PathPiece& p) { return v < p.length; });
    const PathPiece& b = *next;
    const PathPiece& a = *(next - 1);
    if (b.length == a.length) return a;
    const double t = (l - a.length) / (b.length - a.length);
    return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.speed + (b.speed - a.speed) * t, l};
}

}  // namespace kr

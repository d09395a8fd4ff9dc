// The planning steps. Directions are degrees counter-clockwise on a screen whose y axis points
// down, so a move of length d in direction a changes x by d cos a and y by -d sin a.
#include "motion/MotionPlanning.h"

#include <cmath>
#include <numbers>

#include "motion/Path.h"

namespace kr {

namespace {

constexpr double kRad = std::numbers::pi / 180;

double Wrap360(double a) {
    return a - 360 * std::floor(a / 360);
}

}  // namespace

double PointDirection(double x1, double y1, double x2, double y2) {
    if (x1 == x2 && y1 == y2) return 0;
    if (x1 == x2) return y2 < y1 ? 90 : 270;
    return Wrap360(-std::atan2(y2 - y1, x2 - x1) / kRad);
}

bool LinearStep(Mover& m, double gx, double gy, double step) {
    const double x = m.X(), y = m.Y();
    if (x == gx && y == gy) return true;
    const double dist = std::hypot(gx - x, gy - y);
    double nx = gx, ny = gy;
    if (step < dist) {
        nx = x + (gx - x) * step / dist;
        ny = y + (gy - y) * step / dist;
    }
    if (m.Free(nx, ny)) {
        m.SetDirection(PointDirection(x, y, nx, ny));
        m.MoveTo(nx, ny);
    }
    return step >= dist;
}

bool PotentialStep(Mover& m, const PotentialSettings& s, double gx, double gy, double step) {
    const double x = m.X(), y = m.Y();
    if (x == gx && y == gy) return true;
    const double dist = std::hypot(gx - x, gy - y);
    if (dist <= step) {
        if (m.Free(gx, gy)) {
            m.SetDirection(PointDirection(x, y, gx, gy));
            m.MoveTo(gx, gy);
        }
        return true;
    }
    const double goal_dir = PointDirection(x, y, gx, gy);
    const double current = Wrap360(m.Direction());
    auto attempt = [&](double t) {
        double diff = std::fabs(Wrap360(t) - current);
        if (diff > 180) diff = 360 - diff;
        if (diff > s.max_rotation) return false;
        const double c = std::cos(t * kRad), sn = std::sin(t * kRad);
        if (!m.Free(x + s.ahead * step * c, y - s.ahead * step * sn)) return false;
        const double nx = x + step * c, ny = y - step * sn;
        if (!m.Free(nx, ny)) return false;
        m.SetDirection(t);
        m.MoveTo(nx, ny);
        return true;
    };
    // The settings keep the rotation step at least 1, so this ends.
    const double rot = s.rotation_step >= 1 ? s.rotation_step : 1;
    for (double k = 0; k < 180; k += rot)
        if (attempt(goal_dir - k) || attempt(goal_dir + k)) return false;
    if (s.on_spot) m.SetDirection(m.Direction() + s.max_rotation);
    return false;
}

namespace {

// Puts the mover back when the route is done.
struct Restore {
    Mover& m;
    double x, y, dir;
    explicit Restore(Mover& m) : m(m), x(m.X()), y(m.Y()), dir(m.Direction()) {}
    ~Restore() {
        m.MoveTo(x, y);
        m.SetDirection(dir);
    }
};

void StartRoute(Mover& m, CPath& path) {
    path.points.clear();
    path.kind = CPath::kStraight;
    path.closed = false;
    path.points.push_back({m.X(), m.Y(), 100});
}

// A route that never reaches its goal nor stops moving still ends: each step adds a point, and
// a path of this many points is far beyond any use.
constexpr int kMaxRoutePoints = 1 << 20;

}  // namespace

bool LinearPath(Mover& m, CPath& path, double gx, double gy, double step) {
    if (!(step > 0)) return false;
    Restore restore(m);
    StartRoute(m, path);
    bool found = false;
    for (int i = 0; i < kMaxRoutePoints; ++i) {
        const double x = m.X(), y = m.Y();
        if (LinearStep(m, gx, gy, step)) {
            found = true;
            break;
        }
        if (m.X() == x && m.Y() == y) break;
        path.points.push_back({m.X(), m.Y(), 100});
    }
    if (found) path.points.push_back({gx, gy, 100});
    path.Recompute();
    return found;
}

bool PotentialPath(Mover& m, const PotentialSettings& s, CPath& path, double gx, double gy,
                   double step, double factor) {
    if (!(step > 0) || !(factor >= 1)) return false;
    Restore restore(m);
    const double limit = factor * std::hypot(gx - m.X(), gy - m.Y());
    StartRoute(m, path);
    bool found = false;
    double length = 0;
    for (int i = 0; i < kMaxRoutePoints; ++i) {
        const double x = m.X(), y = m.Y(), dir = m.Direction();
        if (PotentialStep(m, s, gx, gy, step)) {
            found = true;
            break;
        }
        // Neither moved nor turned: every further step would do the same.
        const bool stuck = m.X() == x && m.Y() == y && m.Direction() == dir;
        const PathPoint& last = path.points.back();
        length += std::hypot(m.X() - last.x, m.Y() - last.y);
        path.points.push_back({m.X(), m.Y(), 100});
        if (length > limit || stuck) break;
    }
    if (found) path.points.push_back({gx, gy, 100});
    path.Recompute();
    return found;
}

}  // namespace kr

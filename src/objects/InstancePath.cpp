// Following a path. The path position runs from 0 to 1 over the path's length; the speed factor
// of the point reached scales each step, and a larger path scale makes the same path speed
// cover a smaller part of the path.
#include "objects/InstancePath.h"

#include <cmath>
#include <numbers>

namespace kr {

namespace {

// The path offset (dx, dy) rotated by the orientation and scaled.
void Turn(double a, double scale, double dx, double dy, double& ox, double& oy) {
    const double c = std::cos(a), s = std::sin(a);
    ox = (c * dx + s * dy) * scale;
    oy = (c * dy - s * dx) * scale;
}

}  // namespace

void StartPath(CInstance& inst, int32_t index, const CPath* path, double speed, int32_t end_action,
               bool relative, double scale, double orientation) {
    inst.path_index = index;
    if (index < 0) return;
    if (!path || !(path->Length() > 0)) {
        inst.path_index = -1;
        return;
    }
    inst.path_speed = speed;
    inst.SetPathPosition(speed < 0 ? 1 : 0);
    inst.SetPathPositionPrevious(inst.PathPosition());
    inst.path_scale = scale;
    if (scale < 0) {
        inst.path_index = -1;
        return;
    }
    inst.path_orientation = orientation;
    inst.path_endaction = end_action;
    const PathPiece from = path->PointAt(speed < 0 ? 1 : 0), p0 = path->PointAt(0);
    if (!relative) inst.SetPosition(from.x, from.y);
    // path_xstart and path_ystart are where position 0 of the path lies. Going backwards the
    // instance stands at the path's end, so they lie the path's extent away from it; taking its
    // own position there would put every following step off by that much.
    double ox, oy;
    Turn(orientation * std::numbers::pi / 180, scale, from.x - p0.x, from.y - p0.y, ox, oy);
    inst.path_xstart = inst.X() - ox;
    inst.path_ystart = inst.Y() - oy;
}

bool FollowPathStep(CInstance& inst, const CPath* path) {
    if (inst.path_index < 0 || !path || !(path->Length() > 0) || inst.path_speed == 0) return false;
    const double a = inst.path_orientation * std::numbers::pi / 180;
    const double scale = inst.path_scale;
    double pos = inst.PathPosition();
    const double factor = path->PointAt(pos).speed;
    const double advance = inst.path_speed * (factor / (100 * scale)) / path->Length();
    // A zero scale with a zero speed factor gives no sensible advance: stay where we are.
    if (!std::isnan(advance)) pos += advance;
    bool ended = false;
    if (pos >= 1 || pos <= 0) {
        ended = true;
        switch (inst.path_endaction) {
            case kPathEndRestart:
                pos += pos >= 0 ? -1 : 1;
                break;
            case kPathEndContinue: {
                const PathPiece p1 = path->PointAt(1), p0 = path->PointAt(0);
                double ox, oy;
                Turn(a, scale, p1.x - p0.x, p1.y - p0.y, ox, oy);
                if (pos >= 0) {
                    inst.path_xstart += ox;
                    inst.path_ystart += oy;
                    pos -= 1;
                } else {
                    inst.path_xstart -= ox;
                    inst.path_ystart -= oy;
                    pos += 1;
                }
                break;
            }
            case kPathEndReverse:
                if (pos >= 0) {
                    pos = 2 - pos;
                    inst.path_speed = -std::fabs(inst.path_speed);
                } else {
                    pos = -pos;
                    inst.path_speed = std::fabs(inst.path_speed);
                }
                break;
            default:
                // The end the instance was moving towards: the last point going forwards, the
                // first going backwards (stopping at the far end would make it jump there).
                pos = inst.path_speed < 0 ? 0 : 1;
                inst.path_index = -1;
                break;
        }
    }
    inst.SetPathPosition(pos);
    const PathPiece p = path->PointAt(inst.PathPosition()), p0 = path->PointAt(0);
    double ox, oy;
    Turn(a, scale, p.x - p0.x, p.y - p0.y, ox, oy);
    const double tx = inst.path_xstart + ox, ty = inst.path_ystart + oy;
    inst.SetHSpeed(tx - inst.X());
    inst.SetVSpeed(ty - inst.Y());
    inst.SetSpeed(0);
    inst.SetPosition(tx, ty);
    return ended;
}

}  // namespace kr

// CPath: a path resource. Control points (position and a speed factor in percent) joined by
// straight lines or a smooth curve, open or closed, and the polyline derived from them that
// instances actually follow, with the distance along it at every point.
#pragma once

#include <cstdint>
#include <vector>

namespace kr {

class CStream;

inline constexpr int32_t kPathVersion = 530;

struct PathPoint {
    double x = 0, y = 0;
    double speed = 100;  // percent of the path speed

    bool operator==(const PathPoint&) const = default;
};

// One point of the derived polyline; `length` is the distance along the polyline from its first
// point.
struct PathPiece {
    double x = 0, y = 0, speed = 100, length = 0;
};

class CPath {
public:
    enum Kind : int32_t { kStraight = 0, kSmooth = 1 };
    // Depth limit of the smoothing subdivision; larger stored precisions are treated as this.
    static constexpr int32_t kMaxPrecision = 8;

    // The stored fields. After changing any of them call Recompute().
    std::vector<PathPoint> points;
    int32_t kind = kStraight;
    bool closed = true;
    int32_t precision = 4;

    // The record that follows the name in a paths-section entry; recomputes the derived
    // polyline. False on a wrong version or a failed stream.
    bool LoadFromStream(CStream& s);
    void SaveToStream(CStream& s) const;

    // Rebuilds the derived polyline and the total length from the stored fields.
    void Recompute();
    const std::vector<PathPiece>& Pieces() const { return pieces_; }
    double Length() const { return length_; }

    // The position, and the speed factor there, at `position` along the path (0 start, 1 end;
    // limited to that range). A path without points gives (0, 0, 100).
    PathPiece PointAt(double position) const;

    // ---- Editing (each recomputes the derived polyline) ----
    // Point numbers outside the list are ignored.
    void AddPoint(double x, double y, double speed);
    void InsertPoint(int64_t n, double x, double y, double speed);  // before point n, n <= count
    void ChangePoint(int64_t n, double x, double y, double speed);
    void DeletePoint(int64_t n);
    void ClearPoints();
    void Reverse();
    // Mirror, flip, rotate and scale work about the centre of the points' bounding rectangle.
    void Mirror();  // horizontally: x becomes 2 cx - x
    void Flip();    // vertically: y becomes 2 cy - y
    void Rotate(double degrees);
    void Scale(double xscale, double yscale);
    void Shift(double dx, double dy);
    // Appends copies of the other path's points (which may be this path).
    void Append(const CPath& other);

    // Equal stored fields (the derived data follows from them).
    bool operator==(const CPath& o) const {
        return points == o.points && kind == o.kind && closed == o.closed &&
               precision == o.precision;
    }

private:
    // Applies fn to every point shifted so that the bounding rectangle's centre is the origin.
    template <class Fn>
    void TransformAboutCentre(Fn fn);
    void Subdivide(const PathPiece& a, const PathPiece& b, const PathPiece& c, int depth);

    std::vector<PathPiece> pieces_;
    double length_ = 0;
};

}  // namespace kr

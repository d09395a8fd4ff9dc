#include "graphics/Shapes3D.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace kr {

namespace {

constexpr double kPi = std::numbers::pi;

Vertex3D V(double x, double y, double z, double nx, double ny, double nz, double u, double v,
           uint32_t c) {
    return Vertex3D{float(x),  float(y), float(z), float(nx), float(ny),
                    float(nz), c,        float(u), float(v)};
}

// The ring of a round shape: cos and sin of 2πi / steps for i = 0..steps.
struct Ring {
    explicit Ring(int32_t steps) : n(std::clamp(steps, 3, 128)) {
        for (int32_t i = 0; i <= n; ++i) {
            c[i] = std::cos(2 * kPi * i / n);
            s[i] = std::sin(2 * kPi * i / n);
        }
    }
    int32_t n;
    double c[129], s[129];
};

// The bottom (z1) cap, turned the other way than the top so both face outwards.
void BottomCap(const ShapeBox& b, const Ring& r, ShapeSink& out) {
    double mx = (b.x1 + b.x2) / 2, my = (b.y1 + b.y2) / 2;
    double rx = (b.x2 - b.x1) / 2, ry = (b.y2 - b.y1) / 2;
    Vertex3D v[130];
    v[0] = V(mx, my, b.z1, 0, 0, -1, 0, 0, b.color);
    for (int32_t i = r.n, k = 1; i >= 0; --i, ++k)
        v[k] = V(mx + r.c[i] * rx, my + r.s[i] * ry, b.z1, 0, 0, -1, 0, 0, b.color);
    out.Face(Primitive::kTriangleFan, {v, size_t(r.n) + 2});
}

}  // namespace

void BlockFaces(const ShapeBox& b, ShapeSink& out) {
    const double x1 = b.x1, y1 = b.y1, z1 = b.z1, x2 = b.x2, y2 = b.y2, z2 = b.z2;
    const double h = b.hrepeat, w = b.vrepeat;
    const uint32_t c = b.color;
    const Vertex3D faces[6][4] = {
        {V(x1, y1, z1, 0, 0, -1, 0, 0, c), V(x1, y2, z1, 0, 0, -1, 0, w, c),
         V(x2, y2, z1, 0, 0, -1, h, w, c), V(x2, y1, z1, 0, 0, -1, h, 0, c)},
        {V(x1, y1, z2, 0, 0, 1, 0, 0, c), V(x2, y1, z2, 0, 0, 1, h, 0, c),
         V(x2, y2, z2, 0, 0, 1, h, w, c), V(x1, y2, z2, 0, 0, 1, 0, w, c)},
        {V(x1, y2, z1, 0, 1, 0, 0, 0, c), V(x1, y2, z2, 0, 1, 0, 0, w, c),
         V(x2, y2, z2, 0, 1, 0, h, w, c), V(x2, y2, z1, 0, 1, 0, h, 0, c)},
        {V(x2, y2, z1, 1, 0, 0, 0, 0, c), V(x2, y2, z2, 1, 0, 0, 0, w, c),
         V(x2, y1, z2, 1, 0, 0, h, w, c), V(x2, y1, z1, 1, 0, 0, h, 0, c)},
        {V(x2, y1, z1, 0, -1, 0, 0, 0, c), V(x2, y1, z2, 0, -1, 0, 0, w, c),
         V(x1, y1, z2, 0, -1, 0, h, w, c), V(x1, y1, z1, 0, -1, 0, h, 0, c)},
        {V(x1, y1, z1, -1, 0, 0, 0, 0, c), V(x1, y1, z2, -1, 0, 0, 0, w, c),
         V(x1, y2, z2, -1, 0, 0, h, w, c), V(x1, y2, z1, -1, 0, 0, h, 0, c)},
    };
    for (const auto& f : faces) out.Face(Primitive::kTriangleFan, f);
}

void CylinderFaces(const ShapeBox& b, bool closed, int32_t steps, ShapeSink& out) {
    const Ring r(steps);
    double mx = (b.x1 + b.x2) / 2, my = (b.y1 + b.y2) / 2;
    double rx = (b.x2 - b.x1) / 2, ry = (b.y2 - b.y1) / 2;
    Vertex3D v[2 * 129];
    if (closed) {
        v[0] = V(mx, my, b.z2, 0, 0, 1, 0, b.vrepeat, b.color);
        for (int32_t i = 0; i <= r.n; ++i)
            v[i + 1] = V(mx + r.c[i] * rx, my + r.s[i] * ry, b.z2, 0, 0, 1, 0, b.vrepeat, b.color);
        out.Face(Primitive::kTriangleFan, {v, size_t(r.n) + 2});
    }
    for (int32_t i = 0; i <= r.n; ++i) {
        double x = mx + r.c[i] * rx, y = my + r.s[i] * ry, u = i * b.hrepeat / r.n;
        v[2 * i] = V(x, y, b.z2, r.c[i], r.s[i], 0, u, b.vrepeat, b.color);
        v[2 * i + 1] = V(x, y, b.z1, r.c[i], r.s[i], 0, u, 0, b.color);
    }
    out.Face(Primitive::kTriangleStrip, {v, 2 * size_t(r.n) + 2});
    if (closed) BottomCap(b, r, out);
}

void ConeFaces(const ShapeBox& b, bool closed, int32_t steps, ShapeSink& out) {
    const Ring r(steps);
    double mx = (b.x1 + b.x2) / 2, my = (b.y1 + b.y2) / 2;
    double rx = (b.x2 - b.x1) / 2, ry = (b.y2 - b.y1) / 2;
    Vertex3D v[2 * 129];
    for (int32_t i = 0; i <= r.n; ++i) {
        double u = i * b.hrepeat / r.n;
        v[2 * i] = V(mx, my, b.z2, 0, 0, 1, u, b.vrepeat, b.color);
        v[2 * i + 1] =
            V(mx + r.c[i] * rx, my + r.s[i] * ry, b.z1, r.c[i], r.s[i], 0, u, 0, b.color);
    }
    out.Face(Primitive::kTriangleStrip, {v, 2 * size_t(r.n) + 2});
    if (closed) BottomCap(b, r, out);
}

void EllipsoidFaces(const ShapeBox& b, int32_t steps, ShapeSink& out) {
    const Ring r(steps);
    double mx = (b.x1 + b.x2) / 2, my = (b.y1 + b.y2) / 2, mz = (b.z1 + b.z2) / 2;
    double rx = (b.x2 - b.x1) / 2, ry = (b.y2 - b.y1) / 2, rz = (b.z2 - b.z1) / 2;
    const int32_t rings = (r.n + 1) / 2;
    Vertex3D v[2 * 129];
    for (int32_t j = 0; j < rings; ++j) {
        for (int32_t i = 0; i <= r.n; ++i) {
            double u = i * b.hrepeat / r.n;
            for (int32_t k = 0; k < 2; ++k) {
                double a = kPi * (j + k) / rings, sa = std::sin(a), ca = std::cos(a);
                double nx = sa * r.c[i], ny = sa * r.s[i];
                v[2 * i + k] = V(mx + rx * nx, my + ry * ny, mz + rz * ca, nx, ny, ca, u,
                                 (j + k) * b.vrepeat / rings, b.color);
            }
        }
        out.Face(Primitive::kTriangleStrip, {v, 2 * size_t(r.n) + 2});
    }
}

void WallFaces(const ShapeBox& b, ShapeSink& out) {
    double dx = b.x2 - b.x1, dy = b.y2 - b.y1, len = std::sqrt(dx * dx + dy * dy);
    if (!(len > 0)) return;
    double nx = dy / len, ny = -dx / len;
    const Vertex3D v[4] = {
        V(b.x1, b.y1, b.z1, nx, ny, 0, 0, 0, b.color),
        V(b.x2, b.y2, b.z1, nx, ny, 0, b.hrepeat, 0, b.color),
        V(b.x2, b.y2, b.z2, nx, ny, 0, b.hrepeat, b.vrepeat, b.color),
        V(b.x1, b.y1, b.z2, nx, ny, 0, 0, b.vrepeat, b.color),
    };
    out.Face(Primitive::kTriangleFan, v);
}

void FloorFaces(const ShapeBox& b, ShapeSink& out) {
    const Vertex3D v[4] = {
        V(b.x1, b.y1, b.z1, 0, 0, 1, 0, 0, b.color),
        V(b.x1, b.y2, b.z1, 0, 0, 1, 0, b.vrepeat, b.color),
        V(b.x2, b.y2, b.z2, 0, 0, 1, b.hrepeat, b.vrepeat, b.color),
        V(b.x2, b.y1, b.z2, 0, 0, 1, b.hrepeat, 0, b.color),
    };
    out.Face(Primitive::kTriangleFan, v);
}

}  // namespace kr

// Shapes3D: the geometry of the built-in 3D shapes (block, cylinder, cone, ellipsoid, wall,
// floor) as faces, each face one triangle fan or strip of vertices with normals and texture
// coordinates. Drawing and model building both take their faces from here.
#pragma once

#include <cstdint>
#include <span>

#include "graphics/GraphicsDevice.h"

namespace kr {

class ShapeSink {
public:
    virtual ~ShapeSink() = default;
    virtual void Face(Primitive kind, std::span<const Vertex3D> vertices) = 0;
};

// The corners (x1, y1, z1) and (x2, y2, z2), the texture repeats across and up, one colour.
struct ShapeBox {
    double x1, y1, z1, x2, y2, z2;
    double hrepeat, vrepeat;
    uint32_t color;
};

// Steps of round shapes are clamped to 3..128.
void BlockFaces(const ShapeBox& b, ShapeSink& out);
void CylinderFaces(const ShapeBox& b, bool closed, int32_t steps, ShapeSink& out);
void ConeFaces(const ShapeBox& b, bool closed, int32_t steps, ShapeSink& out);
void EllipsoidFaces(const ShapeBox& b, int32_t steps, ShapeSink& out);
// Nothing for a wall whose corners share x and y.
void WallFaces(const ShapeBox& b, ShapeSink& out);
void FloorFaces(const ShapeBox& b, ShapeSink& out);

}  // namespace kr

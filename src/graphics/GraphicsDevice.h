// GraphicsDevice: what the renderer needs of a graphics API, and nothing more. The renderer
// (Graphics.h) keeps every piece of drawing state and batches vertices; a device only creates
// textures, switches render targets, sets a handful of states and draws lists of vertices.
//
// Orientation: every render target (the picture of the window region and each surface) stores
// its rows top row first, like the images that are uploaded into textures. A transform given
// to SetTransform maps to normalized coordinates in which y = -1 is the top row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "data/Color.h"

namespace kr {

class GameWindow;

// One vertex: position, device colour 0xAARRGGBB, texture coordinates.
struct Vertex {
    float x, y, z;
    uint32_t color;
    float u, v;
};

// One vertex of 3D drawing: position, normal, device colour, texture coordinates (36 bytes).
struct Vertex3D {
    float x, y, z;
    float nx, ny, nz;
    uint32_t color;
    float u, v;
};

// A light as the device lights with it: a directional light shines along (x, y, z); a point
// light sits at (x, y, z), lights nothing beyond `range` and fades by 1 / (att0 + att1 * d).
struct DeviceLight {
    bool point = false;
    float x = 0, y = 0, z = 0;
    float r = 0, g = 0, b = 0;  // diffuse colour, 0..1
    float range = 0, att0 = 1, att1 = 0;
};

// The fixed-function states of 3D drawing. They apply to every draw, 2D ones included.
struct DeviceShading {
    static constexpr size_t kMaxLights = 8;
    bool depth_test = false;  // depth test and the alpha test that goes with it (alpha > 0)
    bool cull = false;        // triangles turning counter-clockwise on the screen are not drawn
    bool lighting = false;    // vertex colours are lit by the lights (material = vertex colour)
    bool smooth = true;       // colours vary over a triangle, else the first vertex's
    bool fog = false;
    uint32_t fog_color = 0;            // device colour
    float fog_start = 0, fog_end = 1;  // eye distances
    uint32_t ambient = 0;              // device colour of the light that reaches every vertex
    size_t light_count = 0;            // the enabled lights, at most kMaxLights
    DeviceLight lights[kMaxLights];
};

// Vertex buffers that stay on the device (models); 0 is none.
using DeviceMesh = uint32_t;

// Primitive kinds with the numbers scripts use (1 point list .. 6 triangle fan).
enum class Primitive : uint8_t {
    kPoints = 1,
    kLines = 2,
    kLineStrip = 3,
    kTriangles = 4,
    kTriangleStrip = 5,
    kTriangleFan = 6,
};

// Texture handles are the device's own; 0 is no texture (and, as a target, the picture).
using DeviceTexture = uint32_t;

// Where the picture of the window region goes in the window when it is presented.
struct PresentLayout {
    int32_t client_width = 0, client_height = 0;  // the window's drawable area
    int32_t x = 0, y = 0, width = 0, height = 0;  // the region's rectangle in it
    uint32_t band_color = 0xFF000000;             // device colour of the area around it
};

class GraphicsDevice {
public:
    virtual ~GraphicsDevice() = default;

    // The largest texture side the device accepts.
    virtual int32_t MaxTextureSize() const = 0;
    // A texture of w x h pixels (the device accepts any size up to MaxTextureSize), its pixels
    // undefined; 0 on failure. Render targets can be drawn into.
    virtual DeviceTexture CreateTexture(int32_t w, int32_t h, bool render_target) = 0;
    // Fills the top-left w x h pixels from Bgra rows, top row first, tightly packed.
    virtual bool UploadTexture(DeviceTexture tex, int32_t w, int32_t h, const Bgra* pixels) = 0;
    virtual void FreeTexture(DeviceTexture tex) = 0;

    // The picture of the window region, the target of all drawing that is not into a surface;
    // its contents are kept when the size is unchanged.
    virtual bool SetPictureSize(int32_t w, int32_t h) = 0;
    // Draw into a render-target texture, or into the picture for 0.
    virtual void SetTarget(DeviceTexture tex) = 0;
    virtual void SetViewport(int32_t x, int32_t y, int32_t w, int32_t h) = 0;
    // Column-major 4x4 matrix from vertex positions to normalized coordinates.
    virtual void SetTransform(const float* matrix) = 0;
    // Blend factors by their numbers 1..11 (zero, one, source colour, inverse source colour,
    // source alpha, inverse source alpha, destination alpha, inverse destination alpha,
    // destination colour, inverse destination colour, source alpha saturated).
    virtual void SetBlend(int32_t source, int32_t destination) = 0;
    // Bilinear filtering, and whether textures are multiplied by the vertex colour.
    virtual void SetTextureStates(bool interpolate, bool modulate) = 0;
    // Fills the viewport of the target with a device colour, ignoring blending.
    virtual void Clear(uint32_t color) = 0;
    // Draws a point, line or triangle list; `wrap` repeats texture coordinates outside 0..1.
    virtual void Draw(Primitive kind, DeviceTexture tex, bool wrap, const Vertex* vertices,
                      size_t count) = 0;
    // Reads w x h pixels at (x, y) of a render-target texture or of the picture (0), top row
    // first. The rectangle must lie inside the target.
    virtual bool ReadPixels(DeviceTexture tex, int32_t x, int32_t y, int32_t w, int32_t h,
                            Bgra* out) = 0;
    // Copies a rectangle between render targets (0 is the picture) without blending.
    virtual void CopyRect(DeviceTexture source, int32_t sx, int32_t sy, int32_t w, int32_t h,
                          DeviceTexture destination, int32_t dx, int32_t dy) = 0;
    // Shows the picture in the window, scaled into the layout's rectangle, the rest of the
    // window in the band colour.
    virtual void Present(const PresentLayout& layout) = 0;
    virtual void SetVsync(bool sync) = 0;
    // The size in pixels of the window's drawable area; false when the device shows nothing in
    // a window (yet).
    virtual bool DrawableSize(int32_t& w, int32_t& h) { return false; }
    // Makes the device current again on this thread (closing another window may have taken
    // its context away).
    virtual void Resume() {}

    // ---- 3D ----
    // Gives the picture a depth buffer or takes it away; false when it cannot be made. Surfaces
    // never have one (the depth test passes there).
    virtual bool SetDepthBuffer(bool on) = 0;
    // Sets the depth buffer of the target (if any) to the far value.
    virtual void ClearDepth() = 0;
    virtual void SetShading(const DeviceShading& shading) = 0;
    // Column-major world matrix (vertex to world space, where lights are) and view matrix (world
    // to eye space, whose z is the fog distance); SetTransform still places the vertices.
    virtual void SetWorldView(const float* world, const float* view) = 0;
    // Draws a point, line or triangle list of 3D vertices.
    virtual void Draw3D(Primitive kind, DeviceTexture tex, bool wrap, const Vertex3D* vertices,
                        size_t count) = 0;
    // A buffer holding these vertices on the device; 0 on failure. `follows` (one byte per
    // vertex, or null for none) marks the vertices that take the colour given to DrawMesh
    // instead of their own.
    virtual DeviceMesh CreateMesh(const Vertex3D* vertices, const uint8_t* follows,
                                  size_t count) = 0;
    virtual void FreeMesh(DeviceMesh mesh) = 0;
    // Draws `count` vertices from `first` of a mesh as a point, line or triangle list; the
    // marked vertices take the device colour `color`.
    virtual void DrawMesh(DeviceMesh mesh, Primitive kind, DeviceTexture tex, bool wrap,
                          uint32_t color, size_t first, size_t count) = 0;
};

// The device this platform draws into `window` with (OpenGL today), made now; null with the
// reason in `error` when there is none (an empty reason: the window never draws, and nobody
// needs to be told). The back end the program links defines it (graphics/opengl), so nothing
// above the platform edge names a graphics API.
std::unique_ptr<GraphicsDevice> CreateGraphicsDevice(GameWindow& window, std::string& error);

}  // namespace kr

// Graphics: the renderer that all drawing goes through, independent of any graphics API. It
// owns the device (GraphicsDevice.h), the texture table, the drawing state (colour, alpha,
// blend factors, texture states, circle precision, current depth), the window region and its
// placement in the window, the viewport and projection, the surfaces, and a batcher: draws
// that share primitive class, texture and state are merged into one device draw.
//
// Without a device everything still works except that nothing is drawn: state setters store
// their values, texture and surface creation fail with -1, captures give nothing.
//
// Others build on it like this: text, particles and transitions draw textured quads with
// DrawTextureExt / DrawTexturePart / DrawTextureGeneral (or any primitive through Submit),
// getting textures from TextureFromImage / TextureFromAlpha; 3D replaces the 2D projection
// with SetTransform3D and sets the current depth with SetDepth.
//
// 3D drawing (Graphics3D.cpp) shares the device, the textures and the batcher: 3D mode gives the
// picture a depth buffer and the room a perspective projection; the world, view and projection
// matrices, lights, fog, culling and shading apply to every draw; primitives and shapes batch
// like 2D ones; models are built once into a device mesh and redrawn from it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "data/Bitmap32.h"
#include "graphics/GraphicsDevice.h"
#include "graphics/Matrix3D.h"
#include "graphics/Model.h"

namespace kr {

class CSprite;
class CBackground;

// One slot of the texture table: a device texture holding an image in its top-left corner.
struct RTexture {
    DeviceTexture texture = 0;
    int32_t width = 0, height = 0;          // the image
    int32_t tex_width = 0, tex_height = 0;  // the texture as the device made it
    bool in_use = false;
    bool render_target = false;
    // The pixels it was made from (sprite frames and backgrounds), to notice a changed image.
    const void* source = nullptr;
};

struct Surface {
    int32_t texture = -1;
    int32_t width = 0, height = 0;
    bool in_use = false;
};

// A rectangle in pixels.
struct PixelRect {
    int32_t x = 0, y = 0, width = 0, height = 0;
};

class Graphics {
public:
    Graphics();
    ~Graphics();
    Graphics(const Graphics&) = delete;
    Graphics& operator=(const Graphics&) = delete;

    // ---- Device ----
    // Takes the device (null: drawing does nothing from now on). The texture table is emptied.
    void SetDevice(std::unique_ptr<GraphicsDevice> device);
    bool HasDevice() const { return device_ != nullptr; }
    GraphicsDevice* Device() { return device_.get(); }

    // ---- Textures ----
    // A texture id or -1.
    int32_t TextureCreate(int32_t width, int32_t height, bool render_target);
    // Fills texture `id` from an image of its size; the edge column and row are repeated once
    // when the texture is larger than the image.
    bool TextureLoad(int32_t id, const TBitmap32& image);
    int32_t TextureFromImage(const TBitmap32& image);
    // White pixels whose alphas are the given bytes (w x h, rows top first); for glyphs.
    int32_t TextureFromAlpha(int32_t width, int32_t height, std::span<const uint8_t> alpha);
    void TextureFree(int32_t id);
    bool TextureExists(int32_t id) const;
    const RTexture* Texture(int32_t id) const;
    // The texture-coordinate extent of the image: width / texture width (1 for a bad id).
    double TextureWidth(int32_t id) const;
    double TextureHeight(int32_t id) const;
    // The texture of a sprite frame or a background, made (or remade after the image changed)
    // on first use; -1 without a device or for an empty image.
    int32_t SpriteTexture(CSprite& sprite, int32_t frame);
    int32_t BackgroundTexture(CBackground& background);

    // ---- Drawing state ----
    void SetColor(int32_t color);
    void SetAlpha(double alpha);  // clamped to 0..1
    int32_t Color() const { return color_; }
    double Alpha() const { return alpha_; }
    // The device colour of the drawing colour and alpha.
    uint32_t VertexColor() const { return vertex_color_; }
    // 0 normal, 1 add, 2 max, 3 subtract, other values normal.
    void SetBlendMode(int32_t mode);
    // Factor numbers 1..11 (see GraphicsDevice::SetBlend).
    void SetBlendModeExt(int32_t source, int32_t destination);
    int32_t BlendSource() const { return blend_src_; }
    int32_t BlendDestination() const { return blend_dest_; }
    void SetInterpolation(bool on);
    void SetTextureBlending(bool on);
    void SetTextureRepeat(bool on);
    bool Interpolation() const { return interpolate_; }
    bool TextureBlending() const { return texture_blending_; }
    bool TextureRepeat() const { return texture_repeat_; }
    // Clamped to 4..64 and rounded down to a multiple of 4.
    void SetCirclePrecision(int32_t precision);
    int32_t CirclePrecision() const { return precision_; }
    // The z given to every 2D vertex: 0 outside 3D mode, clamped to -16000..16000 in it.
    void SetDepth(double depth);
    double Depth() const { return depth_; }
    void SetSynchronization(bool on);
    bool Synchronization() const { return synchronize_; }

    // ---- Viewport and projection ----
    void SetViewport(int32_t x, int32_t y, int32_t width, int32_t height);
    // Room area (x, y, w, h), turned by `angle` degrees, fills the viewport.
    void SetProjection(double x, double y, double width, double height, double angle);
    // A transform of the caller's (column-major; y = -1 is the top row of the target).
    void SetTransform3D(const float* matrix);
    // Viewport and projection back to the whole current target.
    void ResetProjection();

    // ---- Batching ----
    // Draws vertices; strips and fans are turned into lists so that consecutive draws of the
    // same class, texture id (-1 none) and addressing merge. At most a few thousand vertices.
    void Submit(Primitive kind, int32_t texture, bool wrap, const Vertex* vertices, size_t count);
    // Sends what is batched to the device. Called by every state change and read-back.
    void Flush();
    // Device draw calls made since the last ResetDrawCalls (for benchmarks).
    int64_t DrawCalls() const { return draw_calls_; }

    // ---- Clearing ----
    // Fills the current viewport of the current target.
    void Clear(int32_t color, double alpha);

    // ---- Textured quads (device colours) ----
    void DrawTexture(int32_t tex, double x, double y);
    void DrawTextureExt(int32_t tex, uint32_t color, double xorig, double yorig, double x, double y,
                        double xscale, double yscale, double angle);
    void DrawTexturePart(int32_t tex, uint32_t color, double left, double top, double width,
                         double height, double x, double y, double xscale, double yscale,
                         double angle);
    void DrawTextureGeneral(int32_t tex, double left, double top, double width, double height,
                            double x, double y, double xscale, double yscale, double angle,
                            uint32_t c1, uint32_t c2, uint32_t c3, uint32_t c4);
    void DrawTextureStretched(int32_t tex, uint32_t color, double x, double y, double w, double h);
    void DrawTextureTiled(int32_t tex, bool htiled, bool vtiled, double xorig, double yorig,
                          double x, double y, double xscale, double yscale, double left, double top,
                          double width, double height, uint32_t color);

    // ---- Shapes (device colours) ----
    void DrawPoint(double x, double y, uint32_t c);
    void DrawLine(double x1, double y1, double x2, double y2, uint32_t c1, uint32_t c2);
    void DrawLineWidth(double x1, double y1, double x2, double y2, double w, uint32_t c1,
                       uint32_t c2);
    // c1 (x1,y1), c2 (x2,y1), c3 (x2,y2), c4 (x1,y2) after ordering the corners.
    void DrawRectangle(double x1, double y1, double x2, double y2, uint32_t c1, uint32_t c2,
                       uint32_t c3, uint32_t c4, bool outline);
    void DrawRoundRect(double x1, double y1, double x2, double y2, uint32_t centre, uint32_t rim,
                       bool outline);
    void DrawTriangle(double x1, double y1, double x2, double y2, double x3, double y3, uint32_t c1,
                      uint32_t c2, uint32_t c3, bool outline);
    void DrawEllipse(double x1, double y1, double x2, double y2, uint32_t centre, uint32_t rim,
                     bool outline);
    void DrawArrow(double x1, double y1, double x2, double y2, double size);
    void DrawButton(double x1, double y1, double x2, double y2, bool up);
    void DrawHealthbar(double x1, double y1, double x2, double y2, double amount, int32_t backcol,
                       int32_t mincol, int32_t maxcol, int32_t direction, bool showback,
                       bool showborder);

    // ---- User primitives ----
    static constexpr size_t kPrimitiveCapacity = 1001;
    void PrimitiveBegin(int32_t kind, int32_t texture);
    void PrimitiveVertex(double x, double y, uint32_t color, double u, double v);
    void PrimitiveEnd();

    // ---- The window region (what the game draws) and its place in the window ----
    int32_t RegionWidth() const { return region_w_; }
    int32_t RegionHeight() const { return region_h_; }
    // Sizes below 1 keep that side. The picture gets the new size.
    void SetRegionSize(int32_t width, int32_t height);
    double RegionScale() const { return region_scale_; }
    void SetRegionScale(double scale) { region_scale_ = scale; }
    int32_t WindowColor() const { return window_color_; }
    void SetWindowColor(int32_t color) { window_color_ = color; }
    // The rectangle of a client area of this size that shows the region.
    PixelRect Placement(int32_t client_width, int32_t client_height) const;
    // A client position (relative to the client area) as a region position.
    void ClientToRegion(int32_t cx, int32_t cy, int32_t client_width, int32_t client_height,
                        int32_t& rx, int32_t& ry) const;
    // The inverse, for moving the mouse.
    void RegionToClient(int32_t rx, int32_t ry, int32_t client_width, int32_t client_height,
                        int32_t& cx, int32_t& cy) const;
    // Shows the picture in a client area of this size (drawable pixels).
    void Present(int32_t client_width, int32_t client_height);

    // ---- Surfaces ----
    int32_t SurfaceCreate(int32_t width, int32_t height);
    void SurfaceFree(int32_t id);
    bool SurfaceExists(int32_t id) const;
    const Surface* GetSurface(int32_t id) const;
    // 1 when the surface is (or already was) the target, 0 otherwise.
    bool SurfaceSetTarget(int32_t id);
    bool SurfaceResetTarget();
    int32_t CurrentTarget() const { return target_; }
    // Copies a part of surface `source` into `destination` at (x, y), clipped to both.
    void SurfaceCopyPart(int32_t destination, int32_t x, int32_t y, int32_t source, int32_t xs,
                         int32_t ys, int32_t ws, int32_t hs);
    // Frees every surface (the device was replaced).
    void FreeAllSurfaces();

    // ---- Reading back ----
    // A rectangle of the picture (surface -1) or of a surface, moved into it and cut to its
    // size; an empty image when nothing is left or there is no device.
    TBitmap32 Capture(int32_t surface, int32_t x, int32_t y, int32_t width, int32_t height);
    // The colour 0xBBGGRR of one pixel; 0 when it cannot be read.
    int32_t GetPixel(int32_t surface, int32_t x, int32_t y);

    // ---- 3D (Graphics3D.cpp) ----
    // Switches 3D mode (a depth buffer for the picture; perspective follows the mode); false,
    // with the mode left off, when the device cannot give a depth buffer.
    bool Set3DMode(bool on);
    bool Mode3D() const { return mode3d_; }
    // Whether SetProjection in 3D mode makes a perspective projection.
    void SetPerspective(bool on) { perspective_ = on; }
    bool Perspective() const { return perspective_; }
    // Depth test and alpha test (in 3D mode only), lighting, smooth shading, culling and fog
    // apply from the next draw on.
    void SetHidden(bool on);
    void SetLighting(bool on);
    void SetSmoothShading(bool on);
    void SetCulling(bool on);
    void SetFog(bool on, int32_t color, double start, double end);
    void SetAmbient(int32_t color);
    bool Hidden() const { return hidden_; }
    bool Lighting() const { return lighting_; }
    bool SmoothShading() const { return smooth_; }
    bool Culling() const { return cull_; }
    bool Fog() const { return fog_; }
    // Sets the depth buffer of the current viewport to the far value (3D mode only).
    void ClearDepth();

    // The world matrix (every vertex is transformed by world, view and projection).
    const Mat4& World() const { return world_; }
    void SetWorld(const Mat4& world);
    // The view matrix; the projection stays.
    void SetView(const Mat4& view);
    void SetViewProjection(const Mat4& view, const Mat4& projection);
    const Mat4& View() const { return view_; }
    const Mat4& ProjectionMatrix() const { return proj_; }

    // Lights 0..kMaxLightIndex; colours are script colours. At most DeviceShading::kMaxLights
    // enabled lights shine (the lowest indices).
    static constexpr int32_t kMaxLightIndex = 4095;
    void LightDefineDirection(int32_t ind, double dx, double dy, double dz, int32_t color);
    void LightDefinePoint(int32_t ind, double x, double y, double z, double range, int32_t color);
    void LightEnable(int32_t ind, bool on);

    // The 3D primitive: vertices beyond kPrimitive3DCapacity are dropped.
    static constexpr size_t kPrimitive3DCapacity = 32001;
    void Primitive3DBegin(int32_t kind, int32_t texture);
    void Primitive3DVertex(const Vertex3D& v);
    void Primitive3DEnd();
    // A built-in shape (codes kModelBlock .. kModelFloor) in the current vertex colour, with
    // texture repeat on for it.
    void DrawShape(int32_t shape, double x1, double y1, double z1, double x2, double y2, double z2,
                   int32_t texture, double hrepeat, double vrepeat, bool closed, int32_t steps);
    // Like Submit, for 3D vertices.
    void Submit3D(Primitive kind, int32_t texture, bool wrap, const Vertex3D* vertices,
                  size_t count);

    // Models: the first free id is handed out again.
    int32_t ModelCreate();
    void ModelDestroy(int32_t id);
    C3D_Model* GetModel(int32_t id);
    // Replays the model moved by (x, y, z) with the texture; the model is built into a device
    // mesh on its first draw after a change and drawn from it.
    void ModelDraw(int32_t id, double x, double y, double z, int32_t texture);

private:
    enum class Batch : uint8_t { kNone, kPoints, kLines, kTriangles };
    struct Light3D {
        bool defined = false, enabled = false;
        DeviceLight light;
    };
    struct ModelRange {
        Batch kind;
        bool repeat;  // shapes draw with texture repeat on; primitives with the current state
        uint32_t first, count;
    };
    struct ModelSlot {
        std::unique_ptr<C3D_Model> model;
        // What was built from it: the revision and the device mesh with its ranges.
        uint64_t revision = ~uint64_t(0);
        std::vector<ModelRange> ranges;
        DeviceMesh mesh = 0;
    };
    void UpdateTransform();
    void SyncShading();
    void Flush3D();
    void Restore3D();
    void BuildModel(ModelSlot& slot);
    void ApplyTransform();
    void Quad(int32_t tex, const double (&xy)[8], double u0, double v0, double u1, double v1,
              const uint32_t (&colors)[4]);
    void Fan(const Vertex* v, size_t n);
    void Strip(Primitive kind, const Vertex* v, size_t n);
    Vertex V(double x, double y, uint32_t c) const;
    DeviceTexture Handle(int32_t tex) const;
    void BuildCircleTables();

    std::unique_ptr<GraphicsDevice> device_;
    std::vector<RTexture> textures_;

    int32_t color_ = 0;
    double alpha_ = 1;
    uint32_t vertex_color_ = 0xFF000000;
    int32_t blend_src_ = 5, blend_dest_ = 6;
    bool interpolate_ = true, texture_blending_ = true, texture_repeat_ = false;
    bool synchronize_ = false;
    int32_t precision_ = 24;
    std::vector<double> cos_, sin_;
    float depth_ = 0;

    // The batch.
    std::vector<Vertex> batch_;
    Batch batch_kind_ = Batch::kNone;
    int32_t batch_tex_ = -1;
    bool batch_wrap_ = false;
    int64_t draw_calls_ = 0;
    std::vector<Vertex> scratch_;

    // Transform state.
    int32_t vp_x_ = 0, vp_y_ = 0, vp_w_ = 640, vp_h_ = 480;
    double pr_x_ = 0, pr_y_ = 0, pr_w_ = 640, pr_h_ = 480, pr_angle_ = 0;
    bool custom_transform_ = false;
    std::array<float, 16> transform_{};

    // User primitive.
    int32_t prim_kind_ = 0, prim_tex_ = -1;
    std::vector<Vertex> prim_;

    int32_t region_w_ = 640, region_h_ = 480;
    double region_scale_ = 1;
    int32_t window_color_ = 0;

    std::vector<Surface> surfaces_;
    int32_t target_ = -1;

    // 3D state.
    bool mode3d_ = false, perspective_ = true, hidden_ = true, lighting_ = false, smooth_ = true;
    bool cull_ = false, fog_ = false;
    int32_t fog_color_ = 0, ambient_ = 0;
    double fog_start_ = 0, fog_end_ = 1;
    Mat4 world_, view_, proj_;
    std::vector<Light3D> lights_;
    std::vector<Vertex3D> batch3d_;
    Batch batch3d_kind_ = Batch::kNone;
    int32_t batch3d_tex_ = -1;
    bool batch3d_wrap_ = false;
    int32_t prim3d_kind_ = 0, prim3d_tex_ = -1;
    std::vector<Vertex3D> prim3d_;
    std::vector<ModelSlot> models_;
};

}  // namespace kr

// The 3D half of the renderer: 3D mode and its depth buffer, the fixed-function states, the
// world / view / projection matrices, lights, the 3D primitive, the built-in shapes and models.
#include <algorithm>
#include <cmath>

#include "graphics/Graphics.h"
#include "graphics/Shapes3D.h"

namespace kr {

namespace {

// Appends a primitive as a list of its class (points, lines or triangles). Strips keep one
// winding by turning every other triangle back; partial primitives lose their rest.
template <class T>
void AppendAsList(Primitive kind, const T* v, size_t n, std::vector<T>& out) {
    switch (kind) {
        case Primitive::kPoints:
            out.insert(out.end(), v, v + n);
            break;
        case Primitive::kLines:
            out.insert(out.end(), v, v + n / 2 * 2);
            break;
        case Primitive::kTriangles:
            out.insert(out.end(), v, v + n / 3 * 3);
            break;
        case Primitive::kLineStrip:
            for (size_t i = 1; i < n; ++i) {
                out.push_back(v[i - 1]);
                out.push_back(v[i]);
            }
            break;
        case Primitive::kTriangleStrip:
            for (size_t i = 2; i < n; ++i) {
                bool odd = i % 2 != 0;
                out.push_back(v[odd ? i - 1 : i - 2]);
                out.push_back(v[odd ? i - 2 : i - 1]);
                out.push_back(v[i]);
            }
            break;
        case Primitive::kTriangleFan:
            for (size_t i = 2; i < n; ++i) {
                out.push_back(v[0]);
                out.push_back(v[i - 1]);
                out.push_back(v[i]);
            }
            break;
    }
}

Primitive ListOf(Primitive kind) {
    switch (kind) {
        case Primitive::kPoints:
            return Primitive::kPoints;
        case Primitive::kLines:
        case Primitive::kLineStrip:
            return Primitive::kLines;
        default:
            return Primitive::kTriangles;
    }
}

int32_t RoundInt(double v) {
    if (std::isnan(v)) return 0;
    return int32_t(std::clamp(std::nearbyint(v), -2147483648.0, 2147483647.0));
}

void ShapeFaces(int32_t shape, const ShapeBox& box, bool closed, int32_t steps, ShapeSink& out) {
    switch (shape) {
        case kModelBlock:
            BlockFaces(box, out);
            break;
        case kModelCylinder:
            CylinderFaces(box, closed, steps, out);
            break;
        case kModelCone:
            ConeFaces(box, closed, steps, out);
            break;
        case kModelEllipsoid:
            EllipsoidFaces(box, steps, out);
            break;
        case kModelWall:
            WallFaces(box, out);
            break;
        case kModelFloor:
            FloorFaces(box, out);
            break;
        default:
            break;
    }
}

// Maps the clip space of the matrices (y up, z from 0 to w) to the device's (y = -1 the top
// row, z from -w to w), shifted by half a pixel so that integer positions fall on pixel centres.
Mat4 DeviceCorrection(double hx, double hy) {
    Mat4 c;
    c.m[1][1] = -1;
    c.m[2][2] = 2;
    c.m[3][0] = hx, c.m[3][1] = hy, c.m[3][2] = -1;
    return c;
}

}  // namespace

// ---- Mode and states ----------------------------------------------------------------------

void Graphics::SetDepth(double depth) {
    if (!mode3d_ || std::isnan(depth))
        depth_ = 0;
    else
        depth_ = float(std::clamp(depth, -16000.0, 16000.0));
}

bool Graphics::Set3DMode(bool on) {
    if (on == mode3d_) return true;
    Flush();
    if (device_ && !device_->SetDepthBuffer(on)) {
        device_->SetDepthBuffer(false);
        return false;
    }
    mode3d_ = on;
    perspective_ = on;
    hidden_ = on;
    if (!mode3d_) depth_ = 0;
    SyncShading();
    if (device_) {
        device_->ClearDepth();
        if (!custom_transform_) ApplyTransform();
    }
    return true;
}

void Graphics::SetHidden(bool on) {
    Flush();
    hidden_ = on;
    SyncShading();
}

void Graphics::SetLighting(bool on) {
    Flush();
    lighting_ = on;
    SyncShading();
}

void Graphics::SetSmoothShading(bool on) {
    Flush();
    smooth_ = on;
    SyncShading();
}

void Graphics::SetCulling(bool on) {
    Flush();
    cull_ = on;
    SyncShading();
}

void Graphics::SetFog(bool on, int32_t color, double start, double end) {
    Flush();
    fog_ = on, fog_color_ = color, fog_start_ = start, fog_end_ = end;
    SyncShading();
}

void Graphics::SetAmbient(int32_t color) {
    Flush();
    ambient_ = color;
    SyncShading();
}

void Graphics::ClearDepth() {
    if (!device_ || !mode3d_) return;
    Flush();
    device_->ClearDepth();
}

void Graphics::SyncShading() {
    if (!device_) return;
    DeviceShading s;
    s.depth_test = mode3d_ && hidden_;
    s.cull = cull_;
    s.lighting = lighting_;
    s.smooth = smooth_;
    s.fog = fog_;
    s.fog_color = ScriptColorToDevice(fog_color_, 1);
    s.fog_start = float(fog_start_);
    s.fog_end = float(fog_end_);
    s.ambient = ScriptColorToDevice(ambient_, 1);
    for (const Light3D& l : lights_) {
        if (!l.defined || !l.enabled) continue;
        if (s.light_count == DeviceShading::kMaxLights) break;
        s.lights[s.light_count++] = l.light;
    }
    device_->SetShading(s);
}

// A new device: its depth buffer, states and models' meshes start over.
void Graphics::Restore3D() {
    for (ModelSlot& m : models_) m.mesh = 0, m.revision = ~uint64_t(0);
    if (!device_) return;
    if (mode3d_ && !device_->SetDepthBuffer(true)) mode3d_ = false;
    SyncShading();
}

// ---- Matrices -----------------------------------------------------------------------------

void Graphics::UpdateTransform() {
    if (!device_ || custom_transform_) return;
    double hx = vp_w_ > 0 ? 1.0 / vp_w_ : 0, hy = vp_h_ > 0 ? 1.0 / vp_h_ : 0;
    Mat4 full = world_ * view_ * proj_ * DeviceCorrection(hx, hy);
    transform_ = full.ColumnMajor();
    device_->SetTransform(transform_.data());
    std::array<float, 16> w = world_.ColumnMajor(), v = view_.ColumnMajor();
    device_->SetWorldView(w.data(), v.data());
}

void Graphics::SetWorld(const Mat4& world) {
    Flush();
    world_ = world;
    UpdateTransform();
}

void Graphics::SetView(const Mat4& view) {
    Flush();
    custom_transform_ = false;
    view_ = view;
    UpdateTransform();
}

void Graphics::SetViewProjection(const Mat4& view, const Mat4& projection) {
    Flush();
    custom_transform_ = false;
    view_ = view;
    proj_ = projection;
    UpdateTransform();
}

// ---- Lights -------------------------------------------------------------------------------

static DeviceLight LightOf(bool point, double x, double y, double z, int32_t color) {
    DeviceLight l;
    l.point = point;
    l.x = float(x), l.y = float(y), l.z = float(z);
    l.r = float(color & 0xFF) / 255.f;
    l.g = float((color >> 8) & 0xFF) / 255.f;
    l.b = float((color >> 16) & 0xFF) / 255.f;
    return l;
}

void Graphics::LightDefineDirection(int32_t ind, double dx, double dy, double dz, int32_t color) {
    if (ind < 0 || ind > kMaxLightIndex) return;
    Flush();
    if (lights_.size() <= size_t(ind)) lights_.resize(size_t(ind) + 1);
    lights_[size_t(ind)].defined = true;
    lights_[size_t(ind)].light = LightOf(false, dx, dy, dz, color);
    SyncShading();
}

void Graphics::LightDefinePoint(int32_t ind, double x, double y, double z, double range,
                                int32_t color) {
    if (ind < 0 || ind > kMaxLightIndex) return;
    Flush();
    if (lights_.size() <= size_t(ind)) lights_.resize(size_t(ind) + 1);
    DeviceLight l = LightOf(true, x, y, z, color);
    l.range = float(range);
    l.att0 = 1;
    l.att1 = range > 0 ? float(4 / range) : 0;
    lights_[size_t(ind)].defined = true;
    lights_[size_t(ind)].light = l;
    SyncShading();
}

void Graphics::LightEnable(int32_t ind, bool on) {
    if (ind < 0 || ind > kMaxLightIndex) return;
    Flush();
    if (lights_.size() <= size_t(ind)) lights_.resize(size_t(ind) + 1);
    lights_[size_t(ind)].enabled = on;
    SyncShading();
}

// ---- Primitives and shapes ----------------------------------------------------------------

void Graphics::Flush3D() {
    if (batch3d_.empty()) return;
    if (device_) {
        Primitive kind = batch3d_kind_ == Batch::kPoints  ? Primitive::kPoints
                         : batch3d_kind_ == Batch::kLines ? Primitive::kLines
                                                          : Primitive::kTriangles;
        device_->Draw3D(kind, Handle(batch3d_tex_), batch3d_wrap_, batch3d_.data(),
                        batch3d_.size());
        ++draw_calls_;
    }
    batch3d_.clear();
}

void Graphics::Submit3D(Primitive kind, int32_t texture, bool wrap, const Vertex3D* v, size_t n) {
    if (!device_ || n == 0) return;
    Primitive list = ListOf(kind);
    Batch cls = list == Primitive::kPoints  ? Batch::kPoints
                : list == Primitive::kLines ? Batch::kLines
                                            : Batch::kTriangles;
    if (!TextureExists(texture)) texture = -1;
    // The 2D batch goes first (there is never both a 2D and a 3D batch).
    if (!batch_.empty()) Flush();
    // Batches stay below the device's comfortable size even for a primitive of 32 001 vertices.
    constexpr size_t kBatch3DLimit = 6 * 8192;
    if (cls != batch3d_kind_ || texture != batch3d_tex_ || wrap != batch3d_wrap_ ||
        batch3d_.size() > kBatch3DLimit) {
        Flush3D();
        batch3d_kind_ = cls, batch3d_tex_ = texture, batch3d_wrap_ = wrap;
    }
    AppendAsList(kind, v, n, batch3d_);
}

void Graphics::Primitive3DBegin(int32_t kind, int32_t texture) {
    prim3d_kind_ = kind;
    prim3d_tex_ = texture;
    prim3d_.clear();
}

void Graphics::Primitive3DVertex(const Vertex3D& v) {
    if (prim3d_.size() >= kPrimitive3DCapacity) return;
    prim3d_.push_back(v);
}

void Graphics::Primitive3DEnd() {
    if (prim3d_kind_ < 1 || prim3d_kind_ > 6) return;
    Submit3D(Primitive(prim3d_kind_), prim3d_tex_, texture_repeat_, prim3d_.data(), prim3d_.size());
}

namespace {

class SubmitSink final : public ShapeSink {
public:
    SubmitSink(Graphics& g, int32_t tex) : g_(g), tex_(tex) {}
    void Face(Primitive kind, std::span<const Vertex3D> v) override {
        g_.Submit3D(kind, tex_, true, v.data(), v.size());
    }

private:
    Graphics& g_;
    int32_t tex_;
};

}  // namespace

void Graphics::DrawShape(int32_t shape, double x1, double y1, double z1, double x2, double y2,
                         double z2, int32_t texture, double hrepeat, double vrepeat, bool closed,
                         int32_t steps) {
    if (!device_) return;
    SubmitSink sink(*this, texture);
    ShapeFaces(shape, ShapeBox{x1, y1, z1, x2, y2, z2, hrepeat, vrepeat, vertex_color_}, closed,
               steps, sink);
}

// ---- Models -------------------------------------------------------------------------------

int32_t Graphics::ModelCreate() {
    size_t slot = 0;
    while (slot < models_.size() && models_[slot].model) ++slot;
    if (slot == models_.size()) models_.emplace_back();
    models_[slot] = ModelSlot{};
    models_[slot].model = std::make_unique<C3D_Model>();
    return int32_t(slot);
}

void Graphics::ModelDestroy(int32_t id) {
    C3D_Model* m = GetModel(id);
    if (!m) return;
    ModelSlot& slot = models_[size_t(id)];
    if (slot.mesh && device_) {
        Flush();
        device_->FreeMesh(slot.mesh);
    }
    slot = ModelSlot{};
}

C3D_Model* Graphics::GetModel(int32_t id) {
    if (id < 0 || size_t(id) >= models_.size()) return nullptr;
    return models_[size_t(id)].model.get();
}

namespace {

// Collects a model's geometry as lists, in runs that share list class and texture addressing.
class ModelBuilder final : public ShapeSink {
public:
    struct Range {
        Primitive kind;
        bool repeat;
        uint32_t first, count;
    };

    void Face(Primitive kind, std::span<const Vertex3D> v) override {
        Add(kind, true, v.data(), v.size(), true);
    }

    // Appends a primitive; `plain` vertices take the current vertex colour at draw time.
    void Add(Primitive kind, bool repeat, const Vertex3D* v, size_t n, bool all_plain,
             const std::vector<bool>* plain = nullptr) {
        size_t before = vertices.size();
        AppendAsList(kind, v, n, vertices);
        size_t added = vertices.size() - before;
        if (!added) return;
        if (all_plain) {
            follows.resize(vertices.size(), 1);
        } else if (plain) {
            // The lists repeat the primitive's vertices: the same expansion of their indices
            // tells where each one came from.
            std::vector<uint32_t> index(n), expanded;
            for (size_t i = 0; i < n; ++i) index[i] = uint32_t(i);
            AppendAsList(kind, index.data(), n, expanded);
            for (size_t i = 0; i < expanded.size(); ++i) follows.push_back((*plain)[expanded[i]]);
        } else {
            follows.resize(vertices.size(), 0);
        }
        Primitive list = ListOf(kind);
        if (!ranges.empty() && ranges.back().kind == list && ranges.back().repeat == repeat)
            ranges.back().count += uint32_t(added);
        else
            ranges.push_back(Range{list, repeat, uint32_t(before), uint32_t(added)});
    }

    std::vector<Vertex3D> vertices;
    std::vector<Range> ranges;
    std::vector<uint8_t> follows;  // 1: the vertex takes the drawing colour
};

}  // namespace

// Replays the commands as drawing would, at (0, 0, 0), into lists, and puts them on the device.
// Vertices without a colour of their own follow the drawing colour when the model is drawn.
void Graphics::BuildModel(ModelSlot& slot) {
    ModelBuilder b;
    int32_t kind = 0;
    std::vector<Vertex3D> prim;
    std::vector<bool> plain;
    for (const ModelCommand& c : slot.model->Commands()) {
        const double* v = c.values;
        if (c.code == kModelPrimitiveBegin) {
            kind = RoundInt(v[0]);
            prim.clear();
            plain.clear();
        } else if (c.code == kModelPrimitiveEnd) {
            if (kind >= 1 && kind <= 6)
                b.Add(Primitive(kind), false, prim.data(), prim.size(), false, &plain);
        } else if (c.code >= kModelVertex && c.code <= kModelVertexNormalTextureColor) {
            if (prim.size() >= kPrimitive3DCapacity) continue;
            Vertex3D p{float(v[0]), float(v[1]), float(v[2]), 0, 0, 0, 0, 0, 0};
            bool normal = c.code >= kModelVertexNormal;
            int32_t rest = normal ? 6 : 3;  // the values after position and normal
            if (normal) p.nx = float(v[3]), p.ny = float(v[4]), p.nz = float(v[5]);
            int32_t form = (c.code - kModelVertex) % 4;  // 0 plain, 1 colour, 2 texture, 3 both
            if (form >= 2) {
                p.u = float(v[rest]), p.v = float(v[rest + 1]);
                rest += 2;
            }
            bool coloured = form == 1 || form == 3;
            if (coloured) p.color = ScriptColorToDevice(RoundInt(v[rest]), v[rest + 1]);
            prim.push_back(p);
            plain.push_back(!coloured);
        } else if (c.code >= kModelBlock && c.code <= kModelFloor) {
            ShapeBox box{v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], 0};
            bool closed = v[8] >= 0.5;
            int32_t steps = RoundInt(c.code == kModelEllipsoid ? v[8] : v[9]);
            ShapeFaces(c.code, box, closed, steps, b);
        }
    }
    slot.ranges.clear();
    for (const ModelBuilder::Range& r : b.ranges) {
        Batch k = r.kind == Primitive::kPoints  ? Batch::kPoints
                  : r.kind == Primitive::kLines ? Batch::kLines
                                                : Batch::kTriangles;
        slot.ranges.push_back(ModelRange{k, r.repeat, r.first, r.count});
    }
    slot.revision = slot.model->Revision();
    if (!b.vertices.empty())
        slot.mesh = device_->CreateMesh(b.vertices.data(), b.follows.data(), b.vertices.size());
}

void Graphics::ModelDraw(int32_t id, double x, double y, double z, int32_t texture) {
    C3D_Model* model = GetModel(id);
    if (!model || !device_) return;
    ModelSlot& slot = models_[size_t(id)];
    Flush();
    if (slot.revision != model->Revision()) {
        if (slot.mesh) device_->FreeMesh(slot.mesh);
        slot.mesh = 0;
        BuildModel(slot);
    }
    if (!slot.mesh) return;
    // The model's positions are relative to the point it is drawn at.
    Mat4 world = world_;
    world_ = Mat4::Translation(x, y, z) * world;
    UpdateTransform();
    DeviceTexture tex = Handle(texture);
    for (const ModelRange& r : slot.ranges) {
        Primitive kind = r.kind == Batch::kPoints  ? Primitive::kPoints
                         : r.kind == Batch::kLines ? Primitive::kLines
                                                   : Primitive::kTriangles;
        device_->DrawMesh(slot.mesh, kind, tex, r.repeat || texture_repeat_, vertex_color_, r.first,
                          r.count);
        ++draw_calls_;
    }
    world_ = world;
    UpdateTransform();
}

}  // namespace kr

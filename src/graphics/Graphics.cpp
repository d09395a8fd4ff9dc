#include "graphics/Graphics.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "data/Background.h"
#include "data/Sprite.h"

namespace kr {

namespace {

constexpr double kPi = std::numbers::pi;

// Larger textures are refused rather than risked: 256 MB of pixels.
constexpr int64_t kMaxTexturePixels = int64_t(1) << 26;

// A batch is sent once it holds this many vertices, keeping the device's buffers small.
constexpr size_t kBatchLimit = 6 * 8192;

int32_t MergeChannel(int32_t a, int32_t b, double amount) {
    return int32_t(std::nearbyint((1 - amount) * a + amount * b));
}

int32_t MergeColor(int32_t c1, int32_t c2, double amount) {
    int32_t r = MergeChannel(c1 & 0xFF, c2 & 0xFF, amount);
    int32_t g = MergeChannel((c1 >> 8) & 0xFF, (c2 >> 8) & 0xFF, amount);
    int32_t b = MergeChannel((c1 >> 16) & 0xFF, (c2 >> 16) & 0xFF, amount);
    return (r & 0xFF) | (g & 0xFF) << 8 | (b & 0xFF) << 16;
}

// Integer corners get 0.01 more so that the shape covers the pixel column and row at x2, y2.
void OrderCorners(double& x1, double& y1, double& x2, double& y2) {
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    if (x2 == std::floor(x2)) x2 += 0.01;
    if (y2 == std::floor(y2)) y2 += 0.01;
}

}  // namespace

Graphics::Graphics() {
    BuildCircleTables();
    batch_.reserve(kBatchLimit + 64);
}

Graphics::~Graphics() {
    // Device textures go with the device.
    batch_.clear();
}

// ---- Device ------------------------------------------------------------------------------

void Graphics::SetDevice(std::unique_ptr<GraphicsDevice> device) {
    batch_.clear();
    batch_kind_ = Batch::kNone;
    surfaces_.clear();
    target_ = -1;
    textures_.clear();
    device_ = std::move(device);
    if (!device_) return;
    device_->SetPictureSize(region_w_, region_h_);
    device_->SetBlend(blend_src_, blend_dest_);
    device_->SetTextureStates(interpolate_, texture_blending_);
    device_->SetVsync(synchronize_);
    device_->SetTarget(0);
    Restore3D();
    SetViewport(0, 0, region_w_, region_h_);
    SetProjection(0, 0, region_w_, region_h_, 0);
    device_->Clear(0xFF000000);
}

// ---- Textures ----------------------------------------------------------------------------

int32_t Graphics::TextureCreate(int32_t width, int32_t height, bool render_target) {
    if (!device_ || width < 1 || height < 1 || int64_t(width) * height > kMaxTexturePixels)
        return -1;
    DeviceTexture t = device_->CreateTexture(width, height, render_target);
    if (!t) return -1;
    size_t slot = 0;
    while (slot < textures_.size() && textures_[slot].in_use) ++slot;
    if (slot == textures_.size()) textures_.emplace_back();
    textures_[slot] = RTexture{t, width, height, width, height, true, render_target, nullptr};
    return int32_t(slot);
}

bool Graphics::TextureLoad(int32_t id, const TBitmap32& image) {
    if (!TextureExists(id) || image.Empty()) return false;
    Flush();
    const RTexture& t = textures_[size_t(id)];
    int32_t w = std::min(image.Width(), t.width), h = std::min(image.Height(), t.height);
    if (w == t.tex_width && h == t.tex_height && w == image.Width())
        return device_->UploadTexture(t.texture, w, h, image.Pixels());
    // The image's last column and row are repeated once so that filtering at the edge does not
    // pull in texels that were never defined.
    int32_t cw = std::min(w + 1, t.tex_width), ch = std::min(h + 1, t.tex_height);
    std::vector<Bgra> buffer(size_t(cw) * size_t(ch));
    for (int32_t y = 0; y < ch; ++y) {
        const Bgra* src = image.Row(std::min(y, h - 1));
        Bgra* dst = buffer.data() + size_t(y) * size_t(cw);
        std::copy(src, src + w, dst);
        if (cw > w) dst[w] = src[w - 1];
    }
    return device_->UploadTexture(t.texture, cw, ch, buffer.data());
}

int32_t Graphics::TextureFromImage(const TBitmap32& image) {
    if (image.Empty()) return -1;
    int32_t id = TextureCreate(image.Width(), image.Height(), false);
    if (id < 0) return -1;
    if (!TextureLoad(id, image)) {
        TextureFree(id);
        return -1;
    }
    return id;
}

int32_t Graphics::TextureFromAlpha(int32_t width, int32_t height, std::span<const uint8_t> alpha) {
    if (width < 1 || height < 1 || alpha.size() < size_t(width) * size_t(height)) return -1;
    TBitmap32 image(width, height);
    if (image.Empty()) return -1;
    for (size_t i = 0; i < image.PixelCount(); ++i)
        image.Pixels()[i] = Bgra{255, 255, 255, alpha[i]};
    return TextureFromImage(image);
}

void Graphics::TextureFree(int32_t id) {
    if (!TextureExists(id)) return;
    Flush();
    RTexture& t = textures_[size_t(id)];
    if (device_) device_->FreeTexture(t.texture);
    t = RTexture{};
}

bool Graphics::TextureExists(int32_t id) const {
    return id >= 0 && size_t(id) < textures_.size() && textures_[size_t(id)].in_use;
}

const RTexture* Graphics::Texture(int32_t id) const {
    return TextureExists(id) ? &textures_[size_t(id)] : nullptr;
}

double Graphics::TextureWidth(int32_t id) const {
    const RTexture* t = Texture(id);
    return t ? double(t->width) / t->tex_width : 1.0;
}

double Graphics::TextureHeight(int32_t id) const {
    const RTexture* t = Texture(id);
    return t ? double(t->height) / t->tex_height : 1.0;
}

DeviceTexture Graphics::Handle(int32_t tex) const {
    return TextureExists(tex) ? textures_[size_t(tex)].texture : 0;
}

// A resource's texture is remade when its pixels moved or changed size (the image was
// replaced); the stored id is kept up to date.
static bool Current(const RTexture* t, const TBitmap32& image) {
    return t && t->source == image.Pixels() && t->width == image.Width() &&
           t->height == image.Height();
}

int32_t Graphics::SpriteTexture(CSprite& sprite, int32_t frame) {
    if (frame < 0 || frame >= sprite.FrameCount()) return -1;
    if (sprite.textures.size() != sprite.frames.size())
        sprite.textures.resize(sprite.frames.size(), -1);
    int32_t& id = sprite.textures[size_t(frame)];
    const TBitmap32& image = sprite.frames[size_t(frame)];
    if (Current(Texture(id), image)) return id;
    if (!device_) return -1;
    // An id that is not this image's any more may belong to someone else now: never free it.
    id = TextureFromImage(image);
    if (id >= 0) textures_[size_t(id)].source = image.Pixels();
    return id;
}

int32_t Graphics::BackgroundTexture(CBackground& background) {
    int32_t& id = background.texture;
    if (Current(Texture(id), background.image)) return id;
    if (!device_) return -1;
    id = TextureFromImage(background.image);
    if (id >= 0) textures_[size_t(id)].source = background.image.Pixels();
    return id;
}

// ---- Drawing state -----------------------------------------------------------------------

void Graphics::SetColor(int32_t color) {
    color_ = color;
    vertex_color_ = ScriptColorToDevice(color_, alpha_);
}

void Graphics::SetAlpha(double alpha) {
    alpha_ = std::isnan(alpha) ? 0 : std::clamp(alpha, 0.0, 1.0);
    vertex_color_ = ScriptColorToDevice(color_, alpha_);
}

void Graphics::SetBlendMode(int32_t mode) {
    static constexpr int32_t kPairs[4][2] = {{5, 6}, {5, 2}, {5, 4}, {1, 4}};
    if (mode < 0 || mode > 3) mode = 0;
    SetBlendModeExt(kPairs[mode][0], kPairs[mode][1]);
}

void Graphics::SetBlendModeExt(int32_t source, int32_t destination) {
    if (source == blend_src_ && destination == blend_dest_) return;
    Flush();
    blend_src_ = source, blend_dest_ = destination;
    if (device_) device_->SetBlend(source, destination);
}

void Graphics::SetInterpolation(bool on) {
    if (on == interpolate_) return;
    Flush();
    interpolate_ = on;
    if (device_) device_->SetTextureStates(interpolate_, texture_blending_);
}

void Graphics::SetTextureBlending(bool on) {
    if (on == texture_blending_) return;
    Flush();
    texture_blending_ = on;
    if (device_) device_->SetTextureStates(interpolate_, texture_blending_);
}

void Graphics::SetTextureRepeat(bool on) {
    texture_repeat_ = on;
}

void Graphics::SetCirclePrecision(int32_t precision) {
    precision = std::clamp(precision, 4, 64) / 4 * 4;
    if (precision == precision_) return;
    precision_ = precision;
    BuildCircleTables();
}

void Graphics::BuildCircleTables() {
    cos_.resize(size_t(precision_) + 1);
    sin_.resize(size_t(precision_) + 1);
    for (int32_t i = 0; i <= precision_; ++i) {
        cos_[size_t(i)] = std::cos(2 * kPi * i / precision_);
        sin_[size_t(i)] = std::sin(2 * kPi * i / precision_);
    }
}

void Graphics::SetSynchronization(bool on) {
    synchronize_ = on;
    if (device_) device_->SetVsync(on);
}

// ---- Viewport and projection -------------------------------------------------------------

void Graphics::SetViewport(int32_t x, int32_t y, int32_t width, int32_t height) {
    Flush();
    vp_x_ = x, vp_y_ = y, vp_w_ = width, vp_h_ = height;
    if (device_) device_->SetViewport(x, y, width, height);
    if (!custom_transform_) ApplyTransform();
}

void Graphics::SetProjection(double x, double y, double width, double height, double angle) {
    Flush();
    pr_x_ = x, pr_y_ = y, pr_w_ = width, pr_h_ = height, pr_angle_ = angle;
    custom_transform_ = false;
    ApplyTransform();
}

void Graphics::SetTransform3D(const float* matrix) {
    Flush();
    custom_transform_ = true;
    std::copy(matrix, matrix + 16, transform_.begin());
    if (device_) device_->SetTransform(transform_.data());
}

void Graphics::ResetProjection() {
    int32_t w = region_w_, h = region_h_;
    if (const Surface* s = GetSurface(target_)) w = s->width, h = s->height;
    SetViewport(0, 0, w, h);
    SetProjection(0, 0, w, h, 0);
}

// The room area's centre goes to the viewport's centre, turned by the angle; room y grows
// downwards. In 3D mode with perspective on, the eye stands the area's width in front of the
// area and looks at it through a perspective projection; otherwise it looks from z = -16000
// through an orthographic one, which keeps 2D drawing flat.
void Graphics::ApplyTransform() {
    double t = -pr_angle_ * kPi / 180;
    const double up[3] = {std::sin(t), std::cos(t), 0};
    double cx = pr_x_ + pr_w_ / 2, cy = pr_y_ + pr_h_ / 2;
    const double at[3] = {cx, cy, 0};
    double w = pr_w_ != 0 ? pr_w_ : 1, h = pr_h_ != 0 ? pr_h_ : 1;
    if (mode3d_ && perspective_) {
        const double eye[3] = {cx, cy, -w};
        view_ = Mat4::LookAtLH(eye, at, up);
        proj_ = Mat4::PerspectiveLH(1, h / w, 1, 32000);
    } else {
        const double eye[3] = {cx, cy, -16000};
        view_ = Mat4::LookAtLH(eye, at, up);
        proj_ = Mat4::OrthoLH(w, -h, 1, 32000);
    }
    UpdateTransform();
}

// ---- Batching ----------------------------------------------------------------------------

void Graphics::Flush() {
    if (!batch3d_.empty()) Flush3D();
    if (batch_.empty()) return;
    if (device_) {
        Primitive kind = batch_kind_ == Batch::kPoints  ? Primitive::kPoints
                         : batch_kind_ == Batch::kLines ? Primitive::kLines
                                                        : Primitive::kTriangles;
        device_->Draw(kind, Handle(batch_tex_), batch_wrap_, batch_.data(), batch_.size());
        ++draw_calls_;
    }
    batch_.clear();
}

void Graphics::Submit(Primitive kind, int32_t texture, bool wrap, const Vertex* v, size_t n) {
    if (!device_ || n == 0) return;
    Batch cls = kind == Primitive::kPoints                                   ? Batch::kPoints
                : kind == Primitive::kLines || kind == Primitive::kLineStrip ? Batch::kLines
                                                                             : Batch::kTriangles;
    if (!TextureExists(texture)) texture = -1;
    if (!batch3d_.empty()) Flush3D();
    if (cls != batch_kind_ || texture != batch_tex_ || wrap != batch_wrap_ ||
        batch_.size() > kBatchLimit) {
        Flush();
        batch_kind_ = cls, batch_tex_ = texture, batch_wrap_ = wrap;
    }
    switch (kind) {
        case Primitive::kPoints:
        case Primitive::kTriangles:
            batch_.insert(batch_.end(), v, v + (kind == Primitive::kTriangles ? n / 3 * 3 : n));
            break;
        case Primitive::kLines:
            batch_.insert(batch_.end(), v, v + n / 2 * 2);
            break;
        case Primitive::kLineStrip:
            for (size_t i = 1; i < n; ++i) {
                batch_.push_back(v[i - 1]);
                batch_.push_back(v[i]);
            }
            break;
        case Primitive::kTriangleStrip:
            for (size_t i = 2; i < n; ++i) {
                // Every other triangle is turned back so that all keep one winding.
                bool odd = i % 2 != 0;
                batch_.push_back(v[odd ? i - 1 : i - 2]);
                batch_.push_back(v[odd ? i - 2 : i - 1]);
                batch_.push_back(v[i]);
            }
            break;
        case Primitive::kTriangleFan:
            for (size_t i = 2; i < n; ++i) {
                batch_.push_back(v[0]);
                batch_.push_back(v[i - 1]);
                batch_.push_back(v[i]);
            }
            break;
    }
}

Vertex Graphics::V(double x, double y, uint32_t c) const {
    return Vertex{float(x), float(y), depth_, c, 0, 0};
}

void Graphics::Fan(const Vertex* v, size_t n) {
    Submit(Primitive::kTriangleFan, -1, false, v, n);
}

void Graphics::Strip(Primitive kind, const Vertex* v, size_t n) {
    Submit(kind, -1, false, v, n);
}

// ---- Clearing ----------------------------------------------------------------------------

void Graphics::Clear(int32_t color, double alpha) {
    if (!device_) return;
    Flush();
    device_->Clear(ScriptColorToDevice(color, alpha));
}

// ---- Textured quads ----------------------------------------------------------------------

void Graphics::Quad(int32_t tex, const double (&xy)[8], double u0, double v0, double u1, double v1,
                    const uint32_t (&c)[4]) {
    Vertex q[6] = {
        {float(xy[0]), float(xy[1]), depth_, c[0], float(u0), float(v0)},
        {float(xy[2]), float(xy[3]), depth_, c[1], float(u1), float(v0)},
        {float(xy[4]), float(xy[5]), depth_, c[2], float(u1), float(v1)},
        {float(xy[0]), float(xy[1]), depth_, c[0], float(u0), float(v0)},
        {float(xy[4]), float(xy[5]), depth_, c[2], float(u1), float(v1)},
        {float(xy[6]), float(xy[7]), depth_, c[3], float(u0), float(v1)},
    };
    Submit(Primitive::kTriangles, tex, false, q, 6);
}

void Graphics::DrawTexture(int32_t tex, double x, double y) {
    const RTexture* t = Texture(tex);
    if (!t || !device_) return;
    double l = x - 0.5, top = y - 0.5, r = l + t->width, b = top + t->height;
    const double xy[8] = {l, top, r, top, r, b, l, b};
    constexpr uint32_t w = 0xFFFFFFFF;
    Quad(tex, xy, 0, 0, double(t->width) / t->tex_width, double(t->height) / t->tex_height,
         {w, w, w, w});
}

// Corner offsets (dx, dy) around (x, y), turned counter-clockwise on the screen by `angle`
// radians.
static void Place(double (&xy)[8], const double (&d)[8], double x, double y, double angle) {
    if (std::fabs(angle) < 0.001) {
        for (int i = 0; i < 8; i += 2) xy[i] = x + d[i], xy[i + 1] = y + d[i + 1];
        return;
    }
    double s = std::sin(angle), c = std::cos(angle);
    for (int i = 0; i < 8; i += 2) {
        xy[i] = x + d[i] * c + d[i + 1] * s;
        xy[i + 1] = y - d[i] * s + d[i + 1] * c;
    }
}

void Graphics::DrawTextureExt(int32_t tex, uint32_t color, double xorig, double yorig, double x,
                              double y, double xscale, double yscale, double angle) {
    const RTexture* t = Texture(tex);
    if (!t || !device_) return;
    double l = -xscale * xorig - 0.5, top = -yscale * yorig - 0.5;
    double r = l + t->width * xscale, b = top + t->height * yscale;
    const double d[8] = {l, top, r, top, r, b, l, b};
    double xy[8];
    Place(xy, d, x, y, angle);
    Quad(tex, xy, 0, 0, double(t->width) / t->tex_width, double(t->height) / t->tex_height,
         {color, color, color, color});
}

void Graphics::DrawTexturePart(int32_t tex, uint32_t color, double left, double top, double width,
                               double height, double x, double y, double xscale, double yscale,
                               double angle) {
    DrawTextureGeneral(tex, left, top, width, height, x, y, xscale, yscale, angle, color, color,
                       color, color);
}

void Graphics::DrawTextureGeneral(int32_t tex, double left, double top, double width, double height,
                                  double x, double y, double xscale, double yscale, double angle,
                                  uint32_t c1, uint32_t c2, uint32_t c3, uint32_t c4) {
    const RTexture* t = Texture(tex);
    if (!t || !device_) return;
    double l = -0.5, tp = -0.5, r = l + width * xscale, b = tp + height * yscale;
    const double d[8] = {l, tp, r, tp, r, b, l, b};
    double xy[8];
    Place(xy, d, x, y, angle);
    Quad(tex, xy, left / t->tex_width, top / t->tex_height, (left + width) / t->tex_width,
         (top + height) / t->tex_height, {c1, c2, c3, c4});
}

void Graphics::DrawTextureStretched(int32_t tex, uint32_t color, double x, double y, double w,
                                    double h) {
    const RTexture* t = Texture(tex);
    if (!t || w <= 0 || h <= 0 || t->width < 1 || t->height < 1) return;
    DrawTextureExt(tex, color, 0, 0, x, y, w / t->width, h / t->height, 0);
}

void Graphics::DrawTextureTiled(int32_t tex, bool htiled, bool vtiled, double xorig, double yorig,
                                double x, double y, double xscale, double yscale, double left,
                                double top, double width, double height, uint32_t color) {
    const RTexture* t = Texture(tex);
    if (!t || !device_) return;
    double stepx = std::nearbyint(t->width * xscale), stepy = std::nearbyint(t->height * yscale);
    if (stepx <= 0 || stepy <= 0) return;
    auto first = [](double pos, double step, double start, bool tiled) {
        double p = std::nearbyint(pos);
        if (!tiled) return p;
        p = std::fmod(p, step);
        if (p > 0) p -= step;
        while (p + step < start) p += step;
        return p;
    };
    double x0 = first(x, stepx, left, htiled), y0 = first(y, stepy, top, vtiled);
    for (double cx = x0; cx < left + width; cx += stepx) {
        for (double cy = y0; cy < top + height; cy += stepy) {
            DrawTextureExt(tex, color, xorig, yorig, cx, cy, xscale, yscale, 0);
            if (!vtiled) break;
        }
        if (!htiled) break;
    }
}

// ---- Shapes ------------------------------------------------------------------------------

void Graphics::DrawPoint(double x, double y, uint32_t c) {
    Vertex v = V(x, y, c);
    Submit(Primitive::kPoints, -1, false, &v, 1);
}

void Graphics::DrawLine(double x1, double y1, double x2, double y2, uint32_t c1, uint32_t c2) {
    Vertex v[2] = {V(x1, y1, c1), V(x2, y2, c2)};
    Submit(Primitive::kLines, -1, false, v, 2);
}

void Graphics::DrawLineWidth(double x1, double y1, double x2, double y2, double w, uint32_t c1,
                             uint32_t c2) {
    double len = std::hypot(x2 - x1, y2 - y1);
    if (len == 0) return;
    double ox = (x2 - x1) * w / 2 / len, oy = (y2 - y1) * w / 2 / len;
    Vertex v[4] = {V(x1 - oy, y1 + ox, c1), V(x2 - oy, y2 + ox, c2), V(x2 + oy, y2 - ox, c2),
                   V(x1 + oy, y1 - ox, c1)};
    Fan(v, 4);
}

void Graphics::DrawRectangle(double x1, double y1, double x2, double y2, uint32_t c1, uint32_t c2,
                             uint32_t c3, uint32_t c4, bool outline) {
    OrderCorners(x1, y1, x2, y2);
    Vertex v[5] = {V(x1, y1, c1), V(x2, y1, c2), V(x2, y2, c3), V(x1, y2, c4), V(x1, y1, c1)};
    if (outline)
        Strip(Primitive::kLineStrip, v, 5);
    else
        Fan(v, 4);
}

void Graphics::DrawRoundRect(double x1, double y1, double x2, double y2, uint32_t centre,
                             uint32_t rim, bool outline) {
    OrderCorners(x1, y1, x2, y2);
    double w = x2 - x1, h = y2 - y1;
    double cw = std::min(10.0, w), ch = std::min(10.0, h);
    double mx = (x1 + x2) / 2, my = (y1 + y2) / 2;
    double dx = w / 2 - cw / 2, dy = h / 2 - ch / 2;
    const int32_t n = precision_, q = n / 4;
    scratch_.clear();
    if (!outline) scratch_.push_back(V(mx, my, centre));
    // Quarter arcs: lower right, lower left, upper left, upper right (angles increasing, with
    // y downwards).
    static constexpr int kSign[4][2] = {{1, 1}, {-1, 1}, {-1, -1}, {1, -1}};
    for (int k = 0; k < 4; ++k) {
        double ax = mx + kSign[k][0] * dx, ay = my + kSign[k][1] * dy;
        for (int32_t i = k * q; i <= (k + 1) * q; ++i)
            scratch_.push_back(
                V(ax + cw / 2 * cos_[size_t(i)], ay + ch / 2 * sin_[size_t(i)], rim));
    }
    scratch_.push_back(scratch_[outline ? 0 : 1]);
    std::vector<Vertex> v = scratch_;
    if (outline)
        Strip(Primitive::kLineStrip, v.data(), v.size());
    else
        Fan(v.data(), v.size());
}

void Graphics::DrawTriangle(double x1, double y1, double x2, double y2, double x3, double y3,
                            uint32_t c1, uint32_t c2, uint32_t c3, bool outline) {
    Vertex v[4] = {V(x1, y1, c1), V(x2, y2, c2), V(x3, y3, c3), V(x1, y1, c1)};
    if (outline)
        Strip(Primitive::kLineStrip, v, 4);
    else
        Submit(Primitive::kTriangles, -1, false, v, 3);
}

void Graphics::DrawEllipse(double x1, double y1, double x2, double y2, uint32_t centre,
                           uint32_t rim, bool outline) {
    double mx = (x1 + x2) / 2, my = (y1 + y2) / 2;
    double rx = std::fabs(x2 - x1) / 2, ry = std::fabs(y2 - y1) / 2;
    scratch_.clear();
    if (!outline) scratch_.push_back(V(mx, my, centre));
    for (int32_t i = 0; i <= precision_; ++i)
        scratch_.push_back(V(mx + rx * cos_[size_t(i)], my + ry * sin_[size_t(i)], rim));
    std::vector<Vertex> v = scratch_;
    if (outline)
        Strip(Primitive::kLineStrip, v.data(), v.size());
    else
        Fan(v.data(), v.size());
}

void Graphics::DrawArrow(double x1, double y1, double x2, double y2, double size) {
    double len = std::hypot(x2 - x1, y2 - y1);
    if (len == 0) return;
    double s = std::min(size, len);
    double dx = (x2 - x1) * s / len, dy = (y2 - y1) * s / len;
    uint32_t c = vertex_color_;
    DrawLine(x1, y1, x2, y2, c, c);
    Vertex v[3] = {V(x2 - dx - dy / 3, y2 - dy + dx / 3, c), V(x2, y2, c),
                   V(x2 - dx + dy / 3, y2 - dy - dx / 3, c)};
    Submit(Primitive::kTriangles, -1, false, v, 3);
}

void Graphics::DrawButton(double x1, double y1, double x2, double y2, bool up) {
    uint32_t light = ScriptColorToDevice(0xFFFFFF, alpha_);
    uint32_t dark = ScriptColorToDevice(0x808080, alpha_);
    if (!up) std::swap(light, dark);
    Vertex v[6] = {V(x1, y1, light), V(x2, y1, light), V(x1, y2, light),
                   V(x1, y2, dark),  V(x2, y1, dark),  V(x2, y2, dark)};
    Submit(Primitive::kTriangles, -1, false, v, 6);
    uint32_t c = vertex_color_;
    DrawRectangle(x1 + 2, y1 + 2, x2 - 2, y2 - 2, c, c, c, c, false);
}

void Graphics::DrawHealthbar(double x1, double y1, double x2, double y2, double amount,
                             int32_t backcol, int32_t mincol, int32_t maxcol, int32_t direction,
                             bool showback, bool showborder) {
    const uint32_t black = ScriptColorToDevice(0, alpha_);
    if (showback) {
        uint32_t b = ScriptColorToDevice(backcol, alpha_);
        DrawRectangle(x1, y1, x2, y2, b, b, b, b, false);
        if (showborder) DrawRectangle(x1, y1, x2, y2, black, black, black, black, true);
    }
    amount = std::clamp(std::isnan(amount) ? 0.0 : amount, 0.0, 100.0);
    double f = amount / 100;
    double bx1 = x1, by1 = y1, bx2 = x2, by2 = y2;
    switch (direction) {
        case 1:
            bx1 = x2 - (x2 - x1) * f;
            break;
        case 2:
            by2 = y1 + (y2 - y1) * f;
            break;
        case 3:
            by1 = y2 - (y2 - y1) * f;
            break;
        default:
            bx2 = x1 + (x2 - x1) * f;
            break;
    }
    int32_t mid = MergeColor(mincol, maxcol, 0.5);
    int32_t col = amount <= 50 ? MergeColor(mincol, mid, amount / 50)
                               : MergeColor(mid, maxcol, (amount - 50) / 50);
    uint32_t c = ScriptColorToDevice(col, alpha_);
    DrawRectangle(bx1, by1, bx2, by2, c, c, c, c, false);
    if (showborder) DrawRectangle(bx1, by1, bx2, by2, black, black, black, black, true);
}

// ---- User primitives ---------------------------------------------------------------------

void Graphics::PrimitiveBegin(int32_t kind, int32_t texture) {
    prim_kind_ = kind;
    prim_tex_ = texture;
    prim_.clear();
}

void Graphics::PrimitiveVertex(double x, double y, uint32_t color, double u, double v) {
    if (prim_.size() >= kPrimitiveCapacity) return;
    prim_.push_back(Vertex{float(x), float(y), depth_, color, float(u), float(v)});
}

void Graphics::PrimitiveEnd() {
    if (prim_kind_ < 1 || prim_kind_ > 6) return;
    Submit(Primitive(prim_kind_), prim_tex_, texture_repeat_, prim_.data(), prim_.size());
    prim_.clear();
}

// ---- The window region -------------------------------------------------------------------

void Graphics::SetRegionSize(int32_t width, int32_t height) {
    int32_t old_w = region_w_, old_h = region_h_;
    if (width > 0) region_w_ = width;
    if (height > 0) region_h_ = height;
    if (!device_) return;
    Flush();
    // A picture the device cannot make leaves the region as it was.
    if (int64_t(region_w_) * region_h_ > kMaxTexturePixels ||
        !device_->SetPictureSize(region_w_, region_h_)) {
        region_w_ = old_w, region_h_ = old_h;
        return;
    }
    if (target_ < 0) ResetProjection();
}

PixelRect Graphics::Placement(int32_t cw, int32_t ch) const {
    if (region_scale_ == 0) return {0, 0, cw, ch};
    double s = region_scale_;
    if (s < 0) s = std::min(double(cw) / region_w_, double(ch) / region_h_);
    int32_t w = int32_t(std::nearbyint(region_w_ * s)), h = int32_t(std::nearbyint(region_h_ * s));
    return {(cw - w) / 2, (ch - h) / 2, w, h};
}

void Graphics::ClientToRegion(int32_t mx, int32_t my, int32_t cw, int32_t ch, int32_t& rx,
                              int32_t& ry) const {
    if (region_scale_ == 0) {
        rx = int32_t(std::nearbyint(double(region_w_) * mx / std::max(1, cw)));
        ry = int32_t(std::nearbyint(double(region_h_) * my / std::max(1, ch)));
        return;
    }
    double s = region_scale_;
    if (s < 0) s = std::min(double(cw) / region_w_, double(ch) / region_h_);
    if (s == 0) {
        rx = ry = 0;
        return;
    }
    int32_t ox = (cw - int32_t(std::nearbyint(region_w_ * s))) / 2;
    int32_t oy = (ch - int32_t(std::nearbyint(region_h_ * s))) / 2;
    rx = int32_t(std::nearbyint((mx - ox) / s));
    ry = int32_t(std::nearbyint((my - oy) / s));
}

void Graphics::RegionToClient(int32_t rx, int32_t ry, int32_t cw, int32_t ch, int32_t& mx,
                              int32_t& my) const {
    PixelRect p = Placement(cw, ch);
    mx = p.x + int32_t(std::nearbyint(double(rx) * p.width / std::max(1, region_w_)));
    my = p.y + int32_t(std::nearbyint(double(ry) * p.height / std::max(1, region_h_)));
}

void Graphics::Present(int32_t cw, int32_t ch) {
    if (!device_) return;
    Flush();
    PresentLayout l;
    l.client_width = cw, l.client_height = ch;
    PixelRect p = Placement(cw, ch);
    l.x = p.x, l.y = p.y, l.width = p.width, l.height = p.height;
    l.band_color = ScriptColorToDevice(window_color_, 1);
    device_->Present(l);
}

// ---- Surfaces ----------------------------------------------------------------------------

int32_t Graphics::SurfaceCreate(int32_t width, int32_t height) {
    if (!device_ || width < 1 || height < 1 || width > device_->MaxTextureSize() ||
        height > device_->MaxTextureSize())
        return -1;
    int32_t tex = TextureCreate(width, height, true);
    if (tex < 0) return -1;
    size_t slot = 0;
    while (slot < surfaces_.size() && surfaces_[slot].in_use) ++slot;
    if (slot == surfaces_.size()) surfaces_.emplace_back();
    surfaces_[slot] = Surface{tex, width, height, true};
    return int32_t(slot);
}

void Graphics::SurfaceFree(int32_t id) {
    if (!SurfaceExists(id)) return;
    if (target_ == id) SurfaceResetTarget();
    TextureFree(surfaces_[size_t(id)].texture);
    surfaces_[size_t(id)] = Surface{};
}

bool Graphics::SurfaceExists(int32_t id) const {
    return id >= 0 && size_t(id) < surfaces_.size() && surfaces_[size_t(id)].in_use;
}

const Surface* Graphics::GetSurface(int32_t id) const {
    return SurfaceExists(id) ? &surfaces_[size_t(id)] : nullptr;
}

bool Graphics::SurfaceSetTarget(int32_t id) {
    if (!device_ || !SurfaceExists(id)) return false;
    if (target_ == id) return true;
    Flush();
    target_ = id;
    const Surface& s = surfaces_[size_t(id)];
    device_->SetTarget(Handle(s.texture));
    SetViewport(0, 0, s.width, s.height);
    SetProjection(0, 0, s.width, s.height, 0);
    return true;
}

bool Graphics::SurfaceResetTarget() {
    if (target_ < 0) return false;
    Flush();
    target_ = -1;
    if (device_) device_->SetTarget(0);
    ResetProjection();
    return true;
}

void Graphics::SurfaceCopyPart(int32_t destination, int32_t x, int32_t y, int32_t source,
                               int32_t xs, int32_t ys, int32_t ws, int32_t hs) {
    const Surface* d = GetSurface(destination);
    const Surface* s = GetSurface(source);
    if (!d || !s || !device_) return;
    if (xs < 0) x -= xs, ws += xs, xs = 0;
    if (ys < 0) y -= ys, hs += ys, ys = 0;
    ws = std::min(ws, s->width - xs), hs = std::min(hs, s->height - ys);
    if (x < 0) xs -= x, ws += x, x = 0;
    if (y < 0) ys -= y, hs += y, y = 0;
    ws = std::min(ws, d->width - x), hs = std::min(hs, d->height - y);
    if (ws <= 0 || hs <= 0) return;
    Flush();
    device_->CopyRect(Handle(s->texture), xs, ys, ws, hs, Handle(d->texture), x, y);
}

void Graphics::FreeAllSurfaces() {
    for (size_t i = 0; i < surfaces_.size(); ++i) SurfaceFree(int32_t(i));
}

// ---- Reading back ------------------------------------------------------------------------

TBitmap32 Graphics::Capture(int32_t surface, int32_t x, int32_t y, int32_t width, int32_t height) {
    TBitmap32 image;
    if (!device_) return image;
    int32_t tw = region_w_, th = region_h_;
    DeviceTexture tex = 0;
    if (surface >= 0) {
        const Surface* s = GetSurface(surface);
        if (!s) return image;
        tw = s->width, th = s->height, tex = Handle(s->texture);
    }
    x = std::max(x, 0), y = std::max(y, 0);
    width = std::min(width, tw - x), height = std::min(height, th - y);
    if (width < 1 || height < 1 || !image.SetSize(width, height, TBitmap32::Init::kUninitialized))
        return TBitmap32();
    Flush();
    if (!device_->ReadPixels(tex, x, y, width, height, image.Pixels())) return TBitmap32();
    return image;
}

int32_t Graphics::GetPixel(int32_t surface, int32_t x, int32_t y) {
    if (x < 0 || y < 0) return 0;
    TBitmap32 p = Capture(surface, x, y, 1, 1);
    return p.Empty() ? 0 : BgraToScriptColor(p.Pixels()[0]);
}

}  // namespace kr

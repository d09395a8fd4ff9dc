#include "graphics/DeferredDevice.h"

#include <array>
#include <utility>

namespace kr {
namespace {

// More kept states than this and the device is made after all, so that a game that sets
// states every step without drawing does not grow the list without bound.
constexpr size_t kMaxKept = 64;
// Every device this runs on takes pictures of this size.
constexpr int32_t kSurelyAccepted = 4096;

}  // namespace

DeferredDevice::DeferredDevice(MakeFn make) : make_(std::move(make)) {}

DeferredDevice::~DeferredDevice() = default;

GraphicsDevice* DeferredDevice::Real() const {
    if (!made_) {
        made_ = true;
        real_ = make_();
        make_ = nullptr;
        auto kept = std::move(kept_);
        kept_.clear();
        if (real_)
            for (auto& call : kept) call(*real_);
    }
    return real_.get();
}

void DeferredDevice::Keep(std::function<void(GraphicsDevice&)> call) {
    if (made_) {
        if (real_) call(*real_);
        return;
    }
    kept_.push_back(std::move(call));
    if (kept_.size() > kMaxKept) Real();
}

int32_t DeferredDevice::MaxTextureSize() const {
    GraphicsDevice* d = Real();
    return d ? d->MaxTextureSize() : 0;
}

DeviceTexture DeferredDevice::CreateTexture(int32_t w, int32_t h, bool render_target) {
    GraphicsDevice* d = Real();
    return d ? d->CreateTexture(w, h, render_target) : 0;
}

bool DeferredDevice::UploadTexture(DeviceTexture tex, int32_t w, int32_t h, const Bgra* pixels) {
    GraphicsDevice* d = Real();
    return d && d->UploadTexture(tex, w, h, pixels);
}

void DeferredDevice::FreeTexture(DeviceTexture tex) {
    // A texture exists only once the device does.
    if (real_) real_->FreeTexture(tex);
}

bool DeferredDevice::SetPictureSize(int32_t w, int32_t h) {
    // A size the device may refuse is tried at once, so that the refusal is seen.
    if (made_ || w > kSurelyAccepted || h > kSurelyAccepted) {
        GraphicsDevice* d = Real();
        return d && d->SetPictureSize(w, h);
    }
    Keep([w, h](GraphicsDevice& d) { d.SetPictureSize(w, h); });
    return true;
}

void DeferredDevice::SetTarget(DeviceTexture tex) {
    Keep([tex](GraphicsDevice& d) { d.SetTarget(tex); });
}

void DeferredDevice::SetViewport(int32_t x, int32_t y, int32_t w, int32_t h) {
    Keep([=](GraphicsDevice& d) { d.SetViewport(x, y, w, h); });
}

void DeferredDevice::SetTransform(const float* matrix) {
    std::array<float, 16> m;
    std::copy(matrix, matrix + 16, m.begin());
    Keep([m](GraphicsDevice& d) { d.SetTransform(m.data()); });
}

void DeferredDevice::SetBlend(int32_t source, int32_t destination) {
    Keep([=](GraphicsDevice& d) { d.SetBlend(source, destination); });
}

void DeferredDevice::SetTextureStates(bool interpolate, bool modulate) {
    Keep([=](GraphicsDevice& d) { d.SetTextureStates(interpolate, modulate); });
}

void DeferredDevice::Clear(uint32_t color) {
    Keep([color](GraphicsDevice& d) { d.Clear(color); });
}

void DeferredDevice::Draw(Primitive kind, DeviceTexture tex, bool wrap, const Vertex* vertices,
                          size_t count) {
    if (GraphicsDevice* d = Real()) d->Draw(kind, tex, wrap, vertices, count);
}

bool DeferredDevice::ReadPixels(DeviceTexture tex, int32_t x, int32_t y, int32_t w, int32_t h,
                                Bgra* out) {
    GraphicsDevice* d = Real();
    return d && d->ReadPixels(tex, x, y, w, h, out);
}

void DeferredDevice::CopyRect(DeviceTexture source, int32_t sx, int32_t sy, int32_t w, int32_t h,
                              DeviceTexture destination, int32_t dx, int32_t dy) {
    if (GraphicsDevice* d = Real()) d->CopyRect(source, sx, sy, w, h, destination, dx, dy);
}

void DeferredDevice::Present(const PresentLayout& layout) {
    if (GraphicsDevice* d = Real()) d->Present(layout);
}

void DeferredDevice::SetVsync(bool sync) {
    Keep([sync](GraphicsDevice& d) { d.SetVsync(sync); });
}

bool DeferredDevice::DrawableSize(int32_t& w, int32_t& h) {
    return real_ && real_->DrawableSize(w, h);
}

void DeferredDevice::Resume() {
    if (real_) real_->Resume();
}

bool DeferredDevice::SetDepthBuffer(bool on) {
    // The depth buffer is made with the device: 3D drawing follows at once anyway.
    GraphicsDevice* d = Real();
    return d && d->SetDepthBuffer(on);
}

void DeferredDevice::ClearDepth() {
    Keep([](GraphicsDevice& d) { d.ClearDepth(); });
}

void DeferredDevice::SetShading(const DeviceShading& shading) {
    Keep([shading](GraphicsDevice& d) { d.SetShading(shading); });
}

void DeferredDevice::SetWorldView(const float* world, const float* view) {
    std::array<float, 16> w, v;
    std::copy(world, world + 16, w.begin());
    std::copy(view, view + 16, v.begin());
    Keep([w, v](GraphicsDevice& d) { d.SetWorldView(w.data(), v.data()); });
}

void DeferredDevice::Draw3D(Primitive kind, DeviceTexture tex, bool wrap, const Vertex3D* vertices,
                            size_t count) {
    if (GraphicsDevice* d = Real()) d->Draw3D(kind, tex, wrap, vertices, count);
}

DeviceMesh DeferredDevice::CreateMesh(const Vertex3D* vertices, const uint8_t* follows,
                                      size_t count) {
    GraphicsDevice* d = Real();
    return d ? d->CreateMesh(vertices, follows, count) : 0;
}

void DeferredDevice::FreeMesh(DeviceMesh mesh) {
    // A mesh exists only once the device does.
    if (real_) real_->FreeMesh(mesh);
}

void DeferredDevice::DrawMesh(DeviceMesh mesh, Primitive kind, DeviceTexture tex, bool wrap,
                              uint32_t color, size_t first, size_t count) {
    if (GraphicsDevice* d = Real()) d->DrawMesh(mesh, kind, tex, wrap, color, first, count);
}

}  // namespace kr

// DeferredDevice: a graphics device that makes the real one only when something is drawn,
// read back or needs a texture. Until then it keeps the states it is given and hands them on
// when the real device is made. A headless run that ends before its first frame (a tool, a
// test, a game that only computes) so never loads the graphics driver, which costs more than
// everything else in starting such a run.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "graphics/GraphicsDevice.h"

namespace kr {

class DeferredDevice final : public GraphicsDevice {
public:
    // `make` returns the real device, or null when there is none (the run then draws nothing).
    using MakeFn = std::function<std::unique_ptr<GraphicsDevice>()>;
    explicit DeferredDevice(MakeFn make);
    ~DeferredDevice() override;

    // Whether the real device has been made (or tried).
    bool Made() const { return made_; }

    int32_t MaxTextureSize() const override;
    DeviceTexture CreateTexture(int32_t w, int32_t h, bool render_target) override;
    bool UploadTexture(DeviceTexture tex, int32_t w, int32_t h, const Bgra* pixels) override;
    void FreeTexture(DeviceTexture tex) override;
    bool SetPictureSize(int32_t w, int32_t h) override;
    void SetTarget(DeviceTexture tex) override;
    void SetViewport(int32_t x, int32_t y, int32_t w, int32_t h) override;
    void SetTransform(const float* matrix) override;
    void SetBlend(int32_t source, int32_t destination) override;
    void SetTextureStates(bool interpolate, bool modulate) override;
    void Clear(uint32_t color) override;
    void Draw(Primitive kind, DeviceTexture tex, bool wrap, const Vertex* vertices,
              size_t count) override;
    bool ReadPixels(DeviceTexture tex, int32_t x, int32_t y, int32_t w, int32_t h,
                    Bgra* out) override;
    void CopyRect(DeviceTexture source, int32_t sx, int32_t sy, int32_t w, int32_t h,
                  DeviceTexture destination, int32_t dx, int32_t dy) override;
    void Present(const PresentLayout& layout) override;
    void SetVsync(bool sync) override;
    // Only a real device shows anything: these never make one.
    bool DrawableSize(int32_t& w, int32_t& h) override;
    void Resume() override;
    bool SetDepthBuffer(bool on) override;
    void ClearDepth() override;
    void SetShading(const DeviceShading& shading) override;
    void SetWorldView(const float* world, const float* view) override;
    void Draw3D(Primitive kind, DeviceTexture tex, bool wrap, const Vertex3D* vertices,
                size_t count) override;
    DeviceMesh CreateMesh(const Vertex3D* vertices, const uint8_t* follows, size_t count) override;
    void FreeMesh(DeviceMesh mesh) override;
    void DrawMesh(DeviceMesh mesh, Primitive kind, DeviceTexture tex, bool wrap, uint32_t color,
                  size_t first, size_t count) override;

private:
    // The real device, made on first need; null when it could not be made.
    GraphicsDevice* Real() const;
    // A state call: kept while there is no device, passed on once there is one.
    void Keep(std::function<void(GraphicsDevice&)> call);

    mutable MakeFn make_;
    mutable bool made_ = false;
    mutable std::unique_ptr<GraphicsDevice> real_;
    mutable std::vector<std::function<void(GraphicsDevice&)>> kept_;
};

}  // namespace kr

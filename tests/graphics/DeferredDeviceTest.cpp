#include "graphics/DeferredDevice.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kr {
namespace {

// Writes down every call it gets.
class LogDevice final : public GraphicsDevice {
public:
    explicit LogDevice(std::vector<std::string>& log) : log_(log) {}
    int32_t MaxTextureSize() const override { return 4096; }
    DeviceTexture CreateTexture(int32_t, int32_t, bool) override { return Add("texture"), 7; }
    bool UploadTexture(DeviceTexture, int32_t, int32_t, const Bgra*) override { return true; }
    void FreeTexture(DeviceTexture) override { Add("free"); }
    bool SetPictureSize(int32_t w, int32_t h) override {
        return Add("picture " + std::to_string(w) + "x" + std::to_string(h)), true;
    }
    void SetTarget(DeviceTexture) override { Add("target"); }
    void SetViewport(int32_t, int32_t, int32_t, int32_t) override { Add("viewport"); }
    void SetTransform(const float* m) override { Add("transform " + std::to_string(m[15])); }
    void SetBlend(int32_t s, int32_t d) override {
        Add("blend " + std::to_string(s) + "," + std::to_string(d));
    }
    void SetTextureStates(bool, bool) override { Add("states"); }
    void Clear(uint32_t) override { Add("clear"); }
    void Draw(Primitive, DeviceTexture, bool, const Vertex*, size_t n) override {
        Add("draw " + std::to_string(n));
    }
    bool ReadPixels(DeviceTexture, int32_t, int32_t, int32_t, int32_t, Bgra*) override {
        return true;
    }
    void CopyRect(DeviceTexture, int32_t, int32_t, int32_t, int32_t, DeviceTexture, int32_t,
                  int32_t) override {}
    void Present(const PresentLayout&) override { Add("present"); }
    void SetVsync(bool) override { Add("vsync"); }
    bool SetDepthBuffer(bool) override { return Add("depth"), true; }
    void ClearDepth() override { Add("clear depth"); }
    void SetShading(const DeviceShading&) override { Add("shading"); }
    void SetWorldView(const float*, const float*) override { Add("world view"); }
    void Draw3D(Primitive, DeviceTexture, bool, const Vertex3D*, size_t n) override {
        Add("draw3d " + std::to_string(n));
    }
    DeviceMesh CreateMesh(const Vertex3D*, const uint8_t*, size_t) override { return 1; }
    void FreeMesh(DeviceMesh) override {}
    void DrawMesh(DeviceMesh, Primitive, DeviceTexture, bool, uint32_t, size_t, size_t) override {}

private:
    void Add(std::string s) const { log_.push_back(std::move(s)); }
    std::vector<std::string>& log_;
};

TEST(DeferredDevice, StatesWaitForTheFirstDrawingAndArriveInOrder) {
    std::vector<std::string> log;
    int made = 0;
    DeferredDevice d([&] {
        ++made;
        return std::make_unique<LogDevice>(log);
    });
    float m[16] = {};
    m[15] = 2;
    d.SetPictureSize(320, 240);
    d.SetBlend(5, 6);
    d.SetTransform(m);
    m[15] = 9;  // the kept transform is a copy
    d.Clear(0xFF000000);
    d.FreeTexture(3);  // no texture can exist yet: nothing to do, nothing made
    EXPECT_EQ(made, 0);
    EXPECT_FALSE(d.Made());

    Vertex v[3] = {};
    d.Draw(Primitive::kTriangles, 0, false, v, 3);
    d.SetBlend(1, 2);
    d.Draw(Primitive::kTriangles, 0, false, v, 3);
    EXPECT_EQ(made, 1);
    EXPECT_EQ(log, (std::vector<std::string>{"picture 320x240", "blend 5,6", "transform 2.000000",
                                             "clear", "draw 3", "blend 1,2", "draw 3"}));
}

TEST(DeferredDevice, NoDeviceAnswersAsNoneAndKeepsNothing) {
    int made = 0;
    DeferredDevice d([&] {
        ++made;
        return std::unique_ptr<GraphicsDevice>();
    });
    for (int i = 0; i < 1000; ++i) d.SetBlend(5, 6);  // bounded: the device is tried early
    EXPECT_EQ(made, 1);
    EXPECT_EQ(d.CreateTexture(4, 4, false), 0u);
    EXPECT_FALSE(d.SetPictureSize(8, 8));
    Bgra px{};
    EXPECT_FALSE(d.ReadPixels(0, 0, 0, 1, 1, &px));
    EXPECT_EQ(d.MaxTextureSize(), 0);
    EXPECT_EQ(made, 1);
}

}  // namespace
}  // namespace kr

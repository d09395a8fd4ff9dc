// The stored form of a collision mask. The grid is a long run of 4-byte booleans (as many as the
// frame has pixels), so it is decoded straight from the stream's memory.
#include "data/Mask.h"

#include <algorithm>
#include <cmath>

#include "data/Bitmap32.h"
#include "data/Stream.h"

namespace kr {

bool TMask::ReadStored(CStream& s) {
    *this = TMask{};
    const int32_t version = s.ReadInteger();
    const int32_t w = s.ReadInteger(), h = s.ReadInteger();
    left = s.ReadInteger();
    right = s.ReadInteger();
    bottom = s.ReadInteger();
    top = s.ReadInteger();
    if (s.Failed() || version != kStoredImageVersion || w < 0 || h < 0) {
        s.SetFailed();
        return false;
    }
    const size_t cells = size_t(w) * size_t(h);
    if (cells > s.Remaining() / 4) {
        s.SetFailed();
        return false;
    }
    width = w;
    height = h;
    grid.resize(cells);
    const uint8_t* p = s.Data() + s.Position();
    for (size_t i = 0; i < cells; ++i, p += 4) {
        // A stored boolean is true when the signed integer is above 0.
        const uint32_t v =
            uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
        grid[i] = int32_t(v) > 0;
    }
    s.Skip(cells * 4);
    return true;
}

void TMask::WriteStored(CStream& s) const {
    s.WriteInteger(kStoredImageVersion);
    s.WriteInteger(width);
    s.WriteInteger(height);
    s.WriteInteger(left);
    s.WriteInteger(right);
    s.WriteInteger(bottom);
    s.WriteInteger(top);
    std::vector<uint8_t> bytes(grid.size() * 4, 0);
    for (size_t i = 0; i < grid.size(); ++i) bytes[i * 4] = grid[i] ? 1 : 0;
    s.WriteBytes(bytes.data(), bytes.size());
}

// The ellipse and diamond are evaluated in single precision: stored games were made with masks
// computed that way, and a cell on the rim can differ from the double result.
namespace {

// The box of the solid area for the box mode (see MaskParams).
void FindBox(const TBitmap32& frame, const MaskParams& p, TMask& m) {
    const int32_t w = frame.Width(), h = frame.Height();
    switch (p.box_mode) {
        case BoxMode::kFullImage:
            m.left = 0, m.top = 0, m.right = w - 1, m.bottom = h - 1;
            return;
        case BoxMode::kManual:
            m.left = std::max(p.left, 0);
            m.top = std::max(p.top, 0);
            m.right = std::min(p.right, w - 1);
            m.bottom = std::min(p.bottom, h - 1);
            return;
        case BoxMode::kAutomatic:
        default:
            break;
    }
    // Automatic: widen the inverted box around every pixel above the tolerance, so a frame
    // without one keeps the inverted box (w - 1, h - 1, 0, 0).
    m.left = w - 1, m.top = h - 1, m.right = 0, m.bottom = 0;
    for (int32_t y = 0; y < h; ++y) {
        const Bgra* row = frame.Row(y);
        for (int32_t x = 0; x < w; ++x) {
            if (int32_t(row[x].a) <= p.tolerance) continue;
            m.left = std::min(m.left, x);
            m.right = std::max(m.right, x);
            m.top = std::min(m.top, y);
            m.bottom = std::max(m.bottom, y);
        }
    }
}

// Draws shape 1, 2 or 3 over the mask's box, clipped to the grid; cells outside keep their
// values. Inside the box every cell is set to whether it lies in the shape.
void DrawShape(TMask& m, MaskShape shape) {
    const int32_t x0 = std::max(m.left, 0), x1 = std::min(m.right, m.width - 1);
    const int32_t y0 = std::max(m.top, 0), y1 = std::min(m.bottom, m.height - 1);
    const float cx = float(m.left + m.right) / 2.0f, cy = float(m.top + m.bottom) / 2.0f;
    const float rx = cx - float(m.left) + 0.5f, ry = cy - float(m.top) + 0.5f;
    if (shape != MaskShape::kRectangle && !(rx > 0.0f && ry > 0.0f)) return;
    for (int32_t y = y0; y <= y1; ++y) {
        uint8_t* row = m.grid.data() + size_t(y) * size_t(m.width);
        for (int32_t x = x0; x <= x1; ++x) {
            bool in = true;
            if (shape == MaskShape::kEllipse) {
                const float dx = (float(x) - cx) / rx, dy = (float(y) - cy) / ry;
                in = dx * dx + dy * dy < 1.0f;
            } else if (shape == MaskShape::kDiamond) {
                in = std::fabs(float(x) - cx) / rx + std::fabs(float(y) - cy) / ry < 1.0f;
            }
            row[x] = in ? 1 : 0;
        }
    }
}

}  // namespace

TMask BuildMask(const TBitmap32& frame, const MaskParams& params) {
    TMask m;
    m.width = frame.Width();
    m.height = frame.Height();
    m.grid.assign(frame.PixelCount(), 0);
    FindBox(frame, params, m);
    if (params.shape == MaskShape::kRectangle || params.shape == MaskShape::kEllipse ||
        params.shape == MaskShape::kDiamond) {
        DrawShape(m, params.shape);
        return m;
    }
    // Precise (and any unknown shape number): the pixels above the tolerance inside the box.
    for (int32_t y = std::max(m.top, 0); y <= std::min(m.bottom, m.height - 1); ++y) {
        const Bgra* src = frame.Row(y);
        uint8_t* row = m.grid.data() + size_t(y) * size_t(m.width);
        for (int32_t x = std::max(m.left, 0); x <= std::min(m.right, m.width - 1); ++x)
            row[x] = int32_t(src[x].a) > params.tolerance ? 1 : 0;
    }
    return m;
}

void AddFrameToMask(TMask& mask, const TBitmap32& frame, const MaskParams& params) {
    const TMask next = BuildMask(frame, params);
    mask.left = std::min(mask.left, next.left);
    mask.top = std::min(mask.top, next.top);
    mask.right = std::max(mask.right, next.right);
    mask.bottom = std::max(mask.bottom, next.bottom);
    if (params.shape == MaskShape::kRectangle || params.shape == MaskShape::kEllipse ||
        params.shape == MaskShape::kDiamond) {
        DrawShape(mask, params.shape);
        return;
    }
    // A stored mask may differ in size from the frame: only the common area is merged.
    const int32_t w = std::min(mask.width, next.width), h = std::min(mask.height, next.height);
    for (int32_t y = 0; y < h; ++y) {
        uint8_t* dst = mask.grid.data() + size_t(y) * size_t(mask.width);
        const uint8_t* src = next.grid.data() + size_t(y) * size_t(next.width);
        for (int32_t x = 0; x < w; ++x) dst[x] |= src[x];
    }
}

}  // namespace kr

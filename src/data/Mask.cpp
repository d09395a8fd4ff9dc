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

namespace {
// Draws the shape of `params` into `m` over its box (clipped to the grid); precise masks read
// the alpha of `frame`. Cells outside the box keep their values.
void DrawShape(TMask& m, const TBitmap32& frame, const MaskParams& params) {
    const int32_t l = std::max(m.left, 0), t = std::max(m.top, 0);
    const int32_t r = std::min(m.right, m.width - 1), b = std::min(m.bottom, m.height - 1);
    const float cx = float(m.left + m.right) / 2, cy = float(m.top + m.bottom) / 2;
    const float rx = cx - float(m.left) + 0.5f, ry = cy - float(m.top) + 0.5f;
    for (int32_t y = t; y <= b; ++y) {
        for (int32_t x = l; x <= r; ++x) {
            bool solid = false;
            switch (params.shape) {
                case MaskShape::kPrecise:
                    solid = x < frame.Width() && y < frame.Height() &&
                            int32_t(frame.Row(y)[x].a) > params.tolerance;
                    break;
                case MaskShape::kRectangle:
                    solid = true;
                    break;
                case MaskShape::kEllipse: {
                    if (rx <= 0 || ry <= 0) break;
                    const float dx = (float(x) - cx) / rx, dy = (float(y) - cy) / ry;
                    solid = dx * dx + dy * dy < 1;
                    break;
                }
                case MaskShape::kDiamond:
                    if (rx <= 0 || ry <= 0) break;
                    solid = std::fabs(float(x) - cx) / rx + std::fabs(float(y) - cy) / ry < 1;
                    break;
            }
            m.grid[size_t(y) * size_t(m.width) + size_t(x)] = solid ? 1 : 0;
        }
    }
}
}  // namespace

TMask BuildMask(const TBitmap32& frame, const MaskParams& params) {
    TMask m;
    m.width = frame.Width();
    m.height = frame.Height();
    m.grid.assign(frame.PixelCount(), 0);
    switch (params.box_mode) {
        case BoxMode::kFullImage:
            m.left = 0, m.top = 0, m.right = m.width - 1, m.bottom = m.height - 1;
            break;
        case BoxMode::kManual:
            m.left = std::max(params.left, 0), m.top = std::max(params.top, 0);
            m.right = std::min(params.right, m.width - 1);
            m.bottom = std::min(params.bottom, m.height - 1);
            break;
        case BoxMode::kAutomatic:
        default:
            m.left = m.width - 1, m.top = m.height - 1, m.right = 0, m.bottom = 0;
            for (int32_t y = 0; y < m.height; ++y) {
                const Bgra* row = frame.Row(y);
                for (int32_t x = 0; x < m.width; ++x) {
                    if (int32_t(row[x].a) <= params.tolerance) continue;
                    m.left = std::min(m.left, x), m.right = std::max(m.right, x);
                    m.top = std::min(m.top, y), m.bottom = std::max(m.bottom, y);
                }
            }
            break;
    }
    DrawShape(m, frame, params);
    return m;
}

void AddFrameToMask(TMask& mask, const TBitmap32& frame, const MaskParams& params) {
    TMask m = BuildMask(frame, params);
    mask.left = std::min(mask.left, m.left), mask.top = std::min(mask.top, m.top);
    mask.right = std::max(mask.right, m.right), mask.bottom = std::max(mask.bottom, m.bottom);
    if (params.shape != MaskShape::kPrecise) {
        DrawShape(mask, frame, params);
        return;
    }
    const int32_t w = std::min(mask.width, m.width), h = std::min(mask.height, m.height);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            uint8_t& cell = mask.grid[size_t(y) * size_t(mask.width) + size_t(x)];
            cell = cell | m.grid[size_t(y) * size_t(m.width) + size_t(x)];
        }
    }
}

}  // namespace kr

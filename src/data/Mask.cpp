// The stored form of a collision mask. The grid is a long run of 4-byte booleans (as many as the
// frame has pixels), so it is decoded straight from the stream's memory.
#include "data/Mask.h"

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

}  // namespace kr

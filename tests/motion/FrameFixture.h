// Small frames and sprites for collision tests, drawn as rows of characters: '.' is a
// transparent pixel, 'a' alpha 10, 'm' alpha 128, any other character an opaque pixel.
#pragma once

#include <string>
#include <vector>

#include "data/Bitmap32.h"
#include "data/Mask.h"
#include "data/Sprite.h"

namespace kr::test {

inline TBitmap32 Frame(const std::vector<std::string>& rows) {
    TBitmap32 bmp(int32_t(rows[0].size()), int32_t(rows.size()));
    for (int32_t y = 0; y < bmp.Height(); ++y) {
        for (int32_t x = 0; x < bmp.Width(); ++x) {
            const char c = rows[size_t(y)][size_t(x)];
            const uint8_t alpha = c == '.' ? 0 : c == 'a' ? 10 : c == 'm' ? 128 : 255;
            bmp.Row(y)[x] = Bgra{0, 0, 0, alpha};
        }
    }
    return bmp;
}

// The grid as rows of '#' (solid) and '.'.
inline std::vector<std::string> Picture(const TMask& m) {
    std::vector<std::string> rows;
    for (int32_t y = 0; y < m.height; ++y) {
        std::string row;
        for (int32_t x = 0; x < m.width; ++x) row += m.Solid(x, y) ? '#' : '.';
        rows.push_back(row);
    }
    return rows;
}

// A sprite from frames drawn as above, with its masks built.
inline CSprite MakeSprite(const std::vector<std::vector<std::string>>& frames, int32_t ox,
                          int32_t oy, MaskParams params = {}, bool separate = false) {
    CSprite s;
    for (const auto& rows : frames) s.frames.push_back(Frame(rows));
    s.x_origin = ox;
    s.y_origin = oy;
    s.mask_params = params;
    s.separate_masks = separate;
    s.BuildMasks();
    return s;
}

// A w x h sprite whose mask is the whole image.
inline CSprite SolidSprite(int32_t w, int32_t h, int32_t ox = 0, int32_t oy = 0) {
    return MakeSprite({std::vector<std::string>(size_t(h), std::string(size_t(w), '#'))}, ox, oy);
}

}  // namespace kr::test

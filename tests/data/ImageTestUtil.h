// Helpers shared by the image tests: readable failure output and small images from literals.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <ostream>

#include "data/Bitmap32.h"

namespace kr {

inline void PrintTo(const Bgra& p, std::ostream* os) {
    *os << "bgra(" << int(p.b) << "," << int(p.g) << "," << int(p.r) << "," << int(p.a) << ")";
}

inline void PrintTo(const TBitmap32& image, std::ostream* os) {
    *os << image.Width() << "x" << image.Height();
    if (image.PixelCount() > 16) return;
    for (int32_t y = 0; y < image.Height(); ++y) {
        *os << (y ? " / " : " ");
        for (int32_t x = 0; x < image.Width(); ++x) PrintTo(image.GetPixel(x, y), os);
    }
}

// An image from rows of pixels, top row first.
inline TBitmap32 Image(std::initializer_list<std::initializer_list<Bgra>> rows) {
    TBitmap32 image(int32_t(rows.begin()->size()), int32_t(rows.size()));
    int32_t y = 0;
    for (auto& row : rows) {
        int32_t x = 0;
        for (Bgra p : row) image.Row(y)[x++] = p;
        ++y;
    }
    return image;
}

inline constexpr Bgra kRed{0, 0, 255, 255}, kBlue{255, 0, 0, 255}, kGreen{0, 255, 0, 255},
    kClear{0, 0, 0, 0};

}  // namespace kr

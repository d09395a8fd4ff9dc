// The three colour forms of the runner and the only functions that convert between them:
//   script colour  0xBBGGRR integer, red in the lowest byte (what scripts pass around);
//   Bgra pixel     4 bytes blue, green, red, alpha in memory (the pixels of a TBitmap32);
//   device colour  32-bit 0xAARRGGBB (what vertices and the drawing device take).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace kr {

// One pixel of a TBitmap32, in memory order.
struct Bgra {
    uint8_t b = 0, g = 0, r = 0, a = 0;
    friend bool operator==(const Bgra&, const Bgra&) = default;
};
static_assert(sizeof(Bgra) == 4, "pixels are packed 4-byte records");

// Script colour 0xBBGGRR to a pixel with the given alpha.
constexpr Bgra ScriptColorToBgra(int32_t colour, uint8_t alpha = 255) {
    const uint32_t c = uint32_t(colour);
    return Bgra{uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), alpha};
}

// A pixel's colour as a script colour 0xBBGGRR (the alpha is dropped).
constexpr int32_t BgraToScriptColor(Bgra p) {
    return int32_t(uint32_t(p.r) | uint32_t(p.g) << 8 | uint32_t(p.b) << 16);
}

// The device colour of a script colour with an alpha given as a real; the alpha is clamped to
// 0..1 and rounded to the nearest step, ties to even.
inline uint32_t ScriptColorToDevice(int32_t colour, double alpha) {
    const double a = std::nearbyint(std::clamp(std::isnan(alpha) ? 0.0 : alpha, 0.0, 1.0) * 255.0);
    const uint32_t c = uint32_t(colour);
    return uint32_t(a) << 24 | (c & 0xFF) << 16 | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

// The device colour of a pixel.
constexpr uint32_t BgraToDevice(Bgra p) {
    return uint32_t(p.a) << 24 | uint32_t(p.r) << 16 | uint32_t(p.g) << 8 | p.b;
}

// The script colour of a hue, saturation and value, each 0..255 (hue 255 is a full turn).
inline int32_t ScriptColorFromHsv(int32_t h8, int32_t s8, int32_t v8) {
    double h = (h8 & 0xFF) * 360.0 / 255, s = (s8 & 0xFF) / 255.0, v = (v8 & 0xFF) / 255.0;
    if (h >= 360) h = 0;
    double r = v, g = v, b = v;
    if (s != 0) {
        const int i = int(h / 60);
        const double f = h / 60 - i, p = v * (1 - s), q = v * (1 - s * f),
                     t = v * (1 - s * (1 - f));
        switch (i) {
            case 0:
                r = v, g = t, b = p;
                break;
            case 1:
                r = q, g = v, b = p;
                break;
            case 2:
                r = p, g = v, b = t;
                break;
            case 3:
                r = p, g = q, b = v;
                break;
            case 4:
                r = t, g = p, b = v;
                break;
            default:
                r = v, g = p, b = q;
                break;
        }
    }
    return int32_t(r * 255) | int32_t(g * 255) << 8 | int32_t(b * 255) << 16;
}

}  // namespace kr

// TBitmap32: storage, the stored-image record and the pixel operations. Gradients are computed
// per pixel from the drawing rules (nested shapes drawn inside out), not by drawing every shape.
#include "data/Bitmap32.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "data/Stream.h"

namespace kr {

TBitmap32::TBitmap32(int32_t w, int32_t h) {
    SetSize(w, h);
}

TBitmap32::TBitmap32(const TBitmap32& other) {
    *this = other;
}

TBitmap32& TBitmap32::operator=(const TBitmap32& other) {
    if (this == &other) return *this;
    if (other.Empty()) {
        Clear();
    } else {
        SetSize(other.width_, other.height_, Init::kUninitialized);
        std::memcpy(pixels_.get(), other.pixels_.get(), other.ByteSize());
    }
    return *this;
}

TBitmap32::TBitmap32(TBitmap32&& other) noexcept {
    *this = std::move(other);
}

TBitmap32& TBitmap32::operator=(TBitmap32&& other) noexcept {
    width_ = std::exchange(other.width_, 0);
    height_ = std::exchange(other.height_, 0);
    pixels_ = std::move(other.pixels_);
    return *this;
}

bool TBitmap32::SetSize(int32_t w, int32_t h, Init init) {
    if (w <= 0 || h <= 0) return false;
    if (size_t(w) * size_t(h) > kMaxImagePixels) return false;
    if (w == width_ && h == height_) return true;
    const size_t n = size_t(w) * size_t(h);
    pixels_ = init == Init::kZero ? std::make_unique<Bgra[]>(n)
                                  : std::make_unique_for_overwrite<Bgra[]>(n);
    width_ = w;
    height_ = h;
    return true;
}

void TBitmap32::Clear() {
    pixels_.reset();
    width_ = height_ = 0;
}

bool operator==(const TBitmap32& a, const TBitmap32& b) {
    return a.width_ == b.width_ && a.height_ == b.height_ &&
           (a.Empty() || std::memcmp(a.Bytes(), b.Bytes(), a.ByteSize()) == 0);
}

bool TBitmap32::ReadStored(CStream& s) {
    Clear();
    if (s.ReadInteger() != kStoredImageVersion) return false;
    const int32_t w = s.ReadInteger();
    const int32_t h = s.ReadInteger();
    if (s.Failed()) return false;
    if (int64_t(w) * int64_t(h) <= 0) return true;  // no pixel block follows
    // Both sides negative still stores a block (the product is positive); it is corrupt.
    const int32_t n = s.ReadInteger();
    const size_t need = size_t(int64_t(w) * int64_t(h)) * 4;
    if (s.Failed() || w < 0 || n < 0 || size_t(n) < need || size_t(n) > s.Remaining() ||
        !SetSize(w, h, Init::kUninitialized)) {
        s.SetFailed();
        Clear();
        return false;
    }
    s.ReadBytes(Bytes(), need);
    s.Skip(size_t(n) - need);
    return true;
}

void TBitmap32::WriteStored(CStream& s) const {
    s.WriteInteger(kStoredImageVersion);
    s.WriteInteger(width_);
    s.WriteInteger(height_);
    if (!Empty()) {
        s.WriteInteger(int32_t(ByteSize()));
        s.WriteBytes(Bytes(), ByteSize());
    }
}

bool TBitmap32::CopyFromMemory(int32_t w, int32_t h, const void* bgra, size_t stride) {
    if (!SetSize(w, h, Init::kUninitialized)) return false;
    const auto* src = static_cast<const uint8_t*>(bgra);
    for (int32_t y = 0; y < h; ++y) std::memcpy(Row(y), src + size_t(y) * stride, size_t(w) * 4);
    return true;
}

namespace {

// Integer average with ties to even, the runner's rounding rule.
uint8_t AverageHalfEven(uint32_t sum, uint32_t count) {
    uint32_t q = sum / count;
    const uint32_t twice_rem = (sum % count) * 2;
    if (twice_rem > count || (twice_rem == count && (q & 1))) ++q;
    return uint8_t(q);
}

}  // namespace

// New pixel (x, y) averages the n x n old pixels at floor((x + i / n) * W / W') and
// floor((y + j / n) * H / H'), i, j = 0..n-1. The coordinates are computed exactly in integers,
// so a scale such as 10 -> 3 never lands one pixel off through floating-point error.
void TBitmap32::Resize(int32_t w, int32_t h, int samples) {
    if (Empty() || (w == width_ && h == height_)) return;
    const int n = std::max(samples, 1);
    TBitmap32 old(std::move(*this));
    if (!SetSize(w, h, Init::kUninitialized)) {
        *this = std::move(old);
        return;
    }
    const int64_t ow = old.width_, oh = old.height_;
    auto source_x = [&](int64_t x, int64_t i) { return (x * n + i) * ow / (int64_t(w) * n); };
    auto source_y = [&](int64_t y, int64_t j) { return (y * n + j) * oh / (int64_t(h) * n); };
    if (n == 1) {
        std::unique_ptr<int32_t[]> xs(new int32_t[size_t(w)]);
        for (int32_t x = 0; x < w; ++x) xs[size_t(x)] = int32_t(source_x(x, 0));
        for (int32_t y = 0; y < h; ++y) {
            const Bgra* src = old.Row(int32_t(source_y(y, 0)));
            Bgra* dst = Row(y);
            for (int32_t x = 0; x < w; ++x) dst[x] = src[xs[size_t(x)]];
        }
        return;
    }
    const uint32_t count = uint32_t(n) * uint32_t(n);
    for (int32_t y = 0; y < h; ++y) {
        Bgra* dst = Row(y);
        for (int32_t x = 0; x < w; ++x) {
            uint32_t sb = 0, sg = 0, sr = 0, sa = 0;
            for (int j = 0; j < n; ++j) {
                const Bgra* src = old.Row(int32_t(source_y(y, j)));
                for (int i = 0; i < n; ++i) {
                    const Bgra p = src[source_x(x, i)];
                    sb += p.b, sg += p.g, sr += p.r, sa += p.a;
                }
            }
            dst[x] = Bgra{AverageHalfEven(sb, count), AverageHalfEven(sg, count),
                          AverageHalfEven(sr, count), AverageHalfEven(sa, count)};
        }
    }
}

void TBitmap32::Fill(Bgra colour) {
    std::fill_n(pixels_.get(), PixelCount(), colour);
}

void TBitmap32::CopyRect(const TBitmap32& src, int32_t src_x, int32_t src_y, int32_t w, int32_t h,
                         int32_t dst_x, int32_t dst_y) {
    if (&src == this) return;
    // Work in 64 bits so that extreme arguments cannot overflow while clipping.
    int64_t sx = src_x, sy = src_y, dx = dst_x, dy = dst_y, cw = w, ch = h;
    auto clip_low = [&](int64_t& a, int64_t& b) {
        const int64_t cut = std::max<int64_t>({0, -a, -b});
        a += cut, b += cut;
        return cut;
    };
    cw -= clip_low(sx, dx);
    ch -= clip_low(sy, dy);
    cw = std::min({cw, int64_t(src.width_) - sx, int64_t(width_) - dx});
    ch = std::min({ch, int64_t(src.height_) - sy, int64_t(height_) - dy});
    if (cw <= 0 || ch <= 0) return;
    for (int64_t y = 0; y < ch; ++y) {
        std::memcpy(Row(int32_t(dy + y)) + dx, src.Row(int32_t(sy + y)) + sx, size_t(cw) * 4);
    }
}

TBitmap32 TBitmap32::Cropped(int32_t x, int32_t y, int32_t w, int32_t h) const {
    const int64_t left = std::max<int64_t>(x, 0), top = std::max<int64_t>(y, 0);
    const int64_t right = std::min<int64_t>(int64_t(x) + w, width_);
    const int64_t bottom = std::min<int64_t>(int64_t(y) + h, height_);
    TBitmap32 out;
    if (right <= left || bottom <= top) return out;
    out.SetSize(int32_t(right - left), int32_t(bottom - top), Init::kUninitialized);
    out.CopyRect(*this, int32_t(left), int32_t(top), out.width_, out.height_, 0, 0);
    return out;
}

void TBitmap32::ReplaceColor(Bgra key, Bgra colour, int tolerance, bool with_alpha) {
    auto near = [tolerance](uint8_t a, uint8_t b) {
        return std::abs(int(a) - int(b)) <= tolerance;
    };
    Bgra* p = pixels_.get();
    for (size_t i = 0, n = PixelCount(); i < n; ++i) {
        if (near(p[i].b, key.b) && near(p[i].g, key.g) && near(p[i].r, key.r)) {
            p[i].b = colour.b, p[i].g = colour.g, p[i].r = colour.r;
            if (with_alpha) p[i].a = colour.a;
        }
    }
}

void TBitmap32::RemoveBackground() {
    if (Empty()) return;
    Bgra key = Row(height_ - 1)[0];
    key.a = 0;
    ReplaceColor(key, key, 0, true);
}

// Row by row, in place: every pixel of the 3 x 3 block around a transparent pixel that has
// alpha above 31 loses 32. A pixel that drops to 0 on the way counts as transparent when the
// scan reaches it, exactly as the in-place pass has always behaved.
void TBitmap32::SmoothEdges() {
    for (int32_t y = 0; y < height_; ++y) {
        for (int32_t x = 0; x < width_; ++x) {
            if (Row(y)[x].a != 0) continue;
            for (int32_t by = std::max(y - 1, 0); by <= std::min(y + 1, height_ - 1); ++by) {
                Bgra* row = Row(by);
                for (int32_t bx = std::max(x - 1, 0); bx <= std::min(x + 1, width_ - 1); ++bx) {
                    if (row[bx].a > 31) row[bx].a = uint8_t(row[bx].a - 32);
                }
            }
        }
    }
}

void TBitmap32::FixTransparentColors() {
    for (int32_t y = 0; y < height_; ++y) {
        Bgra* row = Row(y);
        for (int32_t x = 0; x < width_; ++x) {
            if (row[x].a != 0) continue;
            const Bgra* from = nullptr;
            if (x > 0 && row[x - 1].a != 0) {
                from = &row[x - 1];
            } else if (x + 1 < width_ && row[x + 1].a != 0) {
                from = &row[x + 1];
            } else if (y > 0 && Row(y - 1)[x].a != 0) {
                from = &Row(y - 1)[x];
            } else if (y + 1 < height_ && Row(y + 1)[x].a != 0) {
                from = &Row(y + 1)[x];
            }
            if (from) row[x] = Bgra{from->b, from->g, from->r, 0};
        }
    }
}

void TBitmap32::AlphaFromImage(const TBitmap32& other) {
    const int32_t w = std::min(width_, other.width_), h = std::min(height_, other.height_);
    for (int32_t y = 0; y < h; ++y) {
        Bgra* row = Row(y);
        const Bgra* src = other.Row(y);
        for (int32_t x = 0; x < w; ++x) {
            row[x].a = uint8_t(uint32_t(row[x].a) * (src[x].r + src[x].g + src[x].b) / 765);
        }
    }
}

bool TBitmap32::HasAlpha() const {
    const Bgra* p = pixels_.get();
    for (size_t i = 0, n = PixelCount(); i < n; ++i) {
        if (p[i].a != 0) return true;
    }
    return false;
}

void TBitmap32::MakeOpaque() {
    Bgra* p = pixels_.get();
    for (size_t i = 0, n = PixelCount(); i < n; ++i) p[i].a = 255;
}

Bgra TBitmap32::GetPixel(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return kOutsidePixel;
    return Row(y)[x];
}

TBitmap32 MakeColorImage(int32_t w, int32_t h, int32_t colour) {
    TBitmap32 image;
    if (image.SetSize(std::max(w, 1), std::max(h, 1), TBitmap32::Init::kUninitialized)) {
        image.Fill(ScriptColorToBgra(colour, 255));
    }
    return image;
}

namespace {

// mix(a, b, t) channel by channel, rounded with ties to even; fully opaque.
Bgra Mix(Bgra a, Bgra b, double t) {
    auto ch = [t](uint8_t x, uint8_t y) {
        return uint8_t(std::clamp(std::nearbyint(x * (1.0 - t) + y * t), 0.0, 255.0));
    };
    return Bgra{ch(a.b, b.b), ch(a.g, b.g), ch(a.r, b.r), 255};
}

// i / n for the gradient steps; a step count of 0 (tiny images) gives 0, the first colour.
double Ratio(int64_t i, int64_t n) {
    return n == 0 ? 0.0 : double(i) / double(n);
}

// Whether the filled ellipse drawn in the box x1 <= x < x2, y1 <= y < y2 covers pixel (x, y):
// the pixel's centre lies in the ellipse inscribed in the box.
bool EllipseCovers(double x1, double y1, double x2, double y2, int32_t x, int32_t y) {
    const double rx = (x2 - x1) / 2, ry = (y2 - y1) / 2;
    if (rx <= 0 || ry <= 0) return false;
    const double dx = (x + 0.5 - (x1 + x2) / 2) / rx, dy = (y + 0.5 - (y1 + y2) / 2) / ry;
    return dx * dx + dy * dy <= 1.0;
}

// A line from (x1, y1) towards (x2, y2), end point excluded, clipped to the image.
void DrawLine(TBitmap32& image, int64_t x1, int64_t y1, int64_t x2, int64_t y2, Bgra c) {
    const int64_t dx = std::abs(x2 - x1), dy = -std::abs(y2 - y1);
    const int64_t sx = x1 < x2 ? 1 : -1, sy = y1 < y2 ? 1 : -1;
    int64_t err = dx + dy;
    while (x1 != x2 || y1 != y2) {
        if (x1 >= 0 && y1 >= 0 && x1 < image.Width() && y1 < image.Height()) {
            image.Row(int32_t(y1))[x1] = c;
        }
        const int64_t e2 = 2 * err;
        if (e2 >= dy) err += dy, x1 += sx;
        if (e2 <= dx) err += dx, y1 += sy;
    }
}

}  // namespace

// The twelve kinds draw nested shapes or parallel lines; where later shapes cover earlier ones
// the colour of a pixel is that of the last shape covering it, which is what is computed here.
TBitmap32 MakeGradientImage(int32_t w, int32_t h, int32_t col1, int32_t col2, int kind) {
    TBitmap32 image = MakeColorImage(w, h, col1);
    if (image.Empty()) return image;
    const Bgra c1 = ScriptColorToBgra(col1), c2 = ScriptColorToBgra(col2);
    const int32_t cw = image.Width(), chh = image.Height();
    const int64_t m = std::min(w, h), m2 = m / 2;
    auto set = [&](int32_t x, int32_t y, Bgra c) { image.Row(y)[x] = c; };
    switch (kind) {
        case 0:  // vertical lines, left to right
        case 1:  // horizontal lines, top to bottom
            for (int32_t y = 0; y < std::min(h, chh); ++y) {
                for (int32_t x = 0; x < std::min(w, cw); ++x) {
                    set(x, y, kind == 0 ? Mix(c1, c2, Ratio(x, w)) : Mix(c1, c2, Ratio(y, h)));
                }
            }
            break;
        case 2:  // rectangles (i, i)-(w - i, h - i), i = 0..m2: the innermost covering wins
            for (int32_t y = 0; y < std::min(h, chh); ++y) {
                for (int32_t x = 0; x < std::min(w, cw); ++x) {
                    const int64_t i = std::min<int64_t>({x, y, w - 1 - x, h - 1 - y, m2});
                    set(x, y, Mix(c1, c2, Ratio(i, m2)));
                }
            }
            break;
        case 3:  // nested ellipses: binary search for the innermost one covering the pixel
            for (int32_t y = 0; y < chh; ++y) {
                for (int32_t x = 0; x < cw; ++x) {
                    auto covers = [&](int64_t i) {
                        return EllipseCovers(double(i), double(i), double(w - i), double(h - i), x,
                                             y);
                    };
                    if (m2 < 0 || !covers(0)) continue;
                    int64_t lo = 0, hi = m2;
                    while (lo < hi) {
                        const int64_t mid = (lo + hi + 1) / 2;
                        if (covers(mid))
                            lo = mid;
                        else
                            hi = mid - 1;
                    }
                    set(x, y, Mix(c1, c2, Ratio(lo, m2)));
                }
            }
            break;
        case 4:    // column pairs i and w - i, i = 0..w div 2
        case 5: {  // row pairs i and h - i, i = 0..h div 2
            const int64_t half = (kind == 4 ? w : h) / 2, limit = kind == 4 ? cw : chh;
            for (int64_t i = 0; i <= half; ++i) {
                const Bgra c = Mix(c1, c2, Ratio(i, half));
                for (const int64_t k : {i, (kind == 4 ? w : h) - i}) {
                    if (k < 0 || k >= limit) continue;
                    if (kind == 4) {
                        for (int32_t y = 0; y < std::min(h, chh); ++y) set(int32_t(k), y, c);
                    } else {
                        for (int32_t x = 0; x < std::min(w, cw); ++x) set(x, int32_t(k), c);
                    }
                }
            }
            break;
        }
        case 6:  // diagonals parallel to top-left -> bottom-right
        case 7:  // diagonals parallel to bottom-left -> top-right
            for (int64_t i = 0; i <= h; ++i) {
                const Bgra c = Mix(c1, c2, Ratio(i, h));
                if (kind == 6) {
                    DrawLine(image, 0, i, w, i + h, c);
                    DrawLine(image, 0, -i, w, h - i, c);
                } else {
                    DrawLine(image, 0, i + h, w, i, c);
                    DrawLine(image, 0, h - i, w, -i, c);
                }
            }
            break;
        case 8:
        case 9:
        case 10:
        case 11: {  // circles about a corner, r = m down to 1: the smallest covering one wins
            if (m < 1) break;
            const double cx = (kind == 9 || kind == 11) ? double(w) : 0.0;
            const double cy = (kind == 10 || kind == 11) ? double(h) : 0.0;
            for (int32_t y = 0; y < chh; ++y) {
                for (int32_t x = 0; x < cw; ++x) {
                    const double dx = x + 0.5 - cx, dy = y + 0.5 - cy, d2 = dx * dx + dy * dy;
                    int64_t r = std::max<int64_t>(1, int64_t(std::ceil(std::sqrt(d2))));
                    while (r > 1 && double(r - 1) * double(r - 1) >= d2) --r;
                    while (double(r) * double(r) < d2) ++r;
                    if (r <= m) set(x, y, Mix(c2, c1, Ratio(r, m)));
                }
            }
            break;
        }
        default:
            break;
    }
    return image;
}

}  // namespace kr

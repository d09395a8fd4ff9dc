// The built-in transition frames. Positions and sizes are whole pixels (rounded, ties to even),
// so that the edges of the two images meet without a seam.
#include "graphics/Transition.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "data/Color.h"
#include "graphics/Graphics.h"

namespace kr {

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFF;

int32_t Round(double v) {
    return int32_t(std::clamp(std::nearbyint(v), -2147483648.0, 2147483647.0));
}

class Frame {
public:
    Frame(Graphics& g, int32_t from, int32_t to, int32_t w, int32_t h)
        : g_(g), from_(TextureOf(g, from)), to_(TextureOf(g, to)), w_(w), h_(h) {}

    // The whole image of the room left (entered) at (x, y).
    void From(int32_t x = 0, int32_t y = 0) { g_.DrawTexture(from_, x, y); }
    void To(int32_t x = 0, int32_t y = 0) { g_.DrawTexture(to_, x, y); }
    // The rectangle (l, t, pw, ph) of the entered room's image where it lies, cut to the image
    // so that the edge pixels are never stretched beyond it.
    void PartOfTo(int32_t l, int32_t t, int32_t pw, int32_t ph) {
        const RTexture* tex = g_.Texture(to_);
        if (!tex) return;
        int32_t r = std::min(l + pw, tex->width), b = std::min(t + ph, tex->height);
        l = std::max(l, 0), t = std::max(t, 0);
        if (r <= l || b <= t) return;
        g_.DrawTexturePart(to_, kWhite, l, t, r - l, b - t, l, t, 1, 1, 0);
    }
    void Faded(int32_t tex, double alpha) {
        g_.DrawTextureExt(tex, ScriptColorToDevice(0xFFFFFF, alpha), 0, 0, 0, 0, 1, 1, 0);
    }

    // Kinds 1..4: the entered room uncovered from the left, right, top or bottom edge.
    void Uncover(int32_t side, double f) {
        From();
        int32_t cw = Round(w_ * f), ch = Round(h_ * f);
        switch (side) {
            case 0:
                return PartOfTo(0, 0, cw, h_);
            case 1:
                return PartOfTo(w_ - cw, 0, cw, h_);
            case 2:
                return PartOfTo(0, 0, w_, ch);
            default:
                return PartOfTo(0, h_ - ch, w_, ch);
        }
    }

    // Kinds 10..13: every other column (row) first, one per step from the named side, then
    // the rest uncovered from that side.
    void Interlace(int32_t side, double f, int32_t steps) {
        int32_t n = std::max(steps, 1), k = Round(n * f), half = n / 2;
        if (k >= n) return To();
        if (k > half)
            Uncover(side, double(k - half) / half);
        else
            From();
        for (int32_t j = 0; j <= half; ++j) {
            bool shown = side % 2 == 0 ? j <= k : j >= half - k;
            if (!shown) continue;
            if (side < 2)
                PartOfTo(Round(2.0 * j * w_ / n), 0, Round(double(w_) / n), h_);
            else
                PartOfTo(0, Round(2.0 * j * h_ / n), w_, Round(double(h_) / n));
        }
    }

    // Kinds 18 and 19: the entered room grows from the centre while turning once.
    void Rotate(double f, bool clockwise) {
        From();
        double a = 2 * std::numbers::pi * std::sqrt(std::max(f, 0.0));
        if (clockwise) a = -a;
        double s = std::sin(a), c = std::cos(a);
        double x = w_ / 2.0 - f * (h_ / 2.0) * s - f * (w_ / 2.0) * c;
        double y = h_ / 2.0 - f * (h_ / 2.0) * c + f * (w_ / 2.0) * s;
        g_.DrawTextureExt(to_, kWhite, 0, 0, x, y, f, f, a);
    }

    int32_t from() const { return from_; }
    int32_t to() const { return to_; }

private:
    static int32_t TextureOf(Graphics& g, int32_t surface) {
        const Surface* s = g.GetSurface(surface);
        return s ? s->texture : -1;
    }

    Graphics& g_;
    int32_t from_, to_, w_, h_;
};

}  // namespace

void DrawTransitionFrame(Graphics& g, int32_t kind, int32_t from, int32_t to, int32_t width,
                         int32_t height, double f, int32_t steps) {
    Frame fr(g, from, to, width, height);
    const int32_t w = width, h = height, dx = Round(w * f), dy = Round(h * f);
    switch (kind) {
        case 1:
        case 2:
        case 3:
        case 4:
            return fr.Uncover(kind - 1, f);
        case 5:
            fr.From();
            return fr.PartOfTo(Round((w - w * f) * 0.5), Round((h - h * f) * 0.5), dx, dy);
        case 6:
            fr.From();
            return fr.To(dx - w, 0);
        case 7:
            fr.From();
            return fr.To(w - dx, 0);
        case 8:
            fr.From();
            return fr.To(0, dy - h);
        case 9:
            fr.From();
            return fr.To(0, h - dy);
        case 10:
        case 11:
        case 12:
        case 13:
            return fr.Interlace(kind - 10, f, steps);
        case 14:
            fr.From(dx, 0);
            return fr.To(dx - w, 0);
        case 15:
            fr.From(-dx, 0);
            return fr.To(w - dx, 0);
        case 16:
            fr.From(0, dy);
            return fr.To(0, dy - h);
        case 17:
            fr.From(0, -dy);
            return fr.To(0, h - dy);
        case 18:
        case 19:
            return fr.Rotate(f, kind == 19);
        case 20:
            fr.From();
            return fr.Faded(fr.to(), f);
        case 21:
            g.Clear(0, 1);
            if (f <= 0.5) return fr.Faded(fr.from(), 1 - 2 * f);
            return fr.Faded(fr.to(), 2 * f - 1);
        default:
            return;
    }
}

}  // namespace kr

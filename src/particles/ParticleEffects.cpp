// The ready-made effects: built-in types in two built-in systems, one far below everything and
// one far above.
#include <algorithm>
#include <cmath>

#include "code/Random.h"
#include "particles/Particles.h"

namespace kr {

namespace {

enum Kind {
    kExplosion,
    kRing,
    kEllipse,
    kFirework,
    kSmoke,
    kSmokeUp,
    kStar,
    kSpark,
    kFlare,
    kCloud,
    kRain,
    kSnow
};
enum Shape {
    kShapeLine = 3,
    kShapeStar = 4,
    kShapeRing = 6,
    kShapeFlare = 8,
    kShapeSpark = 9,
    kShapeExplosion = 10,
    kShapeSnow = 13
};

int32_t RoundLife(double v) {
    return int32_t(std::nearbyint(std::clamp(v, -2e9, 2e9)));
}

void Size(ParticleType& t, double min, double max, double incr) {
    t.size_min = min;
    t.size_max = max;
    t.size_incr = incr;
    t.size_wiggle = 0;
}
void Speed(ParticleType& t, double min, double max, double incr) {
    t.speed_min = min;
    t.speed_max = max;
    t.speed_incr = incr;
    t.speed_wiggle = 0;
}
void Direction(ParticleType& t, double min, double max, double wiggle = 0) {
    t.dir_min = min;
    t.dir_max = max;
    t.dir_incr = 0;
    t.dir_wiggle = wiggle;
}
void Orientation(ParticleType& t, double min, double max, bool relative = false) {
    t.ang_min = min;
    t.ang_max = max;
    t.ang_incr = t.ang_wiggle = 0;
    t.ang_relative = relative;
}
void Alpha2(ParticleType& t, double a1, double a2) {
    t.alpha1 = a1;
    t.alpha2 = (a1 + a2) / 2;
    t.alpha3 = a2;
}
void Life(ParticleType& t, double min, double max, double f) {
    t.life_min = RoundLife(min / f);
    t.life_max = RoundLife(max / f);
}
void Shape(ParticleType& t, int32_t shape) {
    t.shape = shape;
    t.sprite = -1;
}

}  // namespace

void ParticleWorld::BuildEffectTypes() {
    if (effect_types_) return;
    effect_types_ = true;
    for (auto& row : effect_type_) row.fill(-1);
    for (int s = 0; s < 3; ++s) {
        effect_type_[kExplosion][size_t(s)] = TypeCreate();
        explosion2_[size_t(s)] = TypeCreate();
    }
    for (int k : {kRing, kEllipse, kSmoke, kSmokeUp, kStar, kSpark, kFlare, kCloud})
        for (int s = 0; s < 3; ++s) effect_type_[size_t(k)][size_t(s)] = TypeCreate();
    for (int k : {kFirework, kRain, kSnow}) effect_type_[size_t(k)].fill(TypeCreate());
}

void ParticleWorld::EffectClear() {
    if (ParticleSystem* ps = System(effect_below_)) ps->particles.clear();
    if (ParticleSystem* ps = System(effect_above_)) ps->particles.clear();
}

void ParticleWorld::Effect(bool above, int32_t kind, double x, double y, int32_t size,
                           int32_t color, double F, int32_t room_width, int32_t room_height) {
    if (!System(effect_below_)) {
        effect_below_ = SystemCreate();
        System(effect_below_)->depth = 100000;
    }
    if (!System(effect_above_)) {
        effect_above_ = SystemCreate();
        System(effect_above_)->depth = -100000;
    }
    BuildEffectTypes();
    ParticleSystem& ps = *System(above ? effect_above_ : effect_below_);
    if (kind < 0 || kind > 11) return;
    const int s = size == 0 ? 0 : size == 2 ? 2 : 1;
    auto pick = [s](double a, double b, double c) { return s == 0 ? a : s == 2 ? c : b; };
    const int32_t id = effect_type_[size_t(kind)][size_t(s)];
    // The effect types are ordinary types: a script may have destroyed one.
    ParticleType* tp = Type(id);
    if (!tp) return;
    ParticleType& t = *tp;
    auto scatter = [&](int32_t count, double r) {
        for (int32_t i = 0; i < count; ++i) {
            const double px = x - r + rng_.NextBelow(uint32_t(2 * r));
            const double py = y - r + rng_.NextBelow(uint32_t(2 * r));
            CreateParticles(ps, px, py, id, 1, true, color);
        }
    };
    switch (kind) {
        case kExplosion: {
            Shape(t, kShapeExplosion);
            Size(t, pick(0.1, 0.3, 0.4), pick(0.1, 0.3, 0.4), pick(0.05, 0.1, 0.2) * F);
            Orientation(t, 0, 360);
            Direction(t, 0, 360);
            const double sp = pick(2, 4, 7) * F;
            Speed(t, sp, sp, pick(-0.1, -0.18, -0.2) * F);
            Alpha2(t, 0.6, 0);
            Life(t, pick(10, 12, 15), pick(15, 17, 20), F);
            ParticleType* t2 = Type(explosion2_[size_t(s)]);
            if (t2) {
                Shape(*t2, kShapeExplosion);
                Size(*t2, pick(0.1, 0.3, 0.4), pick(0.1, 0.3, 0.4), pick(0.1, 0.2, 0.4) * F);
                Orientation(*t2, 0, 360);
                Alpha2(*t2, 0.8, 0);
                Life(*t2, pick(15, 17, 20), pick(15, 17, 20), F);
            }
            CreateParticles(ps, x, y, id, 20, true, color);
            CreateParticles(ps, x, y, explosion2_[size_t(s)], 1, true, 0);
            break;
        }
        case kRing:
        case kEllipse:
            Shape(t, kShapeRing);
            Alpha2(t, 1, 0);
            if (kind == kRing) {
                Size(t, 0, 0, pick(0.15, 0.25, 0.4) * F);
            } else {
                Size(t, 0, 0, pick(0.2, 0.35, 0.6) * F);
                t.xscale = 1;
                t.yscale = 0.5;
            }
            Life(t, pick(10, 13, 18), pick(12, 15, 20), F);
            CreateParticles(ps, x, y, id, 1, true, color);
            break;
        case kFirework:
            Shape(t, kShapeFlare);
            Size(t, 0.1, 0.2, 0);
            Speed(t, 0.5 * F, pick(3, 6, 8) * F, 0);
            Direction(t, 0, 360);
            Alpha2(t, 1, 0.4);
            Life(t, pick(15, 20, 30), pick(25, 30, 40), F);
            t.grav_amount = pick(0.1, 0.15, 0.17) * F;
            t.grav_dir = 270;
            CreateParticles(ps, x, y, id, int32_t(pick(75, 150, 250)), true, color);
            break;
        case kSmoke:
        case kSmokeUp:
            Shape(t, kShapeExplosion);
            Size(t, pick(0.2, 0.4, 0.4), pick(0.4, 0.7, 1), -0.01 * F);
            Alpha2(t, 0.4, 0);
            Life(t, pick(25, 30, 50), pick(25, 30, 50), F);
            if (kind == kSmokeUp) {
                Speed(t, pick(3, 5, 6) * F, pick(4, 6, 7) * F, 0);
                Direction(t, 90, 90);
            }
            scatter(int32_t(pick(6, 11, 16)), pick(5, 15, 30));
            break;
        case kStar:
        case kSpark:
        case kFlare:
            Shape(t, kind == kStar ? kShapeStar : kind == kSpark ? kShapeSpark : kShapeFlare);
            Size(t, pick(0.4, 0.75, 1.2), pick(0.4, 0.75, 1.2), pick(-0.02, -0.03, -0.04) * F);
            Orientation(t, 0, 360);
            Life(t, pick(20, 25, 30), pick(20, 25, 30), F);
            CreateParticles(ps, x, y, id, 1, true, color);
            break;
        case kCloud:
            Shape(t, kShapeExplosion);
            Size(t, pick(2, 4, 8), pick(2, 4, 8), 0);
            t.xscale = 1;
            t.yscale = 0.5;
            t.alpha1 = 0;
            t.alpha2 = 0.3;
            t.alpha3 = 0;
            Life(t, 100, 100, F);
            CreateParticles(ps, x, y, id, 1, true, color);
            break;
        case kRain: {
            Shape(t, kShapeLine);
            Size(t, 0.2, 0.3, 0);
            Orientation(t, 0, 0, true);
            Speed(t, 7 * F, 7 * F, 0);
            Direction(t, 260, 260);
            t.alpha1 = t.alpha2 = t.alpha3 = 0.4;
            t.life_min = t.life_max = RoundLife(0.2 * room_height / F);
            for (int32_t i = 0, n = int32_t(pick(2, 5, 9)); i < n; ++i) {
                const double px = rng_.NextReal() * 1.2 * room_width;
                const double py = double(rng_.NextBelow(20)) - 30;
                CreateParticles(ps, px, py, id, 1, true, color);
            }
            break;
        }
        case kSnow: {
            Shape(t, kShapeSnow);
            Size(t, 0.1, 0.25, 0);
            t.alpha1 = t.alpha2 = t.alpha3 = 0.6;
            Orientation(t, 0, 360);
            Speed(t, 2.5 * F, 3 * F, 0);
            Direction(t, 240, 300, 20);
            t.life_min = t.life_max = RoundLife(0.5 * room_height / F);
            for (int32_t i = 0, n = int32_t(pick(1, 3, 7)); i < n; ++i) {
                const double px = rng_.NextReal() * 1.2 * room_width - 60;
                const double py = double(rng_.NextBelow(20)) - 30;
                CreateParticles(ps, px, py, id, 1, true, color);
            }
            break;
        }
    }
}

}  // namespace kr

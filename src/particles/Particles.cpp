#include "particles/Particles.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "code/Random.h"
#include "data/Color.h"
#include "data/Sprite.h"
#include "graphics/Graphics.h"

namespace kr {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kDeg = kPi / 180;

int32_t RoundInt(double v) {
    if (!(v > -2147483648.0 && v < 2147483647.0)) return v > 0 ? INT32_MAX : INT32_MIN;
    return int32_t(std::nearbyint(v));
}

// Direction in [0, 360) of the vector (dx, dy) on a screen whose y axis points down.
double VectorDirection(double dx, double dy) {
    double d;
    if (dx != 0) {
        const double a = std::atan2(dy, dx) / kDeg;
        d = a > 0 ? 360 - a : -a;
    } else {
        d = dy > 0 ? 270 : dy < 0 ? 90 : 0;
    }
    return d - 360 * std::floor(d / 360);
}

// Triangle wave between -1 and 1 from w in 0..4.
double Triangle(double w) {
    if (w > 2) w = 4 - w;
    return w - 1;
}

template <class T>
void RemoveDead(std::vector<T>& list) {
    auto end = std::remove_if(list.begin(), list.end(), [](const T& p) { return !p.alive; });
    list.erase(end, list.end());
}

bool ProperRegion(double xmin, double xmax, double ymin, double ymax) {
    return xmin < xmax && ymin < ymax;
}

// Whether (x, y) lies in the region's rectangle (bounds inclusive) and in its shape.
bool InRegionShape(double x, double y, double xmin, double xmax, double ymin, double ymax,
                   int32_t shape) {
    if (x < xmin || x > xmax || y < ymin || y > ymax) return false;
    const double u = 2 * (x - (xmin + xmax) / 2) / (xmax - xmin);
    const double v = 2 * (y - (ymin + ymax) / 2) / (ymax - ymin);
    if (shape == 1) return u * u + v * v <= 1;
    if (shape == 2) return std::fabs(u) + std::fabs(v) <= 1;
    return true;
}

}  // namespace

int32_t ParticleMergeColor(int32_t c1, int32_t c2, double amount) {
    int32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const double a = (uint32_t(c1) >> shift) & 0xFF, b = (uint32_t(c2) >> shift) & 0xFF;
        out |= (RoundInt((1 - amount) * a + amount * b) & 0xFF) << shift;
    }
    return out;
}

int32_t ParticleColorHsv(int32_t h, int32_t s, int32_t v) {
    return ScriptColorFromHsv(h, s, v);
}

void ParticleType::Clear() {
    const std::array<double, 6> keep = color;
    const bool add = additive;
    *this = ParticleType{};
    in_use = true;
    color = {16777215, 16777215, 16777215, keep[3], keep[4], keep[5]};
    additive = add;
}

void ParticleSystem::Reset() {
    particles.clear();
    emitters.clear();
    attractors.clear();
    destroyers.clear();
    deflectors.clear();
    changers.clear();
    old_to_new = true;
    depth = x = y = 0;
    auto_update = auto_draw = true;
}

ParticleWorld::ParticleWorld(Random& rng) : rng_(rng) {}
ParticleWorld::~ParticleWorld() = default;

// ---- Types ----

int32_t ParticleWorld::TypeCreate() {
    size_t i = 0;
    while (i < types_.size() && types_[i].in_use) ++i;
    if (i == types_.size()) types_.emplace_back();
    types_[i].Clear();
    return int32_t(i);
}

ParticleType* ParticleWorld::Type(int32_t id) {
    return id >= 0 && size_t(id) < types_.size() && types_[size_t(id)].in_use ? &types_[size_t(id)]
                                                                              : nullptr;
}

void ParticleWorld::TypeDestroy(int32_t id) {
    if (ParticleType* t = Type(id)) {
        t->Clear();
        t->in_use = false;
    }
}

// ---- Systems ----

int32_t ParticleWorld::SystemCreate() {
    BuildShapes();
    size_t i = 0;
    while (i < systems_.size() && systems_[i].in_use) ++i;
    if (i == systems_.size()) systems_.emplace_back();
    systems_[i].Reset();
    systems_[i].in_use = true;
    return int32_t(i);
}

ParticleSystem* ParticleWorld::System(int32_t id) {
    return id >= 0 && size_t(id) < systems_.size() && systems_[size_t(id)].in_use
               ? &systems_[size_t(id)]
               : nullptr;
}

void ParticleWorld::SystemDestroy(int32_t id) {
    if (ParticleSystem* ps = System(id)) {
        ps->Reset();
        ps->in_use = false;
    }
}

double ParticleWorld::RandomRange(double min, double max, int32_t distribution) {
    if (max <= min) return min;
    if (distribution == 1 || distribution == 2) {
        double x;
        do {
            x = (rng_.NextReal() - 0.5) * 6;
        } while (!(std::exp(-x * x / 2) > rng_.NextReal()));
        if (distribution == 1) return min + (max - min) * (x + 3) / 6;
        if (x < 0) x += 6;
        return min + (max - min) * x / 6;
    }
    return min + (max - min) * rng_.NextReal();
}

// A particle of a type that no longer exists uses the slot's cleared values.
void ParticleWorld::MakeParticle(Particle& p, int32_t type, double x, double y) {
    static const ParticleType kCleared = [] {
        ParticleType t;
        t.Clear();
        return t;
    }();
    const ParticleType& t =
        type >= 0 && size_t(type) < types_.size() ? types_[size_t(type)] : kCleared;
    p.alive = true;
    p.type = type;
    p.x = p.xprevious = x;
    p.y = p.yprevious = y;
    p.speed = RandomRange(t.speed_min, t.speed_max);
    p.direction = RandomRange(t.dir_min, t.dir_max);
    p.angle = RandomRange(t.ang_min, t.ang_max);
    p.life = RoundInt(RandomRange(t.life_min, t.life_max));
    p.age = 0;
    switch (t.color_mode) {
        case 3:
        case 4: {
            const int32_t a = RoundInt(RandomRange(t.color[0], t.color[1]));
            const int32_t b = RoundInt(RandomRange(t.color[2], t.color[3]));
            const int32_t c = RoundInt(RandomRange(t.color[4], t.color[5]));
            p.color = t.color_mode == 3 ? ((a & 0xFF) | (b & 0xFF) << 8 | (c & 0xFF) << 16)
                                        : ParticleColorHsv(a, b, c);
            break;
        }
        case 5:
            p.color =
                ParticleMergeColor(RoundInt(t.color[0]), RoundInt(t.color[1]), rng_.NextReal());
            break;
        default:
            p.color = RoundInt(t.color[0]);
            break;
    }
    p.alpha = t.alpha1;
    p.size = RandomRange(t.size_min, t.size_max);
    p.image_offset = t.random ? int32_t(rng_.NextBelow(10000)) : 0;
    p.phase = int32_t(rng_.NextBelow(100000));
}

void ParticleWorld::CreateParticles(ParticleSystem& ps, double x, double y, int32_t type,
                                    int32_t number, bool colored, int32_t color) {
    if (!Type(type) || number <= 0) return;
    std::vector<Particle>& list = ps.particles;
    for (int32_t i = 0; i < number; ++i) {
        if (list.size() == list.capacity()) list.reserve(list.size() + 100);
        Particle& p = list.emplace_back();
        MakeParticle(p, type, x, y);
        if (colored) p.color = color;
    }
}

// Death and step particles: m > 0 makes m, m < 0 makes one with probability 1/|m|.
void ParticleWorld::SpawnAt(ParticleSystem& ps, double x, double y, int32_t type, int32_t m) {
    if (m < 0) {
        if (rng_.NextBelow(uint32_t(-int64_t(m))) != 0) return;
        m = 1;
    }
    CreateParticles(ps, x, y, type, m);
}

void ParticleWorld::Burst(ParticleSystem& ps, const PEmitter& e, int32_t type, int32_t n) {
    if (n < 0) {
        if (rng_.NextBelow(uint32_t(-int64_t(n))) != 0) return;
        n = 1;
    }
    if (n == 0 || !Type(type)) return;
    std::vector<Particle>& list = ps.particles;
    list.reserve(list.size() + size_t(n));
    for (int32_t made = 0; made < n;) {
        double u = RandomRange(0, 1, e.distribution), v = RandomRange(0, 1, e.distribution);
        if (e.distribution == 2 && e.shape != 3) {
            if (rng_.NextReal() < 0.5)
                u = RandomRange(0, 1);
            else
                v = RandomRange(0, 1);
        }
        if (e.shape == 1 && (u - 0.5) * (u - 0.5) + (v - 0.5) * (v - 0.5) > 0.25) continue;
        if (e.shape == 2 && std::fabs(u - 0.5) + std::fabs(v - 0.5) > 0.5) continue;
        const double px = e.xmin + (e.xmax - e.xmin) * u;
        const double py = e.ymin + (e.ymax - e.ymin) * (e.shape == 3 ? u : v);
        MakeParticle(list.emplace_back(), type, px, py);
        ++made;
    }
}

void ParticleWorld::Update(ParticleSystem& ps) {
    static const ParticleType kCleared = [] {
        ParticleType t;
        t.Clear();
        return t;
    }();
    auto type_of = [&](int32_t id) -> const ParticleType& {
        return id >= 0 && size_t(id) < types_.size() ? types_[size_t(id)] : kCleared;
    };
    std::vector<Particle>& list = ps.particles;
    // 1. Life, death and step particles.
    for (size_t i = 0, n = list.size(); i < n; ++i) {
        Particle& p = list[i];
        ++p.age;
        const ParticleType& t = type_of(p.type);
        const double x = p.x, y = p.y;
        if (p.age >= p.life) {
            p.alive = false;
            if (t.death_number != 0) SpawnAt(ps, x, y, t.death_type, t.death_number);
        } else if (t.step_number != 0) {
            SpawnAt(ps, x, y, t.step_type, t.step_number);
        }
    }
    RemoveDead(list);

    // 2. Motion.
    const bool attract = !ps.attractors.empty();
    for (Particle& p : list) {
        const ParticleType& t = type_of(p.type);
        p.xprevious = p.x;
        p.yprevious = p.y;
        p.speed = std::max(0.0, p.speed + t.speed_incr);
        p.direction += t.dir_incr;
        p.angle += t.ang_incr;
        double ox = 0, oy = 0;
        if (t.grav_amount != 0 || attract) {
            double vx = p.speed * std::cos(p.direction * kDeg);
            double vy = -p.speed * std::sin(p.direction * kDeg);
            if (t.grav_amount != 0) {
                vx += t.grav_amount * std::cos(t.grav_dir * kDeg);
                vy -= t.grav_amount * std::sin(t.grav_dir * kDeg);
            }
            for (const PAttractor& a : ps.attractors) {
                if (!a.in_use) continue;
                const double dx = a.x - p.x, dy = a.y - p.y, d = std::sqrt(dx * dx + dy * dy);
                if (d > a.distance || d == 0 || a.force == 0 || a.distance == 0) continue;
                double fx = a.force * dx / d, fy = a.force * dy / d;
                if (a.kind == 1 || a.kind == 2) {
                    double k = (a.distance - d) / a.distance;
                    if (a.kind == 2) k *= k;
                    fx *= k;
                    fy *= k;
                }
                if (a.additive) {
                    vx += fx;
                    vy += fy;
                } else {
                    ox += fx;
                    oy += fy;
                }
            }
            p.direction = VectorDirection(vx, vy);
            p.speed = std::sqrt(vx * vx + vy * vy);
        }
        const double w1 = Triangle(((p.age + 3 * p.phase) % 24) / 6.0);
        const double w2 = Triangle(((p.age + 4 * p.phase) % 20) / 5.0);
        const double s = p.speed + w2 * t.speed_wiggle;
        const double d = (p.direction + w1 * t.dir_wiggle) * kDeg;
        p.x += s * std::cos(d) + ox;
        p.y += -s * std::sin(d) + oy;
    }

    // 3. Deflectors.
    for (const PDeflector& f : ps.deflectors) {
        if (!f.in_use || !ProperRegion(f.xmin, f.xmax, f.ymin, f.ymax)) continue;
        for (Particle& p : list) {
            if (p.x < f.xmin || p.x > f.xmax || p.y < f.ymin || p.y > f.ymax) continue;
            if (f.kind == 1) {
                p.direction = 180 - p.direction;
                if (p.direction < 0) p.direction += 360;
                p.x = p.xprevious - (p.x - p.xprevious);
            } else {
                p.direction = 360 - p.direction;
                p.y = p.yprevious - (p.y - p.yprevious);
            }
            p.speed = std::max(0.0, p.speed - f.friction);
        }
    }

    // 4. Changers. Without a type 2 to change into, a particle is left as it is.
    for (const PChanger& c : ps.changers) {
        if (!c.in_use || !ProperRegion(c.xmin, c.xmax, c.ymin, c.ymax) || !Type(c.type2)) continue;
        for (Particle& p : list) {
            if (p.type != c.type1 ||
                !InRegionShape(p.x, p.y, c.xmin, c.xmax, c.ymin, c.ymax, c.shape))
                continue;
            Particle fresh;
            MakeParticle(fresh, c.type2, p.x, p.y);
            p.type = c.type2;
            if (c.kind == 1) {
                p.angle = fresh.angle;
                p.color = fresh.color;
                p.alpha = fresh.alpha;
                p.size = fresh.size;
                p.image_offset = fresh.image_offset;
            } else if (c.kind == 2) {
                p.speed = fresh.speed;
                p.direction = fresh.direction;
            } else {
                p = fresh;
            }
        }
    }

    // 5. Destroyers.
    if (!ps.destroyers.empty()) {
        for (const PDestroyer& d : ps.destroyers) {
            if (!d.in_use || !ProperRegion(d.xmin, d.xmax, d.ymin, d.ymax)) continue;
            for (Particle& p : list)
                if (InRegionShape(p.x, p.y, d.xmin, d.xmax, d.ymin, d.ymax, d.shape))
                    p.alive = false;
        }
        RemoveDead(list);
    }

    // 6. Appearance.
    for (Particle& p : list) {
        const ParticleType& t = type_of(p.type);
        p.size = std::max(0.0, p.size + t.size_incr);
        const double life = p.life;
        if (t.color_mode == 1) {
            p.color = ParticleMergeColor(RoundInt(t.color[0]), RoundInt(t.color[1]),
                                         std::min(1.0, p.age / life));
        } else if (t.color_mode == 2) {
            const double f = std::min(2.0, 2 * p.age / life);
            p.color = f >= 1 ? ParticleMergeColor(RoundInt(t.color[1]), RoundInt(t.color[2]), f - 1)
                             : ParticleMergeColor(RoundInt(t.color[0]), RoundInt(t.color[1]), f);
        }
        const double f = p.life < 1 ? 1 : 2.0 * p.age / life;
        p.alpha =
            f >= 1 ? (f - 1) * t.alpha3 + (2 - f) * t.alpha2 : f * t.alpha2 + (1 - f) * t.alpha1;
    }

    // 7. Streams.
    for (size_t i = 0; i < ps.emitters.size(); ++i) {
        const PEmitter e = ps.emitters[i];
        if (e.in_use && e.number != 0) Burst(ps, e, e.type, e.number);
    }
}

void ParticleWorld::UpdateAll() {
    for (size_t i = 0; i < systems_.size(); ++i)
        if (systems_[i].in_use && systems_[i].auto_update) Update(systems_[i]);
}

// ---- Drawing ----

void ParticleWorld::Draw(const ParticleSystem& ps, Graphics& g, const SpriteLookup& sprites) {
    static const ParticleType kCleared = [] {
        ParticleType t;
        t.Clear();
        return t;
    }();
    const bool interpolate = g.Interpolation();
    g.SetInterpolation(true);
    const size_t n = ps.particles.size();
    for (size_t k = 0; k < n; ++k) {
        const Particle& p = ps.particles[ps.old_to_new ? k : n - 1 - k];
        if (p.life <= 0) continue;
        const ParticleType& t =
            p.type >= 0 && size_t(p.type) < types_.size() ? types_[size_t(p.type)] : kCleared;
        CSprite* sprite = sprites ? sprites(t.sprite) : nullptr;
        if (!sprite) sprite = ShapeSprite(t.shape);
        if (!sprite || sprite->FrameCount() == 0) continue;
        const int32_t count = sprite->FrameCount();
        int64_t frame = p.image_offset;
        if (t.animate)
            frame += t.stretch ? int64_t(std::floor(double(count) * p.age / p.life)) : p.age;
        frame %= count;
        if (frame < 0) frame += count;
        const double wa = Triangle(((p.age + 2 * p.phase) % 16) / 4.0);
        const double ws = Triangle(((p.age + p.phase) % 16) / 4.0);
        double angle = p.angle + wa * t.ang_wiggle;
        if (t.ang_relative) angle += p.direction;
        const double s = p.size + ws * t.size_wiggle;
        if (t.additive) g.SetBlendMode(1);
        g.DrawTextureExt(g.SpriteTexture(*sprite, int32_t(frame)),
                         ScriptColorToDevice(p.color, p.alpha), sprite->x_origin, sprite->y_origin,
                         ps.x + p.x, ps.y + p.y, t.xscale * s, t.yscale * s, angle * kDeg);
        if (t.additive) g.SetBlendMode(0);
    }
    g.SetInterpolation(interpolate);
}

double ParticleWorld::DeepestSystemDepth() const {
    double best = kNoDepth;
    bool any = false;
    for (const ParticleSystem& ps : systems_)
        if (ps.in_use && ps.auto_draw && (!any || ps.depth > best)) {
            best = ps.depth;
            any = true;
        }
    return best;
}

double ParticleWorld::NextSystemDepth(double d) const {
    double best = kNoDepth;
    bool any = false;
    for (const ParticleSystem& ps : systems_)
        if (ps.in_use && ps.auto_draw && ps.depth < d && (!any || ps.depth > best)) {
            best = ps.depth;
            any = true;
        }
    return best;
}

void ParticleWorld::DrawSystemsAtDepth(double d, Graphics& g, const SpriteLookup& sprites) {
    for (const ParticleSystem& ps : systems_)
        if (ps.in_use && ps.auto_draw && std::fabs(ps.depth - d) < 0.01) Draw(ps, g, sprites);
}

CSprite* ParticleWorld::ShapeSprite(int32_t k) {
    if (k < 0 || k >= kShapeCount) return nullptr;
    BuildShapes();
    return shapes_[size_t(k)].get();
}

namespace {

// A smooth value noise in 0..1 from integer lattice hashes, for the soft shapes.
double Hash(int32_t x, int32_t y, uint32_t seed) {
    uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return double((h ^ (h >> 16)) & 0xFFFF) / 65535.0;
}
double Noise(double x, double y, uint32_t seed) {
    const int32_t ix = int32_t(std::floor(x)), iy = int32_t(std::floor(y));
    double fx = x - ix, fy = y - iy;
    fx = fx * fx * (3 - 2 * fx);
    fy = fy * fy * (3 - 2 * fy);
    const double a = Hash(ix, iy, seed), b = Hash(ix + 1, iy, seed), c = Hash(ix, iy + 1, seed),
                 d = Hash(ix + 1, iy + 1, seed);
    return (a + (b - a) * fx) * (1 - fy) + (c + (d - c) * fx) * fy;
}
double Fbm(double x, double y, uint32_t seed) {
    return 0.5 * Noise(x / 8, y / 8, seed) + 0.3 * Noise(x / 4, y / 4, seed + 1) +
           0.2 * Noise(x / 2, y / 2, seed + 2);
}
double Clamp01(double v) {
    return std::clamp(v, 0.0, 1.0);
}
// A band of width w around radius r0, soft at its edges.
double Band(double r, double r0, double w) {
    return Clamp01(1 - std::fabs(r - r0) / w);
}

// Intensity 0..1 of built-in shape k at pixel centre offset (dx, dy) from the middle.
double ShapeIntensity(int32_t k, double dx, double dy) {
    const double r = std::sqrt(dx * dx + dy * dy);
    const double a = std::atan2(dy, dx);
    switch (k) {
        case 0:
            return Clamp01(2.5 - r);  // pixel
        case 1:
            return Clamp01(30.5 - r);  // disk
        case 2:
            return std::fabs(dx) < 24 && std::fabs(dy) < 24 ? 1 : 0;  // square
        case 3:                                                       // line
            return Clamp01(2.5 - std::fabs(dy)) * Clamp01((31 - std::fabs(dx)) / 4);
        case 4: {  // star: five points
            const double edge = 12 + 18 * std::pow(std::fabs(std::cos(2.5 * (a + kPi / 2))), 3);
            return Clamp01(edge - r + 0.5);
        }
        case 5:
            return Band(r, 29, 1.5);  // circle
        case 6:
            return Band(r, 24, 6);  // ring
        case 7: {                   // sphere
            const double t = Clamp01(1 - r / 30);
            return std::sqrt(t);
        }
        case 8: {  // flare: a bright core with four soft rays
            const double core = std::exp(-r / 5);
            const double rays = std::exp(-std::fabs(dx) / 1.5) + std::exp(-std::fabs(dy) / 1.5);
            return Clamp01(core + 0.6 * rays * Clamp01(1 - r / 31));
        }
        case 9: {  // spark: a thin cross, bright in the middle
            const double cross =
                std::max(Clamp01(1.5 - std::fabs(dx)) * Clamp01(1 - std::fabs(dy) / 30),
                         Clamp01(1.5 - std::fabs(dy)) * Clamp01(1 - std::fabs(dx) / 30));
            return Clamp01(cross + std::exp(-r / 3));
        }
        case 10: {  // explosion: a ragged bright blob
            const double edge = 18 + 12 * Fbm(std::cos(a) * 20 + 40, std::sin(a) * 20 + 40, 7);
            return Clamp01((edge - r) / 6) * (0.6 + 0.4 * Fbm(dx + 32, dy + 32, 11));
        }
        case 11:  // cloud: soft and lumpy
            return Clamp01(1 - r / 31) * Clamp01(0.3 + Fbm(dx + 32, dy + 32, 23));
        case 12:  // smoke: faint and soft
            return 0.7 * Clamp01(1 - r / 31) * Clamp01(Fbm(dx + 32, dy + 32, 31) * 1.2);
        case 13: {  // snow: six arms with a small core
            double best = 0;
            for (int i = 0; i < 6; ++i) {
                const double t = i * kPi / 3;
                const double along = dx * std::cos(t) + dy * std::sin(t);
                const double across = -dx * std::sin(t) + dy * std::cos(t);
                if (along >= 0 && along < 28)
                    best = std::max(best, Clamp01(1.5 - std::fabs(across)));
            }
            return std::max(best, Clamp01(5 - r));
        }
    }
    return 0;
}

}  // namespace

// White pictures whose alpha carries the shape, so a particle's colour tints it exactly.
void ParticleWorld::BuildShapes() {
    if (shapes_built_) return;
    shapes_built_ = true;
    for (int32_t k = 0; k < kShapeCount; ++k) {
        auto sprite = std::make_unique<CSprite>();
        TBitmap32 image(64, 64);
        for (int32_t y = 0; y < 64; ++y) {
            Bgra* row = image.Row(y);
            for (int32_t x = 0; x < 64; ++x) {
                const double v = ShapeIntensity(k, x + 0.5 - 32, y + 0.5 - 32);
                row[x] = Bgra{255, 255, 255, uint8_t(std::lround(Clamp01(v) * 255))};
            }
        }
        sprite->frames.push_back(std::move(image));
        sprite->x_origin = sprite->y_origin = 32;
        sprite->bbox_right = sprite->bbox_bottom = 63;
        shapes_[size_t(k)] = std::move(sprite);
    }
}

}  // namespace kr

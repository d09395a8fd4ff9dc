// ParticleWorld: particle types and particle systems (with their emitters, attractors,
// destroyers, deflectors and changers), their update and drawing, and the ready-made effects.
// Particles are plain records kept contiguous per system; an update compacts them in place and
// allocates only when a list grows. Random values come from the game's generator, in a fixed
// order, so a seeded game repeats exactly.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace kr {

class Random;
class CSprite;
class Graphics;

struct ParticleType {
    bool in_use = false;
    int32_t sprite = -1;
    bool animate = true, stretch = false, random = false;
    int32_t shape = 0;
    double size_min = 1, size_max = 1, size_incr = 0, size_wiggle = 0;
    double xscale = 1, yscale = 1;
    int32_t life_min = 100, life_max = 100;
    int32_t death_type = 0, death_number = 0, step_type = 0, step_number = 0;
    double speed_min = 0, speed_max = 0, speed_incr = 0, speed_wiggle = 0;
    double dir_min = 0, dir_max = 0, dir_incr = 0, dir_wiggle = 0;
    double grav_amount = 0, grav_dir = 270;
    double ang_min = 0, ang_max = 0, ang_incr = 0, ang_wiggle = 0;
    bool ang_relative = false;
    int32_t color_mode = 0;
    std::array<double, 6> color{};
    double alpha1 = 1, alpha2 = 1, alpha3 = 1;
    bool additive = false;
    // The cleared values; the last three colour values and the blend flag are kept.
    void Clear();
};

struct Particle {
    bool alive = true;
    int32_t type = 0, age = 0, life = 0;
    double x = 0, y = 0, xprevious = 0, yprevious = 0;
    double speed = 0, direction = 0, angle = 0;
    int32_t color = 0;
    double alpha = 1, size = 1;
    int32_t image_offset = 0, phase = 0;
};

struct PEmitter {
    bool in_use = false;
    int32_t number = 0;
    double xmin = 0, xmax = 0, ymin = 0, ymax = 0;
    int32_t distribution = 0, shape = 0, type = 0;
};
struct PAttractor {
    bool in_use = false;
    double x = 0, y = 0, force = 0, distance = 0;
    int32_t kind = 0;
    bool additive = true;
};
struct PDestroyer {
    bool in_use = false;
    double xmin = 0, xmax = 0, ymin = 0, ymax = 0;
    int32_t shape = 0;
};
struct PDeflector {
    bool in_use = false;
    double xmin = 0, xmax = 0, ymin = 0, ymax = 0;
    int32_t kind = 0;
    double friction = 0;
};
struct PChanger {
    bool in_use = false;
    double xmin = 0, xmax = 0, ymin = 0, ymax = 0;
    int32_t shape = 0, type1 = -1, type2 = -1, kind = 0;
};

struct ParticleSystem {
    bool in_use = false;
    std::vector<Particle> particles;
    std::vector<PEmitter> emitters;
    std::vector<PAttractor> attractors;
    std::vector<PDestroyer> destroyers;
    std::vector<PDeflector> deflectors;
    std::vector<PChanger> changers;
    bool old_to_new = true;
    double depth = 0, x = 0, y = 0;
    bool auto_update = true, auto_draw = true;
    void Reset();
};

// A component list hands out the first free slot again; ids are list indices.
template <class T>
int32_t AddComponent(std::vector<T>& list) {
    for (size_t i = 0; i < list.size(); ++i)
        if (!list[i].in_use) {
            list[i] = T{};
            list[i].in_use = true;
            return int32_t(i);
        }
    list.emplace_back().in_use = true;
    return int32_t(list.size() - 1);
}
template <class T>
T* Component(std::vector<T>& list, int32_t id) {
    return id >= 0 && size_t(id) < list.size() && list[size_t(id)].in_use ? &list[size_t(id)]
                                                                          : nullptr;
}

// Script colour helpers the particles share with the drawing functions' definitions.
int32_t ParticleMergeColor(int32_t c1, int32_t c2, double amount);
int32_t ParticleColorHsv(int32_t h, int32_t s, int32_t v);

class ParticleWorld {
public:
    static constexpr int32_t kShapeCount = 14;
    static constexpr double kNoDepth = -1000000000.0;
    using SpriteLookup = std::function<CSprite*(int32_t)>;

    explicit ParticleWorld(Random& rng);
    ~ParticleWorld();
    ParticleWorld(const ParticleWorld&) = delete;
    ParticleWorld& operator=(const ParticleWorld&) = delete;

    // ---- Types ----
    int32_t TypeCreate();
    ParticleType* Type(int32_t id);
    void TypeDestroy(int32_t id);

    // ---- Systems ----
    int32_t SystemCreate();
    ParticleSystem* System(int32_t id);
    void SystemDestroy(int32_t id);
    // Appends `number` particles of `type` at (x, y), with colour `color` when `colored`.
    void CreateParticles(ParticleSystem& ps, double x, double y, int32_t type, int32_t number,
                         bool colored = false, int32_t color = 0);
    void Burst(ParticleSystem& ps, const PEmitter& e, int32_t type, int32_t number);
    void Update(ParticleSystem& ps);
    // Every existing system with automatic update, by increasing id.
    void UpdateAll();

    // ---- Drawing ----
    void Draw(const ParticleSystem& ps, Graphics& g, const SpriteLookup& sprites);
    double DeepestSystemDepth() const;
    double NextSystemDepth(double d) const;
    void DrawSystemsAtDepth(double d, Graphics& g, const SpriteLookup& sprites);
    // The built-in shape sprite k (0..13), made on first use of a system.
    CSprite* ShapeSprite(int32_t k);

    // ---- Effects ----
    // `speed_factor` scales speeds and lives for fast rooms.
    void Effect(bool above, int32_t kind, double x, double y, int32_t size, int32_t color,
                double speed_factor, int32_t room_width, int32_t room_height);
    void EffectClear();
    int32_t EffectSystem(bool above) const { return above ? effect_above_ : effect_below_; }

private:
    void MakeParticle(Particle& p, int32_t type, double x, double y);
    void SpawnAt(ParticleSystem& ps, double x, double y, int32_t type, int32_t number);
    double RandomRange(double min, double max, int32_t distribution = 0);
    void BuildShapes();
    void BuildEffectTypes();

    Random& rng_;
    std::vector<ParticleType> types_;
    std::vector<ParticleSystem> systems_;
    std::array<std::unique_ptr<CSprite>, kShapeCount> shapes_;
    bool shapes_built_ = false;
    int32_t effect_below_ = -1, effect_above_ = -1;
    bool effect_types_ = false;
    // Effect type ids: [kind][size]; the explosion's second type in explosion2_.
    std::array<std::array<int32_t, 3>, 12> effect_type_{};
    std::array<int32_t, 3> explosion2_{};
};

}  // namespace kr

// Script functions for particle types, systems, emitters, attractors, destroyers, deflectors,
// changers and the ready-made effects. A missing type, system or component makes a call do
// nothing (creators of components give -1 for a missing system); none reports an error.
#include "code/Vocabulary.h"
#include "particles/Particles.h"
#include "runner/Runner.h"

namespace kr {

namespace {

ParticleWorld& World(Runtime& rt) {
    return RunnerOf(rt).Particles();
}

double R(const RValue* a, int i) {
    return ArgReal(a[i]);
}
int32_t I(const RValue* a, int i) {
    return ArgInt(a[i]);
}
bool B(const RValue* a, int i) {
    return ArgBool(a[i]);
}

}  // namespace

#define KR_PART_FN(name)                                                                       \
    static void fn_##name([[maybe_unused]] Runtime& rt, [[maybe_unused]] ScriptInstance* self, \
                          [[maybe_unused]] ScriptInstance* other, [[maybe_unused]] int argc,   \
                          [[maybe_unused]] const RValue* args, [[maybe_unused]] RValue& result)

// A type setter: `t` is the type of the first argument; nothing happens when it is missing.
#define KR_TYPE_FN(name, body)                         \
    KR_PART_FN(name) {                                 \
        ParticleType* tp = World(rt).Type(I(args, 0)); \
        if (!tp) return;                               \
        ParticleType& t = *tp;                         \
        body;                                          \
    }
// A system function: `ps` is the system of the first argument.
#define KR_SYSTEM_FN(name, body)                            \
    KR_PART_FN(name) {                                      \
        ParticleSystem* psp = World(rt).System(I(args, 0)); \
        if (!psp) return;                                   \
        ParticleSystem& ps = *psp;                          \
        body;                                               \
    }
// A component function: `c` is component args[1] of list `list` of system args[0].
#define KR_COMPONENT_FN(name, list, body)                   \
    KR_PART_FN(name) {                                      \
        ParticleSystem* psp = World(rt).System(I(args, 0)); \
        if (!psp) return;                                   \
        auto* cp = Component(psp->list, I(args, 1));        \
        if (!cp) return;                                    \
        auto& c = *cp;                                      \
        body;                                               \
    }

// ---- Types ----

KR_PART_FN(part_type_create) {
    result.SetReal(World(rt).TypeCreate());
}
KR_PART_FN(part_type_destroy) {
    World(rt).TypeDestroy(I(args, 0));
}
KR_PART_FN(part_type_exists) {
    result.SetReal(World(rt).Type(I(args, 0)) ? 1 : 0);
}
KR_TYPE_FN(part_type_clear, t.Clear())
KR_TYPE_FN(part_type_shape, (t.shape = I(args, 1), t.sprite = -1))
KR_TYPE_FN(part_type_sprite, (t.sprite = I(args, 1), t.animate = B(args, 2), t.stretch = B(args, 3),
                              t.random = B(args, 4)))
KR_TYPE_FN(part_type_size, (t.size_min = R(args, 1), t.size_max = R(args, 2),
                            t.size_incr = R(args, 3), t.size_wiggle = R(args, 4)))
KR_TYPE_FN(part_type_scale, (t.xscale = R(args, 1), t.yscale = R(args, 2)))
KR_TYPE_FN(part_type_life, (t.life_min = I(args, 1), t.life_max = I(args, 2)))
KR_TYPE_FN(part_type_step, (t.step_number = I(args, 1), t.step_type = I(args, 2)))
KR_TYPE_FN(part_type_death, (t.death_number = I(args, 1), t.death_type = I(args, 2)))
KR_TYPE_FN(part_type_speed, (t.speed_min = R(args, 1), t.speed_max = R(args, 2),
                             t.speed_incr = R(args, 3), t.speed_wiggle = R(args, 4)))
KR_TYPE_FN(part_type_direction, (t.dir_min = R(args, 1), t.dir_max = R(args, 2),
                                 t.dir_incr = R(args, 3), t.dir_wiggle = R(args, 4)))
KR_TYPE_FN(part_type_orientation,
           (t.ang_min = R(args, 1), t.ang_max = R(args, 2), t.ang_incr = R(args, 3),
            t.ang_wiggle = R(args, 4), t.ang_relative = B(args, 5)))
KR_TYPE_FN(part_type_gravity, (t.grav_amount = R(args, 1), t.grav_dir = R(args, 2)))
KR_TYPE_FN(part_type_color_mix,
           (t.color_mode = 5, t.color[0] = R(args, 1), t.color[1] = R(args, 2)))
KR_TYPE_FN(part_type_color_rgb, t.color_mode = 3;
           for (int i = 0; i < 6; ++i) t.color[size_t(i)] = R(args, i + 1))
KR_TYPE_FN(part_type_color_hsv, t.color_mode = 4;
           for (int i = 0; i < 6; ++i) t.color[size_t(i)] = R(args, i + 1))
KR_TYPE_FN(part_type_color1, (t.color_mode = 0, t.color[0] = R(args, 1)))
KR_TYPE_FN(part_type_color2, (t.color_mode = 1, t.color[0] = R(args, 1), t.color[1] = R(args, 2)))
KR_TYPE_FN(part_type_color3, (t.color_mode = 2, t.color[0] = R(args, 1), t.color[1] = R(args, 2),
                              t.color[2] = R(args, 3)))
KR_TYPE_FN(part_type_alpha1, t.alpha1 = t.alpha2 = t.alpha3 = R(args, 1))
KR_TYPE_FN(part_type_alpha2,
           (t.alpha1 = R(args, 1), t.alpha2 = (R(args, 1) + R(args, 2)) / 2, t.alpha3 = R(args, 2)))
KR_TYPE_FN(part_type_alpha3, (t.alpha1 = R(args, 1), t.alpha2 = R(args, 2), t.alpha3 = R(args, 3)))
KR_TYPE_FN(part_type_blend, t.additive = B(args, 1))

// ---- Systems ----

KR_PART_FN(part_system_create) {
    result.SetReal(World(rt).SystemCreate());
}
KR_PART_FN(part_system_destroy) {
    World(rt).SystemDestroy(I(args, 0));
}
KR_PART_FN(part_system_exists) {
    result.SetReal(World(rt).System(I(args, 0)) ? 1 : 0);
}
KR_SYSTEM_FN(part_system_clear, ps.Reset())
KR_SYSTEM_FN(part_system_draw_order, ps.old_to_new = B(args, 1))
KR_SYSTEM_FN(part_system_depth, ps.depth = R(args, 1))
KR_SYSTEM_FN(part_system_position, (ps.x = R(args, 1), ps.y = R(args, 2)))
KR_SYSTEM_FN(part_system_automatic_update, ps.auto_update = B(args, 1))
KR_SYSTEM_FN(part_system_automatic_draw, ps.auto_draw = B(args, 1))
KR_SYSTEM_FN(part_system_update, World(rt).Update(ps))
KR_SYSTEM_FN(part_system_drawit, {
    Runner& runner = RunnerOf(rt);
    World(rt).Draw(ps, runner.Drawer().Gfx(),
                   [&runner](int32_t s) { return runner.Game().sprites.Get(s); });
})
KR_SYSTEM_FN(part_particles_create,
             World(rt).CreateParticles(ps, R(args, 1), R(args, 2), I(args, 3), I(args, 4)))
KR_SYSTEM_FN(part_particles_create_color,
             World(rt).CreateParticles(ps, R(args, 1), R(args, 2), I(args, 3), I(args, 5), true,
                                       I(args, 4)))
KR_SYSTEM_FN(part_particles_clear, ps.particles.clear())
KR_SYSTEM_FN(part_particles_count, result.SetReal(double(ps.particles.size())))

// ---- Components ----

// The five family operations of component list `list`.
#define KR_FAMILY(prefix, list)                                       \
    KR_PART_FN(prefix##_create) {                                     \
        ParticleSystem* ps = World(rt).System(I(args, 0));            \
        result.SetReal(ps ? AddComponent(ps->list) : -1);             \
    }                                                                 \
    KR_COMPONENT_FN(prefix##_destroy, list, c.in_use = false)         \
    KR_SYSTEM_FN(prefix##_destroy_all, ps.list.clear())               \
    KR_PART_FN(prefix##_exists) {                                     \
        ParticleSystem* ps = World(rt).System(I(args, 0));            \
        result.SetReal(ps&& Component(ps->list, I(args, 1)) ? 1 : 0); \
    }                                                                 \
    KR_COMPONENT_FN(prefix##_clear, list,                             \
                    (c = std::remove_reference_t<decltype(c)>{}, c.in_use = true))

KR_FAMILY(part_emitter, emitters)
KR_FAMILY(part_attractor, attractors)
KR_FAMILY(part_destroyer, destroyers)
KR_FAMILY(part_deflector, deflectors)
KR_FAMILY(part_changer, changers)

KR_COMPONENT_FN(part_emitter_region, emitters,
                (c.xmin = R(args, 2), c.xmax = R(args, 3), c.ymin = R(args, 4), c.ymax = R(args, 5),
                 c.shape = I(args, 6), c.distribution = I(args, 7)))
KR_COMPONENT_FN(part_emitter_burst, emitters, World(rt).Burst(*psp, c, I(args, 2), I(args, 3)))
KR_COMPONENT_FN(part_emitter_stream, emitters, (c.type = I(args, 2), c.number = I(args, 3)))
KR_COMPONENT_FN(part_attractor_position, attractors, (c.x = R(args, 2), c.y = R(args, 3)))
KR_COMPONENT_FN(part_attractor_force, attractors,
                (c.force = R(args, 2), c.distance = R(args, 3), c.kind = I(args, 4),
                 c.additive = B(args, 5)))
KR_COMPONENT_FN(part_destroyer_region, destroyers,
                (c.xmin = R(args, 2), c.xmax = R(args, 3), c.ymin = R(args, 4), c.ymax = R(args, 5),
                 c.shape = I(args, 6)))
KR_COMPONENT_FN(part_deflector_region, deflectors,
                (c.xmin = R(args, 2), c.xmax = R(args, 3), c.ymin = R(args, 4),
                 c.ymax = R(args, 5)))
KR_COMPONENT_FN(part_deflector_kind, deflectors, c.kind = I(args, 2))
KR_COMPONENT_FN(part_deflector_friction, deflectors, c.friction = R(args, 2))
KR_COMPONENT_FN(part_changer_region, changers,
                (c.xmin = R(args, 2), c.xmax = R(args, 3), c.ymin = R(args, 4), c.ymax = R(args, 5),
                 c.shape = I(args, 6)))
KR_COMPONENT_FN(part_changer_kind, changers, c.kind = I(args, 2))
KR_COMPONENT_FN(part_changer_types, changers, (c.type1 = I(args, 2), c.type2 = I(args, 3)))

// ---- Effects ----

static void MakeEffect(Runtime& rt, const RValue* args, bool above) {
    Runner& runner = RunnerOf(rt);
    GameLoop& loop = runner.Loop();
    const CRoom& room = loop.Room();
    // Fast rooms scale speeds and lives so an effect looks the same as at 30 steps a second.
    const double rs = room.speed, fps = loop.Fps();
    double f = 1;
    if (rs > 30 && fps > 30) f = rs / fps < 1.2 ? 30 / rs : 30 / fps;
    World(rt).Effect(above, I(args, 0), R(args, 1), R(args, 2), I(args, 3), I(args, 4), f,
                     room.width, room.height);
}
KR_PART_FN(effect_create_below) {
    MakeEffect(rt, args, false);
}
KR_PART_FN(effect_create_above) {
    MakeEffect(rt, args, true);
}
KR_PART_FN(effect_clear) {
    World(rt).EffectClear();
}

// ORDER VOCABULARY: the rows keep the registration order of the family.
#define KR_ROW(name, n) \
    { #name, &fn_##name, n }
static constexpr BuiltinDef kParticleFunctions[] = {
    KR_ROW(part_type_create, 0),
    KR_ROW(part_type_destroy, 1),
    KR_ROW(part_type_exists, 1),
    KR_ROW(part_type_clear, 1),
    KR_ROW(part_type_shape, 2),
    KR_ROW(part_type_sprite, 5),
    KR_ROW(part_type_size, 5),
    KR_ROW(part_type_scale, 3),
    KR_ROW(part_type_life, 3),
    KR_ROW(part_type_step, 3),
    KR_ROW(part_type_death, 3),
    KR_ROW(part_type_speed, 5),
    KR_ROW(part_type_direction, 5),
    KR_ROW(part_type_orientation, 6),
    KR_ROW(part_type_gravity, 3),
    KR_ROW(part_type_color_mix, 3),
    KR_ROW(part_type_color_rgb, 7),
    KR_ROW(part_type_color_hsv, 7),
    KR_ROW(part_type_color1, 2),
    KR_ROW(part_type_color2, 3),
    KR_ROW(part_type_color3, 4),
    {"part_type_color", &fn_part_type_color3, 4},
    KR_ROW(part_type_alpha1, 2),
    KR_ROW(part_type_alpha2, 3),
    KR_ROW(part_type_alpha3, 4),
    {"part_type_alpha", &fn_part_type_alpha3, 4},
    KR_ROW(part_type_blend, 2),
    KR_ROW(part_system_create, 0),
    KR_ROW(part_system_destroy, 1),
    KR_ROW(part_system_exists, 1),
    KR_ROW(part_system_clear, 1),
    KR_ROW(part_system_draw_order, 2),
    KR_ROW(part_system_depth, 2),
    KR_ROW(part_system_position, 3),
    KR_ROW(part_system_automatic_update, 2),
    KR_ROW(part_system_automatic_draw, 2),
    KR_ROW(part_system_update, 1),
    KR_ROW(part_system_drawit, 1),
    KR_ROW(part_particles_create, 5),
    KR_ROW(part_particles_create_color, 6),
    KR_ROW(part_particles_clear, 1),
    KR_ROW(part_particles_count, 1),
    KR_ROW(part_emitter_create, 1),
    KR_ROW(part_emitter_destroy, 2),
    KR_ROW(part_emitter_destroy_all, 1),
    KR_ROW(part_emitter_exists, 2),
    KR_ROW(part_emitter_clear, 2),
    KR_ROW(part_emitter_region, 8),
    KR_ROW(part_emitter_burst, 4),
    KR_ROW(part_emitter_stream, 4),
    KR_ROW(part_attractor_create, 1),
    KR_ROW(part_attractor_destroy, 2),
    KR_ROW(part_attractor_destroy_all, 1),
    KR_ROW(part_attractor_exists, 2),
    KR_ROW(part_attractor_clear, 2),
    KR_ROW(part_attractor_position, 4),
    KR_ROW(part_attractor_force, 6),
    KR_ROW(part_destroyer_create, 1),
    KR_ROW(part_destroyer_destroy, 2),
    KR_ROW(part_destroyer_destroy_all, 1),
    KR_ROW(part_destroyer_exists, 2),
    KR_ROW(part_destroyer_clear, 2),
    KR_ROW(part_destroyer_region, 7),
    KR_ROW(part_deflector_create, 1),
    KR_ROW(part_deflector_destroy, 2),
    KR_ROW(part_deflector_destroy_all, 1),
    KR_ROW(part_deflector_exists, 2),
    KR_ROW(part_deflector_clear, 2),
    KR_ROW(part_deflector_region, 6),
    KR_ROW(part_deflector_kind, 3),
    KR_ROW(part_deflector_friction, 3),
    KR_ROW(part_changer_create, 1),
    KR_ROW(part_changer_destroy, 2),
    KR_ROW(part_changer_destroy_all, 1),
    KR_ROW(part_changer_exists, 2),
    KR_ROW(part_changer_clear, 2),
    KR_ROW(part_changer_region, 7),
    KR_ROW(part_changer_kind, 3),
    KR_ROW(part_changer_types, 4),
    KR_ROW(effect_create_below, 5),
    KR_ROW(effect_create_above, 5),
    KR_ROW(effect_clear, 0),
};
#undef KR_ROW

void RegisterParticleFunctions(BuiltinRegistry& reg) {
    reg.AddTable<kParticleFunctions>();
}

}  // namespace kr

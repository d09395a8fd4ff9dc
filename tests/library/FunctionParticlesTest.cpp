// Particle types and systems driven from scripts: live counts over known updates, a seeded run
// repeating exactly, the components' effects on motion and life, the ready-made effects, and
// calls naming types, systems or components that do not exist.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "support/ScriptRunner.h"

namespace kr {
namespace {

using test::Show;

class ParticlesTest : public ::testing::Test {
protected:
    // The value of `code`, with no error shown.
    std::string Value(const std::string& code) {
        std::string v = Show(run_.Run(code));
        EXPECT_EQ(run_.LastError(), "") << code;
        return v;
    }
    ParticleSystem& System(int32_t id) { return *run_.GetRunner().Particles().System(id); }
    test::ScriptRunner run_;
};

TEST_F(ParticlesTest, MissingTypesSystemsAndComponentsDoNothingWithoutAnError) {
    struct Case {
        const char* code;
        const char* want;
    } cases[] = {
        {"return part_type_exists(0)", "0"},
        {"return part_system_exists(-1)", "0"},
        {"return part_particles_count(3)", "0"},
        {"return part_emitter_create(3)", "-1"},
        {"return part_changer_create(0.4)", "-1"},  // ids are rounded: system 0 does not exist
        {"part_type_size(4, 1, 2, 0, 0); part_system_update(2); part_system_drawit(2); return 1",
         "1"},
        {"ps = part_system_create(); return part_emitter_exists(ps, 0)", "0"},
        {"part_emitter_burst(ps, 0, 0, 10); return part_particles_count(ps)", "0"},
        // An existing emitter with a missing type makes nothing.
        {"e = part_emitter_create(ps); part_emitter_burst(ps, e, 7, 10); "
         "return part_particles_count(ps)",
         "0"},
        {"part_particles_create(ps, 0, 0, 7, 5); return part_particles_count(ps)", "0"},
        {"return part_attractor_exists(ps, 3) + part_deflector_exists(ps, -1)", "0"},
    };
    for (const Case& c : cases) EXPECT_EQ(Value(c.code), c.want) << c.code;
}

TEST_F(ParticlesTest, IdsAreReusedAndClearingKeepsTheLastColoursAndBlend) {
    EXPECT_EQ(Value("a = part_type_create(); b = part_type_create(); part_type_destroy(a); "
                    "return string(a) + ',' + string(b) + ',' + string(part_type_create())"),
              "\"0,1,0\"");
    EXPECT_EQ(Value("ps = part_system_create(); e1 = part_emitter_create(ps); "
                    "e2 = part_emitter_create(ps); part_emitter_destroy(ps, e1); "
                    "return string(part_emitter_create(ps)) + string(part_emitter_create(ps))"),
              "\"02\"");
    Value(
        "part_type_color_rgb(b, 1, 2, 3, 4, 5, 6); part_type_blend(b, true); "
        "part_type_speed(b, 3, 4, 0, 0); part_type_clear(b)");
    const ParticleType& t = *run_.GetRunner().Particles().Type(1);
    EXPECT_EQ(t.color_mode, 0);
    EXPECT_EQ(t.color[0], 16777215);
    EXPECT_EQ(t.color[3], 4);
    EXPECT_EQ(t.color[5], 6);
    EXPECT_TRUE(t.additive);
    EXPECT_EQ(t.speed_max, 0);
}

TEST_F(ParticlesTest, LiveCountsFollowLifeDeathAndStreams) {
    Value(
        "ps = part_system_create(); part_system_automatic_update(ps, false); "
        "t = part_type_create(); part_type_life(t, 10, 10); "
        "d = part_type_create(); part_type_life(d, 3, 3); part_type_death(t, 2, d); "
        "part_particles_create(ps, 5, 5, t, 4)");
    struct Step {
        int updates;
        const char* count;
    } steps[] = {{9, "4"}, {1, "8"}, {2, "8"}, {1, "0"}};
    for (const Step& s : steps) {
        for (int i = 0; i < s.updates; ++i) Value("part_system_update(ps)");
        EXPECT_EQ(Value("return part_particles_count(ps)"), s.count);
    }
    // A stream of 3 a step with a life of 5 levels off at 15 live particles.
    Value(
        "part_type_death(t, 0, 0); part_type_life(t, 5, 5); e = part_emitter_create(ps); "
        "part_emitter_stream(ps, e, t, 3); repeat (20) part_system_update(ps)");
    EXPECT_EQ(Value("return part_particles_count(ps)"), "15");
    // A burst of -3 makes one particle about one time in three.
    Value(
        "part_emitter_stream(ps, e, t, 0); part_particles_clear(ps); random_set_seed(5); "
        "repeat (3000) part_emitter_burst(ps, e, t, -3)");
    const double n = std::stod(Value("return part_particles_count(ps)"));
    EXPECT_GT(n, 850);
    EXPECT_LT(n, 1150);
    EXPECT_EQ(Value("part_particles_clear(ps); part_emitter_burst(ps, e, t, 0); "
                    "return part_particles_count(ps)"),
              "0");
}

TEST_F(ParticlesTest, ASeededRunRepeatsItsPositionsExactly) {
    auto run = [&](int seed) {
        Value("random_set_seed(" + std::to_string(seed) +
              "); ps = part_system_create(); t = part_type_create(); "
              "part_type_speed(t, 1, 3, 0, 0.5); part_type_direction(t, 0, 360, 2, 10); "
              "part_type_gravity(t, 0.1, 270); e = part_emitter_create(ps); "
              "part_emitter_region(ps, e, 0, 100, 0, 50, ps_shape_ellipse, ps_distr_gaussian); "
              "part_emitter_burst(ps, e, t, 50); repeat (10) part_system_update(ps)");
        std::vector<std::pair<double, double>> at;
        for (const Particle& p : System(int32_t(run_.Run("return ps").real)).particles)
            at.emplace_back(p.x, p.y);
        Value("part_system_destroy(ps); part_type_destroy(t)");
        return at;
    };
    const auto a = run(42), b = run(42), c = run(43);
    ASSERT_EQ(a.size(), 50u);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
}

TEST_F(ParticlesTest, MotionDeflectorsDestroyersAndAlpha) {
    Value(
        "ps = part_system_create(); part_system_automatic_update(ps, false); "
        "t = part_type_create(); part_type_speed(t, 2, 2, 0, 0); part_type_life(t, 40, 40); "
        "part_type_alpha2(t, 1, 0); part_particles_create(ps, 10, 20, t, 1); "
        "repeat (3) part_system_update(ps)");
    const Particle& p = System(0).particles.at(0);
    EXPECT_DOUBLE_EQ(p.x, 16);
    EXPECT_DOUBLE_EQ(p.y, 20);
    EXPECT_NEAR(p.alpha, 1 - 3.0 / 40, 1e-12);
    Value("repeat (17) part_system_update(ps)");
    EXPECT_NEAR(System(0).particles.at(0).alpha, 0.5, 1e-12);

    // Deflection of direction 10 and 200, horizontal and vertical.
    struct Case {
        int kind;
        double dir, want;
    } cases[] = {{1, 10, 170}, {1, 200, 340}, {0, 10, 350}, {0, 200, 160}};
    for (const Case& c : cases) {
        Value(
            "part_system_clear(ps); part_system_automatic_update(ps, false); "
            "part_type_direction(t, " +
            std::to_string(c.dir) + ", " + std::to_string(c.dir) +
            ", 0, 0); part_particles_create(ps, 50, 50, t, 1); f = part_deflector_create(ps); "
            "part_deflector_region(ps, f, 0, 100, 0, 100); part_deflector_kind(ps, f, " +
            std::to_string(c.kind) +
            "); part_deflector_friction(ps, f, 0.5); "
            "part_system_update(ps)");
        const Particle& q = System(0).particles.at(0);
        EXPECT_NEAR(q.direction, c.want, 1e-9) << c.kind << " " << c.dir;
        EXPECT_DOUBLE_EQ(q.speed, 1.5);
    }
    // An improper region does nothing; a rectangle destroyer takes its border too.
    Value(
        "part_system_clear(ps); part_system_automatic_update(ps, false); "
        "part_type_speed(t, 0, 0, 0, 0); part_particles_create(ps, 30, 30, t, 1); "
        "part_particles_create(ps, 31, 31, t, 1); d = part_destroyer_create(ps); "
        "part_destroyer_region(ps, d, 30, 30, 0, 100, ps_shape_rectangle); "
        "part_system_update(ps)");
    EXPECT_EQ(Value("return part_particles_count(ps)"), "2");
    Value(
        "part_destroyer_region(ps, d, 30, 40, 0, 30, ps_shape_rectangle); "
        "part_system_update(ps)");
    EXPECT_EQ(Value("return part_particles_count(ps)"), "1");
}

TEST_F(ParticlesTest, ColourModesAndGivenColours) {
    Value(
        "ps = part_system_create(); part_system_automatic_update(ps, false); "
        "a = part_type_create(); part_type_color2(a, c_red, c_blue); "
        "b = part_type_create(); part_type_color1(b, c_red); "
        "part_particles_create_color(ps, 0, 0, a, c_lime, 1); "
        "part_particles_create_color(ps, 0, 0, b, c_lime, 1)");
    EXPECT_EQ(System(0).particles[0].color, 0x00FF00);
    Value("part_system_update(ps)");
    // A two-colour type takes its own colours at the first update; a one-colour type keeps it.
    EXPECT_NE(System(0).particles[0].color, 0x00FF00);
    EXPECT_EQ(System(0).particles[1].color, 0x00FF00);
}

TEST_F(ParticlesTest, EffectsUseTheirOwnSystems) {
    EXPECT_EQ(Value("effect_create_below(12, 10, 10, 0, c_red); "
                    "return part_system_exists(0) + part_system_exists(1)"),
              "2");
    ParticleWorld& w = run_.GetRunner().Particles();
    EXPECT_EQ(w.System(w.EffectSystem(false))->particles.size(), 0u);
    EXPECT_EQ(w.System(w.EffectSystem(false))->depth, 100000);
    Value("effect_create_above(ef_explosion, 10, 10, 1, c_red)");
    EXPECT_EQ(w.System(w.EffectSystem(true))->particles.size(), 21u);
    EXPECT_EQ(w.System(w.EffectSystem(true))->particles.back().color, 0);
    Value("effect_create_below(ef_smoke, 50, 50, 2, c_gray)");
    EXPECT_EQ(w.System(w.EffectSystem(false))->particles.size(), 16u);
    Value("effect_clear()");
    EXPECT_EQ(w.System(w.EffectSystem(true))->particles.size(), 0u);
    EXPECT_EQ(w.System(w.EffectSystem(false))->particles.size(), 0u);
}

}  // namespace
}  // namespace kr

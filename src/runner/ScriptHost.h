// The runner's side of the script language: RunnerScriptHost answers what the language asks of
// the game (resource names as constants, names of events and objects for error texts, the error
// window, message boxes, the end of the game after a fatal error), and GameVariables holds the
// game-wide values that built-in variables read and write.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "code/Runtime.h"

namespace kr {

class Runner;

// The particle system of the particle actions and their 16 type and 16 emitter slots (-1:
// none); the actions create what they need on first use.
struct ActionParticleSlots {
    static constexpr int32_t kSlots = 16;
    int32_t system = -1;
    std::array<int32_t, kSlots> types, emitters;
    ActionParticleSlots() {
        types.fill(-1);
        emitters.fill(-1);
    }
};

// Game-wide values of the built-in variables that live on the runner.
struct GameVariables {
    int32_t score = 0;
    int32_t lives = -1;
    double health = 100;
    bool argument_relative = false;  // the running action has its relative flag set
    int32_t transition_kind = 0;
    int32_t transition_steps = 80;
    int32_t cursor_sprite = -1;
    bool show_score = true;
    bool show_lives = false;
    bool show_health = false;
    bool show_score_assigned = false;  // the game wrote show_score (the caption then shows 0)
    std::string caption_score = "Score: ";
    std::string caption_lives = "Lives: ";
    std::string caption_health = "Health: ";
    int32_t fps = 0;  // steps in the last whole second of the main loop
    ActionParticleSlots action_particles;
};

// How built-in variable writes convert a value before storing it. A string written to a numeric
// variable counts as real 0, a real written to a string variable as the empty string.
// Rounded to the nearest integer, ties to even; saturated to the 32-bit range.
int32_t StoredInteger(const RValue& v);
// True when the rounded value is at least 1 (so 0.5 is false).
bool StoredBoolean(const RValue& v);
// The index an indexed variable of `count` entries uses: any flat index outside 0..count-1
// means entry 0.
inline int32_t VariableIndex(int32_t index, int32_t count) {
    return index >= 0 && index < count ? index : 0;
}

class RunnerScriptHost final : public ScriptHost {
public:
    explicit RunnerScriptHost(Runner& runner) : runner_(runner) {}

    Runner& GetRunner() { return runner_; }

    // The current room's instances. FindInstance prefers an instance that is not deleted (a
    // changed instance and its replacement share the id until the next clean-up).
    ScriptInstance* FindInstance(int32_t id) override;
    int32_t InstanceCount() override;
    ScriptInstance* InstanceAt(int32_t index) override;
    int32_t FamilyCount(int32_t object) override;
    ScriptInstance* FamilyAt(int32_t object, int32_t index) override;
    // A fresh temporary instance of the runner (Runner::NewTemporaryInstance).
    void WithTemporaryInstance(const std::function<void(ScriptInstance&)>& fn) override;

    // Resource names, tried in this order: object, sprite, sound, background, path, font, time
    // line, script, room (the first index with the name), then the triggers' constant names.
    bool FindResourceConstant(std::string_view name, RValue& out) override;
    int32_t FindExtensionFunction(std::string_view name) override;
    int32_t ExtensionArgCount(int32_t index) override;
    std::string ExtensionFunctionName(int32_t index) override;
    bool CallExtension(Runtime& rt, int32_t index, ScriptInstance* self, ScriptInstance* other,
                       int argc, const RValue* args, RValue& result) override;
    std::string EventName(const EventContext& ctx) override;
    std::string OwnerName(const EventContext& ctx) override;
    bool ShowErrorWindow(const std::string& text, bool can_ignore) override;
    void ShowMessage(const std::string& text) override;
    void ClearInput() override;
    void EndGameAfterFatalError() override;
    bool FramesErrorsWithEvent() override;

    // How many errors were shown in this run.
    int ErrorsShown() const { return errors_shown_; }

private:
    static constexpr int kResourceKinds = 9;  // eight resource tables and the triggers
    struct NameEntry {
        int32_t kind;
        int32_t index;
    };
    void BuildResourceNames();
    bool ResourceNamesCurrent() const;
    bool StillNamed(const NameEntry& e, std::string_view name) const;

    Runner& runner_;
    int errors_shown_ = 0;
    // Resource names to their first owner, rebuilt when a table has changed its size or a name
    // found here no longer names its resource (a deleted resource).
    std::unordered_map<std::string, NameEntry> resource_names_;
    std::array<int32_t, kResourceKinds> counted_{};
    bool names_built_ = false;
};

// Registers all built-in variables in their fixed order (the ids are that order). The language's
// own variables and the game-wide variables whose state exists get their accessors; the others
// are registered without, until their subsystem attaches them (SetBuiltinVariableAccessors).
void RegisterRunnerVariables(Runtime& rt);

}  // namespace kr

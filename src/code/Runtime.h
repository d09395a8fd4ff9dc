// Runtime: the run-time state of the script language that every built-in function receives:
// the registries, the error reporting entry point and the random generator. The runner owns
// one Runtime; tests can make their own.
#pragma once

#include <cstdint>
#include <string_view>

#include "code/Builtins.h"
#include "code/Random.h"

namespace kr {

// The part of an instance that the script language sees; CInstance (objects/) derives from it.
struct ScriptInstance {
    int32_t id = 0;
    int32_t object_index = 0;
    bool deleted = false;
};

class Runtime {
public:
    Runtime() = default;
    Runtime(const Runtime&) = delete;
    Runtime& operator=(const Runtime&) = delete;
    virtual ~Runtime() = default;

    BuiltinRegistry& Builtins() { return builtins_; }
    Random& Rng() { return rng_; }

    // A run-time error of a built-in function: composed with the current event context and
    // shown, logged or fatal as the game's error settings say.
    virtual void RuntimeError(std::string_view message, bool fatal = false);

    // The clock value that randomize() seeds the generator with; by default the system clock in
    // milliseconds. A headless runner overrides it so that its runs repeat exactly.
    virtual uint32_t RandomizeSeed();

private:
    BuiltinRegistry builtins_;
    Random rng_;
};

}  // namespace kr

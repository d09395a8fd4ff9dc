// A Runtime for tests: records the run-time errors instead of printing them, has every built-in
// function registered and draws its randomize() seed from a fixed value.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "code/Runtime.h"
#include "library/AllBuiltins.h"

namespace kr {

class TestRuntime : public Runtime {
public:
    TestRuntime() { RegisterAllBuiltins(Builtins()); }

    void RuntimeError(std::string_view message, bool fatal) override {
        errors.emplace_back(message);
    }
    uint32_t RandomizeSeed() override { return clock_seed; }

    // Calls the built-in `name` with the given arguments and returns its result.
    RValue Call(const char* name, std::vector<RValue> args) {
        int id = Builtins().Find(name);
        EXPECT_GE(id, 0) << name;
        if (id < 0) return RValue();
        std::vector<RValue> slots(args);
        slots.resize(16);
        RValue result(-1.0);
        Builtins().Call(id, *this, nullptr, nullptr, int(args.size()), slots.data(), result);
        return result;
    }

    std::vector<std::string> errors;
    uint32_t clock_seed = 12345;
};

inline RValue S(const char* s) {
    return RValue(s);
}

}  // namespace kr

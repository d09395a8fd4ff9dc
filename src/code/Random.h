// The random generator of the script language: one 32-bit state shared by every function that
// draws random numbers, so a seeded game draws the same numbers on every machine.
#pragma once

#include <cstdint>

namespace kr {

class Random {
public:
    void SetSeed(int32_t s) { state_ = uint32_t(s); }
    int32_t Seed() const { return int32_t(state_); }
    // Advances the state and returns a real in [0, 1).
    double NextReal() {
        Advance();
        return double(state_) * (1.0 / 4294967296.0);
    }
    // Advances the state and returns an integer in 0 .. n-1 (n taken as unsigned 32-bit).
    uint32_t NextBelow(uint32_t n) {
        Advance();
        return uint32_t((uint64_t(state_) * n) >> 32);
    }

private:
    void Advance() { state_ = state_ * 134775813u + 1u; }
    uint32_t state_ = 0;
};

}  // namespace kr

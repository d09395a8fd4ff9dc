// The scrambling of the game data's main block. The permutation table T is stored with the
// block, so one routine reads every game.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace kr {

using ScrambleTable = std::array<uint8_t, 256>;

// Turns the stored bytes into the body, in place: a backwards pass that undoes the chained
// substitution (byte i depends on the stored byte i-1 and on i), then a backwards pass of swaps
// with the byte up to T[i mod 256] places earlier.
void UnscrambleBlock(std::span<uint8_t> m, const ScrambleTable& t);

// The exact inverse of UnscrambleBlock, for a table that is a permutation.
void ScrambleBlock(std::span<uint8_t> m, const ScrambleTable& t);

}  // namespace kr

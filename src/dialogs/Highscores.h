// The highscore table: ten ranked entries, the insertion rule, and the text each entry is kept
// as in the per-user store (value "Rank1" .. "Rank10" under "Software\Korvane\Scores\<game id>").
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kr {

struct HighscoreEntry {
    std::string name;
    int32_t score = 0;
    bool operator==(const HighscoreEntry&) const = default;
};

using HighscoreTable = std::array<HighscoreEntry, 10>;

// Inserts (name, score) at the first rank whose score is smaller, moving the ranks below down
// (rank 10 is lost). Returns the rank taken (0..9), -1 when the score beats no entry. An equal
// score goes below the one already there.
int32_t HighscoreInsert(HighscoreTable& table, std::string name, int32_t score);

// The stored text of an entry: the score's 16 bytes (least significant first, then its sign
// extension) and the name's bytes, each plus its 1-based position plus the game id modulo 256,
// written as two letters "A".."P" (high four bits, then low four bits).
std::string HighscoreEncode(const HighscoreEntry& entry, int32_t game_id);
// Reverses HighscoreEncode over at most the first 256 positions; false (and `out` untouched)
// for a text that is not pairs of letters "A".."P" or too short to hold a score.
bool HighscoreDecode(std::string_view text, int32_t game_id, HighscoreEntry& out);

// The key of a game's table in the per-user store, and the value name of rank r (1..10).
std::string HighscoreKey(int32_t game_id);
std::string HighscoreValueName(int32_t rank);

}  // namespace kr

#include "dialogs/Highscores.h"

#include <vector>

namespace kr {

int32_t HighscoreInsert(HighscoreTable& table, std::string name, int32_t score) {
    for (size_t r = 0; r < table.size(); ++r) {
        if (table[r].score >= score) continue;
        for (size_t k = table.size() - 1; k > r; --k) table[k] = std::move(table[k - 1]);
        table[r] = HighscoreEntry{std::move(name), score};
        return int32_t(r);
    }
    return -1;
}

std::string HighscoreEncode(const HighscoreEntry& entry, int32_t game_id) {
    std::vector<uint8_t> bytes;
    int64_t s = entry.score;
    for (int i = 0; i < 16; ++i, s >>= 8) bytes.push_back(uint8_t(s & 0xFF));
    for (char c : entry.name) bytes.push_back(uint8_t(c));
    std::string out;
    out.reserve(bytes.size() * 2);
    for (size_t i = 0; i < bytes.size(); ++i) {
        uint8_t v = uint8_t(int64_t(bytes[i]) + int64_t(i + 1) + game_id);
        out += char('A' + (v >> 4));
        out += char('A' + (v & 15));
    }
    return out;
}

bool HighscoreDecode(std::string_view text, int32_t game_id, HighscoreEntry& out) {
    if (text.size() % 2 != 0 || text.size() < 32) return false;
    for (char c : text)
        if (c < 'A' || c > 'P') return false;
    size_t n = std::min<size_t>(text.size() / 2, 256);
    HighscoreEntry e;
    uint32_t score = 0;
    for (size_t i = 0; i < n; ++i) {
        int32_t v = (text[2 * i] - 'A') * 16 + (text[2 * i + 1] - 'A');
        uint8_t b = uint8_t(int64_t(v) - int64_t(i + 1) - game_id);
        if (i < 4)
            score |= uint32_t(b) << (8 * i);
        else if (i >= 16)
            e.name += char(b);
    }
    // Only the low 32 bits carry the score; the rest is its sign extension.
    e.score = int32_t(score);
    out = std::move(e);
    return true;
}

std::string HighscoreKey(int32_t game_id) {
    return "Software\\Korvane\\Scores\\" + std::to_string(game_id);
}

std::string HighscoreValueName(int32_t rank) {
    return "Rank" + std::to_string(rank);
}

}  // namespace kr

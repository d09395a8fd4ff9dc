#include "runner/Scramble.h"

#include <utility>

namespace kr {

void UnscrambleBlock(std::span<uint8_t> m, const ScrambleTable& t) {
    // Entries that no T[i] names stay 0: a table that is not a permutation only garbles the
    // body, which the section readers then reject.
    ScrambleTable u{};
    for (int i = 0; i < 256; ++i) u[t[size_t(i)]] = uint8_t(i);
    size_t n = m.size();
    // Backwards, so m[i - 1] is still the stored byte when m[i] is computed.
    for (size_t i = n; i-- > 1;) m[i] = uint8_t(u[m[i]] - m[i - 1] - uint8_t(i));
    for (size_t i = n; i-- > 0;) {
        size_t back = t[i % 256];
        size_t j = i > back ? i - back : 0;
        std::swap(m[i], m[j]);
    }
}

void ScrambleBlock(std::span<uint8_t> m, const ScrambleTable& t) {
    size_t n = m.size();
    // The swaps again, in the opposite order.
    for (size_t i = 0; i < n; ++i) {
        size_t back = t[i % 256];
        size_t j = i > back ? i - back : 0;
        std::swap(m[i], m[j]);
    }
    // Forwards, so m[i - 1] already holds its stored byte when m[i] is computed.
    for (size_t i = 1; i < n; ++i) m[i] = t[uint8_t(m[i] + m[i - 1] + uint8_t(i))];
}

}  // namespace kr

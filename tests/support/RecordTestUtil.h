// Helpers for tests of stored records (anything with LoadFromStream(CStream&) and
// SaveToStream(CStream&)): write-then-read checks, truncation and patched-field fixtures.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "data/Stream.h"

namespace kr::test {

template <class T>
std::vector<uint8_t> SavedBytes(const T& record) {
    CStream s;
    record.SaveToStream(s);
    return s.Bytes();
}

// Loads `bytes` into `out`: true when the read succeeded and consumed every byte.
template <class T>
::testing::AssertionResult LoadsExactly(const std::vector<uint8_t>& bytes, T& out) {
    CStream s(bytes);
    if (!out.LoadFromStream(s)) return ::testing::AssertionFailure() << "the record did not load";
    if (s.Position() != bytes.size()) {
        return ::testing::AssertionFailure()
               << "read " << s.Position() << " of " << bytes.size() << " bytes";
    }
    return ::testing::AssertionSuccess();
}

// Writing then reading gives an equal record, and the reader consumes exactly what was written.
template <class T>
::testing::AssertionResult ReadsBackEqual(const T& original) {
    T copy;
    auto loaded = LoadsExactly(SavedBytes(original), copy);
    if (!loaded) return loaded;
    if (!(copy == original)) return ::testing::AssertionFailure() << "the copy differs";
    return ::testing::AssertionSuccess();
}

// Every proper prefix of the record fails to load (and nothing crashes on the way).
template <class T>
::testing::AssertionResult EveryTruncationFails(const std::vector<uint8_t>& bytes) {
    for (size_t n = 0; n < bytes.size(); ++n) {
        CStream s(bytes.data(), n);
        T record;
        if (record.LoadFromStream(s)) {
            return ::testing::AssertionFailure() << "a prefix of " << n << " bytes loaded";
        }
    }
    return ::testing::AssertionSuccess();
}

// Replaces the nth (from 0) stored integer equal to `from` (at any byte offset) by `to`.
// Fixtures use distinctive values so that the matches are the intended fields.
inline bool PatchInteger(std::vector<uint8_t>& bytes, int32_t from, int32_t to, int nth = 0) {
    auto le = [](int32_t v) {
        uint32_t u = uint32_t(v);
        return std::vector<uint8_t>{uint8_t(u), uint8_t(u >> 8), uint8_t(u >> 16),
                                    uint8_t(u >> 24)};
    };
    const std::vector<uint8_t> needle = le(from), replacement = le(to);
    for (size_t i = 0; i + 4 <= bytes.size(); ++i) {
        if (std::memcmp(bytes.data() + i, needle.data(), 4) == 0 && nth-- == 0) {
            std::memcpy(bytes.data() + i, replacement.data(), 4);
            return true;
        }
    }
    return false;
}

}  // namespace kr::test

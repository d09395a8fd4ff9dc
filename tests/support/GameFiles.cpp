#include "support/GameFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "data/Stream.h"
#include "runner/Scramble.h"

namespace kr::test {

void EditBody(std::vector<uint8_t>& data, const std::function<void(std::vector<uint8_t>&)>& edit) {
    // Walk the header up to the main block: magic, version, debug, settings version and block,
    // library name and block.
    CStream s(data);
    s.Skip(16);
    s.Skip(size_t(s.ReadInteger()));
    s.ReadString();
    s.Skip(size_t(s.ReadInteger()));
    int32_t before = s.ReadInteger(), after = s.ReadInteger();
    s.Skip(size_t(before) * 4);
    ScrambleTable t;
    s.ReadBytes(t.data(), t.size());
    s.Skip(size_t(after) * 4);
    size_t length_at = s.Position();
    int32_t length = s.ReadInteger();
    ASSERT_FALSE(s.Failed());
    size_t start = s.Position();
    std::vector<uint8_t> body(data.begin() + long(start), data.begin() + long(start) + length);
    UnscrambleBlock(body, t);
    edit(body);
    ScrambleBlock(body, t);
    data.resize(start);
    PutInteger(data, length_at, int32_t(body.size()));
    data.insert(data.end(), body.begin(), body.end());
}

size_t Find(std::span<const uint8_t> bytes, std::string_view text) {
    auto it = std::search(bytes.begin(), bytes.end(), text.begin(), text.end(),
                          [](uint8_t a, char b) { return a == uint8_t(b); });
    EXPECT_NE(it, bytes.end()) << "no '" << text << "' in the bytes";
    return size_t(it - bytes.begin());
}

void PutInteger(std::vector<uint8_t>& bytes, size_t at, int32_t value) {
    uint32_t u = uint32_t(value);
    for (int i = 0; i < 4; ++i) bytes[at + size_t(i)] = uint8_t(u >> (8 * i));
}

}  // namespace kr::test

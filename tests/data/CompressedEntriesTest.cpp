#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/CompressedEntries.h"

namespace kr {
namespace {

// The content of entry i: its number, then bytes enough that the entries differ in size.
std::vector<uint8_t> Content(int i) {
    std::vector<uint8_t> c(size_t(i % 7) * 3000 + 4);
    for (size_t k = 0; k < c.size(); ++k) c[k] = uint8_t(i * 31 + int(k % 251));
    c[0] = uint8_t(i);
    return c;
}

enum class Damage { kNone, kData, kFraming };

// `count` entries, entry `damaged` spoilt as `damage` says, then a trailing integer.
CStream Section(int count, int damaged, Damage damage) {
    CStream s;
    for (int i = 0; i < count; ++i) {
        if (i == damaged && damage == Damage::kData) {
            s.WriteInteger(5);
            s.WriteBytes("junk!", 5);
        } else if (i == damaged && damage == Damage::kFraming) {
            s.WriteInteger(1 << 30);  // runs past the end
        } else {
            s.WriteCompressedBlock(Content(i));
        }
    }
    s.WriteInteger(4711);
    s.Seek(0);
    return s;
}

// Reading with a second thread (threshold 0) must give exactly what reading one by one gives,
// including where a damaged entry stops it, whichever thread inflated what.
TEST(CompressedEntries, ReadsInOrderAndStopsAtTheDamagedEntry) {
    struct Case {
        int damaged;
        Damage damage;
    };
    const Case cases[] = {{-1, Damage::kNone}, {0, Damage::kData},     {23, Damage::kData},
                          {39, Damage::kData}, {23, Damage::kFraming}, {0, Damage::kFraming}};
    for (const Case& c : cases) {
        for (size_t threaded_from : {size_t(0), CompressedEntries::kThreadedFrom}) {
            SCOPED_TRACE("damaged " + std::to_string(c.damaged) + ", threaded from " +
                         std::to_string(threaded_from));
            CStream s = Section(40, c.damaged, c.damage);
            CompressedEntries entries(s, 40, threaded_from);
            int read = 0;
            for (int i = 0; i < 40; ++i) {
                CStream* block = entries.Next();
                if (!block) break;
                ASSERT_EQ(block->Bytes(), Content(i));
                EXPECT_EQ(block->Position(), 0u);
                ++read;
            }
            if (c.damage == Damage::kNone) {
                EXPECT_EQ(read, 40);
                EXPECT_FALSE(s.Failed());
                EXPECT_EQ(s.ReadInteger(), 4711);  // the stream stands after the run
            } else {
                EXPECT_EQ(read, c.damaged);
                EXPECT_TRUE(s.Failed());
            }
        }
    }
}

// The caller may stop early (a record it rejects); the worker must then wind down cleanly.
TEST(CompressedEntries, StoppingEarlyEndsTheWorker) {
    for (int stop_after : {0, 1, 5}) {
        CStream s = Section(200, -1, Damage::kNone);
        CompressedEntries entries(s, 200, 0);
        for (int i = 0; i < stop_after; ++i) ASSERT_NE(entries.Next(), nullptr);
    }
}

}  // namespace
}  // namespace kr

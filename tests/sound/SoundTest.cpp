#include <gtest/gtest.h>

#include "sound/Sound.h"
#include "support/RecordTestUtil.h"

namespace kr {
namespace {

using test::EveryTruncationFails;
using test::PatchInteger;
using test::ReadsBackEqual;
using test::SavedBytes;

CSound MusicWithData() {
    CSound s;
    s.kind = CSound::kBackgroundMusic;
    s.file_type = ".mid";
    s.file_name = "theme.mid";
    s.has_data = true;
    s.data = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0xFF};
    s.effects = 5;
    s.volume = 0.25;
    s.pan = -0.5;
    s.preload = false;
    return s;
}

TEST(SoundRecord, RoundTrips) {
    CSound without_data;
    without_data.file_type = ".wav";
    CSound empty_file;  // stored data of length 0 is still data
    empty_file.has_data = true;
    for (const CSound& s : {MusicWithData(), without_data, empty_file}) {
        EXPECT_TRUE(ReadsBackEqual(s)) << s.file_name;
    }
}

TEST(SoundRecord, RejectsOtherVersionsAndTruncation) {
    auto bytes = SavedBytes(MusicWithData());
    EXPECT_TRUE(EveryTruncationFails<CSound>(bytes));
    ASSERT_TRUE(PatchInteger(bytes, kSoundVersion, kSoundVersion - 1));
    CStream s(bytes);
    EXPECT_FALSE(CSound().LoadFromStream(s));
}

}  // namespace
}  // namespace kr

#include <gtest/gtest.h>

#include "code/Script.h"
#include "support/RecordTestUtil.h"

namespace kr {
namespace {

TEST(ScriptRecord, RoundTripsVersionAndTruncation) {
    CScript script;
    script.text = "var i;\r\nfor (i = 0; i < argument0; i += 1) show_message(\"\xE9\");";
    auto bytes = test::SavedBytes(script);
    CScript copy;
    ASSERT_TRUE(test::LoadsExactly(bytes, copy));
    EXPECT_EQ(copy.text, script.text);
    EXPECT_TRUE(test::EveryTruncationFails<CScript>(bytes));

    ASSERT_TRUE(test::PatchInteger(bytes, kScriptVersion, 700));
    CStream s(bytes);
    EXPECT_FALSE(CScript().LoadFromStream(s));
}

}  // namespace
}  // namespace kr

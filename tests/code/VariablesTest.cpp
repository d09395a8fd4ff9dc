// Variable lists and the global store: flat index rules and the stream forms.
#include <gtest/gtest.h>

#include "code/Variables.h"
#include "data/Stream.h"

namespace kr {
namespace {

TEST(VariableList, FlatIndexesShareStorage) {
    CVariableList l;
    l.SetVar(100000, 3, RValue(7.0));  // a[3] = 7 on a new variable
    ASSERT_EQ(l.Count(), 1);
    EXPECT_EQ(l.Item(0).rows.size(), 1u);
    EXPECT_EQ(l.Item(0).rows[0].size(), 4u);
    for (int i : {0, 1, 2}) EXPECT_EQ(l.GetVar(100000, i)->real, 0.0);
    EXPECT_EQ(l.GetVar(100000, 3)->real, 7.0);
    EXPECT_EQ(l.GetVar(100000, 4), nullptr);

    l.SetVar(100001, 2 * kArrayDim + 5, RValue(1.0));  // b[2,5] = 1
    EXPECT_EQ(l.Item(1).rows.size(), 3u);
    EXPECT_TRUE(l.Item(1).rows[1].empty());
    EXPECT_EQ(l.GetVar(100001, kArrayDim), nullptr);  // b[1,0]: row 1 has no elements
    EXPECT_EQ(l.GetVar(100001, 2 * kArrayDim + 4)->real, 0.0);
    l.Declare(100001);  // an existing variable keeps its value
    EXPECT_EQ(l.GetVar(100001, 2 * kArrayDim + 5)->real, 1.0);
}

TEST(VariableList, StreamRoundTripKeepsOrderAndArrays) {
    CVariableList l;
    for (int i = 0; i < 12; ++i) l.SetVar(100000 + (i * 7) % 12, 0, RValue(double(i)));
    l.SetVar(100003, 1, RValue(std::string_view("text")));
    l.SetVar(100005, kArrayDim + 2, RValue(2.5));
    CStream s;
    l.SaveToStream(s);
    s.Seek(0);
    CVariableList back;
    ASSERT_TRUE(back.LoadFromStream(s));
    ASSERT_EQ(back.Count(), l.Count());
    for (int i = 0; i < l.Count(); ++i) EXPECT_EQ(back.Item(i).id, l.Item(i).id);
    EXPECT_EQ(back.GetVar(100003, 1)->Str(), "text");
    EXPECT_EQ(back.GetVar(100005, kArrayDim + 2)->real, 2.5);
    EXPECT_EQ(back.Find(100000 + (5 * 7) % 12)->value.real, 5.0);
}

TEST(VariableList, BadStreamsLoadEmpty) {
    CStream other;
    other.WriteInteger(441);
    other.WriteInteger(1);
    other.Seek(0);
    CVariableList l;
    l.SetVar(100000, 0, RValue(1.0));
    EXPECT_TRUE(l.LoadFromStream(other));  // another version: empty, no error
    EXPECT_EQ(l.Count(), 0);

    CVariableList full;
    full.SetVar(100000, 5, RValue(std::string_view("abc")));
    CStream s;
    full.SaveToStream(s);
    for (size_t cut = 1; cut < s.Size(); ++cut) {  // every truncation fails cleanly
        CStream t(s.Data(), cut);
        CVariableList back;
        EXPECT_FALSE(back.LoadFromStream(t)) << cut;
        EXPECT_EQ(back.Count(), 0);
    }
    CStream huge;  // a count no stream could hold
    huge.WriteInteger(440);
    huge.WriteInteger(0x7FFFFFFF);
    huge.Seek(0);
    EXPECT_FALSE(l.LoadFromStream(huge));
}

TEST(GlobalStore, MarksAndStream) {
    GlobalStore g;
    EXPECT_EQ(g.MarkCount(), 10000u);
    g.DeclareGlobalVar(100000 + 12345);
    EXPECT_EQ(g.MarkCount(), 13345u);
    EXPECT_TRUE(g.IsGlobalVar(100000 + 12345));
    EXPECT_FALSE(g.IsGlobalVar(100000 + 12344));
    EXPECT_FALSE(g.IsGlobalVar(5));
    g.DeclareGlobalVar(7);  // built-in ids are ignored
    EXPECT_EQ(g.List().Count(), 1);
    g.List().SetVar(100001, 0, RValue(3.0));

    CStream s;
    g.SaveGlobals(s);
    s.Seek(0);
    GlobalStore back;
    ASSERT_TRUE(back.LoadGlobals(s));
    EXPECT_TRUE(back.IsGlobalVar(100000 + 12345));
    EXPECT_EQ(back.List().GetVar(100001, 0)->real, 3.0);
    back.Init();
    EXPECT_EQ(back.List().Count(), 0);
    EXPECT_FALSE(back.IsGlobalVar(100000 + 12345));
}

}  // namespace
}  // namespace kr

// The fast map, priority queue and list sort against plain models that do literally what the
// structures are defined to do (sorted arrays searched linearly, unsorted arrays scanned, an
// insertion sort), over random operations; and the readers against damaged texts.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "code/Random.h"
#include "data/Stream.h"
#include "datastructures/DataStructures.h"

namespace kr {
namespace {

std::string Show(const RValue& v) {
    return v.IsString() ? "\"" + v.StdStr() + "\"" : std::to_string(v.real);
}

// A random key: a small integer (so keys repeat) or a short string.
RValue RandomKey(Random& rng) {
    uint32_t k = rng.NextBelow(40);
    if (k < 25) return RValue(double(k));
    return RValue(std::string(1, char('a' + k % 7)));
}

// The map as a sorted array: insertion after every key not greater, searches by linear scan.
struct MapModel {
    const DsComparison& cmp;
    std::vector<std::pair<RValue, RValue>> pairs;

    int FirstNotLess(const RValue& k) const {
        for (size_t i = 0; i < pairs.size(); ++i)
            if (cmp.Compare(pairs[i].first, k) >= 0) return int(i);
        return int(pairs.size());
    }
    int FirstEqual(const RValue& k) const {
        int i = FirstNotLess(k);
        return i < int(pairs.size()) && cmp.Equal(pairs[size_t(i)].first, k) ? i : -1;
    }
    void Add(const RValue& k, const RValue& v) {
        size_t i = 0;
        while (i < pairs.size() && cmp.Compare(pairs[i].first, k) <= 0) ++i;
        pairs.insert(pairs.begin() + long(i), {k, v});
    }
    RValue Previous(const RValue& k) const {
        int i = FirstNotLess(k);
        return i == 0 ? RValue() : pairs[size_t(i - 1)].first;
    }
    RValue Next(const RValue& k) const {
        size_t i = 0;
        while (i < pairs.size() && cmp.Compare(pairs[i].first, k) <= 0) ++i;
        return i == pairs.size() ? RValue() : pairs[i].first;
    }
    std::string Text() const {
        CStream s;
        s.WriteInteger(401);
        s.WriteInteger(int32_t(pairs.size()));
        for (auto& p : pairs) {
            s.WriteInteger(p.first.IsString());
            s.WriteReal(p.first.IsReal() ? p.first.real : 0);
            s.WriteString(p.first.Str());
        }
        for (auto& p : pairs) {
            s.WriteInteger(p.second.IsString());
            s.WriteReal(p.second.IsReal() ? p.second.real : 0);
            s.WriteString(p.second.Str());
        }
        return s.ToHex();
    }
};

TEST(DataStructuresTest, MapAgreesWithTheSortedArrayModel) {
    DsComparison cmp;
    DsMap map(cmp);
    MapModel model{cmp, {}};
    Random rng;
    rng.SetSeed(7);
    for (int step = 0; step < 4000; ++step) {
        RValue k = RandomKey(rng);
        RValue v{double(step)};
        switch (rng.NextBelow(6)) {
            case 0:
            case 1:
                map.Add(k, v);
                model.Add(k, v);
                break;
            case 2: {
                int i = model.FirstEqual(k);
                EXPECT_EQ(map.Delete(k), i >= 0);
                if (i >= 0) model.pairs.erase(model.pairs.begin() + i);
                break;
            }
            case 3: {
                int i = model.FirstEqual(k);
                EXPECT_EQ(map.Replace(k, v), i >= 0);
                if (i >= 0) model.pairs[size_t(i)].second = v;
                break;
            }
            case 4: {
                int i = model.FirstEqual(k);
                ASSERT_EQ(Show(map.FindValue(k)),
                          Show(i >= 0 ? model.pairs[size_t(i)].second : RValue()))
                    << "step " << step << " key " << Show(k);
                EXPECT_EQ(map.Exists(k), i >= 0);
                break;
            }
            case 5:
                ASSERT_EQ(Show(map.FindPrevious(k)), Show(model.Previous(k))) << step;
                ASSERT_EQ(Show(map.FindNext(k)), Show(model.Next(k))) << step;
                break;
        }
        if (step % 200 == 0) {
            ASSERT_EQ(DsWriteText(map), model.Text()) << "step " << step;
            DsMap copy(map);  // the copy's own string index must find the same pairs
            ASSERT_EQ(Show(copy.FindValue(k)), Show(map.FindValue(k)));
        }
    }
    EXPECT_EQ(DsWriteText(map), model.Text());
}

TEST(DataStructuresTest, MapKeepsApproximatelyEqualKeysInTheOrderAdded) {
    DsComparison cmp;
    DsMap map(cmp);
    map.Add(RValue(1.000000001), RValue("first"));
    map.Add(RValue(1.0), RValue("second"));  // equal within 1e-8: goes after
    map.Add(RValue(0.5), RValue("low"));
    EXPECT_EQ(Show(map.FindValue(RValue(1.0))), "\"first\"");
    EXPECT_EQ(Show(map.First()), Show(RValue(0.5)));
    EXPECT_EQ(Show(map.Last()), Show(RValue(1.0)));
    EXPECT_TRUE(map.Delete(RValue(1.0)));
    EXPECT_EQ(Show(map.FindValue(RValue(1.0))), "\"second\"");
}

// The priority queue as the unsorted arrays it is defined by, scanned linearly.
struct PriorityModel {
    const DsComparison& cmp;
    std::vector<RValue> values, prios;

    int Extreme(bool min) const {
        int best = -1;
        for (size_t i = 0; i < prios.size(); ++i) {
            if (best < 0) {
                best = int(i);
                continue;
            }
            int c = cmp.Compare(prios[i], prios[size_t(best)]);
            if (min ? c < 0 : c > 0) best = int(i);
        }
        return best;
    }
    int Find(const RValue& v) const {
        for (size_t i = 0; i < values.size(); ++i)
            if (cmp.Equal(values[i], v)) return int(i);
        return -1;
    }
    void Delete(int i) {
        values[size_t(i)] = values.back();
        prios[size_t(i)] = prios.back();
        values.pop_back();
        prios.pop_back();
    }
};

TEST(DataStructuresTest, PriorityQueueAgreesWithTheScannedArrayModel) {
    DsComparison cmp;
    DsPriority pq(cmp);
    PriorityModel model{cmp, {}, {}};
    Random rng;
    rng.SetSeed(11);
    for (int step = 0; step < 4000; ++step) {
        RValue v = RandomKey(rng), p = RandomKey(rng);
        switch (rng.NextBelow(6)) {
            case 0:
            case 1:
                pq.Add(v, p);
                model.values.push_back(v);
                model.prios.push_back(p);
                break;
            case 2:
            case 3: {
                bool min = rng.NextBelow(2) == 0;
                int i = min ? pq.MinIndex() : pq.MaxIndex();
                ASSERT_EQ(i, model.Extreme(min)) << "step " << step;
                if (i >= 0) {
                    pq.DeleteAt(i);
                    model.Delete(i);
                }
                break;
            }
            case 4: {
                int i = pq.FindValue(v);
                ASSERT_EQ(i, model.Find(v)) << "step " << step;
                if (i >= 0) {
                    pq.ChangePriority(i, p);
                    model.prios[size_t(i)] = p;
                }
                break;
            }
            case 5: {
                int i = pq.FindValue(v);
                ASSERT_EQ(i, model.Find(v)) << "step " << step;
                if (i >= 0) {
                    pq.DeleteAt(i);
                    model.Delete(i);
                }
                break;
            }
        }
    }
    ASSERT_EQ(pq.Size(), int32_t(model.values.size()));
    for (int32_t i = 0; i < pq.Size(); ++i) {
        EXPECT_EQ(Show(pq.ValueAt(i)), Show(model.values[size_t(i)]));
        EXPECT_EQ(Show(pq.PriorityAt(i)), Show(model.prios[size_t(i)]));
    }
}

TEST(DataStructuresTest, PriorityTiesWithinThePrecisionGoToTheFirstInArrayOrder) {
    DsComparison cmp;
    DsPriority pq(cmp);
    pq.Add(RValue("a"), RValue(1.000000001));
    pq.Add(RValue("b"), RValue(1.0));  // the exact minimum, but equal to the first
    pq.Add(RValue("c"), RValue(2.0));
    EXPECT_EQ(pq.MinIndex(), 0);
    pq.Add(RValue("d"), RValue(2.000000001));
    EXPECT_EQ(pq.MaxIndex(), 2);
    EXPECT_EQ(pq.FindValue(RValue("d")), 3);
    pq.Add(RValue(5.0), RValue(0.0));
    EXPECT_EQ(pq.FindValue(RValue(5.000000001)), 4);
}

// The literal sort: insertion by swaps, as the list's order is defined.
void InsertionSort(std::vector<RValue>& v, bool ascending, const DsComparison& cmp) {
    for (size_t i = 1; i < v.size(); ++i)
        for (size_t j = i; j > 0; --j) {
            int c = cmp.Compare(v[j - 1], v[j]);
            if (ascending ? !(c > 0) : !(c <= 0)) break;
            std::swap(v[j - 1], v[j]);
        }
}

TEST(DataStructuresTest, ListSortMatchesTheInsertionSort) {
    DsComparison cmp;
    Random rng;
    rng.SetSeed(3);
    for (int round = 0; round < 60; ++round) {
        // Rounds alternate between values with exact ties (tagged so that their order shows)
        // and reals only approximately equal, where "equal" is not transitive.
        std::vector<RValue> items;
        DsList list;
        size_t n = 1 + rng.NextBelow(300);
        for (size_t i = 0; i < n; ++i) {
            RValue v;
            if (round % 2 == 0)
                v = rng.NextBelow(4) == 0 ? RValue(std::string(1, char('a' + rng.NextBelow(3))))
                                          : RValue(double(rng.NextBelow(10)) + double(i) * 1e-12);
            else
                v = RValue(double(rng.NextBelow(6)) * 0.6e-8);
            items.push_back(v);
            list.Add(v);
        }
        bool ascending = round % 4 < 2;
        InsertionSort(items, ascending, cmp);
        list.Sort(ascending, cmp);
        for (size_t i = 0; i < n; ++i)
            ASSERT_EQ(Show(list.At(int64_t(i))), Show(items[i]))
                << "round " << round << " at " << i;
    }
}

TEST(DataStructuresTest, DamagedTextsChangeNothing) {
    DsComparison cmp;
    DsList list;
    list.Add(RValue(1.0));
    std::string good = DsWriteText(list);
    struct Case {
        std::string text;
        DsReadResult want;
    };
    const Case cases[] = {
        {"", DsReadResult::kDamaged},
        {"2D01000", DsReadResult::kDamaged},                        // the count is cut off
        {good.substr(0, good.size() - 2), DsReadResult::kDamaged},  // the last record is cut
        {"2D010000ZZ000000", DsReadResult::kDamaged},               // not hexadecimal
        {"2D010000FFFFFF7F", DsReadResult::kDamaged},               // a count of 2^31 - 1
        {"2D010000FFFFFFFF", DsReadResult::kDamaged},               // a negative count
        {"65000000" + good.substr(8), DsReadResult::kOtherKind},    // a stack's number
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DsReadText(c.text, list), c.want) << c.text;
        EXPECT_EQ(DsWriteText(list), good) << c.text;
    }
    EXPECT_EQ(DsReadText(good + "A", list), DsReadResult::kRead);  // an odd last digit is ignored

    DsQueue q;
    // head beyond tail, tail beyond the array: refused.
    EXPECT_EQ(DsReadText("C9000000010000000200000000000000", q), DsReadResult::kDamaged);
    EXPECT_EQ(DsReadText("C9000000050000000000000001000000", q), DsReadResult::kDamaged);
    DsGrid g;
    EXPECT_EQ(DsReadText("59020000FFFFFF7F00000000", g), DsReadResult::kDamaged);  // 2^31 wide
    EXPECT_EQ(DsReadText("5902000000100000001000000", g), DsReadResult::kDamaged);
    EXPECT_EQ(g.Width(), 0);
}

}  // namespace
}  // namespace kr

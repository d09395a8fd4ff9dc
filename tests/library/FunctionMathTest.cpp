// The math and string functions, called through the registry as scripts call them.
#include <clocale>
#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "library/FunctionMath.h"
#include "library/TestRuntime.h"

namespace kr {
namespace {

constexpr double kPi = 3.141592653589793;

struct RealCase {
    const char* fn;
    std::vector<RValue> args;
    double expected;
    double tolerance = 0;  // 0: exact
};

void CheckReals(const std::vector<RealCase>& cases) {
    for (const RealCase& c : cases) {
        TestRuntime rt;
        RValue r = rt.Call(c.fn, c.args);
        std::string what = std::string(c.fn) + " case " + std::to_string(&c - cases.data());
        EXPECT_TRUE(rt.errors.empty()) << what << ": " << rt.errors[0];
        ASSERT_TRUE(r.IsReal()) << what;
        if (c.tolerance == 0) {
            EXPECT_EQ(r.real, c.expected) << what;
        } else {
            EXPECT_NEAR(r.real, c.expected, c.tolerance) << what;
        }
    }
}

struct StringCase {
    const char* fn;
    std::vector<RValue> args;
    std::string expected;
};

void CheckStrings(const std::vector<StringCase>& cases) {
    for (const StringCase& c : cases) {
        TestRuntime rt;
        RValue r = rt.Call(c.fn, c.args);
        std::string what = std::string(c.fn) + " case " + std::to_string(&c - cases.data());
        EXPECT_TRUE(rt.errors.empty()) << what;
        EXPECT_TRUE(r.IsString()) << what;
        EXPECT_EQ(r.StdStr(), c.expected) << what;
    }
}

TEST(FunctionMathTest, RoundingAndArithmetic) {
    CheckReals({
        {"round", {2.5}, 2},
        {"round", {3.5}, 4},
        {"round", {-0.5}, 0},
        {"round", {1.5}, 2},
        {"round", {-2.6}, -3},
        {"floor", {-1.5}, -2},
        {"floor", {2.9}, 2},
        {"ceil", {1.2}, 2},
        {"ceil", {-1.5}, -1},
        {"sign", {1e-14}, 0},
        {"sign", {-1e-13}, -1},
        {"sign", {1e-13}, 1},
        {"sign", {-7}, -1},
        {"frac", {-2.75}, -0.75},
        {"frac", {3.25}, 0.25},
        {"abs", {-3}, 3},
        {"sqr", {-3}, 9},
        {"sqrt", {16}, 4},
        {"exp", {0}, 1},
        {"exp", {-1000}, 0},
        {"ln", {1}, 0},
        {"log2", {8}, 3},
        {"log10", {1000}, 3, 1e-12},
        {"power", {2, 10}, 1024},
        {"power", {-2, 3}, -8},
        {"logn", {2, 8}, 3},
        {"degtorad", {180}, kPi},
        {"radtodeg", {kPi}, 180},
        {"is_real", {1}, 1},
        {"is_real", {S("1")}, 0},
        {"is_string", {S("")}, 1},
        {"is_string", {2}, 0},
    });
}

TEST(FunctionMathTest, Trigonometry) {
    CheckReals({
        {"sin", {kPi / 2}, 1},
        {"cos", {0}, 1},
        {"tan", {kPi / 4}, 1, 1e-15},
        {"arcsin", {1}, kPi / 2},
        {"arcsin", {-0.5}, -kPi / 6, 1e-15},
        {"arccos", {1}, 0},
        {"arccos", {-1}, kPi},
        {"arctan", {1}, kPi / 4},
        {"arctan2", {1, -1}, 3 * kPi / 4},
        {"arctan2", {0, 0}, 0},
    });
}

TEST(FunctionMathTest, VariadicHelpers) {
    CheckReals({
        {"median", {1, 2, 3, 4}, 2},
        {"median", {3, 1, 2}, 2},
        {"median", {5}, 5},
        {"median", {}, 0},
        {"mean", {}, 0},
        {"mean", {1, 2, 3, 4}, 2.5},
        {"max", {1, 3, 2}, 3},
        {"min", {4, -2, 8}, -2},
        {"min", {}, 0},
        {"max3", {1, 9, 2}, 9},
        {"min3", {7, 9, 2}, 2},
        {"choose", {}, 0},
        // A string result compares the string part of a real, which is empty.
        {"min", {S("b"), 5}, 5},
    });
    CheckStrings({
        {"min", {S("b"), S("a")}, "a"},
        {"max", {S("abc"), S("abd"), S("ab")}, "abd"},
        // A real result compares the real part of a string, which is 0.
        {"min", {5, S("a")}, "a"},
        {"median", {S("x")}, "x"},
        {"choose", {S("only")}, "only"},
    });
}

TEST(FunctionMathTest, Geometry) {
    CheckReals({
        {"point_distance", {1, 1, 4, 5}, 5},
        {"point_direction", {0, 0, 0, 10}, 270},
        {"point_direction", {0, 0, 0, -10}, 90},
        {"point_direction", {0, 0, 10, 0}, 0},
        {"point_direction", {0, 0, -10, 0}, 180},
        {"point_direction", {3, 3, 3, 3}, 0},
        {"point_direction", {0, 0, 10, -10}, 45, 1e-12},
        {"point_direction", {0, 0, 10, 10}, 315, 1e-12},
        {"lengthdir_x", {10, 90}, 0},  // snapped to exactly 0
        {"lengthdir_y", {10, 90}, -10},
        {"lengthdir_y", {10, 180}, 0},
        {"lengthdir_x", {10, 60}, 5},
        {"lengthdir_x", {2, 45}, std::sqrt(2.0), 1e-15},
    });
}

TEST(FunctionMathTest, RealsToText) {
    CheckStrings({
        {"string", {5}, "5"},
        {"string", {-12}, "-12"},
        {"string", {5.0001}, "5.00"},
        {"string", {0.5}, "0.50"},
        {"string", {1.0 / 3}, "0.33"},
        {"string", {-1.25}, "-1.25"},
        {"string", {0.125}, "0.13"},   // halves round away from zero
        {"string", {2.675}, "2.67"},   // 2.675 is stored just below the half
        {"string", {-0.001}, "0.00"},  // no minus sign on a zero
        {"string", {-0.0}, "0"},
        {"string", {1e15}, "1000000000000000"},
        {"string", {123456789.126}, "123456789.10"},  // ten significant digits
        {"string", {12345678901.5}, "1.23456789E+10"},
        {"string", {9999999999.999}, "1E+10"},
        {"string", {1e20}, "1E+20"},
        {"string", {std::nan("")}, "NAN"},
        {"string", {-INFINITY}, "-INF"},
        {"string", {S("a")}, "a"},
        {"string_format", {3.14159, 8, 3}, "   3.142"},
        {"string_format", {S("abc"), 8, 3}, "abc"},
        {"string_format", {5, 6, 2}, "  5.00"},
        {"string_format", {-2.5, 0, 0}, "-3"},
        {"string_format", {1e-5, 0, 2}, "0.00"},
        {"string_format", {0.5, 0, -4}, "1"},
        {"string_format", {1.0 / 3, 0, 18}, "0.333333333333333315"},
        {"string_format", {1.0 / 3, 0, 30}, "0.333333333333333315"},
        {"string_format", {1234.5, 2, 1}, "1234.5"},
        {"chr", {65}, "A"},
        {"chr", {321}, "A"},
        {"chr", {65.5}, "B"},  // rounded, ties to even
    });
    TestRuntime rt;
    RValue nul = rt.Call("chr", {0});
    EXPECT_EQ(nul.Str(), std::string_view("\0", 1));
}

TEST(FunctionMathTest, TextToReals) {
    CheckReals({
        {"real", {S("  ")}, 0},
        {"real", {S("")}, 0},
        {"real", {S("1e3")}, 1000},
        {"real", {S(" -2.5\t")}, -2.5},
        {"real", {S("+4")}, 4},
        {"real", {S(".5")}, 0.5},
        {"real", {S("7.")}, 7},
        {"real", {S("1E-2")}, 0.01},
        {"real", {S("1e-400")}, 0},
        {"real", {3.5}, 3.5},
        {"ord", {S("")}, 0},
        {"ord", {S("A")}, 65},
        {"ord", {S("\xff")}, 255},
    });
}

TEST(FunctionMathTest, StringFunctions) {
    CheckReals({
        {"string_length", {S("hello")}, 5},
        {"string_length", {3}, 0},
        {"string_pos", {S("l"), S("hello")}, 3},
        {"string_pos", {S("z"), S("hello")}, 0},
        {"string_pos", {S(""), S("hello")}, 0},
        {"string_count", {S("aa"), S("aaaa")}, 2},
        {"string_count", {S("aa"), S("aaa")}, 1},
        {"string_count", {S(""), S("abc")}, 0},
    });
    CheckStrings({
        {"string_copy", {S("hello"), 2, 3}, "ell"},
        {"string_copy", {S("hello"), 0, 2}, "he"},
        {"string_copy", {S("hello"), 4, 10}, "lo"},
        {"string_copy", {S("hello"), 2, 0}, ""},
        {"string_copy", {S("hello"), 9, 1}, ""},
        {"string_copy", {S("hello"), 1.5, 2.5}, "el"},  // index and count are rounded
        {"string_char_at", {S("abc"), 2}, "b"},
        {"string_char_at", {S("abc"), 0}, ""},
        {"string_char_at", {S("abc"), 4}, ""},
        {"string_delete", {S("hello"), 2, 2}, "hlo"},
        {"string_delete", {S("hello"), 0, 2}, "hello"},
        {"string_delete", {S("hello"), 4, 99}, "hel"},
        {"string_delete", {S("hello"), 6, 1}, "hello"},
        {"string_insert", {S("X"), S("abc"), 2}, "aXbc"},
        {"string_insert", {S("X"), S("abc"), 9}, "abcX"},
        {"string_insert", {S("X"), S("abc"), -3}, "Xabc"},
        {"string_lower", {S("AbC\xc4z")}, "abc\xc4z"},
        {"string_upper", {S("aBc\xe4Z")}, "ABC\xe4Z"},
        {"string_repeat", {S("ab"), 3}, "ababab"},
        {"string_repeat", {S("ab"), 0.4}, ""},
        {"string_repeat", {S("ab"), 2.5}, "abab"},
        {"string_repeat", {S("ab"), -1}, ""},
        {"string_letters", {S("a1-B2_c")}, "aBc"},
        {"string_digits", {S("a1-B2_c")}, "12"},
        {"string_lettersdigits", {S("a1-B2_c\xe9")}, "a1B2c"},
        {"string_replace", {S("abab"), S("b"), S("x")}, "axab"},
        {"string_replace_all", {S("abab"), S("b"), S("x")}, "axax"},
        {"string_replace_all", {S("aaa"), S("aa"), S("b")}, "ba"},
        {"string_replace_all", {S("abc"), S(""), S("x")}, "abc"},
        {"string_replace", {S("abc"), S("B"), S("x")}, "abc"},  // case-sensitive
        {"string_replace_all", {S("a.b.c"), S("."), S("")}, "abc"},
    });
}

TEST(FunctionMathTest, FailuresReportTheirMessageAndReturnZero) {
    struct Case {
        const char* fn;
        std::vector<RValue> args;
        const char* message;
    };
    const Case cases[] = {
        {"sqrt", {-1}, "Cannot apply sqrt to negative number."},
        {"exp", {1000}, "Error in function exp()."},
        {"ln", {0}, "Error in function ln()."},
        {"ln", {-1}, "Error in function ln()."},
        {"log2", {0}, "Error in function log2()."},
        {"log10", {-1}, "Error in function log10()."},
        {"arcsin", {2}, "Error in function arcsin()."},
        {"arccos", {-2}, "Error in function arccos()."},
        {"power", {-8, 1.0 / 3}, "Error in function power()."},
        {"power", {0, -1}, "Error in function power()."},
        {"power", {10, 400}, "Error in function power()."},
        {"logn", {1, 8}, "Error in function logn()."},
        {"logn", {-2, 8}, "Error in function logn()."},
        {"real", {S("abc")}, "Error in function real()."},
        {"real", {S("1e")}, "Error in function real()."},
        {"real", {S("1e400")}, "Error in function real()."},
        {"real", {S("inf")}, "Error in function real()."},
        {"real", {S("--1")}, "Error in function real()."},
        {"real", {S("0x10")}, "Error in function real()."},
        {"real", {S("1 2")}, "Error in function real()."},
        {"string_repeat", {S("ab"), 1e9}, "Trying to make a string of more than 1073741824 bytes."},
        {"string_format", {1, 2e9, 0}, "Trying to make a string of more than 1073741824 bytes."},
    };
    for (const Case& c : cases) {
        TestRuntime rt;
        RValue r = rt.Call(c.fn, c.args);
        ASSERT_EQ(rt.errors.size(), 1u) << c.fn;
        EXPECT_EQ(rt.errors[0], c.message);
        EXPECT_TRUE(r.IsReal() && r.real == 0.0) << c.fn;
    }
}

// The expected values follow from the generator's definition alone (state * 134775813 + 1
// modulo 2^32; a real draw is state / 2^32; an integer draw below n is (state * n) >> 32),
// computed outside this code base.
TEST(FunctionMathTest, ASeededSequenceIsTheSameEverywhere) {
    TestRuntime rt;
    rt.Call("random_set_seed", {1});
    EXPECT_EQ(rt.Call("random", {10}).real, 0.31379939522594213);
    EXPECT_EQ(rt.Call("irandom", {9}).real, 8);
    EXPECT_EQ(rt.Call("irandom_range", {3, 7}).real, 4);
    EXPECT_EQ(rt.Call("choose", {S("a"), S("b"), S("c")}).StdStr(), "a");
    EXPECT_EQ(rt.Call("random_range", {2, 5}).real, 4.014963255729526);
    EXPECT_EQ(rt.Call("irandom", {-3}).real, -1);             // between -3 and 0
    EXPECT_EQ(rt.Call("irandom_range", {7.9, 3.2}).real, 3);  // between 3 and 7
    EXPECT_EQ(rt.Call("random_get_seed", {}).real, 694906232);
    EXPECT_TRUE(rt.errors.empty());

    rt.Call("random_set_seed", {-5});
    EXPECT_EQ(rt.Call("random_get_seed", {}).real, -5);
    rt.Call("random_set_seed", {4294967297.0});  // wraps to 32 bits
    EXPECT_EQ(rt.Call("random_get_seed", {}).real, 1);

    rt.clock_seed = 0xFFFFFFFEu;
    rt.Call("randomize", {});
    EXPECT_EQ(rt.Call("random_get_seed", {}).real, -2);
}

TEST(FunctionMathTest, RandomDrawsStayInTheirRanges) {
    TestRuntime rt;
    rt.Call("random_set_seed", {42});
    for (int i = 0; i < 200; ++i) {
        double r = rt.Call("random", {3}).real;
        EXPECT_TRUE(r >= 0 && r < 3) << r;
        double n = rt.Call("irandom", {2.7}).real;
        EXPECT_TRUE(n == 0 || n == 1 || n == 2) << n;
        double m = rt.Call("irandom_range", {-1.5, 1}).real;
        EXPECT_TRUE(m >= -2 && m <= 1 && m == std::floor(m)) << m;
        double big = rt.Call("irandom", {1e12}).real;
        EXPECT_TRUE(big >= 0 && big <= 4294967295.0 && big == std::floor(big)) << big;
    }
}

TEST(FunctionMathTest, TextUsesAPointWhateverTheLocale) {
    std::string old = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8") && !std::setlocale(LC_ALL, "de_DE.utf8")) {
        GTEST_SKIP() << "no German locale on this machine";
    }
    CheckStrings({{"string", {2.5}, "2.50"}, {"string_format", {1234.5678, 10, 3}, "  1234.568"}});
    CheckReals({{"real", {S("1.5")}, 1.5}, {"real", {S("1e2")}, 100}});
    std::setlocale(LC_ALL, old.c_str());
}

TEST(FunctionMathTest, ShowDebugMessageWritesALine) {
    TestRuntime rt;
    testing::internal::CaptureStdout();
    rt.Call("show_debug_message", {S("hello")});
    rt.Call("show_debug_message", {1.0 / 3});
    rt.Call("show_debug_message", {7});
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "hello\n0.33\n7\n");
}

}  // namespace
}  // namespace kr

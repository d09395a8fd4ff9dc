// The operators of the script language on values: the unary and binary operators, identified by
// their token kinds, with the rules and messages shared by the interpreter and by constant
// folding in the compiler.
#pragma once

#include <emmintrin.h>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "code/BuiltinRegistry.h"
#include "code/Lexer.h"
#include "code/Value.h"

namespace kr {

// Strings longer than this are refused ("String too long."): a runaway repetition or
// concatenation must end in an error, not in exhausted memory.
constexpr size_t kMaxStringLength = size_t(1) << 30;

// Applies unary operator `op` (203, 210, 211, 220) to `v` in place. Returns nullptr on success,
// otherwise the message (v is then unspecified).
const char* ApplyUnary(int32_t op, RValue& v);
// Combines `left` with `right` into `left`. Returns nullptr on success, otherwise the message.
const char* ApplyBinary(int32_t op, RValue& left, const RValue& right,
                        size_t max_string = kMaxStringLength);

// Concatenates two strings (right not empty) into `dest`. When `dest` is the left operand and
// holds the only reference to its bytes, they are extended in place (storage grows
// geometrically, so building a string piece by piece costs linear time). With
// `variable_shares`, `left` was just read from the variable that the result is written to next,
// and that variable may hold the one other reference: its bytes are extended all the same.
void ConcatInto(RValue& dest, const RValue& left, std::string_view right,
                bool variable_shares = false);

// Equality as `switch` labels test it: equal kinds and exactly equal reals or equal bytes.
bool ExactlyEqual(const RValue& a, const RValue& b);

// Comparisons of reals with the 1e-13 tolerance. The tolerance is an extended-precision
// constant, which no double equals: kTolBelow and kTolAbove are the doubles on either side of
// it, so every comparison below is exactly the one made against the extended constant.
inline constexpr double kTolBelow = 0x1.c25c268497681p-44;
inline constexpr double kTolAbove = 0x1.c25c268497682p-44;
inline bool RealLess(double a, double b) {
    return a - b <= -kTolAbove;
}
inline bool RealLessEqual(double a, double b) {
    return a - b <= kTolBelow;
}
inline bool RealEqual(double a, double b) {
    double d = a - b;
    return d >= -kTolBelow && d <= kTolBelow;
}
inline bool RealNotEqual(double a, double b) {
    double d = a - b;
    return d <= -kTolAbove || d >= kTolAbove;
}
inline bool RealGreaterEqual(double a, double b) {
    return a - b >= -kTolBelow;
}
inline bool RealGreater(double a, double b) {
    return a - b >= kTolAbove;
}

// A comparison of a real with a fixed finite number b as one test against a threshold t: as
// rounding is monotonic, the reals a for which a - b passes `<` or `<=` are exactly those with
// a <= t, and for `>` or `>=` those with a >= t (NaN passes neither). False when b is not
// finite or `op` is not one of those four.
bool CompareThreshold(int32_t op, double b, double& t);

// Rounds to the nearest integer, ties to even, for values known to lie well inside the 64-bit
// range (one instruction in the default rounding mode).
inline int64_t FastRound(double v) {
    return _mm_cvtsd_si64(_mm_set_sd(v));
}

// The logic operators on reals: a value is true when it is at least 0.5; the result is 1 or 0.
inline double RealNot(double a) {
    return a < 0.5 ? 1.0 : 0.0;
}
inline double RealAnd(double a, double b) {
    return (a >= 0.5 && b >= 0.5) ? 1.0 : 0.0;
}
inline double RealOr(double a, double b) {
    return (a >= 0.5 || b >= 0.5) ? 1.0 : 0.0;
}
inline double RealXor(double a, double b) {
    return ((a >= 0.5) != (b >= 0.5)) ? 1.0 : 0.0;
}

// The integer a bit operator works on: rounded to the nearest, ties to even.
inline int64_t BitOperand(double v) {
    return (v > -9.0e18 && v < 9.0e18) ? FastRound(v) : RoundToInt64(v);
}
// The shifts: the count is the low byte of the rounded right operand; 64 and more give 0.
inline double RealShiftLeft(double a, double b) {
    const int64_t n = int64_t(uint8_t(BitOperand(b)));
    return n < 64 ? double(int64_t(uint64_t(BitOperand(a)) << n)) : 0.0;
}
inline double RealShiftRight(double a, double b) {
    const int64_t n = int64_t(uint8_t(BitOperand(b)));
    return n < 64 ? double(int64_t(uint64_t(BitOperand(a)) >> n)) : 0.0;
}

// `div` and `mod` on reals (right not 0): the quotient truncated towards zero, and left minus
// that quotient times right.
// The quotient is an integer, so a zero quotient is +0 whatever the signs.
inline double TruncToInteger(double q) {
    return std::fabs(q) < 4503599627370496.0 ? double(int64_t(q)) : q;
}
inline double RealDiv(double a, double b) {
    return TruncToInteger(a / b);
}
inline double RealMod(double a, double b) {
    return a - TruncToInteger(a / b) * b;
}

// RealMod for a divisor that is an integer with 1 <= |b| < 2^31: a dividend that is a nonzero
// integer below 2^51 in magnitude gets its remainder exactly in integers, from a reciprocal
// estimate of the quotient (off by at most one) and one correction. For such operands a / b
// rounds to a double whose truncation is the exact quotient, so RealMod gives that exact
// remainder too, with +0 for a nonzero multiple of b; every other dividend (-0 among them, whose
// result is -0) takes RealMod itself.
// `inv` is 1 / |b|, which code that divides by the same b again and again works out once.
inline double RealModByReciprocal(double a, double b, double inv) {
    if (__builtin_expect(std::fabs(a) < 2251799813685248.0, 1)) {
        const int64_t ai = int64_t(a);
        if (__builtin_expect(ai != 0 && double(ai) == a, 1)) {
            const int64_t bi = int64_t(std::fabs(b));
            int64_t r = ai - int64_t(a * inv) * bi;
            // The estimate is rarely off: branches, not selects, keep the result's wait short.
            if (ai > 0) {
                if (__builtin_expect(r < 0, 0))
                    r += bi;
                else if (__builtin_expect(r >= bi, 0))
                    r -= bi;
            } else {
                if (__builtin_expect(r > 0, 0))
                    r -= bi;
                else if (__builtin_expect(r <= -bi, 0))
                    r += bi;
            }
            return double(r);
        }
    }
    return RealMod(a, b);
}
inline double RealModByInteger(double a, double b) {
    return RealModByReciprocal(a, b, 1.0 / std::fabs(b));
}
// Whether RealModByInteger applies to divisor b.
inline bool IsModDivisor(double b) {
    const double ab = std::fabs(b);
    return ab >= 1.0 && ab < 2147483648.0 && double(int64_t(ab)) == ab;
}
// RealMod, through RealModByInteger where the divisor allows.
inline double RealModQuick(double a, double b) {
    return IsModDivisor(b) ? RealModByInteger(a, b) : RealMod(a, b);
}

}  // namespace kr

// The math and string functions of the script language: type tests, the random functions,
// rounding and arithmetic, trigonometry, the variadic helpers, conversions between reals and
// text, the string functions and the two plane-geometry helpers.
#include "library/FunctionMath.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "code/Runtime.h"
#include "code/Vocabulary.h"

namespace kr {

// ---- Conversions between reals and text ---------------------------------------------------

namespace {

// A non-negative decimal number 0.d1d2d3... x 10^point.
struct Decimal {
    std::string digits;
    int point = 0;
};

// 18 significant digits of |x| (finite), correctly rounded. to_chars never looks at the locale.
Decimal ToDecimal(double x) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(x), std::chars_format::scientific, 17);
    // buf holds "d.ddddddddddddddddde+XX".
    Decimal d;
    const char* p = buf;
    for (; p < r.ptr && *p != 'e'; ++p) {
        if (*p >= '0' && *p <= '9') d.digits += *p;
    }
    int exp10 = 0;
    if (p < r.ptr) std::from_chars(p + (p[1] == '+' ? 2 : 1), r.ptr, exp10);
    d.point = exp10 + 1;
    return d;
}

// Keeps the first `keep` digits, rounding half away from zero on the dropped ones; a carry out
// of the first digit moves the point.
void RoundDecimal(Decimal& d, int keep) {
    if (keep < 0) {
        d.digits.clear();
        return;
    }
    if (size_t(keep) >= d.digits.size()) return;
    bool up = d.digits[size_t(keep)] >= '5';
    d.digits.resize(size_t(keep));
    if (!up) return;
    int i = keep - 1;
    while (i >= 0 && d.digits[size_t(i)] == '9') d.digits[size_t(i--)] = '0';
    if (i >= 0) {
        ++d.digits[size_t(i)];
    } else {
        d.digits.insert(d.digits.begin(), '1');
        ++d.point;
    }
}

bool IsZero(const Decimal& d) {
    return d.digits.find_first_not_of('0') == std::string::npos;
}

// d.ddddE+X with `precision` significant digits and no trailing zeros.
std::string FormatExponent(bool negative, Decimal d, int precision) {
    RoundDecimal(d, precision);
    while (d.digits.size() > 1 && d.digits.back() == '0') d.digits.pop_back();
    std::string s = negative ? "-" : "";
    s += d.digits[0];
    if (d.digits.size() > 1) {
        s += '.';
        s.append(d.digits, 1);
    }
    int e = d.point - 1;
    s += e < 0 ? "E-" : "E+";
    s += std::to_string(e < 0 ? -e : e);
    return s;
}

}  // namespace

std::string FormatFixed(double x, int precision, int decimals) {
    if (std::isnan(x)) return "NAN";
    if (std::isinf(x)) return x < 0 ? "-INF" : "INF";
    decimals = std::clamp(decimals, 0, 18);
    bool negative = std::signbit(x);
    Decimal d = ToDecimal(x);
    if (d.point > precision) return FormatExponent(negative, d, precision);
    RoundDecimal(d, std::min(precision, d.point + decimals));
    if (d.point > precision) return FormatExponent(negative, d, precision);

    auto digit = [&](int i) {
        return i >= 0 && size_t(i) < d.digits.size() ? d.digits[size_t(i)] : '0';
    };
    std::string s;
    if (negative && !IsZero(d)) s += '-';  // no "-0.00"
    if (d.point <= 0) {
        s += '0';
    } else {
        for (int i = 0; i < d.point; ++i) s += digit(i);
    }
    if (decimals > 0) {
        s += '.';
        for (int k = 0; k < decimals; ++k) s += digit(d.point + k);
    }
    return s;
}

std::string RealToString(double x) {
    // Integral values within the 64-bit range print as integers; -2^63 <= x < 2^63.
    if (x == std::nearbyint(x) && x >= -9.2233720368547758e18 && x < 9.2233720368547758e18) {
        char buf[32];
        auto r = std::to_chars(buf, buf + sizeof buf, int64_t(x));
        return std::string(buf, r.ptr);
    }
    return FormatFixed(x, 10, 2);
}

bool ParseReal(std::string_view text, double& out) {
    // Blanks and control characters around the number are ignored.
    while (!text.empty() && uint8_t(text.front()) <= ' ') text.remove_prefix(1);
    while (!text.empty() && uint8_t(text.back()) <= ' ') text.remove_suffix(1);
    if (text.empty()) {
        out = 0.0;
        return true;
    }
    bool negative = false;
    if (text[0] == '+' || text[0] == '-') {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    // Digits or a point must follow: this keeps out "inf", "nan" and a second sign.
    if (text.empty() || !(std::isdigit(uint8_t(text[0])) || text[0] == '.')) return false;
    double v = 0.0;
    auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ptr != text.data() + text.size()) return false;
    if (r.ec == std::errc::result_out_of_range) {
        // Too large fails; too small is zero. The magnitude is the position of the first
        // significant digit plus the exponent.
        size_t e = text.find_first_of("eE");
        std::string_view mant = text.substr(0, e);
        size_t point = std::min(mant.find('.'), mant.size());
        size_t first = mant.find_first_of("123456789");
        long mag = first == std::string_view::npos ? -1
                   : first < point                 ? long(point - first) - 1
                                                   : -long(first - point);
        if (e != std::string_view::npos) {
            std::string_view ex = text.substr(e + 1);
            bool ex_neg = !ex.empty() && ex[0] == '-';
            if (!ex.empty() && (ex[0] == '-' || ex[0] == '+')) ex.remove_prefix(1);
            long ev = 0;
            for (char c : ex) ev = std::min(ev * 10 + (c - '0'), 100000L);
            mag += ex_neg ? -ev : ev;
        }
        if (mag >= 0) return false;
        v = 0.0;
    } else if (r.ec != std::errc()) {
        return false;
    }
    out = negative ? -v : v;
    return true;
}

// ---- Helpers of the bodies ----------------------------------------------------------------

// Longest string a function builds. Longer results are refused with an error instead of
// exhausting memory (or overflowing a string's 32-bit length).
static constexpr uint64_t kMaxStringBytes = uint64_t(1) << 30;

static bool CheckLength(Runtime& rt, uint64_t n) {
    if (n <= kMaxStringBytes) return true;
    rt.RuntimeError("Trying to make a string of more than 1073741824 bytes.");
    return false;
}

// Rounded argument as a 64-bit integer: index and count arguments of the string functions.
static int64_t ArgInt64(const RValue& v) {
    return RoundToInt64(ArgReal(v));
}

// Floor as a 64-bit integer, clamped so that arithmetic on it cannot overflow.
static int64_t FloorInt64(double v) {
    if (std::isnan(v)) return 0;
    return int64_t(std::clamp(std::floor(v), -4503599627370496.0, 4503599627370496.0));
}

// An integer draw below `count` for counts outside the generator's 32-bit range.
static uint32_t DrawBelow(Runtime& rt, int64_t count) {
    return rt.Rng().NextBelow(uint32_t(std::clamp<int64_t>(count, 0, 0xFFFFFFFF)));
}

// Stores a computed real, or reports `message` when the operation failed: a NaN or an infinity
// from finite arguments is an invalid operation, an overflow or a division by zero.
static void CheckedReal(Runtime& rt, double v, bool finite_args, const char* message,
                        RValue& result) {
    if (finite_args && !std::isfinite(v)) {
        rt.RuntimeError(message);
        return;
    }
    result = v;
}

#define KR_MATH_FN(name)                                                                 \
    static void name(Runtime& rt, ScriptInstance* self, ScriptInstance* other, int argc, \
                     const RValue* args, RValue& result)

// ---- Types and random numbers -------------------------------------------------------------

KR_MATH_FN(fn_is_real) {
    result = args[0].IsReal() ? 1.0 : 0.0;
}
KR_MATH_FN(fn_is_string) {
    result = args[0].IsString() ? 1.0 : 0.0;
}

KR_MATH_FN(fn_random) {
    result = ArgReal(args[0]) * rt.Rng().NextReal();
}

KR_MATH_FN(fn_random_range) {
    double a = ArgReal(args[0]), b = ArgReal(args[1]);
    result = a + rt.Rng().NextReal() * (b - a);
}

// A negative bound draws between it and 0: the count of the draw would be negative otherwise,
// which the generator takes as a huge unsigned range.
KR_MATH_FN(fn_irandom) {
    int64_t n = FloorInt64(ArgReal(args[0]));
    if (n >= 0) {
        result = double(DrawBelow(rt, n + 1));
    } else {
        result = double(-int64_t(DrawBelow(rt, -n + 1)));
    }
}

// Bounds given in the wrong order are taken in the right one.
KR_MATH_FN(fn_irandom_range) {
    int64_t a = FloorInt64(ArgReal(args[0]));
    int64_t b = FloorInt64(ArgReal(args[1]));
    if (b < a) std::swap(a, b);
    result = double(a + int64_t(DrawBelow(rt, b - a + 1)));
}

KR_MATH_FN(fn_random_set_seed) {
    rt.Rng().SetSeed(int32_t(uint32_t(ArgInt64(args[0]))));
}
KR_MATH_FN(fn_random_get_seed) {
    result = double(rt.Rng().Seed());
}
KR_MATH_FN(fn_randomize) {
    rt.Rng().SetSeed(int32_t(rt.RandomizeSeed()));
}

// ---- Rounding and arithmetic --------------------------------------------------------------

KR_MATH_FN(fn_abs) {
    result = std::fabs(ArgReal(args[0]));
}
KR_MATH_FN(fn_round) {
    result = std::nearbyint(ArgReal(args[0]));
}
KR_MATH_FN(fn_floor) {
    result = std::floor(ArgReal(args[0]));
}
KR_MATH_FN(fn_ceil) {
    result = std::ceil(ArgReal(args[0]));
}

KR_MATH_FN(fn_sign) {
    double x = ArgReal(args[0]);
    result = x <= -1e-13 ? -1.0 : (x > -1e-13 && x < 1e-13) ? 0.0 : 1.0;
}

KR_MATH_FN(fn_frac) {
    double x = ArgReal(args[0]);
    result = x - std::trunc(x);
}

KR_MATH_FN(fn_sqrt) {
    double x = ArgReal(args[0]);
    CheckedReal(rt, std::sqrt(x), std::isfinite(x), "Cannot apply sqrt to negative number.",
                result);
}

KR_MATH_FN(fn_sqr) {
    double x = ArgReal(args[0]);
    result = x * x;
}

KR_MATH_FN(fn_exp) {
    double x = ArgReal(args[0]);
    CheckedReal(rt, std::exp(x), std::isfinite(x), "Error in function exp().", result);
}

KR_MATH_FN(fn_ln) {
    double x = ArgReal(args[0]);
    CheckedReal(rt, std::log(x), std::isfinite(x), "Error in function ln().", result);
}

KR_MATH_FN(fn_log2) {
    double x = ArgReal(args[0]);
    CheckedReal(rt, std::log2(x), std::isfinite(x), "Error in function log2().", result);
}

KR_MATH_FN(fn_log10) {
    double x = ArgReal(args[0]);
    CheckedReal(rt, std::log2(x) * 0.30102999566398119521, std::isfinite(x),
                "Error in function log10().", result);
}

KR_MATH_FN(fn_sin) {
    result = std::sin(ArgReal(args[0]));
}
KR_MATH_FN(fn_cos) {
    result = std::cos(ArgReal(args[0]));
}
KR_MATH_FN(fn_tan) {
    result = std::tan(ArgReal(args[0]));
}

KR_MATH_FN(fn_arcsin) {
    double x = ArgReal(args[0]);
    CheckedReal(rt, std::atan2(x, std::sqrt((1 + x) * (1 - x))), std::isfinite(x),
                "Error in function arcsin().", result);
}

KR_MATH_FN(fn_arccos) {
    double x = ArgReal(args[0]);
    CheckedReal(rt, std::atan2(std::sqrt((1 + x) * (1 - x)), x), std::isfinite(x),
                "Error in function arccos().", result);
}

KR_MATH_FN(fn_arctan) {
    double x = ArgReal(args[0]);
    CheckedReal(rt, std::atan2(x, 1.0), std::isfinite(x), "Error in function arctan().", result);
}

KR_MATH_FN(fn_arctan2) {
    double y = ArgReal(args[0]), x = ArgReal(args[1]);
    CheckedReal(rt, std::atan2(y, x), std::isfinite(y) && std::isfinite(x),
                "Error in function arctan2().", result);
}

KR_MATH_FN(fn_degtorad) {
    result = ArgReal(args[0]) * 0.017453292519943295;
}
KR_MATH_FN(fn_radtodeg) {
    result = ArgReal(args[0]) * 57.29577951308232;
}

KR_MATH_FN(fn_power) {
    double x = ArgReal(args[0]), n = ArgReal(args[1]);
    CheckedReal(rt, std::pow(x, n), std::isfinite(x) && std::isfinite(n),
                "Error in function power().", result);
}

KR_MATH_FN(fn_logn) {
    double n = ArgReal(args[0]), x = ArgReal(args[1]);
    CheckedReal(rt, std::log2(x) / std::log2(n), std::isfinite(n) && std::isfinite(x),
                "Error in function logn().", result);
}

// ---- Variadic helpers ---------------------------------------------------------------------

// The kind of the current result decides which part of the next argument is compared, so
// min(5, "a") compares 0 (the real part of "a") with 5.
template <bool kMax>
static void MinMax(int argc, const RValue* args, RValue& result) {
    if (argc <= 0) return;
    result = args[0];
    for (int i = 1; i < argc; ++i) {
        bool take;
        if (result.IsReal()) {
            take = kMax ? ArgReal(args[i]) > result.real : ArgReal(args[i]) < result.real;
        } else {
            take = kMax ? args[i].Str() > result.Str() : args[i].Str() < result.Str();
        }
        if (take) result = args[i];
    }
}

KR_MATH_FN(fn_min) {
    MinMax<false>(argc, args, result);
}
KR_MATH_FN(fn_max) {
    MinMax<true>(argc, args, result);
}
KR_MATH_FN(fn_min3) {
    MinMax<false>(3, args, result);
}
KR_MATH_FN(fn_max3) {
    MinMax<true>(3, args, result);
}

KR_MATH_FN(fn_mean) {
    if (argc <= 0) return;
    double sum = 0;
    for (int i = 0; i < argc; ++i) sum += ArgReal(args[i]);
    result = sum / argc;
}

// The first argument with fewer than half of the arguments below it and at least half not
// above it; for an even count that is the lower of the two middle values.
KR_MATH_FN(fn_median) {
    for (int i = 0; i < argc; ++i) {
        double p = ArgReal(args[i]);
        int below = 0, not_above = 0;
        for (int k = 0; k < argc; ++k) {
            double v = ArgReal(args[k]);
            below += v < p;
            not_above += v <= p;
        }
        if (2 * below < argc && 2 * not_above >= argc) {
            result = args[i];
            return;
        }
    }
}

KR_MATH_FN(fn_choose) {
    if (argc <= 0) return;
    result = args[rt.Rng().NextBelow(uint32_t(argc))];
}

// ---- Conversions --------------------------------------------------------------------------

KR_MATH_FN(fn_real) {
    if (args[0].IsReal()) {
        result = args[0];
        return;
    }
    double v;
    if (!ParseReal(args[0].Str(), v)) {
        rt.RuntimeError("Error in function real().");
        return;
    }
    result = v;
}

KR_MATH_FN(fn_string) {
    if (args[0].IsString()) {
        result = args[0];
        return;
    }
    result = RValue(RealToString(args[0].real));
}

KR_MATH_FN(fn_string_format) {
    if (args[0].IsString()) {
        result = args[0];
        return;
    }
    std::string s =
        FormatFixed(args[0].real, 18, int(std::clamp<int64_t>(ArgInt64(args[2]), 0, 18)));
    int64_t total = ArgInt64(args[1]);
    if (total > int64_t(s.size())) {
        if (!CheckLength(rt, uint64_t(total))) return;
        s.insert(0, size_t(total) - s.size(), ' ');
    }
    result = RValue(s);
}

KR_MATH_FN(fn_chr) {
    char c = char(uint8_t(uint64_t(ArgInt64(args[0]))));
    result = RValue(std::string_view(&c, 1));
}

KR_MATH_FN(fn_ord) {
    std::string_view s = args[0].Str();
    result = s.empty() ? 0.0 : double(uint8_t(s[0]));
}

// ---- Strings ------------------------------------------------------------------------------

KR_MATH_FN(fn_string_length) {
    result = double(args[0].Str().size());
}

KR_MATH_FN(fn_string_pos) {
    std::string_view sub = args[0].Str(), s = args[1].Str();
    if (sub.empty()) return;
    size_t at = s.find(sub);
    result = at == std::string_view::npos ? 0.0 : double(at + 1);
}

KR_MATH_FN(fn_string_copy) {
    std::string_view s = args[0].Str();
    int64_t index = std::max<int64_t>(ArgInt64(args[1]), 1);
    int64_t count = ArgInt64(args[2]);
    if (count < 1 || index > int64_t(s.size())) {
        result = RValue("");
        return;
    }
    result = RValue(s.substr(size_t(index - 1), size_t(count)));
}

KR_MATH_FN(fn_string_char_at) {
    std::string_view s = args[0].Str();
    int64_t index = ArgInt64(args[1]);
    if (index < 1 || index > int64_t(s.size())) {
        result = RValue("");
        return;
    }
    result = RValue(s.substr(size_t(index - 1), 1));
}

// An index outside the string deletes nothing.
KR_MATH_FN(fn_string_delete) {
    std::string_view s = args[0].Str();
    int64_t index = ArgInt64(args[1]);
    int64_t count = ArgInt64(args[2]);
    if (count < 1 || index < 1 || index > int64_t(s.size())) {
        result = args[0].IsString() ? args[0] : RValue("");
        return;
    }
    std::string out(s.substr(0, size_t(index - 1)));
    if (uint64_t(count) < s.size() - uint64_t(index - 1))
        out.append(s.substr(size_t(index - 1 + count)));
    result = RValue(out);
}

// An index below 1 inserts at the front, one beyond the end appends.
KR_MATH_FN(fn_string_insert) {
    std::string_view sub = args[0].Str(), s = args[1].Str();
    int64_t index = std::clamp<int64_t>(ArgInt64(args[2]), 1, int64_t(s.size()) + 1);
    if (!CheckLength(rt, uint64_t(s.size()) + sub.size())) return;
    std::string out;
    out.reserve(s.size() + sub.size());
    out.append(s.substr(0, size_t(index - 1))).append(sub).append(s.substr(size_t(index - 1)));
    result = RValue(out);
}

template <int (*kConvert)(int)>
static void MapBytes(const RValue& v, RValue& result) {
    std::string s(v.Str());
    for (char& c : s) {
        uint8_t b = uint8_t(c);
        if (b < 0x80) c = char(kConvert(b));  // ASCII letters only, whatever the locale
    }
    result = RValue(s);
}

static int AsciiLower(int c) {
    return c >= 'A' && c <= 'Z' ? c + 32 : c;
}
static int AsciiUpper(int c) {
    return c >= 'a' && c <= 'z' ? c - 32 : c;
}

KR_MATH_FN(fn_string_lower) {
    MapBytes<AsciiLower>(args[0], result);
}
KR_MATH_FN(fn_string_upper) {
    MapBytes<AsciiUpper>(args[0], result);
}

KR_MATH_FN(fn_string_repeat) {
    std::string_view s = args[0].Str();
    int64_t count = ArgInt64(args[1]);
    if (count < 1 || s.empty()) {
        result = RValue("");
        return;
    }
    // count is capped first, so the product cannot overflow.
    uint64_t n =
        uint64_t(count) > kMaxStringBytes ? kMaxStringBytes + 1 : uint64_t(count) * s.size();
    if (!CheckLength(rt, n)) return;
    RValue out = RValue::Adopt(StrRep::Alloc(size_t(n)));
    char* to = out.rep->data;
    for (int64_t i = 0; i < count; ++i) {
        std::memcpy(to + size_t(i) * s.size(), s.data(), s.size());
        // A string of a gigabyte takes a while: a request to stop is answered on the way.
        if ((i & 0xFFFFF) == 0xFFFFF && rt.Interrupted()) return;
    }
    result = std::move(out);
}

static bool IsLetter(uint8_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
static bool IsDigit(uint8_t c) {
    return c >= '0' && c <= '9';
}
static bool IsLetterOrDigit(uint8_t c) {
    return IsLetter(c) || IsDigit(c);
}

template <bool (*kKeep)(uint8_t)>
static void FilterBytes(const RValue& v, RValue& result) {
    std::string s;
    for (char c : v.Str()) {
        if (kKeep(uint8_t(c))) s += c;
    }
    result = RValue(s);
}

KR_MATH_FN(fn_string_letters) {
    FilterBytes<IsLetter>(args[0], result);
}
KR_MATH_FN(fn_string_digits) {
    FilterBytes<IsDigit>(args[0], result);
}
KR_MATH_FN(fn_string_lettersdigits) {
    FilterBytes<IsLetterOrDigit>(args[0], result);
}

// string_view::find of `sub` in `s` from `from`, searched in pieces of a bounded number of byte
// comparisons each, so that a request to stop the run (Ctrl+C, SIGTERM, the time limit) is
// answered during a long search. Gives npos once the run was asked to stop.
static size_t FindAnswering(Runtime& rt, std::string_view s, std::string_view sub, size_t from) {
    constexpr size_t kComparisonsPerPiece = size_t(1) << 22;
    const size_t starts = std::max<size_t>(1, kComparisonsPerPiece / sub.size());
    while (from <= s.size() && s.size() - from >= sub.size()) {
        const size_t end = std::min(s.size(), from + starts - 1 + sub.size());
        const size_t at = s.substr(0, end).find(sub, from);
        if (at != std::string_view::npos) return at;
        from += starts;
        if (rt.Interrupted()) break;
    }
    return std::string_view::npos;
}

// Replaces the first occurrence of sub, or all of them, left to right without overlaps. An empty
// sub replaces nothing.
static void Replace(Runtime& rt, const RValue* args, bool all, RValue& result) {
    std::string_view s = args[0].Str(), sub = args[1].Str(), with = args[2].Str();
    size_t at = sub.empty() ? std::string_view::npos : FindAnswering(rt, s, sub, 0);
    if (at == std::string_view::npos) {
        result = args[0].IsString() ? args[0] : RValue("");
        return;
    }
    std::string out;
    size_t from = 0;
    while (at != std::string_view::npos) {
        if (!CheckLength(rt, uint64_t(out.size()) + (at - from) + with.size() +
                                 (s.size() - at - sub.size())))
            return;
        out.append(s.substr(from, at - from)).append(with);
        from = at + sub.size();
        at = all ? FindAnswering(rt, s, sub, from) : std::string_view::npos;
    }
    out.append(s.substr(from));
    result = RValue(out);
}

KR_MATH_FN(fn_string_replace) {
    Replace(rt, args, false, result);
}
KR_MATH_FN(fn_string_replace_all) {
    Replace(rt, args, true, result);
}

KR_MATH_FN(fn_string_count) {
    std::string_view sub = args[0].Str(), s = args[1].Str();
    if (sub.empty()) return;
    int64_t n = 0;
    for (size_t at = FindAnswering(rt, s, sub, 0); at != std::string_view::npos;
         at = FindAnswering(rt, s, sub, at + sub.size()))
        ++n;
    result = double(n);
}

// ---- Plane geometry -----------------------------------------------------------------------

KR_MATH_FN(fn_point_distance) {
    double dx = ArgReal(args[2]) - ArgReal(args[0]);
    double dy = ArgReal(args[3]) - ArgReal(args[1]);
    result = std::sqrt(dx * dx + dy * dy);
}

// Degrees counter-clockwise from the right on a screen whose y axis points down, in [0, 360).
KR_MATH_FN(fn_point_direction) {
    double dx = ArgReal(args[2]) - ArgReal(args[0]);
    double dy = ArgReal(args[3]) - ArgReal(args[1]);
    if (dx == 0) {
        result = dy > 0 ? 270.0 : dy < 0 ? 90.0 : 0.0;
        return;
    }
    double a = std::atan2(dy, dx) * 57.29577951308232;
    result = a > 0 ? 360 - a : -a;
}

// A result within 0.0001 of an integer becomes that integer, so lengthdir_x(10, 90) is 0.
static double Snap(double v) {
    double r = std::nearbyint(v);
    return std::fabs(v - r) < 0.0001 ? r : v;
}

KR_MATH_FN(fn_lengthdir_x) {
    result = Snap(ArgReal(args[0]) * std::cos(ArgReal(args[1]) * 0.017453292519943295));
}

KR_MATH_FN(fn_lengthdir_y) {
    result = Snap(-ArgReal(args[0]) * std::sin(ArgReal(args[1]) * 0.017453292519943295));
}

#undef KR_MATH_FN

// ORDER VOCABULARY: the rows keep the registration order of the family.
static constexpr BuiltinDef kMathFunctions[] = {
    {"is_real", fn_is_real, 1},
    {"is_string", fn_is_string, 1},
    {"random", fn_random, 1},
    {"random_range", fn_random_range, 2},
    {"irandom", fn_irandom, 1},
    {"irandom_range", fn_irandom_range, 2},
    {"random_set_seed", fn_random_set_seed, 1},
    {"random_get_seed", fn_random_get_seed, 0},
    {"randomize", fn_randomize, 0},
    {"abs", fn_abs, 1},
    {"round", fn_round, 1},
    {"floor", fn_floor, 1},
    {"ceil", fn_ceil, 1},
    {"sign", fn_sign, 1},
    {"frac", fn_frac, 1},
    {"sqrt", fn_sqrt, 1},
    {"sqr", fn_sqr, 1},
    {"exp", fn_exp, 1},
    {"ln", fn_ln, 1},
    {"log2", fn_log2, 1},
    {"log10", fn_log10, 1},
    {"sin", fn_sin, 1},
    {"cos", fn_cos, 1},
    {"tan", fn_tan, 1},
    {"arcsin", fn_arcsin, 1},
    {"arccos", fn_arccos, 1},
    {"arctan", fn_arctan, 1},
    {"arctan2", fn_arctan2, 2},
    {"degtorad", fn_degtorad, 1},
    {"radtodeg", fn_radtodeg, 1},
    {"power", fn_power, 2},
    {"logn", fn_logn, 2},
    {"min", fn_min, -1},
    {"max", fn_max, -1},
    {"min3", fn_min3, 3},
    {"max3", fn_max3, 3},
    {"mean", fn_mean, -1},
    {"median", fn_median, -1},
    {"choose", fn_choose, -1},
    {"real", fn_real, 1},
    {"string", fn_string, 1},
    {"string_format", fn_string_format, 3},
    {"chr", fn_chr, 1},
    {"ord", fn_ord, 1},
    {"string_length", fn_string_length, 1},
    {"string_pos", fn_string_pos, 2},
    {"string_copy", fn_string_copy, 3},
    {"string_char_at", fn_string_char_at, 2},
    {"string_delete", fn_string_delete, 3},
    {"string_insert", fn_string_insert, 3},
    {"string_lower", fn_string_lower, 1},
    {"string_upper", fn_string_upper, 1},
    {"string_repeat", fn_string_repeat, 2},
    {"string_letters", fn_string_letters, 1},
    {"string_digits", fn_string_digits, 1},
    {"string_lettersdigits", fn_string_lettersdigits, 1},
    {"string_replace", fn_string_replace, 3},
    {"string_replace_all", fn_string_replace_all, 3},
    {"string_count", fn_string_count, 2},
    {"point_distance", fn_point_distance, 4},
    {"point_direction", fn_point_direction, 4},
    {"lengthdir_x", fn_lengthdir_x, 2},
    {"lengthdir_y", fn_lengthdir_y, 2},
};

void RegisterMathFunctions(BuiltinRegistry& reg) {
    reg.AddTable<kMathFunctions>();
}

}  // namespace kr

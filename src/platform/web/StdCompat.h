// What the C++ library of the WebAssembly toolchain lacks of C++20 and the program uses, given
// in its place. Every file of the web runner is compiled with this header first (cmake/Web.cmake);
// the native build never sees it.
#pragma once

#include <bit>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <system_error>
#include <type_traits>

namespace std {

#if !defined(__cpp_lib_bit_cast)
template <class To, class From>
requires(sizeof(To) == sizeof(From) && is_trivially_copyable_v<To> &&
         is_trivially_copyable_v<From>) constexpr To bit_cast(const From& from) noexcept {
    return __builtin_bit_cast(To, from);
}
#endif

#if !defined(__cpp_lib_smart_ptr_for_overwrite)
template <class T>
requires is_unbounded_array_v<T> unique_ptr<T> make_unique_for_overwrite(size_t n) {
    return unique_ptr<T>(new remove_extent_t<T>[n]);
}
template <class T>
requires(!is_array_v<T>) unique_ptr<T> make_unique_for_overwrite() {
    return unique_ptr<T>(new T);
}
#endif

// from_chars for reals in the general format: optional '-', digits with an optional point, an
// optional exponent; or inf, infinity, nan. No leading blanks, no '+', no hexadecimal.
inline from_chars_result from_chars(const char* first, const char* last, double& value,
                                    chars_format = chars_format::general) {
    const char* p = first;
    if (p < last && *p == '-') ++p;
    const bool word = p < last && (*p == 'i' || *p == 'I' || *p == 'n' || *p == 'N');
    const bool number = p < last && ((*p >= '0' && *p <= '9') || *p == '.');
    if (!word && !number) return {first, errc::invalid_argument};
    // A hexadecimal prefix reads as its "0" alone.
    string text(first, last);
    if (number) {
        const size_t at = size_t(p - first);
        if (at + 1 < text.size() && text[at] == '0' && (text[at + 1] == 'x' || text[at + 1] == 'X'))
            text.resize(at + 1);
    }
    errno = 0;
    char* end = nullptr;
    const double v = strtod(text.c_str(), &end);
    if (end == text.c_str()) return {first, errc::invalid_argument};
    const char* stop = first + (end - text.c_str());
    if (errno == ERANGE) return {stop, errc::result_out_of_range};
    value = v;
    return {stop, errc()};
}

// to_chars for reals: the shortest text that reads back as the same value (fixed notation when
// it is not longer than scientific), and printf's forms at a given precision.
inline to_chars_result to_chars(char* first, char* last, double value, chars_format format,
                                int precision) {
    const char* spec = format == chars_format::scientific ? "%.*e"
                       : format == chars_format::fixed    ? "%.*f"
                                                          : "%.*g";
    char buf[400];
    const int n = snprintf(buf, sizeof buf, spec, precision, value);
    if (n < 0 || n >= int(sizeof buf) || n > last - first) return {last, errc::value_too_large};
    memcpy(first, buf, size_t(n));
    return {first + n, errc()};
}
inline to_chars_result to_chars(char* first, char* last, double value) {
    char out[400];
    size_t len = 0;
    if (signbit(value)) out[len++] = '-';
    const double a = fabs(value);
    if (isnan(value) || isinf(value)) {
        const char* word = isnan(value) ? "nan" : "inf";
        len = signbit(value) && !isnan(value) ? 1 : 0;
        memcpy(out + len, word, 3), len += 3;
    } else if (a == 0) {
        out[len++] = '0';
    } else {
        // The fewest significant digits that read back as the value.
        char sci[64];
        int p = 0;
        for (; p < 17; ++p) {
            snprintf(sci, sizeof sci, "%.*e", p, a);
            if (strtod(sci, nullptr) == a) break;
        }
        snprintf(sci, sizeof sci, "%.*e", p, a);
        string digits;
        const char* c = sci;
        for (; *c && *c != 'e'; ++c)
            if (*c != '.') digits += *c;
        const int exp10 = atoi(c + 1);
        const int n = int(digits.size());
        string fixed;
        if (exp10 >= n - 1) {
            fixed = digits + string(size_t(exp10 - n + 1), '0');
        } else if (exp10 >= 0) {
            fixed = digits.substr(0, size_t(exp10 + 1)) + "." + digits.substr(size_t(exp10 + 1));
        } else {
            fixed = "0." + string(size_t(-exp10 - 1), '0') + digits;
        }
        char e[16];
        snprintf(e, sizeof e, "e%c%02d", exp10 < 0 ? '-' : '+', abs(exp10));
        const string scientific = digits.substr(0, 1) + (n > 1 ? "." + digits.substr(1) : "") + e;
        const string& best = fixed.size() <= scientific.size() ? fixed : scientific;
        memcpy(out + len, best.data(), best.size()), len += best.size();
    }
    if (ptrdiff_t(len) > last - first) return {last, errc::value_too_large};
    memcpy(first, out, len);
    return {first + len, errc()};
}

}  // namespace std

// What the C++ library of the WebAssembly toolchain lacks of C++20 and the program uses, given
// in its place. Every file of the web runner is compiled with this header first (cmake/Web.cmake);
// the native build never sees it.
#pragma once

#include <bit>
#include <cerrno>
#include <charconv>
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

}  // namespace std

// System libraries that only some games need (sound files, fonts, the per-user store, the
// network, CD audio, some image formats), loaded when their first function is called instead of
// at every start of the program.
//
// A file using one declares, inside its own namespace, a stand-in of the same name for each
// function it calls:
//
//     LazyLibrary kStore("libsqlite3.so.0");
//     KR_LAZY_FUNCTION(kStore, sqlite3_open_v2)
//
// Unqualified calls there then reach the stand-in, which takes the library's function (with the
// exact type of its declaration in the library's header) on its first call and calls it
// directly after that. The library is linked by name only: its header gives the types, and the
// program does not depend on it until the first call. A library that cannot be loaded ends the
// program with a message, as it did when it was loaded at start.
#pragma once

#include <type_traits>

namespace kr {

class LazyLibrary {
public:
    constexpr explicit LazyLibrary(const char* soname) : soname_(soname) {}
    LazyLibrary(const LazyLibrary&) = delete;
    LazyLibrary& operator=(const LazyLibrary&) = delete;

    // The function `name` of the library, loading the library first where needed. Safe from any
    // thread; it does not return when the library or the function is missing.
    void* Function(const char* name);

private:
    const char* soname_;
    void* handle_ = nullptr;
};

template <class F>
struct LazyFunction;
template <class R, class... A>
struct LazyFunction<R(A...)> {
    template <LazyLibrary& L, const char* N>
    static R Call(A... a) {
        static const auto fn = reinterpret_cast<R (*)(A...)>(L.Function(N));
        return fn(a...);
    }
};
template <class R, class... A>
struct LazyFunction<R(A...) noexcept> : LazyFunction<R(A...)> {};

}  // namespace kr

#ifdef __EMSCRIPTEN__
// The web runner links these libraries into the program: the stand-in is the function itself.
#define KR_LAZY_FUNCTION(lib, name)       \
    static_assert(sizeof(lib) > 0, #lib); \
    using ::name;
#else
// A stand-in for function `name` of `lib` (a LazyLibrary of static storage), with its type.
#define KR_LAZY_FUNCTION(lib, name)            \
    constexpr char kLazyName_##name[] = #name; \
    constexpr auto& name = ::kr::LazyFunction< \
        std::remove_pointer_t<decltype(&::name)>>::template Call<lib, kLazyName_##name>;
#endif

// KR_ASSERT: a check of an internal invariant, a fact the code relies on that no input can
// break. A failed check prints the condition and its place and stops the program. It is on in
// debug and sanitizer builds and compiles to nothing otherwise (the condition is not evaluated),
// so it never guards against bad input: that is reported as the error it is.
#pragma once

#if !defined(NDEBUG) || defined(KR_ASSERTIONS)
#include <cstdio>
#include <cstdlib>
#define KR_ASSERT(condition)                                                               \
    do {                                                                                   \
        if (!(condition)) {                                                                \
            std::fprintf(stderr, "korvane: internal error: %s:%d: assertion failed: %s\n", \
                         __FILE__, __LINE__, #condition);                                  \
            std::abort();                                                                  \
        }                                                                                  \
    } while (false)
#else
#define KR_ASSERT(condition) \
    do {                     \
    } while (false)
#endif

#include "platform/LazyLibrary.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace kr {

void* LazyLibrary::Function(const char* name) {
    static std::mutex mutex;
    std::lock_guard<std::mutex> lock(mutex);
    if (!handle_) {
        // Global, as a library linked at start would be: libraries loaded later that need its
        // functions find them.
        handle_ = ::dlopen(soname_, RTLD_LAZY | RTLD_GLOBAL);
        if (!handle_) {
            const char* why = ::dlerror();
            std::fprintf(stderr, "korvane: cannot load %s (%s)\n", soname_,
                         why ? why : "not found");
            std::exit(1);
        }
    }
    void* fn = ::dlsym(handle_, name);
    if (!fn) {
        std::fprintf(stderr, "korvane: %s has no function %s\n", soname_, name);
        std::exit(1);
    }
    return fn;
}

}  // namespace kr

#include "platform/sdl/SdlApi.h"

#include <dlfcn.h>

namespace kr {

namespace {

struct Loaded {
    SdlApi api;
    bool ok = false;
    std::string error;
};

Loaded Load() {
    Loaded l;
    // The library handle is kept for the life of the process: SDL may run code at exit.
    void* lib = ::dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        const char* why = ::dlerror();
        l.error = std::string("SDL is not available: ") + (why ? why : "cannot load it");
        return l;
    }
#define KR_SDL_RESOLVE(name)                                                  \
    l.api.name = reinterpret_cast<decltype(l.api.name)>(::dlsym(lib, #name)); \
    if (!l.api.name) {                                                        \
        l.error = "SDL is not available: the library has no " #name;          \
        return l;                                                             \
    }
    KR_SDL_FUNCTIONS(KR_SDL_RESOLVE)
#undef KR_SDL_RESOLVE
    l.ok = true;
    return l;
}

const Loaded& Library() {
    static const Loaded loaded = Load();
    return loaded;
}

}  // namespace

const SdlApi* LoadSdl(std::string* error) {
    const Loaded& l = Library();
    if (!l.ok && error) *error = l.error;
    return l.ok ? &l.api : nullptr;
}

const SdlApi& Sdl() {
    return Library().api;
}

}  // namespace kr

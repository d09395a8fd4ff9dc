#include "platform/NativeLibrary.h"

#include <dlfcn.h>
#include <ffi.h>

#include "platform/LazyLibrary.h"

namespace kr {

namespace {

// libffi is loaded when a game first calls a native function (LazyLibrary.h); its type
// descriptions are data of the library, taken the same way.
LazyLibrary kFfi("libffi.so.8");
KR_LAZY_FUNCTION(kFfi, ffi_prep_cif)
KR_LAZY_FUNCTION(kFfi, ffi_call)

ffi_type* FfiType(const char* name) {
    return static_cast<ffi_type*>(kFfi.Function(name));
}

}  // namespace

std::unique_ptr<NativeLibrary> NativeLibrary::Open(const std::string& path, std::string* error) {
    ::dlerror();
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        if (error) {
            const char* why = ::dlerror();
            *error = why ? why : "cannot be loaded";
        }
        return nullptr;
    }
    return std::unique_ptr<NativeLibrary>(new NativeLibrary(handle));
}

NativeLibrary::~NativeLibrary() {
    ::dlclose(handle_);
}

void* NativeLibrary::Symbol(const std::string& name) const {
    return ::dlsym(handle_, name.c_str());
}

std::string NativeLibrariesUnavailable() {
    return {};
}

bool CallNative(void* fn, std::span<const NativeArg> args, bool string_result, NativeResult& out) {
    constexpr size_t kMaxArgs = 16;
    if (!fn || args.size() > kMaxArgs) return false;
    static ffi_type* const type_pointer = FfiType("ffi_type_pointer");
    static ffi_type* const type_double = FfiType("ffi_type_double");
    ffi_type* types[kMaxArgs];
    void* values[kMaxArgs];
    double reals[kMaxArgs];
    const char* strs[kMaxArgs];
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i].is_string) {
            strs[i] = args[i].str ? args[i].str : "";
            types[i] = type_pointer;
            values[i] = &strs[i];
        } else {
            reals[i] = args[i].real;
            types[i] = type_double;
            values[i] = &reals[i];
        }
    }
    ffi_cif cif;
    if (ffi_prep_cif(&cif, FFI_DEFAULT_ABI, unsigned(args.size()),
                     string_result ? type_pointer : type_double, types) != FFI_OK)
        return false;
    if (string_result) {
        const char* result = nullptr;
        ffi_call(&cif, FFI_FN(fn), &result, values);
        out.str = result ? result : "";
    } else {
        double result = 0;
        ffi_call(&cif, FFI_FN(fn), &result, values);
        out.real = result;
    }
    return true;
}

}  // namespace kr

// Native shared libraries for games: loading one, finding its exported functions and calling
// them with the platform's C calling convention (through libffi), with reals passed as doubles
// and strings as pointers to NUL-terminated bytes.
#pragma once

#include <memory>
#include <span>
#include <string>

namespace kr {

class NativeLibrary {
public:
    // Loads the library at `path` (a bare name is looked for along the system's library path).
    // Null when it cannot be loaded; the loader's reason goes to `error`.
    static std::unique_ptr<NativeLibrary> Open(const std::string& path, std::string* error);
    ~NativeLibrary();
    NativeLibrary(const NativeLibrary&) = delete;
    NativeLibrary& operator=(const NativeLibrary&) = delete;

    // The exported function `name`, or null.
    void* Symbol(const std::string& name) const;

private:
    explicit NativeLibrary(void* handle) : handle_(handle) {}
    void* handle_;
};

struct NativeArg {
    bool is_string = false;
    double real = 0;
    const char* str = "";
};

struct NativeResult {
    double real = 0;
    std::string str;
};

// Calls `fn` with the arguments (at most 16) and reads its result as a double or, with
// `string_result`, as a string (a null pointer reads as the empty string). False when the call
// could not be prepared.
bool CallNative(void* fn, std::span<const NativeArg> args, bool string_result, NativeResult& out);

// Why no native library can be loaded here at all (in a web page); empty where they can.
std::string NativeLibrariesUnavailable();

}  // namespace kr

#include "extensions/ExternalFunctions.h"

#include <algorithm>

#include "platform/Files.h"
#include "platform/GamePath.h"

namespace kr {

namespace {

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = char(x + 32);
        if (y >= 'A' && y <= 'Z') y = char(y + 32);
        if (x != y) return false;
    }
    return true;
}

bool EndsWithDll(std::string_view name) {
    return name.size() > 4 && SameName(name.substr(name.size() - 4), ".dll");
}

}  // namespace

std::shared_ptr<NativeLibrary> ExternalFunctions::Load(std::string_view library,
                                                       std::string* error) const {
    std::string mapped = MapGamePath(library);
    std::string dir = DirectoryOf(mapped), file = FileNameOf(mapped);
    bool has_dir = std::string_view(library).find_first_of("\\/") != std::string_view::npos;

    // The files a name stands for: a ".dll" is its native library under two names.
    std::vector<std::string> files;
    if (EndsWithDll(file)) {
        std::string base = file.substr(0, file.size() - 4);
        files = {base + ".so", "lib" + base + ".so"};
    } else {
        files = {file};
    }
    std::vector<std::string> dirs;
    auto add = [&](const std::string& d) {
        if (!d.empty() && std::find(dirs.begin(), dirs.end(), d) == dirs.end()) dirs.push_back(d);
    };
    for (const std::string& d : first_) add(d);
    if (has_dir) add(dir);
    add(".");
    for (const std::string& d : last_) add(d);

    if (const std::string why = NativeLibrariesUnavailable(); !why.empty()) {
        if (error) *error = "Cannot load the library " + std::string(library) + ": " + why;
        return nullptr;
    }
    std::string last_reason;
    for (const std::string& d : dirs) {
        for (const std::string& f : files) {
            std::string path = d + "/" + f;
            if (!FileExists(path)) continue;
            if (auto lib = NativeLibrary::Open(path, &last_reason)) return lib;
        }
    }
    // The system's library path; a name with a folder was meant for that folder only.
    for (const std::string& f : files) {
        if (auto lib = NativeLibrary::Open(f, nullptr)) return lib;
    }
    if (error) {
        std::string looked;
        for (const std::string& f : files) looked += (looked.empty() ? "" : ", ") + f;
        std::string where;
        for (const std::string& d : dirs) where += d + ", ";
        *error = "Cannot load the library " + std::string(library) + ": looked for " + looked +
                 " in " + where + "and the system's library path" +
                 (last_reason.empty() ? "" : " (" + last_reason + ")");
    }
    return nullptr;
}

int32_t ExternalFunctions::Define(std::string_view library, std::string_view name,
                                  int32_t call_type, int32_t result_type, const int32_t* types,
                                  int32_t n, std::string* error) {
    if (n > 16 || n < 0) return -1;
    if (n > 4)
        for (int32_t i = 0; i < n; ++i)
            if (types[i] != 0) return -1;  // more than four arguments: reals only

    // The handle of the last entry of that library, loaded again when it was freed.
    std::shared_ptr<NativeLibrary> handle;
    for (auto it = table_.rbegin(); it != table_.rend(); ++it)
        if (SameName(it->library, library)) {
            handle = it->handle;
            break;
        }
    if (!handle) handle = Load(library, error);
    if (!handle) return -1;

    int32_t id = -1;
    for (size_t i = 0; i < table_.size(); ++i)
        if (SameName(table_[i].library, library) && SameName(table_[i].name, name)) id = int32_t(i);
    if (id < 0) {
        void* address = handle->Symbol(std::string(name));
        if (!address) {
            if (error)
                *error =
                    "The library " + std::string(library) + " has no function " + std::string(name);
            return -1;
        }
        RFunction f;
        f.handle = handle;
        f.library = std::string(library);
        f.name = std::string(name);
        f.address = address;
        table_.push_back(std::move(f));
        id = int32_t(table_.size() - 1);
    }
    RFunction& f = table_[size_t(id)];
    if (!f.handle) {  // defined again after its library was freed
        f.handle = handle;
        f.address = handle->Symbol(f.name);
    }
    f.call_type = call_type;
    f.arg_count = n;
    f.arg_types.fill(0);
    for (int32_t i = 0; i < n; ++i) f.arg_types[size_t(i)] = types[i] == 1 ? 1 : 0;
    f.result_type = result_type == 1 ? 1 : 0;
    return id;
}

void ExternalFunctions::Call(int32_t id, int32_t n, const RValue* args, RValue& result) const {
    result = RValue(0.0);
    if (id < 0 || id >= Count()) return;
    const RFunction& f = table_[size_t(id)];
    if (f.arg_count != n || !f.handle || !f.address) return;
    // No conversion: a real argument passes the value's real field and a string argument its
    // string field, whatever kind the value has.
    NativeArg native[16];
    std::string strings[16];
    for (int32_t i = 0; i < n; ++i) {
        native[i].is_string = f.arg_types[size_t(i)] == 1;
        if (native[i].is_string) {
            strings[i] = args[i].IsString() ? args[i].StdStr() : std::string();
            native[i].str = strings[i].c_str();
        } else {
            native[i].real = args[i].IsReal() ? args[i].real : 0.0;
        }
    }
    NativeResult out;
    if (!CallNative(f.address, std::span(native, size_t(n)), f.result_type == 1, out)) return;
    if (f.result_type == 1)
        result = RValue(out.str);
    else
        result = RValue(out.real);
}

void ExternalFunctions::Free(std::string_view library) {
    // Entries share the handle; dropping every reference frees the library once.
    for (RFunction& f : table_)
        if (SameName(f.library, library)) {
            f.handle.reset();
            f.address = nullptr;
        }
}

void ExternalFunctions::FreeAll() {
    for (RFunction& f : table_) {
        f.handle.reset();
        f.address = nullptr;
    }
}

}  // namespace kr

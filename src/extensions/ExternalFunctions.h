// The table of bound native functions that both external_define and extension packages fill.
// An entry's index is the id scripts call it by. Libraries are shared between entries of the
// same library name (compared without regard to letter case) and freed by name.
//
// Games name Windows libraries ("tools.dll"); on this system a library named with a ".dll"
// ending is the native shared library of the same base name ("tools.so" or "libtools.so"),
// looked for beside the game, in the folder the name gives (an extension package's folder in
// the temporary directory), in the current directory, in the temporary directory, and then
// along the system's library path.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "code/Value.h"
#include "platform/NativeLibrary.h"

namespace kr {

struct RFunction {
    std::string library;                    // the library's name as given
    std::shared_ptr<NativeLibrary> handle;  // null after the library was freed
    std::string name;
    void* address = nullptr;
    int32_t call_type = 0;  // 1 stdcall, else cdecl; both use the platform's C convention here
    int32_t arg_count = 0;
    std::array<int32_t, 16> arg_types{};  // 0 real, 1 string
    int32_t result_type = 0;              // 0 real, 1 string
};

class ExternalFunctions {
public:
    // Where libraries are looked for: `first` (beside the program and the game) before the
    // folder a name gives and the current directory, `last` (the temporary directory) after
    // them, and the system's library path at the end.
    void SetSearchFolders(std::vector<std::string> first, std::vector<std::string> last) {
        first_ = std::move(first);
        last_ = std::move(last);
    }

    // Binds `name` of `library`; the id, or -1 (with the reason in `error`: the library was not
    // found, listing where it was looked for, or the function is not exported).
    int32_t Define(std::string_view library, std::string_view name, int32_t call_type,
                   int32_t result_type, const int32_t* types, int32_t n, std::string* error);
    // Calls entry `id` with n arguments; nothing happens (result real 0) for an unknown id, a
    // different argument count or a freed library.
    void Call(int32_t id, int32_t n, const RValue* args, RValue& result) const;
    // Frees the library of that name; its entries then do nothing until it is defined again.
    void Free(std::string_view library);
    void FreeAll();

    int32_t Count() const { return int32_t(table_.size()); }
    const RFunction& At(int32_t id) const { return table_[size_t(id)]; }

private:
    std::shared_ptr<NativeLibrary> Load(std::string_view library, std::string* error) const;

    std::vector<RFunction> table_;
    std::vector<std::string> first_, last_;
};

}  // namespace kr

// Extension packages at run time: their constants and script functions prepared, their library
// functions bound, their initialization and finalization functions called, and every function
// callable by name like a built-in (function id 500000 + its id).
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "code/Code.h"
#include "code/Runtime.h"
#include "extensions/Extension.h"
#include "extensions/ExternalFunctions.h"

namespace kr {

class ExtensionRuntime {
public:
    ExtensionRuntime(Runtime& rt, ExternalFunctions& externals) : rt_(rt), externals_(externals) {}

    // Preparation: defines the constants, compiles the script functions (a failure is shown as a
    // fatal error and gives false) and binds the library functions of `packages`, whose files
    // are in `temp_dir`/folder. Without `bind_libraries` the library functions are known by
    // name but not loaded (checking a game's code needs no native code).
    bool Prepare(const std::vector<CExtensionPackage>& packages, const std::string& temp_dir,
                 bool secure_mode, bool bind_libraries = true);
    // Game start and end: calls each file's initialization (finalization) function. The first
    // failure is shown as a fatal error and gives false.
    bool CallInitFunctions() { return CallFileFunctions(true); }
    bool CallFinalFunctions() { return CallFileFunctions(false); }

    int32_t Find(std::string_view name) const;
    int32_t ArgCount(int32_t id) const;  // -100 for an unknown id
    std::string Name(int32_t id) const;  // empty for an unknown id
    // False when the call failed; the reason (if any) is the runtime's pending error text.
    bool Call(int32_t id, ScriptInstance* self, ScriptInstance* other, int argc, const RValue* args,
              RValue& result);

private:
    struct Entry {
        const CExtensionFunction* function = nullptr;  // the first function with this id
        int32_t external_id = -1;
        bool is_script = false;
        std::unique_ptr<CCode> code;
    };
    bool CallFileFunctions(bool init);

    Runtime& rt_;
    ExternalFunctions& externals_;
    const std::vector<CExtensionPackage>* packages_ = nullptr;
    std::vector<Entry> table_;  // by function id
    bool secure_mode_ = false;
};

}  // namespace kr

// The registry of built-in functions. Every family of functions registers its table from its
// own unit (`RegisterXxxFunctions(BuiltinRegistry&)`); a function's id is its index in
// registration order. A row whose body is nullptr is registered so that games compile, and
// reports "Function NAME is not available yet." when called.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "code/Value.h"

namespace kr {

class Runtime;
struct ScriptInstance;

// (runtime, self, other, argument count, the arguments (16 slots), result preset to real 0).
// Misuse is reported with rt.RuntimeError(...) and the body returns leaving result as it is;
// nothing throws out of a built-in.
using BuiltinFn = void (*)(Runtime& rt, ScriptInstance* self, ScriptInstance* other, int argc,
                           const RValue* args, RValue& result);

struct BuiltinDef {
    const char* name;
    BuiltinFn fn;  // nullptr: registered, not implemented yet
    int argc;      // -1: any number from 0 to 16
};

class BuiltinRegistry {
public:
    void Add(std::string_view name, BuiltinFn fn, int argc);
    void Add(std::span<const BuiltinDef> table) {
        for (const BuiltinDef& d : table) Add(d.name, d.fn, d.argc);
    }
    // Id of the first function registered under `name`, or -1.
    int Find(std::string_view name) const;
    int Count() const { return int(records_.size()); }
    int ImplementedCount() const;
    // -100 for an id outside the registry.
    int ArgCount(int id) const;
    const std::string& Name(int id) const { return records_[size_t(id)].name; }
    BuiltinFn Fn(int id) const { return records_[size_t(id)].fn; }
    // Whether function `id` deliberately only answers (its body is BuiltinOnlyAnswers).
    bool OnlyAnswers(int id) const;
    int OnlyAnswersCount() const;

    // Calls function `id` with `argc` arguments; `result` is set to real 0 first. A function
    // registered without a body reports "Function NAME is not available yet." as a non-fatal
    // run-time error and leaves the result real 0.
    void Call(int id, Runtime& rt, ScriptInstance* self, ScriptInstance* other, int argc,
              const RValue* args, RValue& result) const;

private:
    struct Record {
        std::string name;
        BuiltinFn fn;
        int argc;
    };
    std::vector<Record> records_;
    std::unordered_map<std::string, int> by_name_;
};

// The body of a function that deliberately does nothing and answers real 0: one that has no
// meaning on this system but is kept so that games calling it still run. `korvane info
// --functions` lists these apart from the functions that do something.
void BuiltinOnlyAnswers(Runtime& rt, ScriptInstance* self, ScriptInstance* other, int argc,
                        const RValue* args, RValue& result);

// Argument unpacking shared by every family.
// Rounds to the nearest integer, ties to even (the processor's default rounding).
int64_t RoundToInt64(double v);
inline double ArgReal(const RValue& v) {
    return v.IsReal() ? v.real : 0.0;
}
inline int32_t ArgInt(const RValue& v) {
    return int32_t(RoundToInt64(ArgReal(v)));
}
inline bool ArgBool(const RValue& v) {
    return ArgReal(v) >= 0.5;
}
inline std::string_view ArgStr(const RValue& v) {
    return v.Str();
}

}  // namespace kr

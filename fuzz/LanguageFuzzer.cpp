// Compiles arbitrary text as a program and as an expression and runs it with a step budget,
// a bounded string length and a few scripts (one recursive), so every input ends: no crash,
// hang or leak. Deeply nested input must give a compile error.
#include <cstddef>
#include <cstdint>
#include <string>

#include "code/Code.h"
#include "code/Runtime.h"

using namespace kr;

namespace {
void fn_any(Runtime&, ScriptInstance*, ScriptInstance*, int argc, const RValue* args,
            RValue& result) {
    if (argc > 0) result = args[0];
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 16) return 0;
    std::string text(reinterpret_cast<const char*>(data), size);
    Runtime rt;
    rt.Settings().display_errors = false;
    rt.SetStepLimit(20000);
    rt.SetMaxStringLength(4096);
    RegisterLanguageVariables(rt);
    rt.Builtins().Add("f", fn_any, -1);
    rt.Builtins().Add("g", fn_any, 2);
    rt.Builtins().Add("later", nullptr, 0);
    rt.AddConstant("all", RValue(-3.0));
    rt.AddConstant("global", RValue(-5.0));
    rt.SetScript(0, "scr", "if argument0 > 0 return scr(argument0 - 1) + argument1; return 1");
    rt.SetScript(1, "loop", "return loop()");
    rt.CompileScripts();
    ScriptInstance self, other;
    self.id = 100000;
    other.id = 100001;
    for (bool expression : {false, true}) {
        CCode code(text, expression);
        if (!code.Compile(rt)) continue;
        RValue result;
        rt.Execute(code, &self, &other, result);
    }
    return 0;
}

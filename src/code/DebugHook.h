// What a debugger attached to a runtime hears from the interpreter, and what it sees of the
// running code: the frames of the interpreter from the outermost execution to the innermost.
// Without a hook the interpreter does no debugging work at all.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "code/Bytecode.h"
#include "code/Value.h"

namespace kr {

struct ScriptInstance;

class DebugHook {
public:
    virtual ~DebugHook() = default;
    // A code is about to run as an outermost or native-nested execution (scripts called from
    // code do not pass here): the debugger brings its traps up to date.
    virtual void OnEnter(Proto& proto) = 0;
    // The trap over instruction `at` of `proto` was reached (the frames are current). Returns
    // when the game may go on.
    virtual void OnTrap(Proto& proto, uint32_t at) = 0;
    // A run-time error is about to unwind the frames (they are still current; the error text
    // is pending in the runtime).
    virtual void OnError() = 0;
    // An error text about to be shown: true when the debugger takes it, which is then neither
    // shown nor counted.
    virtual bool OnShowError(const std::string& text, bool fatal) { return false; }
    // A line of show_debug_message: true when the debugger takes it instead of standard output.
    virtual bool OnDebugMessage(const std::string& text) { return false; }
};

// One frame of running code.
struct DebugFrame {
    Proto* proto = nullptr;
    uint32_t at = 0;  // the running instruction (the call being made, below the innermost)
    ScriptInstance* self = nullptr;
    ScriptInstance* other = nullptr;
    RValue* registers = nullptr;  // the `var` locals are the first proto->nlocals
    int32_t script = -1;          // the script index, -1 for other code
    RValue* args = nullptr;       // the arguments the frame sees, argc of them live
    int32_t argc = 0;
};

}  // namespace kr

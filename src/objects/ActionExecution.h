// Preparing and running single actions. PrepareAction compiles an action once before the game
// starts: set-variable and code actions become code, argument texts become constants (strings,
// or expressions that fold to a value) or compiled expressions. ExecuteAction and
// ExecuteQuestion then run it for a self and an other instance. The walk over an event's list
// of actions (blocks, else, repeat, exit, applies-to) is EventDispatch's.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "code/Code.h"
#include "code/Runtime.h"
#include "objects/Action.h"

namespace kr {

// What PrepareAction makes of a stored action; the stored fields stay as they were loaded.
struct PreparedAction {
    // The code of code and set-variable actions, and of library actions run as code.
    std::unique_ptr<CCode> code;
    int32_t arg_count = 0;
    // Per argument: a compiled expression, or null when the argument is the constant value.
    std::array<std::unique_ptr<CCode>, kActionMaxArguments> arg_codes;
    std::array<RValue, kActionMaxArguments> arg_values;
};

// Argument kinds that preparation tells apart; every other kind is an expression.
enum ActionArgumentKind : int32_t {
    kArgExpression = 0,
    kArgString = 1,
    kArgStringOrExpression = 2,  // an expression when it starts with a quote, else a string
    kArgStringToo = 15,
};

// Compiles the action (with the runtime's event context naming what is compiled). A
// compilation failure is shown as a fatal run-time error, "COMPILATION ERROR in code action"
// or "COMPILATION ERROR in argument N" with the compiler's message, and gives false.
bool PrepareAction(Runtime& rt, CAction& action);

// The argument_relative flag that function and code actions set while they run.
struct ActionContext {
    Runtime& rt;
    bool& relative;
};

// Runs the action for (self, other): calls its function with the evaluated arguments, or runs
// its code with the arguments in argument0 onwards. Unprepared actions, actions whose function
// was not found and actions that execute nothing do nothing.
void ExecuteAction(const ActionContext& ctx, ScriptInstance* self, ScriptInstance* other,
                   const CAction& action);
// The same, and whether the result is true (at least 0.5), inverted by the action's NOT.
bool ExecuteQuestion(const ActionContext& ctx, ScriptInstance* self, ScriptInstance* other,
                     const CAction& action);
// The value of argument i of a prepared action for (self, other): the constant, or the
// expression's value (an error in it is shown, non-fatally). Real 0 for a missing argument.
RValue ActionArgument(Runtime& rt, ScriptInstance* self, ScriptInstance* other,
                      const CAction& action, int32_t i);

}  // namespace kr

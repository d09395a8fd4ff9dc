// Preparing and running single actions.
#include "objects/ActionExecution.h"

#include <algorithm>
#include <string>

namespace kr {

namespace {

// Shows a compilation failure of preparation as a fatal error with the event context.
bool CompileFailed(Runtime& rt, const std::string& what) {
    std::string text = what + "\r" + rt.ErrorText();
    rt.ClearError();
    rt.ShowRuntimeError(text, true);
    return false;
}

// The code an action runs: a code action's is its argument 0 (its code text is not used), a
// set-variable action's is an assignment made of its two arguments.
std::string ActionCodeText(const CAction& a) {
    switch (a.kind) {
        case CAction::kSetVariable:
            return a.arg_texts[0] + (a.relative ? " += " : " = ") + a.arg_texts[1];
        case CAction::kCode:
            return a.arg_texts[0];
        default:
            return a.code_text;
    }
}

// Function ids: built-ins below 100000, scripts from 100000, extension functions from 500000.
void CallFunction(Runtime& rt, int32_t id, ScriptInstance* self, ScriptInstance* other, int argc,
                  const RValue* args, RValue& result) {
    result.SetReal(0.0);
    if (id >= kExtensionIdBase) {
        if (!rt.Host().CallExtension(rt, id - kExtensionIdBase, self, other, argc, args, result) &&
            rt.ErrorPending()) {
            std::string text = rt.ErrorText();
            rt.ClearError();
            rt.ShowRuntimeError(text, false);
        }
    } else if (id >= kScriptIdBase) {
        // An error inside the script is shown here: nothing else would ever report it.
        if (!rt.CallScript(id - kScriptIdBase, self, other, result, args, argc) &&
            rt.ErrorPending()) {
            std::string text = rt.ErrorText();
            rt.ClearError();
            rt.ShowRuntimeError(text, false);
        }
    } else if (id >= 0 && id < rt.Builtins().Count()) {
        rt.Builtins().Call(id, rt, self, other, argc, args, result);
    }
}

// Runs the action; `result` receives the function's result or the code's value.
void Run(const ActionContext& ctx, ScriptInstance* self, ScriptInstance* other, const CAction& a,
         RValue& result) {
    result.SetReal(0.0);
    const PreparedAction* p = a.prepared.get();
    if (!p) return;
    Runtime& rt = ctx.rt;
    const bool was_relative = ctx.relative;
    if (p->code) {
        if (p->arg_count == 0) {  // code and set-variable actions: nothing to pass
            ctx.relative = a.may_be_relative && a.relative;
            rt.ExecuteReporting(*p->code, self, other, result);
            ctx.relative = was_relative;
            return;
        }
        // Library actions written as code see their arguments as argument0 onwards; the
        // arguments past them keep their values, and all come back afterwards.
        RValue args[kArgCount];
        const ArgFrame saved = rt.Args();
        for (int32_t k = 0; k < kArgCount; ++k) args[k] = rt.Argument(k);
        rt.Args() = ArgFrame{args, saved.live > p->arg_count ? saved.live : p->arg_count};
        ctx.relative = a.may_be_relative && a.relative;
        for (int32_t i = 0; i < p->arg_count; ++i) args[i] = ActionArgument(rt, self, other, a, i);
        rt.ExecuteReporting(*p->code, self, other, result);
        rt.Args() = saved;
        ctx.relative = was_relative;
        return;
    }
    if (a.exec_type != CAction::kExecFunction || a.function_id < 0) return;
    // Built-ins get their sixteen argument slots.
    RValue args[kArgCount];
    ctx.relative = a.may_be_relative && a.relative;
    for (int32_t i = 0; i < p->arg_count; ++i) args[i] = ActionArgument(rt, self, other, a, i);
    CallFunction(rt, a.function_id, self, other, p->arg_count, args, result);
    // The flag stays as the action left it, as argument_relative reads it until the next
    // action sets it.
}

}  // namespace

bool PrepareAction(Runtime& rt, CAction& a) {
    auto p = std::make_shared<PreparedAction>();
    const bool is_code = a.kind == CAction::kSetVariable || a.kind == CAction::kCode;
    p->arg_count = is_code ? 0 : std::clamp(a.arg_count, 0, kActionMaxArguments);
    // Set-variable and code actions are code whatever their stored execution type says.
    if (is_code || a.exec_type == CAction::kExecCode) {
        p->code = std::make_unique<CCode>(ActionCodeText(a), false);
        if (!p->code->Compile(rt)) return CompileFailed(rt, "COMPILATION ERROR in code action");
    }
    for (int32_t i = 0; i < p->arg_count; ++i) {
        const std::string& text = a.arg_texts[size_t(i)];
        int32_t kind = a.arg_kinds[size_t(i)];
        if (kind == kArgStringOrExpression)
            kind =
                !text.empty() && (text[0] == '\'' || text[0] == '"') ? kArgExpression : kArgString;
        if (kind == kArgString || kind == kArgStringToo) {
            p->arg_values[size_t(i)] = RValue(text);
            continue;
        }
        auto code = std::make_unique<CCode>(text, true);
        if (!code->Compile(rt))
            return CompileFailed(rt, "COMPILATION ERROR in argument " + std::to_string(i));
        if (code->kind() == CCode::kConstantExpression)
            p->arg_values[size_t(i)] = code->Constant();
        else
            p->arg_codes[size_t(i)] = std::move(code);
    }
    a.prepared = std::move(p);
    return true;
}

RValue ActionArgument(Runtime& rt, ScriptInstance* self, ScriptInstance* other, const CAction& a,
                      int32_t i) {
    const PreparedAction* p = a.prepared.get();
    if (!p || i < 0 || i >= p->arg_count) return RValue(0.0);
    CCode* code = p->arg_codes[size_t(i)].get();
    if (!code) return p->arg_values[size_t(i)];
    // A failing argument is shown and the action goes on with what the expression gave.
    RValue v;
    rt.ExecuteReporting(*code, self, other, v);
    return v;
}

void ExecuteAction(const ActionContext& ctx, ScriptInstance* self, ScriptInstance* other,
                   const CAction& action) {
    RValue result;
    Run(ctx, self, other, action, result);
}

bool ExecuteQuestion(const ActionContext& ctx, ScriptInstance* self, ScriptInstance* other,
                     const CAction& action) {
    RValue result;
    Run(ctx, self, other, action, result);
    const bool truth = ArgReal(result) >= 0.5;
    return action.is_not ? !truth : truth;
}

}  // namespace kr

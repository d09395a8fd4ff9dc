#include "code/Runtime.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <span>

#include "code/Code.h"
#include "code/DebugHook.h"
#include "code/Operators.h"
#include "code/Vm.h"
#include "code/Vocabulary.h"
#include "platform/Files.h"

namespace kr {

namespace {
constexpr size_t kMaxBuiltinVariables = 500;
const std::string kUnknownBuiltinVariable = "<unknown built-in variable>";
const std::string kUndefined = "<undefined>";
const std::string kEmpty;

std::string ForTerminal(const std::string& text) {
    std::string s;
    s.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            s += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            s += text[i];
        }
    }
    return s;
}
}  // namespace

const RValue Runtime::kZero = RValue(0.0);

bool ScriptHost::ShowErrorWindow(const std::string& text, bool can_ignore) {
    std::fprintf(stderr, "%s\n", ForTerminal(text).c_str());
    return false;
}

void ScriptHost::ShowMessage(const std::string& text) {
    std::fprintf(stderr, "%s\n", ForTerminal(text).c_str());
}

Runtime::Runtime() : max_string_length_(kMaxStringLength), vm_(std::make_unique<Vm>(*this)) {
    args_ = ArgFrame{base_args_, kArgCount};
}

Runtime::~Runtime() = default;

// --- Built-in variables ---

int32_t Runtime::AddBuiltinVariable(std::string_view name, BuiltinVarGetter get,
                                    BuiltinVarSetter set, bool writable) {
    if (builtin_vars_.size() >= kMaxBuiltinVariables) {
        host_->ShowMessage("INTERNAL ERROR: Adding too many variables");
        return -1;
    }
    int32_t id = int32_t(builtin_vars_.size());
    builtin_vars_.push_back(
        BuiltinVariable{std::string(name), get, set, writable, -1, -1, nullptr});
    builtin_var_ids_.try_emplace(std::string(name), id);
    return id;
}

int32_t Runtime::AddBuiltinVariableTable(std::span<const BuiltinVariableDef> table,
                                         std::span<const uint16_t> by_name,
                                         std::span<const std::string_view> sorted_names) {
    const int32_t first = int32_t(builtin_vars_.size());
    if (builtin_var_table_first_ >= 0 ||
        builtin_vars_.size() + table.size() > kMaxBuiltinVariables) {
        // A second table, or one that does not fit: row by row.
        for (const BuiltinVariableDef& d : table)
            AddBuiltinVariable(d.name, nullptr, nullptr, !d.ReadOnly());
        return first;
    }
    builtin_vars_.reserve(builtin_vars_.size() + table.size());
    for (const BuiltinVariableDef& d : table)
        builtin_vars_.push_back(
            BuiltinVariable{d.name, nullptr, nullptr, !d.ReadOnly(), -1, -1, nullptr});
    builtin_var_table_ = table;
    builtin_var_order_ = by_name;
    builtin_var_names_ = sorted_names;
    builtin_var_table_first_ = first;
    return first;
}

void Runtime::AttachBuiltinVariable(int32_t id, BuiltinVarGetter get, BuiltinVarSetter set) {
    if (id < 0 || id >= int32_t(builtin_vars_.size())) return;
    BuiltinVariable& v = builtin_vars_[size_t(id)];
    v.get = get;
    v.set = v.writable ? set : nullptr;
}

int32_t Runtime::FindBuiltinVariable(std::string_view name) const {
    int32_t found = -1;
    if (!builtin_var_ids_.empty()) {
        auto it = builtin_var_ids_.find(std::string(name));
        if (it != builtin_var_ids_.end()) found = it->second;
    }
    if (builtin_var_table_first_ >= 0) {
        auto it = std::lower_bound(builtin_var_names_.begin(), builtin_var_names_.end(), name);
        if (it != builtin_var_names_.end() && *it == name) {
            const int32_t id = builtin_var_table_first_ +
                               int32_t(builtin_var_order_[size_t(it - builtin_var_names_.begin())]);
            if (found < 0 || id < found) found = id;
        }
    }
    return found;
}

const std::string& Runtime::BuiltinVariableName(int32_t id) const {
    if (id < 0 || id >= int32_t(builtin_vars_.size())) return kUnknownBuiltinVariable;
    return builtin_vars_[size_t(id)].name;
}

bool Runtime::SetBuiltinVariableAccessors(std::string_view name, BuiltinVarGetter get,
                                          BuiltinVarSetter set) {
    int32_t id = FindBuiltinVariable(name);
    if (id < 0) return false;
    BuiltinVariable& v = builtin_vars_[size_t(id)];
    v.get = get;
    v.set = set;
    v.field = -1;
    v.touch_flag = -1;
    v.touch = nullptr;
    return true;
}

bool Runtime::SetBuiltinVariableFieldWrite(std::string_view name, int32_t touch_flag,
                                           void (*touch)(ScriptInstance& inst)) {
    int32_t id = FindBuiltinVariable(name);
    if (id < 0 || builtin_vars_[size_t(id)].field < 0 || !touch) return false;
    builtin_vars_[size_t(id)].touch_flag = touch_flag;
    builtin_vars_[size_t(id)].touch = touch;
    return true;
}

bool Runtime::SetBuiltinVariableField(std::string_view name, int32_t offset) {
    int32_t id = FindBuiltinVariable(name);
    if (id < 0) return false;
    builtin_vars_[size_t(id)].field = offset;
    return true;
}

std::string Runtime::VariableName(int32_t id) const {
    if (id < kBuiltinVariableLimit) return BuiltinVariableName(id);
    return names_.Name(id);
}

// --- Constants ---

void Runtime::AddConstant(std::string_view name, const RValue& value) {
    constant_ids_[std::string(name)] = int32_t(constants_.size());
    constants_.emplace_back(std::string(name), value);
}

bool Runtime::FindConstant(std::string_view name, RValue& out) {
    if (host_->FindResourceConstant(name, out)) return true;
    auto it = constant_ids_.find(std::string(name));
    if (it != constant_ids_.end()) {
        out = constants_[size_t(it->second)].second;
        return true;
    }
    if (!builtin_constants_) return false;
    // The last of the rows of that name, as the latest definition wins.
    const std::span<const BuiltinConstantDef> table = BuiltinConstants();
    const std::span<const uint16_t> order = BuiltinConstantsByName();
    auto row = std::upper_bound(order.begin(), order.end(), name,
                                [&](std::string_view n, uint16_t r) { return n < table[r].name; });
    if (row == order.begin() || table[*(row - 1)].name != name) return false;
    out = RValue(table[*(row - 1)].value);
    return true;
}

bool Runtime::DefineConstant(std::string_view raw_name, std::string_view value_text) {
    size_t b = 0, e = raw_name.size();
    while (b < e && static_cast<unsigned char>(raw_name[b]) <= 32) ++b;
    while (e > b && static_cast<unsigned char>(raw_name[e - 1]) <= 32) --e;
    std::string name(raw_name.substr(b, e - b));
    auto letter = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
    };
    bool valid = !name.empty() && letter(name[0]);
    for (char c : name) valid = valid && (letter(c) || (c >= '0' && c <= '9'));
    if (!valid) {
        host_->ShowMessage("Constant name " + name + "  is not valid.");
        return false;
    }
    CCode code{std::string(value_text), true};
    RValue value;
    bool ok = code.Compile(*this);
    if (ok)
        host_->WithTemporaryInstance(
            [&](ScriptInstance& temp) { ok = ExecuteForValue(code, &temp, &temp, value); });
    ClearError();
    if (!ok) {
        host_->ShowMessage("Value for constant " + name + "  is not valid.");
        return false;
    }
    AddConstant(name, value);
    return true;
}

bool Runtime::DefineGameConstants(std::span<const std::string> names,
                                  std::span<const std::string> values) {
    size_t n = std::min(names.size(), values.size());
    for (size_t i = 0; i < n; ++i)
        if (!DefineConstant(names[i], values[i])) return false;
    return true;
}

// --- Functions ---

int32_t Runtime::FindFunction(std::string_view name) {
    int32_t s = FindScript(name);
    if (s >= 0) return kScriptIdBase + s;
    int32_t x = host_->FindExtensionFunction(name);
    if (x >= 0) return kExtensionIdBase + x;
    return builtins_.Find(name);
}

int32_t Runtime::FunctionArgCount(int32_t id) {
    if (id >= kExtensionIdBase) return host_->ExtensionArgCount(id - kExtensionIdBase);
    if (id >= kScriptIdBase) return -1;
    return builtins_.ArgCount(id);
}

std::string Runtime::FunctionName(int32_t id) {
    if (id >= kExtensionIdBase) return host_->ExtensionFunctionName(id - kExtensionIdBase);
    if (id >= kScriptIdBase) return ScriptName(id - kScriptIdBase);
    if (id < 0 || id >= builtins_.Count()) return kUndefined;
    return builtins_.Name(id);
}

// --- Scripts ---

void Runtime::SetScript(int32_t index, std::string_view name, std::string_view text) {
    if (index < 0) return;
    if (size_t(index) >= scripts_.size()) scripts_.resize(size_t(index) + 1);
    Script& s = scripts_[size_t(index)];
    s.exists = true;
    s.name = std::string(name);
    s.text = std::string(text);
    s.code.reset();
    NoteScriptCode(size_t(index));
    auto it = script_ids_.find(s.name);
    if (it == script_ids_.end() || it->second > index) script_ids_[s.name] = index;
}

void Runtime::ClearScripts() {
    scripts_.clear();
    script_protos_.clear();
    script_ids_.clear();
}

void Runtime::NoteScriptCode(size_t index) {
    if (script_protos_.size() < scripts_.size()) script_protos_.resize(scripts_.size(), nullptr);
    const Script& s = scripts_[index];
    script_protos_[index] = s.exists && s.code && s.code->compiled() ? s.code->GetProto() : nullptr;
}

bool Runtime::ScriptExists(int32_t index) const {
    return index >= 0 && size_t(index) < scripts_.size() && scripts_[size_t(index)].exists;
}

const std::string& Runtime::ScriptName(int32_t index) const {
    return ScriptExists(index) ? scripts_[size_t(index)].name : kUndefined;
}

const std::string& Runtime::ScriptText(int32_t index) const {
    return ScriptExists(index) ? scripts_[size_t(index)].text : kEmpty;
}

int32_t Runtime::FindScript(std::string_view name) const {
    auto it = script_ids_.find(std::string(name));
    return it == script_ids_.end() ? -1 : it->second;
}

CCode* Runtime::ScriptCode(int32_t index) const {
    return ScriptExists(index) ? scripts_[size_t(index)].code.get() : nullptr;
}

bool Runtime::CompileScripts() {
    for (size_t i = 0; i < scripts_.size(); ++i) {
        Script& s = scripts_[i];
        if (!s.exists) continue;
        s.code = std::make_unique<CCode>(s.text, false);
        const bool compiled = s.code->Compile(*this);
        NoteScriptCode(i);
        if (!compiled) {
            ShowError("COMPILATION ERROR in Script: " + s.name + "\r" + error_text_, true);
            return false;
        }
    }
    return true;
}

bool Runtime::CallScript(int32_t index, ScriptInstance* self, ScriptInstance* other, RValue& result,
                         const RValue* args, int n) {
    if (!ScriptExists(index)) return false;
    Script& s = scripts_[size_t(index)];
    if (!s.code) {
        // Scripts are compiled at game start; one defined later compiles on first use.
        s.code = std::make_unique<CCode>(s.text, false);
        const bool compiled = s.code->Compile(*this);
        NoteScriptCode(size_t(index));
        if (!compiled) {
            error_text_ = "In script " + s.name + ":\r" + error_text_;
            result = RValue("ERROR");
            return false;
        }
    }
    RValue local[kArgCount];
    if (n < 0) n = 0;
    if (n > kArgCount) n = kArgCount;
    for (int i = 0; i < n; ++i) local[i] = args[i];
    ArgFrame saved = args_;
    args_ = ArgFrame{local, n};
    result.SetReal(0.0);
    ClearError();
    bool ok;
    if (!self || !other) {
        ReportCodeError(*s.code, 0, "Internal Error: Executing code for nil instance.");
        error_text_ = "In script " + s.name + ":\r" + error_text_;
        ok = false;
    } else {
        ok = vm_->Execute(*s.code, self, other, result, index);
    }
    args_ = saved;
    if (!ok) result = RValue("ERROR");
    return ok;
}

void Runtime::SetArgument(int32_t k, const RValue& v) {
    if (k < 0 || k >= kArgCount) return;
    if (k >= args_.live) {
        for (int32_t i = args_.live; i < k; ++i) args_.slots[i].SetReal(0.0);
        args_.live = k + 1;
    }
    args_.slots[k] = v;
}

// --- Execution ---

bool Runtime::Execute(CCode& code, ScriptInstance* self, ScriptInstance* other, RValue& result) {
    ClearError();
    if (!code.compiled()) {
        ReportCodeError(code, 0, "Internal Error: Executing non-compiled code.");
        return false;
    }
    if (code.kind() == CCode::kConstantExpression) {
        result = code.Constant();
        return true;
    }
    if (!self || !other) {
        ReportCodeError(code, 0, "Internal Error: Executing code for nil instance.");
        return false;
    }
    return vm_->Execute(code, self, other, result, -1);
}

bool Runtime::ExecuteReporting(CCode& code, ScriptInstance* self, ScriptInstance* other,
                               RValue& result) {
    if (Execute(code, self, other, result)) return true;
    ShowRuntimeError(error_text_, false);
    ClearError();
    return false;
}

bool Runtime::ExecuteForValue(CCode& code, ScriptInstance* self, ScriptInstance* other,
                              RValue& result) {
    if (Execute(code, self, other, result)) return true;
    result = RValue("ERROR");
    return false;
}

std::vector<DebugFrame> Runtime::DebugFrames() const {
    return vm_->DebugFrames();
}

void Runtime::SetStepLimit(int64_t steps) {
    vm_->SetStepLimit(steps);
}

void Runtime::SetInterruptFlag(const volatile std::sig_atomic_t* flag) {
    interrupt_ = flag;
    vm_->SetInterrupt(flag);
}

// --- Variable resolution ---

ScriptInstance* Runtime::FirstInstanceOf(int32_t owner, ScriptInstance* self,
                                         ScriptInstance* other) {
    switch (owner) {
        case kOwnerSelf:
            return self;
        case kOwnerOther:
            return other;
        case kOwnerAll: {
            int32_t n = host_->InstanceCount();
            for (int32_t i = 0; i < n; ++i) {
                ScriptInstance* inst = host_->InstanceAt(i);
                if (inst && !inst->deleted) return inst;
            }
            return nullptr;
        }
        default:
            break;
    }
    if (owner >= 0 && owner < kFirstUserVariable) {
        int32_t n = host_->FamilyCount(owner);
        for (int32_t i = 0; i < n; ++i) {
            ScriptInstance* inst = host_->FamilyAt(owner, i);
            if (inst && !inst->deleted) return inst;
        }
        return nullptr;
    }
    if (owner >= kFirstUserVariable) {
        ScriptInstance* inst = host_->FindInstance(owner);
        return inst && !inst->deleted ? inst : nullptr;
    }
    return nullptr;
}

void Runtime::ReportUnavailableVariable(int32_t id) {
    ShowRuntimeError("Variable " + BuiltinVariableName(id) + " is not available yet.", false);
}

bool Runtime::ReadInstanceVariable(ScriptInstance* inst, int32_t id, int32_t index, RValue& out) {
    if (id < kBuiltinVariableLimit) {
        const BuiltinVariable* bv = BuiltinVariableAt(id);
        if (!bv) return false;
        if (!bv->get) {
            ReportUnavailableVariable(id);
            out.SetReal(0.0);
            return true;
        }
        return bv->get(*this, inst, index, out);
    }
    const RValue* v = inst->vars.GetVar(id, index);
    if (!v) return false;
    out = *v;
    return true;
}

bool Runtime::WriteInstanceVariable(ScriptInstance* inst, int32_t id, int32_t index,
                                    const RValue& value) {
    if (id < kBuiltinVariableLimit) {
        const BuiltinVariable* bv = BuiltinVariableAt(id);
        if (!bv || !bv->writable) return false;
        if (bv->set) return bv->set(*this, inst, index, value);
        ReportUnavailableVariable(id);
        return true;
    }
    inst->vars.SetVar(id, index, value);
    return true;
}

bool Runtime::ReadVariable(int32_t owner, int32_t id, int32_t index, ScriptInstance* self,
                           ScriptInstance* other, RValue& out) {
    if (owner == kOwnerGlobal || (owner == kOwnerUnwritten && globals_.IsGlobalVar(id))) {
        const RValue* v = globals_.List().GetVar(id, index);
        if (!v) return false;
        out = *v;
        return true;
    }
    if (owner == kOwnerUnwritten) owner = kOwnerSelf;
    ScriptInstance* inst = FirstInstanceOf(owner, self, other);
    return inst && ReadInstanceVariable(inst, id, index, out);
}

bool Runtime::WriteVariable(int32_t owner, int32_t id, int32_t index, ScriptInstance* self,
                            ScriptInstance* other, const RValue& value) {
    if (owner == kOwnerGlobal || (owner == kOwnerUnwritten && globals_.IsGlobalVar(id))) {
        globals_.List().SetVar(id, index, value);
        return true;
    }
    switch (owner) {
        case kOwnerUnwritten:
        case kOwnerSelf:
            return self && WriteInstanceVariable(self, id, index, value);
        case kOwnerOther:
            return other && WriteInstanceVariable(other, id, index, value);
        case kOwnerAll: {
            bool ok = true;
            int32_t n = host_->InstanceCount();
            for (int32_t i = 0; i < n; ++i) {
                ScriptInstance* inst = host_->InstanceAt(i);
                if (inst && !inst->deleted) ok = WriteInstanceVariable(inst, id, index, value);
            }
            return ok;
        }
        default:
            break;
    }
    if (owner >= 0 && owner < kFirstUserVariable) {
        bool ok = true;
        int32_t n = host_->FamilyCount(owner);
        for (int32_t i = 0; i < n; ++i) {
            ScriptInstance* inst = host_->FamilyAt(owner, i);
            if (inst && !inst->deleted) ok = WriteInstanceVariable(inst, id, index, value);
        }
        return ok;
    }
    if (owner >= kFirstUserVariable) {
        ScriptInstance* inst = host_->FindInstance(owner);
        if (!inst || inst->deleted) return true;  // a missing instance ignores the write
        return WriteInstanceVariable(inst, id, index, value);
    }
    return false;
}

// --- Errors ---

void Runtime::ReportCodeError(const CCode& code, int32_t position, std::string_view message) {
    if (error_flag_) return;
    error_flag_ = true;
    error_text_.clear();
    const std::string& s = code.Source();
    const int32_t n = int32_t(s.size());
    int32_t p = position < 1 ? 1 : position;
    if (p > n) p = n;
    auto at = [&](int32_t i) { return s[size_t(i - 1)]; };
    // A CR starts a line; so does an LF that is not the second half of CR LF.
    auto breaks_line = [&](int32_t i) {
        return at(i) == '\r' || (at(i) == '\n' && (i == 1 || at(i - 1) != '\r'));
    };
    int32_t line = 1, column = 0;
    for (int32_t i = 1; i <= p; ++i) {
        if (breaks_line(i)) {
            ++line;
            column = 0;
        } else {
            ++column;
        }
    }
    if (code.kind() == CCode::kProgram) {
        // The line text runs from after the last break before p to the next break at or after
        // p; with CR LF breaks it begins with the LF.
        // A lone LF break is kept at the start of the line text, as the LF of CR LF is, so
        // the caret lines up the same way for both kinds of line break.
        int32_t start = 1;
        for (int32_t i = p - 1; i >= 1; --i) {
            if (breaks_line(i)) {
                start = at(i) == '\r' ? i + 1 : i;
                break;
            }
        }
        int32_t end = n + 1;
        for (int32_t i = p < 1 ? 1 : p; i <= n; ++i) {
            if (at(i) == '\r' || (at(i) == '\n' && i != start && breaks_line(i))) {
                end = i;
                break;
            }
        }
        std::string line_text = end > start ? s.substr(size_t(start - 1), size_t(end - start)) : "";
        error_text_ = "Error in code at line " + std::to_string(line) + ":\r   " + line_text +
                      "\r" + std::string(size_t(column + 1), ' ') + "^\rat position " +
                      std::to_string(column) + ": " + std::string(message);
    } else {
        error_text_ = "Error in expression:" + s + "\r position " + std::to_string(column) + ": " +
                      std::string(message);
    }
    error_where_.clear();
    if (code_locator_) {
        // The column counted here includes the LF of a CR LF line break; editors do not.
        int32_t start = p;
        while (start > 1 && !breaks_line(start)) --start;
        const bool crlf = line > 1 && at(start) == '\r' && start < p && at(start + 1) == '\n';
        error_where_ = code_locator_(s, line, std::max(1, crlf ? column - 1 : column));
        error_where_text_ = error_text_;
    }
}

void Runtime::ShowRuntimeError(std::string_view message, bool fatal) {
    if (!host_->FramesErrorsWithEvent()) {
        ShowError(std::string(message), fatal);
        return;
    }
    std::string text = fatal ? "FATAL " : "";
    text +=
        "ERROR in\r\naction number " + std::to_string(int64_t(event_.event_action) + 1) + "\r\n";
    if (event_.event_type != kTimeLineEvent) {
        text += "of " + host_->EventName(event_) + "\r\nfor object " + host_->OwnerName(event_);
    } else {
        text += "at time step " + std::to_string(event_.event_number) + "\r\nof time line " +
                host_->OwnerName(event_);
    }
    text += ":\r\n\r\n";
    text += message;
    ShowError(text, fatal);
}

void Runtime::ShowError(const std::string& text, bool fatal) {
    if (aborting_ || Interrupted()) return;
    if (debug_hook_ && debug_hook_->OnShowError(text, fatal)) return;
    if (settings_.abort_on_all_errors) fatal = true;
    if (!error_where_.empty() && text.ends_with(error_where_text_)) shown_where_ = error_where_;
    error_where_.clear();
    if (settings_.display_errors) {
        bool abort = host_->ShowErrorWindow(text, !fatal);
        if (abort) fatal = true;
    }
    shown_where_.clear();
    if (!fatal || !settings_.display_errors) {
        if (unreported_errors_++ == 0) first_unreported_error_ = text;
        if (!settings_.display_errors) hidden_errors_ = true;
    }
    host_->ClearInput();
    if (settings_.log_errors) {
        // The log of this run is kept in memory and the file rewritten whole, so it is never
        // left half written; the first write of a run starts it afresh.
        if (first_log_) log_content_.clear();
        log_content_ += text;
        log_content_ += "\r\n\r\n\r\n";
        first_log_ = false;
        WriteFileAtomically(log_path_, std::span<const uint8_t>(
                                           reinterpret_cast<const uint8_t*>(log_content_.data()),
                                           log_content_.size()));
    }
    error_last_ = text;
    error_occurred_ = true;
    if (fatal) {
        aborting_ = true;
        host_->EndGameAfterFatalError();
    }
}

void Runtime::RuntimeError(std::string_view message, bool fatal) {
    ShowRuntimeError(message, fatal);
}

// --- The language's own built-in variables ---

namespace {

bool get_argument(Runtime& rt, ScriptInstance*, int32_t index, RValue& out) {
    out = rt.Argument(index >= 0 && index < kArgCount ? index : 0);
    return true;
}
bool set_argument(Runtime& rt, ScriptInstance*, int32_t index, const RValue& v) {
    rt.SetArgument(index >= 0 && index < kArgCount ? index : 0, v);
    return true;
}
template <int N>
bool get_argumentN(Runtime& rt, ScriptInstance*, int32_t, RValue& out) {
    out = rt.Argument(N);
    return true;
}
template <int N>
bool set_argumentN(Runtime& rt, ScriptInstance*, int32_t, const RValue& v) {
    rt.SetArgument(N, v);
    return true;
}
bool get_error_occurred(Runtime& rt, ScriptInstance*, int32_t, RValue& out) {
    out.SetReal(rt.ErrorOccurred() ? 1.0 : 0.0);
    return true;
}
bool set_error_occurred(Runtime& rt, ScriptInstance*, int32_t, const RValue& v) {
    rt.SetErrorOccurred(ArgReal(v) >= 0.5);
    return true;
}
bool get_error_last(Runtime& rt, ScriptInstance*, int32_t, RValue& out) {
    out = RValue(std::string_view(rt.ErrorLast()));
    return true;
}
// A real written to error_last stores the empty string.
bool set_error_last(Runtime& rt, ScriptInstance*, int32_t, const RValue& v) {
    rt.SetErrorLast(std::string(v.Str()));
    return true;
}

#define KR_ARG(n) \
    { "argument" #n, &get_argumentN<n>, &set_argumentN<n> }
const LanguageVariableDef kLanguageVariables[] = {
    {"argument", &get_argument, &set_argument},
    KR_ARG(0),
    KR_ARG(1),
    KR_ARG(2),
    KR_ARG(3),
    KR_ARG(4),
    KR_ARG(5),
    KR_ARG(6),
    KR_ARG(7),
    KR_ARG(8),
    KR_ARG(9),
    KR_ARG(10),
    KR_ARG(11),
    KR_ARG(12),
    KR_ARG(13),
    KR_ARG(14),
    KR_ARG(15),
    {"error_occurred", &get_error_occurred, &set_error_occurred},
    {"error_last", &get_error_last, &set_error_last},
};
#undef KR_ARG

}  // namespace

void RegisterLanguageVariables(Runtime& rt) {
    for (const LanguageVariableDef& v : kLanguageVariables)
        rt.AddBuiltinVariable(v.name, v.get, v.set, true);
}

std::span<const LanguageVariableDef> LanguageVariables() {
    return kLanguageVariables;
}

bool LanguageVariableAccessors(std::string_view name, BuiltinVarGetter& get,
                               BuiltinVarSetter& set) {
    for (const LanguageVariableDef& v : kLanguageVariables) {
        if (name == v.name) {
            get = v.get;
            set = v.set;
            return true;
        }
    }
    return false;
}

uint32_t Runtime::RandomizeSeed() {
    using namespace std::chrono;
    return uint32_t(duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

}  // namespace kr

// Runtime: the run-time state of the script language. It owns the registries (built-in
// functions, built-in variables, constants, user variable names, scripts), the global variables,
// the script argument values, the error state and the interpreter, and reaches the room and the
// windows of the runner through ScriptHost. The runner owns one Runtime; tests make their own.
#pragma once

#include <csignal>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "code/BuiltinRegistry.h"
#include "code/Random.h"
#include "code/Variables.h"
#include "code/Vocabulary.h"

namespace kr {

class CCode;
class DebugHook;
class Runtime;
class Vm;
struct DebugFrame;
struct Proto;

// The part of an instance that the script language sees; CInstance (objects/) derives from it.
// Its user variables are reached without a virtual call; built-in instance variables go
// through the getters and setters of the built-in variable registry.
struct ScriptInstance {
    int32_t id = 0;
    int32_t object_index = 0;
    bool deleted = false;
    CVariableList vars;
};

// Owner values of variable references and `with`.
enum Owner : int32_t {
    kOwnerSelf = -1,
    kOwnerOther = -2,
    kOwnerAll = -3,
    kOwnerNoone = -4,
    kOwnerGlobal = -5,
    kOwnerUnwritten = -6,  // no owner in the source
    kOwnerLocal = -7,
};

// Function ids: built-ins 0..n-1, scripts from 100000, extension functions from 500000.
constexpr int32_t kScriptIdBase = 100000;
constexpr int32_t kExtensionIdBase = 500000;

// Built-in variable accessors: (runtime, instance, flat index, value). A getter that returns
// false has no value to give (an index out of its range, for example); a setter that returns
// false refuses the value. Game-wide variables ignore the instance.
using BuiltinVarGetter = bool (*)(Runtime& rt, ScriptInstance* inst, int32_t index, RValue& out);
using BuiltinVarSetter = bool (*)(Runtime& rt, ScriptInstance* inst, int32_t index,
                                  const RValue& value);

struct BuiltinVariable {
    std::string name;
    // nullptr: not built yet. A read reports "Variable NAME is not available yet." and gives
    // real 0; a write to a writable variable without a setter reports the same and is ignored.
    BuiltinVarGetter get;
    BuiltinVarSetter set;
    bool writable;
    // >= 0: the getter reads the double at this byte offset of the instance, and nothing else;
    // the interpreter then reads it in place.
    int32_t field = -1;
    // With `field`: a real written to the variable is stored in place when it differs from the
    // field, and `touch` is then called for the instance when the byte at offset `touch_flag`
    // is 0 (touch sets it until the instance has taken the change into account). The setter
    // takes every other write.
    int32_t touch_flag = -1;
    void (*touch)(ScriptInstance& inst) = nullptr;
};

// The runner-wide event context, read by error texts. event_type 100000 marks a time-line
// moment (event_number is then the time step and event_object the time line).
struct EventContext {
    int32_t event_type = 0;
    int32_t event_number = 0;
    int32_t event_object = 0;
    int32_t event_action = 0;
};
constexpr int32_t kTimeLineEvent = 100000;

// The game settings that the language applies.
struct LanguageSettings {
    bool display_errors = true;          // show errors in the error window
    bool log_errors = false;             // write them to game_errors.log
    bool abort_on_all_errors = false;    // every error is fatal
    bool uninitialized_as_zero = false;  // reading a missing variable gives real 0
};

// What the language needs from the runner: the room's instances, resource names, extension
// functions and the windows. Every method has a harmless default, so a Runtime without a host
// runs code with no room (self and other given by the caller).
class ScriptHost {
public:
    virtual ~ScriptHost() = default;

    // Instances. FindInstance answers deleted instances too (the caller checks the mark);
    // InstanceAt and FamilyAt take indexes below the counts taken just before.
    virtual ScriptInstance* FindInstance(int32_t id) { return nullptr; }
    virtual int32_t InstanceCount() { return 0; }
    virtual ScriptInstance* InstanceAt(int32_t index) { return nullptr; }
    // The family list of an object: its instances and those of its descendants.
    virtual int32_t FamilyCount(int32_t object) { return 0; }
    virtual ScriptInstance* FamilyAt(int32_t object, int32_t index) { return nullptr; }

    // Resource and trigger names, which the compiler tries before the constant table.
    virtual bool FindResourceConstant(std::string_view name, RValue& out) { return false; }

    // Extension functions: index by name (-1), declared argument count, call (false: failed).
    virtual int32_t FindExtensionFunction(std::string_view name) { return -1; }
    virtual int32_t ExtensionArgCount(int32_t index) { return -100; }
    virtual std::string ExtensionFunctionName(int32_t index) { return "<extension function>"; }
    virtual bool CallExtension(Runtime& rt, int32_t index, ScriptInstance* self,
                               ScriptInstance* other, int argc, const RValue* args,
                               RValue& result) {
        return false;
    }

    // Runs `fn` with a temporary instance that is in no room, for code that runs outside any
    // event (constant values, initialization code): the runner's is a real instance of object 0
    // with id 0 at (0, 0), so that its built-in variables read like any instance's.
    virtual void WithTemporaryInstance(const std::function<void(ScriptInstance&)>& fn) {
        ScriptInstance temp;
        fn(temp);
    }

    // Names for error texts: the event's name and its object's (or time line's) name.
    virtual std::string EventName(const EventContext& ctx) { return "<event>"; }
    virtual std::string OwnerName(const EventContext& ctx) { return "<undefined>"; }

    // The error window. Returns true when the user chose to abort. The default, used until
    // the window exists and in headless runs, writes the text to standard error and ignores.
    virtual bool ShowErrorWindow(const std::string& text, bool can_ignore);
    // A message box (constant definition failures).
    virtual void ShowMessage(const std::string& text);
    // Clears the keyboard and mouse state after an error was shown.
    virtual void ClearInput() {}
    // A fatal error ends the game: set the room request to -400 and leave the main loop.
    virtual void EndGameAfterFatalError() {}
    // Whether run-time errors are framed with the event context ("ERROR in ... action number
    // ..."). A program run outside any game has no event to name and answers false.
    virtual bool FramesErrorsWithEvent() { return true; }
};

// The sixteen argument values of the running script. A script call points the frame at the
// caller's argument registers instead of copying them; slots at `live` and beyond read as real
// 0 until written.
struct ArgFrame {
    RValue* slots = nullptr;
    int32_t live = 0;
};
constexpr int kArgCount = 16;

class Runtime {
public:
    Runtime();
    Runtime(const Runtime&) = delete;
    Runtime& operator=(const Runtime&) = delete;
    virtual ~Runtime();

    BuiltinRegistry& Builtins() { return builtins_; }
    Random& Rng() { return rng_; }

    void SetHost(ScriptHost* host) { host_ = host ? host : &null_host_; }
    ScriptHost& Host() { return *host_; }
    LanguageSettings& Settings() { return settings_; }
    const LanguageSettings& Settings() const { return settings_; }
    EventContext& Event() { return event_; }

    // Longest string any operator may build ("String too long." beyond).
    size_t MaxStringLength() const { return max_string_length_; }
    void SetMaxStringLength(size_t n) { max_string_length_ = n; }

    // --- Built-in variables (ids 0..9999 in registration order) ---
    // Returns the id, or -1 when the table is full ("INTERNAL ERROR: Adding too many
    // variables" is shown).
    int32_t AddBuiltinVariable(std::string_view name, BuiltinVarGetter get, BuiltinVarSetter set,
                               bool writable);
    // Registers every row of `table` (static storage) in order, as AddBuiltinVariable would, with
    // no accessors yet and writable unless read-only. `by_name` orders the rows by name, rows of
    // one name in table order: nothing is hashed per name. Returns the id of the first row.
    // `sorted_names` are the names of the rows of `by_name`, in that order.
    int32_t AddBuiltinVariableTable(std::span<const BuiltinVariableDef> table,
                                    std::span<const uint16_t> by_name,
                                    std::span<const std::string_view> sorted_names);
    // Gives variable `id` its getter and its setter (no setter when it is read-only).
    void AttachBuiltinVariable(int32_t id, BuiltinVarGetter get, BuiltinVarSetter set);
    // The first variable registered under `name`, or -1.
    int32_t FindBuiltinVariable(std::string_view name) const;
    const std::string& BuiltinVariableName(int32_t id) const;
    const BuiltinVariable* BuiltinVariableAt(int32_t id) const {
        return id >= 0 && id < int32_t(builtin_vars_.size()) ? &builtin_vars_[size_t(id)] : nullptr;
    }
    int32_t BuiltinVariableCount() const { return int32_t(builtin_vars_.size()); }
    // Gives the variable registered as `name` its getter and setter, keeping its id and its
    // writability, so that a subsystem built later fills in a variable that code may already
    // have been compiled against. False when no variable has that name.
    bool SetBuiltinVariableAccessors(std::string_view name, BuiltinVarGetter get,
                                     BuiltinVarSetter set);
    // Declares that the getter of `name` returns the double at byte `offset` of the instance
    // it is given (a field of the type every instance of the host has), so that code reads it
    // without the call. False when no variable has that name.
    bool SetBuiltinVariableField(std::string_view name, int32_t offset);
    // Lets code write the field of `name` in place as BuiltinVariable::touch describes. False
    // when no variable has that name or it has no field.
    bool SetBuiltinVariableFieldWrite(std::string_view name, int32_t touch_flag,
                                      void (*touch)(ScriptInstance& inst));
    // Reports a read or write of a built-in variable whose accessor is not built yet, as a
    // non-fatal run-time error (as an unbuilt function does).
    void ReportUnavailableVariable(int32_t id);

    // --- Constants ---
    void AddConstant(std::string_view name, const RValue& value);
    // Makes the built-in constants (BuiltinConstants) known, under every constant added: they
    // are looked up in their own table, ordered by name when the program is built.
    void UseBuiltinConstants() { builtin_constants_ = true; }
    // Resource and trigger names first (the host), then the constant table, latest first, then
    // the built-in constants.
    bool FindConstant(std::string_view name, RValue& out);
    // Defines a game constant from its value text (an expression). Shows the implementation's
    // messages and returns false on an invalid name or value.
    bool DefineConstant(std::string_view name, std::string_view value_text);
    // Defines the game's constants in order (names[i] with values[i]); stops with false at the
    // first that DefineConstant refuses.
    bool DefineGameConstants(std::span<const std::string> names,
                             std::span<const std::string> values);

    // --- Variable names and the global store ---
    VariableNames& Names() { return names_; }
    // The name for error messages of a variable id (built-in or user).
    std::string VariableName(int32_t id) const;
    GlobalStore& Globals() { return globals_; }

    // --- Functions ---
    // Scripts first, then extension functions, then built-ins; -1 when none.
    int32_t FindFunction(std::string_view name);
    // -1 for scripts, -100 for an id that is no function.
    int32_t FunctionArgCount(int32_t id);
    std::string FunctionName(int32_t id);

    // --- Scripts ---
    // Defines script `index` (the table grows; indexes without a script stay empty).
    void SetScript(int32_t index, std::string_view name, std::string_view text);
    void ClearScripts();
    int32_t ScriptCount() const { return int32_t(scripts_.size()); }
    bool ScriptExists(int32_t index) const;
    const std::string& ScriptName(int32_t index) const;
    const std::string& ScriptText(int32_t index) const;
    int32_t FindScript(std::string_view name) const;
    CCode* ScriptCode(int32_t index) const;
    // Compiles every script in index order; the first failure is shown as a fatal error
    // ("COMPILATION ERROR in Script: ...") and gives false.
    bool CompileScripts();
    // Calls script `index` with args[0..n-1] as its arguments (n <= 16). False when it does not
    // exist (no message) or failed (result "ERROR", error text prefixed with the script name).
    bool CallScript(int32_t index, ScriptInstance* self, ScriptInstance* other, RValue& result,
                    const RValue* args, int n);

    // --- Script arguments (argument0..15) ---
    const RValue& Argument(int32_t k) const { return k < args_.live ? args_.slots[k] : kZero; }
    void SetArgument(int32_t k, const RValue& v);
    ArgFrame& Args() { return args_; }

    // --- Execution ---
    // Runs a compiled code for (self, other). False exactly when a run-time error ended it;
    // the error text is then pending (ErrorText()).
    bool Execute(CCode& code, ScriptInstance* self, ScriptInstance* other, RValue& result);
    // Execute; a failure is shown as a non-fatal run-time error with the event context.
    bool ExecuteReporting(CCode& code, ScriptInstance* self, ScriptInstance* other, RValue& result);
    // Execute; on failure the result is the string "ERROR".
    bool ExecuteForValue(CCode& code, ScriptInstance* self, ScriptInstance* other, RValue& result);
    // Bounds of nesting: script calls inside one execution, and executions started from
    // built-in functions (each uses native stack).
    static constexpr int kMaxScriptDepth = 10000;
    static constexpr int kMaxNativeDepth = 200;
    // Work allowed to one outermost execution (loop rounds, script calls, array growth);
    // unlimited unless set. Running out is the run-time error "Execution step limit reached.".
    void SetStepLimit(int64_t steps);
    // A flag (set by a signal handler) that stops running code when it is not zero; errors
    // are then no longer shown, since the run is ending.
    void SetInterruptFlag(const volatile std::sig_atomic_t* flag);
    bool Interrupted() const { return interrupt_ && *interrupt_; }
    // The flag itself (null when none is set), for long work outside the interpreter that
    // polls it on its own.
    const volatile std::sig_atomic_t* InterruptFlag() const { return interrupt_; }

    // --- Debugging ---
    // The debugger that hears about traps, entries and errors (null: none, the default).
    void SetDebugHook(DebugHook* hook) { debug_hook_ = hook; }
    DebugHook* GetDebugHook() const { return debug_hook_; }
    // The frames of running code, outermost first (empty when no code runs).
    std::vector<DebugFrame> DebugFrames() const;

    // --- Variable access by owner (variable resolution) ---
    // Reads name `id` at flat index `index` for owner `owner` as code running for (self,
    // other) would; false when nothing was found (no error is reported).
    bool ReadVariable(int32_t owner, int32_t id, int32_t index, ScriptInstance* self,
                      ScriptInstance* other, RValue& out);
    // Writes; false when the write was refused.
    bool WriteVariable(int32_t owner, int32_t id, int32_t index, ScriptInstance* self,
                       ScriptInstance* other, const RValue& value);
    // Reading and writing an instance's variable (built-in through the registry).
    bool ReadInstanceVariable(ScriptInstance* inst, int32_t id, int32_t index, RValue& out);
    bool WriteInstanceVariable(ScriptInstance* inst, int32_t id, int32_t index,
                               const RValue& value);
    // The first live instance of an owner value (-1, -2, -3, object index, instance id).
    ScriptInstance* FirstInstanceOf(int32_t owner, ScriptInstance* self, ScriptInstance* other);

    // --- Errors ---
    // Records a compile or run-time error of `code` at a 1-based position; only the first
    // error since the last ClearError() is kept.
    void ReportCodeError(const CCode& code, int32_t position, std::string_view message);
    void ClearError() { error_flag_ = false; }
    bool ErrorPending() const { return error_flag_; }
    const std::string& ErrorText() const { return error_text_; }
    void SetErrorText(std::string text) { error_text_ = std::move(text); }
    // Makes `text` the pending error, as a failing call that records its own reason does.
    void SetPendingError(std::string text) {
        error_flag_ = true;
        error_text_ = std::move(text);
    }
    // Composes the event context around a message and shows it.
    void ShowRuntimeError(std::string_view message, bool fatal);
    // Shows, logs and aborts as the settings say.
    void ShowError(const std::string& text, bool fatal);
    // A run-time error of a built-in function.
    virtual void RuntimeError(std::string_view message, bool fatal = false);
    bool ErrorOccurred() const { return error_occurred_; }
    void SetErrorOccurred(bool v) { error_occurred_ = v; }
    const std::string& ErrorLast() const { return error_last_; }
    void SetErrorLast(std::string v) { error_last_ = std::move(v); }
    bool Aborting() const { return aborting_; }
    // Errors the run went on after (not fatal) or that the settings kept from being shown,
    // and the text of the first of them, for the summary at the end of a run.
    int64_t UnreportedErrorCount() const { return unreported_errors_; }
    bool SomeErrorsHidden() const { return hidden_errors_; }
    const std::string& FirstUnreportedError() const { return first_unreported_error_; }
    // Names where a piece of code was written, for games made from text projects: given the
    // code's text and the line and column of an error in it (columns as editors count them),
    // "FILE:LINE:COLUMN", or "" when the code is not known.
    using CodeLocator =
        std::function<std::string(std::string_view source, int32_t line, int32_t column)>;
    void SetCodeLocator(CodeLocator locator) { code_locator_ = std::move(locator); }
    // While ShowError shows an error of code whose file is known: "FILE:LINE:COLUMN" of it.
    const std::string& ErrorLocation() const { return shown_where_; }
    // Where the error log goes ("game_errors.log" in the working directory by default).
    void SetErrorLogPath(std::string path) { log_path_ = std::move(path); }

    static const RValue kZero;

    // The clock value that randomize() seeds the generator with; by default the system clock in
    // milliseconds. A headless runner overrides it so that its runs repeat exactly.
    virtual uint32_t RandomizeSeed();

private:
    friend class Vm;
    struct Script {
        bool exists = false;
        std::string name;
        std::string text;
        std::unique_ptr<CCode> code;
    };
    // Brings script_protos_[index] up to date after the script's code changed.
    void NoteScriptCode(size_t index);

    BuiltinRegistry builtins_;
    Random rng_;
    ScriptHost null_host_;
    ScriptHost* host_ = &null_host_;
    LanguageSettings settings_;
    EventContext event_;
    size_t max_string_length_;

    std::vector<BuiltinVariable> builtin_vars_;
    std::unordered_map<std::string, int32_t> builtin_var_ids_;  // those added one by one
    // The table added whole (AddBuiltinVariableTable), its order by name and its first id.
    std::span<const BuiltinVariableDef> builtin_var_table_;
    std::span<const uint16_t> builtin_var_order_;
    std::span<const std::string_view> builtin_var_names_;
    int32_t builtin_var_table_first_ = -1;
    std::vector<std::pair<std::string, RValue>> constants_;
    std::unordered_map<std::string, int32_t> constant_ids_;  // the latest definition
    bool builtin_constants_ = false;
    VariableNames names_;
    GlobalStore globals_;
    std::vector<Script> scripts_;
    // By script index, the code a call runs: set while the script exists and its code is
    // compiled, null otherwise (the call then finds out why from scripts_).
    std::vector<const Proto*> script_protos_;
    std::unordered_map<std::string, int32_t> script_ids_;  // the first existing index

    RValue base_args_[kArgCount];
    ArgFrame args_;

    bool error_flag_ = false;
    std::string error_text_;
    CodeLocator code_locator_;
    // The place of the last recorded error and its text as recorded; an error shown whose text
    // ends with that text is the one that happened there.
    std::string error_where_, error_where_text_, shown_where_;
    bool error_occurred_ = false;
    std::string error_last_;
    bool first_log_ = true;
    bool aborting_ = false;
    int64_t unreported_errors_ = 0;
    bool hidden_errors_ = false;
    std::string first_unreported_error_;
    std::string log_path_ = "game_errors.log";
    std::string log_content_;  // this run's log, rewritten whole on every error

    std::unique_ptr<Vm> vm_;
    DebugHook* debug_hook_ = nullptr;
    const volatile std::sig_atomic_t* interrupt_ = nullptr;
};

// Registers the built-in variables that belong to the language itself (argument,
// argument0..15, error_occurred, error_last), for runs without the full vocabulary.
void RegisterLanguageVariables(Runtime& rt);
// The accessors of those variables by name, for the vocabulary's registration: false when the
// name is not one of them.
bool LanguageVariableAccessors(std::string_view name, BuiltinVarGetter& get, BuiltinVarSetter& set);
struct LanguageVariableDef {
    const char* name;
    BuiltinVarGetter get;
    BuiltinVarSetter set;
};
// Those variables with their accessors, in registration order.
std::span<const LanguageVariableDef> LanguageVariables();

}  // namespace kr

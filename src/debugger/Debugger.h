// Debugger: the one core under every face of the debugger (the debug adapter, the window, the
// tests). It holds the game while it is stopped, sets and tests source breakpoints, steps by
// statements, and shows and changes the running game: the call stack with its locals and
// arguments, instances and their variables, globals, and code evaluated on the spot. It knows
// no face: a face is told when the game stops and serves its own requests until it lets the
// game go on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "code/DebugHook.h"
#include "code/Value.h"
#include "code/Variables.h"

namespace kr {

class Runner;
struct ScriptInstance;

// What a face gives the core.
class DebuggerFace {
public:
    virtual ~DebuggerFace() = default;
    // The game stopped (reason "entry", "breakpoint", "step", "pause" or "exception"; `text`
    // the error text of an exception). Serves the face's requests and returns once one of the
    // core's controls (Continue, Step*, Stop) has said how the game goes on.
    virtual void WhileStopped(const std::string& reason, const std::string& text) = 0;
    // Between steps of the running game: takes the requests that came, without waiting.
    virtual void Poll() {}
    // Text for the message list: "stdout" (show_debug_message), "stderr" (error texts) or
    // "console" (logpoints). The line has no line break at its end.
    virtual void Output(const std::string& category, const std::string& text) {}
    // Whether show_debug_message lines are taken by the face alone (not written to standard
    // output as well).
    virtual bool TakesMessages() const { return false; }
};

struct SourceBreakpoint {
    int32_t line = 0;
    std::string condition;      // stop only when this expression is true
    std::string hit_condition;  // "N" or "== N", ">= N", "> N", "% N": of the times it is hit
    std::string log_message;    // a logpoint: print this ({expression} replaced), never stop
};

// A frame of the call stack as faces show it; frame 0 is the innermost.
struct StackEntry {
    std::string name;
    std::string source;  // the source path, empty when the code has none
    int32_t line = 0;
};

// A variable as faces show it. An array (or a list of them) has children: pass `children` to
// Children().
struct VariableEntry {
    std::string name;
    std::string value;
    std::string type;  // "real", "string", "array"
    int64_t children = 0;
};

class Debugger final : public DebugHook {
public:
    explicit Debugger(Runner& runner);
    ~Debugger() override;
    Debugger(const Debugger&) = delete;
    Debugger& operator=(const Debugger&) = delete;

    void SetFace(DebuggerFace* face) { face_ = face; }

    // ---- Sources and breakpoints ----
    // A source: code whose text equals `text` belongs to `path` (a .krs file of a project, or
    // "scripts/NAME" of a game file), line 1 being its first line.
    void AddSource(const std::string& path, const std::string& text);
    // Adds every script of the game as "scripts/NAME" (for game files), now or, before the
    // game is loaded, once it is.
    void AddScriptSources();
    bool HasSource(const std::string& path) const;
    // Replaces the breakpoints of a source. Gives for each the line it will stop at (the first
    // statement at or after its line), 0 when none.
    std::vector<int32_t> SetBreakpoints(const std::string& path,
                                        const std::vector<SourceBreakpoint>& breakpoints);
    // Stop at run-time errors (before the error is shown).
    void SetStopOnErrors(bool on) { stop_on_errors_ = on; }
    // Stop at the first statement the game runs.
    void StopOnEntry();

    // ---- Controls ----
    // While the game runs: stop at the next statement, or after the step when none runs.
    void Pause();
    // While stopped: how the game goes on.
    void Continue();
    void StepOver();
    void StepIn();
    void StepOut();
    // Ends the game (after the running step when stopped inside it).
    void Stop();
    bool IsStopped() const { return stopped_; }
    // Whether the stop is inside running code (a breakpoint, a step) rather than between steps.
    bool InCode() const { return !frames_.empty(); }

    // ---- Inspection (while stopped) ----
    std::vector<StackEntry> Stack();
    // Frame `frame` (0 innermost): its `var` locals with their values, its arguments.
    std::vector<VariableEntry> Locals(int32_t frame);
    std::vector<VariableEntry> Arguments(int32_t frame);
    // self and other of a frame (null when the stop is between steps).
    ScriptInstance* SelfOf(int32_t frame);
    ScriptInstance* OtherOf(int32_t frame);
    // An instance's built-in and user variables, and the global variables.
    std::vector<VariableEntry> InstanceVariables(ScriptInstance* inst);
    std::vector<VariableEntry> Globals();
    // The elements of an array that a VariableEntry gave `children` for.
    std::vector<VariableEntry> Children(int64_t children);
    // Lets go of the arrays given out so far (a face that asks anew for every picture).
    void ForgetChildren() { children_.clear(); }
    // The instances of the room: id, object name, position, depth, sprite, image index.
    struct InstanceRow {
        int32_t id;
        std::string object;
        double x, y, depth;
        int32_t sprite;
        double image_index;
    };
    std::vector<InstanceRow> Instances();
    ScriptInstance* FindInstance(int32_t id);

    // Changes a variable: `scope` "local" (of `frame`), "argument" (of `frame`), "self",
    // "other", "global", or an instance id as text. `value_text` is an expression. False with
    // the reason in `error` (a read-only built-in says so).
    bool SetVariable(const std::string& scope, int32_t frame, const std::string& name,
                     const std::string& value_text, std::string& error, std::string& shown);

    // Evaluates an expression, or runs statements (code execution: `statements` tries them
    // first), for the self and other of frame `frame` (its `var` locals and arguments known by
    // name), or for instance `instance_id` when it is not 0, or globally when frame is -1 and
    // no instance is given. An error gives false with the game's own text in `error`; it is
    // never shown and never ends the game.
    bool Evaluate(const std::string& text, int32_t frame, int32_t instance_id, RValue& result,
                  std::string& error, bool statements = false);
    // How faces show a value.
    static std::string Show(const RValue& v);

    // DebugHook
    void OnEnter(Proto& proto) override;
    void OnTrap(Proto& proto, uint32_t at) override;
    void OnError() override;
    bool OnShowError(const std::string& text, bool fatal) override;
    bool OnDebugMessage(const std::string& text) override;

private:
    enum class Mode { kRun, kIn, kOver, kOut, kPause, kStop };
    struct Breakpoint {
        SourceBreakpoint given;
        int32_t line = 0;  // verified line, 0: none
        int64_t hits = 0;
        // The instruction of its trap (code of one text always compiles alike), once armed.
        uint32_t at = UINT32_MAX;
    };
    struct Source {
        std::string path;
        std::string text;
        std::vector<Breakpoint> breakpoints;
    };
    struct Child {
        std::vector<RValue> values;  // a flat list of elements with their names
        std::vector<std::string> names;
    };

    // Stops (the face serves its requests), then carries out how the game goes on.
    void StopHere(const std::string& reason, const std::string& text);
    void AfterStop();
    // Brings a code's traps up to date with the breakpoints and the stepping.
    void Arm(Proto& proto);
    void ArmActive();  // the scripts and the code on the stack
    int32_t SourceOf(Proto& proto);
    static int32_t LineAt(const Proto& proto, uint32_t at);
    bool BreakpointStops(Breakpoint& bp);
    std::string Interpolate(const std::string& message);
    void OnStepDone();
    void OnPaused();
    std::vector<VariableEntry> Entries(const std::vector<std::string>& names,
                                       const std::vector<RValue>& values,
                                       const std::vector<const ArrayRows*>& rows);
    int64_t AddChildren(const std::string& name, const RValue& scalar, const ArrayRows& rows);

    Runner& runner_;
    DebuggerFace* face_ = nullptr;
    std::vector<Source> sources_;
    uint32_t generation_ = 1;
    bool arm_all_ = false;
    Mode mode_ = Mode::kRun;
    Mode resume_ = Mode::kRun;
    size_t start_depth_ = 0;
    bool stopped_ = false;
    bool busy_ = false;      // evaluating: no stops, errors go to the evaluation
    bool in_error_ = false;  // a stop for the pending error was made
    bool stop_on_errors_ = false;
    bool ending_ = false;
    bool entry_ = false;
    bool want_script_sources_ = false;
    bool script_sources_added_ = false;
    std::string eval_error_;
    std::vector<Child> children_;
    // The frames of the stop (empty between steps).
    std::vector<DebugFrame> frames_;
};

}  // namespace kr

// The debugger core: traps written over statements, the decision to stop, the stop itself (the
// face serves requests meanwhile) and everything shown or changed while stopped.
//
// Traps: a code is armed (its traps brought up to date) when it is entered and its generation
// is not the debugger's; every change of breakpoints or stepping starts a new generation and
// arms at once the scripts (which code calls without an entry) and the code on the stack.
#include "debugger/Debugger.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>

#include "code/Code.h"
#include "code/Runtime.h"
#include "objects/Instance.h"
#include "platform/Text.h"
#include "runner/RoomRequest.h"
#include "runner/Runner.h"

namespace kr {

namespace {

// The built-in variables an instance shows, in this order.
constexpr const char* kInstanceBuiltins[] = {"id",
                                             "object_index",
                                             "x",
                                             "y",
                                             "xprevious",
                                             "yprevious",
                                             "xstart",
                                             "ystart",
                                             "hspeed",
                                             "vspeed",
                                             "speed",
                                             "direction",
                                             "friction",
                                             "gravity",
                                             "gravity_direction",
                                             "sprite_index",
                                             "image_index",
                                             "image_speed",
                                             "image_xscale",
                                             "image_yscale",
                                             "image_angle",
                                             "image_alpha",
                                             "image_blend",
                                             "mask_index",
                                             "depth",
                                             "visible",
                                             "solid",
                                             "persistent",
                                             "path_index",
                                             "path_position",
                                             "path_speed",
                                             "timeline_index",
                                             "timeline_position"};
constexpr int32_t kAlarms = 12;

// The game-wide built-in variables the globals show.
constexpr const char* kGlobalBuiltins[] = {
    "room",    "room_speed", "score",        "lives",          "health",    "fps",
    "mouse_x", "mouse_y",    "keyboard_key", "instance_count", "debug_mode"};

std::string OneLine(std::string text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') continue;
            out += '\n';
        } else {
            out += text[i];
        }
    }
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

bool IsName(const std::string& s) {
    if (s.empty() || !(std::isalpha(uint8_t(s[0])) || s[0] == '_')) return false;
    for (char c : s)
        if (!(std::isalnum(uint8_t(c)) || c == '_')) return false;
    return true;
}

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r\n"), e = s.find_last_not_of(" \t\r\n");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

// A value as a literal of the language; false for a string that holds both quote marks.
bool Literal(const RValue& v, std::string& out) {
    if (v.IsString()) {
        const std::string_view t = v.Str();
        const char q = t.find('"') == std::string_view::npos ? '"' : '\'';
        if (t.find(q) != std::string_view::npos) return false;
        out = q + std::string(t) + q;
        return true;
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "(%.17g)", v.real);
    out = buf;
    return std::isfinite(v.real);
}

// Code to evaluate in a frame: the names of its `var` locals and of arguments are replaced by
// their values (evaluated code runs in a frame of its own, which has neither).
std::string WithFrameValues(const std::string& text, const std::vector<std::string>& names,
                            const std::vector<RValue>& values) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '"' || c == '\'') {
            const size_t end = text.find(c, i + 1);
            const size_t stop = end == std::string::npos ? text.size() : end + 1;
            out.append(text, i, stop - i);
            i = stop;
            continue;
        }
        if (std::isalpha(uint8_t(c)) || c == '_') {
            size_t j = i;
            while (j < text.size() && (std::isalnum(uint8_t(text[j])) || text[j] == '_')) ++j;
            const std::string word = text.substr(i, j - i);
            size_t k = j;
            while (k < text.size() && (text[k] == ' ' || text[k] == '\t')) ++k;
            // Not a member (x.name), not written (name = ...), not an array (name[...]).
            const bool member = i > 0 && text[i - 1] == '.';
            const bool written =
                k < text.size() && text[k] == '=' && (k + 1 >= text.size() || text[k + 1] != '=');
            const bool indexed = k < text.size() && text[k] == '[';
            std::string literal;
            bool replaced = false;
            for (size_t n = 0; !member && !written && !indexed && n < names.size(); ++n)
                if (names[n] == word && Literal(values[n], literal)) {
                    out += literal;
                    replaced = true;
                    break;
                }
            if (!replaced) out += word;
            i = j;
            continue;
        }
        out += c;
        ++i;
    }
    return out;
}

}  // namespace

Debugger::Debugger(Runner& runner) : runner_(runner) {
    runner_.GetRuntime().SetDebugHook(this);
    LoopHooks& hooks = runner_.Loop().hooks;
    hooks.debugger_step = [this] { OnStepDone(); };
    hooks.debugger_paused = [this] { OnPaused(); };
}

Debugger::~Debugger() {
    runner_.GetRuntime().SetDebugHook(nullptr);
    LoopHooks& hooks = runner_.Loop().hooks;
    hooks.debugger_step = nullptr;
    hooks.debugger_paused = nullptr;
}

// ---- Sources and breakpoints ------------------------------------------------------------------

void Debugger::AddSource(const std::string& path, const std::string& text) {
    for (Source& s : sources_)
        if (s.path == path) {
            s.text = text;
            return;
        }
    sources_.push_back(Source{path, text, {}});
}

void Debugger::AddScriptSources() {
    want_script_sources_ = true;
    Runtime& rt = runner_.GetRuntime();
    for (int32_t i = 0; i < rt.ScriptCount(); ++i)
        if (rt.ScriptExists(i)) AddSource("scripts/" + rt.ScriptName(i), rt.ScriptText(i));
}

bool Debugger::HasSource(const std::string& path) const {
    for (const Source& s : sources_)
        if (s.path == path) return true;
    return false;
}

std::vector<int32_t> Debugger::SetBreakpoints(const std::string& path,
                                              const std::vector<SourceBreakpoint>& breakpoints) {
    std::vector<int32_t> lines;
    Source* source = nullptr;
    for (Source& s : sources_)
        if (s.path == path) source = &s;
    if (!source) {
        lines.assign(breakpoints.size(), 0);
        return lines;
    }
    source->breakpoints.clear();
    for (const SourceBreakpoint& b : breakpoints) {
        source->breakpoints.push_back(Breakpoint{b, b.line > 0 ? b.line : 0, 0});
        lines.push_back(source->breakpoints.back().line);
    }
    ++generation_;
    ArmActive();
    return lines;
}

void Debugger::StopOnEntry() {
    entry_ = true;
    mode_ = Mode::kIn;
    arm_all_ = true;
    ++generation_;
    ArmActive();
}

int32_t Debugger::SourceOf(Proto& proto) {
    if (!proto.debug_source_known) {
        proto.debug_source_known = true;
        proto.debug_source = -1;
        if (proto.code)
            for (size_t i = 0; i < sources_.size(); ++i)
                if (sources_[i].text == proto.code->Source()) proto.debug_source = int32_t(i);
    }
    return proto.debug_source;
}

int32_t Debugger::LineAt(const Proto& proto, uint32_t at) {
    if (!proto.code || at >= proto.positions.size()) return 0;
    int32_t pos = proto.positions[at].pos;
    for (const Proto::Statement& s : proto.statements)
        if (s.at == at) pos = s.pos;
    const std::string& text = proto.code->Source();
    int32_t line = 1;
    for (int32_t i = 0; i < pos - 1 && size_t(i) < text.size(); ++i)
        if (text[size_t(i)] == '\n') ++line;
    return line;
}

void Debugger::Arm(Proto& proto) {
    proto.debug_generation = generation_;
    ClearTraps(proto);
    const int32_t src = SourceOf(proto);
    if (src >= 0) {
        for (Breakpoint& bp : sources_[size_t(src)].breakpoints) {
            bp.at = UINT32_MAX;
            if (bp.line <= 0) continue;
            for (const Proto::Statement& s : proto.statements)
                if (LineAt(proto, s.at) >= bp.line) {
                    bp.at = s.at;
                    if (!arm_all_) SetTrap(proto, s.at);
                    break;
                }
        }
    }
    if (arm_all_)
        for (const Proto::Statement& s : proto.statements) SetTrap(proto, s.at);
}

void Debugger::ArmActive() {
    Runtime& rt = runner_.GetRuntime();
    for (int32_t i = 0; i < rt.ScriptCount(); ++i) {
        CCode* code = rt.ScriptExists(i) ? rt.ScriptCode(i) : nullptr;
        if (code && code->compiled() && code->GetProto()) Arm(*code->GetProto());
    }
    for (const DebugFrame& f : rt.DebugFrames()) Arm(*f.proto);
}

// ---- Stopping ---------------------------------------------------------------------------------

void Debugger::OnEnter(Proto& proto) {
    if (busy_) return;
    in_error_ = false;
    if (want_script_sources_ && !script_sources_added_ && runner_.GetRuntime().ScriptCount() > 0) {
        // The scripts of a game file are known once it is loaded.
        script_sources_added_ = true;
        AddScriptSources();
    }
    if (proto.debug_generation != generation_) {
        // Scripts compiled since the last arming (at the start of the game) are armed too.
        ArmActive();
        Arm(proto);
    }
}

bool Debugger::BreakpointStops(Breakpoint& bp) {
    if (!bp.given.condition.empty()) {
        RValue v;
        std::string error;
        if (!Evaluate(bp.given.condition, 0, 0, v, error)) {
            if (face_) face_->Output("stderr", "breakpoint condition: " + error);
            return true;
        }
        if (!(v.IsReal() && v.real >= 0.5)) return false;
    }
    ++bp.hits;
    std::string h = Trim(bp.given.hit_condition);
    if (!h.empty()) {
        std::string op;
        while (!h.empty() && (h[0] == '=' || h[0] == '>' || h[0] == '%' || h[0] == ' ')) {
            if (h[0] != ' ') op += h[0];
            h.erase(0, 1);
        }
        const int64_t n = std::atoll(h.c_str());
        if (op == "%") return n > 0 && bp.hits % n == 0;
        if (op == "==") return bp.hits == n;
        if (op == ">") return bp.hits > n;
        return bp.hits >= n;  // a plain count: from that hit on
    }
    return true;
}

std::string Debugger::Interpolate(const std::string& message) {
    std::string out;
    for (size_t i = 0; i < message.size(); ++i) {
        size_t close = message[i] == '{' ? message.find('}', i) : std::string::npos;
        if (close == std::string::npos) {
            out += message[i];
            continue;
        }
        RValue v;
        std::string error;
        out += Evaluate(message.substr(i + 1, close - i - 1), 0, 0, v, error)
                   ? (v.IsString() ? GameTextToUtf8(v.Str()) : Show(v))
                   : "<" + error + ">";
        i = close;
    }
    return out;
}

void Debugger::OnTrap(Proto& proto, uint32_t at) {
    if (busy_ || ending_ || stopped_) return;
    in_error_ = false;
    Runtime& rt = runner_.GetRuntime();
    frames_ = rt.DebugFrames();
    std::string reason;
    const int32_t src = SourceOf(proto);
    if (src >= 0) {
        for (Breakpoint& bp : sources_[size_t(src)].breakpoints) {
            if (bp.line <= 0) continue;
            // The trap of a breakpoint is the first statement at or after its line.
            if (bp.at != at) continue;
            if (!BreakpointStops(bp)) continue;
            if (!bp.given.log_message.empty()) {
                if (face_) face_->Output("console", Interpolate(bp.given.log_message));
                continue;
            }
            reason = "breakpoint";
        }
    }
    if (reason.empty()) {
        const size_t depth = frames_.size();
        switch (mode_) {
            case Mode::kIn:
                reason = entry_ ? "entry" : "step";
                break;
            case Mode::kPause:
                reason = "pause";
                break;
            case Mode::kOver:
                if (depth <= start_depth_) reason = "step";
                break;
            case Mode::kOut:
                if (depth < start_depth_) reason = "step";
                break;
            default:
                break;
        }
    }
    if (!reason.empty()) StopHere(reason, "");
    frames_.clear();
}

void Debugger::OnError() {
    if (busy_ || ending_ || stopped_ || in_error_ || !stop_on_errors_) return;
    in_error_ = true;
    Runtime& rt = runner_.GetRuntime();
    const std::string text = rt.ErrorText();
    frames_ = rt.DebugFrames();
    StopHere("exception", OneLine(text));
    frames_.clear();
    rt.SetPendingError(text);
}

bool Debugger::OnShowError(const std::string& text, bool fatal) {
    if (busy_) {
        if (eval_error_.empty()) eval_error_ = OneLine(text);
        return true;
    }
    if (face_) face_->Output("stderr", OneLine(text));
    // Errors of built-in functions are shown while their code still runs: stop there.
    if (stop_on_errors_ && !in_error_ && !ending_ && !stopped_) {
        in_error_ = true;
        frames_ = runner_.GetRuntime().DebugFrames();
        StopHere("exception", OneLine(text));
        frames_.clear();
    }
    return false;
}

bool Debugger::OnDebugMessage(const std::string& text) {
    if (busy_) return false;
    if (!face_) return false;
    face_->Output("stdout", GameTextToUtf8(text));
    return face_->TakesMessages();
}

void Debugger::OnStepDone() {
    if (face_) face_->Poll();
    if (ending_) return;
    if (mode_ == Mode::kPause || mode_ == Mode::kOut) runner_.Loop().PauseGame();
}

void Debugger::OnPaused() {
    frames_.clear();
    StopHere(mode_ == Mode::kOut ? "step" : "pause", "");
}

void Debugger::StopHere(const std::string& reason, const std::string& text) {
    entry_ = false;
    children_.clear();
    resume_ = Mode::kRun;
    if (face_) {
        stopped_ = true;
        face_->WhileStopped(reason, text);
        stopped_ = false;
    }
    children_.clear();
    AfterStop();
}

void Debugger::AfterStop() {
    GameLoop& loop = runner_.Loop();
    const bool in_code = !frames_.empty();
    mode_ = resume_;
    arm_all_ =
        mode_ == Mode::kIn || mode_ == Mode::kOver || mode_ == Mode::kOut || mode_ == Mode::kPause;
    // Between steps there is no frame to step over or out of: the next statement stops.
    if (!in_code && (mode_ == Mode::kOver || mode_ == Mode::kOut)) mode_ = Mode::kIn;
    start_depth_ = frames_.size();
    if (mode_ == Mode::kStop) {
        arm_all_ = false;
        ending_ = true;
        if (in_code) {
            if (runner_.RoomRequest() == kNoRoomRequest) runner_.SetRoomRequest(kRequestEnd);
        } else {
            loop.StopGame();
        }
    } else if (!in_code) {
        loop.ResumeGame();
    }
    ++generation_;
    ArmActive();
}

// ---- Controls ---------------------------------------------------------------------------------

void Debugger::Pause() {
    if (stopped_ || ending_) return;
    mode_ = Mode::kPause;
    arm_all_ = true;
    ++generation_;
    ArmActive();
}

void Debugger::Continue() {
    resume_ = Mode::kRun;
}
void Debugger::StepOver() {
    resume_ = Mode::kOver;
}
void Debugger::StepIn() {
    resume_ = Mode::kIn;
}
void Debugger::StepOut() {
    resume_ = Mode::kOut;
}
void Debugger::Stop() {
    resume_ = Mode::kStop;
    if (!stopped_) {
        // While running: the game ends after this step.
        mode_ = Mode::kStop;
        ending_ = true;
        arm_all_ = false;
        if (runner_.RoomRequest() == kNoRoomRequest) runner_.SetRoomRequest(kRequestEnd);
    }
}

// ---- Inspection -------------------------------------------------------------------------------

std::string Debugger::Show(const RValue& v) {
    if (v.IsString()) return "\"" + GameTextToUtf8(v.Str()) + "\"";
    double r = v.real;
    char buf[64];
    if (std::isfinite(r) && r == std::floor(r) && std::fabs(r) < 1e15)
        std::snprintf(buf, sizeof buf, "%lld", (long long)r);
    else
        std::snprintf(buf, sizeof buf, "%.10g", r);
    return buf;
}

std::vector<StackEntry> Debugger::Stack() {
    std::vector<StackEntry> out;
    Runtime& rt = runner_.GetRuntime();
    if (frames_.empty()) {
        GameLoop& loop = runner_.Loop();
        out.push_back({"step " + std::to_string(loop.StepCount()) + " of room " +
                           std::string(runner_.Game().rooms.Name(loop.RoomIndex())),
                       "", 0});
        return out;
    }
    for (size_t i = frames_.size(); i-- > 0;) {
        const DebugFrame& f = frames_[i];
        StackEntry e;
        if (f.script >= 0)
            e.name = rt.ScriptName(f.script);
        else
            e.name = rt.Host().EventName(rt.Event()) + " of " + rt.Host().OwnerName(rt.Event());
        const int32_t src = SourceOf(*f.proto);
        if (src >= 0) e.source = sources_[size_t(src)].path;
        e.line = LineAt(*f.proto, f.at);
        out.push_back(e);
    }
    return out;
}

int64_t Debugger::AddChildren(const std::string& name, const RValue& scalar,
                              const ArrayRows& rows) {
    Child c;
    c.names.push_back(name + "[0]");
    c.values.push_back(scalar);
    for (size_t i = 0; i < rows.size(); ++i)
        for (size_t j = 0; j < rows[i].size(); ++j) {
            if (i == 0 && j == 0) continue;
            c.names.push_back(i == 0
                                  ? name + "[" + std::to_string(j) + "]"
                                  : name + "[" + std::to_string(i) + "," + std::to_string(j) + "]");
            c.values.push_back(rows[i][j]);
        }
    children_.push_back(std::move(c));
    return int64_t(children_.size());
}

std::vector<VariableEntry> Debugger::Entries(const std::vector<std::string>& names,
                                             const std::vector<RValue>& values,
                                             const std::vector<const ArrayRows*>& rows) {
    std::vector<VariableEntry> out;
    for (size_t i = 0; i < names.size(); ++i) {
        VariableEntry e;
        e.name = names[i];
        const ArrayRows* r = i < rows.size() ? rows[i] : nullptr;
        if (r && !r->empty()) {
            e.type = "array";
            e.children = AddChildren(names[i], values[i], *r);
            e.value = Show(values[i]) + " (array)";
        } else {
            e.type = values[i].IsString() ? "string" : "real";
            e.value = Show(values[i]);
        }
        out.push_back(std::move(e));
    }
    return out;
}

std::vector<VariableEntry> Debugger::Locals(int32_t frame) {
    if (frame < 0 || size_t(frame) >= frames_.size()) return {};
    const DebugFrame& f = frames_[frames_.size() - 1 - size_t(frame)];
    Runtime& rt = runner_.GetRuntime();
    std::vector<std::string> names;
    std::vector<RValue> values;
    for (uint32_t i = 0; i < f.proto->nlocals && i < f.proto->local_ids.size(); ++i) {
        if (f.registers[i].kind == kUnsetKind) continue;
        names.push_back(rt.Names().Name(f.proto->local_ids[i]));
        values.push_back(f.registers[i]);
    }
    return Entries(names, values, {});
}

std::vector<VariableEntry> Debugger::Arguments(int32_t frame) {
    if (frame < 0 || size_t(frame) >= frames_.size()) return {};
    const DebugFrame& f = frames_[frames_.size() - 1 - size_t(frame)];
    std::vector<std::string> names;
    std::vector<RValue> values;
    for (int32_t i = 0; i < f.argc && f.args; ++i) {
        names.push_back("argument" + std::to_string(i));
        values.push_back(f.args[i]);
    }
    return Entries(names, values, {});
}

ScriptInstance* Debugger::SelfOf(int32_t frame) {
    if (frame < 0 || size_t(frame) >= frames_.size()) return nullptr;
    return frames_[frames_.size() - 1 - size_t(frame)].self;
}

ScriptInstance* Debugger::OtherOf(int32_t frame) {
    if (frame < 0 || size_t(frame) >= frames_.size()) return nullptr;
    return frames_[frames_.size() - 1 - size_t(frame)].other;
}

std::vector<VariableEntry> Debugger::InstanceVariables(ScriptInstance* inst) {
    if (!inst) return {};
    Runtime& rt = runner_.GetRuntime();
    std::vector<std::string> names;
    std::vector<RValue> values;
    std::vector<const ArrayRows*> rows;
    busy_ = true;
    for (const char* name : kInstanceBuiltins) {
        const int32_t id = rt.FindBuiltinVariable(name);
        RValue v;
        if (id < 0 || !rt.ReadInstanceVariable(inst, id, 0, v)) continue;
        names.push_back(name);
        values.push_back(v);
        rows.push_back(nullptr);
    }
    // The alarms as one array.
    ArrayRows alarms(1);
    RValue alarm0;
    const int32_t alarm_id = rt.FindBuiltinVariable("alarm");
    for (int32_t a = 0; alarm_id >= 0 && a < kAlarms; ++a) {
        RValue v;
        rt.ReadInstanceVariable(inst, alarm_id, a, v);
        if (a == 0) alarm0 = v;
        alarms[0].push_back(v);
    }
    busy_ = false;
    eval_error_.clear();
    if (alarm_id >= 0) {
        names.push_back("alarm");
        values.push_back(alarm0);
        rows.push_back(&alarms);
    }
    for (int32_t i = 0; i < inst->vars.Count(); ++i) {
        const RVariable& v = inst->vars.Item(i);
        names.push_back(rt.Names().Name(v.id));
        values.push_back(v.value);
        rows.push_back(&v.rows);
    }
    return Entries(names, values, rows);
}

std::vector<VariableEntry> Debugger::Globals() {
    Runtime& rt = runner_.GetRuntime();
    std::vector<std::string> names;
    std::vector<RValue> values;
    std::vector<const ArrayRows*> rows;
    const CVariableList& list = rt.Globals().List();
    for (int32_t i = 0; i < list.Count(); ++i) {
        const RVariable& v = list.Item(i);
        names.push_back(rt.Names().Name(v.id));
        values.push_back(v.value);
        rows.push_back(&v.rows);
    }
    busy_ = true;
    rt.Host().WithTemporaryInstance([&](ScriptInstance& temp) {
        for (const char* name : kGlobalBuiltins) {
            const int32_t id = rt.FindBuiltinVariable(name);
            RValue v;
            if (id < 0 || !rt.ReadInstanceVariable(&temp, id, 0, v)) continue;
            names.push_back(name);
            values.push_back(v);
            rows.push_back(nullptr);
        }
    });
    busy_ = false;
    eval_error_.clear();
    return Entries(names, values, rows);
}

std::vector<VariableEntry> Debugger::Children(int64_t children) {
    if (children <= 0 || size_t(children) > children_.size()) return {};
    const Child c = children_[size_t(children - 1)];
    return Entries(c.names, c.values, {});
}

std::vector<Debugger::InstanceRow> Debugger::Instances() {
    std::vector<InstanceRow> out;
    InstanceList& list = runner_.Instances();
    for (int32_t i = 0; i < list.Count(); ++i) {
        CInstance* inst = list.At(i);
        if (!inst || inst->deleted) continue;
        out.push_back(
            InstanceRow{inst->id, std::string(runner_.Game().objects.Name(inst->object_index)),
                        inst->X(), inst->Y(), inst->depth, inst->SpriteIndex(), inst->image_index});
    }
    return out;
}

ScriptInstance* Debugger::FindInstance(int32_t id) {
    ScriptInstance* inst = runner_.GetRuntime().Host().FindInstance(id);
    return inst && !inst->deleted ? inst : nullptr;
}

// ---- Evaluation and changes -------------------------------------------------------------------

bool Debugger::Evaluate(const std::string& text_utf8, int32_t frame, int32_t instance_id,
                        RValue& result, std::string& error, bool statements) {
    Runtime& rt = runner_.GetRuntime();
    const std::string text = Utf8ToGameText(Trim(text_utf8));
    if (text.empty()) {
        error = "Nothing to evaluate.";
        return false;
    }
    ScriptInstance* self = nullptr;
    ScriptInstance* other = nullptr;
    const DebugFrame* f = frame >= 0 && size_t(frame) < frames_.size()
                              ? &frames_[frames_.size() - 1 - size_t(frame)]
                              : nullptr;
    if (instance_id != 0) {
        self = other = FindInstance(instance_id);
        if (!self) {
            error = "There is no instance " + std::to_string(instance_id) + ".";
            return false;
        }
    } else if (f) {
        self = f->self;
        other = f->other;
        // A `var` local or an argument of the frame by its name.
        if (IsName(text)) {
            const int32_t id = rt.Names().Find(text);
            for (uint32_t i = 0; id >= 0 && i < f->proto->nlocals && i < f->proto->local_ids.size();
                 ++i) {
                if (f->proto->local_ids[i] != id) continue;
                if (f->registers[i].kind == kUnsetKind) {
                    error = "Unknown variable " + text;
                    return false;
                }
                result = f->registers[i];
                return true;
            }
            if (text.starts_with("argument") && text.size() > 8 && f->args) {
                const int32_t k = std::atoi(text.c_str() + 8);
                if (k >= 0 && k < f->argc && text == "argument" + std::to_string(k)) {
                    result = f->args[k];
                    return true;
                }
            }
        }
    }

    std::string code_text = text;
    if (f) {
        std::vector<std::string> names;
        std::vector<RValue> values;
        for (uint32_t i = 0; i < f->proto->nlocals && i < f->proto->local_ids.size(); ++i) {
            if (f->registers[i].kind == kUnsetKind) continue;
            names.push_back(rt.Names().Name(f->proto->local_ids[i]));
            values.push_back(f->registers[i]);
        }
        for (int32_t k = 0; f->args && k < f->argc; ++k) {
            names.push_back("argument" + std::to_string(k));
            values.push_back(f->args[k]);
        }
        code_text = WithFrameValues(text, names, values);
    }

    // The runtime's pending error and event context belong to the stopped game.
    const bool had_error = rt.ErrorPending();
    const std::string saved_error = rt.ErrorText();
    const EventContext saved_event = rt.Event();
    busy_ = true;
    eval_error_.clear();
    bool ok = false;
    // A line of code execution is statements first (`a = 1` assigns); a watch is an expression
    // first (`a = 1` compares). The error shown is that of the first reading.
    std::unique_ptr<CCode> code;
    std::string first_error;
    for (bool expression : {!statements, statements}) {
        code = std::make_unique<CCode>(code_text, expression);
        if (code->Compile(rt)) break;
        if (first_error.empty()) first_error = rt.ErrorText();
        rt.ClearError();
        code.reset();
    }
    if (!code) error = OneLine(first_error);
    if (code) {
        result.SetReal(0);
        auto run = [&](ScriptInstance* s, ScriptInstance* o) {
            ok = rt.Execute(*code, s, o, result);
            if (!ok) error = OneLine(rt.ErrorText());
        };
        if (self)
            run(self, other ? other : self);
        else
            rt.Host().WithTemporaryInstance([&](ScriptInstance& temp) { run(&temp, &temp); });
        if (ok && !eval_error_.empty()) {
            ok = false;
            error = eval_error_;
        }
    }
    busy_ = false;
    eval_error_.clear();
    rt.Event() = saved_event;
    rt.ClearError();
    if (had_error) rt.SetPendingError(saved_error);
    return ok;
}

bool Debugger::SetVariable(const std::string& scope, int32_t frame, const std::string& name,
                           const std::string& value_text, std::string& error, std::string& shown) {
    Runtime& rt = runner_.GetRuntime();
    RValue v;
    if (!Evaluate(value_text, frame, 0, v, error)) return false;
    shown = Show(v);
    const DebugFrame* f = frame >= 0 && size_t(frame) < frames_.size()
                              ? &frames_[frames_.size() - 1 - size_t(frame)]
                              : nullptr;
    const std::string game_name = Utf8ToGameText(name);
    if (scope == "local") {
        const int32_t id = rt.Names().Find(game_name);
        for (uint32_t i = 0; f && id >= 0 && i < f->proto->nlocals; ++i)
            if (f->proto->local_ids[i] == id) {
                f->registers[i] = v;
                return true;
            }
        error = "There is no local variable " + name + ".";
        return false;
    }
    if (scope == "argument") {
        const int32_t k = name.size() > 8 ? std::atoi(name.c_str() + 8) : -1;
        if (!f || !f->args || k < 0 || k >= f->argc) {
            error = "There is no argument " + name + ".";
            return false;
        }
        f->args[k] = v;
        return true;
    }
    if (name.find('[') != std::string::npos) {
        error = "Array elements are changed with code, as in " + name + " = value.";
        return false;
    }
    const int32_t builtin = rt.FindBuiltinVariable(game_name);
    if (builtin >= 0 && !rt.BuiltinVariableAt(builtin)->writable) {
        error = "Variable " + name + " is read-only.";
        return false;
    }
    ScriptInstance* inst = nullptr;
    if (scope == "self")
        inst = SelfOf(frame);
    else if (scope == "other")
        inst = OtherOf(frame);
    else if (scope != "global")
        inst = FindInstance(std::atoi(scope.c_str()));
    bool ok = true;
    busy_ = true;
    eval_error_.clear();
    if (scope == "global") {
        if (builtin >= 0)
            rt.Host().WithTemporaryInstance(
                [&](ScriptInstance& temp) { ok = rt.WriteInstanceVariable(&temp, builtin, 0, v); });
        else
            rt.Globals().List().SetVar(rt.Names().Intern(game_name), 0, v);
    } else if (!inst) {
        error = "There is no such instance.";
        ok = false;
    } else if (builtin >= 0) {
        ok = rt.WriteInstanceVariable(inst, builtin, 0, v);
    } else {
        inst->vars.SetVar(rt.Names().Intern(game_name), 0, v);
    }
    busy_ = false;
    if (ok && !eval_error_.empty()) ok = false;
    if (!ok && error.empty()) error = eval_error_.empty() ? "The value was refused." : eval_error_;
    eval_error_.clear();
    rt.ClearError();
    return ok;
}

}  // namespace kr

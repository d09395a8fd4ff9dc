// The interpreter of the register code: frames on a segmented register stack, script calls
// made inside one dispatch loop (no native recursion per script call), the `with` states, and
// the error unwinding that prefixes "In script NAME:" for every script frame it leaves.
#pragma once

#include <csignal>
#include <cstdint>
#include <memory>
#include <vector>

#include "code/Bytecode.h"
#include "code/DebugHook.h"
#include "code/Runtime.h"
#include "code/Variables.h"

namespace kr {

class Vm {
public:
    explicit Vm(Runtime& rt);
    ~Vm();

    // Runs a lowered code for (self, other) into `result`; `script` is the script index the
    // code belongs to (-1 for other code), which names it when an error unwinds.
    bool Execute(const CCode& code, ScriptInstance* self, ScriptInstance* other, RValue& result,
                 int32_t script);

    // Work allowed per outermost execution (loop rounds, calls, array growth); unlimited by
    // default. Running out is the run-time error "Execution step limit reached.".
    void SetStepLimit(int64_t steps) { step_limit_ = steps; }
    // A flag polled on backward jumps and calls (every 65536 of them): once it is not zero,
    // running code stops with the run-time error "Execution was interrupted.".
    void SetInterrupt(const volatile std::sig_atomic_t* flag) { interrupt_ = flag; }
    // The frames of running code, outermost first.
    std::vector<DebugFrame> DebugFrames() const;

private:
    struct WithState {
        ScriptInstance* saved_self;
        ScriptInstance* saved_other;
        int32_t mode;  // 0 one target, 1 all instances, 2 the family of an object
        int32_t object;
        int32_t count;
        int32_t index;
    };
    // One activation. Frames live in one array allocated once for the deepest nesting allowed,
    // so a pointer to a frame stays valid while code runs above it.
    struct Frame {
        const Proto* proto;
        Instr* pc;  // the call being made, while a callee runs
        RValue* base;
        ScriptInstance* self;
        ScriptInstance* other;
        RValue* result;
        RValue* saved_slots;  // the caller's argument frame (in-loop script calls)
        int32_t saved_live;
        int32_t argc;  // arguments passed by an in-loop script call
        int32_t script;
        uint32_t seg;  // register stack position to return to
        uint32_t top;
        uint32_t with_base;
        uint32_t larr_base;
        // Returns to the native caller; otherwise an in-loop script call, whose caller gets its
        // arguments back when it returns.
        bool entry;
        bool strings;               // a temporary register may hold a string or an unset value
        CVariableList* dyn_locals;  // owned: locals reached only at run time by id
    };
    struct Segment {
        std::unique_ptr<RValue[]> data;
        uint32_t size;
    };
    struct FreeDeleter {
        void operator()(void* p) const;
    };

    // The first frame of an execution on top: its registers (locals unset), its fields, its
    // with slots and local arrays. An in-loop script call sets up its frame in the loop.
    Frame* PushFrame(const Proto* proto, ScriptInstance* self, ScriptInstance* other,
                     RValue* result, int32_t script);
    void PushExtras(Frame& f);
    void PopFrame();
    bool Run();

    // Slow paths, kept out of the loop.
    void Raise(Frame& f, const Instr* pc, int32_t pos, std::string_view msg);
    bool ResolveUnset(Frame& f, const Instr* pc, uint16_t reg, int32_t pos, RValue& out);
    bool BinarySlow(Frame& f, Instr* pc, RValue* R, const RValue* K);
    bool UnarySlow(Frame& f, Instr* pc, RValue* R);
    int CompareSlow(Frame& f, Instr* pc, RValue* R, const RValue* K);  // 1, 0, -1 error
    bool ReadLocalById(Frame& f, int32_t id, int32_t index, RValue& out);
    bool WriteLocalById(Frame& f, int32_t id, int32_t index, const RValue& v);
    void UnknownVariable(Frame& f, const Instr* pc, int32_t id, int32_t index);
    bool WithBegin(Frame& f, Instr* pc, RValue* R);
    bool FusedOperand(const Frame& f, const RValue* R, const Instr& cmp, bool builtin, double& v,
                      int at = 1);
    bool WithAdvance(Frame& f, WithState& w);
    int64_t IndexSlow(Frame& f, const Instr* pc, uint16_t reg, int32_t pos);
    ArrayRows& LocalRows(Frame& f, uint16_t reg);

    // Registers of a new frame: the current segment, or the next one (made when missing).
    RValue* AllocRegisters(uint32_t need) {
        if (top_ + need > seg_size_) NextSegment(need);
        RValue* base = seg_data_ + top_;
        top_ += need;
        return base;
    }
    void NextSegment(uint32_t need);
    void SetSegment(uint32_t seg);
    // Releases what a frame holds and returns its registers; the frame count is not changed.
    void ReleaseFrame(Frame& f);
    void ReleaseExtras(Frame& f);
    static void ClearRegisters(RValue* b, uint32_t n);

    Runtime& rt_;
    std::unique_ptr<Frame[], FreeDeleter> frames_;
    uint32_t nframes_ = 0;
    std::vector<Segment> segs_;
    uint32_t seg_ = 0;
    uint32_t top_ = 0;
    RValue* seg_data_ = nullptr;
    uint32_t seg_size_ = 0;
    std::vector<WithState> withs_;
    std::vector<std::unique_ptr<ArrayRows>> larr_;
    int native_depth_ = 0;
    int64_t step_limit_ = INT64_MAX;
    // The work left is steps_ + reserve_: steps_ counts down in the loop, and is refilled from
    // the reserve in slices so that the interrupt flag is polled between them.
    int64_t steps_ = INT64_MAX;
    int64_t reserve_ = 0;
    const volatile std::sig_atomic_t* interrupt_ = nullptr;
    bool interrupted_ = false;
    // Called when steps_ ran below 0: false when the work is used up or the flag is set.
    bool Refill();
};

}  // namespace kr

// The dispatch loop. Hot state (pc, frame, registers) lives in locals; the real-number path
// of every operator comes first and everything else (strings, unset locals, errors) leaves the
// loop for a slow-path function. Calls that may run other code or touch the frame stack
// (built-in functions, getters, setters) are wrapped in PROTECT, which saves pc first and
// reloads the frame pointer after.
//
// Script calls push a frame of a fixed array and run in the same loop; the callee's result goes
// straight to the caller's destination register. Registers above the running frames are kept
// real and string-free; a frame notes when a string (or an unset value) may have reached its
// temporaries, and only then clears them all when it ends.
#include "code/Vm.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "code/Code.h"
#include "code/Operators.h"

#define KR_LIKELY(x) __builtin_expect(!!(x), 1)
#define KR_UNLIKELY(x) __builtin_expect(!!(x), 0)
#define KR_ALWAYS_INLINE inline __attribute__((always_inline))

namespace kr {

namespace {

// Registers per segment of the register stack; deeper nesting moves on to further segments.
// The first is small: most runs never go beyond it, and every run pays for making it.
constexpr uint32_t kFirstSegmentSize = 1 << 10;
constexpr uint32_t kSegmentSize = 1 << 14;
constexpr const char* kTooDeep = "Stack overflow: script calls nested too deeply.";

// ORDER OP
constexpr int32_t kBinaryToken[] = {
    kTokPlus,      kTokMinus,  kTokStar,      kTokSlash,        kTokDiv,
    kTokMod,       kTokAnd,    kTokOr,        kTokXor,          kTokBitOr,
    kTokBitAnd,    kTokBitXor, kTokShiftLeft, kTokShiftRight,   kTokLess,
    kTokLessEqual, kTokEqual,  kTokNotEqual,  kTokGreaterEqual, kTokGreater,
};
constexpr int32_t kCompareToken[] = {kTokLess,     kTokLessEqual,    kTokEqual,
                                     kTokNotEqual, kTokGreaterEqual, kTokGreater};

inline void Assign(RValue& dst, const RValue& src) {
    if (src.kind == RValue::kReal && dst.kind != RValue::kString) {
        dst.kind = RValue::kReal;
        dst.real = src.real;
    } else {
        dst = src;
    }
}

inline double Bool(bool b) {
    return b ? 1.0 : 0.0;
}
// The number forms of <, <=, >= and > hold a threshold (CompareThreshold) instead of the number.
inline bool AtMost(double a, double t) {
    return a <= t;
}
inline bool AtLeast(double a, double t) {
    return a >= t;
}
inline int32_t ClampOwner(double v) {
    int64_t w = RoundToInt64(v);
    if (w > INT32_MAX) return INT32_MAX;
    if (w < INT32_MIN) return INT32_MIN;
    return int32_t(w);
}

}  // namespace

void Vm::FreeDeleter::operator()(void* p) const {
    std::free(p);
}

Vm::Vm(Runtime& rt) : rt_(rt) {
    // Untouched pages of the frame array cost nothing; Frame is plain data.
    void* mem = std::malloc(sizeof(Frame) * size_t(Runtime::kMaxScriptDepth));
    if (!mem) throw std::bad_alloc();
    frames_.reset(static_cast<Frame*>(mem));
    segs_.push_back(Segment{std::make_unique<RValue[]>(kFirstSegmentSize), kFirstSegmentSize});
    SetSegment(0);
}

Vm::~Vm() = default;

void Vm::SetSegment(uint32_t seg) {
    seg_ = seg;
    seg_data_ = segs_[seg].data.get();
    seg_size_ = segs_[seg].size;
}

void Vm::NextSegment(uint32_t need) {
    uint32_t next = seg_ + 1;
    uint32_t size = need > kSegmentSize ? need : kSegmentSize;
    if (next == segs_.size())
        segs_.push_back(Segment{std::make_unique<RValue[]>(size), size});
    else if (segs_[next].size < need)
        segs_[next] = Segment{std::make_unique<RValue[]>(size), size};
    SetSegment(next);
    top_ = 0;
}

Vm::Frame* Vm::PushFrame(const Proto* proto, ScriptInstance* self, ScriptInstance* other,
                         RValue* result, int32_t script) {
    const uint32_t seg = seg_, top = top_;
    RValue* base = AllocRegisters(proto->nregs);
    for (uint32_t i = 0, n = proto->nlocals; i < n; ++i) base[i].kind = kUnsetKind;
    Frame& f = frames_[nframes_++];
    f.proto = proto;
    f.pc = nullptr;  // the frame gets its pc when it calls in turn
    f.base = base;
    f.self = self;
    f.other = other;
    f.result = result;
    f.saved_slots = nullptr;
    f.saved_live = 0;
    f.argc = 0;
    f.script = script;
    f.seg = seg;
    f.top = top;
    f.entry = true;
    f.strings = false;
    f.dyn_locals = nullptr;
    // with_base and larr_base are read only for a proto with extras.
    if (KR_UNLIKELY(proto->has_extras)) PushExtras(f);
    return &f;
}

void Vm::PushExtras(Frame& f) {
    const Proto* p = f.proto;
    f.with_base = uint32_t(withs_.size());
    f.larr_base = uint32_t(larr_.size());
    if (p->nwith) withs_.resize(withs_.size() + p->nwith);
    if (p->local_arrays) larr_.resize(larr_.size() + p->nlocals);
}

// Registers above the frames are kept real (and string-free): a new frame finds its temporaries
// clean. Most frames end with nothing to clear, which one pass over the kinds shows.
void Vm::ClearRegisters(RValue* b, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i) {
        if (b[i].kind == RValue::kString) StrRep::Release(b[i].rep);
        b[i].kind = RValue::kReal;
    }
}

void Vm::ReleaseExtras(Frame& f) {
    if (f.proto->nwith) withs_.resize(f.with_base);
    if (f.proto->local_arrays) larr_.resize(f.larr_base);
    delete f.dyn_locals;
    f.dyn_locals = nullptr;
}

KR_ALWAYS_INLINE void Vm::ReleaseFrame(Frame& f) {
    const Proto* p = f.proto;
    if (!f.entry) {
        // An in-loop script call. The arguments are the caller's registers: a string written there
        // marks the caller; those written beyond the ones passed went to its spare registers and
        // are cleared.
        ArgFrame& a = rt_.args_;
        if (!p->args_stable) {
            int32_t kinds = 0;
            for (int32_t i = 0; i < f.argc; ++i) kinds |= a.slots[i].kind;
            if (kinds != 0) (&f)[-1].strings = true;
            for (int32_t i = f.argc; i < a.live; ++i) a.slots[i].SetReal(0.0);
        }
        a.slots = f.saved_slots;
        a.live = f.saved_live;
    }
    // Locals may be left unset or hold strings; temporaries only when the frame was marked.
    RValue* b = f.base;
    if (f.strings) {
        ClearRegisters(b, p->nused);
    } else {
        int32_t kinds = 0;
        for (uint32_t i = 0, n = p->nlocals; i < n; ++i) kinds |= b[i].kind;
        if (KR_UNLIKELY(kinds != 0)) ClearRegisters(b, p->nlocals);
    }
    if (KR_UNLIKELY(p->has_extras || f.dyn_locals)) ReleaseExtras(f);
    if (KR_UNLIKELY(f.seg != seg_)) SetSegment(f.seg);
    top_ = f.top;
}

void Vm::PopFrame() {
    ReleaseFrame(frames_[nframes_ - 1]);
    --nframes_;
}

bool Vm::Refill() {
    constexpr int64_t kSlice = 65536;
    if (interrupt_ && *interrupt_) {
        interrupted_ = true;
        return false;
    }
    while (steps_ < 0 && reserve_ > 0) {
        const int64_t n = std::min(reserve_, kSlice);
        reserve_ -= n;
        steps_ += n;
    }
    return steps_ >= 0;
}

bool Vm::Execute(const CCode& code, ScriptInstance* self, ScriptInstance* other, RValue& result,
                 int32_t script) {
    if (native_depth_ >= Runtime::kMaxNativeDepth ||
        nframes_ >= uint32_t(Runtime::kMaxScriptDepth)) {
        rt_.ReportCodeError(code, 0, kTooDeep);
        return false;
    }
    if (native_depth_ == 0) {
        steps_ = 0;
        reserve_ = step_limit_;
        interrupted_ = false;
    }
    ++native_depth_;
    if (KR_UNLIKELY(rt_.debug_hook_ != nullptr)) rt_.debug_hook_->OnEnter(*code.GetProto());
    PushFrame(code.GetProto(), self, other, &result, script);
    bool ok = Run();
    --native_depth_;
    return ok;
}

std::vector<DebugFrame> Vm::DebugFrames() const {
    std::vector<DebugFrame> out(nframes_);
    // Each in-loop call keeps its caller's arguments; the innermost frame's are current.
    RValue* args = rt_.args_.slots;
    int32_t argc = rt_.args_.live;
    for (uint32_t i = nframes_; i-- > 0;) {
        const Frame& f = frames_[i];
        DebugFrame& d = out[i];
        d.proto = const_cast<Proto*>(f.proto);
        d.at = f.pc ? uint32_t(f.pc - f.proto->instrs.data()) : 0;
        d.self = f.self;
        d.other = f.other;
        d.registers = f.base;
        d.script = f.script;
        d.args = args;
        d.argc = argc;
        if (!f.entry) {
            args = f.saved_slots;
            argc = f.saved_live;
        }
    }
    return out;
}

void Vm::Raise(Frame& f, const Instr* pc, int32_t pos, std::string_view msg) {
    rt_.ReportCodeError(*f.proto->code, pos, msg);
}

bool Vm::ResolveUnset(Frame& f, const Instr* pc, uint16_t reg, int32_t pos, RValue& out) {
    if (rt_.settings_.uninitialized_as_zero) {
        out.SetReal(0.0);
        return true;
    }
    const InstrPos& ip = f.proto->positions[size_t(pc - f.proto->instrs.data())];
    int32_t id = reg < f.proto->local_ids.size() ? f.proto->local_ids[reg] : 0;
    Raise(f, pc, pos ? pos : ip.pos, "Unknown variable " + rt_.VariableName(id));
    return false;
}

void Vm::UnknownVariable(Frame& f, const Instr* pc, int32_t id, int32_t index) {
    const InstrPos& ip = f.proto->positions[size_t(pc - f.proto->instrs.data())];
    std::string msg = "Unknown variable " + rt_.VariableName(id);
    if (index != 0) msg += " or array index out of bounds";
    Raise(f, pc, ip.pos, msg);
}

bool Vm::BinarySlow(Frame& f, Instr* pc, RValue* R, const RValue* K) {
    const InstrPos& ip = f.proto->positions[size_t(pc - f.proto->instrs.data())];
    if (pc->op == OP_ADD_RR && R[pc->b].IsString() && R[pc->c].IsString() && pc->b != pc->c) {
        // Concatenation without copies of the operands; `s = s + t` on a local and `s += t` on
        // a variable append in place.
        const RValue& left = R[pc->b];
        std::string_view right = R[pc->c].Str();
        if (right.empty()) {
            if (pc->a != pc->b) R[pc->a] = left;
        } else if (left.Str().size() + right.size() > rt_.MaxStringLength()) {
            Raise(f, pc, ip.pos, "String too long.");
            return false;
        } else {
            ConcatInto(R[pc->a], left, right, pc->e == kAppendToVariable);
        }
        return true;
    }
    int rel = (pc->op == OP_MOD_RI ? int(OP_MOD_RN) : int(pc->op)) - OP_ADD_RR;
    int form = rel % 3;
    RValue left = form == 2 ? RValue(Num(*pc)) : R[pc->b];
    RValue right = form == 1 ? RValue(Num(*pc)) : R[pc->c];
    if (left.kind == kUnsetKind && !ResolveUnset(f, pc, pc->b, ip.pos_b, left)) return false;
    if (right.kind == kUnsetKind && !ResolveUnset(f, pc, pc->c, ip.pos_c, right)) return false;
    if (const char* err = ApplyBinary(kBinaryToken[rel / 3], left, right, rt_.MaxStringLength())) {
        Raise(f, pc, ip.pos, err);
        return false;
    }
    R[pc->a] = std::move(left);
    return true;
}

bool Vm::UnarySlow(Frame& f, Instr* pc, RValue* R) {
    const InstrPos& ip = f.proto->positions[size_t(pc - f.proto->instrs.data())];
    RValue v = R[pc->b];
    if (v.kind == kUnsetKind && !ResolveUnset(f, pc, pc->b, ip.pos_b, v)) return false;
    int32_t tok = pc->op == OP_NOT    ? kTokNot
                  : pc->op == OP_NEG  ? kTokMinus
                  : pc->op == OP_BNOT ? kTokBitNot
                                      : kTokPlus;
    if (const char* err = ApplyUnary(tok, v)) {
        Raise(f, pc, ip.pos, err);
        return false;
    }
    R[pc->a] = std::move(v);
    return true;
}

int Vm::CompareSlow(Frame& f, Instr* pc, RValue* R, const RValue* K) {
    const InstrPos& ip = f.proto->positions[size_t(pc - f.proto->instrs.data())];
    int rel = pc->op - OP_JLT_RR_T;
    int form = (rel % 6) / 2;  // 0 RR, 1 RK, 2 RN
    RValue left = R[pc->a];
    RValue right = form == 0 ? R[pc->b] : form == 1 ? K[pc->c] : RValue(Num(*pc));
    if (left.kind == kUnsetKind && !ResolveUnset(f, pc, pc->a, ip.pos_b, left)) return -1;
    const int cmp = rel / 6;  // KR_COMPARE_OPS order
    if (form == 2 && cmp != 2 && cmp != 3 && left.IsReal()) {
        const bool pass = cmp < 2 ? left.real <= right.real : left.real >= right.real;
        return pass ? 1 : 0;
    }
    if (right.kind == kUnsetKind && !ResolveUnset(f, pc, pc->b, ip.pos_c, right)) return -1;
    if (const char* err = ApplyBinary(kCompareToken[rel / 6], left, right)) {
        Raise(f, pc, ip.pos, err);
        return -1;
    }
    return left.real >= 0.5 ? 1 : 0;
}

// The checked array index in register `reg` (an unset local is read as the settings say);
// -1 after an error was reported at `pos`.
int64_t Vm::IndexSlow(Frame& f, const Instr* pc, uint16_t reg, int32_t pos) {
    RValue v = f.base[reg];
    if (v.kind == kUnsetKind && !ResolveUnset(f, pc, reg, pos, v)) return -1;
    const char* err = nullptr;
    int64_t n = 0;
    if (!v.IsReal()) {
        err = "Wrong type of array index";
    } else {
        n = RoundToInt64(v.real);
        if (n < 0)
            err = "Negative array index";
        else if (n >= kArrayDim)
            err = "Array index >= 32000";
    }
    if (err) {
        Raise(f, pc, pos, err);
        return -1;
    }
    return n;
}

ArrayRows& Vm::LocalRows(Frame& f, uint16_t reg) {
    std::unique_ptr<ArrayRows>& rows = larr_[f.larr_base + reg];
    if (!rows) rows = std::make_unique<ArrayRows>();
    return *rows;
}

bool Vm::ReadLocalById(Frame& f, int32_t id, int32_t index, RValue& out) {
    const std::vector<int32_t>& ids = f.proto->local_ids;
    for (size_t r = 0; r < ids.size(); ++r) {
        if (ids[r] != id) continue;
        const RValue& v = f.base[r];
        if (v.kind == kUnsetKind) return false;
        if (index == 0) {
            out = v;
            return true;
        }
        const ArrayRows* rows = f.proto->local_arrays ? larr_[f.larr_base + r].get() : nullptr;
        const RValue* e = rows ? ArrayElement(*rows, index) : nullptr;
        if (!e) return false;
        out = *e;
        return true;
    }
    if (!f.dyn_locals) return false;
    const RValue* v = f.dyn_locals->GetVar(id, index);
    if (!v) return false;
    out = *v;
    return true;
}

bool Vm::WriteLocalById(Frame& f, int32_t id, int32_t index, const RValue& v) {
    const std::vector<int32_t>& ids = f.proto->local_ids;
    for (size_t r = 0; r < ids.size(); ++r) {
        if (ids[r] != id) continue;
        RValue& scalar = f.base[r];
        if (index == 0) {
            scalar = v;
        } else if (f.proto->local_arrays) {
            if (scalar.kind == kUnsetKind) scalar.SetReal(0.0);
            ArrayElementForWrite(LocalRows(f, uint16_t(r)), index) = v;
        } else {
            break;  // this local never takes an index in the source: keep its rows aside
        }
        return true;
    }
    if (!f.dyn_locals) f.dyn_locals = new CVariableList();
    f.dyn_locals->SetVar(id, index, v);
    return true;
}

bool Vm::WithAdvance(Frame& f, WithState& w) {
    ScriptHost& host = rt_.Host();
    while (++w.index < w.count) {
        ScriptInstance* inst =
            w.mode == 1 ? host.InstanceAt(w.index) : host.FamilyAt(w.object, w.index);
        if (inst && !inst->deleted) {
            f.self = inst;
            f.other = w.saved_self;
            return true;
        }
    }
    return false;
}

// 1: the body runs for the first target, 0: no target, -1: error.
bool Vm::WithBegin(Frame& f, Instr* pc, RValue* R) {
    const InstrPos& ip = f.proto->positions[size_t(pc - f.proto->instrs.data())];
    const RValue& o = R[pc->a];
    if (o.IsString()) {
        Raise(f, pc, ip.pos, "Object id expected");
        return false;
    }
    int32_t w = ClampOwner(o.real);
    if (w == kOwnerLocal) {
        Raise(f, pc, ip.pos, "Cannot use local in with statement.");
        return false;
    }
    if (w == kOwnerGlobal) {
        Raise(f, pc, ip.pos, "Cannot use global in with statement.");
        return false;
    }
    return true;
}

// The left operand of comparison `cmp` (or, with `at` 0, of the built-in read `cmp` itself):
// the built-in read just before it when `builtin`, else its register. False when reading it
// could fail or give no real: the instructions then run one by one.
KR_ALWAYS_INLINE bool Vm::FusedOperand(const Frame& f, const RValue* R, const Instr& cmp,
                                       bool builtin, double& v, int at) {
    if (!builtin) {
        const RValue& r = R[cmp.b];
        v = r.real;
        return r.kind == RValue::kReal;
    }
    const Instr& get = (&cmp)[-at];
    const BuiltinVariable& bv = rt_.builtin_vars_[size_t(get.d)];
    const ScriptInstance* s = get.e ? f.other : f.self;
    if (bv.field < 0 || s == nullptr) return false;
    std::memcpy(&v, reinterpret_cast<const char*>(s) + bv.field, sizeof v);
    return true;
}

bool Vm::Run() {
    static void* const kLabels[] = {
#define KR_L_OP(name) &&L_##name,
        KR_OPCODES(KR_L_OP)
#define KR_L_BIN(name) &&L_##name##_RR, &&L_##name##_RN, &&L_##name##_NR,
            KR_BINARY_OPS(KR_L_BIN)
#define KR_L_CMPJ(name)                                                             \
    &&L_J##name##_RR_T, &&L_J##name##_RR_F, &&L_J##name##_RK_T, &&L_J##name##_RK_F, \
        &&L_J##name##_RN_T, &&L_J##name##_RN_F,
                KR_COMPARE_OPS(KR_L_CMPJ)
#undef KR_L_OP
#undef KR_L_BIN
#undef KR_L_CMPJ
    };
    static_assert(sizeof(kLabels) / sizeof(kLabels[0]) == OP_COUNT_);

    Frame* fr = &frames_[nframes_ - 1];
    Instr* pc = const_cast<Instr*>(fr->proto->instrs.data());
    RValue* R = fr->base;
    // The proto and its constants are reached through the frame (used off the hot paths), so
    // that the registers of the machine go to pc, the frame and its registers.
#define P (fr->proto)
#define K (fr->proto->k.data())
    int32_t miss_index = 0;
    // The one scratch value of the loop: a value with a destructor may not live in a block
    // that an indirect jump leaves.
    RValue tmp;

    // Writes to the frame's registers: a string (or an unset value) among them marks the frame,
    // whose registers are then cleared when it ends.
#define ASSIGN(dst, src)                                                         \
    do {                                                                         \
        RValue& d_ = (dst);                                                      \
        const RValue& s_ = (src);                                                \
        if (KR_LIKELY(s_.kind == RValue::kReal && d_.kind != RValue::kString)) { \
            d_.kind = RValue::kReal;                                             \
            d_.real = s_.real;                                                   \
        } else {                                                                 \
            fr->strings = true;                                                  \
            d_ = s_;                                                             \
        }                                                                        \
    } while (0)
#define PUT(dst)                                           \
    do {                                                   \
        if (tmp.kind != RValue::kReal) fr->strings = true; \
        (dst) = std::move(tmp);                            \
    } while (0)
#define DISPATCH() goto* kLabels[pc->op]
#define NEXT()      \
    do {            \
        ++pc;       \
        DISPATCH(); \
    } while (0)
#define JUMP()                                                                   \
    do {                                                                         \
        int32_t d_ = pc->d;                                                      \
        if (d_ < 0 && KR_UNLIKELY(--steps_ < 0) && !Refill()) goto out_of_steps; \
        pc += d_ + 1;                                                            \
        DISPATCH();                                                              \
    } while (0)
#define JUMPC()                                                                  \
    do {                                                                         \
        int32_t d_ = int16_t(pc->c);                                             \
        if (d_ < 0 && KR_UNLIKELY(--steps_ < 0) && !Refill()) goto out_of_steps; \
        pc += d_ + 1;                                                            \
        DISPATCH();                                                              \
    } while (0)
// JUMPC for a jump known to go back (the test of a fused loop step).
#define JUMPC_BACK()                                                   \
    do {                                                               \
        int32_t d_ = int16_t(pc->c);                                   \
        if (KR_UNLIKELY(--steps_ < 0) && !Refill()) goto out_of_steps; \
        pc += d_ + 1;                                                  \
        DISPATCH();                                                    \
    } while (0)
#define RAISE(msg)                                                            \
    do {                                                                      \
        fr->pc = pc;                                                          \
        Raise(*fr, pc, P->positions[size_t(pc - P->instrs.data())].pos, msg); \
        goto unwind;                                                          \
    } while (0)
#define RELOAD()                     \
    do {                             \
        fr = &frames_[nframes_ - 1]; \
        R = fr->base;                \
    } while (0)
// Around anything that may run other code (built-in functions, accessors, extension calls):
// the running instruction is saved for error positions and the frame reloaded after it.
#define PROTECT(call) \
    do {              \
        fr->pc = pc;  \
        call;         \
        RELOAD();     \
    } while (0)

    DISPATCH();

L_NOP:
    NEXT();
L_LOADK:
    ASSIGN(R[pc->a], K[pc->d]);
    NEXT();
L_MOVE : {
    const RValue& b = R[pc->b];
    if (KR_UNLIKELY(b.kind == kUnsetKind)) {
        fr->pc = pc;
        if (!ResolveUnset(*fr, pc, pc->b, P->positions[size_t(pc - P->instrs.data())].pos_b, tmp))
            goto unwind;
        PUT(R[pc->a]);
        NEXT();
    }
    ASSIGN(R[pc->a], b);
    NEXT();
}
L_CHKL:
    if (KR_UNLIKELY(R[pc->a].kind == kUnsetKind) && !rt_.settings_.uninitialized_as_zero) {
        fr->pc = pc;
        ResolveUnset(*fr, pc, pc->a, P->positions[size_t(pc - P->instrs.data())].pos_b, tmp);
        goto unwind;
    }
    NEXT();

#define KR_UNARY(NAME, EXPR)                      \
    L_##NAME : {                                  \
        const RValue& b = R[pc->b];               \
        if (KR_LIKELY(b.kind == RValue::kReal)) { \
            double x = b.real;                    \
            R[pc->a].SetReal(EXPR);               \
            NEXT();                               \
        }                                         \
        fr->pc = pc;                              \
        fr->strings = true;                       \
        if (!UnarySlow(*fr, pc, R)) goto unwind;  \
        NEXT();                                   \
    }
    KR_UNARY(NOT, RealNot(x))
    KR_UNARY(NEG, -x)
    KR_UNARY(BNOT, double(~BitOperand(x)))
    KR_UNARY(UPLUS, x)
#undef KR_UNARY

L_JMP:
    JUMP();
L_JT:
L_JF : {
    const RValue& v = R[pc->a];
    bool truth;
    if (KR_LIKELY(v.kind == RValue::kReal)) {
        truth = v.real >= 0.5;
    } else if (v.kind == kUnsetKind) {
        fr->pc = pc;
        if (!ResolveUnset(*fr, pc, pc->a, P->positions[size_t(pc - P->instrs.data())].pos_b, tmp))
            goto unwind;
        truth = tmp.real >= 0.5;
    } else {
        RAISE(FixedMessageText(pc->c));
    }
    if (truth == (pc->op == OP_JT)) JUMP();
    NEXT();
}

L_IDX1:
L_IDX2 : {
    const RValue& v = R[pc->b];
    // In range as IDXRR checks it (see there).
    int64_t n = FastRound(v.real);
    if (KR_UNLIKELY(v.kind != RValue::kReal || uint64_t(n) >= uint64_t(kArrayDim))) {
        fr->pc = pc;
        n = IndexSlow(*fr, pc, pc->b, P->positions[size_t(pc - P->instrs.data())].pos);
        if (n < 0) goto unwind;
    }
    if (pc->op == OP_IDX1)
        R[pc->a].SetReal(double(n));
    else
        R[pc->a].real = R[pc->a].real * kArrayDim + double(n);
    NEXT();
}
L_IDXRR : {
    const RValue& u = R[pc->b];
    const RValue& v = R[pc->c];
    if (KR_LIKELY((u.kind | v.kind) == 0)) {
        // Rounded first: a real is in [-0.5, 31999.5) exactly when it rounds into [0, 32000)
        // (NaN and reals past the integers round to the lowest integer).
        const uint64_t i = uint64_t(FastRound(u.real)), j = uint64_t(FastRound(v.real));
        if (KR_LIKELY(i < uint64_t(kArrayDim) && j < uint64_t(kArrayDim))) {
            R[pc->a].SetReal(double(int64_t(i * kArrayDim + j)));
            NEXT();
        }
    }
    fr->pc = pc;
    const InstrPos& ip = P->positions[size_t(pc - P->instrs.data())];
    int64_t i = IndexSlow(*fr, pc, pc->b, ip.pos_b);
    if (i < 0) goto unwind;
    int64_t j = IndexSlow(*fr, pc, pc->c, ip.pos_c);
    if (j < 0) goto unwind;
    R[pc->a].SetReal(double(i * kArrayDim + j));
    NEXT();
}
L_IDXGETLA : {
    // Both indexes reals in range and the element there: read in place; anything else (index
    // 0, the scalar, among it) is left to the two instructions.
    const Instr& x_ = pc[1];
    const Instr& g_ = pc[2];
    const RValue& u = R[x_.b];
    const RValue& v = R[x_.c];
    if (KR_LIKELY((u.kind | v.kind) == 0 && R[g_.b].kind != kUnsetKind)) {
        // In range as IDXRR checks it (see there).
        const uint64_t i = uint64_t(FastRound(u.real)), j = uint64_t(FastRound(v.real));
        const ArrayRows* rows = larr_[fr->larr_base + g_.b].get();
        if (KR_LIKELY((i | j) != 0 && i < uint64_t(kArrayDim) && j < uint64_t(kArrayDim) && rows &&
                      i < rows->size() && j < (*rows)[i].size())) {
            ASSIGN(R[g_.a], (*rows)[i][j]);
            pc += 2;
        }
    }
    NEXT();
}
L_OWNER : {
    const RValue& v = R[pc->b];
    if (!v.IsReal()) RAISE("Wrong type of variable index");
    R[pc->a].SetReal(double(ClampOwner(v.real)));
    NEXT();
}

L_GETLA : {
    miss_index = int32_t(R[pc->c].real);
    const RValue& l = R[pc->b];
    if (KR_UNLIKELY(l.kind == kUnsetKind)) goto var_missing;
    if (miss_index == 0) {
        ASSIGN(R[pc->a], l);
        NEXT();
    }
    const ArrayRows* rows = larr_[fr->larr_base + pc->b].get();
    const RValue* e = rows ? ArrayElement(*rows, miss_index) : nullptr;
    if (KR_UNLIKELY(!e)) goto var_missing;
    ASSIGN(R[pc->a], *e);
    NEXT();
}
L_SETLA : {
    int32_t idx = int32_t(R[pc->c].real);
    RValue& l = R[pc->b];
    if (idx == 0) {
        Assign(l, R[pc->a]);
        NEXT();
    }
    if (l.kind == kUnsetKind) l.SetReal(0.0);
    std::unique_ptr<ArrayRows>& up = larr_[fr->larr_base + pc->b];
    if (KR_UNLIKELY(!up)) up = std::make_unique<ArrayRows>();
    ArrayRows& rows = *up;
    // The index comes from the checked index instructions: never negative.
    size_t i = size_t(uint32_t(idx) / kArrayDim), j = size_t(uint32_t(idx) % kArrayDim);
    if (KR_UNLIKELY(rows.size() <= i)) {
        steps_ -= int64_t(i + 1 - rows.size()) / 8;
        rows.resize(i + 1);
    }
    std::vector<RValue>& row = rows[i];
    if (row.size() <= j) {
        // Filling a row in order appends one element at a time.
        if (j == row.size()) {
            row.emplace_back();
        } else {
            steps_ -= int64_t(j + 1 - row.size()) / 8;
            row.resize(j + 1);
        }
    }
    Assign(row[j], R[pc->a]);
    NEXT();
}

L_GETV_IMPL:
L_GETV_SELF:
L_GETV_GLOBAL : {
    const int32_t id = pc->d;
    CVariableList* list;
    if (pc->op == OP_GETV_GLOBAL || (pc->op == OP_GETV_IMPL && rt_.globals_.IsGlobalVar(id)))
        list = &rt_.globals_.List();
    else
        list = &fr->self->vars;
    miss_index = pc->c == kNoReg ? 0 : int32_t(R[pc->c].real);
    if (RVariable* v = list->Find(id, pc->e)) {
        if (miss_index == 0) {
            ASSIGN(R[pc->a], v->value);
            NEXT();
        }
        if (const RValue* e = ArrayElement(v->rows, miss_index)) {
            ASSIGN(R[pc->a], *e);
            NEXT();
        }
    }
    goto var_missing;
}
L_SETV_IMPL:
L_SETV_SELF:
L_SETV_GLOBAL : {
    const int32_t id = pc->d;
    CVariableList* list;
    if (pc->op == OP_SETV_GLOBAL || (pc->op == OP_SETV_IMPL && rt_.globals_.IsGlobalVar(id)))
        list = &rt_.globals_.List();
    else
        list = &fr->self->vars;
    RVariable& v = list->FindOrAdd(id, pc->e);
    int32_t idx = pc->c == kNoReg ? 0 : int32_t(R[pc->c].real);
    if (idx == 0) {
        Assign(v.value, R[pc->a]);
    } else {
        size_t i = size_t(idx / kArrayDim), j = size_t(idx % kArrayDim);
        size_t grow = v.rows.size() <= i ? i + 1 - v.rows.size() : 0;
        size_t len = i < v.rows.size() ? v.rows[i].size() : 0;
        if (len <= j) grow += j + 1 - len;
        steps_ -= int64_t(grow / 8);
        RValue& e = ArrayElementForWrite(v.rows, idx);
        Assign(e, R[pc->a]);
    }
    NEXT();
}
L_GETVX : {
    int32_t owner = pc->b == kNoReg ? int32_t(pc->e) : int32_t(R[pc->b].real);
    miss_index = pc->c == kNoReg ? 0 : int32_t(R[pc->c].real);
    tmp.SetReal(0.0);
    bool ok;
    if (owner == kOwnerLocal)
        ok = ReadLocalById(*fr, pc->d, miss_index, tmp);
    else
        PROTECT(ok = rt_.ReadVariable(owner, pc->d, miss_index, fr->self, fr->other, tmp));
    if (!ok) goto var_missing;
    PUT(R[pc->a]);
    NEXT();
}
L_SETVX : {
    int32_t owner = pc->b == kNoReg ? int32_t(pc->e) : int32_t(R[pc->b].real);
    int32_t idx = pc->c == kNoReg ? 0 : int32_t(R[pc->c].real);
    bool ok;
    if (owner == kOwnerLocal)
        ok = WriteLocalById(*fr, pc->d, idx, R[pc->a]);
    else
        PROTECT(ok = rt_.WriteVariable(owner, pc->d, idx, fr->self, fr->other, R[pc->a]));
    if (!ok) RAISE("Cannot assign to the variable");
    NEXT();
}
L_GETB : {
    const BuiltinVariable& bv = rt_.builtin_vars_[size_t(pc->d)];
    if (KR_LIKELY(bv.field >= 0)) {
        // A field read in place; its getter takes no index and cannot fail.
        const ScriptInstance* s = pc->e ? fr->other : fr->self;
        RValue& dst = R[pc->a];
        if (KR_LIKELY(s != nullptr && dst.kind != RValue::kString)) {
            dst.kind = RValue::kReal;
            std::memcpy(&dst.real, reinterpret_cast<const char*>(s) + bv.field, sizeof(double));
            NEXT();
        }
    }
    miss_index = pc->c == kNoReg ? 0 : int32_t(R[pc->c].real);
    tmp.SetReal(0.0);
    if (bv.get) {
        bool ok;
        PROTECT(ok = bv.get(rt_, pc->e ? fr->other : fr->self, miss_index, tmp));
        if (!ok) goto var_missing;
    } else {
        fr->pc = pc;
        rt_.ReportUnavailableVariable(pc->d);
        RELOAD();
    }
    PUT(R[pc->a]);
    NEXT();
}
L_SETB : {
    const BuiltinVariable& bv = rt_.builtin_vars_[size_t(pc->d)];
    if (bv.touch) {
        // A field written in place (writable, with a field); the setter's index is unused.
        ScriptInstance* s = pc->e ? fr->other : fr->self;
        const RValue& v = R[pc->a];
        if (KR_LIKELY(s != nullptr && v.kind == RValue::kReal)) {
            char* base = reinterpret_cast<char*>(s);
            double old;
            std::memcpy(&old, base + bv.field, sizeof old);
            if (v.real != old) {
                std::memcpy(base + bv.field, &v.real, sizeof old);
                if (base[bv.touch_flag] == 0) bv.touch(*s);
            }
            NEXT();
        }
    }
    if (!bv.writable) RAISE("Cannot assign to the variable");
    if (bv.set) {
        int32_t idx = pc->c == kNoReg ? 0 : int32_t(R[pc->c].real);
        bool ok;
        PROTECT(ok = bv.set(rt_, pc->e ? fr->other : fr->self, idx, R[pc->a]));
        if (!ok) RAISE("Cannot assign to the variable");
    } else {
        fr->pc = pc;
        rt_.ReportUnavailableVariable(pc->d);
        RELOAD();
    }
    NEXT();
}
L_GETARG : {
    // Runtime::Argument with the passed argument as the likely case.
    const ArgFrame& a = rt_.args_;
    if (KR_LIKELY(pc->d < a.live)) {
        ASSIGN(R[pc->a], a.slots[pc->d]);
        NEXT();
    }
    ASSIGN(R[pc->a], Runtime::kZero);
    NEXT();
}
L_SETARG:
    rt_.SetArgument(pc->d, R[pc->a]);
    NEXT();
L_GETARGX : {
    int32_t k = int32_t(R[pc->c].real);
    ASSIGN(R[pc->a], rt_.Argument(k < kArgCount ? k : 0));
    NEXT();
}
L_SETARGX : {
    int32_t k = int32_t(R[pc->c].real);
    rt_.SetArgument(k < kArgCount ? k : 0, R[pc->a]);
    NEXT();
}

L_CALLB : {
    BuiltinFn fn = rt_.builtins_.Fn(pc->d);
    tmp.SetReal(0.0);
    if (KR_LIKELY(fn != nullptr))
        PROTECT(fn(rt_, fr->self, fr->other, pc->c, R + pc->b, tmp));
    else  // the registry reports a row without a body, through the runtime's RuntimeError
        PROTECT(rt_.builtins_.Call(pc->d, rt_, fr->self, fr->other, pc->c, R + pc->b, tmp));
    // A request to stop is answered after every built-in: a loop whose passes are slow may
    // take long to use up a slice of steps. A long built-in answers it on the way and returns
    // early, and its partial result is never used.
    if (KR_UNLIKELY(interrupt_ && *interrupt_)) {
        interrupted_ = true;
        goto out_of_steps;
    }
    PUT(R[pc->a]);
    NEXT();
}
L_CALLX : {
    tmp.SetReal(0.0);
    bool ok;
    PROTECT(ok = rt_.Host().CallExtension(rt_, pc->d, fr->self, fr->other, pc->c, R + pc->b, tmp));
    if (!ok) {
        if (!rt_.ErrorPending()) RAISE("Extension function call failed.");
        goto unwind;
    }
    PUT(R[pc->a]);
    NEXT();
}
L_CALLS : {
    // The callee runs in this loop: its frame goes on top, its result straight into the
    // destination register (the caller never reads that register before the call returns,
    // and an error unwinds the caller too), its arguments are the caller's registers.
    const auto& protos = rt_.script_protos_;
    const size_t si = uint32_t(pc->d);
    const Proto* callee = si < protos.size() ? protos[si] : nullptr;
    if (KR_UNLIKELY(!callee)) {
        if (!rt_.ScriptCode(int32_t(si))) RAISE("Trying to execute non-existing script.");
        RAISE("Internal Error: Executing non-compiled code.");
    }
    if (KR_UNLIKELY(nframes_ >= uint32_t(Runtime::kMaxScriptDepth))) RAISE(kTooDeep);
    if (KR_UNLIKELY(--steps_ < 0) && !Refill()) goto out_of_steps;
    fr->pc = pc;
    // The callee's frame, set up here with the caller's frame at hand (the new one is the
    // next in the array) and the registers taken first, so that little is held across a move
    // to the next segment. Its arguments are the caller's registers, and the caller's own
    // come back when it returns.
    const uint32_t seg = seg_, top = top_;
    RValue* base = AllocRegisters(callee->nregs);
    for (uint32_t i = 0, n = callee->nlocals; i < n; ++i) base[i].kind = kUnsetKind;
    RValue& dest = R[pc->a];
    dest.SetReal(0.0);
    ArgFrame& args = rt_.args_;
    Frame& f = fr[1];
    ++nframes_;
    f.proto = callee;
    f.base = base;
    f.self = fr->self;
    f.other = fr->other;
    f.result = &dest;
    f.saved_slots = args.slots;
    f.saved_live = args.live;
    f.argc = pc->c;
    f.script = int32_t(si);
    f.seg = seg;
    f.top = top;
    f.entry = false;
    f.strings = false;
    f.dyn_locals = nullptr;
    if (KR_UNLIKELY(callee->has_extras)) PushExtras(f);
    args.slots = R + pc->b;
    args.live = pc->c;
    fr = &f;
    R = base;
    pc = const_cast<Instr*>(callee->instrs.data());
    DISPATCH();
}

L_SETRES:
    Assign(*fr->result, R[pc->a]);
    NEXT();
L_RETV : {
    const RValue& v = R[pc->a];
    if (KR_UNLIKELY(v.kind == kUnsetKind)) {
        fr->pc = pc;
        if (!ResolveUnset(*fr, pc, pc->a, P->positions[size_t(pc - P->instrs.data())].pos_b, tmp))
            goto unwind;
        *fr->result = std::move(tmp);
    } else {
        Assign(*fr->result, v);
    }
    goto do_return;
}
L_RET:
do_return : {
    if (fr->entry) {
        PopFrame();
        return true;
    }
    if (fr->result->kind != RValue::kReal) fr[-1].strings = true;
    ReleaseFrame(*fr);
    --nframes_;
    --fr;
    R = fr->base;
    pc = fr->pc;
    NEXT();
}

L_REPINIT : {
    RValue& v = R[pc->a];
    if (!v.IsReal()) RAISE("Repeat count must be a number");
    v.real = double(RoundToInt64(v.real));
    NEXT();
}
L_REPLOOP : {
    double& n = R[pc->a].real;
    if (n >= 1) {
        n -= 1;
        JUMP();
    }
    NEXT();
}

L_WITHBEGIN : {
    fr->pc = pc;
    if (!WithBegin(*fr, pc, R)) goto unwind;
    WithState& w = withs_[fr->with_base + pc->b];
    w.saved_self = fr->self;
    w.saved_other = fr->other;
    w.mode = 0;
    ScriptInstance* target = nullptr;
    int32_t owner = ClampOwner(R[pc->a].real);
    ScriptHost& host = rt_.Host();
    if (owner == kOwnerSelf || owner == kOwnerUnwritten) {
        target = fr->self;
    } else if (owner == kOwnerOther) {
        target = fr->other;
    } else if (owner == kOwnerAll || (owner >= 0 && owner < kFirstUserVariable)) {
        w.mode = owner == kOwnerAll ? 1 : 2;
        w.object = owner;
        w.count = owner == kOwnerAll ? host.InstanceCount() : host.FamilyCount(owner);
        w.index = -1;
        if (WithAdvance(*fr, w)) NEXT();
    } else if (owner >= kFirstUserVariable) {
        ScriptInstance* inst = host.FindInstance(owner);
        if (inst && !inst->deleted) target = inst;
    }
    if (target) {
        fr->other = fr->self;
        fr->self = target;
        NEXT();
    }
    JUMP();
}
L_WITHNEXT : {
    WithState& w = withs_[fr->with_base + pc->b];
    if (w.mode == 1) {
        // All instances, the most common walk: WithAdvance's steps without the call.
        ScriptHost& host = rt_.Host();
        while (++w.index < w.count) {
            ScriptInstance* inst = host.InstanceAt(w.index);
            if (inst && !inst->deleted) {
                fr->self = inst;
                fr->other = w.saved_self;
                JUMP();
            }
        }
    } else if (w.mode != 0 && WithAdvance(*fr, w)) {
        JUMP();
    }
    fr->self = w.saved_self;
    fr->other = w.saved_other;
    NEXT();
}
L_WITHBREAK : {
    WithState& w = withs_[fr->with_base + pc->b];
    fr->self = w.saved_self;
    fr->other = w.saved_other;
    if (w.mode != 0) JUMP();
    NEXT();
}
L_SWEQ : {
    const RValue& c = pc->b == kNoReg ? K[pc->e] : R[pc->b];
    if (ExactlyEqual(R[pc->a], c)) JUMP();
    NEXT();
}
L_GLOBALVAR:
    rt_.globals_.DeclareGlobalVar(pc->d);
    NEXT();
L_BREAK : {
    // Only code a debugger has trapped gets here; the trapped instruction then runs.
    const uint32_t at = uint32_t(pc - P->instrs.data());
    if (rt_.debug_hook_) PROTECT(rt_.debug_hook_->OnTrap(*const_cast<Proto*>(P), at));
    goto* kLabels[TrappedOp(*P, at)];
}
L_ERROR:
    RAISE(FixedMessageText(pc->d));

    // Fused forms: the instructions that follow hold the operands; any operand that is not a
    // real, or a debugger's trap on the step or the test, leaves them to run on their own.
#define KR_FOR(NAME, FN, FNN)                                                                      \
    L_FOR##NAME##_N : {                                                                            \
        const Instr& inc_ = pc[1];                                                                 \
        RValue& v_ = R[inc_.a];                                                                    \
        if (KR_LIKELY(v_.kind == RValue::kReal && inc_.op == OP_ADD_RN && pc[2].op != OP_BREAK)) { \
            double x_ = v_.real + Num(inc_);                                                       \
            v_.real = x_;                                                                          \
            pc += 2;                                                                               \
            if (FNN(x_, Num(*pc))) JUMPC_BACK();                                                   \
            NEXT();                                                                                \
        }                                                                                          \
        NEXT();                                                                                    \
    }                                                                                              \
    L_FOR##NAME##_R : {                                                                            \
        const Instr& inc_ = pc[1];                                                                 \
        RValue& v_ = R[inc_.a];                                                                    \
        const RValue& lim_ = R[pc[2].b];                                                           \
        if (KR_LIKELY((v_.kind | lim_.kind) == 0 && inc_.op == OP_ADD_RN &&                        \
                      pc[2].op != OP_BREAK)) {                                                     \
            double x_ = v_.real + Num(inc_);                                                       \
            v_.real = x_;                                                                          \
            pc += 2;                                                                               \
            if (FN(x_, lim_.real)) JUMP();                                                         \
            NEXT();                                                                                \
        }                                                                                          \
        NEXT();                                                                                    \
    }
    KR_FOR(LT, RealLess, AtMost)
    KR_FOR(LE, RealLessEqual, AtMost)
    KR_FOR(GT, RealGreater, AtLeast)
    KR_FOR(GE, RealGreaterEqual, AtLeast)
#undef KR_FOR

L_MOD_RI : {
    const RValue& b_ = R[pc->b];
    if (KR_LIKELY(b_.kind == RValue::kReal)) {
        R[pc->a].SetReal(RealModByInteger(b_.real, Num(*pc)));
        NEXT();
    }
    goto binary_slow;
}

// A choice between two arms that add a number to the same local: the number is picked by
// the comparison and added without a branch (a trapped arm runs on its own).
#define KR_IFADD(NAME, FNN)                                                    \
    L_IFADD_##NAME : {                                                         \
        const Instr& j_ = pc[1];                                               \
        const Instr& y_ = pc[2];                                               \
        const Instr& n_ = pc[pc->b];                                           \
        const RValue& s_ = R[j_.a];                                            \
        RValue& l_ = R[y_.a];                                                  \
        if (KR_LIKELY((s_.kind | l_.kind) == 0 && y_.op == uint16_t(pc->d) &&  \
                      n_.op == uint16_t(pc->e))) {                             \
            const uint64_t m_ = uint64_t(0) - uint64_t(FNN(s_.real, Num(j_))); \
            uint64_t ky_, kn_;                                                 \
            std::memcpy(&ky_, &y_.d, sizeof ky_);                              \
            std::memcpy(&kn_, &n_.d, sizeof kn_);                              \
            ky_ ^= uint64_t(pc->a & 2) << 62;                                  \
            kn_ ^= uint64_t(pc->a & 4) << 61;                                  \
            const uint64_t k_ = (ky_ & m_) | (kn_ & ~m_);                      \
            double k;                                                          \
            std::memcpy(&k, &k_, sizeof k);                                    \
            l_.real = l_.real + k;                                             \
            if (pc->a & 1) Assign(*fr->result, l_);                            \
            pc += pc->c;                                                       \
            DISPATCH();                                                        \
        }                                                                      \
        NEXT();                                                                \
    }
    KR_IFADD(LT, AtMost)
    KR_IFADD(LE, AtMost)
    KR_IFADD(EQ, RealEqual)
    KR_IFADD(NE, RealNotEqual)
    KR_IFADD(GE, AtLeast)
    KR_IFADD(GT, AtLeast)
#undef KR_IFADD
    // A condition of two comparisons with numbers: each side reads a local or a built-in in
    // place, and neither can fail or change anything, so the jump is taken on the comparisons
    // themselves. Both sides are read first: anything that could fail leaves the instructions
    // to run on their own.
L_CONDOR:
L_CONDAND : {
    const uint16_t f = pc->a;
    const Instr& ca = pc[pc->b];
    const Instr& cb = pc[pc->c];
    double va, vb;
    if (KR_UNLIKELY(!FusedOperand(*fr, R, ca, (f & 1) != 0, va))) NEXT();
    if (f & 32)
        vb = va;  // both sides read the same built-in
    else if (KR_UNLIKELY(!FusedOperand(*fr, R, cb, (f & 2) != 0, vb)))
        NEXT();
    const double ta = Num(*pc), tb = Num((&cb)[1]);
    const bool pa = (f & 4) ? va >= ta : va <= ta;
    const bool pb = (f & 8) ? vb >= tb : vb <= tb;
    const bool truth = pc->op == OP_CONDOR ? (pa | pb) : (pa & pb);
    pc = const_cast<Instr*>(&cb) + 2;  // the jump
    if (truth == ((f & 16) != 0)) JUMP();
    NEXT();
}
    // `v op= w` on a built-in field: read, operated on and written back in place, as the
    // field read and the write through `touch` would do one after the other.
L_UPDB : {
    const Instr& set = pc[4];
    double w;
    if (pc->a != 0)
        w = Num(*pc);  // the number loaded by the first instruction
    else if (KR_UNLIKELY(!FusedOperand(*fr, R, pc[1], true, w, 0)))
        NEXT();
    const BuiltinVariable& bv = rt_.builtin_vars_[size_t(set.d)];
    ScriptInstance* s = set.e ? fr->other : fr->self;
    if (KR_UNLIKELY(!bv.touch || s == nullptr)) NEXT();
    char* base = reinterpret_cast<char*>(s);
    double old;
    std::memcpy(&old, base + bv.field, sizeof old);
    const double v = pc->b == 0 ? old + w : pc->b == 1 ? old - w : old * w;
    if (v != old) {
        std::memcpy(base + bv.field, &v, sizeof old);
        if (base[bv.touch_flag] == 0) bv.touch(*s);
    }
    pc += 4;
    NEXT();
}

#define KR_MULADD(NAME, LEFT, MOD)                                                 \
    L_##NAME : {                                                                   \
        const Instr& mul_ = pc[1];                                                 \
        const Instr& add_ = pc[2];                                                 \
        const RValue& m_ = R[mul_.b];                                              \
        const RValue& o_ = R[LEFT ? add_.c : add_.b];                              \
        if (KR_LIKELY((m_.kind | o_.kind) == 0)) {                                 \
            double t_ = m_.real * Num(mul_);                                       \
            double s_ = LEFT ? t_ + o_.real : o_.real + t_;                        \
            if (MOD) {                                                             \
                R[pc[3].a].SetReal(RealModByReciprocal(s_, Num(pc[3]), Num(*pc))); \
                pc += 3;                                                           \
            } else {                                                               \
                R[add_.a].SetReal(s_);                                             \
                pc += 2;                                                           \
            }                                                                      \
        }                                                                          \
        NEXT();                                                                    \
    }
    KR_MULADD(MULADD_L, true, false)
    KR_MULADD(MULADD_R, false, false)
    KR_MULADD(MULADDMOD_L, true, true)
    KR_MULADD(MULADDMOD_R, false, true)
#undef KR_MULADD

    // Binary operators: the real path inline, everything else through BinarySlow.
#define KR_BIN3_CASE(LABEL, B, C, X, Y, COND, EXPR) \
    LABEL : {                                       \
        const RValue& b_ = B;                       \
        const RValue& c_ = C;                       \
        if (KR_LIKELY((b_.kind | c_.kind) == 0)) {  \
            double x = X, y = Y;                    \
            if (COND) {                             \
                R[pc->a].SetReal(EXPR);             \
                NEXT();                             \
            }                                       \
        }                                           \
        goto binary_slow;                           \
    }
#define KR_BIN3(NAME, COND, EXPR)                                                 \
    KR_BIN3_CASE(L_##NAME##_RR, R[pc->b], R[pc->c], b_.real, c_.real, COND, EXPR) \
    KR_BIN3_CASE(L_##NAME##_RN, R[pc->b], b_, b_.real, Num(*pc), COND, EXPR)      \
    KR_BIN3_CASE(L_##NAME##_NR, R[pc->c], b_, Num(*pc), b_.real, COND, EXPR)
    KR_BIN3(ADD, true, x + y)
    KR_BIN3(SUB, true, x - y)
    KR_BIN3(MUL, true, x * y)
    KR_BIN3(DIV, y != 0, x / y)
    KR_BIN3(IDIV, y != 0, RealDiv(x, y))
    KR_BIN3(MOD, y != 0, RealModQuick(x, y))
    KR_BIN3(LAND, true, RealAnd(x, y))
    KR_BIN3(LOR, true, RealOr(x, y))
    KR_BIN3(LXOR, true, RealXor(x, y))
    KR_BIN3(BOR, true, double(BitOperand(x) | BitOperand(y)))
    KR_BIN3(BAND, true, double(BitOperand(x) & BitOperand(y)))
    KR_BIN3(BXOR, true, double(BitOperand(x) ^ BitOperand(y)))
    KR_BIN3(SHL, true, RealShiftLeft(x, y))
    KR_BIN3(SHR, true, RealShiftRight(x, y))
    KR_BIN3(LT, true, Bool(RealLess(x, y)))
    KR_BIN3(LE, true, Bool(RealLessEqual(x, y)))
    KR_BIN3(EQ, true, Bool(RealEqual(x, y)))
    KR_BIN3(NE, true, Bool(RealNotEqual(x, y)))
    KR_BIN3(GE, true, Bool(RealGreaterEqual(x, y)))
    KR_BIN3(GT, true, Bool(RealGreater(x, y)))
#undef KR_BIN3
#undef KR_BIN3_CASE

    // Comparisons fused with a jump: _T jumps when true, _F when false.
#define KR_CMPJ_CASE(LABEL, C, TEST, JUMPTO)       \
    LABEL : {                                      \
        const RValue& b_ = R[pc->a];               \
        const RValue& c_ = C;                      \
        if (KR_LIKELY((b_.kind | c_.kind) == 0)) { \
            if (TEST) JUMPTO();                    \
            NEXT();                                \
        }                                          \
        goto compare_slow;                         \
    }
#define KR_CMPJ(NAME, FN, FNN)                                            \
    KR_CMPJ_CASE(L_J##NAME##_RR_T, R[pc->b], FN(b_.real, c_.real), JUMP)  \
    KR_CMPJ_CASE(L_J##NAME##_RR_F, R[pc->b], !FN(b_.real, c_.real), JUMP) \
    KR_CMPJ_CASE(L_J##NAME##_RK_T, K[pc->c], FN(b_.real, c_.real), JUMP)  \
    KR_CMPJ_CASE(L_J##NAME##_RK_F, K[pc->c], !FN(b_.real, c_.real), JUMP) \
    KR_CMPJ_CASE(L_J##NAME##_RN_T, b_, FNN(b_.real, Num(*pc)), JUMPC)     \
    KR_CMPJ_CASE(L_J##NAME##_RN_F, b_, !FNN(b_.real, Num(*pc)), JUMPC)
    KR_CMPJ(LT, RealLess, AtMost)
    KR_CMPJ(LE, RealLessEqual, AtMost)
    KR_CMPJ(EQ, RealEqual, RealEqual)
    KR_CMPJ(NE, RealNotEqual, RealNotEqual)
    KR_CMPJ(GE, RealGreaterEqual, AtLeast)
    KR_CMPJ(GT, RealGreater, AtLeast)
#undef KR_CMPJ
#undef KR_CMPJ_CASE

binary_slow:
    fr->pc = pc;
    fr->strings = true;
    if (!BinarySlow(*fr, pc, R, K)) goto unwind;
    NEXT();

compare_slow : {
    fr->pc = pc;
    int r = CompareSlow(*fr, pc, R, K);
    if (r < 0) goto unwind;
    int rel = pc->op - OP_JLT_RR_T;
    if ((r == 1) == (rel % 2 == 0)) {
        if (rel % 6 >= 4) JUMPC();
        JUMP();
    }
    NEXT();
}

var_missing:
    if (rt_.settings_.uninitialized_as_zero) {
        R[pc->a].SetReal(0.0);
        NEXT();
    }
    fr->pc = pc;
    UnknownVariable(*fr, pc, pc->op == OP_GETLA ? P->local_ids[pc->b] : pc->d, miss_index);
    goto unwind;

out_of_steps:
    if (interrupted_) RAISE("Execution was interrupted.");
    RAISE("Execution step limit reached.");

unwind:
    if (KR_UNLIKELY(rt_.debug_hook_ != nullptr)) {
        fr->pc = pc;
        rt_.debug_hook_->OnError();
    }
    for (;;) {
        Frame& f = frames_[nframes_ - 1];
        f.strings = true;  // a callee's result may have left a string in any register
        if (f.script >= 0)
            rt_.error_text_ = "In script " + rt_.ScriptName(f.script) + ":\r" + rt_.error_text_;
        bool entry = f.entry;
        PopFrame();
        if (entry) return false;
    }

#undef DISPATCH
#undef NEXT
#undef JUMP
#undef JUMPC
#undef JUMPC_BACK
#undef RAISE
#undef RELOAD
#undef PROTECT
#undef ASSIGN
#undef PUT
#undef P
#undef K
}

}  // namespace kr

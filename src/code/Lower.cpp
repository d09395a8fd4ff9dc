// Lowering: the checked code tree becomes register code. Names, owners and functions are
// resolved here once; `var` locals get the first registers of the frame; temporaries are
// allocated as a stack above them. Control flow keeps the completion-code rules of the tree
// walk: every `break`, `continue` and `exit` becomes the jumps that the codes would have
// taken through the enclosing statements.
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "code/BuiltinRegistry.h"
#include "code/Bytecode.h"
#include "code/Code.h"
#include "code/Operators.h"
#include "code/Runtime.h"

namespace kr {

const char* FixedMessageText(int32_t m) {
    switch (m) {
        case kMsgStatementExpected:
            return "Statement expected.";
        case kMsgCaseOutsideSwitch:
            return "Case statement only allowed inside switch statement.";
        case kMsgDefaultOutsideSwitch:
            return "Default statement only allowed inside switch statement.";
        case kMsgNotAProgram:
            return "This is not a program.";
        case kMsgExpressionExpected:
            return "Expression expected";
        case kMsgBooleanExpected:
            return "Boolean expression expected";
        case kMsgSubExpressionExpected:
            return "(Sub-)expression expected.";
        default:
            return "Internal error.";
    }
}

namespace {

constexpr uint32_t kMaxRegisters = 0xFF00;

bool IsCompareToken(int32_t t) {
    return t == kTokAssign || (t >= kTokLess && t <= kTokGreater);
}

// Index of an operator in KR_BINARY_OPS order.
int BinaryIndex(int32_t tok) {
    switch (tok) {
        case kTokPlus:
            return 0;
        case kTokMinus:
            return 1;
        case kTokStar:
            return 2;
        case kTokSlash:
            return 3;
        case kTokDiv:
            return 4;
        case kTokMod:
            return 5;
        case kTokAnd:
            return 6;
        case kTokOr:
            return 7;
        case kTokXor:
            return 8;
        case kTokBitOr:
            return 9;
        case kTokBitAnd:
            return 10;
        case kTokBitXor:
            return 11;
        case kTokShiftLeft:
            return 12;
        case kTokShiftRight:
            return 13;
        case kTokLess:
            return 14;
        case kTokLessEqual:
            return 15;
        case kTokAssign:
        case kTokEqual:
            return 16;
        case kTokNotEqual:
            return 17;
        case kTokGreaterEqual:
            return 18;
        case kTokGreater:
            return 19;
        default:
            return -1;
    }
}
// Index of a comparison in KR_COMPARE_OPS order.
int CompareIndex(int32_t tok) {
    return BinaryIndex(tok) - 14;
}
// The comparison with its operands swapped (exact: a - b is -(b - a)).
int32_t SwappedCompare(int32_t tok) {
    switch (tok) {
        case kTokLess:
            return kTokGreater;
        case kTokLessEqual:
            return kTokGreaterEqual;
        case kTokGreaterEqual:
            return kTokLessEqual;
        case kTokGreater:
            return kTokLess;
        default:
            return tok;
    }
}
int32_t CompoundToBinary(int32_t assign_op) {
    switch (assign_op) {
        case kTokAddAssign:
            return kTokPlus;
        case kTokSubAssign:
            return kTokMinus;
        case kTokMulAssign:
            return kTokStar;
        case kTokDivAssign:
            return kTokSlash;
        case kTokOrAssign:
            return kTokBitOr;
        case kTokAndAssign:
            return kTokBitAnd;
        case kTokXorAssign:
            return kTokBitXor;
        default:
            return 0;
    }
}

// Whether a statement can end the whole code without passing the statements after it:
// `exit`, or a `break`/`continue` that no enclosing statement is sure to catch.
bool Escapes(const RToken& n, bool break_caught, bool continue_caught) {
    switch (n.kind) {
        case kTokExit:
            return true;
        case kTokBreak:
            return !break_caught;
        case kTokContinue:
            return !continue_caught;
        case kTokWhile:
        case kTokDo:
        case kTokRepeat:
            for (const RToken& c : n.children)
                if (Escapes(c, true, true)) return true;
            return false;
        case kTokFor:
            return Escapes(n.children[0], break_caught, continue_caught) ||
                   Escapes(n.children[2], break_caught, continue_caught) ||
                   Escapes(n.children[3], true, true);
        case kTokSwitch:
            for (const RToken& c : n.children)
                if (Escapes(c, true, continue_caught)) return true;
            return false;
        case kTokWith:
            return Escapes(n.children[1], break_caught, true);
        case kNodeBlock:
        case kTokIf:
            for (const RToken& c : n.children)
                if (Escapes(c, break_caught, continue_caught)) return true;
            return false;
        default:
            return false;
    }
}

bool IsStatementResult(const RToken& n) {
    return n.kind == kTokAssign || n.kind == kTokFunction || n.kind == kTokReturn;
}

class Lowerer {
public:
    Lowerer(Runtime& rt, const CCode& code, Proto& p) : rt_(rt), code_(code), p_(p) {}

    bool Run() {
        p_.code = &code_;
        const RToken& root = code_.Root();
        CollectLocals(root);
        free_ = p_.nlocals;
        used_regs_ = free_;
        Reserve(free_);
        // Code that nothing else can change the arguments of while it runs reads each argument
        // once, at the start, into a register of its own.
        p_.args_stable = ArgsStable(root, false);
        if (!p_.args_stable) args_read_ = 0;
        if (args_read_ != 0) {
            for (int k = 0; k < kArgCount; ++k) {
                if (!(args_read_ & (1u << k))) continue;
                arg_reg_[k] = Temp();
                Instr& i = Emit(OP_GETARG, root.position);
                i.a = arg_reg_[k];
                i.d = k;
            }
        }
        if (code_.kind() != CCode::kProgram) {
            Operand v = Value(root);
            Emit(OP_RETV, root.position).a = v.reg;
            if (v.is_local) pos_back().pos_b = v.pos;
        } else if (root.kind == kNodeEmptyProgram) {
            Emit(OP_RET, 0);
        } else if (root.kind != kNodeBlock) {
            Emit(OP_ERROR, root.position).d = kMsgNotAProgram;
        } else {
            // Assignments before the last top-level assignment or call cannot decide the
            // result unless something may end the code first: they need not store it.
            int last = -1;
            if (!code_.KeepEveryResult() && !Escapes(root, false, false)) {
                for (int i = int(root.children.size()); i-- > 0;) {
                    if (IsStatementResult(root.children[size_t(i)])) {
                        last = i;
                        break;
                    }
                }
            }
            for (size_t i = 0; i < root.children.size() && !failed_; ++i)
                Statement(root.children[i], int(i) >= last);
            Emit(OP_RET, 0);
        }
        if (failed_) return false;
        p_.nused = used_regs_;
        p_.has_extras = p_.nwith != 0 || p_.local_arrays;
        p_.nregs = max_regs_ + 1;
        return true;
    }

private:
    struct Operand {
        bool is_k = false;
        uint32_t k = 0;
        uint16_t reg = 0;
        bool is_local = false;  // a local register read in place (may be unset)
        int32_t pos = 0;
    };
    enum CtxKind { kLoop, kSwitch, kWith, kHeader };
    struct Ctx {
        CtxKind kind;
        std::vector<size_t> breaks;     // jumps to patch to the end
        std::vector<size_t> continues;  // jumps to patch to the continue point
        uint16_t with_slot = 0;
    };

    // --- emission helpers ---
    Instr& Emit(Op op, int32_t pos) {
        p_.instrs.push_back(Instr{uint16_t(op), 0, 0, 0, 0, 0});
        p_.positions.push_back(InstrPos{pos, 0, 0});
        return p_.instrs.back();
    }
    InstrPos& pos_back() { return p_.positions.back(); }
    size_t Here() const { return p_.instrs.size(); }
    size_t EmitJump(Op op, int32_t pos) {
        Emit(op, pos);
        return Here() - 1;
    }
    void PatchTo(size_t at, size_t target) {
        int64_t off = int64_t(target) - int64_t(at) - 1;
        Instr& i = p_.instrs[at];
        if (IsNumericJump(i.op)) {
            if (off < INT16_MIN || off > INT16_MAX) Fail("Code is too large.");
            i.c = uint16_t(int16_t(off));
        } else {
            i.d = int32_t(off);
        }
    }
    static bool IsNumericJump(uint16_t op) {
        return op >= OP_JLT_RR_T && op < OP_COUNT_ && (op - OP_JLT_RR_T) % 6 >= 4;
    }
    void PatchHere(size_t at) { PatchTo(at, Here()); }
    void Fail(const char* msg) {
        if (!failed_) rt_.ReportCodeError(code_, 0, msg);
        failed_ = true;
    }
    void Reserve(uint32_t n) {
        if (n > max_regs_) max_regs_ = n;
        if (max_regs_ > kMaxRegisters) Fail("Code is too large.");
    }
    uint16_t Temp() {
        uint16_t r = uint16_t(free_ < kMaxRegisters ? free_ : 0);
        ++free_;
        if (free_ > used_regs_) used_regs_ = free_;
        Reserve(free_);
        return r;
    }
    uint32_t Constant(const RValue& v) {
        if (v.IsReal()) {
            uint64_t bits;
            std::memcpy(&bits, &v.real, 8);
            auto [it, added] = real_k_.try_emplace(bits, uint32_t(p_.k.size()));
            if (added) p_.k.push_back(v);
            return it->second;
        }
        auto [it, added] = str_k_.try_emplace(std::string(v.Str()), uint32_t(p_.k.size()));
        if (added) p_.k.push_back(v);
        return it->second;
    }

    // --- locals ---
    static bool IsLocalRef(const RToken& n) {
        if (n.kind == kTokSimpleVariable) return n.owner == kOwnerLocal;
        if (n.kind == kTokVariable) {
            const RToken& o = n.children[0];
            return o.kind == kTokConstant && o.value.IsReal() &&
                   RoundToInt64(o.value.real) == kOwnerLocal;
        }
        return false;
    }
    void CollectLocals(const RToken& n) {
        for (const RToken& c : n.children) CollectLocals(c);
        if (IsLocalRef(n)) {
            if (!local_of_.count(n.id)) {
                local_of_[n.id] = uint16_t(p_.nlocals++);
                p_.local_ids.push_back(n.id);
                if (p_.nlocals > kMaxRegisters / 2) Fail("Code is too large.");
            }
            if (n.kind == kTokVariable && n.children.size() > 1) p_.local_arrays = true;
        }
    }
    bool IsSimpleLocal(const RToken& n) const {
        return n.kind == kTokSimpleVariable && n.owner == kOwnerLocal;
    }
    // Evaluating it emits no code (so it can neither fail nor have effects).
    bool IsTrivial(const RToken& n) const {
        return n.kind == kTokConstant || IsSimpleLocal(n) || ArgRegister(n) != kNoReg;
    }

    // Whether the arguments of the code can change only through its own writes to them while
    // it runs: no built-in or extension function (which may run other code on the same
    // arguments), no variable reached through an accessor or another instance, no `with`,
    // and no write to an argument. Collects the fixed arguments read (argument0..15).
    bool ArgsStable(const RToken& n, bool write) {
        switch (n.kind) {
            case kTokFunction:
                if (n.id < kScriptIdBase || n.id >= kExtensionIdBase) return false;
                break;
            case kTokSimpleVariable:
                if (n.id >= kFirstUserVariable)
                    return n.owner == kOwnerLocal || n.owner == kOwnerUnwritten ||
                           n.owner == kOwnerSelf || n.owner == kOwnerGlobal;
                if (write || n.id >= kBuiltinVariableLimit ||
                    (n.owner != kOwnerUnwritten && n.owner != kOwnerSelf && n.owner != kOwnerOther))
                    return false;
                if (int k = ArgumentVariable(n.id); k >= 0) {
                    args_read_ |= 1u << k;
                    return true;
                }
                return false;
            case kTokVariable: {
                const RToken& o = n.children[0];
                if (n.id < kFirstUserVariable || o.kind != kTokConstant || !o.value.IsReal())
                    return false;
                int64_t w = RoundToInt64(o.value.real);
                if (w != kOwnerLocal && w != kOwnerUnwritten && w != kOwnerSelf &&
                    w != kOwnerGlobal)
                    return false;
                for (size_t i = 1; i < n.children.size(); ++i)
                    if (!ArgsStable(n.children[i], false)) return false;
                return true;
            }
            case kTokAssign:
                return ArgsStable(n.children[0], true) && ArgsStable(n.children[1], false);
            case kTokVar:
            case kTokGlobalVar:
                return true;
            case kTokConstant:
            case kNodeUnary:
            case kNodeBinary:
            case kNodeBlock:
            case kNodeEmpty:
            case kNodeEmptyProgram:
            case kTokIf:
            case kTokWhile:
            case kTokDo:
            case kTokFor:
            case kTokRepeat:
            case kTokExit:
            case kTokBreak:
            case kTokContinue:
            case kTokReturn:
            case kTokSwitch:
            case kTokCase:
            case kTokDefault:
                break;
            default:
                return false;
        }
        for (const RToken& c : n.children)
            if (!ArgsStable(c, false)) return false;
        return true;
    }
    // The register holding argument `n` read at the start, or kNoReg.
    uint16_t ArgRegister(const RToken& n) const {
        if (n.kind != kTokSimpleVariable || n.id >= kBuiltinVariableLimit || args_read_ == 0)
            return kNoReg;
        int k = ArgumentVariable(n.id);
        return k >= 0 ? arg_reg_[k] : kNoReg;
    }

    // argument / argument0..15: -2 for the array form, 0..15, or -1.
    int ArgumentVariable(int32_t id) const {
        const std::string& name = rt_.BuiltinVariableName(id);
        if (name.compare(0, 8, "argument") != 0) return -1;
        if (name.size() == 8) return -2;
        int k = 0;
        for (size_t i = 8; i < name.size(); ++i) {
            if (name[i] < '0' || name[i] > '9' || (i == 8 && name[i] == '0' && name.size() > 9))
                return -1;
            k = k * 10 + (name[i] - '0');
            if (k > 15) return -1;
        }
        return k;
    }

    // --- expressions ---
    // The value of `n` as an operand: a constant, a local register read in place, or a temp.
    Operand Value(const RToken& n) {
        Operand o;
        o.pos = n.position;
        if (n.kind == kTokConstant) {
            o.is_k = true;
            o.k = Constant(n.value);
            return o;
        }
        if (IsSimpleLocal(n)) {
            o.reg = local_of_[n.id];
            o.is_local = true;
            return o;
        }
        if (uint16_t r = ArgRegister(n); r != kNoReg) {
            o.reg = r;
            return o;
        }
        o.reg = Temp();
        ExprTo(n, o.reg);
        return o;
    }
    // The value of `n` in a register that is not an unset local (constants are loaded).
    Operand ValueInRegister(const RToken& n) {
        Operand o = Value(n);
        if (o.is_k) {
            uint16_t r = Temp();
            Emit(OP_LOADK, n.position).a = r;
            p_.instrs.back().d = int32_t(o.k);
            o.is_k = false;
            o.reg = r;
        }
        return o;
    }
    // The value of `n` in a fresh temporary.
    uint16_t ValueInTemp(const RToken& n) {
        uint16_t r = Temp();
        ExprTo(n, r);
        return r;
    }

    void ExprTo(const RToken& n, uint16_t dest) {
        if (failed_) return;
        switch (n.kind) {
            case kTokConstant: {
                Instr& i = Emit(OP_LOADK, n.position);
                i.a = dest;
                i.d = int32_t(Constant(n.value));
                return;
            }
            case kTokSimpleVariable:
            case kTokVariable:
                ReadVariable(n, dest);
                return;
            case kTokFunction:
                Call(n, dest);
                return;
            case kNodeUnary: {
                uint32_t mark = free_;
                Operand v = ValueInRegister(n.children[0]);
                Op op = n.id == kTokNot      ? OP_NOT
                        : n.id == kTokMinus  ? OP_NEG
                        : n.id == kTokBitNot ? OP_BNOT
                                             : OP_UPLUS;
                Instr& i = Emit(op, n.position);
                i.a = dest;
                i.b = v.reg;
                if (v.is_local) pos_back().pos_b = v.pos;
                free_ = mark;
                return;
            }
            case kNodeBinary: {
                uint32_t mark = free_;
                const RToken& l = n.children[0];
                const RToken& r = n.children[1];
                Operand a = Value(l);
                // Reading an unset local fails before the right operand is evaluated.
                if (a.is_local && !IsTrivial(r)) {
                    Emit(OP_CHKL, l.position).a = a.reg;
                    pos_back().pos_b = l.position;
                }
                Operand b = Value(r);
                EmitBinary(n.id, dest, a, b, n.position);
                free_ = mark;
                return;
            }
            default: {
                Emit(OP_ERROR, n.position).d = kMsgSubExpressionExpected;
                return;
            }
        }
    }

    Operand LoadConstant(Operand o) {
        uint16_t r = Temp();
        Emit(OP_LOADK, o.pos).a = r;
        p_.instrs.back().d = int32_t(o.k);
        return Operand{false, 0, r, false, o.pos};
    }

    void EmitBinary(int32_t tok, uint16_t dest, Operand a, Operand b, int32_t pos) {
        int bi = BinaryIndex(tok);
        if (bi < 0) {
            Fail("Internal error: unknown binary operator.");
            return;
        }
        if (a.is_k && b.is_k) {
            uint16_t r = Temp();
            Emit(OP_LOADK, pos).a = r;
            p_.instrs.back().d = int32_t(a.k);
            a.is_k = false;
            a.reg = r;
        }
        // String constants go through a register; real constants stay in the instruction.
        if (a.is_k && !p_.k[a.k].IsReal()) a = LoadConstant(a);
        if (b.is_k && !p_.k[b.k].IsReal()) b = LoadConstant(b);
        Op base = Op(OP_ADD_RR + 3 * bi);
        Instr* i;
        if (!a.is_k && !b.is_k) {
            i = &Emit(base, pos);
            i->b = a.reg;
            i->c = b.reg;
        } else if (b.is_k) {
            const double k = p_.k[b.k].real;
            i = &Emit(base == OP_MOD_RR && IsModDivisor(k) ? OP_MOD_RI : Op(base + 1), pos);
            i->b = a.reg;
            SetNum(*i, k);
        } else {
            i = &Emit(Op(base + 2), pos);
            i->c = b.reg;
            SetNum(*i, p_.k[a.k].real);
        }
        i->a = dest;
        if (a.is_local) pos_back().pos_b = a.pos;
        if (b.is_local) pos_back().pos_c = b.pos;
        if (base == OP_ADD_RR) FuseMulAdd();
        if (p_.instrs.back().op == OP_MOD_RI) FuseMulAddMod();
    }

    // A remainder by an integer of a fused multiply-add's sum, kept in a temporary for it
    // alone: the fused form covers the remainder too.
    void FuseMulAddMod() {
        size_t n = Here();
        if (n < 4) return;
        Instr& fused = p_.instrs[n - 4];
        const Instr& add = p_.instrs[n - 2];
        const Instr& mod = p_.instrs[n - 1];
        if ((fused.op != OP_MULADD_L && fused.op != OP_MULADD_R) || add.op != OP_ADD_RR ||
            mod.b != add.a || add.a < p_.nlocals)
            return;
        fused.op = uint16_t(fused.op == OP_MULADD_L ? OP_MULADDMOD_L : OP_MULADDMOD_R);
    }

    // Inserts `op` before the last `count` instructions (none of which is a jump target yet).
    void InsertBefore(size_t count, Op op) {
        size_t at = Here() - count;
        p_.instrs.insert(p_.instrs.begin() + ptrdiff_t(at), Instr{uint16_t(op), 0, 0, 0, 0, 0});
        p_.positions.insert(p_.positions.begin() + ptrdiff_t(at), p_.positions[at]);
    }

    // A product of a temporary and a number that only feeds the addition after it: the pair
    // gets the fused form, which keeps the product out of memory.
    void FuseMulAdd() {
        size_t n = Here();
        if (n < 2) return;
        const Instr& mul = p_.instrs[n - 2];
        const Instr& add = p_.instrs[n - 1];
        if (mul.op != OP_MUL_RN || add.op != OP_ADD_RR || mul.a < p_.nlocals || add.b == add.c)
            return;
        if (add.b == mul.a)
            InsertBefore(2, OP_MULADD_L);
        else if (add.c == mul.a)
            InsertBefore(2, OP_MULADD_R);
    }

    // call -> the arguments in consecutive temporaries, then one call instruction.
    void Call(const RToken& n, uint16_t dest) {
        uint32_t mark = free_;
        uint16_t base = uint16_t(free_);
        Reserve(free_ + kArgCount);
        for (const RToken& a : n.children) {
            uint16_t r = Temp();
            ExprTo(a, r);
        }
        Op op = n.id >= kExtensionIdBase ? OP_CALLX : n.id >= kScriptIdBase ? OP_CALLS : OP_CALLB;
        Instr& i = Emit(op, n.position);
        i.a = dest;
        i.b = base;
        i.c = uint16_t(n.children.size());
        i.d = n.id >= kExtensionIdBase ? n.id - kExtensionIdBase
              : n.id >= kScriptIdBase  ? n.id - kScriptIdBase
                                       : n.id;
        free_ = mark;
    }

    // A resolved variable reference: its owner (fixed or in a register) and flat index.
    struct Target {
        int32_t id = 0;
        bool fixed_owner = true;
        int32_t owner = 0;
        uint16_t owner_reg = kNoReg;
        uint16_t index_reg = kNoReg;
        int32_t pos = 0;
    };
    // Evaluates the owner and the indexes of a variable node, in source order.
    Target Resolve(const RToken& n) {
        Target t;
        t.id = n.id;
        t.pos = n.position;
        if (n.kind == kTokSimpleVariable) {
            t.owner = n.owner;
            return t;
        }
        const RToken& o = n.children[0];
        if (o.kind == kTokConstant && o.value.IsReal()) {
            t.owner = int32_t(RoundToInt64(o.value.real));
        } else {
            t.fixed_owner = false;
            t.owner_reg = ValueInTemp(o);
            Emit(OP_OWNER, o.position).a = t.owner_reg;
            p_.instrs.back().b = t.owner_reg;
        }
        if (n.children.size() > 2 && IsTrivial(n.children[2])) {
            // Two indexes, the second without code of its own: one instruction checks both
            // (in the same order as two would), reading locals in place.
            Operand i = ValueInRegister(n.children[1]);
            Operand j = ValueInRegister(n.children[2]);
            t.index_reg = Temp();
            Instr& x = Emit(OP_IDXRR, n.children[1].position);
            x.a = t.index_reg;
            x.b = i.reg;
            x.c = j.reg;
            pos_back().pos_b = n.children[1].position;
            pos_back().pos_c = n.children[2].position;
        } else if (n.children.size() > 1) {
            Operand i = ValueInRegister(n.children[1]);
            t.index_reg = IsTrivial(n.children[1]) ? Temp() : i.reg;  // never overwrite a local
            Instr& x = Emit(OP_IDX1, n.children[1].position);
            x.a = t.index_reg;
            x.b = i.reg;
            if (n.children.size() > 2) {
                Operand j = ValueInRegister(n.children[2]);
                Instr& y = Emit(OP_IDX2, n.children[2].position);
                y.a = t.index_reg;
                y.b = j.reg;
            }
        }
        return t;
    }

    void ReadVariable(const RToken& n, uint16_t dest) {
        uint32_t mark = free_;
        Target t = Resolve(n);
        EmitRead(t, dest);
        free_ = mark;
    }

    void EmitRead(const Target& t, uint16_t dest) {
        Instr* i;
        if (t.fixed_owner && t.owner == kOwnerLocal && local_of_.count(t.id)) {
            uint16_t l = local_of_[t.id];
            if (t.index_reg == kNoReg) {
                i = &Emit(OP_MOVE, t.pos);
                i->b = l;
                pos_back().pos_b = t.pos;
            } else {
                i = &Emit(OP_GETLA, t.pos);
                i->b = l;
                i->c = t.index_reg;
            }
            i->a = dest;
            return;
        }
        if (t.fixed_owner && t.id < kBuiltinVariableLimit &&
            (t.owner == kOwnerUnwritten || t.owner == kOwnerSelf || t.owner == kOwnerOther)) {
            int arg = ArgumentVariable(t.id);
            if (arg == -2) {
                i = &Emit(t.index_reg == kNoReg ? OP_GETARG : OP_GETARGX, t.pos);
                i->c = t.index_reg;
            } else if (arg >= 0 && arg_reg_[arg] != kNoReg) {
                i = &Emit(OP_MOVE, t.pos);
                i->b = arg_reg_[arg];
            } else if (arg >= 0) {
                i = &Emit(OP_GETARG, t.pos);
                i->d = arg;
            } else {
                i = &Emit(OP_GETB, t.pos);
                i->c = t.index_reg;
                i->d = t.id;
                i->e = t.owner == kOwnerOther ? 1 : 0;
            }
            i->a = dest;
            return;
        }
        if (t.fixed_owner && t.id >= kFirstUserVariable &&
            (t.owner == kOwnerUnwritten || t.owner == kOwnerSelf || t.owner == kOwnerGlobal)) {
            i = &Emit(t.owner == kOwnerUnwritten ? OP_GETV_IMPL
                      : t.owner == kOwnerSelf    ? OP_GETV_SELF
                                                 : OP_GETV_GLOBAL,
                      t.pos);
        } else {
            i = &Emit(OP_GETVX, t.pos);
            i->b = t.owner_reg;
            i->e = uint32_t(t.owner);
        }
        i->a = dest;
        i->c = t.index_reg;
        i->d = t.id;
    }

    // Stores register `value` (possibly an unset local) into a resolved target.
    void EmitWrite(const Target& t, Operand value) {
        Instr* i;
        if (t.fixed_owner && t.owner == kOwnerLocal && local_of_.count(t.id)) {
            uint16_t l = local_of_[t.id];
            if (t.index_reg == kNoReg) {
                i = &Emit(OP_MOVE, t.pos);
                i->a = l;
                i->b = value.reg;
            } else {
                i = &Emit(OP_SETLA, t.pos);
                i->a = value.reg;
                i->b = l;
                i->c = t.index_reg;
            }
            if (value.is_local) pos_back().pos_b = value.pos;
            return;
        }
        if (t.fixed_owner && t.id < kBuiltinVariableLimit &&
            (t.owner == kOwnerUnwritten || t.owner == kOwnerSelf || t.owner == kOwnerOther)) {
            int arg = ArgumentVariable(t.id);
            if (arg == -2) {
                i = &Emit(t.index_reg == kNoReg ? OP_SETARG : OP_SETARGX, t.pos);
                i->c = t.index_reg;
            } else if (arg >= 0) {
                i = &Emit(OP_SETARG, t.pos);
                i->d = arg;
            } else {
                i = &Emit(OP_SETB, t.pos);
                i->c = t.index_reg;
                i->d = t.id;
                i->e = t.owner == kOwnerOther ? 1 : 0;
            }
            i->a = value.reg;
            if (value.is_local) pos_back().pos_b = value.pos;
            return;
        }
        if (t.fixed_owner && t.id >= kFirstUserVariable &&
            (t.owner == kOwnerUnwritten || t.owner == kOwnerSelf || t.owner == kOwnerGlobal)) {
            i = &Emit(t.owner == kOwnerUnwritten ? OP_SETV_IMPL
                      : t.owner == kOwnerSelf    ? OP_SETV_SELF
                                                 : OP_SETV_GLOBAL,
                      t.pos);
        } else {
            i = &Emit(OP_SETVX, t.pos);
            i->b = t.owner_reg;
            i->e = uint32_t(t.owner);
        }
        i->a = value.reg;
        i->c = t.index_reg;
        i->d = t.id;
        if (value.is_local) pos_back().pos_b = value.pos;
    }

    // --- statements ---
    void Statement(const RToken& n, bool store) {
        if (failed_) return;
        uint32_t mark = free_;
        switch (n.kind) {
            case kNodeBlock:
                for (const RToken& c : n.children) Statement(c, store);
                break;
            case kTokAssign:
                Assignment(n, store);
                break;
            case kTokFunction: {
                uint16_t r = Temp();
                Call(n, r);
                if (store) Emit(OP_SETRES, n.position).a = r;
                break;
            }
            case kTokIf: {
                size_t skip = CondJump(n.children[0], false, kMsgExpressionExpected);
                Statement(n.children[1], store);
                if (n.children.size() > 2) {
                    size_t over = EmitJump(OP_JMP, n.position);
                    PatchHere(skip);
                    Statement(n.children[2], store);
                    PatchHere(over);
                } else {
                    PatchHere(skip);
                }
                break;
            }
            case kTokWhile: {
                size_t to_cond = EmitJump(OP_JMP, n.position);
                size_t body = Here();
                ctx_.push_back(Ctx{kLoop, {}, {}, 0});
                Statement(n.children[1], store);
                size_t cond = Here();
                PatchHere(to_cond);
                size_t back = CondJump(n.children[0], true, kMsgBooleanExpected);
                PatchTo(back, body);
                CloseLoop(cond);
                break;
            }
            case kTokDo: {
                size_t body = Here();
                ctx_.push_back(Ctx{kLoop, {}, {}, 0});
                Statement(n.children[0], store);
                size_t cond = Here();
                size_t back = CondJump(n.children[1], false, kMsgBooleanExpected);
                PatchTo(back, body);
                CloseLoop(cond);
                break;
            }
            case kTokFor: {
                // The header's statements work on a scratch value, never on the result.
                ctx_.push_back(Ctx{kHeader, {}, {}, 0});
                Statement(n.children[0], false);
                ctx_.pop_back();
                size_t to_cond = EmitJump(OP_JMP, n.position);
                size_t body = Here();
                ctx_.push_back(Ctx{kLoop, {}, {}, 0});
                Statement(n.children[3], store);
                Ctx loop = std::move(ctx_.back());
                ctx_.pop_back();
                size_t step = Here();
                // A step that adds a number to a local and a test of that local get a fused
                // form in front of them (a placeholder until both are known to fit).
                const bool fusable = LooksLikeForStep(n.children[1], n.children[2]);
                if (fusable) Emit(OP_NOP, n.position);
                ctx_.push_back(Ctx{kHeader, {}, {}, 0});
                Statement(n.children[2], false);
                ctx_.pop_back();
                PatchHere(to_cond);
                size_t back = CondJump(n.children[1], true, kMsgExpressionExpected);
                PatchTo(back, body);
                if (fusable) FuseForStep(step);
                for (size_t j : loop.continues) PatchTo(j, step);
                for (size_t j : loop.breaks) PatchHere(j);
                break;
            }
            case kTokRepeat: {
                uint16_t count = ValueInTemp(n.children[0]);
                Emit(OP_REPINIT, n.children[0].position).a = count;
                size_t to_test = EmitJump(OP_JMP, n.position);
                size_t body = Here();
                ctx_.push_back(Ctx{kLoop, {}, {}, 0});
                Statement(n.children[1], store);
                size_t test = Here();
                PatchHere(to_test);
                Emit(OP_REPLOOP, n.position).a = count;
                PatchTo(Here() - 1, body);
                CloseLoop(test);
                break;
            }
            case kTokWith: {
                uint16_t owner = ValueInTemp(n.children[0]);
                uint16_t slot = uint16_t(with_depth_++);
                if (uint32_t(with_depth_) > p_.nwith) p_.nwith = uint32_t(with_depth_);
                size_t begin = EmitJump(OP_WITHBEGIN, n.children[0].position);
                p_.instrs[begin].a = owner;
                p_.instrs[begin].b = slot;
                size_t body = Here();
                ctx_.push_back(Ctx{kWith, {}, {}, slot});
                Statement(n.children[1], store);
                Ctx w = std::move(ctx_.back());
                ctx_.pop_back();
                size_t next = Here();
                Emit(OP_WITHNEXT, n.position).b = slot;
                PatchTo(next, body);
                for (size_t j : w.continues) PatchTo(j, next);
                for (size_t j : w.breaks) PatchHere(j);
                PatchHere(begin);
                --with_depth_;
                break;
            }
            case kTokSwitch:
                Switch(n, store);
                break;
            case kTokReturn: {
                Operand v = ValueInRegisterOrLocal(n.children[0]);
                Emit(OP_RETV, n.position).a = v.reg;
                if (v.is_local) pos_back().pos_b = v.pos;
                break;
            }
            case kTokExit:
                Emit(OP_RET, n.position);
                break;
            case kTokBreak:
            case kTokContinue:
                Abrupt(n.kind == kTokBreak, n.position);
                break;
            case kTokVar:
                break;
            case kTokGlobalVar:
                for (const RToken& c : n.children) Emit(OP_GLOBALVAR, c.position).d = c.id;
                break;
            case kTokCase:
                Emit(OP_ERROR, n.position).d = kMsgCaseOutsideSwitch;
                break;
            case kTokDefault:
                Emit(OP_ERROR, n.position).d = kMsgDefaultOutsideSwitch;
                break;
            default:
                Emit(OP_ERROR, n.position).d = kMsgStatementExpected;
                break;
        }
        free_ = mark;
    }

    // Whether a `for` header has the shape of a fused step: `l += number` or `l = l + number`
    // on a local l, and a comparison of l with a number or a local.
    bool LooksLikeForStep(const RToken& cond, const RToken& step) const {
        auto is_number = [](const RToken& t) { return t.kind == kTokConstant && t.value.IsReal(); };
        if (step.kind != kTokAssign || !IsSimpleLocal(step.children[0])) return false;
        const int32_t l = step.children[0].id;
        const RToken& v = step.children[1];
        const bool adds =
            (step.id == kTokAddAssign && is_number(v)) ||
            (step.id == kTokAssign && v.kind == kNodeBinary && v.id == kTokPlus &&
             IsSimpleLocal(v.children[0]) && v.children[0].id == l && is_number(v.children[1]));
        if (!adds || cond.kind != kNodeBinary || !IsCompareToken(cond.id)) return false;
        const RToken& x = cond.children[0];
        const RToken& y = cond.children[1];
        auto is_l = [&](const RToken& t) { return IsSimpleLocal(t) && t.id == l; };
        auto is_limit = [&](const RToken& t) { return is_number(t) || IsSimpleLocal(t); };
        return (is_l(x) && is_limit(y)) || (is_number(x) && is_l(y));
    }

    // The placeholder at `at`, the step after it and the test after that: when the step is
    // `local += number` and the test compares that local with a number or a register and jumps
    // back, the placeholder becomes the fused form; otherwise it stays a no-op.
    void FuseForStep(size_t at) {
        if (at + 3 != Here()) return;
        const Instr& inc = p_.instrs[at + 1];
        const Instr& test = p_.instrs[at + 2];
        if (inc.op != OP_ADD_RN || inc.a != inc.b || inc.a >= p_.nlocals || test.a != inc.a) return;
        int rel = int(test.op) - int(OP_JLT_RR_T);
        if (rel < 0 || rel >= 36 || rel % 2 != 0) return;  // jumps when true
        int cmp = rel / 6, form = (rel % 6) / 2;           // KR_COMPARE_OPS order; RR, RK, RN
        static const Op kNumber[] = {OP_FORLT_N, OP_FORLE_N, OP_NOP,
                                     OP_NOP,     OP_FORGE_N, OP_FORGT_N};
        static const Op kRegister[] = {OP_FORLT_R, OP_FORLE_R, OP_NOP,
                                       OP_NOP,     OP_FORGE_R, OP_FORGT_R};
        if (form == 2)
            p_.instrs[at].op = uint16_t(kNumber[cmp]);
        else if (form == 0)
            p_.instrs[at].op = uint16_t(kRegister[cmp]);
    }

    Operand ValueInRegisterOrLocal(const RToken& n) { return ValueInRegister(n); }

    void CloseLoop(size_t continue_target) {
        Ctx loop = std::move(ctx_.back());
        ctx_.pop_back();
        for (size_t j : loop.continues) PatchTo(j, continue_target);
        for (size_t j : loop.breaks) PatchHere(j);
    }

    // break / continue: the jumps their completion codes take through the enclosing
    // statements. A `with` decides at run time: with several targets `break` ends it, with a
    // single target the code goes on outwards.
    void Abrupt(bool is_break, int32_t pos) {
        for (size_t k = ctx_.size(); k-- > 0;) {
            Ctx& c = ctx_[k];
            switch (c.kind) {
                case kLoop:
                    (is_break ? c.breaks : c.continues).push_back(EmitJump(OP_JMP, pos));
                    return;
                case kSwitch:
                    if (is_break) {
                        c.breaks.push_back(EmitJump(OP_JMP, pos));
                        return;
                    }
                    break;
                case kWith:
                    if (!is_break) {
                        c.continues.push_back(EmitJump(OP_JMP, pos));
                        return;
                    }
                    c.breaks.push_back(EmitJump(OP_WITHBREAK, pos));
                    p_.instrs.back().b = c.with_slot;
                    break;
                case kHeader:
                    break;
            }
        }
        Emit(OP_RET, pos);  // reaching the top ends the code like exit
    }

    // Jumps (to be patched) when the condition's truth equals `when`.
    size_t CondJump(const RToken& cond, bool when, int32_t message) {
        uint32_t mark = free_;
        size_t at;
        if (cond.kind == kNodeBinary && IsCompareToken(cond.id)) {
            const RToken* l = &cond.children[0];
            const RToken* r = &cond.children[1];
            int32_t op = cond.id;
            if (l->kind == kTokConstant && r->kind != kTokConstant) {
                std::swap(l, r);
                op = SwappedCompare(op);
            }
            Operand a = ValueInRegister(*l);
            if (a.is_local && !IsTrivial(*r)) {
                Emit(OP_CHKL, l->position).a = a.reg;
                pos_back().pos_b = l->position;
            }
            Operand b = Value(*r);
            if (b.is_k && b.k > 0xFFFF) {
                uint16_t t = Temp();
                Emit(OP_LOADK, cond.position).a = t;
                p_.instrs.back().d = int32_t(b.k);
                b.is_k = false;
                b.reg = t;
            }
            int ci = CompareIndex(op);
            Op base = Op(OP_JLT_RR_T + 6 * ci);
            // The number forms of <, <=, >=, > test against a threshold instead.
            double number = b.is_k && p_.k[b.k].IsReal() ? p_.k[b.k].real : 0.0;
            const int32_t tok = op == kTokAssign ? kTokEqual : op;
            bool num =
                b.is_k && p_.k[b.k].IsReal() &&
                (tok == kTokEqual || tok == kTokNotEqual || CompareThreshold(tok, number, number));
            Op o = Op(base + (num ? 4 : b.is_k ? 2 : 0) + (when ? 0 : 1));
            at = EmitJump(o, cond.position);
            Instr& i = p_.instrs[at];
            i.a = a.reg;
            if (num) {
                SetNum(i, number);
            } else if (b.is_k) {
                i.c = uint16_t(b.k);
            } else {
                i.b = b.reg;
            }
            if (a.is_local) p_.positions[at].pos_b = a.pos;
            if (b.is_local) p_.positions[at].pos_c = b.pos;
        } else {
            Operand v = ValueInRegister(cond);
            at = EmitJump(when ? OP_JT : OP_JF, cond.position);
            p_.instrs[at].a = v.reg;
            p_.instrs[at].c = uint16_t(message);
            if (v.is_local) p_.positions[at].pos_b = v.pos;
        }
        free_ = mark;
        return at;
    }

    void Assignment(const RToken& n, bool store) {
        const RToken& target = n.children[0];
        const RToken& value = n.children[1];
        const int32_t op = n.id;
        const bool plain = op == kTokAssign;
        if (IsSimpleLocal(target)) {
            uint16_t l = local_of_[target.id];
            if (plain) {
                ExprTo(value, l);
            } else {
                Operand self{false, 0, l, true, target.position};
                uint32_t mark = free_;
                Operand v = Value(value);
                EmitBinary(CompoundToBinary(op), l, self, v, n.position);
                free_ = mark;
            }
            if (store) Emit(OP_SETRES, n.position).a = l;
            return;
        }
        Target t = Resolve(target);
        Operand v = Value(value);
        if (v.is_local) {
            // A local read in place may be unset: the move reports it (or reads 0) before the
            // write, so no variable or result ever holds the unset mark.
            uint16_t r = Temp();
            Emit(OP_MOVE, value.position).a = r;
            p_.instrs.back().b = v.reg;
            pos_back().pos_b = v.pos;
            v = Operand{false, 0, r, false, value.position};
        } else if (v.is_k) {
            uint16_t r = Temp();
            Emit(OP_LOADK, value.position).a = r;
            p_.instrs.back().d = int32_t(v.k);
            v = Operand{false, 0, r, false, value.position};
        }
        if (!plain) {
            uint16_t cur = Temp();
            EmitRead(t, cur);
            Operand c{false, 0, cur, false, target.position};
            EmitBinary(CompoundToBinary(op), cur, c, v, n.position);
            v = c;
        }
        EmitWrite(t, v);
        if (store) {
            Emit(OP_SETRES, n.position).a = v.reg;
            if (v.is_local) pos_back().pos_b = v.pos;
        }
    }

    // switch: the scan over the labels that are direct children (up to the first default),
    // then the body with the labels as jump targets.
    void Switch(const RToken& n, bool store) {
        uint16_t x = ValueInTemp(n.children[0]);
        std::vector<std::pair<size_t, size_t>> label_jumps;  // (jump, child index)
        bool has_default = false;
        for (size_t i = 1; i < n.children.size() && !failed_; ++i) {
            const RToken& c = n.children[i];
            if (c.kind == kTokDefault) {
                label_jumps.emplace_back(EmitJump(OP_JMP, c.position), i);
                has_default = true;
                break;
            }
            if (c.kind != kTokCase) continue;
            uint32_t mark = free_;
            size_t j;
            if (c.children[0].kind == kTokConstant) {
                uint32_t k = Constant(c.children[0].value);
                j = EmitJump(OP_SWEQ, c.position);
                p_.instrs[j].b = kNoReg;
                p_.instrs[j].e = k;
            } else {
                uint16_t v = ValueInTemp(c.children[0]);
                j = EmitJump(OP_SWEQ, c.position);
                p_.instrs[j].b = v;
            }
            p_.instrs[j].a = x;
            label_jumps.emplace_back(j, i);
            free_ = mark;
        }
        size_t no_match = has_default ? 0 : EmitJump(OP_JMP, n.position);
        ctx_.push_back(Ctx{kSwitch, {}, {}, 0});
        std::vector<size_t> label_at(n.children.size(), 0);
        for (size_t i = 1; i < n.children.size() && !failed_; ++i) {
            const RToken& c = n.children[i];
            if (c.kind == kTokCase || c.kind == kTokDefault) {
                label_at[i] = Here();
                continue;
            }
            Statement(c, store);
        }
        Ctx sw = std::move(ctx_.back());
        ctx_.pop_back();
        for (auto [j, i] : label_jumps) PatchTo(j, label_at[i]);
        if (!has_default) PatchHere(no_match);
        for (size_t j : sw.breaks) PatchHere(j);
    }

    Runtime& rt_;
    const CCode& code_;
    Proto& p_;
    bool failed_ = false;
    uint32_t free_ = 0;
    uint32_t max_regs_ = 0;
    uint32_t used_regs_ = 0;
    int with_depth_ = 0;
    std::vector<Ctx> ctx_;
    std::unordered_map<int32_t, uint16_t> local_of_;
    uint32_t args_read_ = 0;  // fixed arguments read, when the arguments are stable
    uint16_t arg_reg_[kArgCount] = {kNoReg, kNoReg, kNoReg, kNoReg, kNoReg, kNoReg, kNoReg, kNoReg,
                                    kNoReg, kNoReg, kNoReg, kNoReg, kNoReg, kNoReg, kNoReg, kNoReg};
    std::unordered_map<uint64_t, uint32_t> real_k_;
    std::unordered_map<std::string, uint32_t> str_k_;
};

const char* OpName(uint16_t op) {
    static const char* const kNames[] = {
#define KR_OP_NAME(name) #name,
        KR_OPCODES(KR_OP_NAME)
#define KR_BIN_NAME(name) #name "_RR", #name "_RN", #name "_NR",
            KR_BINARY_OPS(KR_BIN_NAME)
#define KR_CMPJ_NAME(name)                                                                         \
    "J" #name "_RR_T", "J" #name "_RR_F", "J" #name "_RK_T", "J" #name "_RK_F", "J" #name "_RN_T", \
        "J" #name "_RN_F",
                KR_COMPARE_OPS(KR_CMPJ_NAME)
#undef KR_OP_NAME
#undef KR_BIN_NAME
#undef KR_CMPJ_NAME
    };
    return op < OP_COUNT_ ? kNames[op] : "?";
}

}  // namespace

bool LowerCode(Runtime& rt, const CCode& code, Proto& out) {
    Lowerer l(rt, code, out);
    return l.Run();
}

std::string DisassembleProto(const Proto& p) {
    std::string s;
    char line[160];
    std::snprintf(line, sizeof line, "; %u locals, %u registers, %u with slots, %zu constants\n",
                  p.nlocals, p.nregs, p.nwith, p.k.size());
    s += line;
    for (size_t i = 0; i < p.instrs.size(); ++i) {
        const Instr& in = p.instrs[i];
        std::snprintf(line, sizeof line, "%4zu  %-14s a=%u b=%u c=%u d=%d e=%u  @%d\n", i,
                      OpName(in.op), in.a, in.b, in.c, in.d, in.e, p.positions[i].pos);
        s += line;
    }
    return s;
}

}  // namespace kr

// The lowering of a checked code tree into register code, shared by its units: Lower.cpp
// (the driver, locals and arguments), LowerExpression.cpp, LowerStatement.cpp and
// LowerFused.cpp (the fused instructions). Private to src/code.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "code/Bytecode.h"
#include "code/Code.h"
#include "code/Runtime.h"

namespace kr {

constexpr uint32_t kMaxRegisters = 0xFF00;

bool IsCompareToken(int32_t t);
// Index of an operator in KR_BINARY_OPS order.
int BinaryIndex(int32_t tok);
// Index of a comparison in KR_COMPARE_OPS order.
int CompareIndex(int32_t tok);
// The comparison with its operands swapped (exact: a - b is -(b - a)).
int32_t SwappedCompare(int32_t tok);
int32_t CompoundToBinary(int32_t assign_op);
// Whether a statement can end the whole code without passing the statements after it:
// `exit`, or a `break`/`continue` that no enclosing statement is sure to catch.
bool Escapes(const RToken& n, bool break_caught, bool continue_caught);
bool IsStatementResult(const RToken& n);

class Lowerer {
public:
    Lowerer(Runtime& rt, const CCode& code, Proto& p) : rt_(rt), code_(code), p_(p) {}

    bool Run();

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
    void CollectLocals(const RToken& n);
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
    bool ArgsStable(const RToken& n, bool write);
    // The register holding argument `n` read at the start, or kNoReg.
    uint16_t ArgRegister(const RToken& n) const {
        if (n.kind != kTokSimpleVariable || n.id >= kBuiltinVariableLimit || args_read_ == 0)
            return kNoReg;
        int k = ArgumentVariable(n.id);
        return k >= 0 ? arg_reg_[k] : kNoReg;
    }

    // argument / argument0..15: -2 for the array form, 0..15, or -1.
    int ArgumentVariable(int32_t id) const;

    // --- expressions ---
    // The value of `n` as an operand: a constant, a local register read in place, or a temp.
    Operand Value(const RToken& n);
    // The value of `n` in a register that is not an unset local (constants are loaded).
    Operand ValueInRegister(const RToken& n);
    // The value of `n` in a fresh temporary.
    uint16_t ValueInTemp(const RToken& n);

    void ExprTo(const RToken& n, uint16_t dest);

    Operand LoadConstant(Operand o);

    void EmitBinary(int32_t tok, uint16_t dest, Operand a, Operand b, int32_t pos);

    // A remainder by an integer of a fused multiply-add's sum, kept in a temporary for it
    // alone: the fused form covers the remainder too.
    void FuseMulAddMod();

    // Inserts `op` before the last `count` instructions (none of which is a jump target yet).
    void InsertBefore(size_t count, Op op);

    // A product of a temporary and a number that only feeds the addition after it: the pair
    // gets the fused form, which keeps the product out of memory.
    void FuseMulAdd();

    // A condition `A || B` or `A && B` whose sides each compare a number with a local or with
    // a built-in variable, lowered from `start` up to its jump: it gets the fused form, which
    // jumps on each comparison (neither side can fail or change anything). The jump's new
    // place.
    size_t FuseCondition(size_t start, size_t jump);

    // `v op= w` on a built-in v of self or other with w a built-in or a number, lowered from
    // `start`: it gets the fused form, which writes v in place.
    void FuseBuiltinUpdate(size_t start);

    // call -> the arguments in consecutive temporaries, then one call instruction.
    void Call(const RToken& n, uint16_t dest);

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
    Target Resolve(const RToken& n);

    void ReadVariable(const RToken& n, uint16_t dest);

    void EmitRead(const Target& t, uint16_t dest);

    // Stores register `value` (possibly an unset local) into a resolved target.
    void EmitWrite(const Target& t, Operand value);

    // --- statements ---
    void Statement(const RToken& n, bool store);

    // Whether a `for` header has the shape of a fused step: `l += number` or `l = l + number`
    // on a local l, and a comparison of l with a number or a local.
    bool LooksLikeForStep(const RToken& cond, const RToken& step) const;

    // The placeholder at `at`, the step after it and the test after that: when the step is
    // `local += number` and the test compares that local with a number or a register and jumps
    // back, the placeholder becomes the fused form; otherwise it stays a no-op.
    void FuseForStep(size_t at);

    // Whether an `if` has the shape of a fused choice: a comparison, and in each arm (alone
    // or in a block of its own) `l += number` or `l -= number` on a local l.
    bool LooksLikeChoice(const RToken& n) const;

    // The placeholder at `at`, the compare jump after it, the then arm, its jump over the else
    // arm at `else_at`, and that arm up to the end: when both arms add a number to (or subtract
    // one from) the same local, the placeholder becomes the fused form; otherwise a no-op.
    void FuseChoice(size_t at, size_t else_at);

    Operand ValueInRegisterOrLocal(const RToken& n) { return ValueInRegister(n); }

    void CloseLoop(size_t continue_target);

    // break / continue: the jumps their completion codes take through the enclosing
    // statements. A `with` decides at run time: with several targets `break` ends it, with a
    // single target the code goes on outwards.
    void Abrupt(bool is_break, int32_t pos);

    // Jumps (to be patched) when the condition's truth equals `when`.
    size_t CondJump(const RToken& cond, bool when, int32_t message);

    void Assignment(const RToken& n, bool store);

    // switch: the scan over the labels that are direct children (up to the first default),
    // then the body with the labels as jump targets.
    void Switch(const RToken& n, bool store);

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

}  // namespace kr

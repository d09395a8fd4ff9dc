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
#include "code/Lowerer.h"
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

bool Lowerer::Run() {
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

void Lowerer::CollectLocals(const RToken& n) {
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

// Whether the arguments of the code can change only through its own writes to them while
// it runs: no built-in or extension function (which may run other code on the same
// arguments), no variable reached through an accessor or another instance, no `with`,
// and no write to an argument. Collects the fixed arguments read (argument0..15).
bool Lowerer::ArgsStable(const RToken& n, bool write) {
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
            if (w != kOwnerLocal && w != kOwnerUnwritten && w != kOwnerSelf && w != kOwnerGlobal)
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

// argument / argument0..15: -2 for the array form, 0..15, or -1.
int Lowerer::ArgumentVariable(int32_t id) const {
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

namespace {

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

void SetTrap(Proto& p, uint32_t at) {
    if (at >= p.instrs.size() || p.instrs[at].op == OP_BREAK) return;
    if (p.traps.size() < p.instrs.size()) p.traps.resize(p.instrs.size());
    p.traps[at] = p.instrs[at].op;
    p.instrs[at].op = OP_BREAK;
}

void ClearTraps(Proto& p) {
    if (p.traps.empty()) return;
    for (size_t i = 0; i < p.instrs.size(); ++i)
        if (p.instrs[i].op == OP_BREAK) p.instrs[i].op = p.traps[i];
}

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

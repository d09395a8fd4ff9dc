// Compiling a piece of code: the lexer, the parser (Parser.cpp), the post-pass over the code
// tree (phase 4) and lowering.
#include <string>
#include <unordered_set>
#include <vector>

#include "code/BuiltinRegistry.h"
#include "code/Bytecode.h"
#include "code/Code.h"
#include "code/Operators.h"
#include "code/Parser.h"
#include "code/Runtime.h"

namespace kr {

namespace {

// Phase 4: children before their node, siblings in order.
class PostPass {
public:
    PostPass(Runtime& rt, const CCode& code) : rt_(rt), code_(code) {}

    void Walk(RToken& n) {
        for (RToken& c : n.children) {
            Walk(c);
            if (rt_.ErrorPending()) return;
        }
        switch (n.kind) {
            case kTokVar:
                for (const RToken& c : n.children) declared_.insert(c.id);
                break;
            case kTokVariable: {
                RToken& owner = n.children[0];
                if (owner.kind != kTokConstant) break;
                if (owner.value.IsReal() && owner.value.real == double(kOwnerUnwritten) &&
                    declared_.count(n.id))
                    owner.value = RValue(double(kOwnerLocal));
                if (n.children.size() == 1) {
                    if (owner.value.IsString()) {
                        rt_.ReportCodeError(code_, n.position,
                                            "Left hand side must be a real value.");
                        return;
                    }
                    n.kind = kTokSimpleVariable;
                    n.owner = int32_t(RoundToInt64(owner.value.real));
                }
                break;
            }
            case kNodeUnary:
                if (n.children[0].kind == kTokConstant) {
                    RValue v = n.children[0].value;
                    if (const char* err = ApplyUnary(n.id, v)) {
                        rt_.ReportCodeError(code_, n.position, err);
                        return;
                    }
                    MakeConstant(n, std::move(v));
                }
                break;
            case kNodeBinary:
                if (n.children[0].kind == kTokConstant && n.children[1].kind == kTokConstant) {
                    RValue v = n.children[0].value;
                    if (const char* err =
                            ApplyBinary(n.id, v, n.children[1].value, rt_.MaxStringLength())) {
                        rt_.ReportCodeError(code_, n.position, err);
                        return;
                    }
                    MakeConstant(n, std::move(v));
                }
                break;
            default:
                break;
        }
    }

private:
    static void MakeConstant(RToken& n, RValue v) {
        n.kind = kTokConstant;
        n.value = std::move(v);
        n.children.clear();
        n.height = 1;
    }

    Runtime& rt_;
    const CCode& code_;
    std::unordered_set<int32_t> declared_;
};

}  // namespace

CCode::CCode(std::string source, bool is_expression)
    : kind_(is_expression ? kExpression : kProgram), source_(std::move(source)) {}

CCode::~CCode() = default;

bool CCode::Compile(Runtime& rt) {
    if (compiled_) {
        rt.ClearError();
        rt.ReportCodeError(*this, 0, "Internal Error: Recompiling compiled code.");
        return false;
    }
    root_ = RToken();
    rt.ClearError();
    std::vector<RToken1> tokens1;
    // A huge text (execute_string of a generated program) takes a while: a request to stop the
    // run ends the compilation early, as a failure that is not reported.
    if (!Tokenize(source_, tokens1, rt.InterruptFlag())) {
        if (rt.Interrupted()) return false;
        rt.ReportCodeError(*this, tokens1.back().position, "Unexpected symbol.");
        return false;
    }
    if (!ParseCode(rt, *this, tokens1, kind_ == kExpression, root_)) {
        root_ = RToken();
        return false;
    }
    tokens1.clear();
    if (rt.Interrupted()) return false;

    rt.ClearError();
    PostPass post(rt, *this);
    post.Walk(root_);
    if (rt.ErrorPending() || rt.Interrupted()) return false;

    if (kind_ == kExpression && root_.kind == kTokConstant) {
        constant_ = root_.value;
        kind_ = kConstantExpression;
    } else {
        auto proto = std::make_unique<Proto>();
        rt.ClearError();
        if (!LowerCode(rt, *this, *proto)) return false;
        proto_ = std::move(proto);
    }
    compiled_ = true;
    return true;
}

}  // namespace kr

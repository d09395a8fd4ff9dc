// CCode: one compilable piece of script code (a script, a code action, an action argument, a
// trigger condition, a constant's value, a string given to execute_string).
//
// Compilation runs the four phases: tokens (Lexer), resolved tokens, the checked code tree
// (`RToken` nodes, recursive descent), and the post-pass that binds `var` names, reduces plain
// variable references and folds constants. The checked tree is then lowered once into the
// register code that the interpreter runs (Bytecode.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "code/Lexer.h"
#include "code/Value.h"

namespace kr {

class Runtime;
struct Proto;

// Node kinds of the code tree beyond the token kinds of the lexer.
enum NodeKind : int32_t {
    kNodeEmptyProgram = -2,
    kNodeEmpty = -1,
    kNodeBlock = 1000,
    kNodeUnary = 1010,
    kNodeBinary = 1011,
};

// A node of the code tree. `kind` is a token kind (5 constant, 6 call, 7 variable, 8 simple
// variable, 13.. statements, 101 assignment) or one of NodeKind.
struct RToken {
    int32_t kind = kNodeEmpty;
    int32_t id = 0;     // function id, variable name id or operator token kind
    int32_t owner = 0;  // the fixed owner of a simple variable
    RValue value;       // the value of a constant
    std::vector<RToken> children;
    int32_t position = 0;  // source position of the token that starts the node
    int32_t height = 1;    // 1 + the largest height of the children (bounds every tree walk)
};

class CCode {
public:
    enum Kind : int32_t { kProgram = 1, kExpression = 2, kConstantExpression = 3 };

    CCode(std::string source, bool is_expression);
    ~CCode();
    CCode(const CCode&) = delete;
    CCode& operator=(const CCode&) = delete;

    // Runs the compile phases; errors are recorded through rt.ReportCodeError and give false.
    bool Compile(Runtime& rt);

    Kind kind() const { return kind_; }
    bool compiled() const { return compiled_; }
    const std::string& Source() const { return source_; }
    const RToken& Root() const { return root_; }
    // The value of a constant expression (kind 3).
    const RValue& Constant() const { return constant_; }
    // The lowered code (nullptr before a successful compilation).
    Proto* GetProto() const { return proto_.get(); }

    // Keeps the value of every assignment in the result even where a later statement is
    // certain to replace it. Only a caller that reads the result of a failed execution (the
    // code of execute_string) needs this; set it before Compile.
    void SetKeepEveryResult(bool v) { keep_every_result_ = v; }
    bool KeepEveryResult() const { return keep_every_result_; }

private:
    Kind kind_;
    bool compiled_ = false;
    bool keep_every_result_ = false;
    std::string source_;
    RToken root_;
    RValue constant_;
    std::unique_ptr<Proto> proto_;
};

// Deepest code tree (and parser recursion) accepted; deeper code is the compile error
// "Code is nested too deeply." instead of exhausting the native stack.
constexpr int32_t kMaxTreeHeight = 1000;

}  // namespace kr

// The parser: turns the lexer's tokens into the checked code tree of a CCode.
#pragma once

#include <vector>

#include "code/Code.h"
#include "code/Lexer.h"

namespace kr {

// Resolves `tokens` (names become functions, constants or variables; numbers and strings become
// constants) and parses them into `root`: a program, or an expression when `expression` is set.
// Errors are recorded through rt.ReportCodeError and give false; `root` is then partial.
bool ParseCode(Runtime& rt, const CCode& code, const std::vector<RToken1>& tokens, bool expression,
               RToken& root);

}  // namespace kr

// The lexer: the first compile phase, turning the source text of a piece of script code into
// tokens. Numbers and strings keep their text; values and names are resolved by the parser.
#pragma once

#include <csignal>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kr {

// Token kinds, shared by the lexer, the parser and the code tree (ORDER TOKEN: the numbers are
// part of the code tree's form).
enum TokenKind : int32_t {
    kTokEnd = -2,
    kTokError = -1,
    kTokIdentifier = 0,
    kTokNumber = 1,
    kTokString = 2,
    kTokConstant = 5,  // phase 2 and later
    kTokFunction = 6,
    kTokVariable = 7,
    kTokSimpleVariable = 8,
    kTokBegin = 11,
    kTokEndBlock = 12,
    kTokIf = 13,
    kTokThen = 14,
    kTokElse = 15,
    kTokWhile = 16,
    kTokDo = 17,
    kTokFor = 18,
    kTokUntil = 19,
    kTokRepeat = 20,
    kTokExit = 21,
    kTokBreak = 22,
    kTokContinue = 23,
    kTokWith = 24,
    kTokReturn = 25,
    kTokSwitch = 26,
    kTokCase = 27,
    kTokDefault = 28,
    kTokVar = 29,
    kTokGlobalVar = 30,
    kTokAssign = 101,
    kTokAddAssign = 102,
    kTokSubAssign = 103,
    kTokMulAssign = 104,
    kTokDivAssign = 105,
    kTokOpen = 106,
    kTokClose = 107,
    kTokSemicolon = 108,
    kTokComma = 109,
    kTokOpenBracket = 110,
    kTokCloseBracket = 111,
    kTokDot = 112,
    kTokColon = 113,
    kTokOrAssign = 114,
    kTokAndAssign = 115,
    kTokXorAssign = 116,
    kTokAnd = 201,
    kTokOr = 202,
    kTokNot = 203,
    kTokLess = 204,
    kTokLessEqual = 205,
    kTokEqual = 206,
    kTokNotEqual = 207,
    kTokGreaterEqual = 208,
    kTokGreater = 209,
    kTokPlus = 210,
    kTokMinus = 211,
    kTokStar = 212,
    kTokSlash = 213,
    kTokDiv = 214,
    kTokMod = 215,
    kTokXor = 216,
    kTokBitOr = 217,
    kTokBitAnd = 218,
    kTokBitXor = 219,
    kTokBitNot = 220,
    kTokShiftLeft = 221,
    kTokShiftRight = 222,
};

struct RToken1 {
    int32_t kind = kTokEnd;
    std::string text;      // for strings without the quotes; empty for the end token
    int32_t position = 0;  // 1-based index of the first character, line breaks counted
};

// Scans the token that starts at or after `pos` (1-based) of `text`, which must end with the
// three spaces that Tokenize appends, and advances `pos` past it.
RToken1 NextToken(std::string_view text, int32_t& pos);

// Turns `source` into tokens ending with the end token. On an unexpected character the list
// ends with that token (kind -1) and the result is false: the caller reports "Unexpected
// symbol." at its position. A non-zero `*stop` (polled every few thousand tokens) ends the
// list early with false too; the caller tells the two apart by the flag.
bool Tokenize(std::string_view source, std::vector<RToken1>& out,
              const volatile std::sig_atomic_t* stop = nullptr);

}  // namespace kr

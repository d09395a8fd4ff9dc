#include "code/Lexer.h"

#include <cstring>

namespace kr {

namespace {

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsHexDigit(char c) {
    return IsDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

struct Word {
    const char* text;
    int32_t kind;
};

constexpr Word kKeywords[] = {
    {"begin", kTokBegin},
    {"end", kTokEndBlock},
    {"if", kTokIf},
    {"then", kTokThen},
    {"else", kTokElse},
    {"while", kTokWhile},
    {"do", kTokDo},
    {"for", kTokFor},
    {"with", kTokWith},
    {"until", kTokUntil},
    {"repeat", kTokRepeat},
    {"exit", kTokExit},
    {"return", kTokReturn},
    {"break", kTokBreak},
    {"continue", kTokContinue},
    {"switch", kTokSwitch},
    {"case", kTokCase},
    {"default", kTokDefault},
    {"and", kTokAnd},
    {"or", kTokOr},
    {"not", kTokNot},
    {"div", kTokDiv},
    {"mod", kTokMod},
    {"xor", kTokXor},
    {"var", kTokVar},
    {"globalvar", kTokGlobalVar},
};

// Two-character symbols, in the order they are tried.
constexpr Word kPairs[] = {
    {":=", kTokAssign},     {"+=", kTokAddAssign}, {"-=", kTokSubAssign}, {"*=", kTokMulAssign},
    {"/=", kTokDivAssign},  {"&&", kTokAnd},       {"||", kTokOr},        {"<=", kTokLessEqual},
    {"==", kTokEqual},      {"!=", kTokNotEqual},  {"<>", kTokNotEqual},  {">=", kTokGreaterEqual},
    {"|=", kTokOrAssign},   {"&=", kTokAndAssign}, {"^=", kTokXorAssign}, {"<<", kTokShiftLeft},
    {">>", kTokShiftRight}, {"^^", kTokXor},
};

int32_t SingleKind(char c) {
    switch (c) {
        case '{':
            return kTokBegin;
        case '}':
            return kTokEndBlock;
        case '=':
            return kTokAssign;
        case '(':
            return kTokOpen;
        case ')':
            return kTokClose;
        case '[':
            return kTokOpenBracket;
        case ']':
            return kTokCloseBracket;
        case ';':
            return kTokSemicolon;
        case ':':
            return kTokColon;
        case ',':
            return kTokComma;
        case '<':
            return kTokLess;
        case '>':
            return kTokGreater;
        case '+':
            return kTokPlus;
        case '-':
            return kTokMinus;
        case '*':
            return kTokStar;
        case '/':
            return kTokSlash;
        case '!':
            return kTokNot;
        case '.':
            return kTokDot;
        case '|':
            return kTokBitOr;
        case '&':
            return kTokBitAnd;
        case '^':
            return kTokBitXor;
        case '~':
            return kTokBitNot;
        default:
            return kTokError;
    }
}

}  // namespace

RToken1 NextToken(std::string_view t, int32_t& pos) {
    // Positions are 1-based as in the token record; at(p) reads character p. The text ends
    // with three spaces, so one character of look-ahead never leaves it.
    const int32_t n = int32_t(t.size());
    auto at = [&](int32_t p) { return t[size_t(p - 1)]; };
    int32_t p = pos;
    for (;;) {
        while (p <= n && static_cast<unsigned char>(at(p)) < 33) ++p;
        if (p > n) {
            pos = p;
            return RToken1{kTokEnd, {}, p};
        }
        if (at(p) == '/' && p < n && at(p + 1) == '/') {
            while (p <= n && at(p) != '\r' && at(p) != '\n') ++p;
            ++p;
            continue;
        }
        if (at(p) == '/' && p < n && at(p + 1) == '*') {
            // The search starts on the opening '/', so "/*/" closes itself.
            while (p < n && !(at(p) == '*' && at(p + 1) == '/')) ++p;
            p += 2;
            continue;
        }
        break;
    }

    RToken1 tok;
    tok.position = p;
    char c = at(p);
    if (IsLetter(c)) {
        int32_t start = p;
        while (p <= n && (IsLetter(at(p)) || IsDigit(at(p)))) ++p;
        tok.text.assign(t.substr(size_t(start - 1), size_t(p - start)));
        tok.kind = kTokIdentifier;
        for (const Word& w : kKeywords) {
            if (tok.text == w.text) {
                tok.kind = w.kind;
                break;
            }
        }
    } else if (IsDigit(c) || c == '$' || (c == '.' && p < n && IsDigit(at(p + 1)))) {
        int32_t start = p;
        if (c == '$') {
            ++p;
            while (p <= n && IsHexDigit(at(p))) ++p;
        } else {
            while (p <= n && (IsDigit(at(p)) || at(p) == '.')) ++p;
        }
        tok.text.assign(t.substr(size_t(start - 1), size_t(p - start)));
        tok.kind = kTokNumber;
    } else if (c == '\'' || c == '"') {
        int32_t start = ++p;
        while (p <= n && at(p) != c) ++p;
        tok.text.assign(t.substr(size_t(start - 1), size_t(p - start)));
        if (p <= n) ++p;  // the closing quote
        tok.kind = kTokString;
    } else {
        tok.kind = kTokError;
        if (p < n) {
            for (const Word& w : kPairs) {
                if (at(p) == w.text[0] && at(p + 1) == w.text[1]) {
                    tok.kind = w.kind;
                    break;
                }
            }
        }
        if (tok.kind != kTokError) {
            tok.text.assign(t.substr(size_t(p - 1), 2));
            p += 2;
        } else {
            tok.kind = SingleKind(c);
            tok.text.assign(1, c);
            ++p;
        }
    }
    pos = p;
    return tok;
}

bool Tokenize(std::string_view source, std::vector<RToken1>& out,
              const volatile std::sig_atomic_t* stop) {
    std::string text(source);
    text += "   ";
    out.clear();
    int32_t pos = 1;
    for (;;) {
        out.push_back(NextToken(text, pos));
        if (out.back().kind == kTokError) return false;
        if (out.back().kind == kTokEnd) return true;
        if ((out.size() & 0xFFF) == 0 && stop && *stop) return false;
    }
}

}  // namespace kr

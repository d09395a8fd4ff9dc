#include "platform/Text.h"

#include <cstdint>

namespace kr {

namespace {
// Code points of bytes 0x80..0x9F; the rest of the code page equals Latin-1.
constexpr uint16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
}  // namespace

std::string GameTextToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        uint8_t b = uint8_t(ch);
        uint32_t cp = (b >= 0x80 && b < 0xA0) ? kHigh[b - 0x80] : b;
        if (cp < 0x80) {
            out += char(cp);
        } else if (cp < 0x800) {
            out += char(0xC0 | cp >> 6);
            out += char(0x80 | (cp & 0x3F));
        } else {
            out += char(0xE0 | cp >> 12);
            out += char(0x80 | (cp >> 6 & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

std::string Utf8ToGameText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        uint8_t b = uint8_t(text[i]);
        uint32_t cp;
        size_t n;
        if (b < 0x80) {
            cp = b;
            n = 1;
        } else if ((b & 0xE0) == 0xC0) {
            cp = b & 0x1Fu;
            n = 2;
        } else if ((b & 0xF0) == 0xE0) {
            cp = b & 0x0Fu;
            n = 3;
        } else if ((b & 0xF8) == 0xF0) {
            cp = b & 0x07u;
            n = 4;
        } else {
            out += '?';
            ++i;
            continue;
        }
        bool ok = i + n <= text.size();
        for (size_t k = 1; ok && k < n; ++k) {
            uint8_t c = uint8_t(text[i + k]);
            ok = (c & 0xC0) == 0x80;
            cp = cp << 6 | (c & 0x3Fu);
        }
        if (!ok) {
            out += '?';
            ++i;
            continue;
        }
        i += n;
        if (cp < 0x80 || (cp >= 0xA0 && cp < 0x100)) {
            out += char(cp);
            continue;
        }
        char mapped = '?';
        for (int k = 0; k < 32; ++k)
            if (kHigh[k] == cp) mapped = char(0x80 + k);
        out += mapped;
    }
    return out;
}

}  // namespace kr

// Character sets. Game text is single-byte text in the Western Windows code page (1252); the
// host (terminal, window titles, message boxes, JSON) speaks UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace kr {

// Game text to UTF-8. The five bytes that the code page leaves undefined map to the control
// characters of the same number, so no byte is lost.
std::string GameTextToUtf8(std::string_view text);
// UTF-8 to game text: characters the code page lacks become '?', and so does every byte of a
// malformed sequence.
std::string Utf8ToGameText(std::string_view text);

}  // namespace kr

// WAV files for the web runner's sound: 8, 16, 24 and 32-bit integer samples and 32 and 64-bit
// float ones, in the plain or the extensible header. More than two channels are mixed down to
// two (the first, third... left; the others right).
#pragma once

#include <cstdint>
#include <span>

#include "platform/audio/AudioDecoder.h"

namespace kr {

// False when `bytes` is no WAV file of those formats; at most `max_frames` frames are read.
bool ReadWav(std::span<const uint8_t> bytes, int64_t max_frames, PcmAudio& out);

}  // namespace kr

// Fuzz target: sound data as games store it, through the decoder (sound files and MIDI) and the
// effect chain over whatever decoded. Sounds are cut at ten seconds so that a small input cannot
// ask for hours of rendering.
#include <cstddef>
#include <cstdint>

#include "platform/audio/AudioDecoder.h"
#include "sound/SoundEffects.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static kr::AudioDecoder decoder;
    decoder.SetMaxFrames(10 * 44100);
    kr::PcmAudio pcm;
    if (!decoder.Decode(std::span(data, size), pcm)) return 0;
    if (pcm.channels < 1 || pcm.channels > 2 || pcm.samples.size() % size_t(pcm.channels) != 0)
        __builtin_trap();
    kr::EffectSettings settings;
    kr::ApplySoundEffects(pcm.samples, pcm.channels, pcm.rate, 0x1FF, settings);
    return 0;
}

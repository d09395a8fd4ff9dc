// Fuzz target: every image decoder through format detection, then the writers on whatever
// decoded. Images are capped at 4 Mpixels so a tiny header cannot ask for gigabytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "data/ImageCodecs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<kr::TBitmap32> frames;
    if (!kr::DecodeImage(std::span(data, size), frames, size_t(1) << 22)) return 0;
    // Our own BMP must round-trip. (A fully transparent image is the exception: a 32-bit BMP
    // without any alpha reads as opaque.)
    const std::vector<uint8_t> bmp = kr::EncodeBmp(frames[0]);
    auto back = kr::DecodeBmp(bmp);
    if (!back || (frames[0].HasAlpha() && !(*back == frames[0]))) __builtin_trap();
    return 0;
}

// Fuzz target: the sprite and background readers of game-data records and side files, and the
// embedded picture value. The first byte picks the reader; the rest is its input.
#include <cstddef>
#include <cstdint>
#include <span>

#include "data/Background.h"
#include "data/ImageCodecs.h"
#include "data/Sprite.h"
#include "data/Stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::span<const uint8_t> rest(data + 1, size - 1);
    kr::CStream s(rest.data(), rest.size());
    switch (data[0] % 5) {
        case 0: {
            kr::CSprite sprite;
            if (sprite.LoadFromStream(s)) {
                kr::CStream out;
                sprite.SaveToStream(out);
            }
            break;
        }
        case 1: {
            kr::CBackground background;
            background.LoadFromStream(s);
            break;
        }
        case 2: {
            kr::CSprite sprite;
            sprite.LoadFromSideFile(rest);
            break;
        }
        case 3: {
            kr::CBackground background;
            background.LoadFromSideFile(rest);
            break;
        }
        case 4:
            kr::ReadPicture(s);
            break;
    }
    return 0;
}

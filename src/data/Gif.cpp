// GIF files through giflib, read record by record so that every size is checked before memory
// is spent on it. Each image is drawn onto a canvas of the file's screen size at its position
// (transparent index skipped, clipped to the canvas) and the canvas becomes the next frame.
// Disposal before the next image: "do not dispose" keeps the canvas, "restore to background"
// clears the image's rectangle, "restore to previous" puts back the canvas as it was before the
// image, and an unspecified disposal clears the whole canvas. The background is transparent.
#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "data/ImageCodecs.h"
#include "platform/LazyLibrary.h"

namespace kr {

namespace {

// Loaded on first use (platform/LazyLibrary.h).
LazyLibrary kGif("libgif.so.7");
KR_LAZY_FUNCTION(kGif, DGifCloseFile)
KR_LAZY_FUNCTION(kGif, DGifExtensionToGCB)
KR_LAZY_FUNCTION(kGif, DGifGetExtension)
KR_LAZY_FUNCTION(kGif, DGifGetExtensionNext)
KR_LAZY_FUNCTION(kGif, DGifGetImageDesc)
KR_LAZY_FUNCTION(kGif, DGifGetLine)
KR_LAZY_FUNCTION(kGif, DGifGetRecordType)
KR_LAZY_FUNCTION(kGif, DGifOpen)

}  // namespace

namespace {

struct Reader {
    std::span<const uint8_t> data;
    size_t pos = 0;
};

int ReadFromMemory(GifFileType* gif, GifByteType* out, int n) {
    auto* r = static_cast<Reader*>(gif->UserData);
    const size_t take = std::min(size_t(n < 0 ? 0 : n), r->data.size() - r->pos);
    std::memcpy(out, r->data.data() + r->pos, take);
    r->pos += take;
    return int(take);
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int error;
        DGifCloseFile(gif, &error);
    }
};

// Reads and draws one image; false on damaged data. `palette` has 256 entries.
bool DrawImage(GifFileType* gif, TBitmap32& canvas, const Bgra* palette, int transparent,
               std::vector<uint8_t>& line) {
    const GifImageDesc& d = gif->Image;
    line.resize(size_t(d.Width));
    // Interlaced images store rows 0, 8, 16.. then 4, 12.. then 2, 6.. then 1, 3..
    static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
    const int passes = d.Interlace ? 4 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        const int start = d.Interlace ? kStart[pass] : 0, step = d.Interlace ? kStep[pass] : 1;
        for (int row = start; row < d.Height; row += step) {
            if (DGifGetLine(gif, line.data(), d.Width) == GIF_ERROR) return false;
            const int64_t y = int64_t(d.Top) + row;
            if (y < 0 || y >= canvas.Height()) continue;
            Bgra* out = canvas.Row(int32_t(y));
            for (int x = 0; x < d.Width; ++x) {
                const int64_t cx = int64_t(d.Left) + x;
                if (cx >= canvas.Width() || line[size_t(x)] == transparent) continue;
                out[cx] = palette[line[size_t(x)]];
            }
        }
    }
    return true;
}

}  // namespace

bool DecodeGif(std::span<const uint8_t> data, std::vector<TBitmap32>& frames, size_t max_pixels) {
    frames.clear();
    Reader reader{data, 0};
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&reader, ReadFromMemory, &error));
    if (!gif) return false;
    TBitmap32 canvas;
    if (size_t(gif->SWidth) * size_t(gif->SHeight) > max_pixels ||
        !canvas.SetSize(gif->SWidth, gif->SHeight)) {
        return false;
    }
    const size_t frame_pixels = canvas.PixelCount();
    size_t total_pixels = 0;
    GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
    std::vector<uint8_t> line;
    TBitmap32 previous;
    bool damaged = false;
    for (bool done = false; !done && !damaged;) {
        GifRecordType type;
        if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR) break;  // a missing trailer is fine
        switch (type) {
            case EXTENSION_RECORD_TYPE: {
                int code;
                GifByteType* ext;
                if (DGifGetExtension(gif.get(), &code, &ext) == GIF_ERROR) {
                    damaged = true;
                    break;
                }
                if (code == GRAPHICS_EXT_FUNC_CODE && ext && ext[0] >= 4) {
                    DGifExtensionToGCB(ext[0], ext + 1, &gcb);
                }
                while (ext) {
                    if (DGifGetExtensionNext(gif.get(), &ext) == GIF_ERROR) {
                        damaged = true;
                        break;
                    }
                }
                break;
            }
            case IMAGE_DESC_RECORD_TYPE: {
                if (DGifGetImageDesc(gif.get()) == GIF_ERROR) {
                    damaged = true;
                    break;
                }
                const GifImageDesc& d = gif->Image;
                total_pixels += frame_pixels;
                if (total_pixels > max_pixels) {
                    frames.clear();
                    return false;
                }
                if (d.Width <= 0 || d.Height <= 0) {
                    damaged = true;
                    break;
                }
                const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
                Bgra palette[256];
                for (int i = 0; i < 256; ++i) {  // no colour table at all: a grey ramp
                    palette[i] = Bgra{uint8_t(i), uint8_t(i), uint8_t(i), 255};
                }
                if (map) {
                    for (int i = 0; i < 256; ++i) {
                        if (i >= map->ColorCount) {
                            palette[i] = Bgra{0, 0, 0, 0};
                            continue;
                        }
                        const GifColorType& c = map->Colors[i];
                        palette[i] = Bgra{c.Blue, c.Green, c.Red, 255};
                    }
                }
                if (gcb.DisposalMode == DISPOSE_PREVIOUS) previous = canvas;
                if (!DrawImage(gif.get(), canvas, palette, gcb.TransparentColor, line)) {
                    damaged = true;
                    break;
                }
                frames.push_back(canvas);
                switch (gcb.DisposalMode) {
                    case DISPOSE_DO_NOT:
                        break;
                    case DISPOSE_BACKGROUND: {
                        const Bgra clear{0, 0, 0, 0};
                        for (int64_t y = std::max(d.Top, 0);
                             y < std::min<int64_t>(int64_t(d.Top) + d.Height, canvas.Height());
                             ++y) {
                            Bgra* row = canvas.Row(int32_t(y));
                            for (int64_t x = std::max(d.Left, 0);
                                 x < std::min<int64_t>(int64_t(d.Left) + d.Width, canvas.Width());
                                 ++x) {
                                row[x] = clear;
                            }
                        }
                        break;
                    }
                    case DISPOSE_PREVIOUS:
                        canvas = std::move(previous);
                        break;
                    default:
                        canvas.Fill(Bgra{0, 0, 0, 0});
                        break;
                }
                gcb = GraphicsControlBlock{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
                break;
            }
            case TERMINATE_RECORD_TYPE:
                done = true;
                break;
            default:
                damaged = true;
                break;
        }
    }
    // A file cut short after some complete frames keeps them; one without a frame fails, and so
    // does an animation whose frames together exceed the pixel limit.
    return !frames.empty();
}

}  // namespace kr

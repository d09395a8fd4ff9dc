// PNG files. The writer is our own: signature, IHDR (8-bit RGBA), one IDAT holding every row
// with filter 0 deflated as one zlib stream at the default level, IEND. Rows are fed to zlib one
// at a time, so no filtered copy of the whole image is ever built. Reading goes through libpng,
// loaded when the first PNG file is read.
#include <png.h>
#include <zlib.h>

#include <cstring>

#include "data/ImageCodecs.h"
#include "platform/Files.h"
#include "platform/LazyLibrary.h"

namespace kr {

namespace {

// Loaded on first use (platform/LazyLibrary.h).
LazyLibrary kPng("libpng16.so.16");
KR_LAZY_FUNCTION(kPng, png_image_begin_read_from_memory)
KR_LAZY_FUNCTION(kPng, png_image_finish_read)
KR_LAZY_FUNCTION(kPng, png_image_free)

void PutBe32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(v >> shift));
}

// A chunk is begun with a placeholder length and its type; closing it fills in the length and
// appends the CRC over type and data.
void BeginChunk(std::vector<uint8_t>& out, const char* type, size_t& start) {
    start = out.size();
    PutBe32(out, 0);
    out.insert(out.end(), type, type + 4);
}

void CloseChunk(std::vector<uint8_t>& out, size_t start) {
    const uint32_t length = uint32_t(out.size() - start - 8);
    for (int i = 0; i < 4; ++i) out[start + size_t(i)] = uint8_t(length >> (24 - 8 * i));
    const uint32_t crc =
        uint32_t(crc32(crc32(0, nullptr, 0), out.data() + start + 4, uInt(length + 4)));
    PutBe32(out, crc);
}

}  // namespace

std::vector<uint8_t> EncodePng(const TBitmap32& image) {
    std::vector<uint8_t> out;
    if (image.Empty()) return out;
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    out.assign(kSignature, kSignature + 8);

    size_t start;
    BeginChunk(out, "IHDR", start);
    PutBe32(out, uint32_t(image.Width()));
    PutBe32(out, uint32_t(image.Height()));
    for (uint8_t b : {8, 6, 0, 0, 0})
        out.push_back(b);  // depth, RGBA, deflate, filter, no interlace
    CloseChunk(out, start);

    BeginChunk(out, "IDAT", start);
    z_stream z{};
    deflateInit(&z, Z_DEFAULT_COMPRESSION);
    const size_t w = size_t(image.Width());
    std::vector<uint8_t> row(1 + 4 * w);  // filter byte 0, then R, G, B, A
    std::vector<uint8_t> chunk(1 << 16);
    for (int32_t y = 0; y < image.Height(); ++y) {
        const Bgra* src = image.Row(y);
        for (size_t x = 0; x < w; ++x) {
            uint8_t* d = &row[1 + 4 * x];
            d[0] = src[x].r, d[1] = src[x].g, d[2] = src[x].b, d[3] = src[x].a;
        }
        z.next_in = row.data();
        z.avail_in = uInt(row.size());
        const int flush = y + 1 == image.Height() ? Z_FINISH : Z_NO_FLUSH;
        int rc;
        do {
            z.next_out = chunk.data();
            z.avail_out = uInt(chunk.size());
            rc = deflate(&z, flush);
            out.insert(out.end(), chunk.data(), chunk.data() + (chunk.size() - z.avail_out));
        } while (z.avail_out == 0 || (flush == Z_FINISH && rc != Z_STREAM_END));
    }
    deflateEnd(&z);
    CloseChunk(out, start);

    BeginChunk(out, "IEND", start);
    CloseChunk(out, start);
    return out;
}

std::optional<TBitmap32> DecodePng(std::span<const uint8_t> data, size_t max_pixels) {
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&png, data.data(), data.size())) return std::nullopt;
    TBitmap32 image;
    if (size_t(png.width) * size_t(png.height) > max_pixels || png.width > INT32_MAX ||
        png.height > INT32_MAX ||
        !image.SetSize(int32_t(png.width), int32_t(png.height), TBitmap32::Init::kUninitialized)) {
        png_image_free(&png);
        return std::nullopt;
    }
    png.format = PNG_FORMAT_BGRA;
    if (!png_image_finish_read(&png, nullptr, image.Bytes(), 0, nullptr)) {
        png_image_free(&png);
        return std::nullopt;
    }
    return image;
}

bool SavePngFile(const TBitmap32& image, const std::string& path) {
    const std::vector<uint8_t> bytes = EncodePng(image);
    return !bytes.empty() && WriteFileAtomically(path, bytes);
}

}  // namespace kr

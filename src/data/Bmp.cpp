// Windows bitmap files: the reader handles what authoring tools write (core, info, V2-V5
// headers; 1/4/8-bit palettes, 16/24/32-bit with or without bit-field masks; bottom-up and
// top-down; RLE4 and RLE8; embedded JPEG or PNG). Rows are decoded straight into the image.
// The writer produces 24-bit files for opaque images and 32-bit files with an alpha mask
// otherwise.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "data/ImageCodecs.h"

namespace kr {

namespace {

constexpr uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3, kBiJpeg = 4, kBiPng = 5,
                   kBiAlphaBitfields = 6;

uint16_t U16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
uint32_t U32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// One colour channel described by a bit mask, scaled to 0..255.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    uint32_t max = 0;

    explicit Channel(uint32_t m = 0) : mask(m) {
        if (m == 0) return;
        shift = std::countr_zero(m);
        max = m >> shift;
    }
    uint8_t Get(uint32_t v, uint8_t absent) const {
        if (max == 0) return absent;
        return uint8_t((uint64_t((v & mask) >> shift) * 255 + max / 2) / max);
    }
};

struct BmpInfo {
    int32_t width = 0, height = 0;  // height positive; top_down says the row order
    bool top_down = false;
    uint32_t bpp = 0, compression = 0;
    Channel r, g, b, a;
    bool has_alpha_mask = false;
    std::array<Bgra, 256> palette{};
    size_t palette_size = 0;
    size_t pixel_offset = 0;
};

bool ParseHeader(std::span<const uint8_t> d, BmpInfo& info) {
    if (d.size() < 26 || d[0] != 'B' || d[1] != 'M') return false;
    const uint32_t header_size = U32(&d[14]);
    if (header_size < 12 || header_size > d.size() - 14) return false;
    const uint8_t* h = &d[14];
    int64_t height;
    size_t entry_size = 4;
    uint32_t colours_used = 0;
    if (header_size == 12) {  // core header: 16-bit sizes, 3-byte palette entries
        info.width = U16(h + 4);
        height = int16_t(U16(h + 6));
        info.bpp = U16(h + 10);
        entry_size = 3;
    } else if (header_size >= 40) {
        info.width = int32_t(U32(h + 4));
        height = int32_t(U32(h + 8));
        info.bpp = U16(h + 14);
        info.compression = U32(h + 16);
        colours_used = U32(h + 32);
        // The 64-byte OS/2 header numbers its Huffman and RLE24 compressions 3 and 4.
        if (header_size == 64 && info.compression >= kBiBitfields) return false;
    } else {
        return false;
    }
    if (info.width <= 0 || height == 0 || height == INT32_MIN) return false;
    info.top_down = height < 0;
    info.height = int32_t(height < 0 ? -height : height);

    size_t palette_start = 14 + header_size;
    if (info.compression == kBiBitfields || info.compression == kBiAlphaBitfields) {
        if (info.bpp != 16 && info.bpp != 32) return false;
        const uint8_t* m = h + 40;
        size_t mask_count = info.compression == kBiAlphaBitfields ? 4 : 3;
        if (header_size == 40) {  // masks follow the header
            if (palette_start + 4 * mask_count > d.size()) return false;
            m = &d[palette_start];
            palette_start += 4 * mask_count;
        } else if (header_size >= 52) {
            // The header holds the masks: three from 52 bytes, the alpha mask too from 56.
            mask_count = header_size >= 56 ? 4 : 3;
        } else {
            return false;
        }
        info.r = Channel(U32(m)), info.g = Channel(U32(m + 4)), info.b = Channel(U32(m + 8));
        if (mask_count == 4) info.a = Channel(U32(m + 12));
    } else if (info.bpp == 16) {
        info.r = Channel(0x7C00), info.g = Channel(0x03E0), info.b = Channel(0x001F);
    } else if (info.bpp == 32) {
        info.r = Channel(0xFF0000), info.g = Channel(0xFF00), info.b = Channel(0xFF);
        info.a = Channel(0xFF000000);
    }
    info.has_alpha_mask = info.a.max != 0;

    switch (info.compression) {
        case kBiRgb:
            if (info.bpp != 1 && info.bpp != 4 && info.bpp != 8 && info.bpp != 16 &&
                info.bpp != 24 && info.bpp != 32) {
                return false;
            }
            break;
        case kBiRle8:
            if (info.bpp != 8) return false;
            break;
        case kBiRle4:
            if (info.bpp != 4) return false;
            break;
        case kBiBitfields:
        case kBiAlphaBitfields:
        case kBiJpeg:
        case kBiPng:
            break;
        default:
            return false;
    }

    info.pixel_offset = U32(&d[10]);
    if (info.bpp <= 8 && info.compression != kBiJpeg && info.compression != kBiPng) {
        size_t count = colours_used ? std::min<size_t>(colours_used, 256) : size_t(1) << info.bpp;
        // Some writers overstate the palette: take what lies before the pixels.
        size_t end = d.size();
        if (info.pixel_offset > palette_start) end = std::min<size_t>(end, info.pixel_offset);
        if (end < palette_start) return false;
        count = std::min(count, (end - palette_start) / entry_size);
        if (count == 0) return false;
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* e = &d[palette_start + i * entry_size];
            info.palette[i] = Bgra{e[0], e[1], e[2], 255};
        }
        for (size_t i = count; i < 256; ++i) info.palette[i] = Bgra{0, 0, 0, 255};
        info.palette_size = count;
        if (info.pixel_offset == 0) info.pixel_offset = palette_start + count * entry_size;
    } else if (info.pixel_offset == 0) {
        info.pixel_offset = palette_start;
    }
    return info.pixel_offset < d.size();
}

// Decodes one row of an uncompressed bitmap into `out`.
void DecodeRow(const BmpInfo& info, const uint8_t* src, Bgra* out) {
    const int32_t w = info.width;
    switch (info.bpp) {
        case 1:
        case 4:
        case 8: {
            const uint32_t per_byte = 8 / info.bpp, mask = (1u << info.bpp) - 1;
            for (int32_t x = 0; x < w; ++x) {
                const uint32_t shift = 8 - info.bpp * (1 + uint32_t(x) % per_byte);
                out[x] = info.palette[(src[uint32_t(x) / per_byte] >> shift) & mask];
            }
            break;
        }
        case 16:
            for (int32_t x = 0; x < w; ++x) {
                const uint32_t v = U16(src + 2 * x);
                out[x] =
                    Bgra{info.b.Get(v, 0), info.g.Get(v, 0), info.r.Get(v, 0), info.a.Get(v, 255)};
            }
            break;
        case 24:
            for (int32_t x = 0; x < w; ++x, src += 3) out[x] = Bgra{src[0], src[1], src[2], 255};
            break;
        case 32:
            if (info.b.mask == 0xFF && info.g.mask == 0xFF00 && info.r.mask == 0xFF0000 &&
                (info.a.mask == 0xFF000000 || info.a.mask == 0)) {
                std::memcpy(out, src, size_t(w) * 4);
                if (info.a.mask == 0) {
                    for (int32_t x = 0; x < w; ++x) out[x].a = 255;
                }
            } else {
                for (int32_t x = 0; x < w; ++x) {
                    const uint32_t v = U32(src + 4 * x);
                    out[x] = Bgra{info.b.Get(v, 0), info.g.Get(v, 0), info.r.Get(v, 0),
                                  info.a.Get(v, 255)};
                }
            }
            break;
    }
}

// RLE8 / RLE4: runs and absolute stretches of palette indices with end-of-line, end-of-bitmap
// and delta escapes. Pixels the data skips stay transparent; data past the last row is ignored,
// and truncated data keeps what was decoded.
void DecodeRle(const BmpInfo& info, std::span<const uint8_t> data, TBitmap32& image) {
    const bool rle4 = info.compression == kBiRle4;
    int64_t x = 0, y = 0;  // y counts file rows
    auto put = [&](uint8_t index) {
        if (x < info.width && y < info.height) {
            const int64_t row = info.top_down ? y : info.height - 1 - y;
            image.Row(int32_t(row))[x] = info.palette[index];
        }
        ++x;
    };
    size_t i = 0;
    while (i + 1 < data.size() && y < info.height) {
        const uint8_t count = data[i], value = data[i + 1];
        i += 2;
        if (count > 0) {
            for (int k = 0; k < count && x < info.width; ++k) {
                put(rle4 ? uint8_t(k % 2 == 0 ? value >> 4 : value & 15) : value);
            }
            continue;
        }
        if (value == 0) {  // end of line
            x = 0, ++y;
        } else if (value == 1) {  // end of bitmap
            break;
        } else if (value == 2) {  // delta
            if (i + 1 >= data.size()) break;
            x += data[i], y += data[i + 1];
            i += 2;
        } else {  // absolute: `value` indices, padded to a 16-bit boundary
            const size_t bytes = rle4 ? (size_t(value) + 1) / 2 : value;
            if (i + bytes > data.size()) break;
            for (int k = 0; k < value; ++k) {
                put(rle4 ? uint8_t(k % 2 == 0 ? data[i + k / 2] >> 4 : data[i + k / 2] & 15)
                         : data[i + k]);
            }
            i += (bytes + 1) & ~size_t(1);
        }
    }
}

void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v)), out.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

}  // namespace

std::optional<TBitmap32> DecodeBmp(std::span<const uint8_t> data, size_t max_pixels) {
    BmpInfo info;
    if (!ParseHeader(data, info)) return std::nullopt;
    const auto pixels = data.subspan(info.pixel_offset);
    if (info.compression == kBiJpeg) return DecodeJpeg(pixels, max_pixels);
    if (info.compression == kBiPng) return DecodePng(pixels, max_pixels);
    if (size_t(info.width) * size_t(info.height) > max_pixels) return std::nullopt;

    TBitmap32 image;
    if (info.compression == kBiRle8 || info.compression == kBiRle4) {
        if (!image.SetSize(info.width, info.height)) return std::nullopt;
        DecodeRle(info, pixels, image);
        return image;
    }
    const size_t stride = (size_t(info.width) * info.bpp + 31) / 32 * 4;
    const size_t last_row = (size_t(info.width) * info.bpp + 7) / 8;  // padding may be missing
    if (pixels.size() < stride * size_t(info.height - 1) + last_row) return std::nullopt;
    if (!image.SetSize(info.width, info.height, TBitmap32::Init::kUninitialized)) {
        return std::nullopt;
    }
    for (int32_t r = 0; r < info.height; ++r) {
        DecodeRow(info, pixels.data() + size_t(r) * stride,
                  image.Row(info.top_down ? r : info.height - 1 - r));
    }
    // A 32-bit file whose alpha is zero everywhere never used it: show it opaque.
    if (info.bpp == 32 && info.has_alpha_mask && !image.HasAlpha()) image.MakeOpaque();
    return image;
}

std::vector<uint8_t> EncodeBmp(const TBitmap32& image) {
    std::vector<uint8_t> out;
    if (image.Empty()) return out;
    bool opaque = true;
    for (size_t i = 0, n = image.PixelCount(); i < n && opaque; ++i) {
        opaque = image.Pixels()[i].a == 255;
    }
    const uint32_t w = uint32_t(image.Width()), h = uint32_t(image.Height());
    const uint32_t header_size = opaque ? 40 : 108, bpp = opaque ? 24 : 32;
    const uint32_t stride = uint32_t((uint64_t(w) * bpp + 31) / 32 * 4), offset = 14 + header_size;
    out.reserve(offset + size_t(stride) * h);
    out.push_back('B'), out.push_back('M');
    Put32(out, offset + stride * h);
    Put32(out, 0);
    Put32(out, offset);
    Put32(out, header_size);
    Put32(out, w);
    Put32(out, h);  // bottom-up
    Put16(out, 1);
    Put16(out, bpp);
    Put32(out, opaque ? kBiRgb : kBiBitfields);
    Put32(out, stride * h);
    Put32(out, 2835), Put32(out, 2835);  // 72 dots per inch
    Put32(out, 0), Put32(out, 0);
    if (!opaque) {
        for (uint32_t m : {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u}) Put32(out, m);
        Put32(out, 0x73524742);          // colour space "sRGB"
        out.resize(out.size() + 48, 0);  // end points and gamma, unused for sRGB
    }
    for (int32_t y = int32_t(h) - 1; y >= 0; --y) {
        const Bgra* row = image.Row(y);
        if (opaque) {
            for (uint32_t x = 0; x < w; ++x) {
                out.push_back(row[x].b), out.push_back(row[x].g), out.push_back(row[x].r);
            }
            out.resize(out.size() + (stride - w * 3), 0);
        } else {
            const auto* bytes = reinterpret_cast<const uint8_t*>(row);
            out.insert(out.end(), bytes, bytes + size_t(w) * 4);
        }
    }
    return out;
}

}  // namespace kr

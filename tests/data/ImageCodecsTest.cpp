// Image files: the BMP variants, PNG and BMP writing, JPEG and GIF decoding, format detection
// and embedded pictures. Fixtures are built here byte by byte or with the libraries' encoders.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <gif_lib.h>
#include <jpeglib.h>

#include "data/ImageCodecs.h"
#include "data/ImageTestUtil.h"
#include "data/Stream.h"
#include "platform/Files.h"

namespace kr {
namespace {

void Put(std::vector<uint8_t>& out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

struct BmpFixture {
    uint32_t header_size = 40;
    int32_t width = 1, height = 1;  // negative height: top-down
    uint16_t bpp = 24;
    uint32_t compression = 0;
    std::vector<uint32_t> palette;  // 0x00RRGGBB entries
    std::vector<uint32_t> masks;    // written after a 40-byte header or inside V4/V5 ones
    std::vector<uint8_t> pixels;    // exactly as stored
};

std::vector<uint8_t> MakeBmp(const BmpFixture& f) {
    std::vector<uint8_t> h;  // the DIB header
    Put(h, f.header_size, 4);
    if (f.header_size == 12) {
        Put(h, uint32_t(f.width), 2), Put(h, uint32_t(f.height), 2), Put(h, 1, 2);
        Put(h, f.bpp, 2);
    } else {
        Put(h, uint32_t(f.width), 4), Put(h, uint32_t(f.height), 4), Put(h, 1, 2);
        Put(h, f.bpp, 2), Put(h, f.compression, 4);
        Put(h, uint32_t(f.pixels.size()), 4), Put(h, 0, 4), Put(h, 0, 4);
        Put(h, uint32_t(f.palette.size()), 4), Put(h, 0, 4);
        if (f.header_size > 40) {
            for (size_t i = 0; i < 4; ++i) Put(h, i < f.masks.size() ? f.masks[i] : 0, 4);
        }
        h.resize(f.header_size, 0);
    }
    std::vector<uint8_t> extra;
    if (f.header_size == 40) {
        for (uint32_t m : f.masks) Put(extra, m, 4);
    }
    for (uint32_t c : f.palette) Put(extra, c, f.header_size == 12 ? 3 : 4);
    std::vector<uint8_t> out = {'B', 'M'};
    const uint32_t offset = uint32_t(14 + h.size() + extra.size());
    Put(out, offset + uint32_t(f.pixels.size()), 4), Put(out, 0, 4), Put(out, offset, 4);
    out.insert(out.end(), h.begin(), h.end());
    out.insert(out.end(), extra.begin(), extra.end());
    out.insert(out.end(), f.pixels.begin(), f.pixels.end());
    return out;
}

constexpr Bgra kWhite{255, 255, 255, 255}, kBlack{0, 0, 0, 255};

TEST(Bmp, DecodesTheVariantsToolsWrite) {
    const std::vector<uint32_t> bw = {0x000000, 0xFFFFFF}, rgb = {0xFF0000, 0x00FF00, 0x0000FF};
    struct {
        const char* what;
        BmpFixture fixture;
        TBitmap32 expected;
    } cases[] = {
        {"1-bit, bottom-up, padded rows",
         {40, 3, 2, 1, 0, bw, {}, {0xA0, 0, 0, 0, 0x40, 0, 0, 0}},
         Image({{kBlack, kWhite, kBlack}, {kWhite, kBlack, kWhite}})},
        {"4-bit", {40, 3, 1, 4, 0, rgb, {}, {0x01, 0x20, 0, 0}}, Image({{kRed, kGreen, kBlue}})},
        {"8-bit, top-down",
         {40, 1, -2, 8, 0, rgb, {}, {2, 0, 0, 0, 0, 0, 0, 0}},
         Image({{kBlue}, {kRed}})},
        {"8-bit index past the palette is black",
         {40, 1, 1, 8, 0, rgb, {}, {9, 0, 0, 0}},
         Image({{kBlack}})},
        {"core header, 3-byte palette",
         {12, 2, 1, 8, 0, rgb, {}, {1, 2, 0, 0}},
         Image({{kGreen, kBlue}})},
        {"16-bit 5-5-5",
         {40, 2, 1, 16, 0, {}, {}, {0x00, 0x7C, 0x1F, 0x00}},
         Image({{kRed, kBlue}})},
        {"16-bit 5-6-5 bit fields",
         {40, 1, 1, 16, 3, {}, {0xF800, 0x07E0, 0x001F}, {0xE0, 0x07, 0, 0}},
         Image({{kGreen}})},
        {"24-bit, padded rows",
         {40, 1, 2, 24, 0, {}, {}, {1, 2, 3, 0, 4, 5, 6, 0}},
         Image({{Bgra{4, 5, 6, 255}}, {Bgra{1, 2, 3, 255}}})},
        {"32-bit with alpha",
         {40, 2, 1, 32, 0, {}, {}, {1, 2, 3, 0, 4, 5, 6, 128}},
         Image({{Bgra{1, 2, 3, 0}, Bgra{4, 5, 6, 128}}})},
        {"32-bit with unused alpha is opaque",
         {40, 1, 1, 32, 0, {}, {}, {1, 2, 3, 0}},
         Image({{Bgra{1, 2, 3, 255}}})},
        {"V5 with the channels in reversed byte order",
         {124, 1, 1, 32, 3, {}, {0xFF000000, 0xFF0000, 0xFF00, 0xFF}, {0x40, 3, 2, 1}},
         Image({{Bgra{3, 2, 1, 0x40}}})},
        {"V4, 32-bit, masks without alpha",
         {108, 1, 1, 32, 3, {}, {0xFF0000, 0xFF00, 0xFF, 0}, {1, 2, 3, 0}},
         Image({{Bgra{1, 2, 3, 255}}})},
        // RLE8: a run of two, end of line, delta (1, 0) then an absolute run of three (padded).
        {"RLE8",
         {40, 4, 2, 8, 1, rgb, {}, {2, 1, 0, 0, 0, 2, 1, 0, 0, 3, 0, 1, 2, 0, 0, 1}},
         Image({{kClear, kRed, kGreen, kBlue}, {kGreen, kGreen, kClear, kClear}})},
        // RLE4: a run of 3 alternating nibbles 2,1,2, then an absolute run of one.
        {"RLE4",
         {40, 4, 1, 4, 2, rgb, {}, {3, 0x21, 0, 3, 0x00, 0x10, 0, 1}},
         Image({{kBlue, kGreen, kBlue, kRed}})},
    };
    for (auto& c : cases) {
        auto image = DecodeBmp(MakeBmp(c.fixture));
        ASSERT_TRUE(image) << c.what;
        EXPECT_EQ(*image, c.expected) << c.what;
    }
}

TEST(Bmp, MalformedFilesFailCleanly) {
    const std::vector<uint32_t> pal = {0xFF0000};
    struct {
        const char* what;
        BmpFixture fixture;
    } cases[] = {
        {"zero width", {40, 0, 1, 24, 0, {}, {}, {0, 0, 0, 0}}},
        {"zero height", {40, 1, 0, 24, 0, {}, {}, {0, 0, 0, 0}}},
        {"unsupported depth", {40, 1, 1, 7, 0, {}, {}, {0, 0, 0, 0}}},
        {"pixels cut short", {40, 4, 4, 24, 0, {}, {}, {0, 0, 0, 0}}},
        {"RLE8 needs 8 bits", {40, 1, 1, 4, 1, pal, {}, {0, 1}}},
        {"bit fields at 24 bits", {40, 1, 1, 24, 3, {}, {1, 2, 4}, {0, 0, 0, 0}}},
        {"unknown compression", {40, 1, 1, 24, 9, {}, {}, {0, 0, 0, 0}}},
        {"odd header size", {20, 1, 1, 24, 0, {}, {}, {0, 0, 0, 0}}},
        {"palette image without palette", {40, 1, 1, 8, 0, {}, {}, {}}},
        {"RLE beyond the size limit", {40, 1 << 15, 1 << 15, 8, 1, pal, {}, {0, 1}}},
        // A 52-byte header holds three masks: no alpha mask is read past it (or past the end).
        {"alpha bit fields in a three-mask header",
         {52, 1, 1, 32, 6, {}, {0xFF0000, 0xFF00, 0xFF}, {}}},
    };
    for (auto& c : cases) {
        EXPECT_FALSE(DecodeBmp(MakeBmp(c.fixture), 1 << 20)) << c.what;
    }
    // Every truncation of a valid file fails, except that the last row may lack its padding.
    const auto whole = MakeBmp({40, 3, 2, 24, 0, {}, {}, std::vector<uint8_t>(24, 9)});
    EXPECT_TRUE(DecodeBmp(std::span(whole.data(), whole.size() - 3)));
    for (size_t n = 0; n < whole.size() - 3; ++n) {
        EXPECT_FALSE(DecodeBmp(std::span(whole.data(), n))) << "cut at " << n;
    }
}

TBitmap32 TestPattern(int32_t w, int32_t h, bool translucent) {
    TBitmap32 image(w, h);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            image.Row(y)[x] = Bgra{uint8_t(x * 40), uint8_t(y * 50), uint8_t(x * y),
                                   uint8_t(translucent ? (x + y) * 30 : 255)};
        }
    }
    return image;
}

TEST(Bmp, WriterRoundTripsAndPicksTheDepth) {
    for (bool translucent : {false, true}) {
        const TBitmap32 image = TestPattern(5, 3, translucent);
        const std::vector<uint8_t> bmp = EncodeBmp(image);
        ASSERT_GE(bmp.size(), 30u);
        EXPECT_EQ(bmp[28], translucent ? 32 : 24);
        auto back = DecodeBmp(bmp);
        ASSERT_TRUE(back);
        EXPECT_EQ(*back, image);
    }
    EXPECT_TRUE(EncodeBmp(TBitmap32()).empty());
}

TEST(Png, WriterProducesTheDocumentedLayout) {
    const TBitmap32 image = TestPattern(7, 4, true);
    const std::vector<uint8_t> png = EncodePng(image);
    // Signature, then IHDR (13 bytes: sizes, depth 8, colour type 6, 0, 0, 0), IDAT, IEND.
    ASSERT_GT(png.size(), 8u + 25 + 12 + 12);
    EXPECT_EQ(std::memcmp(png.data(), "\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16), 0);
    EXPECT_EQ(std::vector<uint8_t>(png.begin() + 16, png.begin() + 29),
              (std::vector<uint8_t>{0, 0, 0, 7, 0, 0, 0, 4, 8, 6, 0, 0, 0}));
    EXPECT_EQ(std::memcmp(png.data() + 37, "IDAT", 4), 0);
    EXPECT_EQ(std::memcmp(png.data() + png.size() - 12, "\0\0\0\0IEND\xAE\x42\x60\x82", 12), 0);
    // libpng checks every CRC and the zlib stream.
    auto back = DecodePng(png);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, image);
    EXPECT_FALSE(DecodePng(png, 27));  // above the caller's pixel limit

    std::vector<uint8_t> damaged = png;
    damaged[45] ^= 0xFF;  // inside the IDAT data: the CRC no longer matches
    EXPECT_FALSE(DecodePng(damaged));
    EXPECT_FALSE(DecodePng(std::span(png.data(), png.size() / 2)));
}

// A JPEG of `components` channels (1 grey, 3 RGB, 4 CMYK), every pixel `sample`.
std::vector<uint8_t> MakeJpeg(int w, int h, int components, std::vector<uint8_t> sample) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = JDIMENSION(w), c.image_height = JDIMENSION(h);
    c.input_components = components;
    c.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 100, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<uint8_t> row;
    for (int x = 0; x < w; ++x) row.insert(row.end(), sample.begin(), sample.end());
    while (c.next_scanline < c.image_height) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::vector<uint8_t> out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

TEST(Jpeg, DecodesGreyColourAndInvertedCmyk) {
    struct {
        int components;
        std::vector<uint8_t> sample;
        Bgra expected;
    } cases[] = {
        {1, {200}, Bgra{200, 200, 200, 255}},
        {3, {250, 20, 30}, Bgra{30, 20, 250, 255}},
        // Inverted inks as Adobe writes them: no cyan, full magenta and yellow, no black.
        {4, {255, 0, 0, 255}, Bgra{0, 0, 255, 255}},
    };
    for (auto& c : cases) {
        auto image = DecodeJpeg(MakeJpeg(16, 8, c.components, c.sample));
        ASSERT_TRUE(image) << c.components;
        ASSERT_EQ(image->Width(), 16);
        ASSERT_EQ(image->Height(), 8);
        const Bgra p = image->GetPixel(9, 5);
        for (auto [got, want] :
             {std::pair{p.b, c.expected.b}, {p.g, c.expected.g}, {p.r, c.expected.r}}) {
            EXPECT_NEAR(got, want, 3) << c.components;
        }
        EXPECT_EQ(p.a, 255);
    }
    const auto jpeg = MakeJpeg(16, 16, 3, {1, 2, 3});
    EXPECT_FALSE(DecodeJpeg(std::span(jpeg.data(), 100)));  // cut inside the headers
    EXPECT_FALSE(DecodeJpeg(jpeg, 255));
}

// A GIF with a 4-colour global palette (black, red, green, blue) on a `w` x 1 screen. Each frame
// is (left, width, disposal, pixel indices); index 0 is transparent.
struct GifFrame {
    int left, width, disposal;
    std::vector<uint8_t> indices;
};

int WriteToVector(GifFileType* gif, const GifByteType* data, int n) {
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), data, data + n);
    return n;
}

std::vector<uint8_t> MakeGif(int w, const std::vector<GifFrame>& frames) {
    std::vector<uint8_t> out;
    int error;
    GifFileType* gif = EGifOpen(&out, WriteToVector, &error);
    GifColorType colours[4] = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    ColorMapObject* map = GifMakeMapObject(4, colours);
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, w, 1, 2, 0, map);
    for (const GifFrame& f : frames) {
        GraphicsControlBlock gcb{f.disposal, false, 0, 0};
        GifByteType ext[4];
        const size_t len = EGifGCBToExtension(&gcb, ext);
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(len), ext);
        EGifPutImageDesc(gif, f.left, 0, f.width, 1, false, nullptr);
        std::vector<GifPixelType> line(f.indices.begin(), f.indices.end());
        EGifPutLine(gif, line.data(), f.width);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

TEST(Gif, FramesAreComposedWithTheirDisposal) {
    // Frame 1 fills the screen red and is disposed as given; frame 2 draws green at x = 2 and
    // is restored to the previous canvas; frame 3 draws blue at x = 1.
    struct {
        int first_disposal;
        TBitmap32 second, third;
    } cases[] = {
        {DISPOSE_DO_NOT, Image({{kRed, kRed, kGreen}}), Image({{kRed, kBlue, kRed}})},
        {DISPOSE_BACKGROUND, Image({{kClear, kClear, kGreen}}), Image({{kClear, kBlue, kClear}})},
        {DISPOSAL_UNSPECIFIED, Image({{kClear, kClear, kGreen}}), Image({{kClear, kBlue, kClear}})},
    };
    for (auto& c : cases) {
        const auto gif = MakeGif(3, {{0, 3, c.first_disposal, {1, 1, 1}},
                                     {2, 1, DISPOSE_PREVIOUS, {2}},
                                     {0, 2, DISPOSE_DO_NOT, {0, 3}}});
        std::vector<TBitmap32> frames;
        ASSERT_TRUE(DecodeGif(gif, frames)) << c.first_disposal;
        ASSERT_EQ(frames.size(), 3u);
        EXPECT_EQ(frames[0], Image({{kRed, kRed, kRed}}));
        EXPECT_EQ(frames[1], c.second) << c.first_disposal;
        EXPECT_EQ(frames[2], c.third) << c.first_disposal;
    }
}

TEST(Gif, DamagedFilesKeepCompleteFramesOrFail) {
    // A frame reaching past the screen is clipped.
    std::vector<TBitmap32> frames;
    ASSERT_TRUE(DecodeGif(MakeGif(2, {{1, 3, 1, {2, 3, 3}}}), frames));
    EXPECT_EQ(frames[0], Image({{kClear, kGreen}}));

    const auto gif = MakeGif(2, {{0, 2, 1, {1, 1}}, {0, 2, 1, {2, 2}}});
    ASSERT_TRUE(DecodeGif(std::span(gif.data(), gif.size() - 6), frames));
    EXPECT_EQ(frames.size(), 1u);  // the second frame's data was cut
    for (size_t n = 0; n < 40; ++n) {
        EXPECT_FALSE(DecodeGif(std::span(gif.data(), n), frames)) << "cut at " << n;
    }
    EXPECT_FALSE(DecodeGif(gif, frames, 3));  // two 2-pixel frames exceed 3 pixels
}

TEST(ImageFile, FormatsAreRecognisedByContent) {
    const TBitmap32 image = TestPattern(3, 2, true);
    struct {
        std::vector<uint8_t> bytes;
        ImageFormat format;
    } cases[] = {
        {EncodePng(image), ImageFormat::kPng},
        {EncodeBmp(image), ImageFormat::kBmp},
        {MakeJpeg(8, 8, 3, {1, 2, 3}), ImageFormat::kJpeg},
        {MakeGif(2, {{0, 2, 1, {1, 2}}}), ImageFormat::kGif},
        {{'n', 'o', 'p', 'e', 0, 0, 0, 0, 0}, ImageFormat::kUnknown},
        {{}, ImageFormat::kUnknown},
    };
    for (auto& c : cases) {
        EXPECT_EQ(DetectImageFormat(c.bytes), c.format);
        std::vector<TBitmap32> frames;
        EXPECT_EQ(DecodeImage(c.bytes, frames), c.format != ImageFormat::kUnknown);
        EXPECT_EQ(frames.size(), c.format != ImageFormat::kUnknown ? 1u : 0u);
    }
}

TEST(ImageFile, SavingPicksTheFormatByName) {
    const auto dir = std::filesystem::temp_directory_path() / "kr_image_save_test";
    std::filesystem::create_directories(dir);
    const TBitmap32 image = TestPattern(4, 4, true);
    for (const char* name : {"a.PNG", "b.bmp", "c.png.tmp"}) {
        const std::string path = (dir / name).string();
        ASSERT_TRUE(SaveImageFile(image, path)) << name;
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(ReadWholeFile(path, bytes));
        EXPECT_EQ(DetectImageFormat(bytes), name[0] == 'a' ? ImageFormat::kPng : ImageFormat::kBmp)
            << name;
        std::vector<TBitmap32> frames;
        ASSERT_TRUE(LoadImageFile(path, frames));
        EXPECT_EQ(frames[0], image) << name;
    }
    EXPECT_FALSE(SaveImageFile(TBitmap32(), (dir / "empty.png").string()));
    std::vector<TBitmap32> frames;
    EXPECT_FALSE(LoadImageFile((dir / "missing.png").string(), frames));
    std::filesystem::remove_all(dir);
}

TEST(Picture, PresentAbsentAndUndecodable) {
    const TBitmap32 image = TestPattern(3, 3, false);
    CStream s;
    WritePicture(s, &image);
    WritePicture(s, nullptr);
    s.WriteBoolean(true);
    const std::vector<uint8_t> not_bmp = EncodePng(image);
    s.WriteCompressedBlock(not_bmp);
    s.WriteInteger(7);
    s.Seek(0);

    auto first = ReadPicture(s);
    ASSERT_TRUE(first);
    EXPECT_EQ(*first, image);
    EXPECT_FALSE(ReadPicture(s));
    EXPECT_FALSE(ReadPicture(s));  // not a BMP: none, and no error
    EXPECT_FALSE(s.Failed());
    EXPECT_EQ(s.ReadInteger(), 7);

    CStream corrupt;
    corrupt.WriteBoolean(true);
    corrupt.WriteInteger(3);
    corrupt.WriteBytes("abc", 3);
    corrupt.Seek(0);
    EXPECT_FALSE(ReadPicture(corrupt));
    EXPECT_TRUE(corrupt.Failed());  // damaged compressed data is a stream error
}

}  // namespace
}  // namespace kr

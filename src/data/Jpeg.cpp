// JPEG files through libjpeg-turbo, decoded straight into the image's rows as BGRA. CMYK and
// YCCK files (as some print tools write them, with inverted ink values) are converted here.
// libjpeg reports fatal errors through a callback that must not return; it jumps back to the
// decoder, which frees everything libjpeg allocated and fails.
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

#include "data/ImageCodecs.h"
#include "platform/LazyLibrary.h"

namespace kr {

namespace {

// Loaded on first use (platform/LazyLibrary.h).
LazyLibrary kJpeg("libjpeg.so.62");
KR_LAZY_FUNCTION(kJpeg, jpeg_CreateDecompress)
KR_LAZY_FUNCTION(kJpeg, jpeg_destroy_decompress)
KR_LAZY_FUNCTION(kJpeg, jpeg_finish_decompress)
KR_LAZY_FUNCTION(kJpeg, jpeg_mem_src)
KR_LAZY_FUNCTION(kJpeg, jpeg_read_header)
KR_LAZY_FUNCTION(kJpeg, jpeg_read_scanlines)
KR_LAZY_FUNCTION(kJpeg, jpeg_start_decompress)
KR_LAZY_FUNCTION(kJpeg, jpeg_std_error)

}  // namespace

namespace {

// More scans than any real progressive file uses: a crafted file with thousands of scans would
// otherwise keep the decoder busy for a very long time.
constexpr int kMaxScans = 1000;

struct ErrorManager {
    jpeg_error_mgr mgr;
    jmp_buf jump;
};

[[noreturn]] void OnError(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

void OnMessage(j_common_ptr) {}  // warnings about damaged data are not printed

void OnProgress(j_common_ptr cinfo) {
    if (cinfo->is_decompressor &&
        reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans) {
        OnError(cinfo);
    }
}

// Everything between setjmp and the end of the decode is plain C state or lives in `image`,
// which belongs to the caller; no C++ object with a destructor is skipped by the jump.
bool Decode(std::span<const uint8_t> data, size_t max_pixels, TBitmap32& image) {
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    jpeg_progress_mgr progress;
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = OnError;
    err.mgr.output_message = OnMessage;
    progress.progress_monitor = OnProgress;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.progress = &progress;
    jpeg_mem_src(&cinfo, data.data(), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&cinfo, TRUE);
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    if (size_t(cinfo.image_width) * size_t(cinfo.image_height) > max_pixels ||
        cinfo.image_width > INT32_MAX || cinfo.image_height > INT32_MAX) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_start_decompress(&cinfo);
    if (!image.SetSize(int32_t(cinfo.output_width), int32_t(cinfo.output_height),
                       TBitmap32::Init::kUninitialized)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    JSAMPARRAY cmyk_row = nullptr;
    if (cmyk) {
        cmyk_row = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                              cinfo.output_width * 4, 1);
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        const int32_t y = int32_t(cinfo.output_scanline);
        if (!cmyk) {
            JSAMPROW row = reinterpret_cast<JSAMPROW>(image.Row(y));
            jpeg_read_scanlines(&cinfo, &row, 1);
            continue;
        }
        jpeg_read_scanlines(&cinfo, cmyk_row, 1);
        // Adobe files store inverted inks, so each value is already 255 - ink: colour = c * k.
        Bgra* out = image.Row(y);
        const JSAMPLE* in = cmyk_row[0];
        for (JDIMENSION x = 0; x < cinfo.output_width; ++x, in += 4) {
            const unsigned k = in[3];
            out[x] = Bgra{uint8_t(in[2] * k / 255), uint8_t(in[1] * k / 255),
                          uint8_t(in[0] * k / 255), 255};
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

}  // namespace

std::optional<TBitmap32> DecodeJpeg(std::span<const uint8_t> data, size_t max_pixels) {
    TBitmap32 image;
    if (data.empty() || !Decode(data, max_pixels, image)) return std::nullopt;
    return image;
}

}  // namespace kr

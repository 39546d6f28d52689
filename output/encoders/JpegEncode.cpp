#include "output/encoders/JpegEncode.h"

#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE
#include <cstdlib>

#include <jpeglib.h>

namespace framelot {
namespace {

constexpr int Channels = 4;
constexpr int RgbChannels = 3;
constexpr unsigned Opaque = 255;

// libjpeg reports a fault by calling error_exit, which must not return: it
// jumps back to the encoder, which then frees what libjpeg holds. The memory
// destination's buffer lives here so that it is read from memory after the jump.
struct JpegJob {
    jpeg_error_mgr Errors;
    std::jmp_buf Fault;
    unsigned char* Memory = nullptr;
    unsigned long Size = 0;
};

[[noreturn]] void JumpOnError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegJob*>(info->err)->Fault, 1);
}

void Silent(j_common_ptr) {}

std::uint8_t Blend(unsigned colour, unsigned alpha, unsigned background)
{
    return static_cast<std::uint8_t>((colour * alpha + background * (Opaque - alpha) + Opaque / 2) / Opaque);
}

// Row `y` of `bitmap` over the background, as RGB.
void FlattenRow(const Bitmap& bitmap, int y, Colour background, std::uint8_t* rgb)
{
    const unsigned back[RgbChannels] = {background & 0xFF, (background >> 8) & 0xFF, (background >> 16) & 0xFF};
    const std::uint8_t* p = bitmap.Pixels.data() + static_cast<std::size_t>(y) * bitmap.Width * Channels;
    for (int x = 0; x < bitmap.Width; ++x, p += Channels, rgb += RgbChannels) {
        for (int c = 0; c < RgbChannels; ++c) rgb[c] = Blend(p[c], p[3], back[c]);
    }
}

// The libjpeg part: only plain values live across the jump.
bool Compress(const Bitmap& bitmap, int quality, Colour background, std::uint8_t* row, JpegJob& job)
{
    jpeg_compress_struct info;
    info.err = jpeg_std_error(&job.Errors);
    job.Errors.error_exit = JumpOnError;
    job.Errors.output_message = Silent;
    if (setjmp(job.Fault)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &job.Memory, &job.Size);
    info.image_width = static_cast<JDIMENSION>(bitmap.Width);
    info.image_height = static_cast<JDIMENSION>(bitmap.Height);
    info.input_components = RgbChannels;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    info.optimize_coding = TRUE;
    if (quality >= FullColourJpegQuality) {
        for (int c = 0; c < info.num_components; ++c) {
            info.comp_info[c].h_samp_factor = 1;
            info.comp_info[c].v_samp_factor = 1;
        }
    }
    jpeg_start_compress(&info, TRUE);
    for (int y = 0; y < bitmap.Height; ++y) {
        FlattenRow(bitmap, y, background, row);
        JSAMPROW rows[] = {row};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

}  // namespace

bool EncodeJpeg(const Bitmap& bitmap, int quality, Colour background, std::vector<std::uint8_t>& out)
{
    if (bitmap.Width <= 0 || bitmap.Height <= 0 || bitmap.Width > MaxJpegSide || bitmap.Height > MaxJpegSide) {
        return false;
    }
    std::vector<std::uint8_t> row(static_cast<std::size_t>(bitmap.Width) * RgbChannels);
    JpegJob job;
    const bool ok = Compress(bitmap, quality < 0 ? DefaultJpegQuality : quality, background, row.data(), job);
    if (ok) out.assign(job.Memory, job.Memory + job.Size);
    std::free(job.Memory);
    return ok;
}

}  // namespace framelot

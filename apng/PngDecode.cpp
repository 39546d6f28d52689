// PNG decoding through libpng's row interface. Every transform is named here,
// so the decoded bytes do not depend on which internal path libpng picks.
#include "apng/PngDecode.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <vector>

#include "imaging/Limits.h"

namespace framelot {
namespace {

struct MemoryInput {
    std::span<const std::uint8_t> Bytes;
    std::size_t Offset = 0;
};

void ReadFromMemory(png_structp png, png_bytep data, png_size_t length)
{
    auto* input = static_cast<MemoryInput*>(png_get_io_ptr(png));
    if (length > input->Bytes.size() - input->Offset) png_error(png, "truncated PNG");
    std::memcpy(data, input->Bytes.data() + input->Offset, length);
    input->Offset += length;
}

// libpng reports warnings through this; they never change the result.
void IgnoreWarning(png_structp, png_const_charp) {}
void StopOnError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

// The two steps below hold every libpng call that can fail. Each sets its own
// return point and owns no C++ object, so a longjmp skips no destructor.

// Reads the header and sets the transforms to 8-bit RGBA with straight alpha.
bool ReadHeader(png_structp png, png_infop info, png_uint_32* width, png_uint_32* height)
{
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_info(png, info);
    *width = png_get_image_width(png, info);
    *height = png_get_image_height(png, info);
    const int colourType = png_get_color_type(png, info);
    // Output is sRGB with straight alpha: a file that declares another gamma
    // is corrected to sRGB; one that declares none is taken as sRGB already,
    // 16-bit samples included (they are not treated as linear light).
    png_set_alpha_mode(png, PNG_ALPHA_PNG, PNG_DEFAULT_sRGB);
    png_set_expand(png);     // palette to RGB, grey below 8 bits to 8, tRNS to alpha
    png_set_scale_16(png);   // 16-bit samples rounded to the nearest 8-bit value
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    if ((colourType & PNG_COLOR_MASK_ALPHA) == 0 && !png_get_valid(png, info, PNG_INFO_tRNS)) {
        png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return png_get_rowbytes(png, info) == static_cast<png_size_t>(*width) * 4;
}

bool ReadRows(png_structp png, png_bytepp rows)
{
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_image(png, rows);
    return true;
}

struct ReadStruct {
    png_structp Png = nullptr;
    png_infop Info = nullptr;
    ~ReadStruct() { png_destroy_read_struct(&Png, Info != nullptr ? &Info : nullptr, nullptr); }
};

}  // namespace

bool DecodePngInto(std::span<const std::uint8_t> bytes, Bitmap& out)
{
    constexpr std::size_t SignatureBytes = 8;
    if (bytes.size() < SignatureBytes || png_sig_cmp(bytes.data(), 0, SignatureBytes) != 0) return false;

    ReadStruct read;
    read.Png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, StopOnError, IgnoreWarning);
    if (read.Png == nullptr) return false;
    read.Info = png_create_info_struct(read.Png);
    if (read.Info == nullptr) return false;
    MemoryInput input{bytes, 0};
    png_set_read_fn(read.Png, &input, ReadFromMemory);

    png_uint_32 width = 0, height = 0;
    if (!ReadHeader(read.Png, read.Info, &width, &height)) return false;
    // The header's size is checked before anything is allocated for it.
    if (width == 0 || height == 0 || !FitsLimits(width, height)) return false;

    out.Width = static_cast<int>(width);
    out.Height = static_cast<int>(height);
    out.Pixels.resize(static_cast<std::size_t>(width) * height * 4);
    std::vector<png_bytep> rows(height);
    for (png_uint_32 y = 0; y < height; ++y) rows[y] = out.Pixels.data() + static_cast<std::size_t>(y) * width * 4;
    return ReadRows(read.Png, rows.data());
}

}  // namespace framelot

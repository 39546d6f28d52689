#include "output/encoders/WebpEncode.h"

#include <webp/encode.h>

namespace framelot {
namespace {

constexpr int Channels = 4;

}  // namespace

bool EncodeWebp(const Bitmap& bitmap, int quality, std::vector<std::uint8_t>& out)
{
    WebPConfig config;
    WebPPicture picture;
    if (!WebPConfigInit(&config) || !WebPPictureInit(&picture)) return false;
    if (quality < 0) {
        config.lossless = 1;
        config.exact = 1;  // keep the colour of transparent pixels: the frame decodes exactly
    } else {
        config.quality = static_cast<float>(quality);
        config.use_sharp_yuv = 1;  // sharper colour edges, as frames of graphics have them
    }
    picture.use_argb = 1;
    picture.width = bitmap.Width;
    picture.height = bitmap.Height;
    WebPMemoryWriter writer;
    WebPMemoryWriterInit(&writer);
    picture.writer = WebPMemoryWrite;
    picture.custom_ptr = &writer;
    const bool ok = WebPValidateConfig(&config) &&
                    WebPPictureImportRGBA(&picture, bitmap.Pixels.data(), bitmap.Width * Channels) &&
                    WebPEncode(&config, &picture);
    if (ok) out.assign(writer.mem, writer.mem + writer.size);
    WebPPictureFree(&picture);
    WebPMemoryWriterClear(&writer);
    return ok;
}

}  // namespace framelot

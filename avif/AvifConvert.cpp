// Frames come out of libavif as YUV images of the sequence track's size; each
// is converted to 8-bit RGBA with straight alpha by libavif's own exact
// conversion (deeper samples rounded), then turned by 'irot' and mirrored by
// 'imir', in that order, which libavif reports but does not apply.
#include "avif/AvifConvert.h"

#include <string>

#include "avif/AvifSequence.h"
#include "imaging/Raster.h"

namespace framelot {
namespace {

// The decoded image as straight RGBA, 8 bits a sample, into `out`.
bool ToRgba(avifImage* image, Bitmap& out)
{
    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, image);
    rgb.format = AVIF_RGB_FORMAT_RGBA;
    rgb.depth = 8;
    rgb.alphaPremultiplied = AVIF_FALSE;
    // libavif's own conversion with its best chroma upsampling, not libyuv's
    // faster one, whose colours for subsampled chroma are up to 16 levels off
    // at sharp edges (and which not every libavif build has).
    rgb.avoidLibYUV = AVIF_TRUE;
    rgb.chromaUpsampling = AVIF_CHROMA_UPSAMPLING_BEST_QUALITY;
    out.Width = static_cast<int>(image->width);
    out.Height = static_cast<int>(image->height);
    out.Pixels.resize(static_cast<std::size_t>(image->width) * image->height * 4);
    rgb.pixels = out.Pixels.data();
    rgb.rowBytes = image->width * 4;
    return avifImageYUVToRGB(image, &rgb) == AVIF_RESULT_OK;
}

// 'irot' turns anticlockwise by quarter turns; 'imir' mode 0 exchanges top
// and bottom, mode 1 left and right.
void Orient(const avifImage* image, Bitmap& frame, Bitmap& scratch)
{
    if (image->transformFlags & AVIF_TRANSFORM_IROT) {
        for (int turn = 0; turn < (image->irot.angle & 3); ++turn) {
            TurnAnticlockwise(frame, scratch);
            std::swap(frame, scratch);
        }
    }
    if (image->transformFlags & AVIF_TRANSFORM_IMIR) {
        // The mirror's axis: 0 mirrors top and bottom, 1 left and right
        // (named `mode` before libavif 1.0).
#if AVIF_VERSION_MAJOR >= 1
        const int axis = image->imir.axis;
#else
        const int axis = image->imir.mode;
#endif
        if (axis == 0) {
            FlipVertically(frame);
        } else {
            FlipHorizontally(frame);
        }
    }
}

}  // namespace

ConvertResult ConvertAvifData(std::span<const std::uint8_t> bytes, const FrameSink& sink,
                              const FrameCountSink& announce)
{
    AvifDecoderPtr decoder;
    if (ConvertResult opened = OpenAvifSequence(bytes, decoder); opened.Status != ConvertStatus::Converted) return opened;
    const auto count = static_cast<std::uint32_t>(decoder->imageCount);
    const std::uint32_t width = decoder->image->width, height = decoder->image->height;
    if (announce) announce(count);
    Bitmap frame, scratch;
    for (std::uint32_t i = 0; i < count; ++i) {
        const avifResult next = avifDecoderNextImage(decoder.get());
        avifImage* image = decoder->image;
        if (next != AVIF_RESULT_OK || image->width != width || image->height != height || !ToRgba(image, frame)) {
            const std::string why = next != AVIF_RESULT_OK ? avifResultToString(next) : "its size or samples are wrong";
            const std::string damage = "frame " + std::to_string(i) + " of " + std::to_string(count) +
                                       " cannot be decoded (" + why + "): it and the frames after it are missing";
            // Each frame may rest on the one before it, so decoding stops here.
            if (i == 0) return Damaged(damage);
            ConvertResult result = Converted();
            result.Damage = damage;
            return result;
        }
        Orient(image, frame, scratch);
        if (!sink(i, frame)) break;
    }
    return Converted();
}

ConvertResult ConvertAvifStill(std::span<const std::uint8_t> bytes, const FrameSink& sink,
                               const FrameCountSink& announce)
{
    AvifDecoderPtr decoder;
    if (ConvertResult opened = OpenAvifStill(bytes, decoder); opened.Status != ConvertStatus::Converted) return opened;
    Bitmap frame, scratch;
    const avifResult next = avifDecoderNextImage(decoder.get());
    if (next != AVIF_RESULT_OK || !ToRgba(decoder->image, frame)) {
        return Damaged("the AVIF image cannot be decoded (" +
                       std::string(next != AVIF_RESULT_OK ? avifResultToString(next) : "its samples are wrong") + ")");
    }
    Orient(decoder->image, frame, scratch);
    if (announce) announce(1);
    sink(0, frame);
    return Converted();
}

}  // namespace framelot

#include "testing/FixtureBuilders.h"

#include <gif_lib.h>
#include <png.h>
#include <webp/encode.h>
#include <webp/mux.h>
#include <zlib.h>

#include <cstring>
#include <stdexcept>

namespace framelot::test {
namespace {

int AppendOutput(GifFileType* gif, const GifByteType* data, int length)
{
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + length);
    return length;
}

ColorMapObject* MakeMap(const std::vector<Rgb>& colours)
{
    int size = 2;
    while (size < static_cast<int>(colours.size())) size *= 2;
    std::vector<GifColorType> entries(static_cast<std::size_t>(size), GifColorType{0, 0, 0});
    for (std::size_t i = 0; i < colours.size(); ++i) entries[i] = {colours[i][0], colours[i][1], colours[i][2]};
    return GifMakeMapObject(size, entries.data());
}

void Check(bool ok, const char* what)
{
    if (!ok) throw std::runtime_error(what);
}

void AppendU32(Bytes& out, std::uint32_t v)
{
    out.push_back(static_cast<std::uint8_t>(v >> 24));
    out.push_back(static_cast<std::uint8_t>(v >> 16));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}

Bytes Compress(std::uint32_t width, std::uint32_t height, int bytesPerPixel, const Bytes& pixels)
{
    Bytes raw;
    const std::size_t row = static_cast<std::size_t>(width) * bytesPerPixel;
    for (std::uint32_t y = 0; y < height; ++y) {
        raw.push_back(0);  // filter: none
        raw.insert(raw.end(), pixels.begin() + static_cast<std::ptrdiff_t>(y * row),
                   pixels.begin() + static_cast<std::ptrdiff_t>((y + 1) * row));
    }
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    Bytes out(size);
    Check(compress(out.data(), &size, raw.data(), static_cast<uLong>(raw.size())) == Z_OK, "compress");
    out.resize(size);
    return out;
}

Bytes Fctl(std::uint32_t sequence, const ApngFrameSpec& f)
{
    Bytes d;
    AppendU32(d, sequence);
    AppendU32(d, f.Width);
    AppendU32(d, f.Height);
    AppendU32(d, f.X);
    AppendU32(d, f.Y);
    d.insert(d.end(), {std::uint8_t(f.DelayNumerator >> 8), std::uint8_t(f.DelayNumerator),
                       std::uint8_t(f.DelayDenominator >> 8), std::uint8_t(f.DelayDenominator), f.Dispose, f.Blend});
    return d;
}

}  // namespace

std::vector<Rgb> FourColours()
{
    return {Rgb{0, 0, 0}, Rgb{255, 0, 0}, Rgb{0, 255, 0}, Rgb{0, 0, 255}};
}

Bytes TwoFrameGif()
{
    return BuildGif({.ScreenWidth = 2, .ScreenHeight = 1, .Palette = FourColours(),
                     .Frames = {SolidGifFrame(0, 0, 2, 1, 1), SolidGifFrame(1, 0, 1, 1, 2)}});
}

GifFrameSpec SolidGifFrame(int left, int top, int width, int height, std::uint8_t index, int disposal)
{
    GifFrameSpec f;
    f.Left = left;
    f.Top = top;
    f.Width = width;
    f.Height = height;
    f.Indices.assign(static_cast<std::size_t>(width) * height, index);
    f.Disposal = disposal;
    return f;
}

Bytes BuildGif(const GifSpec& fixture)
{
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, AppendOutput, &error);
    Check(gif != nullptr, "EGifOpen");
    EGifSetGifVersion(gif, !fixture.Version87a);
    ColorMapObject* global = fixture.Palette.empty() ? nullptr : MakeMap(fixture.Palette);
    Check(EGifPutScreenDesc(gif, fixture.ScreenWidth, fixture.ScreenHeight, 8, fixture.Background, global) == GIF_OK, "screen");
    if (fixture.LoopExtension) {
        static const GifByteType netscape[] = "NETSCAPE2.0";
        const GifByteType loop[] = {1, GifByteType(fixture.Loops & 0xFF), GifByteType(fixture.Loops >> 8)};
        EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE);
        EGifPutExtensionBlock(gif, 11, netscape);
        EGifPutExtensionBlock(gif, 3, loop);
        EGifPutExtensionTrailer(gif);
    }
    for (const GifFrameSpec& f : fixture.Frames) {
        if (f.Disposal >= 0) {
            GraphicsControlBlock gcb{};
            gcb.DisposalMode = f.Disposal;
            gcb.TransparentColor = f.Transparent;
            gcb.DelayTime = f.Delay;
            GifByteType ext[4];
            EGifGCBToExtension(&gcb, ext);
            Check(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext) == GIF_OK, "gce");
        }
        if (f.CommentBefore) EGifPutComment(gif, "a comment");
        ColorMapObject* local = f.LocalPalette.empty() ? nullptr : MakeMap(f.LocalPalette);
        if (local == nullptr && gif->Image.ColorMap != nullptr) {
            // giflib 5.2 drops (leaks) the previous image's table here otherwise.
            GifFreeMapObject(gif->Image.ColorMap);
            gif->Image.ColorMap = nullptr;
        }
        Check(EGifPutImageDesc(gif, f.Left, f.Top, f.Width, f.Height, f.Interlace, local) == GIF_OK, "desc");
        if (local) GifFreeMapObject(local);
        std::vector<GifPixelType> row(static_cast<std::size_t>(f.Width));
        auto putRow = [&](int y) {
            std::memcpy(row.data(), f.Indices.data() + static_cast<std::size_t>(y) * f.Width, row.size());
            Check(EGifPutLine(gif, row.data(), f.Width) == GIF_OK, "line");
        };
        if (f.Interlace) {
            static constexpr int Start[4] = {0, 4, 2, 1}, Step[4] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass)
                for (int y = Start[pass]; y < f.Height; y += Step[pass]) putRow(y);
        } else {
            for (int y = 0; y < f.Height; ++y) putRow(y);
        }
    }
    if (global) GifFreeMapObject(global);
    Check(EGifCloseFile(gif, &error) == GIF_OK, "close");
    return out;
}

void AppendPngChunk(Bytes& png, const char* type, const Bytes& data)
{
    AppendU32(png, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    const uLong crc = crc32(0, png.data() + start, static_cast<uInt>(png.size() - start));
    AppendU32(png, static_cast<std::uint32_t>(crc));
}

Bytes SolidRgba(std::uint32_t width, std::uint32_t height, std::uint8_t r, std::uint8_t g, std::uint8_t b,
                std::uint8_t a)
{
    Bytes pixels;
    for (std::uint32_t i = 0; i < width * height; ++i) pixels.insert(pixels.end(), {r, g, b, a});
    return pixels;
}

Bytes BuildApng(const ApngSpec& fixture)
{
    const int bpp = fixture.ColourType == 3 ? 1 : 4;
    Bytes png = {137, 80, 78, 71, 13, 10, 26, 10};
    Bytes ihdr;
    AppendU32(ihdr, fixture.Width);
    AppendU32(ihdr, fixture.Height);
    ihdr.insert(ihdr.end(), {8, fixture.ColourType, 0, 0, 0});
    AppendPngChunk(png, "IHDR", ihdr);
    Bytes actl;
    AppendU32(actl, fixture.AnnouncedFrames ? fixture.AnnouncedFrames : static_cast<std::uint32_t>(fixture.Frames.size()));
    AppendU32(actl, fixture.Plays);
    AppendPngChunk(png, "acTL", actl);
    if (fixture.ColourType == 3) {
        AppendPngChunk(png, "PLTE", fixture.Palette);
        if (!fixture.Transparency.empty()) AppendPngChunk(png, "tRNS", fixture.Transparency);
    }
    std::uint32_t sequence = 0;
    for (std::size_t i = 0; i < fixture.Frames.size(); ++i) {
        const ApngFrameSpec& f = fixture.Frames[i];
        if (i == 0 && !fixture.DefaultImageIsFrame) {
            AppendPngChunk(png, "IDAT", Compress(fixture.Width, fixture.Height, bpp, fixture.DefaultPixels));
        }
        AppendPngChunk(png, "fcTL", Fctl(sequence++, f));
        const Bytes data = Compress(f.Width, f.Height, bpp, f.Pixels);
        if (i == 0 && fixture.DefaultImageIsFrame) {
            AppendPngChunk(png, "IDAT", data);
        } else {
            Bytes fdat;
            AppendU32(fdat, sequence++);
            fdat.insert(fdat.end(), data.begin(), data.end());
            AppendPngChunk(png, "fdAT", fdat);
        }
    }
    AppendPngChunk(png, "IEND", {});
    return png;
}

Bytes BuildPlainPng(std::uint32_t width, std::uint32_t height, const Bytes& rgba)
{
    Bytes png = {137, 80, 78, 71, 13, 10, 26, 10};
    Bytes ihdr;
    AppendU32(ihdr, width);
    AppendU32(ihdr, height);
    ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});
    AppendPngChunk(png, "IHDR", ihdr);
    AppendPngChunk(png, "IDAT", Compress(width, height, 4, rgba));
    AppendPngChunk(png, "IEND", {});
    return png;
}

namespace {

void AppendToBytes(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void NoFlush(png_structp) {}

int SamplesPerPixel(int colourType)
{
    switch (colourType) {
    case PNG_COLOR_TYPE_RGB: return 3;
    case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
    case PNG_COLOR_TYPE_RGBA: return 4;
    default: return 1;
    }
}

// Holds every libpng call, so its longjmp skips no C++ destructor.
bool WriteStillPng(const StillPngSpec& f, png_bytepp rows, Bytes* out)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, AppendToBytes, NoFlush);
    png_set_IHDR(png, info, f.Width, f.Height, f.BitDepth, f.ColourType,
                 f.Interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_color palette[256];
    for (std::size_t i = 0; i < f.Palette.size() && i < 256; ++i) palette[i] = {f.Palette[i][0], f.Palette[i][1], f.Palette[i][2]};
    if (!f.Palette.empty()) png_set_PLTE(png, info, palette, static_cast<int>(f.Palette.size()));
    if (!f.PaletteAlpha.empty()) {
        png_set_tRNS(png, info, f.PaletteAlpha.data(), static_cast<int>(f.PaletteAlpha.size()), nullptr);
    }
    if (!f.TransparentKey.empty()) {
        png_color_16 key{};
        key.gray = f.TransparentKey[0];
        if (f.TransparentKey.size() == 3) key.red = f.TransparentKey[0], key.green = f.TransparentKey[1], key.blue = f.TransparentKey[2];
        png_set_tRNS(png, info, nullptr, 0, &key);
    }
    png_write_info(png, info);
    if (f.BitDepth < 8) png_set_packing(png);  // rows hold one sample a byte
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

Bytes BuildStillPng(const StillPngSpec& fixture)
{
    const std::size_t perRow = std::size_t{fixture.Width} * SamplesPerPixel(fixture.ColourType);
    Check(fixture.Samples.size() == perRow * fixture.Height, "still PNG samples");
    const std::size_t sampleBytes = fixture.BitDepth == 16 ? 2 : 1;
    Bytes raw;
    for (std::uint16_t v : fixture.Samples) {
        if (sampleBytes == 2) raw.push_back(static_cast<std::uint8_t>(v >> 8));  // big-endian
        raw.push_back(static_cast<std::uint8_t>(v));
    }
    std::vector<png_bytep> rows(fixture.Height);
    for (std::uint32_t y = 0; y < fixture.Height; ++y) rows[y] = raw.data() + y * perRow * sampleBytes;
    Bytes png;
    Check(WriteStillPng(fixture, rows.data(), &png), "still PNG");
    return png;
}

namespace {

Bytes EncodeFrame(int width, int height, const Bytes& rgba, bool lossy)
{
    std::uint8_t* out = nullptr;
    const std::size_t size = lossy ? WebPEncodeRGBA(rgba.data(), width, height, width * 4, 90, &out)
                                   : WebPEncodeLosslessRGBA(rgba.data(), width, height, width * 4, &out);
    Check(size > 0, "webp encode");
    Bytes bytes(out, out + size);
    WebPFree(out);
    return bytes;
}

}  // namespace

Bytes BuildAnimatedWebp(const WebpSpec& fixture)
{
    WebPMux* mux = WebPMuxNew();
    std::vector<Bytes> frames;
    frames.reserve(fixture.Frames.size());
    for (const WebpFrameSpec& f : fixture.Frames) {
        frames.push_back(EncodeFrame(f.Width, f.Height, f.Rgba, f.Lossy));
        WebPMuxFrameInfo info{};
        info.bitstream = {frames.back().data(), frames.back().size()};
        info.x_offset = f.X;
        info.y_offset = f.Y;
        info.duration = f.Duration;
        info.id = WEBP_CHUNK_ANMF;
        info.dispose_method = f.DisposeBackground ? WEBP_MUX_DISPOSE_BACKGROUND : WEBP_MUX_DISPOSE_NONE;
        info.blend_method = f.NoBlend ? WEBP_MUX_NO_BLEND : WEBP_MUX_BLEND;
        Check(WebPMuxPushFrame(mux, &info, 1) == WEBP_MUX_OK, "push frame");
    }
    WebPMuxAnimParams params{fixture.Background, fixture.Loops};
    Check(WebPMuxSetAnimationParams(mux, &params) == WEBP_MUX_OK, "anim params");
    Check(WebPMuxSetCanvasSize(mux, fixture.CanvasWidth, fixture.CanvasHeight) == WEBP_MUX_OK, "canvas");
    WebPData assembled{};
    Check(WebPMuxAssemble(mux, &assembled) == WEBP_MUX_OK, "assemble");
    Bytes bytes(assembled.bytes, assembled.bytes + assembled.size);
    WebPDataClear(&assembled);
    WebPMuxDelete(mux);
    return bytes;
}

Bytes BuildStillWebp(int width, int height, const Bytes& rgba)
{
    return EncodeFrame(width, height, rgba, false);
}

}  // namespace framelot::test

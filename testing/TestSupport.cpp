#include "testing/TestSupport.h"

#include "output/files/PathText.h"

#include <png.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>

namespace framelot::test {

TempDir::~TempDir()
{
    std::error_code ec;
    // Restore write permission that a test took away (or a copy of a read-only
    // file kept), so everything can go: Windows deletes no read-only file.
    // Each entry goes by its exact name, so that one named like a device
    // ("CON.gif") or with a trailing space is removed, not looked up.
    std::vector<fs::path> entries;
    for (auto it = fs::recursive_directory_iterator(Path, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        entries.push_back(ExactPathFromUtf8(Utf8FromPath(it->path())));
        std::error_code ignored;
        fs::permissions(entries.back(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        std::error_code ignored;
        fs::remove(*it, ignored);  // deepest first: folders are empty when their turn comes
    }
    fs::permissions(Path, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(Path, ec);
}

std::string TempDir::operator/(const std::string& name) const
{
    return Utf8FromPath(Path) + "/" + name;
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(ExactPathFromUtf8(path), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> ReadFile(const std::string& path)
{
    std::ifstream in(ExactPathFromUtf8(path), std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bitmap ReadPng(const std::string& path)
{
    return DecodePng(ReadFile(path));
}

Bitmap DecodePng(const std::vector<std::uint8_t>& file)
{
    Bitmap b;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (file.empty() || !png_image_begin_read_from_memory(&image, file.data(), file.size())) return b;
    image.format = PNG_FORMAT_RGBA;
    std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return b;
    b.Width = static_cast<int>(image.width);
    b.Height = static_cast<int>(image.height);
    b.Pixels = std::move(pixels);
    return b;
}

std::vector<std::string> ListFiles(const fs::path& folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const std::u8string name = fs::relative(it->path(), folder).generic_u8string();
        names.emplace_back(name.begin(), name.end());
    }
    std::sort(names.begin(), names.end());
    return names;
}

Bitmap SolidBitmap(int width, int height, std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a)
{
    Bitmap bitmap = MakeBitmap(width, height);
    for (std::size_t i = 0; i < bitmap.Pixels.size(); i += 4) {
        bitmap.Pixels[i] = r;
        bitmap.Pixels[i + 1] = g;
        bitmap.Pixels[i + 2] = b;
        bitmap.Pixels[i + 3] = a;
    }
    return bitmap;
}

std::vector<int> PixelAt(const Bitmap& bitmap, int x, int y)
{
    const std::size_t i = (static_cast<std::size_t>(y) * bitmap.Width + x) * 4;
    return {bitmap.Pixels[i], bitmap.Pixels[i + 1], bitmap.Pixels[i + 2], bitmap.Pixels[i + 3]};
}

FrameSink CollectedFrames::Sink()
{
    return [this](std::uint64_t, const Bitmap& frame) {
        Frames.push_back(frame);
        return true;
    };
}

}  // namespace framelot::test

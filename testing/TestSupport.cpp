#include "testing/TestSupport.h"

#include <png.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>

namespace framelot::test {

TempDir::TempDir()
{
    std::string pattern = (fs::temp_directory_path() / "framelot-test-XXXXXX").string();
    Path = ::mkdtemp(pattern.data());
}

TempDir::~TempDir()
{
    std::error_code ec;
    // Restore write permission that a test took away, so everything can go.
    for (auto it = fs::recursive_directory_iterator(Path, ec); !ec && it != fs::recursive_directory_iterator(); ++it) {
        if (it->is_directory()) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::permissions(Path, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(Path, ec);
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bitmap ReadPng(const std::string& path)
{
    Bitmap b;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return b;
    image.format = PNG_FORMAT_BGRA;
    std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return b;
    b.Width = static_cast<int>(image.width);
    b.Height = static_cast<int>(image.height);
    b.Pixels = std::move(pixels);
    return b;
}

std::string InChild(const std::function<std::string()>& work, bool dropPrivileges)
{
    constexpr uid_t Nobody = 65534;
    int fds[2];
    if (::pipe(fds) != 0) return "pipe failed";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        if (dropPrivileges && ::geteuid() == 0) {
            if (::setgid(Nobody) != 0 || ::setuid(Nobody) != 0) ::_exit(3);
        }
        const std::string out = work();
        if (::write(fds[1], out.data(), out.size()) < 0) ::_exit(4);
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string out;
    char buffer[256];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) out.append(buffer, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return out;
}

ProgramRun RunProgram(const std::string& commandLine)
{
    ProgramRun run;
    FILE* pipe = ::popen((commandLine + " 2>&1").c_str(), "r");
    char buffer[512];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe)) run.Output += buffer;
    const int status = pipe ? ::pclose(pipe) : -1;
    run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::vector<std::string> ListFiles(const fs::path& folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::recursive_directory_iterator(); ++it) {
        names.push_back(fs::relative(it->path(), folder).string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

Bitmap SolidBitmap(int width, int height, std::uint8_t b, std::uint8_t g, std::uint8_t r, std::uint8_t a)
{
    Bitmap bitmap = MakeBitmap(width, height);
    for (std::size_t i = 0; i < bitmap.Pixels.size(); i += 4) {
        bitmap.Pixels[i] = b;
        bitmap.Pixels[i + 1] = g;
        bitmap.Pixels[i + 2] = r;
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
    return [this](std::uint64_t, const Bitmap& frame) { Frames.push_back(frame); };
}

}  // namespace framelot::test

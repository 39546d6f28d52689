// File-system faults: a folder that cannot be written, a file in the way, a
// disk that fills up mid-file, a source that vanishes or cannot be read, odd
// names, and a conversion killed at random moments. In every case: no crash,
// no partial PNG under a frame's name, no temporary file left behind, nothing
// existing overwritten, and a reason in the result.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include "convert/Dispatch.h"
#include "output/encoders/SavePng.h"
#include "testing/FixtureBuilders.h"
#include "testing/TestSupport.h"

namespace framelot {
namespace {

using namespace test;

// Noisy frames, so each encoded frame is a few kilobytes.
Bytes NoisyGif(int side, int frames, unsigned seed = 1)
{
    std::mt19937 rng(seed);
    std::vector<Rgb> palette;
    for (int i = 0; i < 256; ++i) palette.push_back(Rgb{std::uint8_t(i), std::uint8_t(i * 3), std::uint8_t(i * 7)});
    GifSpec fixture{.ScreenWidth = side, .ScreenHeight = side, .Palette = palette};
    for (int f = 0; f < frames; ++f) {
        GifFrameSpec frame = SolidGifFrame(0, 0, side, side, 0, 1);
        for (auto& v : frame.Indices) v = static_cast<std::uint8_t>(rng());
        fixture.Frames.push_back(frame);
    }
    return BuildGif(fixture);
}

std::string Describe(const ConvertResult& r)
{
    return std::to_string(static_cast<int>(r.Status)) + ":" + r.Reason;
}

// Every PNG below `folder` decodes whole; nothing else but `allowed` is there.
void ExpectOnlyWholeFrames(const fs::path& folder, const std::vector<std::string>& allowed)
{
    for (const std::string& name : ListFiles(folder)) {
        const fs::path path = folder / name;
        if (fs::is_directory(path) || std::find(allowed.begin(), allowed.end(), name) != allowed.end()) continue;
        ASSERT_EQ(path.extension(), ".png") << name << " is not a frame: a temporary left behind?";
        EXPECT_GT(ReadPng(path.string()).Width, 0) << name << " is not a whole PNG";
    }
}

TEST(FileSystemFaultTest, FolderThatCannotBeWrittenFailsWithAReason)
{
    TempDir dir;
    fs::permissions(dir.Path, fs::perms::all);
    fs::create_directory(dir / "ro");
    WriteFile(dir / "ro/anim.gif", NoisyGif(8, 2));
    fs::permissions(dir / "ro/anim.gif", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(dir / "ro", fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                    fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    for (bool makeFolder : {false, true}) {
        const std::string result = InChild([&] { return Describe(ConvertDroppedFile(dir / "ro/anim.gif", {.MakeFolder = makeFolder})); }, true);
        EXPECT_EQ(result.rfind("4:", 0), 0u) << result;
        EXPECT_NE(result.find("Permission denied"), std::string::npos) << result;
    }
    const std::string single = InChild([&] {
        std::vector<std::uint8_t> encoded;
        PngEncoder encoder;
        return SavePng(SolidBitmap(1, 1, 0, 0, 0, 255), dir / "ro/f.png", encoded, encoder).Reason;
    }, true);
    EXPECT_NE(single.find("Permission denied"), std::string::npos) << single;
    EXPECT_EQ(ListFiles(dir / "ro"), std::vector<std::string>{"anim.gif"});
}

TEST(FileSystemFaultTest, SourceThatCannotBeReadOrHasVanished)
{
    TempDir dir;
    fs::permissions(dir.Path, fs::perms::all);
    WriteFile(dir / "secret.gif", NoisyGif(8, 2));
    fs::permissions(dir / "secret.gif", fs::perms::owner_write);
    const std::string result = InChild([&] { return Describe(ConvertDroppedFile(dir / "secret.gif")); }, true);
    EXPECT_EQ(result, "3:cannot open: Permission denied");
    const ConvertResult gone = ConvertDroppedFile(dir / "gone.gif");
    EXPECT_EQ(gone.Status, ConvertStatus::Unreadable);
    EXPECT_EQ(gone.Reason, "cannot open: No such file or directory");
    EXPECT_EQ(ListFiles(dir.Path), std::vector<std::string>{"secret.gif"});
}

// Frame files get the mode any new file gets under the user's umask.
TEST(FileSystemFaultTest, FrameFilesFollowTheUmask)
{
    TempDir dir;
    WriteFile(dir / "a.gif", NoisyGif(8, 2));
    const std::string modes = InChild([&] {
        ::umask(002);
        ConvertDroppedFile(dir / "a.gif", {.MakeFolder = false});
        std::string seen;
        for (const char* name : {"a_0000.png", "a_0001.png"}) {
            seen += std::to_string(static_cast<unsigned>(fs::status(dir / name).permissions()) & 0777) + " ";
        }
        return seen;
    }, false);
    EXPECT_EQ(modes, std::to_string(0664) + " " + std::to_string(0664) + " ");
}

TEST(FileSystemFaultTest, DiskFillingUpMidFileLeavesNoPartialFrame)
{
    TempDir dir;
    WriteFile(dir / "anim.gif", NoisyGif(64, 4));
    // The source is 4 frames of 64 x 64 noise; each encoded frame is well above
    // the 6000-byte file size limit the child runs under.
    const std::string result = InChild(
        [&] {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{6000, 6000};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            return Describe(ConvertDroppedFile(dir / "anim.gif"));
        },
        false);
    EXPECT_EQ(result.rfind("4:4 frames could not be written (frame 0: cannot write file: File too large)", 0), 0u)
        << result;
    EXPECT_EQ(ListFiles(dir.Path), (std::vector<std::string>{"anim.gif"}));  // the folder made is taken back
}

TEST(FileSystemFaultTest, OddNamesWorkAndOverlongOnesFailWithAReason)
{
    TempDir dir;
    const Bytes gif = NoisyGif(4, 2);
    for (const std::string name : {"with space.gif", "アニメ é.gif", "-dash.gif", "a.b.c.GIF"}) {
        WriteFile(dir / name, gif);
        const ConvertResult r = ConvertDroppedFile(dir / name);
        EXPECT_EQ(r.Status, ConvertStatus::Converted) << name << ": " << r.Reason;
        EXPECT_EQ(r.FramesWritten, 2u) << name;
    }
    EXPECT_TRUE(fs::exists(dir / "アニメ é/アニメ é_0001.png"));

    // 252 bytes: the source name fits, its frame names (+ "_0000.png") do not.
    const std::string longName = std::string(248, 'x') + ".gif";
    WriteFile(dir / longName, gif);
    const ConvertResult r = ConvertDroppedFile(dir / longName, {.MakeFolder = false});
    EXPECT_EQ(r.Status, ConvertStatus::Failed);
    EXPECT_NE(r.Reason.find("is 257 bytes long, more than the 255 a file or folder name may have"), std::string::npos)
        << r.Reason;
}

// The process is killed while it writes: after its first frame file appears,
// at a seeded random moment within the next few milliseconds.
TEST(FileSystemFaultTest, KilledConversionLeavesOnlyWholeFramesAndASecondRunFollowsTheRules)
{
    constexpr int Frames = 300;
    const Bytes gif = NoisyGif(160, Frames);
    std::mt19937 rng(2024);
    for (int round = 0; round < 3; ++round) {
        TempDir dir;
        WriteFile(dir / "anim.gif", gif);
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::execl(FRAMELOT_CLI, FRAMELOT_CLI, "--no-folder", (dir / "anim.gif").c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        bool exited = false;
        while (!fs::exists(dir / "anim_0000.png") && !exited) {
            ::usleep(200);
            exited = ::waitpid(pid, nullptr, WNOHANG) == pid;
        }
        ::usleep(rng() % 20000);
        exited = exited || ::waitpid(pid, nullptr, WNOHANG) == pid;
        ASSERT_FALSE(exited) << "the conversion ended before it could be killed";
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        ExpectOnlyWholeFrames(dir.Path, {"anim.gif"});
        const std::size_t before = ListFiles(dir.Path).size();
        EXPECT_LT(before, std::size_t{Frames} + 1) << "killed after it had finished";

        // With frame 0 there the second run skips and adds nothing.
        const ConvertResult again = ConvertDroppedFile(dir / "anim.gif", {.MakeFolder = false});
        EXPECT_EQ(again.Status, ConvertStatus::Skipped) << again.Reason;
        EXPECT_EQ(ListFiles(dir.Path).size(), before);
        ExpectOnlyWholeFrames(dir.Path, {"anim.gif"});
    }
}

}  // namespace
}  // namespace framelot

// Writing frames: exact bytes, never overwriting, never a partial or stray file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "output/NewFile.h"
#include "output/PngEncode.h"
#include "output/SavePng.h"
#include "testing/TestSupport.h"

namespace framelot {
namespace {

using namespace test;

TEST(PngWriterTest, WritesRgbaPngThatReadsBackByteExact)
{
    TempDir dir;
    Bitmap b = MakeBitmap(3, 2);
    for (std::size_t i = 0; i < b.Pixels.size(); ++i) b.Pixels[i] = static_cast<std::uint8_t>(i * 11);
    b.Pixels[3] = 128;  // alpha 128 keeps its colour: nothing is premultiplied on the way
    b.Pixels[0] = 0, b.Pixels[1] = 0, b.Pixels[2] = 255;
    const std::string path = dir / "f.png";
    ASSERT_EQ(SavePng(b, path).Status, SaveStatus::Written);

    const Bytes file = ReadFile(path);
    ASSERT_GT(file.size(), 26u);
    EXPECT_EQ(file[24], 8);  // bit depth
    EXPECT_EQ(file[25], 6);  // colour type RGBA
    const Bitmap back = ReadPng(path);
    EXPECT_EQ(back.Width, 3);
    EXPECT_EQ(back.Height, 2);
    EXPECT_EQ(back.Pixels, b.Pixels);
}

TEST(PngWriterTest, GradientsAndNoiseBothRoundTripAndGradientsCompress)
{
    // Row filters must stay on for gradients (without them a smooth frame is
    // ten times larger), and whatever filter is chosen must decode exactly.
    Bitmap gradient = MakeBitmap(256, 256), noise = MakeBitmap(256, 256);
    std::uint32_t seed = 1;
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            std::uint8_t* g = &gradient.Pixels[(static_cast<std::size_t>(y) * 256 + x) * 4];
            g[0] = std::uint8_t(x), g[1] = std::uint8_t(y), g[2] = std::uint8_t(x + y), g[3] = 255;
            std::uint8_t* n = &noise.Pixels[(static_cast<std::size_t>(y) * 256 + x) * 4];
            for (int c = 0; c < 4; ++c) n[c] = std::uint8_t((seed = seed * 1103515245u + 12345u) >> 24);
        }
    }
    TempDir dir;
    for (const Bitmap* b : {&gradient, &noise}) {
        std::vector<std::uint8_t> png;
        ASSERT_TRUE(EncodePng(*b, png));
        if (b == &gradient) {
            EXPECT_LT(png.size(), gradient.Pixels.size() / 20);
        }
        const std::string path = dir / (b == &gradient ? "g.png" : "n.png");
        ASSERT_EQ(SavePng(*b, path).Status, SaveStatus::Written);
        EXPECT_EQ(ReadPng(path).Pixels, b->Pixels);
    }
}

TEST(PngWriterTest, NeverReplacesWhatIsThere)
{
    TempDir dir;
    const std::string path = dir / "f.png";
    ASSERT_EQ(SavePng(SolidBitmap(2, 2, 1, 2, 3, 255), path).Status, SaveStatus::Written);
    const Bytes first = ReadFile(path);
    EXPECT_EQ(SavePng(SolidBitmap(4, 4, 9, 9, 9, 255), path).Status, SaveStatus::AlreadyExists);
    EXPECT_EQ(ReadFile(path), first);

    fs::create_directory(dir / "folder.png");
    EXPECT_EQ(SavePng(SolidBitmap(1, 1, 0, 0, 0, 0), dir / "folder.png").Status, SaveStatus::AlreadyExists);
    EXPECT_TRUE(fs::is_directory(dir / "folder.png"));
}

TEST(PngWriterTest, FailuresAreReportedAndLeaveNothingBehind)
{
    TempDir dir;
    const SaveOutcome missing = SavePng(SolidBitmap(1, 1, 0, 0, 0, 255), dir / "no/such/folder/f.png");
    EXPECT_EQ(missing.Status, SaveStatus::Failed);
    EXPECT_NE(missing.Reason.find("No such file"), std::string::npos) << missing.Reason;

    EXPECT_EQ(SavePng(Bitmap{}, dir / "empty.png").Status, SaveStatus::Failed);
    EXPECT_TRUE(ListFiles(dir.Path).empty());

    // A folder without write permission, tried as an unprivileged user (root
    // may write anywhere).
    fs::permissions(dir.Path, fs::perms::all);
    fs::create_directory(dir / "ro");
    fs::permissions(dir / "ro", fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                    fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    const std::string readOnly = InChild([&] { return SavePng(SolidBitmap(1, 1, 0, 0, 0, 255), dir / "ro/f.png").Reason; }, true);
    EXPECT_NE(readOnly.find("Permission denied"), std::string::npos) << readOnly;
    EXPECT_TRUE(ListFiles(dir / "ro").empty());
}

TEST(PngWriterTest, NewFileLeavesNoTemporaryAfterSuccessOrClash)
{
    TempDir dir;
    const Bytes data = {1, 2, 3};
    EXPECT_EQ(WriteNewFile(dir / "a", data).Status, SaveStatus::Written);
    EXPECT_EQ(WriteNewFile(dir / "a", Bytes{9}).Status, SaveStatus::AlreadyExists);
    EXPECT_EQ(ReadFile(dir / "a"), data);
    EXPECT_EQ(ListFiles(dir.Path), std::vector<std::string>{"a"});
}

}  // namespace
}  // namespace framelot

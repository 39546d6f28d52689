// Where frames go and what they are called; when a source is passed over.
#include <gtest/gtest.h>

#include "convert/SourceFile.h"
#include "output/files/FrameNaming.h"
#include "testing/TestSupport.h"

namespace framelot {
namespace {

using namespace test;

TEST(OutputNamingTest, FrameNamesBesideAndInAFolder)
{
    EXPECT_EQ(FrameFilePath("/pics/anim.gif", true, 0), "/pics/anim/anim_0000.png");
    EXPECT_EQ(FrameFilePath("/pics/anim.gif", true, 12), "/pics/anim/anim_0012.png");
    EXPECT_EQ(FrameFilePath("/pics/anim.gif", false, 1), "/pics/anim_0001.png");
    EXPECT_EQ(FrameFilePath("/pics/anim.gif", false, 10000), "/pics/anim_10000.png");
    EXPECT_EQ(FrameFilePath("/pics/My.Anim.GIF", false, 0), "/pics/My.Anim_0000.png");
    EXPECT_EQ(FrameFilePath("/pics/My.Anim.GIF", true, 0), "/pics/My.Anim/My.Anim_0000.png");
    EXPECT_EQ(FrameFilePath("anim.gif", true, 3), "anim/anim_0003.png");
    EXPECT_EQ(OutputFolderPath("/pics/anim.gif"), "/pics/anim");
}

TEST(OutputNamingTest, ExtensionIsTheLastDotWithNoSlashOrSpaceAfterIt)
{
    EXPECT_EQ(StripExtension("/a/anim.gif.txt"), "/a/anim.gif");
    EXPECT_EQ(StripExtension("/a/anim.gi f"), "/a/anim.gi f");
    EXPECT_EQ(StripExtension("/a.b/anim"), "/a.b/anim");
    EXPECT_EQ(StripExtension("/a/anim"), "/a/anim");
    EXPECT_EQ(FindExtension("/a/anim."), 7u);
}

// Each naming rule, under each platform's rules: the name made is the name
// reported, and no name is a device, a stream or the folder itself.
TEST(OutputNamingTest, StemsFollowEachPlatformsRules)
{
    const struct {
        const char* File;
        const char* Posix;
        const char* Windows;
    } cases[] = {
        {"anim.gif", "anim", "anim"},
        {"My.Anim.GIF", "My.Anim", "My.Anim"},
        {"clip .gif", "clip ", "clip"},         // TrailingDotsAndSpaces
        {"clip..gif", "clip.", "clip"},
        {"clip. . .gif", "clip. . ", "clip"},
        {"CON.gif", "CON", "CON_"},             // DeviceNames
        {"nul.old.gif", "nul.old", "nul_.old"},
        {"com1 .gif", "com1 ", "com1_"},
        {"Lpt9 .tar.gif", "Lpt9 .tar", "Lpt9_ .tar"},
        {"COM10.gif", "COM10", "COM10"},
        {"console.gif", "console", "console"},
        {"a:b.gif", "a:b", "a_b"},              // StreamColon
        {".gif", "_", "_"},                     // EmptyStem
        {"..gif", "_", "_"},
        {"...gif", "_", "_"},
        {"....gif", "...", "_"},
        {"anim", "anim", "anim"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(OutputStem(c.File, NamingRules::Posix), c.Posix) << c.File;
        EXPECT_EQ(OutputStem(c.File, NamingRules::Windows), c.Windows) << c.File;
    }
    // The folder part stays as written; only the file name is made safe.
    EXPECT_EQ(OutputBasePath("/pics.d/clip .gif", NamingRules::Windows), "/pics.d/clip");
    EXPECT_EQ(OutputBasePath("/pics/.gif", NamingRules::Posix), "/pics/_");
}

// Sources share an output when their outputs land in the same folder under
// the same stem, however the folder is spelled.
TEST(OutputNamingTest, SharedOutputIsTheSameFolderAndStemHoweverSpelled)
{
    TempDir dir;
    fs::create_directories(dir / "a/b");
    std::error_code noLinks;  // a system without folder links still checks the rest
    fs::create_directory_symlink(dir / "a", dir / "link", noLinks);
    const std::string key = SharedOutputKey(dir / "a/anim.gif");
    EXPECT_EQ(SharedOutputKey(dir / "a/anim.webp"), key);
    EXPECT_EQ(SharedOutputKey(dir / "a/./anim.png"), key);
    EXPECT_EQ(SharedOutputKey(dir / "a/b/../anim.gif"), key);
    if (!noLinks) {
        EXPECT_EQ(SharedOutputKey(dir / "link/anim.jxl"), key);  // through a link to the folder
    }
    EXPECT_EQ(SharedOutputKey(dir / "b/anim.gif", dir / "a"), key);  // -o into the folder
    EXPECT_EQ(SharedOutputKey(dir / "b/anim.gif", dir / "a/"), key);
    EXPECT_NE(SharedOutputKey(dir / "a/b/anim.gif"), key);
    EXPECT_NE(SharedOutputKey(dir / "a/anim2.gif"), key);
    EXPECT_NE(SharedOutputKey(dir / "b/anim.gif"), key);            // -o ignored would make these equal
    EXPECT_EQ(SharedOutputKey(dir / "a/missing/anim.gif"), SharedOutputKey(dir / "a/missing/../missing/anim.webp"));
    // Letter case counts where the file system compares it; a folder
    // relative to the working one is the same as its absolute spelling.
    if (PlatformNaming == NamingRules::Windows) {
        EXPECT_EQ(SharedOutputKey(dir / "A/Anim.gif"), key);
        EXPECT_EQ(SharedOutputKey(dir / "a/clip .gif"), SharedOutputKey(dir / "a/clip.webp"));
    } else {
        EXPECT_NE(SharedOutputKey(dir / "a/Anim.gif"), key);
    }
    const fs::path before = fs::current_path();
    fs::current_path(dir.Path);
    EXPECT_EQ(SharedOutputKey("a/anim.gif"), key);
    EXPECT_EQ(SharedOutputKey("./a/anim.avif"), key);
    fs::current_path(before);
}

TEST(OutputNamingTest, SkipTestLooksAtTheFolderOrAtFrameZero)
{
    TempDir dir;
    const std::string source = dir / "anim.gif";
    EXPECT_FALSE(OutputExists(source, true));
    EXPECT_FALSE(OutputExists(source, false));

    WriteFile(dir / "anim", {1});  // a file, not a folder, does not count
    EXPECT_FALSE(OutputExists(source, true));
    fs::remove(dir / "anim");
    fs::create_directory(dir / "anim");  // even empty
    EXPECT_TRUE(OutputExists(source, true));

    WriteFile(dir / "anim_0003.png", {1});
    EXPECT_FALSE(OutputExists(source, false));
    WriteFile(dir / "anim_0000.png", {1});
    EXPECT_TRUE(OutputExists(source, false));
}

TEST(OutputNamingTest, ReadSourceFileReportsWhyItCannotRead)
{
    TempDir dir;
    WriteFile(dir / "a.gif", {1, 2, 3});
    const SourceFile ok = ReadSourceFile(dir / "a.gif");
    EXPECT_TRUE(ok.Ok);
    EXPECT_EQ(ok.Bytes, (Bytes{1, 2, 3}));

    const SourceFile missing = ReadSourceFile(dir / "b.gif");
    EXPECT_FALSE(missing.Ok);
    EXPECT_NE(missing.Error.find(MissingFileText()), std::string::npos) << missing.Error;

    fs::create_directory(dir / "c.gif");
    EXPECT_EQ(ReadSourceFile(dir / "c.gif").Error, "not a regular file");
}

}  // namespace
}  // namespace framelot

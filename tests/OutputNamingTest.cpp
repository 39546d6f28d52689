// Where frames go and what they are called; when a source is passed over.
#include <gtest/gtest.h>

#include "convert/SourceFile.h"
#include "output/FrameNaming.h"
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

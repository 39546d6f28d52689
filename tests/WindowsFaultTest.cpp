// The file system as Windows has it: names in any script, paths longer than
// the old 260-character limit, and two writers racing for one frame name.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "convert/Dispatch.h"
#include "output/files/NewFile.h"
#include "output/files/PathText.h"
#include "testing/FixtureBuilders.h"
#include "testing/TestSupport.h"

namespace framelot {
namespace {

using namespace test;

// The C runtime's folder listing that std::filesystem uses stops at 260
// characters, so a deep tree is removed with the system's own calls.
void RemoveTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW entry;
    const HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(folder + L"\\" + name);
            } else {
                ::DeleteFileW((folder + L"\\" + name).c_str());
            }
        } while (::FindNextFileW(find, &entry));
        ::FindClose(find);
    }
    ::RemoveDirectoryW(folder.c_str());
}

TEST(WindowsFaultTest, UnicodeNamesAndPathsBeyondTwoHundredSixtyCharactersConvert)
{
    TempDir dir;
    std::string folder = dir.Path.string();
    const std::string first = folder + "/フォルダ-" + std::string(40, 'x');
    while (folder.size() < 300) {
        folder += "/フォルダ-" + std::string(40, 'x');
        ASSERT_TRUE(fs::create_directory(PathFromUtf8(folder)));
    }
    const std::string source = folder + "/日本語 アニメ é.gif";
    WriteFile(source, TwoFrameGif());
    for (bool makeFolder : {true, false}) {
        const ConvertResult r = ConvertDroppedFile(source, {.MakeFolder = makeFolder});
        EXPECT_EQ(r.Status, ConvertStatus::Converted) << r.Reason;
        EXPECT_EQ(r.FramesWritten, 2u);
    }
    EXPECT_EQ(ReadPng(folder + "/日本語 アニメ é/日本語 アニメ é_0001.png").Width, 2);
    EXPECT_EQ(ReadPng(folder + "/日本語 アニメ é_0001.png").Width, 2);
    EXPECT_EQ(ConvertDroppedFile(source, {.MakeFolder = false}).Status, ConvertStatus::Skipped);
    RemoveTree(L"\\\\?\\" + fs::absolute(PathFromUtf8(first)).make_preferred().wstring());
}

TEST(WindowsFaultTest, RacingWritersOfOneNameLeaveExactlyOneWholeFileAndNoTemporary)
{
    TempDir dir;
    constexpr int Names = 40;
    constexpr int Writers = 4;
    std::atomic<int> written[Names] = {};
    std::vector<std::thread> threads;
    for (int w = 0; w < Writers; ++w) {
        threads.emplace_back([&, w] {
            const Bytes mine(64 * 1024, static_cast<std::uint8_t>(w));
            for (int n = 0; n < Names; ++n) {
                const SaveOutcome o = WriteNewFile(dir / ("f" + std::to_string(n)), mine);
                if (o.Status == SaveStatus::Written) ++written[n];
                EXPECT_NE(o.Status, SaveStatus::Failed) << o.Reason;
            }
        });
    }
    for (std::thread& t : threads) t.join();
    std::vector<std::string> expected;
    for (int n = 0; n < Names; ++n) {
        EXPECT_EQ(written[n].load(), 1) << n;
        const Bytes file = ReadFile(dir / ("f" + std::to_string(n)));
        ASSERT_EQ(file.size(), 64u * 1024) << n;
        EXPECT_EQ(std::count(file.begin(), file.end(), file[0]), static_cast<long>(file.size())) << n;
        expected.push_back("f" + std::to_string(n));
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(ListFiles(dir.Path), expected);
}

TEST(WindowsFaultTest, CommandLineTakesUnicodeArgumentsAndPrintsUtf8WhenRedirected)
{
    TempDir dir;
    WriteFile(dir / "アニメ é.gif", TwoFrameGif());
    const ProgramRun run = RunProgram(Quoted(FRAMELOT_CLI) + " --no-folder " + Quoted(dir / "アニメ é.gif"));
    EXPECT_EQ(run.Status, 0) << run.Output;
    EXPECT_NE(run.Output.find("アニメ é.gif: 2 frames written"), std::string::npos) << run.Output;
    EXPECT_TRUE(fs::exists(PathFromUtf8(dir / "アニメ é_0001.png")));
}

// Names Windows would change or take for a device: each converts, into the
// folder its line names, and names that Windows makes one share one output.
TEST(WindowsFaultTest, NamesWithTrailingDotsAndSpacesDeviceNamesAndDriveRelativePathsConvert)
{
    TempDir dir;
    const Bytes gif = TwoFrameGif();
    for (const char* name : {"clip .gif", "clip..gif", "CON.gif", "nul.old.gif", "anim.gif"}) WriteFile(dir / name, gif);
    // "Z:anim.gif" is anim.gif in drive Z's current folder: the test's folder,
    // as the command runs there.
    const std::string folder = Utf8FromPath(dir.Path);
    const std::string drive = folder.substr(0, 2);
    const ProgramRun run = RunProgram("cd /d " + Quoted(folder) + " && " + Quoted(FRAMELOT_CLI) + " " +
                                      Quoted(dir / "clip .gif") + " " + Quoted(dir / "clip..gif") + " " +
                                      Quoted(dir / "CON.gif") + " " + Quoted(dir / "nul.old.gif") + " " + drive + "anim.gif");
    EXPECT_EQ(run.Status, 0) << run.Output;
    const std::string expected = dir / "clip .gif" + ": 2 frames written to " + dir / "clip" + "\n" +
                                 dir / "clip..gif" + ": skipped, same output as clip .gif: " + dir / "clip" + "\n" +
                                 dir / "CON.gif" + ": 2 frames written to " + dir / "CON_" + "\n" +
                                 dir / "nul.old.gif" + ": 2 frames written to " + dir / "nul_.old" + "\n" +
                                 drive + "anim.gif: 2 frames written to " + drive + "anim\n" + "4 file complete!\n";
    EXPECT_EQ(run.Output, expected);
    for (const char* made : {"clip/clip_0001.png", "CON_/CON__0001.png", "nul_.old/nul_.old_0001.png", "anim/anim_0001.png"}) {
        EXPECT_EQ(ReadPng(dir / made).Width, 2) << made;
    }
}

}  // namespace
}  // namespace framelot

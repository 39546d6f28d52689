// The Win32 window, driven through the messages the system sends it: a real
// HDROP, the Esc accelerator, menu commands and close requests.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <condition_variable>
#include <mutex>

#include "output/files/PathText.h"
#include "output/files/WindowsText.h"
#include "testing/FixtureBuilders.h"
#include "testing/TestSupport.h"
#include "windows/MainDialog.h"
#include "windows/Resources.h"
#include "windows/Settings.h"

namespace framelot {
namespace {

using namespace test;

// A drop as the shell makes it: DROPFILES, then the wide paths, each ended by
// a null, and a null after the last.
HDROP MakeDrop(const std::vector<std::string>& files)
{
    std::wstring list;
    for (const std::string& f : files) list += WideFromUtf8(f) + L'\0';
    list += L'\0';
    const HGLOBAL memory = ::GlobalAlloc(GHND, sizeof(DROPFILES) + list.size() * sizeof(wchar_t));
    auto* header = static_cast<DROPFILES*>(::GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(header) + sizeof(DROPFILES), list.data(), list.size() * sizeof(wchar_t));
    ::GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

// Handles the thread's messages until `done` holds or ten seconds pass.
bool PumpUntil(const std::function<bool()>& done)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        ::Sleep(5);
    }
    return true;
}

std::wstring ResultText(HWND window)
{
    wchar_t text[256] = {};
    ::GetDlgItemTextW(window, IDC_RESULT, text, 256);
    return text;
}

// The text of the result's tooltip, as the tooltip control holds it.
std::string ToolTipText(HWND window)
{
    HWND tip = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), [](HWND w, LPARAM found) {
        wchar_t name[64] = {};
        ::GetClassNameW(w, name, 64);
        if (std::wstring(name) == TOOLTIPS_CLASSW) *reinterpret_cast<HWND*>(found) = w;
        return TRUE;
    }, reinterpret_cast<LPARAM>(&tip));
    if (tip == nullptr || ::GetWindow(tip, GW_OWNER) != window) return {};
    wchar_t text[4096] = {};
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    ::SendMessageW(tip, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(&tool));
    tool.lpszText = text;
    ::SendMessageW(tip, TTM_GETTEXTW, 4096, reinterpret_cast<LPARAM>(&tool));
    return Utf8FromWide(text);
}

std::string ReadText(const std::string& path)
{
    const Bytes bytes = ReadFile(path);
    std::string text(bytes.begin(), bytes.end());
    text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());  // UTF-16 files read as ASCII
    return text;
}

TEST(WindowsWindowTest, DropConvertsInTheDropsOrderAndShowsTheCountAndEachOutcome)
{
    TempDir dir;
    WriteFile(dir / "a.gif", TwoFrameGif());
    WriteFile(dir / "notes.txt", {'x'});
    WriteFile(dir / "アニメ.GIF", TwoFrameGif());
    WriteFile(dir / "b.gif", TwoFrameGif());
    fs::create_directory(PathFromUtf8(dir / "b"));
    WriteFile(dir / "b/b_0000.png", {1});  // b.gif is skipped: its output is there

    const HWND window = CreateMainWindow(::GetModuleHandleW(nullptr), {PathFromUtf8(dir / "framelot.ini").wstring()});
    ASSERT_NE(window, nullptr);
    wchar_t title[64] = {};
    ::GetWindowTextW(window, title, 64);
    EXPECT_EQ(std::wstring(title), L"Framelot");
    EXPECT_EQ(ResultText(window), L"Drop file here.");

    ::PostMessageW(window, WM_DROPFILES,
                   reinterpret_cast<WPARAM>(MakeDrop({dir / "a.gif", dir / "notes.txt", dir / "アニメ.GIF", dir / "b.gif"})),
                   0);
    ASSERT_TRUE(PumpUntil([&] { return ResultText(window) != L"Drop file here."; }));
    EXPECT_EQ(ResultText(window), L"2 file complete!");
    EXPECT_EQ(ReadPng(dir / "アニメ/アニメ_0001.png").Width, 2);
    const std::string outcomes = ToolTipText(window);
    const std::size_t a = outcomes.find("a.gif: 2 frames written");
    const std::size_t notes = outcomes.find("notes.txt:");
    const std::size_t anime = outcomes.find("アニメ.GIF: 2 frames written");
    const std::size_t b = outcomes.find("b.gif: skipped");
    ASSERT_TRUE(a != std::string::npos && notes != std::string::npos && anime != std::string::npos &&
                b != std::string::npos) << outcomes;
    EXPECT_TRUE(a < notes && notes < anime && anime < b) << outcomes;
    ::DestroyWindow(window);
}

// A dropped folder stands for the animations directly inside it; "Open
// files..." below the switch converts the dialog's choice as a drop; "Show
// frames" comes after a conversion and opens the last converted file's frames.
TEST(WindowsWindowTest, FolderDropOpenFilesAndShowFrames)
{
    TempDir dir;
    fs::create_directories(PathFromUtf8(dir / "アニメ/sub"));
    for (const char* name : {"アニメ/b.gif", "アニメ/a.gif", "アニメ/sub/c.gif"}) WriteFile(dir / name, TwoFrameGif());
    WriteFile(dir / "アニメ/notes.txt", {'x'});

    std::vector<std::string> shown;
    MainWindowOptions options{PathFromUtf8(dir / "framelot.ini").wstring()};
    options.ChooseFiles = [&](HWND) { return std::vector<std::string>{dir / "アニメ/sub/c.gif"}; };
    options.ShowFolder = [&](HWND, const std::string& folder) { shown.push_back(folder); return true; };
    const HWND window = CreateMainWindow(::GetModuleHandleW(nullptr), std::move(options));
    ASSERT_NE(window, nullptr);

    const HMENU menu = ::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_POPUP));
    const HMENU popup = ::GetSubMenu(menu, 0);
    ASSERT_EQ(::GetMenuItemCount(popup), 2);
    EXPECT_EQ(::GetMenuItemID(popup, 1), static_cast<UINT>(IDM_OPEN_FILES));
    wchar_t caption[64] = {};
    ::GetMenuStringW(popup, 1, caption, 64, MF_BYPOSITION);
    EXPECT_EQ(std::wstring(caption), L"Open files...");
    ::DestroyMenu(menu);

    ::SendMessageW(window, WM_COMMAND, IDM_SHOW_FRAMES, 0);  // nothing converted yet: nothing to show
    EXPECT_TRUE(shown.empty());
    ::PostMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({dir / "アニメ"})), 0);
    ASSERT_TRUE(PumpUntil([&] { return ResultText(window) != L"Drop file here."; }));
    EXPECT_EQ(ResultText(window), L"2 file complete!");
    const std::string outcomes = ToolTipText(window);
    EXPECT_LT(outcomes.find("a.gif: 2 frames written"), outcomes.find("b.gif: 2 frames written")) << outcomes;
    EXPECT_FALSE(fs::exists(PathFromUtf8(dir / "アニメ/sub/c")));
    ::SendMessageW(window, WM_COMMAND, IDM_SHOW_FRAMES, 0);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(PathFromUtf8(shown[0]), PathFromUtf8(dir / "アニメ/b"));

    ::SendMessageW(window, WM_COMMAND, IDM_MAKE_FOLDER, 0);  // frames beside the source now
    ::SendMessageW(window, WM_COMMAND, IDM_OPEN_FILES, 0);
    ASSERT_TRUE(PumpUntil([&] { return ResultText(window) == L"1 file complete!"; }));
    EXPECT_EQ(ReadPng(dir / "アニメ/sub/c_0001.png").Width, 2);
    ::SendMessageW(window, WM_COMMAND, IDM_SHOW_FRAMES, 0);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(PathFromUtf8(shown[1]), PathFromUtf8(dir / "アニメ/sub"));

    // A folder of no animations: "0 file complete!" and why.
    fs::create_directories(PathFromUtf8(dir / "empty"));
    ::PostMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({dir / "empty"})), 0);
    ASSERT_TRUE(PumpUntil([&] { return ResultText(window) == L"0 file complete!"; }));
    EXPECT_NE(ToolTipText(window).find("no animations in "), std::string::npos) << ToolTipText(window);

    // A frames folder that is gone is said, never handed to the shell.
    fs::remove_all(PathFromUtf8(dir / "アニメ/sub"));
    ::SendMessageW(window, WM_COMMAND, IDM_SHOW_FRAMES, 0);
    EXPECT_EQ(shown.size(), 2u);
    EXPECT_EQ(ToolTipText(window).rfind("the frames folder is gone: ", 0), 0u) << ToolTipText(window);
    ::DestroyWindow(window);
    MSG quit;
    ::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
}

TEST(WindowsWindowTest, SettingsFileValuesReadAsOnOnlyWhenTheyAreOn)
{
    TempDir dir;
    const std::wstring ini = PathFromUtf8(dir / "s.ini").wstring();
    EXPECT_TRUE(ReadMakeFolder(ini)) << "a missing file gives the default";
    for (const std::string value : {"ON", "on", "On"}) {
        ::WritePrivateProfileStringW(L"SystemSetting", L"folder", WideFromUtf8(value).c_str(), ini.c_str());
        EXPECT_TRUE(ReadMakeFolder(ini)) << value;
    }
    for (const std::string value : {"OFF", "off", "1", "yes", "", "ON ON", "ONNNNNNNNNNNNNNNNNNN", "OFFFFFFFFFFFFFFFFFF"}) {
        ::WritePrivateProfileStringW(L"SystemSetting", L"folder", WideFromUtf8(value).c_str(), ini.c_str());
        EXPECT_FALSE(ReadMakeFolder(ini)) << "'" << value << "'";
    }
    ::WritePrivateProfileStringW(L"SystemSetting", nullptr, nullptr, ini.c_str());  // the section goes
    EXPECT_TRUE(ReadMakeFolder(ini));

    EXPECT_EQ(SettingsPathFor(L"C:\\Tools\\framelot.exe"), L"C:\\Tools\\framelot.ini");
    EXPECT_EQ(SettingsPathFor(L"C:\\a.b\\framelot"), L"C:\\a.b\\framelot.ini");
    EXPECT_EQ(ChooseSettingsPath(PathFromUtf8(dir / "framelot.exe").wstring()),
              PathFromUtf8(dir / "framelot.ini").wstring()) << "a folder that can be written keeps the setting";
    // Installed: never beside the program, even when its folder can be
    // written, as it can by an administrator and under Wine.
    std::wstring programFiles = _wgetenv(L"ProgramFiles");
    for (wchar_t& c : programFiles) c = static_cast<wchar_t>(::towlower(c));
    const std::wstring installed = ChooseSettingsPath(programFiles + L"\\Framelot\\framelot.exe");
    EXPECT_NE(installed.find(L"\\Framelot\\framelot.ini"), std::wstring::npos);
    EXPECT_EQ(installed.find(programFiles), std::wstring::npos);
    EXPECT_TRUE(InSystemLocation(programFiles));
    EXPECT_FALSE(InSystemLocation(programFiles + L" (old)\\Framelot"));
}

TEST(WindowsWindowTest, EscThroughTheAcceleratorClosesAndWritesTheSettingMenuChoicesOnlyAtClose)
{
    TempDir dir;
    const std::wstring ini = PathFromUtf8(dir / "framelot.ini").wstring();
    HWND window = CreateMainWindow(::GetModuleHandleW(nullptr), {ini});
    ASSERT_NE(window, nullptr);
    ::ShowWindow(window, SW_SHOW);
    ::PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(RunMessageLoop(window), 0);
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_NE(ReadText(dir / "framelot.ini").find("[SystemSetting]"), std::string::npos);
    EXPECT_NE(ReadText(dir / "framelot.ini").find("folder=ON"), std::string::npos);

    // Twice is where it began; once more, and the file changes only at close.
    window = CreateMainWindow(::GetModuleHandleW(nullptr), {ini});
    for (int i = 0; i < 3; ++i) ::SendMessageW(window, WM_COMMAND, IDM_MAKE_FOLDER, 0);
    EXPECT_TRUE(ReadMakeFolder(ini));
    ::SendMessageW(window, WM_COMMAND, IDM_ESCAPE, 0);
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_FALSE(ReadMakeFolder(ini));
    MSG quit;
    ::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
}

TEST(WindowsWindowTest, CloseDuringADropAsksAndAYesEndsItAfterTheCurrentFile)
{
    TempDir dir;
    std::mutex mutex;
    std::condition_variable changed;
    bool release = false;
    std::vector<std::string> started;
    MainWindowOptions options{PathFromUtf8(dir / "framelot.ini").wstring()};
    options.Convert = [&](const std::string& path, const OutputOptions&, unsigned, const ProgressFunction&) {
        std::unique_lock<std::mutex> lock(mutex);
        started.push_back(path);
        changed.notify_all();
        changed.wait(lock, [&] { return release; });
        return ConvertResult{ConvertStatus::Converted};
    };
    std::vector<bool> answers = {false, true};
    int asked = 0;
    options.AskForceExit = [&](HWND) { return answers[asked++]; };
    const HWND window = CreateMainWindow(::GetModuleHandleW(nullptr), std::move(options));
    ConvertFiles(window, {"one.gif", "two.gif"});
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return !started.empty(); });
    }
    ::SendMessageW(window, WM_CLOSE, 0, 0);  // No: the drop goes on
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(::IsWindow(window));
    ::SendMessageW(window, WM_CLOSE, 0, 0);  // Yes: the current file finishes, nothing else starts
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(::IsWindow(window));
    {
        const std::lock_guard<std::mutex> lock(mutex);
        release = true;
        changed.notify_all();
    }
    EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(window); }));
    EXPECT_EQ(started, std::vector<std::string>{"one.gif"});
    EXPECT_NE(ReadText(dir / "framelot.ini").find("folder=ON"), std::string::npos);
    MSG quit;
    ::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
}

}  // namespace
}  // namespace framelot

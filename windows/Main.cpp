// framelot.exe: the window. Files named on the command line ("Open with")
// are converted as a drop once the window is shown.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "output/WindowsText.h"
#include "windows/MainDialog.h"
#include "windows/Settings.h"

namespace {

std::vector<std::string> CommandLineFiles()
{
    std::vector<std::string> files;
    int count = 0;
    wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (arguments == nullptr) return files;
    for (int i = 1; i < count; ++i) files.push_back(framelot::Utf8FromWide(arguments[i]));
    ::LocalFree(arguments);
    return files;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);

    const HWND window = framelot::CreateMainWindow(
        instance, {framelot::ChooseSettingsPath(framelot::ProgramPath()), {}, {}});
    if (window == nullptr) return 1;
    ::ShowWindow(window, SW_SHOW);
    framelot::ConvertFiles(window, CommandLineFiles());
    return framelot::RunMessageLoop(window);
}

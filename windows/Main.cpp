// framelot.exe: the window. Files named on the command line ("Open with")
// are converted as a drop once the window is shown.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <string>
#include <utility>
#include <vector>

#include "output/files/WindowsText.h"
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
    // The file dialog and the shell's calls want a single-threaded apartment.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);

    framelot::MainWindowOptions options;
    options.SettingsPath = framelot::ChooseSettingsPath(framelot::ProgramPath());
    // Without COM the file dialog and the file manager cannot be reached; the
    // window still converts drops, with "Open files..." greyed.
    options.ShellAvailable = SUCCEEDED(com);
    const HWND window = framelot::CreateMainWindow(instance, std::move(options));
    int code = 1;
    if (window != nullptr) {
        ::ShowWindow(window, SW_SHOW);
        framelot::ConvertFiles(window, CommandLineFiles());
        code = framelot::RunMessageLoop(window);
    }
    if (SUCCEEDED(com)) ::CoUninitialize();
    return code;
}

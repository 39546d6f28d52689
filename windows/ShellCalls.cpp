#include "windows/ShellCalls.h"

#include <shellapi.h>
#include <shobjidl.h>

#include <iterator>

#include "convert/SourceFormats.h"
#include "output/WindowsText.h"

namespace framelot {
namespace {

// Releases a COM object when it goes out of scope.
template <typename T>
struct Held {
    T* Object = nullptr;
    ~Held()
    {
        if (Object != nullptr) Object->Release();
    }
    T* operator->() const { return Object; }
};

}  // namespace

std::vector<std::string> ChooseAnimationFiles(HWND owner)
{
    std::vector<std::string> files;
    Held<IFileOpenDialog> dialog;
    if (FAILED(::CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dialog.Object)))) {
        return files;
    }
    const std::wstring patterns = WideFromUtf8(ExtensionPatterns(";"));
    const COMDLG_FILTERSPEC filters[] = {{L"Animations", patterns.c_str()}, {L"All files", L"*.*"}};
    dialog->SetFileTypes(static_cast<UINT>(std::size(filters)), filters);
    dialog->SetTitle(L"Open files");
    FILEOPENDIALOGOPTIONS flags = 0;
    dialog->GetOptions(&flags);
    dialog->SetOptions(flags | FOS_ALLOWMULTISELECT | FOS_FILEMUSTEXIST | FOS_FORCEFILESYSTEM);
    Held<IShellItemArray> chosen;
    if (FAILED(dialog->Show(owner)) || FAILED(dialog->GetResults(&chosen.Object))) return files;
    DWORD count = 0;
    chosen->GetCount(&count);
    for (DWORD i = 0; i < count; ++i) {
        Held<IShellItem> item;
        if (FAILED(chosen->GetItemAt(i, &item.Object))) continue;
        PWSTR path = nullptr;
        if (SUCCEEDED(item->GetDisplayName(SIGDN_FILESYSPATH, &path))) {
            files.push_back(Utf8FromWide(path));
            ::CoTaskMemFree(path);
        }
    }
    return files;
}

void ShowFolderInFileManager(HWND owner, const std::string& folder)
{
    ::ShellExecuteW(owner, L"open", WideFromUtf8(folder).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace framelot

#include "windows/ShellCalls.h"

#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <iterator>

#include "convert/SourceFormats.h"
#include "output/files/WindowsText.h"

namespace framelot {
namespace {

// ShellExecuteW returns a value above this when it started what it was given.
constexpr INT_PTR ShellExecuteRan = 32;

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

bool ShowFolderInFileManager(HWND owner, const std::string& folder)
{
    std::wstring path = WideFromUtf8(folder);
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return false;
    if (path.back() != L'\\' && path.back() != L'/') path += L'\\';
    // The folder's own item list: the shell opens that item, a folder, and
    // resolves no name.
    PIDLIST_ABSOLUTE item = ::ILCreateFromPathW(path.c_str());
    if (item != nullptr) {
        const HRESULT opened = ::SHOpenFolderAndSelectItems(item, 0, nullptr, 0);
        ::ILFree(item);
        if (SUCCEEDED(opened)) return true;
    }
    // The folder verb on the verified folder, named with its final separator.
    const auto result = reinterpret_cast<INT_PTR>(
        ::ShellExecuteW(owner, L"explore", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > ShellExecuteRan;
}

}  // namespace framelot

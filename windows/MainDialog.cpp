#include "windows/MainDialog.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>

#include "convert/DropState.h"
#include "output/files/WindowsText.h"
#include "windows/DropFiles.h"
#include "windows/Resources.h"
#include "windows/Settings.h"
#include "windows/ShellCalls.h"

namespace framelot {
namespace {

// The runner's events, posted to the window.
enum RunnerMessage : UINT {
    DropStartedMessage = WM_APP + 1,  // wParam: files in the drop
    ProgressMessage,                  // wParam: steps done
    DropDoneMessage,                  // a report waits in WindowState::Reports
    IdleMessage,                      // wParam: 1 when the drop was aborted
};

constexpr UINT ToolId = 1;
constexpr int ToolTipWidth = 600;  // pixels before a tooltip line wraps
constexpr RECT ProgressUnits = {7, 46, 7 + 61, 46 + 4};  // dialog units, below the result text

struct FinishedDrop {
    std::wstring ResultText;
    std::wstring OutcomeText;
    std::string FramesFolder;
};

struct WindowState {
    MainWindowOptions Options;
    HMENU Menu = nullptr;
    HMENU Popup = nullptr;
    HICON BigIcon = nullptr, SmallIcon = nullptr;  // the window's, destroyed with it
    HWND Progress = nullptr;
    HWND ToolTip = nullptr;
    std::wstring ToolTipText;
    std::string FramesFolder;  // the last converted file's frames; empty until a drop converts one
    std::atomic<bool> MakeFolder{true};  // read by the runner at the start of each file
    std::atomic<std::uint64_t> ShownStep{0};  // the bar's step last posted, on the runner's thread
    DropState Drops;
    std::mutex ReportsMutex;
    std::deque<FinishedDrop> Reports;  // filled on the runner's thread, emptied on the window's
    std::unique_ptr<BatchRunner> Runner;
};

WindowState* StateOf(HWND window)
{
    return reinterpret_cast<WindowState*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

bool AskForceExit(HWND window)
{
    return ::MessageBoxW(window, L"Now processing...\nForce exit?", L"Framelot", MB_YESNO) == IDYES;
}

void ShowMakeFolder(const WindowState& state)
{
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_STATE;
    item.fState = state.MakeFolder ? MFS_CHECKED : 0;
    ::SetMenuItemInfoW(state.Popup, IDM_MAKE_FOLDER, FALSE, &item);
}

void StartRunner(HWND window, WindowState& state)
{
    BatchEvents events;
    events.DropStarted = [window, &state](std::size_t files) {
        state.ShownStep = 0;
        ::PostMessageW(window, DropStartedMessage, files, 0);
    };
    events.Progress = [window, &state](const DropProgress& p) {
        if (p.Steps == state.ShownStep) return;  // one message a step at most
        state.ShownStep = p.Steps;
        ::PostMessageW(window, ProgressMessage, static_cast<WPARAM>(p.Steps), 0);
    };
    events.DropDone = [window, &state](const DropReport& report) {
        {
            const std::lock_guard<std::mutex> lock(state.ReportsMutex);
            state.Reports.push_back(
                {WideFromUtf8(report.ResultText), WideFromUtf8(report.OutcomeText), report.FramesFolder});
        }
        ::PostMessageW(window, DropDoneMessage, 0, 0);
    };
    events.Idle = [window](bool aborted) { ::PostMessageW(window, IdleMessage, aborted ? 1 : 0, 0); };
    BatchSettings settings{1, [&state] { return state.MakeFolder.load(); }, state.Options.Convert};
    settings.OpenFolders = true;
    state.Runner = std::make_unique<BatchRunner>(std::move(settings), std::move(events));
}

// The progress bar below the result text, and the result text's tooltip.
void AddControls(HWND window, WindowState& state)
{
    const HINSTANCE instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(window, GWLP_HINSTANCE));
    RECT bar = ProgressUnits;
    ::MapDialogRect(window, &bar);
    state.Progress = ::CreateWindowExW(0, PROGRESS_CLASSW, nullptr, WS_CHILD, bar.left, bar.top, bar.right - bar.left,
                                       bar.bottom - bar.top, window, nullptr, instance, nullptr);

    state.ToolTip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr,
                                      instance, nullptr);
    // The text takes no mouse input, so the tool is its rectangle on the window.
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = window;
    tool.uId = ToolId;
    tool.lpszText = const_cast<wchar_t*>(L"");
    const HWND text = ::GetDlgItem(window, IDC_RESULT);
    ::GetWindowRect(text, &tool.rect);
    ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&tool.rect), 2);
    ::SendMessageW(state.ToolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    ::SendMessageW(state.ToolTip, TTM_SETMAXTIPWIDTH, 0, ToolTipWidth);
}

void SetToolTip(HWND window, WindowState& state, std::wstring text)
{
    state.ToolTipText = std::move(text);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = window;
    tool.uId = ToolId;
    tool.lpszText = state.ToolTipText.data();
    ::SendMessageW(state.ToolTip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

// Everything but Submit, which needs the files, and the answer to the
// question, which Close waits for.
void Apply(HWND window, WindowState& state, const DropActions& actions)
{
    if (actions.ShowBusy) {
        ::SendMessageW(state.Progress, PBM_SETPOS, 0, 0);
        ::ShowWindow(state.Progress, SW_SHOW);
    }
    if (actions.ShowIdle) ::ShowWindow(state.Progress, SW_HIDE);
    if (actions.Abort) state.Runner->RequestAbort();
    if (actions.Close) ::SendMessageW(window, WM_CLOSE, 0, 0);
}

INT_PTR Close(HWND window, WindowState& state)
{
    DropActions actions = OnCloseAsked(state.Drops);
    if (actions.AskForceExit) {
        // The message box runs a loop of its own: drops may end meanwhile, and
        // the answer is weighed against the state when it returns.
        actions = OnAnswered(state.Drops, state.Options.AskForceExit(window));
        if (actions.Abort) state.Runner->RequestAbort();
    }
    if (!actions.Close) return TRUE;
    if (!WriteMakeFolder(state.Options.SettingsPath, state.MakeFolder)) {
        const std::wstring text = L"Framelot could not save its setting to " + state.Options.SettingsPath + L".";
        ::MessageBoxW(window, text.c_str(), L"Framelot", MB_OK | MB_ICONWARNING);
    }
    ::DestroyWindow(window);
    return TRUE;
}

// The popup at a point of the screen.
void ShowPopup(HWND window, const WindowState& state, POINT at)
{
    ::TrackPopupMenu(state.Popup, 0, at.x, at.y, 0, window, nullptr);
}

void ShowFrames(HWND window, WindowState& state)
{
    if (state.FramesFolder.empty()) return;
    const DWORD attributes = ::GetFileAttributesW(WideFromUtf8(state.FramesFolder).c_str());
    const bool there = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (there && state.Options.ShowFolder(window, state.FramesFolder)) return;
    const std::wstring why = there ? L"cannot open the frames folder: " : L"the frames folder is gone: ";
    SetToolTip(window, state, why + WideFromUtf8(state.FramesFolder));
}

INT_PTR OnRunnerMessage(HWND window, WindowState& state, UINT message, WPARAM wParam)
{
    switch (message) {
    case DropStartedMessage:
        ::SendMessageW(state.Progress, PBM_SETRANGE32, 0, static_cast<LPARAM>(wParam * ProgressStepsPerFile));
        ::SendMessageW(state.Progress, PBM_SETPOS, 0, 0);
        return TRUE;
    case ProgressMessage:
        ::SendMessageW(state.Progress, PBM_SETPOS, wParam, 0);
        return TRUE;
    case DropDoneMessage: {
        FinishedDrop done;
        {
            const std::lock_guard<std::mutex> lock(state.ReportsMutex);
            if (state.Reports.empty()) return TRUE;
            done = std::move(state.Reports.front());
            state.Reports.pop_front();
        }
        if (!OnDropDone(state.Drops).ShowResult) return TRUE;
        const LPARAM top = ::SendMessageW(state.Progress, PBM_GETRANGE, FALSE, 0);
        ::SendMessageW(state.Progress, PBM_SETPOS, static_cast<WPARAM>(top), 0);
        ::SetDlgItemTextW(window, IDC_RESULT, done.ResultText.c_str());
        SetToolTip(window, state, std::move(done.OutcomeText));
        if (!done.FramesFolder.empty()) {
            if (state.FramesFolder.empty()) ::AppendMenuW(state.Popup, MF_STRING, IDM_SHOW_FRAMES, L"Show frames");
            state.FramesFolder = std::move(done.FramesFolder);
        }
        return TRUE;
    }
    case IdleMessage:
        Apply(window, state, OnIdle(state.Drops, wParam != 0));
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR OnInitDialog(HWND window, LPARAM lParam)
{
    auto* state = reinterpret_cast<WindowState*>(lParam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, lParam);
    ::DragAcceptFiles(window, TRUE);
    const HINSTANCE instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(window, GWLP_HINSTANCE));
    state->Menu = ::LoadMenuW(instance, MAKEINTRESOURCEW(IDR_POPUP));
    state->Popup = ::GetSubMenu(state->Menu, 0);
    state->MakeFolder = ReadMakeFolder(state->Options.SettingsPath);
    ShowMakeFolder(*state);
    if (!state->Options.ShellAvailable) ::EnableMenuItem(state->Popup, IDM_OPEN_FILES, MF_BYCOMMAND | MF_GRAYED);
    AddControls(window, *state);
    StartRunner(window, *state);
    return FALSE;  // the focus is not set
}

void ToggleMakeFolder(WindowState& state)
{
    state.MakeFolder = !state.MakeFolder;
    ShowMakeFolder(state);
}

// Esc, the menu's items.
INT_PTR OnCommand(HWND window, WindowState& state, WORD command)
{
    switch (command) {
    case IDM_ESCAPE: ::SendMessageW(window, WM_CLOSE, 0, 0); return TRUE;
    case IDM_MAKE_FOLDER: ToggleMakeFolder(state); return TRUE;
    case IDM_OPEN_FILES: ConvertFiles(window, state.Options.ChooseFiles(window)); return TRUE;
    case IDM_SHOW_FRAMES: ShowFrames(window, state); return TRUE;
    default: return FALSE;
    }
}

// A right click opens the menu where it was made.
INT_PTR OnRightButtonUp(HWND window, const WindowState& state, LPARAM lParam)
{
    // Signed: a monitor left of or above the main one has negative points.
    POINT at = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ::ClientToScreen(window, &at);
    ShowPopup(window, state, at);
    return TRUE;
}

// The menu key and Shift+F10 send (-1, -1): the popup opens at the window's
// middle. A right click already opened it on WM_RBUTTONUP.
INT_PTR OnContextMenu(HWND window, const WindowState& state, LPARAM lParam)
{
    if (lParam != static_cast<LPARAM>(-1) && GET_X_LPARAM(lParam) != -1) return FALSE;
    RECT client{};
    ::GetClientRect(window, &client);
    POINT at = {(client.right - client.left) / 2, (client.bottom - client.top) / 2};
    ::ClientToScreen(window, &at);
    ShowPopup(window, state, at);
    return TRUE;
}

INT_PTR OnDropFiles(HWND window, WPARAM wParam)
{
    const HDROP drop = reinterpret_cast<HDROP>(wParam);
    std::vector<std::string> files = DroppedFiles(drop);
    ::DragFinish(drop);
    ConvertFiles(window, std::move(files));
    return TRUE;
}

// Working, and still answering: the busy arrow while a drop is converted.
INT_PTR OnSetCursor(HWND window, const WindowState& state)
{
    if (!state.Drops.Processing) return FALSE;
    ::SetCursor(::LoadCursorW(nullptr, IDC_APPSTARTING));
    ::SetWindowLongPtrW(window, DWLP_MSGRESULT, TRUE);
    return TRUE;
}

INT_PTR OnDestroy(WindowState& state)
{
    state.Runner.reset();  // idle by now, or aborted with its last file done
    ::DestroyMenu(state.Menu);
    if (state.BigIcon != nullptr) ::DestroyIcon(state.BigIcon);
    if (state.SmallIcon != nullptr) ::DestroyIcon(state.SmallIcon);
    ::PostQuitMessage(0);
    return TRUE;
}

INT_PTR OnNcDestroy(HWND window, WindowState* state)
{
    ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    delete state;
    return TRUE;
}

// One line a message: what each one does is in the function it names.
INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) return OnInitDialog(window, lParam);
    WindowState* state = StateOf(window);
    if (state == nullptr) return FALSE;
    switch (message) {
    case WM_CLOSE: return Close(window, *state);
    case WM_COMMAND: return OnCommand(window, *state, LOWORD(wParam));
    case WM_RBUTTONUP: return OnRightButtonUp(window, *state, lParam);
    case WM_CONTEXTMENU: return OnContextMenu(window, *state, lParam);
    case WM_DROPFILES: return OnDropFiles(window, wParam);
    case WM_SETCURSOR: return OnSetCursor(window, *state);
    case WM_DESTROY: return OnDestroy(*state);
    case WM_NCDESTROY: return OnNcDestroy(window, state);
    default: return OnRunnerMessage(window, *state, message, wParam);
    }
}

}  // namespace

HWND CreateMainWindow(HINSTANCE instance, MainWindowOptions options)
{
    auto state = std::make_unique<WindowState>();
    state->Options = std::move(options);
    if (!state->Options.AskForceExit) state->Options.AskForceExit = AskForceExit;
    if (!state->Options.ChooseFiles) state->Options.ChooseFiles = ChooseAnimationFiles;
    if (!state->Options.ShowFolder) state->Options.ShowFolder = ShowFolderInFileManager;
    const HWND window = ::CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, MainDialogProc,
                                             reinterpret_cast<LPARAM>(state.get()));
    if (window == nullptr) return nullptr;
    state.release();  // the window owns it now, until WM_NCDESTROY
    ::SetWindowTextW(window, L"Framelot");
    const auto icon = [instance](int id, int size) {
        return static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_LOADTRANSPARENT));
    };
    WindowState* owned = StateOf(window);
    owned->BigIcon = icon(IDI_APP, ::GetSystemMetrics(SM_CXICON));
    owned->SmallIcon = icon(IDI_APP_SMALL, ::GetSystemMetrics(SM_CXSMICON));
    ::SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(owned->BigIcon));
    ::SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(owned->SmallIcon));
    return window;
}

void ConvertFiles(HWND window, std::vector<std::string> files)
{
    WindowState* state = StateOf(window);
    if (state == nullptr) return;
    const DropActions actions = OnSubmitted(state->Drops, !files.empty());
    Apply(window, *state, actions);
    if (actions.Submit) state->Runner->Submit(std::move(files));
}

int RunMessageLoop(HWND window)
{
    ACCEL escape = {FVIRTKEY, VK_ESCAPE, IDM_ESCAPE};
    const HACCEL accelerators = ::CreateAcceleratorTableW(&escape, 1);
    MSG message;
    int code = 0;
    for (;;) {
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            code = static_cast<int>(message.wParam);
            break;
        }
        if (got == -1) break;
        if (::IsWindow(window) && ::TranslateAcceleratorW(window, accelerators, &message)) continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    ::DestroyAcceleratorTable(accelerators);
    return code;
}

}  // namespace framelot

// Message boxes, panel repaints and busy work on Win32; the dialogs have files of their own.
#include "win32/WindowServices.h"

#include "app/Texts.h"
#include "platform/BusyWorker.h"
#include "win32/Text.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <thread>
#include <vector>

namespace tesselbox::win32 {

platform::Answer WindowServices::ShowMessage(const std::string& text, platform::MessageKind kind) {
    const std::wstring wideText = Widen(text);
    const std::wstring caption = Widen(texts::APP_NAME);
    const UINT style = kind == platform::MessageKind::Question ? MB_ICONQUESTION | MB_YESNO
                                                               : MB_ICONERROR | MB_OK;
    const int answer = MessageBoxW(DialogOwner(), wideText.c_str(), caption.c_str(), style);
    if (kind == platform::MessageKind::Error) return platform::Answer::Ok;
    return answer == IDYES ? platform::Answer::Yes : platform::Answer::No;  // a failed box counts as a refusal
}

void WindowServices::RunBusy(const std::function<void()>& work) {
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::exception_ptr failure;
    std::thread worker;
    if (done != nullptr) worker = platform::StartBusyWorker(work, failure, [done] { SetEvent(done); });
    if (!worker.joinable()) {
        if (done != nullptr) CloseHandle(done);
        work();
        return;
    }
    // The window keeps painting but takes no input, and shows the wait cursor, until the work
    // is done; a quit message that comes meanwhile is posted again afterwards.
    HWND window = owner_;
    const bool enabled = window != nullptr && !EnableWindow(window, FALSE);
    busy_ = true;
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    std::optional<int> quitCode;
    for (;;) {
        const DWORD woken = MsgWaitForMultipleObjects(1, &done, FALSE, INFINITE, QS_ALLINPUT);
        if (woken != WAIT_OBJECT_0 + 1) break;  // done, or waiting failed: join below
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quitCode = static_cast<int>(message.wParam);
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    worker.join();
    CloseHandle(done);
    busy_ = false;
    if (enabled) EnableWindow(window, TRUE);
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    if (quitCode) PostQuitMessage(*quitCode);
    if (failure) std::rethrow_exception(failure);
}

namespace {

struct DialogStart {
    DLGPROC procedure;
    void* parameter;
    HWND* open;
    int width, height;
};

// Sizes the dialog, makes it the owner of what it shows, and hands over to its own procedure.
INT_PTR CALLBACK StartDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_INITDIALOG) return FALSE;
    const auto* start = reinterpret_cast<const DialogStart*>(lParam);
    *start->open = dialog;
    // Of that size, centred over its owner (the template's size is none).
    RECT outer{0, 0, start->width, start->height};
    AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongW(dialog, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(dialog, GWL_EXSTYLE)));
    RECT over{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (HWND owner = GetWindow(dialog, GW_OWNER)) GetWindowRect(owner, &over);
    const LONG width = outer.right - outer.left;
    const LONG height = outer.bottom - outer.top;
    SetWindowPos(dialog, nullptr, static_cast<int>(std::max(LONG{0}, (over.left + over.right - width) / 2)),
                 static_cast<int>(std::max(LONG{0}, (over.top + over.bottom - height) / 2)), static_cast<int>(width),
                 static_cast<int>(height), SWP_NOZORDER);
    SetWindowLongPtrW(dialog, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(start->procedure));
    return start->procedure(dialog, message, wParam, reinterpret_cast<LPARAM>(start->parameter));
}

}  // namespace

INT_PTR WindowServices::RunDialog(const char* title, int width, int height, DLGPROC procedure, void* parameter) {
    // A template of no controls: style, no menu, the default class and the title. The controls
    // the procedure makes take the GUI font, as the main window's do.
    const std::wstring caption = Widen(title);
    std::vector<WORD> words(sizeof(DLGTEMPLATE) / sizeof(WORD), 0);
    auto* header = reinterpret_cast<DLGTEMPLATE*>(words.data());
    header->style = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    words.push_back(0);  // menu
    words.push_back(0);  // class
    words.insert(words.end(), caption.begin(), caption.end());
    words.push_back(0);

    const HWND outer = dialog_;
    DialogStart start{procedure, parameter, &dialog_, width, height};
    const INT_PTR result = DialogBoxIndirectParamW(GetModuleHandleW(nullptr),
                                                   reinterpret_cast<const DLGTEMPLATE*>(words.data()),
                                                   DialogOwner(), StartDialog, reinterpret_cast<LPARAM>(&start));
    dialog_ = outer;
    return result;
}

void WindowServices::InvalidatePanel(int controlId) {
    // A null window would invalidate every window on the desktop.
    if (owner_ == nullptr) return;
    HWND panel = GetDlgItem(owner_, controlId);
    if (panel != nullptr) InvalidateRect(panel, nullptr, TRUE);
}

}  // namespace tesselbox::win32

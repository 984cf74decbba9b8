// The window services on Win32, owned by the main window: their boxes and dialogs belong to it
// once its creation call has returned (a box shown while it is being created has no owner).
#pragma once

#include "platform/WindowServices.h"

#include <windows.h>

namespace tesselbox::win32 {

// The controls of the window's own dialogs, besides IDOK and IDCANCEL.
inline constexpr int IDC_BLOCK_TABLE = 1001;
inline constexpr int IDC_BLOCK_LIST = 1002;
inline constexpr int IDC_BLOCK_COUNT = 1003;
inline constexpr int IDC_SAVE_COLOR_TABLE = 1004;
inline constexpr int IDC_QUICK_CHOICE = 1010;  // the first of them
inline constexpr int IDC_MATERIAL_LIST = 1101;
inline constexpr int IDC_MATERIAL_SUMMARY = 1102;
inline constexpr int IDC_SAVE_CSV = 1103;

class WindowServices final : public platform::WindowServices {
public:
    platform::Answer ShowMessage(const std::string& text, platform::MessageKind kind) override;
    void InvalidatePanel(int controlId) override;
    void RunBusy(const std::function<void()>& work) override;
    bool RunBlockDialog(platform::BlockDialogModel& model) override;
    void ShowMaterials(const platform::MaterialsList& list, const std::function<void()>& saveCsv) override;

    void SetOwner(HWND window) { owner_ = window; }
    // While RunBusy waits for its work, which writes into the window's state.
    bool Busy() const { return busy_; }

private:
    // The owner of a box or dialog: the innermost dialog of ours that is open, else the window.
    HWND DialogOwner() const { return dialog_ != nullptr ? dialog_ : owner_; }
    // A modal dialog of width × height pixels with no controls, which procedure creates on
    // WM_INITDIALOG (its lParam is parameter); the dialog owns the boxes shown meanwhile.
    INT_PTR RunDialog(const char* title, int width, int height, DLGPROC procedure, void* parameter);

    std::optional<std::filesystem::path> ChooseFile(bool save, platform::FileDialogRecord& record,
                                                    std::span<const platform::FileFilter> filters,
                                                    const char* defaultExtension) override;

    HWND owner_ = nullptr;
    HWND dialog_ = nullptr;
    bool busy_ = false;
};

}  // namespace tesselbox::win32

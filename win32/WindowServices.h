// The window services on Win32, owned by the main window: their boxes and dialogs belong to it
// once its creation call has returned (a box shown while it is being created has no owner).
#pragma once

#include "platform/WindowServices.h"

#include <windows.h>

namespace tesselbox::win32 {

class WindowServices final : public platform::WindowServices {
public:
    platform::Answer ShowMessage(const std::string& text, platform::MessageKind kind) override;
    std::optional<std::filesystem::path> ChooseOpenFile(platform::FileDialogRecord& record,
                                                        std::span<const platform::FileFilter> filters,
                                                        const char* defaultExtension) override;
    std::optional<std::filesystem::path> ChooseSaveFile(platform::FileDialogRecord& record,
                                                        std::span<const platform::FileFilter> filters,
                                                        const char* defaultExtension) override;
    void InvalidatePanel(int controlId) override;
    void RunBusy(const std::function<void()>& work) override;

    void SetOwner(HWND window) { owner_ = window; }
    HWND Owner() const { return owner_; }
    // While RunBusy waits for its work, which writes into the window's state.
    bool Busy() const { return busy_; }

private:
    std::optional<std::filesystem::path> ChooseFile(bool save, platform::FileDialogRecord& record,
                                                    std::span<const platform::FileFilter> filters,
                                                    const char* defaultExtension);

    HWND owner_ = nullptr;
    bool busy_ = false;
};

}  // namespace tesselbox::win32

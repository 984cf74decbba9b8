// The window services on Qt, owned by the main window: their boxes and dialogs belong to it once it
// has started, and their panels are its panels.
#pragma once

#include "platform/WindowServices.h"

class QDialog;
class QWidget;

namespace tesselbox::qt {

class MainWindow;

// How long work under RunBusy goes on before the busy bar shows.
inline constexpr int BUSY_INDICATOR_DELAY_MS = 250;

class WindowServices final : public platform::WindowServices {
public:
    explicit WindowServices(MainWindow& window) : window_(window) {}

    platform::Answer ShowMessage(const std::string& text, platform::MessageKind kind) override;
    void InvalidatePanel(int controlId) override;
    void RunBusy(const std::function<void()>& work) override;
    bool RunBlockDialog(platform::BlockDialogModel& model) override;
    void ShowMaterials(const platform::MaterialsList& list, const std::function<void()>& saveCsv) override;

    // The owner of boxes and dialogs: the window once it has started, none before.
    QWidget* DialogOwner() const;
    // Runs a modal dialog of a command, telling the window before and after the outermost one
    // (its busy cursor).
    int Exec(QDialog& dialog);

private:
    std::optional<std::filesystem::path> ChooseFile(bool save, platform::FileDialogRecord& record,
                                                    std::span<const platform::FileFilter> filters,
                                                    const char* defaultExtension) override;

    MainWindow& window_;
    int dialogsOpen_ = 0;
};

}  // namespace tesselbox::qt

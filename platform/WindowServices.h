// What the window's commands need of the platform: message boxes, file dialogs, panel painting,
// busy work and the window's own dialogs. An interface: each platform (qt/, win32/) implements it
// and its window owns one, which it hands to the commands; tests hand them a fake. No toolkit
// shows here. All text is UTF-8.
#pragma once

#include "platform/PictureServices.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tesselbox::platform {

enum class MessageKind { Error, Question };  // error: icon and OK; question: icon, Yes and No
enum class Answer { Ok, Yes, No };

struct FileFilter {
    const char* text;     // shown in the file type box, "图片文件(*.jpg;*.png;*.bmp)"
    const char* pattern;  // "*.jpg;*.png;*.bmp"
};

// The one record the open and the save dialog share. filterIndex is the number (from 1) of the
// filter shown when the last dialog ended with a chosen file, 0 before; it carries over.
struct FileDialogRecord {
    bool prepared = false;
    std::uint32_t filterIndex = 0;
};

// A panel's drawing target during one paint, origin at its top-left corner.
class PanelCanvas {
public:
    virtual ~PanelCanvas() = default;
    virtual void FillWhite(int width, int height) = 0;
    // Blends source (sourceWidth × sourceHeight) over the panel at (0, 0), scaled to destination
    // size, as premultiplied source-over with per-pixel alpha.
    virtual void BlendSurface(const SurfaceMemory& source, std::uint32_t sourceWidth, std::uint32_t sourceHeight,
                              std::uint32_t destinationWidth, std::uint32_t destinationHeight) = 0;
    // A one-pixel black line along the inside of (0, 0, width, height).
    virtual void FrameBlack(int width, int height) = 0;

protected:
    PanelCanvas() = default;
    PanelCanvas(const PanelCanvas&) = default;
    PanelCanvas& operator=(const PanelCanvas&) = default;
};

// One check box of the blocks dialog.
struct BlockRow {
    std::string text;
    bool checked = false;
    bool enabled = true;  // false while a quick choice leaves the block out: shown unchecked
};

struct BlockGroup {
    std::string family;
    std::vector<BlockRow> rows;
};

struct QuickChoice {
    const char* text;
    bool on;
};

// The blocks dialog as the platform draws it. The state is app/'s; after each call that changes
// something the platform shows again what the getters return (a new table: a new list).
class BlockDialogModel {
public:
    virtual ~BlockDialogModel() = default;
    virtual std::span<const std::string> TableChoices() const = 0;
    virtual std::size_t TableChoice() const = 0;
    virtual void ChooseTable(std::size_t index) = 0;
    virtual std::span<const BlockGroup> Groups() const = 0;
    virtual void CheckBlock(std::size_t group, std::size_t row, bool checked) = 0;
    virtual std::span<const QuickChoice> QuickChoices() const = 0;
    virtual void SetQuickChoice(std::size_t index, bool on) = 0;
    virtual std::string CountText() const = 0;
    virtual bool CanAccept() const = 0;  // OK is enabled only while some block is chosen
    // "另存为颜色表…": runs its own dialogs and boxes through the window services.
    virtual void SaveAsColorTable() = 0;

protected:
    BlockDialogModel() = default;
    BlockDialogModel(const BlockDialogModel&) = default;
    BlockDialogModel& operator=(const BlockDialogModel&) = default;
};

// The material list as a table of texts.
struct MaterialsList {
    std::vector<std::string> headings;
    std::vector<std::vector<std::string>> rows;  // as many texts as headings
    std::string summary;
};

class WindowServices {
public:
    virtual ~WindowServices() = default;

    // A modal box with the caption "Tesselbox", owned by the main window once it exists.
    virtual Answer ShowMessage(const std::string& text, MessageKind kind) = 0;

    // Each dialog opens with an empty file name and appends to a typed name that has no extension
    // the one of the filter shown (a filter of one "*.ext" pattern), or else defaultExtension.
    // Open: only an existing file. Save: asks before replacing one. nullopt on cancel or failure.
    std::optional<std::filesystem::path> ChooseOpenFile(FileDialogRecord& record, std::span<const FileFilter> filters,
                                                        const char* defaultExtension) {
        return ChooseFile(false, record, filters, defaultExtension);
    }
    std::optional<std::filesystem::path> ChooseSaveFile(FileDialogRecord& record, std::span<const FileFilter> filters,
                                                        const char* defaultExtension) {
        return ChooseFile(true, record, filters, defaultExtension);
    }

    // Asks the panel with that control identifier to repaint later.
    virtual void InvalidatePanel(int controlId) = 0;

    // Runs work on a second thread while the window goes on painting, takes no input, cannot be
    // closed and shows that it is busy; returns once work has, passing on what it threw. For work
    // that may take a noticeable time.
    virtual void RunBusy(const std::function<void()>& work) = 0;

    // The blocks dialog, modal; true for OK, false for Cancel or closing it.
    virtual bool RunBlockDialog(BlockDialogModel& model) = 0;
    // The material list, modal, with a button that calls saveCsv.
    virtual void ShowMaterials(const MaterialsList& list, const std::function<void()>& saveCsv) = 0;

protected:
    // Both file dialogs: the save dialog when save is true.
    virtual std::optional<std::filesystem::path> ChooseFile(bool save, FileDialogRecord& record,
                                                            std::span<const FileFilter> filters,
                                                            const char* defaultExtension) = 0;

    WindowServices() = default;
    WindowServices(const WindowServices&) = default;
    WindowServices& operator=(const WindowServices&) = default;
};

}  // namespace tesselbox::platform

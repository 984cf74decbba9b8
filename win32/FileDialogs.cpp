// The open and save dialogs on the one OPENFILENAMEW record they share. Only the filter index
// carries over from dialog to dialog; everything else is set again by each call.
#include "win32/Win32Platform.h"

#include <commdlg.h>

#include <array>
#include <span>

namespace tesselbox::win32 {
namespace {

OPENFILENAMEW dialogRecord{};

// "text\0pattern\0...\0\0", the form lpstrFilter expects.
std::wstring FilterList(std::span<const platform::FileFilter> filters) {
    std::wstring list;
    for (const platform::FileFilter& filter : filters) {
        list += Widen(filter.text);
        list.push_back(L'\0');
        list += Widen(filter.pattern);
        list.push_back(L'\0');
    }
    list.push_back(L'\0');  // the empty string that ends the list
    return list;
}

}  // namespace

void PrepareFileDialog(HWND owner, HINSTANCE instance) {
    dialogRecord = OPENFILENAMEW{};
    dialogRecord.lStructSize = sizeof(OPENFILENAMEW);
    dialogRecord.hwndOwner = owner;
    dialogRecord.hInstance = instance;
    dialogRecord.nMaxFile = MAX_PATH;
}

}  // namespace tesselbox::win32

namespace tesselbox::platform {
namespace {

std::optional<std::filesystem::path> Choose(bool save, FileDialogRecord& record,
                                            std::span<const FileFilter> filters,
                                            const char* defaultExtension) {
    OPENFILENAMEW& dialog = win32::dialogRecord;
    if (!record.prepared || dialog.lStructSize == 0) return std::nullopt;

    std::array<wchar_t, MAX_PATH> file{};  // empty: every dialog opens with no name
    const std::wstring filterList = win32::FilterList(filters);
    const std::wstring extension = win32::Widen(defaultExtension);
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrFilter = filterList.c_str();
    dialog.lpstrDefExt = extension.c_str();
    dialog.nFilterIndex = record.filterIndex;
    dialog.Flags = save ? OFN_OVERWRITEPROMPT
                        : OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;

    const BOOL chosen = save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
    // Nothing of this call's storage may be used after it returns.
    dialog.lpstrFile = nullptr;
    dialog.lpstrFilter = nullptr;
    dialog.lpstrDefExt = nullptr;
    if (!chosen) return std::nullopt;
    record.filterIndex = dialog.nFilterIndex;
    return std::filesystem::path(file.data());
}

}  // namespace

std::optional<std::filesystem::path> ChooseOpenFile(FileDialogRecord& record,
                                                     std::span<const FileFilter> filters,
                                                     const char* defaultExtension) {
    return Choose(false, record, filters, defaultExtension);
}

std::optional<std::filesystem::path> ChooseSaveFile(FileDialogRecord& record,
                                                     std::span<const FileFilter> filters,
                                                     const char* defaultExtension) {
    return Choose(true, record, filters, defaultExtension);
}

}  // namespace tesselbox::platform

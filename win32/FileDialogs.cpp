// The open and save dialogs. Of the record they share only the filter index carries over from
// dialog to dialog (FileDialogRecord); everything else is set again by each call.
#include "win32/Text.h"
#include "win32/WindowServices.h"

#include <commdlg.h>

#include <array>
#include <span>

namespace tesselbox::win32 {
namespace {

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

std::optional<std::filesystem::path> WindowServices::ChooseFile(bool save, platform::FileDialogRecord& record,
                                                               std::span<const platform::FileFilter> filters,
                                                               const char* defaultExtension) {
    if (!record.prepared) return std::nullopt;
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(OPENFILENAMEW);
    dialog.hwndOwner = DialogOwner();

    std::array<wchar_t, MAX_PATH> file{};  // empty: every dialog opens with no name
    const std::wstring filterList = FilterList(filters);
    const std::wstring extension = Widen(defaultExtension);
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrFilter = filterList.c_str();
    dialog.lpstrDefExt = extension.c_str();  // a plain name gets the shown filter's own, else this
    dialog.nFilterIndex = record.filterIndex;
    dialog.Flags = save ? OFN_OVERWRITEPROMPT
                        : OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;

    if (!(save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog))) return std::nullopt;
    record.filterIndex = dialog.nFilterIndex;
    return std::filesystem::path(file.data());
}

}  // namespace tesselbox::win32

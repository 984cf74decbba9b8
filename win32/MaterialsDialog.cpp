// 材料清单… on Win32: the list in a report view, its summary, and the save and close buttons.
#include "app/Texts.h"
#include "win32/MainWindow.h"
#include "win32/Text.h"
#include "win32/WindowServices.h"

#include <commctrl.h>

namespace tesselbox::win32 {
namespace {

constexpr int WIDTH = 640;
constexpr int HEIGHT = 420;
constexpr int MARGIN = 10;
constexpr int LINE = 24;

struct MaterialsDialog {
    const platform::MaterialsList& list;
    const std::function<void()>& saveCsv;

    static INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_INITDIALOG) {
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            reinterpret_cast<MaterialsDialog*>(lParam)->Create(dialog);
            return TRUE;
        }
        auto* self = reinterpret_cast<MaterialsDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
        if (self == nullptr) return FALSE;
        if (message == WM_COMMAND && LOWORD(wParam) == IDC_SAVE_CSV && HIWORD(wParam) == BN_CLICKED) {
            self->saveCsv();
            return TRUE;
        }
        if ((message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) || message == WM_CLOSE) {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    }

    void Create(HWND dialog) const {
        const int inner = WIDTH - 2 * MARGIN;
        const int listHeight = HEIGHT - 2 * MARGIN - 2 * LINE - 8;
        constexpr DWORD CHILD = WS_CHILD | WS_VISIBLE;
        HWND view = CreateChild(dialog, WC_LISTVIEWW, "", CHILD | LVS_REPORT | LVS_SINGLESEL | WS_TABSTOP,
                                {MARGIN, MARGIN, inner, listHeight}, IDC_MATERIAL_LIST, WS_EX_CLIENTEDGE);
        ListView_SetExtendedListViewStyle(view, LVS_EX_FULLROWSELECT);
        for (std::size_t c = 0; c < list.headings.size(); ++c) {
            std::wstring heading = Widen(list.headings[c]);
            LVCOLUMNW column{};
            column.mask = LVCF_TEXT | LVCF_WIDTH;
            column.pszText = heading.data();
            column.cx = c < 2 ? 150 : 60;
            ListView_InsertColumn(view, static_cast<int>(c), &column);
        }
        for (std::size_t r = 0; r < list.rows.size(); ++r) {
            for (std::size_t c = 0; c < list.rows[r].size(); ++c) {
                std::wstring text = Widen(list.rows[r][c]);
                LVITEMW item{};
                item.mask = LVIF_TEXT;
                item.iItem = static_cast<int>(r);
                item.iSubItem = static_cast<int>(c);
                item.pszText = text.data();
                if (c == 0) {
                    ListView_InsertItem(view, &item);
                } else {
                    ListView_SetItem(view, &item);
                }
            }
        }
        for (std::size_t c = 0; c < list.headings.size(); ++c) {
            ListView_SetColumnWidth(view, static_cast<int>(c), LVSCW_AUTOSIZE_USEHEADER);  // texts and headings whole
        }
        const int y = MARGIN + listHeight + 6;
        CreateChild(dialog, L"Static", list.summary.c_str(), CHILD | SS_LEFT, {MARGIN, y, inner, LINE - 4},
                    IDC_MATERIAL_SUMMARY);
        CreateChild(dialog, L"Button", texts::SAVE_AS_CSV, CHILD | BS_PUSHBUTTON | WS_TABSTOP,
                    {MARGIN, y + LINE, 110, LINE}, IDC_SAVE_CSV);
        CreateChild(dialog, L"Button", texts::CLOSE, CHILD | BS_DEFPUSHBUTTON | WS_TABSTOP,
                    {WIDTH - MARGIN - 80, y + LINE, 80, LINE}, IDCANCEL);
    }
};

}  // namespace

void WindowServices::ShowMaterials(const platform::MaterialsList& list, const std::function<void()>& saveCsv) {
    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    MaterialsDialog dialog{list, saveCsv};
    RunDialog(texts::MATERIALS_TITLE, WIDTH, HEIGHT, MaterialsDialog::Procedure, &dialog);
}

}  // namespace tesselbox::win32

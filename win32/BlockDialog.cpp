// 方块… on Win32: the table box, the blocks as a list of check boxes with a heading row per
// family, the quick choices, the count and the buttons, all set again from the model after each
// change. A block a quick choice leaves out is drawn gray and cannot be checked.
#include "app/Texts.h"
#include "win32/MainWindow.h"
#include "win32/Text.h"
#include "win32/WindowServices.h"

#include <commctrl.h>

#include <utility>
#include <vector>

namespace tesselbox::win32 {
namespace {

constexpr int WIDTH = 460;
constexpr int HEIGHT = 560;
constexpr int MARGIN = 10;
constexpr int LINE = 24;

class BlockDialog {
public:
    explicit BlockDialog(platform::BlockDialogModel& model) : model_(model) {}

    static INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_INITDIALOG) SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        auto* self = reinterpret_cast<BlockDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
        return self != nullptr ? self->Handle(dialog, message, wParam, lParam) : FALSE;
    }

private:
    HWND Control(const wchar_t* className, const char* text, DWORD style, const layout::Rect& rect, int id,
                 DWORD extendedStyle = 0) {
        return CreateChild(dialog_, className, text, WS_CHILD | WS_VISIBLE | style, rect, id, extendedStyle);
    }

    void Create() {
        const int inner = WIDTH - 2 * MARGIN;
        HWND table = Control(WC_COMBOBOXW, "", CBS_DROPDOWNLIST | WS_TABSTOP | WS_VSCROLL, {MARGIN, MARGIN, inner, 200},
                             IDC_BLOCK_TABLE);
        for (const std::string& choice : model_.TableChoices()) {
            const std::wstring text = Widen(choice);
            SendMessageW(table, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        }
        SendMessageW(table, CB_SETCURSEL, model_.TableChoice(), 0);

        const int quickCount = static_cast<int>(model_.QuickChoices().size());
        const int listTop = MARGIN + LINE + 6;
        const int listHeight = HEIGHT - listTop - MARGIN - (quickCount + 2) * LINE - 8;
        list_ = Control(WC_LISTVIEWW, "", LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | WS_TABSTOP,
                        {MARGIN, listTop, inner, listHeight}, IDC_BLOCK_LIST, WS_EX_CLIENTEDGE);
        ListView_SetExtendedListViewStyle(list_, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
        LVCOLUMNW column{};
        column.mask = LVCF_WIDTH;
        column.cx = inner - GetSystemMetrics(SM_CXVSCROLL) - 4;
        ListView_InsertColumn(list_, 0, &column);

        int y = listTop + listHeight + 6;
        for (int k = 0; k < quickCount; ++k, y += LINE) {
            Control(L"Button", model_.QuickChoices()[static_cast<std::size_t>(k)].text, BS_AUTOCHECKBOX | WS_TABSTOP,
                    {MARGIN, y, inner, LINE - 4}, IDC_QUICK_CHOICE + k);
        }
        Control(L"Static", "", SS_LEFT, {MARGIN, y + 4, inner, LINE - 4}, IDC_BLOCK_COUNT);
        y += LINE;
        Control(L"Button", texts::SAVE_AS_COLOR_TABLE, BS_PUSHBUTTON | WS_TABSTOP, {MARGIN, y, 130, LINE},
                IDC_SAVE_COLOR_TABLE);
        Control(L"Button", texts::OK, BS_DEFPUSHBUTTON | WS_TABSTOP, {WIDTH - MARGIN - 170, y, 80, LINE}, IDOK);
        Control(L"Button", texts::CANCEL, BS_PUSHBUTTON | WS_TABSTOP, {WIDTH - MARGIN - 80, y, 80, LINE}, IDCANCEL);
        Fill();
    }

    // A new list for the table shown: a heading row without a check box before each family.
    void Fill() {
        refreshing_ = true;
        ListView_DeleteAllItems(list_);
        rows_.clear();
        const auto groups = model_.Groups();
        for (std::size_t g = 0; g < groups.size(); ++g) {
            Insert(groups[g].family, {g, NO_ROW});
            for (std::size_t r = 0; r < groups[g].rows.size(); ++r) Insert("    " + groups[g].rows[r].text, {g, r});
        }
        refreshing_ = false;
        Refresh();
    }

    void Insert(const std::string& text, std::pair<std::size_t, std::size_t> at) {
        std::wstring wide = Widen(text);
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(rows_.size());
        item.pszText = wide.data();
        const int index = ListView_InsertItem(list_, &item);
        if (at.second == NO_ROW) ListView_SetItemState(list_, index, INDEXTOSTATEIMAGEMASK(0), LVIS_STATEIMAGEMASK);
        rows_.push_back(at);
    }

    // The check marks, the quick choices, the count and OK as the model has them now.
    void Refresh() {
        refreshing_ = true;
        const auto groups = model_.Groups();
        for (std::size_t i = 0; i < rows_.size(); ++i) {
            const auto [g, r] = rows_[i];
            if (r == NO_ROW) continue;
            ListView_SetCheckState(list_, static_cast<int>(i), groups[g].rows[r].checked);
        }
        const auto quick = model_.QuickChoices();
        for (std::size_t k = 0; k < quick.size(); ++k) {
            CheckDlgButton(dialog_, IDC_QUICK_CHOICE + static_cast<int>(k), quick[k].on ? BST_CHECKED : BST_UNCHECKED);
        }
        SetDlgItemTextW(dialog_, IDC_BLOCK_COUNT, Widen(model_.CountText()).c_str());
        EnableWindow(GetDlgItem(dialog_, IDOK), model_.CanAccept());
        InvalidateRect(list_, nullptr, FALSE);
        refreshing_ = false;
    }

    bool Enabled(std::size_t listRow) const {
        const auto [g, r] = rows_[listRow];
        return r == NO_ROW || model_.Groups()[g].rows[r].enabled;
    }

    INT_PTR Notify(NMHDR& header) {
        if (header.idFrom != static_cast<UINT_PTR>(IDC_BLOCK_LIST)) return FALSE;
        if (header.code == LVN_ITEMCHANGED) {
            const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
            const bool checkChanged = (change.uChanged & LVIF_STATE) != 0 &&
                                      ((change.uNewState ^ change.uOldState) & LVIS_STATEIMAGEMASK) != 0;
            const auto i = static_cast<std::size_t>(change.iItem);
            if (refreshing_ || !checkChanged || i >= rows_.size() || rows_[i].second == NO_ROW) return FALSE;
            model_.CheckBlock(rows_[i].first, rows_[i].second, ListView_GetCheckState(list_, change.iItem) != 0);
            Refresh();  // also puts back a check the model refused
            return TRUE;
        }
        if (header.code == NM_CUSTOMDRAW) {
            auto& draw = reinterpret_cast<NMLVCUSTOMDRAW&>(header);
            LRESULT result = CDRF_DODEFAULT;
            if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) result = CDRF_NOTIFYITEMDRAW;
            if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT && draw.nmcd.dwItemSpec < rows_.size() &&
                !Enabled(draw.nmcd.dwItemSpec)) {
                draw.clrText = GetSysColor(COLOR_GRAYTEXT);
            }
            SetWindowLongPtrW(dialog_, DWLP_MSGRESULT, result);
            return TRUE;
        }
        return FALSE;
    }

    INT_PTR Handle(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
            case WM_INITDIALOG:
                dialog_ = dialog;
                Create();
                return TRUE;
            case WM_NOTIFY: return Notify(*reinterpret_cast<NMHDR*>(lParam));
            case WM_COMMAND: {
                const int id = LOWORD(wParam);
                const int code = HIWORD(wParam);
                const int quick = id - IDC_QUICK_CHOICE;
                if (id == IDC_BLOCK_TABLE && code == CBN_SELCHANGE) {
                    const auto chosen = SendDlgItemMessageW(dialog, IDC_BLOCK_TABLE, CB_GETCURSEL, 0, 0);
                    if (chosen >= 0) model_.ChooseTable(static_cast<std::size_t>(chosen));
                    Fill();
                } else if (quick >= 0 && static_cast<std::size_t>(quick) < model_.QuickChoices().size() &&
                           code == BN_CLICKED) {
                    model_.SetQuickChoice(static_cast<std::size_t>(quick),
                                          IsDlgButtonChecked(dialog, id) == BST_CHECKED);
                    Refresh();
                } else if (id == IDC_SAVE_COLOR_TABLE && code == BN_CLICKED) {
                    model_.SaveAsColorTable();
                } else if ((id == IDOK && model_.CanAccept()) || id == IDCANCEL) {
                    EndDialog(dialog, id);
                }
                return TRUE;
            }
            case WM_CLOSE: EndDialog(dialog, IDCANCEL); return TRUE;
            default: return FALSE;
        }
    }

    static constexpr std::size_t NO_ROW = static_cast<std::size_t>(-1);  // a family's heading
    platform::BlockDialogModel& model_;
    HWND dialog_ = nullptr;
    HWND list_ = nullptr;
    std::vector<std::pair<std::size_t, std::size_t>> rows_;  // each list row's group and row
    bool refreshing_ = false;  // changes made here are no user's
};

}  // namespace

bool WindowServices::RunBlockDialog(platform::BlockDialogModel& model) {
    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    BlockDialog dialog(model);
    return RunDialog(texts::BLOCKS_TITLE, WIDTH, HEIGHT, BlockDialog::Procedure, &dialog) == IDOK;
}

}  // namespace tesselbox::win32

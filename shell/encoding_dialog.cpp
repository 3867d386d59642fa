// The text-encoding chooser shown after a plain-text Document was opened
// with a guessed encoding: the eleven encodings in a drop-down list, the
// guess preselected.
#include <windows.h>

#include "document/document.h"
#include "shell/features.h"
#include "shell/frame.h"
#include "shell/resource.h"

namespace {

constexpr int kEncodings = 11;

struct EncodingChoice {
    int detected;  // preselected; 0 when outside 0..10
    int chosen;    // -1: cancelled
};

INT_PTR CALLBACK encoding_proc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp)
{
    auto *choice = reinterpret_cast<EncodingChoice *>(GetWindowLongPtrA(dlg, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG: {
        choice = reinterpret_cast<EncodingChoice *>(lp);
        SetWindowLongPtrA(dlg, DWLP_USER, lp);
        HWND list = GetDlgItem(dlg, IDC_ENCODING_LIST);
        for (int i = 0; i < kEncodings; i++)
            SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(doc_text_encoding_name(i)));
        SendMessageA(list, CB_SETCURSEL, WPARAM(choice->detected), 0);
        window_center_on_owner(dlg, GetWindow(dlg, GW_OWNER));
        SetFocus(list);
        return FALSE;  // the focus is set
    }
    case WM_COMMAND:
        if (!choice)
            break;
        if (LOWORD(wp) == IDOK) {
            const LRESULT sel = SendDlgItemMessageA(dlg, IDC_ENCODING_LIST, CB_GETCURSEL, 0, 0);
            choice->chosen = sel >= 0 && sel < kEncodings ? int(sel) : choice->detected;
            EndDialog(dlg, IDOK);
            return TRUE;
        }
        if (LOWORD(wp) == IDCANCEL) {
            EndDialog(dlg, IDCANCEL);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

}  // namespace

int encoding_dialog(HWND frame, int detected)
{
    EncodingChoice choice = {detected >= 0 && detected < kEncodings ? detected : 0, -1};
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ENCODING), frame, encoding_proc,
                    reinterpret_cast<LPARAM>(&choice));
    return choice.chosen;
}

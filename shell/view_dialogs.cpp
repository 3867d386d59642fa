// The go-to-page and zoom dialogs: one number each, prefilled with the
// current page or zoom percentage, selected and focused.
#include <windows.h>

#include <cstdio>

#include "shell/features.h"
#include "shell/frame.h"
#include "shell/resource.h"
#include "shell/view.h"

namespace {

struct NumberDialog {
    int edit;     // control id of the number
    int value;    // shown on entry
    int label;    // control id of the label, 0 for none
    char labelText[64];
    bool ok;      // OK with a valid number
    int result;
};

// A decimal number of digits only, surrounding blanks allowed, below 10^9.
bool parse_number(const char *text, int *out)
{
    while (*text == ' ')
        text++;
    long long v = 0;
    int digits = 0;
    for (; *text >= '0' && *text <= '9'; text++, digits++)
        if (digits < 10)
            v = v * 10 + (*text - '0');
    while (*text == ' ')
        text++;
    if (digits == 0 || digits > 9 || *text)
        return false;
    *out = int(v);
    return true;
}

INT_PTR CALLBACK number_proc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp)
{
    auto *d = reinterpret_cast<NumberDialog *>(GetWindowLongPtrA(dlg, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG: {
        d = reinterpret_cast<NumberDialog *>(lp);
        SetWindowLongPtrA(dlg, DWLP_USER, lp);
        if (d->label)
            SetDlgItemTextA(dlg, d->label, d->labelText);
        SetDlgItemInt(dlg, d->edit, UINT(d->value), FALSE);
        SendDlgItemMessageA(dlg, d->edit, EM_LIMITTEXT, 15, 0);
        window_center_on_owner(dlg, GetWindow(dlg, GW_OWNER));
        HWND edit = GetDlgItem(dlg, d->edit);
        SetFocus(edit);
        SendMessageA(edit, EM_SETSEL, 0, -1);
        return FALSE;
    }
    case WM_COMMAND:
        if (LOWORD(wp) == IDOK && d) {
            char text[16] = "";
            GetDlgItemTextA(dlg, d->edit, text, sizeof text);
            d->ok = parse_number(text, &d->result);
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

bool run(HWND frame, int id, NumberDialog &d)
{
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(frame, GWLP_HINSTANCE));
    return DialogBoxParamA(instance, MAKEINTRESOURCEA(id), frame, number_proc, reinterpret_cast<LPARAM>(&d)) ==
               IDOK &&
           d.ok;
}

}  // namespace

void goto_dialog(HWND frame)
{
    FrameState *fs = frame_state(frame);
    if (!fs || !view_document(fs->view))
        return;
    NumberDialog d = {IDC_GOTO_PAGE, view_page(fs->view), IDC_GOTO_LABEL, "", false, 0};
    char format[64];
    std::snprintf(d.labelText, sizeof d.labelText, frame_string(IDS_GOTO_LABEL, format, sizeof format),
                  view_page_count(fs->view));
    if (run(frame, IDD_GOTO, d) && d.result > 0)
        view_goto_page(fs->view, d.result);
}

void zoom_dialog(HWND frame)
{
    FrameState *fs = frame_state(frame);
    if (!fs || !view_document(fs->view))
        return;
    NumberDialog d = {IDC_ZOOM_PERCENT, view_zoom_percent(fs->view), 0, "", false, 0};
    if (run(frame, IDD_ZOOM, d))
        view_set_zoom_percent(fs->view, d.result);
}

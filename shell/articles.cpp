// The articles dialog: the Document's article threads by title; showing one
// takes the view to the thread's first page.
#include <windows.h>

#include "document/document.h"
#include "pdf/nav.h"
#include "shell/features.h"
#include "shell/frame.h"
#include "shell/resource.h"
#include "shell/view.h"

namespace {

constexpr int THREADS_MAX = 64;

struct ArticlesData {
    ThreadItem items[THREADS_MAX];
    int count;
    int chosenPage;  // zero-based, -1 none
};

void choose(HWND dlg, ArticlesData &d)
{
    const LRESULT sel = SendDlgItemMessageA(dlg, IDC_ARTICLES_LIST, LB_GETCURSEL, 0, 0);
    if (sel != LB_ERR && sel >= 0 && sel < d.count)
        d.chosenPage = d.items[sel].page;
    EndDialog(dlg, IDOK);
}

INT_PTR CALLBACK articles_proc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp)
{
    auto *d = reinterpret_cast<ArticlesData *>(GetWindowLongPtrA(dlg, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG: {
        d = reinterpret_cast<ArticlesData *>(lp);
        SetWindowLongPtrA(dlg, DWLP_USER, lp);
        HWND list = GetDlgItem(dlg, IDC_ARTICLES_LIST);
        for (int i = 0; i < d->count; i++)
            SendMessageA(list, LB_ADDSTRING, 0, LPARAM(d->items[i].title));
        SendMessageA(list, LB_SETCURSEL, 0, 0);
        window_center_on_owner(dlg, GetWindow(dlg, GW_OWNER));
        SetFocus(list);
        return FALSE;  // the focus is set
    }
    case WM_COMMAND:
        if (!d)
            break;
        if (LOWORD(wp) == IDOK || (LOWORD(wp) == IDC_ARTICLES_LIST && HIWORD(wp) == LBN_DBLCLK)) {
            choose(dlg, *d);
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

void articles_dialog(HWND frame)
{
    FrameState *fs = frame_state(frame);
    Document *doc = fs ? view_document(fs->view) : nullptr;
    if (!doc)
        return;
    ArticlesData d = {};
    d.count = doc_threads(doc, d.items, THREADS_MAX);
    if (d.count < 0)
        d.count = 0;
    d.chosenPage = -1;
    DialogBoxParamA(fs->instance, MAKEINTRESOURCEA(IDD_ARTICLES), frame, articles_proc, reinterpret_cast<LPARAM>(&d));
    if (d.chosenPage >= 0)
        view_goto_page(fs->view, d.chosenPage + 1);
}

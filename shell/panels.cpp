// The bookmarks tree: the Document's outline as a tree-view control, items
// collapsed, each holding its target page; choosing one shows that page.
#include "shell/panels.h"

#include <memory>
#include <new>
#include <vector>

#include "document/document.h"
#include "pdf/nav.h"
#include "shell/logic/panels_logic.h"
#include "shell/resource.h"
#include "shell/view.h"

namespace {

constexpr int OUTLINE_MAX = 2048;

}  // namespace

HWND bookmarks_create(HWND parent, HINSTANCE instance)
{
    return CreateWindowExA(WS_EX_CLIENTEDGE, WC_TREEVIEWA, "",
                           WS_CHILD | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT |
                               TVS_SHOWSELALWAYS,
                           0, 0, 0, 0, parent, reinterpret_cast<HMENU>(INT_PTR(IDC_BOOKMARKS)),
                           instance, nullptr);
}

void bookmarks_rebuild(HWND tree, HWND view)
{
    SendMessageA(tree, WM_SETREDRAW, FALSE, 0);
    SendMessageA(tree, TVM_DELETEITEM, 0, LPARAM(TVI_ROOT));
    Document *doc = view_document(view);
    const int n = doc ? doc_outline(doc, nullptr, 0) : 0;
    const int wanted = n < OUTLINE_MAX ? n : OUTLINE_MAX;
    // Without the memory for the list the tree stays empty.
    std::unique_ptr<OutlineItem[]> items(wanted > 0 ? new (std::nothrow) OutlineItem[size_t(wanted)] : nullptr);
    const int count = items ? doc_outline(doc, items.get(), wanted) : 0;
    std::vector<int> depths(size_t(count > 0 ? count : 0)), parents(depths.size());
    for (int i = 0; i < count; i++)
        depths[size_t(i)] = items[i].level;
    bookmark_parents(depths.data(), count, parents.data());
    std::vector<HTREEITEM> handles(depths.size());
    for (int i = 0; i < count; i++) {
        const int parent = parents[size_t(i)];
        TVINSERTSTRUCTA ins = {};
        ins.hParent = parent < 0 ? TVI_ROOT : handles[size_t(parent)];
        ins.hInsertAfter = TVI_LAST;
        ins.item.mask = TVIF_TEXT | TVIF_PARAM;
        ins.item.pszText = items[i].title;
        ins.item.lParam = LPARAM(items[i].page);
        handles[size_t(i)] = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_INSERTITEMA, 0, LPARAM(&ins)));
        if (!handles[size_t(i)])
            handles[size_t(i)] = parent < 0 ? TVI_ROOT : handles[size_t(parent)];
    }
    SendMessageA(tree, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(tree, nullptr, TRUE);
}

namespace {

int item_page(HWND tree, HTREEITEM h)
{
    TVITEMA item = {};
    item.mask = TVIF_PARAM;
    item.hItem = h;
    if (!h || !SendMessageA(tree, TVM_GETITEMA, 0, LPARAM(&item)))
        return -1;
    return item.lParam >= 0 ? int(item.lParam) : -1;
}

// The item under the pointer when it is the selected one.
HTREEITEM clicked_selection(HWND tree)
{
    TVHITTESTINFO hit = {};
    const DWORD pos = GetMessagePos();
    hit.pt = {short(LOWORD(pos)), short(HIWORD(pos))};
    ScreenToClient(tree, &hit.pt);
    const auto h = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_HITTEST, 0, LPARAM(&hit)));
    if (!h || !(hit.flags & TVHT_ONITEM))
        return nullptr;
    return h == reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0)) ? h : nullptr;
}

}  // namespace

int bookmarks_chosen_page(const NMHDR *hdr)
{
    if (!hdr || hdr->idFrom != IDC_BOOKMARKS)
        return -1;
    if (hdr->code == NM_CLICK || hdr->code == NM_DBLCLK)
        return item_page(hdr->hwndFrom, clicked_selection(hdr->hwndFrom));
    if (hdr->code != TVN_SELCHANGEDA && hdr->code != TVN_SELCHANGEDW)
        return -1;
    // The ANSI and wide records agree up to the items' text pointers.
    const auto *nm = reinterpret_cast<const NMTREEVIEWA *>(hdr);
    if (nm->action == TVC_UNKNOWN && !nm->itemOld.hItem && GetFocus() == hdr->hwndFrom)
        return -1;  // the focus selected the first item: the user chose nothing
    return item_page(hdr->hwndFrom, nm->itemNew.hItem);
}

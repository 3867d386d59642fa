// The document properties dialog and its fonts and security sub-dialogs: what
// the open Document says about itself (information entries, format, sizes),
// the fonts its pages name, and how it is encrypted.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "document/document.h"
#include "pdf/doc_info.h"
#include "pdf/document.h"
#include "shell/features.h"
#include "shell/frame.h"
#include "shell/logic/props_logic.h"
#include "shell/resource.h"
#include "shell/view.h"

namespace {

constexpr int kFontMax = 128;

struct PropsContext {
    Document *doc;
    const char *path;
};

Document *open_document(HWND frame, const char **path)
{
    FrameState *fs = frame_state(frame);
    if (!fs)
        return nullptr;
    if (path)
        *path = fs->documentName;
    return view_document(fs->view);
}

// The text of a control; "-" stands for nothing.
void set_text(HWND dlg, int id, const char *text) { SetDlgItemTextA(dlg, id, text && text[0] ? text : "-"); }

int64_t file_size(const char *path)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    LARGE_INTEGER size;
    const bool ok = GetFileSizeEx(file, &size) != 0;
    CloseHandle(file);
    return ok ? int64_t(size.QuadPart) : -1;
}

void method_text(Document *doc, PdfSecurityInfo *security, char *out, size_t n)
{
    pdf_security_info(doc_pdf(doc), security);
    props_method_text(security->encrypted ? security->cipher : PDF_CIPHER_NONE, security->key_bits, out, n);
}

void fill_information(HWND dlg, Document *doc, const char *path)
{
    PdfDoc *pdf = doc_pdf(doc);
    static constexpr struct {
        int control;
        const char *key;
    } kEntries[] = {
        {IDC_PROPS_TITLE, "Title"},       {IDC_PROPS_SUBJECT, "Subject"},   {IDC_PROPS_AUTHOR, "Author"},
        {IDC_PROPS_KEYWORDS, "Keywords"}, {IDC_PROPS_CREATOR, "Creator"},   {IDC_PROPS_PRODUCER, "Producer"},
    };
    char text[256], raw[256];
    for (const auto &e : kEntries) {
        pdf_info_text(pdf, e.key, text, sizeof text);
        set_text(dlg, e.control, text);
    }
    pdf_info_text(pdf, "CreationDate", raw, 64);
    props_date_text(raw, text, 64);
    set_text(dlg, IDC_PROPS_CREATED, text);
    pdf_info_text(pdf, "ModDate", raw, 64);
    props_date_text(raw, text, 64);
    set_text(dlg, IDC_PROPS_MODIFIED, text);

    set_text(dlg, IDC_PROPS_FORMAT, doc_kind_name(doc));
    set_text(dlg, IDC_PROPS_VERSION, pdf ? pdf->version : "");
    std::snprintf(text, sizeof text, "%d", doc_page_count(doc));
    set_text(dlg, IDC_PROPS_PAGES, text);
    float w = 0, h = 0;
    int rotation = 0;
    if (doc_page_size(doc, 0, &w, &h, &rotation) != 0)
        w = h = 0;
    char format[64];
    props_page_size_text(w, h, frame_string(IDS_PAGE_SIZE_INCHES, format, sizeof format), text, sizeof text);
    set_text(dlg, IDC_PROPS_PAGE_SIZE, text);
    props_file_size_text(file_size(path), frame_string(IDS_PROPS_BYTES, format, sizeof format), text,
                         sizeof text);
    set_text(dlg, IDC_PROPS_FILE_SIZE, text);
    PdfSecurityInfo security;
    method_text(doc, &security, text, sizeof text);
    if (!security.encrypted)
        frame_string(IDS_PROPS_NO_SECURITY, text, sizeof text);
    set_text(dlg, IDC_PROPS_SECURITY, text);
}

void fill_fonts(HWND dlg, Document *doc)
{
    HWND list = GetDlgItem(dlg, IDC_FONTS_LIST);
    const int stops[3] = {118, 158, 208};
    SendMessageA(list, LB_SETTABSTOPS, 3, reinterpret_cast<LPARAM>(stops));
    static PdfFontEntry fonts[kFontMax];  // one modal dialog at a time
    const int count = pdf_font_list(doc_pdf(doc), fonts, kFontMax);
    char embedded[64], substituted[64], line[256];
    frame_string(IDS_FONT_EMBEDDED, embedded, sizeof embedded);
    frame_string(IDS_FONT_SUBSTITUTED, substituted, sizeof substituted);
    for (int i = 0; i < count; i++) {
        std::snprintf(line, sizeof line, "%s\t%s\t%s\t%s", fonts[i].name, fonts[i].type, fonts[i].encoding,
                      fonts[i].embedded ? embedded : substituted);
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
    }
    if (count == 0)
        SendMessageA(list, LB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(frame_string(IDS_FONTS_NONE, line, sizeof line)));
}

void fill_security(HWND dlg, Document *doc)
{
    PdfSecurityInfo security;
    char text[128];
    method_text(doc, &security, text, sizeof text);
    set_text(dlg, IDC_SEC_ENCRYPTION, text);
    set_text(dlg, IDC_SEC_METHOD,
             frame_string(security.encrypted ? IDS_SEC_PASSWORD : IDS_SEC_NONE, text, sizeof text));
    static constexpr struct {
        int control;
        uint32_t bit;
    } kPermissions[] = {
        {IDC_SEC_PRINT, PDF_PERM_PRINT},
        {IDC_SEC_COPY, PDF_PERM_COPY},
        {IDC_SEC_MODIFY, PDF_PERM_MODIFY},
        {IDC_SEC_ANNOTATE, PDF_PERM_ANNOTATE},
    };
    for (const auto &p : kPermissions) {
        const bool allowed = !security.encrypted || (security.permissions & p.bit) != 0;
        set_text(dlg, p.control, frame_string(allowed ? IDS_SEC_ALLOWED : IDS_SEC_DENIED, text, sizeof text));
    }
}

// The fonts and security dialogs: filled once, closed by their one button.
struct SubDialog {
    void (*fill)(HWND dlg, Document *doc);
    Document *doc;
};

INT_PTR CALLBACK subdialog_proc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_INITDIALOG) {
        const auto *sub = reinterpret_cast<const SubDialog *>(lp);
        window_center_on_owner(dlg, GetWindow(dlg, GW_OWNER));
        sub->fill(dlg, sub->doc);
        return TRUE;
    }
    if (msg == WM_COMMAND && (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL)) {
        EndDialog(dlg, LOWORD(wp));
        return TRUE;
    }
    return FALSE;
}

void show_subdialog(HWND owner, int id, void (*fill)(HWND, Document *), Document *doc)
{
    SubDialog sub{fill, doc};
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), owner, subdialog_proc,
                    reinterpret_cast<LPARAM>(&sub));
}

void show_fonts(HWND owner, Document *doc) { show_subdialog(owner, IDD_FONTS, fill_fonts, doc); }
void show_security(HWND owner, Document *doc) { show_subdialog(owner, IDD_SECURITY, fill_security, doc); }

INT_PTR CALLBACK properties_proc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_INITDIALOG: {
        auto *context = reinterpret_cast<PropsContext *>(lp);
        SetWindowLongPtrA(dlg, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(context->doc));
        window_center_on_owner(dlg, GetWindow(dlg, GW_OWNER));
        fill_information(dlg, context->doc, context->path);
        return TRUE;
    }
    case WM_COMMAND: {
        auto *doc = reinterpret_cast<Document *>(GetWindowLongPtrA(dlg, GWLP_USERDATA));
        switch (LOWORD(wp)) {
        case IDC_PROPS_FONTS: show_fonts(dlg, doc); return TRUE;
        case IDC_PROPS_SECURITY_BUTTON: show_security(dlg, doc); return TRUE;
        case IDOK:
        case IDCANCEL: EndDialog(dlg, LOWORD(wp)); return TRUE;
        }
        break;
    }
    }
    return FALSE;
}

}  // namespace

void properties_dialog(HWND frame)
{
    const char *path = "";
    Document *doc = open_document(frame, &path);
    if (!doc)
        return;
    PropsContext context{doc, path};
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PROPERTIES), frame, properties_proc,
                    reinterpret_cast<LPARAM>(&context));
}

void fonts_dialog(HWND frame)
{
    if (Document *doc = open_document(frame, nullptr))
        show_fonts(frame, doc);
}

void security_dialog(HWND frame)
{
    if (Document *doc = open_document(frame, nullptr))
        show_security(frame, doc);
}

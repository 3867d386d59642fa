// Opening Documents: the single open routine, the document layer's file-open
// hook for wide paths, the command line, the open dialog, drag and drop, the
// file-type notice and the recent-files list with its menu.
#include <windows.h>
#include <commdlg.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>

#include "pdf/reader.h"
#include "shell/features.h"
#include "shell/frame.h"
#include "shell/panels.h"
#include "shell/resource.h"
#include "shell/settings.h"
#include "shell/view.h"

namespace {

void copy_wide(wchar_t *dst, const wchar_t *src, int n)
{
    int i = 0;
    for (; src && src[i] && i < n - 1; i++)
        dst[i] = src[i];
    dst[i] = 0;
}

// Every document file is opened here. A pending wide path is used when the
// document layer asks for the ANSI form of that same path.
FILE *file_open_hook(const char *path)
{
    FrameState *fs = frame_state();
    if (fs && fs->isNT && fs->openPathWPending && fs->wide.CreateFileW &&
        std::strcmp(path, fs->openPathA) == 0) {
        HANDLE h = fs->wide.CreateFileW(fs->openPathW, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return nullptr;
        int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDONLY | _O_BINARY);
        if (fd < 0) {
            CloseHandle(h);
            return nullptr;
        }
        FILE *f = _fdopen(fd, "rb");
        if (!f)
            _close(fd);
        return f;
    }
    return std::fopen(path, "rb");
}

// ANSI form of a wide path in the system code page.
void ansi_of(const wchar_t *wide, char *out, int n)
{
    if (!WideCharToMultiByte(CP_ACP, 0, wide, -1, out, n, nullptr, nullptr))
        out[0] = 0;
    out[n - 1] = 0;
}

void show_open_failure(FrameState &fs)
{
    char text[256], caption[64];
    frame_message_box(fs.frame, frame_string(IDS_OPEN_FAILED, text, sizeof text),
                      frame_string(IDS_APP_NAME, caption, sizeof caption), MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

void frame_install_file_hook(FrameState &) { reader_set_file_open_hook(file_open_hook); }

int frame_open_path(FrameState &fs, const char *path, const wchar_t *wide)
{
    char local[260];  // the argument may be frame state itself (a recent entry)
    std::snprintf(local, sizeof local, "%s", path);
    std::memcpy(fs.openPathA, local, sizeof local);
    fs.openPathWPending = wide && *wide;
    copy_wide(fs.openPathW, fs.openPathWPending ? wide : nullptr, 260);
    int rc = view_open(fs.view, fs.openPathA);
    if (rc != 0) {
        show_open_failure(fs);
    } else {
        std::memcpy(fs.documentName, local, sizeof local);
        static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wide characters");
        recent_add(fs.recentFiles, local,
                   fs.isNT && fs.openPathWPending ? reinterpret_cast<const char16_t *>(fs.openPathW) : nullptr);
        recent_save(fs);
        recent_build_menu(fs);
        if (fs.thumbs)
            thumbs_reset(fs.thumbs, view_document(fs.view), view_page_count(fs.view));
        bookmarks_rebuild(fs.bookmarks, fs.view);
        frame_check_menu(fs, CMD_GRAYSCALE, view_grayscale(fs.view));
        frame_show_type_notice(fs);
        Document *doc = view_document(fs.view);
        if (doc->kind == DOC_TEXT && !doc_text_encoding_sure(doc)) {
            int detected = doc_text_encoding(doc), chosen = encoding_dialog(fs.frame, detected);
            if (chosen >= 0 && chosen != detected)
                view_set_text_encoding(fs.view, chosen);
        }
    }
    frame_refresh_title(fs);
    frame_refresh_status(fs);
    toolbar_refresh_states(fs);
    return rc;
}

void frame_close_document(FrameState &fs)
{
    view_close(fs.view);
    fs.documentName[0] = 0;
    thumbs_reset(fs.thumbs, nullptr, 0);
    bookmarks_rebuild(fs.bookmarks, fs.view);
    frame_refresh_title(fs);
    frame_refresh_status(fs);
    toolbar_refresh_states(fs);
}

void frame_show_type_notice(FrameState &fs)
{
    char ext[8];
    Document *doc = view_document(fs.view);
    if (!doc_kind_mismatch(doc, fs.documentName) || !doc_file_extension(fs.documentName, ext))
        return;
    const char *kind = doc_kind_name(doc);
    char fmt[300], text[400], caption[100];
    std::snprintf(text, sizeof text, frame_string(IDS_TYPE_MISMATCH, fmt, sizeof fmt), ext, kind, kind);
    frame_message_box(fs.frame, text, frame_string(IDS_TYPE_MISMATCH_CAPTION, caption, sizeof caption),
                      MB_OK | MB_ICONINFORMATION);
}

namespace {

bool wide_file_exists(const FrameState &fs, const wchar_t *path)
{
    HANDLE h = fs.wide.CreateFileW ? fs.wide.CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                         OPEN_EXISTING, 0, nullptr)
                                   : INVALID_HANDLE_VALUE;
    if (h == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(h);
    return true;
}

bool wide_blank(const wchar_t *s)
{
    while (*s == L' ' || *s == L'\t')
        s++;
    return *s == 0;
}

}  // namespace

bool frame_open_command_line(FrameState &fs, const char *args, const wchar_t *wide_command_line)
{
    char path[260];
    cmdline_path(args, path, sizeof path);
    if (fs.isNT && wide_command_line && fs.wide.CommandLineToArgvW) {
        int argc = 0;
        LPWSTR *argv = fs.wide.CommandLineToArgvW(wide_command_line, &argc);
        int rc = 1, first = 0, others = 0;  // rc 1: nothing tried
        for (int i = 1; argv && i < argc; i++) {
            // Switches, and blank quoted arguments ("" or " "), name no file.
            if (argv[i][0] == L'/' || argv[i][0] == L'-' || wide_blank(argv[i]))
                continue;
            if (!first)
                first = i;
            else
                others++;
        }
        // An unquoted path with blanks arrives split into several arguments;
        // then the whole ANSI text below names the file, and trying the first
        // piece would only show a needless failure.
        if (first && (others == 0 || wide_file_exists(fs, argv[first]))) {
            char ansi[260];
            ansi_of(argv[first], ansi, sizeof ansi);
            rc = frame_open_path(fs, ansi, argv[first]);
        }
        if (argv)
            LocalFree(argv);
        if (rc != 1)
            return rc == 0;  // a failed open already showed its message
    }
    return path[0] && frame_open_path(fs, path, nullptr) == 0;
}

void frame_open_dialog(FrameState &fs)
{
    char filter[600];
    frame_string(IDS_OPEN_FILTER, filter, sizeof filter - 1);
    filter[std::strlen(filter) + 1] = 0;  // double terminator
    for (char *p = filter; *p; p++)
        if (*p == '|')
            *p = 0;
    if (fs.isNT && fs.wide.GetOpenFileNameW) {
        wchar_t wfilter[600], file[260] = L"";
        MultiByteToWideChar(CP_ACP, 0, filter, sizeof filter, wfilter, 600);
        OPENFILENAMEW ofn = {};
        ofn.lStructSize = sizeof ofn;
        ofn.hwndOwner = fs.frame;
        ofn.lpstrFilter = wfilter;
        ofn.lpstrFile = file;
        ofn.nMaxFile = 260;
        ofn.lpstrDefExt = L"pdf";
        ofn.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
        if (fs.wide.GetOpenFileNameW(&ofn)) {
            char ansi[260];
            ansi_of(file, ansi, sizeof ansi);
            frame_open_path(fs, ansi, file);
        }
        return;
    }
    char file[260] = "";
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = fs.frame;
    ofn.lpstrFilter = filter;
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof file;
    ofn.lpstrDefExt = "pdf";
    ofn.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    if (GetOpenFileNameA(&ofn))
        frame_open_path(fs, file, nullptr);
}

void frame_on_drop(FrameState &fs, HDROP drop)
{
    if (fs.isNT && fs.wide.DragQueryFileW) {
        wchar_t file[260];
        if (fs.wide.DragQueryFileW(drop, 0, file, 260)) {
            char ansi[260];
            ansi_of(file, ansi, sizeof ansi);
            DragFinish(drop);
            frame_open_path(fs, ansi, file);
            return;
        }
    } else {
        char file[260];
        if (DragQueryFileA(drop, 0, file, sizeof file)) {
            DragFinish(drop);
            frame_open_path(fs, file, nullptr);
            return;
        }
    }
    DragFinish(drop);
}

void frame_open_recent(FrameState &fs, int index)
{
    if (index < 0 || index >= fs.recentFiles.count)
        return;
    const RecentEntry &e = fs.recentFiles.entries[index];
    wchar_t wide[260];
    copy_wide(wide, fs.isNT ? reinterpret_cast<const wchar_t *>(e.wide) : nullptr, 260);
    char path[260];
    std::memcpy(path, e.path, sizeof path);
    frame_open_path(fs, path, wide[0] ? wide : nullptr);
}

// ---- Recent files -------------------------------------------------------------

void recent_load(FrameState &fs)
{
    RecentFiles &l = fs.recentFiles;
    l.count = 0;
    for (int i = 0; i < RECENT_MAX; i++) {
        char name[16];
        RecentEntry &e = l.entries[l.count];
        std::snprintf(name, sizeof name, "File%d", i + 1);
        if (!settings_read_string("Recent", name, e.path, sizeof e.path) || !e.path[0])
            break;
        e.wide[0] = 0;
        char utf8[RECENT_PATH * 3];
        std::snprintf(name, sizeof name, "FileW%d", i + 1);
        if (fs.isNT && settings_read_string("Recent", name, utf8, sizeof utf8) && utf8[0]) {
            int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, reinterpret_cast<wchar_t *>(e.wide), RECENT_PATH);
            if (n <= 0)
                e.wide[0] = 0;
            e.wide[RECENT_PATH - 1] = 0;
        }
        l.count++;
    }
}

void recent_save(const FrameState &fs)
{
    const RecentFiles &l = fs.recentFiles;
    for (int i = 0; i < RECENT_MAX; i++) {
        char name[16], wname[16], utf8[RECENT_PATH * 3];
        std::snprintf(name, sizeof name, "File%d", i + 1);
        std::snprintf(wname, sizeof wname, "FileW%d", i + 1);
        if (i < l.count)
            settings_write_string("Recent", name, l.entries[i].path);
        else
            settings_delete_value("Recent", name);
        if (!fs.isNT)
            continue;
        if (i < l.count && l.entries[i].wide[0] &&
            WideCharToMultiByte(CP_UTF8, 0, reinterpret_cast<const wchar_t *>(l.entries[i].wide), -1,
                                utf8, sizeof utf8, nullptr, nullptr))
            settings_write_string("Recent", wname, utf8);
        else
            settings_delete_value("Recent", wname);
    }
}

void recent_build_menu(FrameState &fs)
{
    HMENU bar = GetMenu(fs.frame);
    HMENU file = bar ? GetSubMenu(bar, 0) : nullptr;
    if (!file)
        return;
    for (int id = CMD_RECENT_FIRST; id <= CMD_RECENT_LAST; id++)
        DeleteMenu(file, id, MF_BYCOMMAND);
    for (int i = 0; i < fs.recentFiles.count; i++) {
        char label[80];
        recent_menu_label(i, fs.recentFiles.entries[i].path, label, sizeof label);
        InsertMenuA(file, CMD_EXIT, MF_BYCOMMAND | MF_STRING, CMD_RECENT_FIRST + i, label);
    }
    DrawMenuBar(fs.frame);
}

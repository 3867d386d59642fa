// File associations: the dialog that makes the viewer the handler of its
// document types, the registry writes behind it, and the restore run before
// uninstalling, which takes out everything the viewer wrote so that the
// classes are as they were before.
#include "shell/assoc.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "shell/features.h"
#include "shell/frame.h"
#include "shell/logic/props_logic.h"
#include "shell/resource.h"

namespace {

constexpr const char *kBackupValue = "VellumixBackup";
constexpr DWORD kValueMax = 160;  // a handler name: up to 159 characters

// Process-wide: the path set by the association switch (stand-alone run) and
// whether a key could not be created because access was denied.
char g_program[MAX_PATH + 16];
bool g_standalone;
bool g_access_denied;

// Per-user classes from NT 5.0 on (no administrator rights needed); the
// machine's classes on older systems.
HKEY open_classes_root()
{
    const DWORD v = GetVersion();
    if (!(v & 0x80000000u) && LOBYTE(LOWORD(v)) >= 5) {
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Classes", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr) == ERROR_SUCCESS)
            return key;
    }
    return HKEY_CLASSES_ROOT;
}

void close_classes_root(HKEY root)
{
    if (root != HKEY_CLASSES_ROOT)
        RegCloseKey(root);
}

// A REG_SZ value of parent\sub ("" for the default value); empty when the key
// or value is missing, of another type or too long.
void read_string(HKEY parent, const char *sub, const char *name, char out[kValueMax])
{
    out[0] = 0;
    HKEY key;
    if (RegOpenKeyExA(parent, sub, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return;
    DWORD type = 0, size = kValueMax - 1;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE *>(out), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ) || size >= kValueMax)
        size = 0;
    out[size] = 0;
    RegCloseKey(key);
}

// The handler of an extension: the per-user value where one is set, else the
// merged classes view (which shows the machine's value when the user has none).
void current_handler(HKEY root, const char *extension, char out[kValueMax])
{
    read_string(root, extension, "", out);
    if (!out[0])
        read_string(HKEY_CLASSES_ROOT, extension, "", out);
}

// Sets the default value of root\sub (creating the key) to text.
void write_default(HKEY root, const char *sub, const char *text)
{
    HKEY key;
    LONG rc = RegCreateKeyExA(root, sub, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
    if (rc == ERROR_ACCESS_DENIED)
        g_access_denied = true;
    if (rc != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE *>(text), DWORD(std::strlen(text) + 1));
    RegCloseKey(key);
}

void register_extension(HKEY root, const char *extension, const AssocType &type, const char *program)
{
    char old[kValueMax];
    current_handler(root, extension, old);
    HKEY key;
    LONG rc = RegCreateKeyExA(root, extension, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
    if (rc == ERROR_ACCESS_DENIED)
        g_access_denied = true;
    if (rc == ERROR_SUCCESS) {
        // Registering again must not replace the saved handler with our own.
        if (old[0] && lstrcmpiA(old, type.prog_id) != 0)
            RegSetValueExA(key, kBackupValue, 0, REG_SZ, reinterpret_cast<const BYTE *>(old),
                           DWORD(std::strlen(old) + 1));
        RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE *>(type.prog_id),
                       DWORD(std::strlen(type.prog_id) + 1));
        RegCloseKey(key);
    }
    char text[MAX_PATH + 64], sub[96];
    write_default(root, type.prog_id, frame_string(UINT(type.description), text, sizeof text));
    std::snprintf(sub, sizeof sub, "%s\\DefaultIcon", type.prog_id);
    std::snprintf(text, sizeof text, "%s,-%d", program, type.icon);
    write_default(root, sub, text);
    std::snprintf(sub, sizeof sub, "%s\\shell\\open\\command", type.prog_id);
    std::snprintf(text, sizeof text, "\"%s\" \"%%1\"", program);
    write_default(root, sub, text);
    std::snprintf(sub, sizeof sub, "%s\\shell\\print\\command", type.prog_id);
    std::snprintf(text, sizeof text, "\"%s\" /p \"%%1\"", program);
    write_default(root, sub, text);
}

bool key_is_empty(HKEY key)
{
    DWORD subkeys = 0, values = 0;
    return RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                            nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
           subkeys == 0 && values == 0;
}

// Gives an extension we handle back to its previous handler. Our default value
// is removed rather than emptied; the saved handler is written back only where
// the merged view does not already show it (a machine-wide handler stays
// machine-wide); a key left with nothing in it was ours and goes too.
void unregister_extension(HKEY root, const char *extension, const AssocType &type)
{
    char current[kValueMax], backup[kValueMax];
    current_handler(root, extension, current);
    if (lstrcmpiA(current, type.prog_id) != 0)
        return;  // another program's: not ours to touch
    HKEY key;
    if (RegOpenKeyExA(root, extension, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    read_string(key, "", kBackupValue, backup);
    RegDeleteValueA(key, nullptr);
    if (backup[0]) {
        char visible[kValueMax];
        read_string(HKEY_CLASSES_ROOT, extension, "", visible);
        if (lstrcmpA(visible, backup) != 0)
            RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE *>(backup),
                           DWORD(std::strlen(backup) + 1));
    }
    RegDeleteValueA(key, kBackupValue);
    const bool empty = key_is_empty(key);
    RegCloseKey(key);
    if (empty)
        RegDeleteKeyA(root, extension);
}

// Deletes the ProgID's keys that registering wrote, innermost first; a key
// that holds something else as well stays.
void remove_prog_id(HKEY root, const char *prog_id)
{
    static constexpr const char *kSubkeys[] = {
        "\\shell\\open\\command", "\\shell\\print\\command", "\\shell\\open", "\\shell\\print",
        "\\shell", "\\DefaultIcon", "",
    };
    for (const char *tail : kSubkeys) {
        char sub[96];
        std::snprintf(sub, sizeof sub, "%s%s", prog_id, tail);
        HKEY key;
        if (RegOpenKeyExA(root, sub, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) != ERROR_SUCCESS)
            continue;
        RegDeleteValueA(key, nullptr);
        const bool empty = key_is_empty(key);
        RegCloseKey(key);
        if (empty)
            RegDeleteKeyA(root, sub);
    }
}

template <typename Fn>
void for_each_extension(const AssocType &type, Fn fn)
{
    char extension[16];
    for (int i = 0; assoc_extension(type.extensions, i, extension, sizeof extension); i++)
        fn(extension);
}

void notify_shell() { SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr); }

const char *program_path(char *buf, DWORD size)
{
    if (g_program[0])
        return g_program;
    DWORD n = GetModuleFileNameA(nullptr, buf, size);
    buf[n < size ? n : size - 1] = 0;
    return buf;
}

INT_PTR on_init(HWND dlg)
{
    // Started stand-alone there is no window of ours in front: ask for it.
    SetWindowPos(dlg, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    BringWindowToTop(dlg);
    SetForegroundWindow(dlg);
    window_center_on_owner(dlg, GetWindow(dlg, GW_OWNER));
    for (int row = 0; row < 9; row++)
        CheckDlgButton(dlg, ASSOC_TYPES[row].box,
                       g_standalone || associations_registered(row) ? BST_CHECKED : BST_UNCHECKED);
    return TRUE;
}

void on_ok(HWND dlg)
{
    bool checked[9];
    for (int row = 0; row < 9; row++)
        checked[row] = IsDlgButtonChecked(dlg, ASSOC_TYPES[row].box) == BST_CHECKED;
    char buf[MAX_PATH + 16];
    if (!associations_apply(checked, program_path(buf, MAX_PATH))) {
        char text[256], caption[64];
        frame_message_box(dlg, frame_string(IDS_ASSOC_DENIED, text, sizeof text),
                          frame_string(IDS_ASSOC_CAPTION, caption, sizeof caption), MB_OK | MB_ICONWARNING);
    }
    EndDialog(dlg, IDOK);
}

INT_PTR CALLBACK assoc_proc(HWND dlg, UINT msg, WPARAM wp, LPARAM)
{
    switch (msg) {
    case WM_INITDIALOG:
        return on_init(dlg);
    case WM_COMMAND:
        if (LOWORD(wp) == IDOK)
            on_ok(dlg);
        else if (LOWORD(wp) == IDCANCEL)
            EndDialog(dlg, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

void associations_set_program(const char *path)
{
    std::snprintf(g_program, sizeof g_program, "%s", path ? path : "");
    g_standalone = path != nullptr;
}

bool associations_registered(int row)
{
    if (row < 0 || row >= 9)
        return false;
    char extension[16], handler[kValueMax];
    assoc_extension(ASSOC_TYPES[row].extensions, 0, extension, sizeof extension);
    HKEY root = open_classes_root();
    current_handler(root, extension, handler);
    close_classes_root(root);
    return lstrcmpiA(handler, ASSOC_TYPES[row].prog_id) == 0;
}

bool associations_apply(const bool checked[9], const char *program)
{
    HKEY root = open_classes_root();
    g_access_denied = false;
    for (int row = 0; row < 9; row++) {
        const AssocType &type = ASSOC_TYPES[row];
        for_each_extension(type, [&](const char *extension) {
            if (checked[row])
                register_extension(root, extension, type, program);
            else
                unregister_extension(root, extension, type);
        });
    }
    close_classes_root(root);
    notify_shell();
    return !g_access_denied;
}

void associations_dialog(HWND owner)
{
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ASSOCIATIONS), owner, assoc_proc, 0);
}

void associations_restore()
{
    HKEY root = open_classes_root();
    for (const AssocType &type : ASSOC_TYPES) {
        for_each_extension(type, [&](const char *extension) { unregister_extension(root, extension, type); });
        remove_prog_id(root, type.prog_id);
    }
    close_classes_root(root);
    notify_shell();
}

// The font library of the Windows program. It is never searched for along
// the system's path: a library of that name in the current folder (the
// folder of a document opened by association) must not be taken, and none
// of its code may run, so it is mapped as a data and image-resource file.
#include "fonts/font_library.h"

#ifdef _WIN32
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "fonts/font_state.h"

#ifndef LOAD_LIBRARY_AS_IMAGE_RESOURCE
#define LOAD_LIBRARY_AS_IMAGE_RESOURCE 0x00000020
#endif

namespace {

constexpr int kMaxBaseName = 63;  // characters of a name kept before the lookup

HMODULE g_library = nullptr;  // held for the whole run, never released

}  // namespace

bool font_library_load(const char *dir)
{
    if (g_library) {
        font_set_resolver(font_library_find);
        return true;
    }
    char folder[MAX_PATH + 1];
    if (!dir) {
        if (!font_program_dir(folder, sizeof folder))
            return false;
        dir = folder;
    }
    char path[MAX_PATH + 16];
    int n = std::snprintf(path, sizeof path, "%s\\pagrix.dll", dir);
    if (n <= 0 || n >= int(sizeof path))
        return false;
    // A full path is never searched for; systems before Vista do not know
    // the image-resource flag and take the data-file flag alone.
    HMODULE lib = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!lib)
        lib = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!lib)
        return false;
    g_library = lib;
    font_set_resolver(font_library_find);
    return true;
}

void font_library_reset()
{
    if (g_library)
        FreeLibrary(g_library);
    g_library = nullptr;
    font_set_resolver(nullptr);
}

bool font_library_find(const char *file_name, const uint8_t **data, size_t *size)
{
    if (!g_library || !file_name)
        return false;
    char key[kMaxBaseName + 1];
    int n = 0;
    while (n < kMaxBaseName && file_name[n] && file_name[n] != '.') {
        key[n] = file_name[n];
        n++;
    }
    key[n] = 0;
    if (n == 0)
        return false;
    HRSRC res = FindResourceA(g_library, key, MAKEINTRESOURCEA(10));
    DWORD bytes = res ? SizeofResource(g_library, res) : 0;
    HGLOBAL loaded = bytes >= 1 ? LoadResource(g_library, res) : nullptr;
    const void *p = loaded ? LockResource(loaded) : nullptr;
    if (!p)
        return false;
    *data = static_cast<const uint8_t *>(p);
    *size = bytes;
    return true;
}

#endif

// The font sources of the process and the faces made from them. Everything
// here is set up once at start-up and lives until exit; only faces made for
// documents are released again (ft_face_release).
#include "fonts/font_state.h"

#include "fonts/glyph.h"

#include FT_MODULE_H

#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

struct FontState {
    char fonts_dir[FONT_MAX_DIR + 1] = "fonts";
    char system_dir[FONT_MAX_DIR + 1] = "";
    FontResolver resolver = nullptr;
    FT_Face fallback_faces[FONT_MAX_FALLBACK] = {};
    uint8_t *fallback_bytes[FONT_MAX_FALLBACK] = {};  // heap copies behind the faces, if any
    int fallback_count = 0;
    int subst_mode = 0;
    FT_Library freetype = nullptr;
    bool freetype_failed = false;
    int live_faces = 0;
};

FontState g_fonts;

// FreeType's memory through the engine's own allocation calls, so it meets
// the same allocator (and, in the test build, the same failure injection)
// as the rest of the engine; the default would call the C library directly.
void *ft_alloc(FT_Memory, long size) { return std::malloc(size_t(size)); }
void ft_free(FT_Memory, void *block) { std::free(block); }
void *ft_realloc(FT_Memory, long, long new_size, void *block) { return std::realloc(block, size_t(new_size)); }
FT_MemoryRec_ g_ft_memory = {nullptr, ft_alloc, ft_free, ft_realloc};

void copy_path(char *dst, const char *src)
{
    std::snprintf(dst, FONT_MAX_DIR + 1, "%s", src ? src : "");
}

bool is_separator(char c)
{
#ifdef _WIN32
    return c == '\\' || c == '/';
#else
    return c == '/';
#endif
}

// True when the file can be opened for reading (shared read on Windows).
bool file_readable(const char *path)
{
#ifdef _WIN32
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(h);
    return true;
#else
    FILE *f = std::fopen(path, "rb");
    if (!f)
        return false;
    std::fclose(f);
    return true;
#endif
}

bool add_fallback(FT_Face face, uint8_t *owned_bytes)
{
    if (!face)
        return false;
    if (g_fonts.fallback_count >= FONT_MAX_FALLBACK) {
        ft_face_release(face);
        return false;
    }
    // Fallback faces live for the run and are not counted as document faces.
    g_fonts.live_faces--;
    g_fonts.fallback_bytes[g_fonts.fallback_count] = owned_bytes;
    g_fonts.fallback_faces[g_fonts.fallback_count++] = face;
    return true;
}

#ifdef _WIN32

// Program path on NT: the wide path through its short form into the ANSI code
// page, so that no character is lost; both calls may be missing on old systems.
bool program_path_nt(char *out, DWORD size)
{
    using ShortPathW = DWORD(WINAPI *)(LPCWSTR, LPWSTR, DWORD);
    using ModuleNameW = DWORD(WINAPI *)(HMODULE, LPWSTR, DWORD);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (!kernel || (GetVersion() & 0x80000000u))
        return false;
    auto module_name = reinterpret_cast<ModuleNameW>(
        reinterpret_cast<void *>(GetProcAddress(kernel, "GetModuleFileNameW")));
    auto short_path = reinterpret_cast<ShortPathW>(
        reinterpret_cast<void *>(GetProcAddress(kernel, "GetShortPathNameW")));
    if (!module_name || !short_path)
        return false;
    wchar_t wide[MAX_PATH + 1], shortened[MAX_PATH + 1];
    DWORD n = module_name(nullptr, wide, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return false;
    wide[n] = 0;
    n = short_path(wide, shortened, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return false;
    int bytes = WideCharToMultiByte(CP_ACP, 0, shortened, -1, out, int(size), nullptr, nullptr);
    return bytes > 1;
}

// RCDATA resources of one pack become fallback faces; the pack stays loaded.
BOOL CALLBACK pack_resource(HMODULE module, LPCSTR, LPSTR name, LONG_PTR added)
{
    if (g_fonts.fallback_count >= FONT_MAX_FALLBACK)
        return FALSE;
    HRSRC res = FindResourceA(module, name, MAKEINTRESOURCEA(10));
    DWORD size = res ? SizeofResource(module, res) : 0;
    HGLOBAL loaded = size >= 1 ? LoadResource(module, res) : nullptr;
    const void *data = loaded ? LockResource(loaded) : nullptr;
    if (data && add_fallback(ft_face_from_memory(static_cast<const uint8_t *>(data), size), nullptr))
        ++*reinterpret_cast<int *>(added);
    return TRUE;
}

#endif

}  // namespace

bool font_program_dir(char *out, size_t size)
{
    if (size < 2)
        return false;
#ifdef _WIN32
    char path[MAX_PATH + 1] = "";
    if (!program_path_nt(path, sizeof path)) {
        DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
        if (n == 0 || n >= MAX_PATH)
            return false;
        path[n] = 0;
    }
#else
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return false;
    path[n] = 0;
#endif
    char *cut = nullptr;
    for (char *p = path; *p; p++)
        if (is_separator(*p))
            cut = p;
    if (!cut)
        return false;
    *cut = 0;
    if (std::strlen(path) + 1 > size)
        return false;
    std::strcpy(out, path);
    return true;
}

void font_dir_init()
{
    const char *env = std::getenv("PAGRIX_FONTS");
    if (env && env[0] && std::strlen(env) <= size_t(FONT_MAX_ENV_DIR)) {
        copy_path(g_fonts.fonts_dir, env);
        return;
    }
    copy_path(g_fonts.fonts_dir, "fonts");
    char dir[FONT_MAX_DIR + 1];
    if (!font_program_dir(dir, sizeof dir - 32))
        return;
#ifdef _WIN32
    const char *candidates[] = {"%s\\fonts", "%s\\..\\fonts"};
    const char *probe = "%s\\n021003l.pfb";
#else
    const char *candidates[] = {"%s/fonts", "%s/../fonts"};
    const char *probe = "%s/n021003l.pfb";
#endif
    for (const char *form : candidates) {
        char candidate[FONT_MAX_DIR + 1], file[FONT_MAX_DIR + 32];
        std::snprintf(candidate, sizeof candidate, form, dir);
        std::snprintf(file, sizeof file, probe, candidate);
        if (file_readable(file)) {
            copy_path(g_fonts.fonts_dir, candidate);
            return;
        }
    }
}

void font_set_resolver(FontResolver resolver) { g_fonts.resolver = resolver; }
void font_set_system_dir(const char *path) { copy_path(g_fonts.system_dir, path); }
const char *font_fonts_dir() { return g_fonts.fonts_dir; }
const char *font_system_dir() { return g_fonts.system_dir; }

int font_packs_scan_dir(const char *dir)
{
    size_t len = dir ? std::strlen(dir) : 0;
    if (len == 0 || len > size_t(FONT_MAX_PACK_DIR))
        return 0;
    int added = 0;
#ifdef _WIN32
    char pattern[FONT_MAX_PACK_DIR + 8];
    std::snprintf(pattern, sizeof pattern, "%s%s*.pgx", dir, dir[len - 1] == '\\' ? "" : "\\");
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(pattern, &found);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        char path[FONT_MAX_PACK_DIR + MAX_PATH + 2];
        std::snprintf(path, sizeof path, "%s%s%s", dir, dir[len - 1] == '\\' ? "" : "\\",
                      found.cFileName);
        // As a data file: a pack carries resources only, none of its code runs.
        HMODULE pack = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
        if (pack)
            EnumResourceNamesA(pack, MAKEINTRESOURCEA(10), pack_resource, LONG_PTR(&added));
    } while (g_fonts.fallback_count < FONT_MAX_FALLBACK && FindNextFileA(find, &found));
    FindClose(find);
#else
    // Without resource libraries a pack is one font file named *.pgx, read
    // whole and kept for the run.
    DIR *d = opendir(dir);
    if (!d)
        return 0;
    while (dirent *e = readdir(d)) {
        size_t n = std::strlen(e->d_name);
        if (g_fonts.fallback_count >= FONT_MAX_FALLBACK)
            break;
        if (n < 5 || std::strcmp(e->d_name + n - 4, ".pgx") != 0)
            continue;
        char path[4096];
        std::snprintf(path, sizeof path, "%s/%s", dir, e->d_name);
        struct stat st;
        if (stat(path, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 1)
            continue;
        FILE *f = std::fopen(path, "rb");
        if (!f)
            continue;
        auto *bytes = static_cast<uint8_t *>(std::malloc(size_t(st.st_size)));
        bool ok = bytes && std::fread(bytes, 1, size_t(st.st_size), f) == size_t(st.st_size);
        std::fclose(f);
        FT_Face face = ok ? ft_face_from_memory(bytes, size_t(st.st_size)) : nullptr;
        if (add_fallback(face, bytes))
            added++;
        else
            std::free(bytes);
    }
    closedir(d);
#endif
    return added;
}

int font_packs_scan()
{
    char dir[FONT_MAX_DIR + 1];
    if (font_program_dir(dir, sizeof dir))
        font_packs_scan_dir(dir);
    font_packs_scan_dir(g_fonts.system_dir);
    return g_fonts.fallback_count;
}

void font_set_subst_mode(int mode) { g_fonts.subst_mode = mode >= 0 && mode <= 2 ? mode : 0; }
int font_subst_mode() { return g_fonts.subst_mode; }

FT_Library font_freetype()
{
    if (!g_fonts.freetype && !g_fonts.freetype_failed) {
        FT_Library lib = nullptr;
        if (FT_New_Library(&g_ft_memory, &lib) == 0) {
            FT_Add_Default_Modules(lib);
            FT_Set_Default_Properties(lib);
            g_fonts.freetype = lib;
        } else {
            g_fonts.freetype_failed = true;
        }
    }
    return g_fonts.freetype;
}

FT_Face ft_face_from_memory(const uint8_t *data, size_t size)
{
    FT_Library lib = font_freetype();
    FT_Face face = nullptr;
    if (!lib || !data || size == 0 || size > size_t(0x7fffffff))
        return nullptr;
    if (FT_New_Memory_Face(lib, data, FT_Long(size), 0, &face) != 0)
        return nullptr;
    g_fonts.live_faces++;
    return face;
}

FT_Face ft_face_from_file(const char *path)
{
    FT_Library lib = font_freetype();
    FT_Face face = nullptr;
    if (!lib || FT_New_Face(lib, path, 0, &face) != 0)
        return nullptr;
    g_fonts.live_faces++;
    return face;
}

FT_Face ft_face_share(FT_Face face)
{
    if (face && FT_Reference_Face(face) == 0) {
        g_fonts.live_faces++;
        return face;
    }
    return nullptr;
}

void ft_face_release(FT_Face face)
{
    if (!face)
        return;
    // The face's cache entries go first: a face made later at the same
    // address must not find them.
    glyph_cache_purge(face);
    FT_Done_Face(face);
    g_fonts.live_faces--;
}

int ft_live_faces() { return g_fonts.live_faces; }

FT_Face font_open_base(const char *file_name)
{
    if (!file_name || !file_name[0])
        return nullptr;
    const uint8_t *data = nullptr;
    size_t size = 0;
    if (g_fonts.resolver && g_fonts.resolver(file_name, &data, &size) && data && size > 0) {
        if (FT_Face face = ft_face_from_memory(data, size))
            return face;
    }
    char path[2 * FONT_MAX_DIR + 64];
    std::snprintf(path, sizeof path, "%s/%s", g_fonts.fonts_dir, file_name);
    if (FT_Face face = ft_face_from_file(path))
        return face;
    if (g_fonts.system_dir[0]) {
        std::snprintf(path, sizeof path, "%s/%s", g_fonts.system_dir, file_name);
        return ft_face_from_file(path);
    }
    return nullptr;
}

bool fallback_glyph(uint32_t unicode, FT_Face *face, uint32_t *glyph)
{
    for (int i = 0; i < g_fonts.fallback_count; i++) {
        FT_Face f = g_fonts.fallback_faces[i];
        if (!f->charmap || f->charmap->encoding != FT_ENCODING_UNICODE) {
            if (FT_Select_Charmap(f, FT_ENCODING_UNICODE) != 0)
                continue;
        }
        FT_UInt g = FT_Get_Char_Index(f, unicode);
        if (g != 0) {
            *face = f;
            *glyph = g;
            return true;
        }
    }
    return false;
}

void font_state_reset()
{
    for (int i = 0; i < g_fonts.fallback_count; i++) {
        g_fonts.live_faces++;
        ft_face_release(g_fonts.fallback_faces[i]);
        std::free(g_fonts.fallback_bytes[i]);
        g_fonts.fallback_bytes[i] = nullptr;
    }
    g_fonts.fallback_count = 0;
    g_fonts.resolver = nullptr;
    copy_path(g_fonts.fonts_dir, "fonts");
    g_fonts.system_dir[0] = 0;
}

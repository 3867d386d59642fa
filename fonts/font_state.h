// The process-wide font sources: the fonts directory, the font library's
// resolver, the system directory and the fallback faces of font packs; the
// FreeType library; base-font substitution and the loader of base font files.
#pragma once
#include <cstddef>
#include <cstdint>

#include <ft2build.h>
#include FT_FREETYPE_H

// Looks a font file up by name ("n021003l.pfb"); on success sets the bytes
// and their size. The bytes belong to the resolver and stay valid for the
// whole run: callers neither copy nor free them.
using FontResolver = bool (*)(const char *file_name, const uint8_t **data, size_t *size);

constexpr int FONT_MAX_DIR = 511;          // bytes of the fonts and system directory paths
constexpr int FONT_MAX_ENV_DIR = 275;      // longest PAGRIX_FONTS value taken
constexpr int FONT_MAX_FALLBACK = 8;       // fallback faces taken from font packs
constexpr int FONT_MAX_PACK_DIR = 252;     // longest directory searched for font packs

// ---- Start-up, in this order ----

// fonts_dir: PAGRIX_FONTS (1..275 characters) as given, else "fonts" or
// "../fonts" beside the program when the probe file n021003l.pfb is there,
// else "fonts" relative to the current directory.
void font_dir_init();
// Installs (or with null removes) the font-file resolver of the font library.
void font_set_resolver(FontResolver resolver);
// The second directory searched for base fonts; null or "" empties it.
void font_set_system_dir(const char *path);
// Fallback faces from the font packs of the program directory, then of the
// system directory; returns the number of faces held afterwards.
int font_packs_scan();
// One directory's font packs; the number of faces added.
int font_packs_scan_dir(const char *dir);

const char *font_fonts_dir();
const char *font_system_dir();
// The program's directory without a trailing separator, or false.
bool font_program_dir(char *out, size_t size);

// ---- Substitution and base fonts ----

// One of the fourteen base font files for any font name (never null; the
// name may be empty, not null).
const char *font_substitute(const char *name);
// 0 choose by name, 1 serif, 2 sans serif; any other value stores 0.
void font_set_subst_mode(int mode);
int font_subst_mode();
// A face for a base font file: the resolver's bytes, then the file in the
// fonts directory, then in the system directory; null when none works.
FT_Face font_open_base(const char *file_name);
// The first fallback face whose Unicode charmap has the code point.
bool fallback_glyph(uint32_t unicode, FT_Face *face, uint32_t *glyph);

// ---- Faces ----

// The FreeType library, created on first use; null when that failed.
FT_Library font_freetype();
// A face over bytes that outlive it (not copied); null when FreeType rejects them.
FT_Face ft_face_from_memory(const uint8_t *data, size_t size);
FT_Face ft_face_from_file(const char *path);
// Another owner of a face made by the two calls above: each owner releases
// it once, and FreeType frees it with the last release. Returns the face.
FT_Face ft_face_share(FT_Face face);
// Releases a face made (or shared) by the calls above (null is ignored).
void ft_face_release(FT_Face face);
// Faces made and not yet released, fallback faces excluded.
int ft_live_faces();

// Tests: forget the resolver, the fallback faces and the directories, back
// to the state before start-up (the mode stays).
void font_state_reset();

// The three built-in encodings of simple PDF fonts (PDF Reference 1.7,
// appendix D) as tables of glyph names, and glyph names to Unicode (Adobe
// Glyph List values, plus the uniXXXX and uXXXX[XX] forms).
#pragma once
#include <cstdint>

enum FontEncodingId {
    FONT_ENC_STANDARD = 0,
    FONT_ENC_WINANSI = 1,
    FONT_ENC_MACROMAN = 2,
};

// 256 glyph names (null where a code has none).
const char *const *font_encoding_table(FontEncodingId id);
// The built-in encoding a PDF encoding name selects: WinAnsiEncoding,
// MacRomanEncoding, anything else StandardEncoding.
FontEncodingId font_encoding_by_name(const char *name);

// 0 for an empty or unknown name.
uint32_t glyph_name_to_unicode(const char *name);
// Size of the glyph-name table (its names, sorted byte-wise).
int glyph_name_count();
const char *glyph_name_at(int index);

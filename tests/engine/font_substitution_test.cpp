// Font substitution by name, the built-in encodings and glyph names: pure
// tables, checked against values written out here by hand.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fonts/encodings.h"
#include "fonts/font_state.h"

namespace {

struct ModeGuard {
    ~ModeGuard() { font_set_subst_mode(0); }
};

TEST(FontSubstitute, DecisionTableRowsStylesAndModes)
{
    ModeGuard guard;
    struct Row {
        int mode;
        const char *name;
        const char *file;
    } const rows[] = {
        // Row 1: Courier / Mono, four styles.
        {0, "Courier", "n022003l.pfb"},
        {0, "Courier-BoldOblique", "n022024l.pfb"},
        {0, "CourierNew,Bold", "n022004l.pfb"},
        {0, "DejaVuSansMono-Oblique", "n022023l.pfb"},
        {0, "LiberationMono", "n022003l.pfb"},
        // Mono wins over Symbol and over the serif words.
        {0, "SymbolMono", "n022003l.pfb"},
        {0, "TimesMono", "n022003l.pfb"},
        // Rows 2 and 3: one file whatever the style.
        {0, "SymbolMT", "s050000l.pfb"},
        {0, "Symbol-BoldItalic", "s050000l.pfb"},
        {0, "ZapfDingbats", "d050000l.pfb"},
        {0, "ITCZapfD-Bold", "d050000l.pfb"},
        {0, "Wingdings-Dingbats", "d050000l.pfb"},
        // Row 6: serif words.
        {0, "Times-Roman", "n021003l.pfb"},
        {0, "TimesNewRomanPS-ItalicMT", "n021023l.pfb"},
        {0, "Georgia-BoldItalic", "n021024l.pfb"},
        {0, "AGaramondPro-Bold", "n021004l.pfb"},
        {0, "BookAntiqua", "n021003l.pfb"},
        {0, "NotoSerif-Italic", "n021023l.pfb"},
        {0, "DroidSerif", "n021003l.pfb"},
        // "Serif" inside "Sans Serif" names a sans family.
        {0, "MicrosoftSansSerif", "n019003l.pfb"},
        {0, "PTSans-Serif,Bold", "n019004l.pfb"},
        {0, "Sans_Serif", "n019003l.pfb"},
        {0, "SansSerifCollection", "n019003l.pfb"},
        // ...but a later serif word still counts.
        {0, "SansSerif-Times", "n021003l.pfb"},
        // Row 7: everything else is sans serif.
        {0, "Arial,BoldItalic", "n019024l.pfb"},
        {0, "Helvetica-Oblique", "n019023l.pfb"},
        {0, "Verdana", "n019003l.pfb"},
        {0, "", "n019003l.pfb"},
        // Case folds only A-Z: "BOLD" and "times" match.
        {0, "ARIAL-BOLD", "n019004l.pfb"},
        {0, "times", "n021003l.pfb"},
        // Subset tag: six letters and "+" skipped, the rest tested.
        {0, "ABCDEF+Arial-BoldMT", "n019004l.pfb"},
        {0, "ABCDEF+Times-Bold", "n021004l.pfb"},
        // "+" elsewhere: the whole name is tested; "TimesX+" then counts as serif.
        {0, "Times+AB-Arial", "n021003l.pfb"},
        {0, "ABCDE+Arial", "n019003l.pfb"},
        // Exactly 7 bytes with "+" last: not a tag (the name must be longer).
        {0, "Timesa+", "n021003l.pfb"},
        // Mode 1: every non-symbol, non-monospaced font is serif.
        {1, "Arial-BoldMT", "n021004l.pfb"},
        {1, "Helvetica-Oblique", "n021023l.pfb"},
        {1, "Courier", "n022003l.pfb"},
        {1, "Symbol", "s050000l.pfb"},
        {1, "ZapfDingbats", "d050000l.pfb"},
        // Mode 2: every non-symbol, non-monospaced font is sans serif.
        {2, "Times-Roman", "n019003l.pfb"},
        {2, "Times-BoldItalic", "n019024l.pfb"},
        {2, "Courier", "n022003l.pfb"},
        {2, "Symbol", "s050000l.pfb"},
        {2, "ZapfDingbats", "d050000l.pfb"},
    };
    for (const Row &r : rows) {
        font_set_subst_mode(r.mode);
        EXPECT_STREQ(font_substitute(r.name), r.file) << "mode " << r.mode << ": " << r.name;
    }
    // A mode outside 0..2 is stored as 0.
    font_set_subst_mode(7);
    EXPECT_EQ(font_subst_mode(), 0);
    EXPECT_STREQ(font_substitute("Arial"), "n019003l.pfb");
    font_set_subst_mode(-1);
    EXPECT_EQ(font_subst_mode(), 0);
}

TEST(FontEncodings, TableSizesAndTheFixedExceptions)
{
    struct Row {
        FontEncodingId id;
        int names;
    } const rows[] = {
        {FONT_ENC_STANDARD, 149},
        {FONT_ENC_WINANSI, 218},
        {FONT_ENC_MACROMAN, 223},
    };
    for (const Row &r : rows) {
        const char *const *t = font_encoding_table(r.id);
        int n = 0;
        for (int c = 0; c < 256; c++) {
            if (!t[c])
                continue;
            n++;
            // Every name of every table is in the glyph-name table.
            EXPECT_NE(glyph_name_to_unicode(t[c]), 0u) << t[c];
            EXPECT_FALSE(c < 0x20 || c == 0x7F) << "control code " << c;
        }
        EXPECT_EQ(n, r.names) << "encoding " << r.id;
    }
    struct Code {
        FontEncodingId id;
        int code;
        const char *name;  // null: no name
    } const codes[] = {
        {FONT_ENC_STANDARD, 0x27, "quoteright"},
        {FONT_ENC_STANDARD, 0x60, "quoteleft"},
        {FONT_ENC_STANDARD, 0xA4, "fraction"},
        {FONT_ENC_STANDARD, 0xFB, "germandbls"},
        {FONT_ENC_STANDARD, 0xC9, nullptr},
        {FONT_ENC_WINANSI, 0x27, "quotesingle"},
        {FONT_ENC_WINANSI, 0x80, "Euro"},
        {FONT_ENC_WINANSI, 0x81, nullptr},
        {FONT_ENC_WINANSI, 0x8D, nullptr},
        {FONT_ENC_WINANSI, 0x8F, nullptr},
        {FONT_ENC_WINANSI, 0x90, nullptr},
        {FONT_ENC_WINANSI, 0x9D, nullptr},
        {FONT_ENC_WINANSI, 0xA0, "space"},
        {FONT_ENC_WINANSI, 0xAD, "hyphen"},
        {FONT_ENC_WINANSI, 0xFF, "ydieresis"},
        {FONT_ENC_MACROMAN, 0x80, "Adieresis"},
        {FONT_ENC_MACROMAN, 0xBD, "Omega"},
        {FONT_ENC_MACROMAN, 0xCA, "space"},
        {FONT_ENC_MACROMAN, 0xDB, "currency"},
        {FONT_ENC_MACROMAN, 0xF0, "apple"},
        {FONT_ENC_MACROMAN, 0xC6, "Delta"},
    };
    for (const Code &c : codes) {
        const char *got = font_encoding_table(c.id)[c.code];
        if (!c.name)
            EXPECT_EQ(got, nullptr) << c.id << " " << c.code;
        else
            EXPECT_STREQ(got ? got : "(none)", c.name) << c.id << " " << c.code;
    }
    EXPECT_EQ(font_encoding_by_name("WinAnsiEncoding"), FONT_ENC_WINANSI);
    EXPECT_EQ(font_encoding_by_name("MacRomanEncoding"), FONT_ENC_MACROMAN);
    EXPECT_EQ(font_encoding_by_name("MacExpertEncoding"), FONT_ENC_STANDARD);
    EXPECT_EQ(font_encoding_by_name(nullptr), FONT_ENC_STANDARD);
}

TEST(FontEncodings, GlyphNamesToUnicode)
{
    // The table: 249 names in byte-wise order (binary search depends on it).
    ASSERT_EQ(glyph_name_count(), 249);
    for (int i = 1; i < glyph_name_count(); i++)
        EXPECT_LT(std::strcmp(glyph_name_at(i - 1), glyph_name_at(i)), 0) << glyph_name_at(i);
    struct Row {
        const char *name;
        uint32_t unicode;
    } const rows[] = {
        {"A", 0x41},
        {"Omega", 0x2126},
        {"Delta", 0x2206},
        {"dotlessi", 0x131},
        {"Idotaccent", 0x130},
        {"Gbreve", 0x11E},
        {"scedilla", 0x15F},
        {"Euro", 0x20AC},
        {"apple", 0xF8FF},
        {"fi", 0xFB01},
        {"minus", 0x2212},
        // Names beyond the encodings' (embedded TeX fonts use them).
        {"Alpha", 0x391},
        {"Gamma", 0x393},
        {"alpha", 0x3B1},
        {"omega", 0x3C9},
        {"arrowright", 0x2192},
        {"zeta", 0x3B6},
        {"ffi", 0xFB03},
        {"mu", 0xB5},
        {"space", 0x20},
        {"zcaron", 0x17E},
        {"uni00E9", 0xE9},
        {"uni20ac", 0x20AC},
        {"u1F600", 0x1F600},
        {"u10FFFF", 0x10FFFF},
        {"u00E9", 0xE9},
        {"uniE9", 0},           // two digits
        {"uni00E9.alt", 0},     // must end after the digits
        {"uni00E90000", 0},     // more than six digits
        {"u12", 0},
        {"uacute", 0xFA},       // starts with "u", found in the table
        {"underscore", 0x5F},
        {"ring.alt", 0},
        {"Aring", 0xC5},
        {"a123", 0},
        {"", 0},
    };
    for (const Row &r : rows)
        EXPECT_EQ(glyph_name_to_unicode(r.name), r.unicode) << r.name;
    EXPECT_EQ(glyph_name_to_unicode(nullptr), 0u);
}

}  // namespace

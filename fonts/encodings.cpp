// Built-in encodings and the glyph-name table. The encodings are the
// standard Latin tables of the PDF Reference (appendix D), except that
// WinAnsi 0xA0 and 0xAD read "space" and "hyphen", and MacRoman 0xCA, 0xDB
// and 0xBD read "space", "currency" and "Omega"; the Unicode values are
// those of the Adobe Glyph List.
#include "fonts/encodings.h"

#include <cstring>

#include "pdf/object.h"

namespace {

struct GlyphNameEntry {
    const char *name;
    uint32_t unicode;
};

const char *const kStandardEncoding[256] = {
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,  // 0x00
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,  // 0x08
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,  // 0x10
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,  // 0x18
    "space", "exclam", "quotedbl", "numbersign", "dollar", "percent", "ampersand", "quoteright",  // 0x20
    "parenleft", "parenright", "asterisk", "plus", "comma", "hyphen", "period", "slash",  // 0x28
    "zero", "one", "two", "three", "four", "five", "six", "seven",  // 0x30
    "eight", "nine", "colon", "semicolon", "less", "equal", "greater", "question",  // 0x38
    "at", "A", "B", "C", "D", "E", "F", "G",  // 0x40
    "H", "I", "J", "K", "L", "M", "N", "O",  // 0x48
    "P", "Q", "R", "S", "T", "U", "V", "W",  // 0x50
    "X", "Y", "Z", "bracketleft", "backslash", "bracketright", "asciicircum", "underscore",  // 0x58
    "quoteleft", "a", "b", "c", "d", "e", "f", "g",  // 0x60
    "h", "i", "j", "k", "l", "m", "n", "o",  // 0x68
    "p", "q", "r", "s", "t", "u", "v", "w",  // 0x70
    "x", "y", "z", "braceleft", "bar", "braceright", "asciitilde", nullptr,  // 0x78
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,  // 0x80
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,  // 0x88
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,  // 0x90
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,  // 0x98
    nullptr, "exclamdown", "cent", "sterling", "fraction", "yen", "florin", "section",  // 0xA0
    "currency", "quotesingle", "quotedblleft", "guillemotleft", "guilsinglleft", "guilsinglright", "fi", "fl",  // 0xA8
    nullptr, "endash", "dagger", "daggerdbl", "periodcentered", nullptr, "paragraph", "bullet",  // 0xB0
    "quotesinglbase", "quotedblbase", "quotedblright", "guillemotright", "ellipsis", "perthousand", nullptr, "questiondown",  // 0xB8
    nullptr, "grave", "acute", "circumflex", "tilde", "macron", "breve", "dotaccent",  // 0xC0
    "dieresis", nullptr, "ring", "cedilla", nullptr, "hungarumlaut", "ogonek", "caron",  // 0xC8
    "emdash", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,  // 0xD0
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,  // 0xD8
    nullptr, "AE", nullptr, "ordfeminine", nullptr, nullptr, nullptr, nullptr,  // 0xE0
    "Lslash", "Oslash", "OE", "ordmasculine", nullptr, nullptr, nullptr, nullptr,  // 0xE8
    nullptr, "ae", nullptr, nullptr, nullptr, "dotlessi", nullptr, nullptr,  // 0xF0
    "lslash", "oslash", "oe", "germandbls", nullptr, nullptr, nullptr, nullptr,  // 0xF8
};

const char *const kWinAnsiEncoding[256] = {
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,  // 0x00
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,  // 0x08
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,  // 0x10
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,  // 0x18
    "space", "exclam", "quotedbl", "numbersign", "dollar", "percent", "ampersand", "quotesingle",  // 0x20
    "parenleft", "parenright", "asterisk", "plus", "comma", "hyphen", "period", "slash",  // 0x28
    "zero", "one", "two", "three", "four", "five", "six", "seven",  // 0x30
    "eight", "nine", "colon", "semicolon", "less", "equal", "greater", "question",  // 0x38
    "at", "A", "B", "C", "D", "E", "F", "G",  // 0x40
    "H", "I", "J", "K", "L", "M", "N", "O",  // 0x48
    "P", "Q", "R", "S", "T", "U", "V", "W",  // 0x50
    "X", "Y", "Z", "bracketleft", "backslash", "bracketright", "asciicircum", "underscore",  // 0x58
    "grave", "a", "b", "c", "d", "e", "f", "g",  // 0x60
    "h", "i", "j", "k", "l", "m", "n", "o",  // 0x68
    "p", "q", "r", "s", "t", "u", "v", "w",  // 0x70
    "x", "y", "z", "braceleft", "bar", "braceright", "asciitilde", nullptr,  // 0x78
    "Euro", nullptr, "quotesinglbase", "florin", "quotedblbase", "ellipsis", "dagger", "daggerdbl",  // 0x80
    "circumflex", "perthousand", "Scaron", "guilsinglleft", "OE", nullptr, "Zcaron", nullptr,  // 0x88
    nullptr, "quoteleft", "quoteright", "quotedblleft", "quotedblright", "bullet", "endash", "emdash",  // 0x90
    "tilde", "trademark", "scaron", "guilsinglright", "oe", nullptr, "zcaron", "Ydieresis",  // 0x98
    "space", "exclamdown", "cent", "sterling", "currency", "yen", "brokenbar", "section",  // 0xA0
    "dieresis", "copyright", "ordfeminine", "guillemotleft", "logicalnot", "hyphen", "registered", "macron",  // 0xA8
    "degree", "plusminus", "twosuperior", "threesuperior", "acute", "mu", "paragraph", "periodcentered",  // 0xB0
    "cedilla", "onesuperior", "ordmasculine", "guillemotright", "onequarter", "onehalf", "threequarters", "questiondown",  // 0xB8
    "Agrave", "Aacute", "Acircumflex", "Atilde", "Adieresis", "Aring", "AE", "Ccedilla",  // 0xC0
    "Egrave", "Eacute", "Ecircumflex", "Edieresis", "Igrave", "Iacute", "Icircumflex", "Idieresis",  // 0xC8
    "Eth", "Ntilde", "Ograve", "Oacute", "Ocircumflex", "Otilde", "Odieresis", "multiply",  // 0xD0
    "Oslash", "Ugrave", "Uacute", "Ucircumflex", "Udieresis", "Yacute", "Thorn", "germandbls",  // 0xD8
    "agrave", "aacute", "acircumflex", "atilde", "adieresis", "aring", "ae", "ccedilla",  // 0xE0
    "egrave", "eacute", "ecircumflex", "edieresis", "igrave", "iacute", "icircumflex", "idieresis",  // 0xE8
    "eth", "ntilde", "ograve", "oacute", "ocircumflex", "otilde", "odieresis", "divide",  // 0xF0
    "oslash", "ugrave", "uacute", "ucircumflex", "udieresis", "yacute", "thorn", "ydieresis",  // 0xF8
};

const char *const kMacRomanEncoding[256] = {
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,  // 0x00
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,  // 0x08
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,  // 0x10
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,  // 0x18
    "space", "exclam", "quotedbl", "numbersign", "dollar", "percent", "ampersand", "quotesingle",  // 0x20
    "parenleft", "parenright", "asterisk", "plus", "comma", "hyphen", "period", "slash",  // 0x28
    "zero", "one", "two", "three", "four", "five", "six", "seven",  // 0x30
    "eight", "nine", "colon", "semicolon", "less", "equal", "greater", "question",  // 0x38
    "at", "A", "B", "C", "D", "E", "F", "G",  // 0x40
    "H", "I", "J", "K", "L", "M", "N", "O",  // 0x48
    "P", "Q", "R", "S", "T", "U", "V", "W",  // 0x50
    "X", "Y", "Z", "bracketleft", "backslash", "bracketright", "asciicircum", "underscore",  // 0x58
    "grave", "a", "b", "c", "d", "e", "f", "g",  // 0x60
    "h", "i", "j", "k", "l", "m", "n", "o",  // 0x68
    "p", "q", "r", "s", "t", "u", "v", "w",  // 0x70
    "x", "y", "z", "braceleft", "bar", "braceright", "asciitilde", nullptr,  // 0x78
    "Adieresis", "Aring", "Ccedilla", "Eacute", "Ntilde", "Odieresis", "Udieresis", "aacute",  // 0x80
    "agrave", "acircumflex", "adieresis", "atilde", "aring", "ccedilla", "eacute", "egrave",  // 0x88
    "ecircumflex", "edieresis", "iacute", "igrave", "icircumflex", "idieresis", "ntilde", "oacute",  // 0x90
    "ograve", "ocircumflex", "odieresis", "otilde", "uacute", "ugrave", "ucircumflex", "udieresis",  // 0x98
    "dagger", "degree", "cent", "sterling", "section", "bullet", "paragraph", "germandbls",  // 0xA0
    "registered", "copyright", "trademark", "acute", "dieresis", "notequal", "AE", "Oslash",  // 0xA8
    "infinity", "plusminus", "lessequal", "greaterequal", "yen", "mu", "partialdiff", "summation",  // 0xB0
    "product", "pi", "integral", "ordfeminine", "ordmasculine", "Omega", "ae", "oslash",  // 0xB8
    "questiondown", "exclamdown", "logicalnot", "radical", "florin", "approxequal", "Delta", "guillemotleft",  // 0xC0
    "guillemotright", "ellipsis", "space", "Agrave", "Atilde", "Otilde", "OE", "oe",  // 0xC8
    "endash", "emdash", "quotedblleft", "quotedblright", "quoteleft", "quoteright", "divide", "lozenge",  // 0xD0
    "ydieresis", "Ydieresis", "fraction", "currency", "guilsinglleft", "guilsinglright", "fi", "fl",  // 0xD8
    "daggerdbl", "periodcentered", "quotesinglbase", "quotedblbase", "perthousand", "Acircumflex", "Ecircumflex", "Aacute",  // 0xE0
    "Edieresis", "Egrave", "Iacute", "Icircumflex", "Idieresis", "Igrave", "Oacute", "Ocircumflex",  // 0xE8
    "apple", "Ograve", "Uacute", "Ucircumflex", "Ugrave", "dotlessi", "circumflex", "tilde",  // 0xF0
    "macron", "breve", "dotaccent", "ring", "cedilla", "hungarumlaut", "ogonek", "caron",  // 0xF8
};

const GlyphNameEntry kGlyphNames[249] = {
    {"A", 0x0041}, {"AE", 0x00C6}, {"Aacute", 0x00C1}, {"Acircumflex", 0x00C2},
    {"Adieresis", 0x00C4}, {"Agrave", 0x00C0}, {"Aring", 0x00C5}, {"Atilde", 0x00C3}, {"B", 0x0042},
    {"C", 0x0043}, {"Ccedilla", 0x00C7}, {"D", 0x0044}, {"Delta", 0x2206}, {"E", 0x0045},
    {"Eacute", 0x00C9}, {"Ecircumflex", 0x00CA}, {"Edieresis", 0x00CB}, {"Egrave", 0x00C8},
    {"Eth", 0x00D0}, {"Euro", 0x20AC}, {"F", 0x0046}, {"G", 0x0047}, {"Gbreve", 0x011E},
    {"H", 0x0048}, {"I", 0x0049}, {"Iacute", 0x00CD}, {"Icircumflex", 0x00CE},
    {"Idieresis", 0x00CF}, {"Idotaccent", 0x0130}, {"Igrave", 0x00CC}, {"J", 0x004A}, {"K", 0x004B},
    {"L", 0x004C}, {"Lslash", 0x0141}, {"M", 0x004D}, {"N", 0x004E}, {"Ntilde", 0x00D1},
    {"O", 0x004F}, {"OE", 0x0152}, {"Oacute", 0x00D3}, {"Ocircumflex", 0x00D4},
    {"Odieresis", 0x00D6}, {"Ograve", 0x00D2}, {"Omega", 0x2126}, {"Oslash", 0x00D8},
    {"Otilde", 0x00D5}, {"P", 0x0050}, {"Q", 0x0051}, {"R", 0x0052}, {"S", 0x0053},
    {"Scaron", 0x0160}, {"Scedilla", 0x015E}, {"T", 0x0054}, {"Thorn", 0x00DE}, {"U", 0x0055},
    {"Uacute", 0x00DA}, {"Ucircumflex", 0x00DB}, {"Udieresis", 0x00DC}, {"Ugrave", 0x00D9},
    {"V", 0x0056}, {"W", 0x0057}, {"X", 0x0058}, {"Y", 0x0059}, {"Yacute", 0x00DD},
    {"Ydieresis", 0x0178}, {"Z", 0x005A}, {"Zcaron", 0x017D}, {"a", 0x0061}, {"aacute", 0x00E1},
    {"acircumflex", 0x00E2}, {"acute", 0x00B4}, {"adieresis", 0x00E4}, {"ae", 0x00E6},
    {"agrave", 0x00E0}, {"ampersand", 0x0026}, {"apple", 0xF8FF}, {"approxequal", 0x2248},
    {"aring", 0x00E5}, {"asciicircum", 0x005E}, {"asciitilde", 0x007E}, {"asterisk", 0x002A},
    {"at", 0x0040}, {"atilde", 0x00E3}, {"b", 0x0062}, {"backslash", 0x005C}, {"bar", 0x007C},
    {"braceleft", 0x007B}, {"braceright", 0x007D}, {"bracketleft", 0x005B},
    {"bracketright", 0x005D}, {"breve", 0x02D8}, {"brokenbar", 0x00A6}, {"bullet", 0x2022},
    {"c", 0x0063}, {"caron", 0x02C7}, {"ccedilla", 0x00E7}, {"cedilla", 0x00B8}, {"cent", 0x00A2},
    {"circumflex", 0x02C6}, {"colon", 0x003A}, {"comma", 0x002C}, {"copyright", 0x00A9},
    {"currency", 0x00A4}, {"d", 0x0064}, {"dagger", 0x2020}, {"daggerdbl", 0x2021},
    {"degree", 0x00B0}, {"dieresis", 0x00A8}, {"divide", 0x00F7}, {"dollar", 0x0024},
    {"dotaccent", 0x02D9}, {"dotlessi", 0x0131}, {"e", 0x0065}, {"eacute", 0x00E9},
    {"ecircumflex", 0x00EA}, {"edieresis", 0x00EB}, {"egrave", 0x00E8}, {"eight", 0x0038},
    {"ellipsis", 0x2026}, {"emdash", 0x2014}, {"endash", 0x2013}, {"equal", 0x003D},
    {"eth", 0x00F0}, {"exclam", 0x0021}, {"exclamdown", 0x00A1}, {"f", 0x0066}, {"fi", 0xFB01},
    {"five", 0x0035}, {"fl", 0xFB02}, {"florin", 0x0192}, {"four", 0x0034}, {"fraction", 0x2044},
    {"g", 0x0067}, {"gbreve", 0x011F}, {"germandbls", 0x00DF}, {"grave", 0x0060},
    {"greater", 0x003E}, {"greaterequal", 0x2265}, {"guillemotleft", 0x00AB},
    {"guillemotright", 0x00BB}, {"guilsinglleft", 0x2039}, {"guilsinglright", 0x203A},
    {"h", 0x0068}, {"hungarumlaut", 0x02DD}, {"hyphen", 0x002D}, {"i", 0x0069}, {"iacute", 0x00ED},
    {"icircumflex", 0x00EE}, {"idieresis", 0x00EF}, {"igrave", 0x00EC}, {"infinity", 0x221E},
    {"integral", 0x222B}, {"j", 0x006A}, {"k", 0x006B}, {"l", 0x006C}, {"less", 0x003C},
    {"lessequal", 0x2264}, {"logicalnot", 0x00AC}, {"lozenge", 0x25CA}, {"lslash", 0x0142},
    {"m", 0x006D}, {"macron", 0x00AF}, {"minus", 0x2212}, {"mu", 0x00B5}, {"multiply", 0x00D7},
    {"n", 0x006E}, {"nine", 0x0039}, {"notequal", 0x2260}, {"ntilde", 0x00F1},
    {"numbersign", 0x0023}, {"o", 0x006F}, {"oacute", 0x00F3}, {"ocircumflex", 0x00F4},
    {"odieresis", 0x00F6}, {"oe", 0x0153}, {"ogonek", 0x02DB}, {"ograve", 0x00F2}, {"one", 0x0031},
    {"onehalf", 0x00BD}, {"onequarter", 0x00BC}, {"onesuperior", 0x00B9}, {"ordfeminine", 0x00AA},
    {"ordmasculine", 0x00BA}, {"oslash", 0x00F8}, {"otilde", 0x00F5}, {"p", 0x0070},
    {"paragraph", 0x00B6}, {"parenleft", 0x0028}, {"parenright", 0x0029}, {"partialdiff", 0x2202},
    {"percent", 0x0025}, {"period", 0x002E}, {"periodcentered", 0x00B7}, {"perthousand", 0x2030},
    {"pi", 0x03C0}, {"plus", 0x002B}, {"plusminus", 0x00B1}, {"product", 0x220F}, {"q", 0x0071},
    {"question", 0x003F}, {"questiondown", 0x00BF}, {"quotedbl", 0x0022}, {"quotedblbase", 0x201E},
    {"quotedblleft", 0x201C}, {"quotedblright", 0x201D}, {"quoteleft", 0x2018},
    {"quoteright", 0x2019}, {"quotesinglbase", 0x201A}, {"quotesingle", 0x0027}, {"r", 0x0072},
    {"radical", 0x221A}, {"registered", 0x00AE}, {"ring", 0x02DA}, {"s", 0x0073},
    {"scaron", 0x0161}, {"scedilla", 0x015F}, {"section", 0x00A7}, {"semicolon", 0x003B},
    {"seven", 0x0037}, {"six", 0x0036}, {"slash", 0x002F}, {"space", 0x0020}, {"sterling", 0x00A3},
    {"summation", 0x2211}, {"t", 0x0074}, {"thorn", 0x00FE}, {"three", 0x0033},
    {"threequarters", 0x00BE}, {"threesuperior", 0x00B3}, {"tilde", 0x02DC}, {"trademark", 0x2122},
    {"two", 0x0032}, {"twosuperior", 0x00B2}, {"u", 0x0075}, {"uacute", 0x00FA},
    {"ucircumflex", 0x00FB}, {"udieresis", 0x00FC}, {"ugrave", 0x00F9}, {"underscore", 0x005F},
    {"v", 0x0076}, {"w", 0x0077}, {"x", 0x0078}, {"y", 0x0079}, {"yacute", 0x00FD},
    {"ydieresis", 0x00FF}, {"yen", 0x00A5}, {"z", 0x007A}, {"zcaron", 0x017E}, {"zero", 0x0030},
};

constexpr int kGlyphNameCount = int(sizeof kGlyphNames / sizeof kGlyphNames[0]);

// Names the encodings above never use but embedded fonts do, above all
// TeX's: Greek letters, mathematical symbols, ligatures. Sorted by name.
const GlyphNameEntry kMoreGlyphNames[] = {
    {"Alpha", 0x0391}, {"Beta", 0x0392}, {"Chi", 0x03A7}, {"Epsilon", 0x0395},
    {"Eta", 0x0397}, {"Gamma", 0x0393}, {"Ifraktur", 0x2111}, {"Iota", 0x0399},
    {"Kappa", 0x039A}, {"Lambda", 0x039B}, {"Mu", 0x039C}, {"Nu", 0x039D},
    {"Omicron", 0x039F}, {"Phi", 0x03A6}, {"Pi", 0x03A0}, {"Psi", 0x03A8},
    {"Rfraktur", 0x211C}, {"Rho", 0x03A1}, {"Sigma", 0x03A3}, {"Tau", 0x03A4},
    {"Theta", 0x0398}, {"Upsilon", 0x03A5}, {"Xi", 0x039E}, {"Zeta", 0x0396},
    {"aleph", 0x2135}, {"alpha", 0x03B1}, {"angle", 0x2220}, {"angleleft", 0x27E8},
    {"angleright", 0x27E9}, {"arrowboth", 0x2194}, {"arrowdblboth", 0x21D4}, {"arrowdblleft", 0x21D0},
    {"arrowdblright", 0x21D2}, {"arrowdown", 0x2193}, {"arrowleft", 0x2190}, {"arrowright", 0x2192},
    {"arrowup", 0x2191}, {"asteriskmath", 0x2217}, {"beta", 0x03B2}, {"chi", 0x03C7},
    {"circlemultiply", 0x2297}, {"circleplus", 0x2295}, {"club", 0x2663}, {"delta", 0x03B4},
    {"diamond", 0x2662}, {"dotlessj", 0x0237}, {"dotmath", 0x22C5}, {"element", 0x2208},
    {"emptyset", 0x2205}, {"epsilon", 0x03B5}, {"epsilon1", 0x03F5}, {"equivalence", 0x2261},
    {"eta", 0x03B7}, {"existential", 0x2203}, {"ff", 0xFB00}, {"ffi", 0xFB03},
    {"ffl", 0xFB04}, {"gamma", 0x03B3}, {"gradient", 0x2207}, {"heart", 0x2661},
    {"intersection", 0x2229}, {"iota", 0x03B9}, {"kappa", 0x03BA}, {"lambda", 0x03BB},
    {"logicaland", 0x2227}, {"logicalor", 0x2228}, {"minute", 0x2032}, {"nabla", 0x2207},
    {"notelement", 0x2209}, {"nu", 0x03BD}, {"omega", 0x03C9}, {"omega1", 0x03D6},
    {"omicron", 0x03BF}, {"openbullet", 0x25E6}, {"perpendicular", 0x22A5}, {"phi", 0x03C6},
    {"phi1", 0x03D5}, {"pi1", 0x03D6}, {"prime", 0x2032}, {"propersubset", 0x2282},
    {"propersuperset", 0x2283}, {"proportional", 0x221D}, {"psi", 0x03C8}, {"reflexsubset", 0x2286},
    {"reflexsuperset", 0x2287}, {"rho", 0x03C1}, {"rho1", 0x03F1}, {"second", 0x2033},
    {"sigma", 0x03C3}, {"sigma1", 0x03C2}, {"similar", 0x223C}, {"spade", 0x2660},
    {"tau", 0x03C4}, {"therefore", 0x2234}, {"theta", 0x03B8}, {"theta1", 0x03D1},
    {"union", 0x222A}, {"universal", 0x2200}, {"upsilon", 0x03C5}, {"weierstrass", 0x2118},
    {"xi", 0x03BE}, {"zeta", 0x03B6},
};

constexpr int kMoreGlyphNameCount = int(sizeof kMoreGlyphNames / sizeof kMoreGlyphNames[0]);

// "uniXXXX" / "uXXXX[XX]": 4 to 6 hex digits that end the name; else -1.
int64_t unicode_name_value(const char *digits)
{
    int64_t value = 0;
    int n = 0;
    while (n < 6 && pdf_hex_value(uint8_t(digits[n])) >= 0) {
        value = value * 16 + pdf_hex_value(uint8_t(digits[n]));
        n++;
    }
    if (n < 4 || digits[n] != 0)
        return -1;
    return value;
}

// Binary search of a table sorted by name (strcmp order); 0 = not there.
uint32_t find_glyph_name(const GlyphNameEntry *table, int count, const char *name)
{
    int lo = 0, hi = count - 1;
    while (lo <= hi) {
        int mid = (lo + hi) / 2;
        int c = std::strcmp(table[mid].name, name);
        if (c == 0)
            return table[mid].unicode;
        if (c < 0)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    return 0;
}

}  // namespace

const char *const *font_encoding_table(FontEncodingId id)
{
    switch (id) {
    case FONT_ENC_WINANSI: return kWinAnsiEncoding;
    case FONT_ENC_MACROMAN: return kMacRomanEncoding;
    default: return kStandardEncoding;
    }
}

FontEncodingId font_encoding_by_name(const char *name)
{
    if (name && std::strcmp(name, "WinAnsiEncoding") == 0)
        return FONT_ENC_WINANSI;
    if (name && std::strcmp(name, "MacRomanEncoding") == 0)
        return FONT_ENC_MACROMAN;
    return FONT_ENC_STANDARD;
}

uint32_t glyph_name_to_unicode(const char *name)
{
    if (!name || !name[0])
        return 0;
    if (name[0] == 'u') {
        const char *digits = std::strncmp(name, "uni", 3) == 0 ? name + 3 : name + 1;
        int64_t v = unicode_name_value(digits);
        if (v >= 0)
            return uint32_t(v);
    }
    if (uint32_t u = find_glyph_name(kGlyphNames, kGlyphNameCount, name))
        return u;
    return find_glyph_name(kMoreGlyphNames, kMoreGlyphNameCount, name);
}

int glyph_name_count() { return kGlyphNameCount; }
const char *glyph_name_at(int index)
{
    return index >= 0 && index < kGlyphNameCount ? kGlyphNames[index].name : nullptr;
}

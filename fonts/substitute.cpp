// Substitution: any font name maps to one of the fourteen base font files by
// family words in the name and the substitution mode.
#include <cstring>

#include "fonts/font_state.h"

namespace {

char fold(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool matches_at(const char *name, size_t at, const char *word)
{
    for (size_t k = 0; word[k]; k++)
        if (fold(name[at + k]) != fold(word[k]))
            return false;
    return true;
}

// Substring test in which only A-Z are folded; other bytes compare exactly.
bool contains(const char *name, const char *word)
{
    size_t n = std::strlen(name), w = std::strlen(word);
    for (size_t i = 0; i + w <= n; i++)
        if (matches_at(name, i, word))
            return true;
    return false;
}

// "Serif" names a serif face unless it ends "Sans Serif" ("SansSerif",
// "Sans-Serif", "Sans_Serif"): those families have no serifs at all.
bool contains_serif(const char *name)
{
    size_t n = std::strlen(name);
    for (size_t i = 0; i + 5 <= n; i++) {
        if (!matches_at(name, i, "Serif"))
            continue;
        size_t j = i;
        if (j > 0 && (name[j - 1] == ' ' || name[j - 1] == '-' || name[j - 1] == '_'))
            j--;
        if (j >= 4 && matches_at(name, j - 4, "Sans"))
            continue;
        return true;
    }
    return false;
}

bool contains_any(const char *name, const char *const *words)
{
    for (; *words; words++)
        if (contains(name, *words))
            return true;
    return false;
}

// A family's four styles: bold and italic, bold, italic, neither.
struct Family {
    const char *styles[4];
};

const Family kMono = {{"n022024l.pfb", "n022004l.pfb", "n022023l.pfb", "n022003l.pfb"}};
const Family kSerif = {{"n021024l.pfb", "n021004l.pfb", "n021023l.pfb", "n021003l.pfb"}};
const Family kSans = {{"n019024l.pfb", "n019004l.pfb", "n019023l.pfb", "n019003l.pfb"}};

const char *const kMonoWords[] = {"Courier", "Mono", nullptr};
const char *const kDingbatWords[] = {"Dingbat", "ZapfD", nullptr};
const char *const kSerifWords[] = {"Times", "Roman", "Georgia", "Garamond", "Book", nullptr};
const char *const kItalicWords[] = {"Italic", "Oblique", nullptr};

}  // namespace

const char *font_substitute(const char *name)
{
    if (!name)
        name = "";
    // A subset tag: six letters and a plus sign before the real name.
    if (std::strlen(name) > 7 && name[6] == '+')
        name += 7;
    const bool bold = contains(name, "Bold");
    const bool italic = contains_any(name, kItalicWords);
    const int style = bold && italic ? 0 : bold ? 1 : italic ? 2 : 3;
    if (contains_any(name, kMonoWords))
        return kMono.styles[style];
    if (contains(name, "Symbol"))
        return "s050000l.pfb";
    if (contains_any(name, kDingbatWords))
        return "d050000l.pfb";
    switch (font_subst_mode()) {
    case 1: return kSerif.styles[style];
    case 2: return kSans.styles[style];
    }
    if (contains_any(name, kSerifWords) || contains_serif(name))
        return kSerif.styles[style];
    return kSans.styles[style];
}

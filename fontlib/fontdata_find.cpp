// Lookup in the built-in base fonts, by the rules of the font library.
#include <cstring>

#include "fontlib/fontdata.h"

namespace {

constexpr int kMaxBaseName = 63;  // characters of a name kept before the lookup

char upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

}  // namespace

bool fontdata_find(const char *file_name, const uint8_t **data, size_t *size)
{
    if (!file_name)
        return false;
    char key[kMaxBaseName + 1];
    int n = 0;
    while (n < kMaxBaseName && file_name[n] && file_name[n] != '.') {
        key[n] = upper(file_name[n]);
        n++;
    }
    key[n] = 0;
    for (const FontDataEntry *e = kFontData; e->name; e++) {
        if (std::strcmp(e->name, key) == 0 && e->size > 0) {
            *data = e->data;
            *size = e->size;
            return true;
        }
    }
    return false;
}

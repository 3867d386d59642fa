// The 35 base fonts built into a program, for platforms without resource
// libraries: the same lookup as the font library's resolver (by base name,
// ignoring case, bytes returned without copying and valid for the whole run).
#pragma once
#include <cstddef>
#include <cstdint>

struct FontDataEntry {
    const char *name;     // upper-case base name, "N021003L"
    const uint8_t *data;  // the PFB file
    size_t size;
};

extern const FontDataEntry kFontData[];  // ends with a null name

// The resolver: the name is cut at its first "." and to 63 characters.
bool fontdata_find(const char *file_name, const uint8_t **data, size_t *size);

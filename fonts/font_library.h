// The font library pagrix.dll on Windows: loaded once from the program's own
// folder as a resource file (none of its code runs) and kept for the run;
// its resolver reads font files out of its RCDATA resources.
#pragma once
#include <cstddef>
#include <cstdint>

// Loads "<dir>\pagrix.dll" (dir: the program's folder when null) and installs
// the resolver. False when there is no such library: the fonts then come
// from the directories alone. Only the first successful load counts.
bool font_library_load(const char *dir);
// The resolver: the name up to its first "." and at most 63 characters,
// looked up as an RCDATA resource ignoring case; the library's mapped bytes.
bool font_library_find(const char *file_name, const uint8_t **data, size_t *size);
// Tests: unloads the library and removes its resolver.
void font_library_reset();

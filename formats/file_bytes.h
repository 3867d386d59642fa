// Whole files read into memory by the raster readers.
#pragma once
#include <cstdint>

// The bytes of the file at `path` (opened through the document layer's file
// hook) in a heap block the caller frees, or null when it cannot be read or
// its size lies outside min..max.
uint8_t *formats_read_file(const char *path, int64_t min, int64_t max, int64_t *size);

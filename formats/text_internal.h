// What the plain-text reader's files share: decoding a line's bytes into
// 16-bit characters, and the cached decoded line.
#pragma once
#include <cstdint>

#include "formats/text_doc.h"

// Decodes `length` bytes of one line in `encoding` into at most `max_chars`
// characters: tabs expanded to the next multiple of 8 columns, other
// characters below 32 dropped, code points above U+FFFF as "?". Stops
// before the first character that would not fit; *consumed (may be null)
// gets the bytes used. Returns the character count.
int text_decode(int encoding, const uint8_t *bytes, int length, uint16_t *out, int max_chars, int *consumed);

// The decoded characters of line `index` and their count, through the
// one-line cache; null when the line buffer cannot be allocated.
const uint16_t *text_line_chars(TextDoc *doc, int index, int *count);
// The line that holds visual row `row` (0 .. total_rows - 1).
int text_line_of_row(const TextDoc *doc, int row);
// Bytes of the byte order mark the data start with in the current encoding.
int text_bom_length(const TextDoc *doc);

// The upper halves (bytes 0x80..0xFF) of the single-byte code pages that
// plain text and RTF documents read, as Unicode values.
#pragma once
#include <cstdint>

// The table of a code page by its number: 437, 850, 857 (DOS), 1250, 1251,
// 1252, 1253, 1254 (Windows), 28599 (ISO-8859-9), 10000 (Mac Roman), 10081
// (Mac Turkish); null for any other. Positions a code page leaves undefined
// hold U+FFFD, except in 1250, 1251, 1253 and Mac Roman, which only RTF reads
// and which hold the byte's own value there (what RTF shows for them).
const uint16_t *code_page_upper(int code_page);

// Fixed limits of the PDF engine. Each bounds what a damaged or hostile file
// can make us do; none is configurable.
#pragma once

constexpr int READER_BUFFER_SIZE = 4096;          // bytes buffered per ByteReader
constexpr int READ_ALL_INITIAL = 8192;            // first heap buffer of reader_read_all
constexpr int READ_ALL_DEFAULT_MAX = 64 << 20;    // reader_read_all cap without a maximum
constexpr int ARENA_DEFAULT_BLOCK = 32 << 10;     // arena block size when created with 0
constexpr int PDF_MAX_DEPTH = 64;                 // nesting of arrays and dictionaries
constexpr int PDF_MAX_NAME = 256;                 // bytes of one name
constexpr int PDF_MAX_STRING = 65536;             // bytes of one string
constexpr int PDF_MAX_NUMBER_CHARS = 63;          // characters kept of a number token
constexpr int PDF_MAX_KEYWORD_CHARS = 31;         // characters kept of a keyword token
constexpr int PDF_MAX_RESOLVE = 32;               // references followed by pdf_resolve
constexpr int PDF_MAX_FETCH_DEPTH = 32;           // nested pdf_fetch calls
constexpr int PDF_MAX_AES_STREAM = 64 << 20;      // bytes of one AES stream decrypted in memory

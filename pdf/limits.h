// Fixed limits of the PDF engine. Each bounds what a damaged or hostile file
// can make us do; none is configurable.
#pragma once
#include <cstdint>

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
constexpr int PDF_MAX_OBJNUM = 8388607;           // highest object number accepted anywhere
constexpr int PDF_MAX_XREF_SECTIONS = 64;         // sections followed through Prev (loops end here)
constexpr int PDF_STARTXREF_TAIL = 1200;          // bytes at the end searched for "startxref"
constexpr int PDF_HEADER_SCAN = 1023;             // bytes at the start searched for "%PDF-"
constexpr int PDF_MAX_VERSION_CHARS = 7;          // characters kept of the header version
constexpr int PDF_REPAIR_MAX = 64 << 20;          // largest file the repair scan reads into memory
constexpr int PDF_REPAIR_TRAILERS = 64;            // trailers a repair reads, newest first
constexpr int PDF_OBJSTM_MAX_N = 16384;           // objects declared by one object stream
constexpr int PDF_PAGE_TREE_DEPTH = 64;           // levels of the page tree walked
constexpr int PDF_MAX_ATTR_DEPTH = 64;            // dictionaries searched for an inherited attribute
constexpr int PDF_MAX_PAGES = 1 << 24;            // pages kept from one page tree (shared leaves repeat)
constexpr double PDF_MAX_PAGE_COORD = 1e9;        // magnitude of a page-box coordinate (keeps widths finite)
constexpr int PDF_TOKEN_INITIAL = 128;            // first token text buffer (then heap, doubling)
constexpr int PDF_FLATE_CHUNK = 2048;             // input bytes fed to inflate per step
constexpr int FILTER_PREDICTOR_MAX_ROW = 1 << 20; // bytes of one predictor row
constexpr int FILTER_PREDICTOR_MAX_COLUMNS = 1000000;  // Columns of a predictor
constexpr int FILTER_PREDICTOR_MAX_COLORS = 32;   // Colors of a predictor
constexpr int FILTER_LZW_TABLE = 4096;            // LZW dictionary entries (12-bit codes)
constexpr int FILTER_CCITT_MAX_COLUMNS = 65536;   // widest fax row; wider falls back to 1728
constexpr int FILTER_DCT_MAX_MEMORY = 256 << 20;  // libjpeg working memory of one image
constexpr int PDF_MAX_AES_STREAM = 64 << 20;      // bytes of one AES stream decrypted in memory
constexpr int FILTER_JPX_MAX_DATA = 128 << 20;    // bytes of one JPEG 2000 stream read into memory
constexpr int64_t FILTER_JPX_MAX_SAMPLES = 48ll << 20;  // decoded samples of one JPX image (more: reduced further)
constexpr int FILTER_JBIG2_MAX_DATA = 64 << 20;   // bytes of one JBIG2 stream (and of its globals)
constexpr int64_t FILTER_JBIG2_MAX_MEMORY = 256ll << 20;  // jbig2dec working memory of one image
constexpr int PDF_XREF_CHUNK = 256;               // object numbers per chunk of the sparse cross-reference table
constexpr int PDF_MAX_FILTERS = 32;               // filters in one stream's chain (each nests a read and costs a buffer)
constexpr int FILTER_DCT_MAX_SCANS = 64;          // scans of a JPEG read (each one passes over every block)
constexpr int PDF_NAV_MAX_NODES = 65536;          // nodes one outline or name-tree walk visits (loops, shared kids)
constexpr int PDF_NAV_MAX_DEPTH = 32;             // outline and name-tree levels followed
constexpr int PDF_NAV_MAX_SIBLINGS = 4096;        // items of one outline sibling chain
constexpr int PDF_NAV_MAX_NAMES = 1 << 20;        // named destinations indexed by one lookup context
constexpr int PDF_NAV_MAX_BORDER = 1024;          // link border width in device pixels

// Fixed limits of the TIFF, DCX and PCX readers. Each bounds what a damaged or
// hostile file can make a reader allocate or loop over.
#pragma once
#include <cstdint>

constexpr int64_t TIFF_MIN_FILE = 8;                  // header of a TIFF file
constexpr int64_t TIFF_MAX_FILE = 128 << 20;          // TIFF files are read whole
constexpr int TIFF_MAX_PAGES = 512;                   // image directories listed (loops end here)
constexpr int TIFF_MAX_SIDE = 30000;                  // width and height of one image
constexpr int TIFF_MAX_SAMPLES = 4;                   // samples per pixel
constexpr uint64_t TIFF_MAX_UNITS = 1 << 20;          // strips or tiles of one image
constexpr uint64_t TIFF_MAX_COLORMAP = 262144;        // 16-bit entries of a colour map
constexpr uint64_t TIFF_MAX_JPEG_TABLES = 1 << 20;    // bytes of JPEGTables
constexpr uint64_t TIFF_MAX_IFD_ENTRIES = 65535;      // entries of one BigTIFF directory
constexpr int64_t TIFF_MAX_ROW_BYTES = 1 << 22;       // bytes of one decoded row of a strip or tile
constexpr int64_t DCX_MAX_FILE = 80 << 20;            // DCX files are read whole
constexpr int DCX_MAX_PAGES = 1023;                   // page offsets of a DCX file
constexpr int64_t TEXT_MAX_FILE = 16 << 20;           // plain text files: only the first 16 MiB are read
constexpr int TEXT_DETECT_SAMPLE = 65536;            // bytes the encoding detection looks at
constexpr int TEXT_LINE_MAX_CHARS = 16384;           // characters of the one decoded line held
constexpr int TEXT_LINE_PIECE_CHARS = 16200;         // longer lines are indexed in pieces of this many
                                                     // characters (whole rows of 90, whole tab stops of 8)
constexpr int TEXT_MAX_PAGES = 32767;                // pages of a text document; rows beyond are not indexed
constexpr float TEXT_MAX_SCALE = 1000;               // pixels per point of a text page render or page text
constexpr int PCX_MAX_SIDE = 30000;                   // width and height of a PCX page
constexpr int PCX_MAX_SCANLINE = 2097152;             // bytes per line times planes
constexpr int64_t EPS_MIN_FILE = 4;                   // shorter files are not opened
constexpr int64_t EPS_MAX_FILE = 64 << 20;            // EPS files are read whole
constexpr int EPS_MAX_PREVIEW_SIDE = 10000;           // width and height of an EPSI preview
constexpr int EPS_MAX_BOX_SIDE = 19999;               // bounding-box sides taken for the placeholder
constexpr int64_t RTF_MAX_FILE = 16 << 20;            // bytes of an RTF file read (the rest is ignored)
constexpr int RTF_MAX_DEPTH = 63;                     // group levels with a state of their own
constexpr int RTF_MAX_CHARS = 2097152;                // body characters
constexpr int RTF_MAX_BAND_CHARS = 262144;            // characters of all headers, and of all footers
constexpr int RTF_MAX_ITEMS = 262144;                 // paragraph ends, breaks, rows, cells, pictures
constexpr int RTF_MAX_STYLES = 4096;                  // distinct character styles
constexpr int RTF_MAX_FONTS = 512;                    // font numbers 0..511 of the font table
constexpr int RTF_MAX_COLOURS = 512;                  // colour-table entries
constexpr int RTF_MAX_PICTURES = 512;                 // pictures kept
constexpr int RTF_MAX_GLYPHS = 2097152;               // laid-out characters (body, headers, footers)
constexpr int RTF_MAX_PAGES = 16383;                  // pages laid out
constexpr int RTF_MAX_CELLS = 64;                     // cell boundaries and cell ends of one table row
constexpr int RTF_MAX_LISTS = 1024;                   // lists of the list table, and list overrides, kept
constexpr int RTF_MAX_LIST_START = 999999;            // a list level's first number is clamped to this
constexpr int RTF_MAX_PICTURE_SIDE = 5000;            // width and height of a PNG or JPEG picture decoded
constexpr int64_t RTF_PICTURE_PIXEL_BUDGET = 32 << 20;  // decoded picture pixels held at once
constexpr float RTF_MAX_COORD = 1e6f;                 // points: twips parameters are clamped to this
constexpr float RTF_MIN_PAPER = 36, RTF_MAX_PAPER = 14400;  // points of a page side

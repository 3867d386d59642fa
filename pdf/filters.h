// Decoding filters of PDF streams (PDF Reference 1.7, section 3.3): each one is a
// ByteReader that pulls encoded bytes from its `next` reader. Filters are forward-only;
// corrupt data end the decoded stream early instead of failing a read.
#pragma once
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "pdf/reader.h"

// Parameters of the PNG and TIFF predictors (after Flate or LZW).
struct PredictorParams {
    int predictor = 1;  // 1 none, 2..9 TIFF predictor 2, >= 10 PNG with a type byte per row
    int colors = 1;
    int bits_per_component = 8;
    int columns = 1;
};

struct LzwParams {
    int early_change = 1;  // code width grows one code early (the PDF default)
};

struct CcittParams {
    int k = 0;                     // < 0 Group 4, 0 Group 3 1-D, > 0 Group 3 mixed 1-D/2-D
    int columns = 1728;            // outside 1..65536 counts as 1728
    int rows = 0;                  // 0: until the data end
    int black_is_1 = 0;            // 0: black pixels come out as 0 bits (row padding bits are 0 either way)
    int encoded_byte_align = 0;    // rows start on byte boundaries
    int end_of_line = 0;           // EOL codes are present (they are accepted either way)
    int end_of_block = 1;          // the data end with EOFB/RTC (decoding stops there either way)
    int damaged_rows_before_error = 0;  // damaged rows repeated from the row above before giving up
    int broken_row_ends = 0;       // a one-dimensional row that breaks off after some runs ends
                                   // the data instead of being delivered as far as it got
};

struct DctParams {
    int components = 0;        // wanted components 1, 3 or 4; 0 refuses to decode
    int color_transform = -1;  // -1 as the JPEG says, 0 no YCC transform, 1 YCC transform
};

struct JpxParams {
    int reduce = 0;  // resolution levels dropped while decoding, each halving both sides;
                     // more are dropped when the image would exceed FILTER_JPX_MAX_SAMPLES
};

// Colour of decoded JPX samples, from the file's colour box or the component count.
enum JpxColour { JPX_GRAY = 1, JPX_RGB = 2, JPX_CMYK = 3 };

struct JpxInfo {
    int width, height;  // of the samples served (after reduction)
    int components;     // 1, 3 or 4 bytes a pixel
    int colour;         // JpxColour; YCC data are served as RGB
    int has_alpha;      // pdf_jpx_alpha gives a plane
    int reduce;         // levels actually dropped (the file may have fewer)
};

// The embedded JBIG2 stream's globals: the data of JBIG2Globals, or none.
struct Jbig2Params {
    const uint8_t *globals = nullptr;  // copied by the constructor
    int globals_length = 0;
};

// Constructors. Each returns a new reader over `source` or null (invalid parameters,
// out of memory); on null the caller still owns `source`. Closing the returned reader
// frees only the filter's state: close a chain with reader_close_chain.
ByteReader *pdf_filter_limit(ByteReader *source, int64_t length);
ByteReader *pdf_filter_flate(ByteReader *source);
ByteReader *pdf_filter_lzw(ByteReader *source, const LzwParams &params);
ByteReader *pdf_filter_ascii85(ByteReader *source);
ByteReader *pdf_filter_asciihex(ByteReader *source);
ByteReader *pdf_filter_runlength(ByteReader *source);
// TIFF's PackBits: RunLength whose code 128 is skipped instead of ending the data.
ByteReader *pdf_filter_packbits(ByteReader *source);
ByteReader *pdf_filter_ccitt(ByteReader *source, const CcittParams &params);
ByteReader *pdf_filter_dct(ByteReader *source, const DctParams &params);
// JPEG 2000 (JP2 file or bare codestream), decoded in one piece at the first read.
ByteReader *pdf_filter_jpx(ByteReader *source, const JpxParams &params);
// JBIG2 embedded stream (one page), served as 1 bit a pixel with 0 = black, rows
// padded to whole bytes, decoded in one piece at the first read.
ByteReader *pdf_filter_jbig2(ByteReader *source, const Jbig2Params &params);
// Null for predictor <= 1 as well: the caller then keeps reading `source`.
ByteReader *pdf_filter_predictor(ByteReader *source, const PredictorParams &params);
// 1 when the predictor parameters are inside the supported ranges.
int pdf_predictor_params_valid(const PredictorParams &params);

// For filters that decode a row at a time: copies what is left of `row` from *row_pos
// (at most `room` bytes) to `out`, advances *row_pos and returns the count.
inline int filter_take_row(uint8_t *out, int room, const uint8_t *row, int row_len, int *row_pos)
{
    int n = row_len - *row_pos;
    if (n > room)
        n = room;
    std::memcpy(out, row + *row_pos, size_t(n));
    *row_pos += n;
    return n;
}

// For filters that decode a whole stream in memory at their first read (JPX,
// JBIG2). *state: 0 not yet, 1 decoded, -1 failed. The first call reads the
// source (at most `max` bytes) and hands it to `decode` (0 on success);
// returns whether the data are decoded.
template <typename Decode>
bool filter_decode_once(ByteReader *source, int max, int *state, Decode decode)
{
    if (*state)
        return *state > 0;
    *state = -1;
    int n = 0;
    uint8_t *data = reader_read_all_heap(source, max, &n);
    if (!data)
        return false;
    const int rc = decode(data, n);
    std::free(data);
    if (rc == 0)
        *state = 1;
    return rc == 0;
}

// Serves decoded bytes from memory: copies what is left of `data` after *at
// (at most `room` bytes) to `out`, advances *at and returns the count.
inline int filter_serve(uint8_t *out, int room, const uint8_t *data, int64_t length, int64_t *at)
{
    const int64_t left = length - *at;
    const int n = left < room ? int(left) : room;
    if (n <= 0)
        return 0;
    std::memcpy(out, data + *at, size_t(n));
    *at += n;
    return n;
}

// The output component count of a DCT reader (after its first read or on demand:
// this reads the JPEG header), 0 when the header is unreadable or `reader` is no DCT reader.
int pdf_dct_output_components(ByteReader *reader);

// 1 when `reader` is a JPX filter's reader.
int pdf_is_jpx_reader(const ByteReader *reader);
// Decodes a JPX reader's data if not yet done and describes them: 0; -1 `reader` is
// no JPX reader; -7 the data cannot be decoded (reads then fail).
int pdf_jpx_info(ByteReader *reader, JpxInfo *out);
// Sets the reduction of a JPX reader that has not been read yet (no effect after).
void pdf_jpx_set_reduce(ByteReader *reader, int levels);
// The opacity plane (width x height bytes) of a JPX reader's image, for images
// with SMaskInData; null when the image has none or cannot be decoded.
const uint8_t *pdf_jpx_alpha(ByteReader *reader);
// The page size of a JBIG2 reader's image (decoding it if not yet done): 0, -1 no
// JBIG2 reader, -7 undecodable.
int pdf_jbig2_size(ByteReader *reader, int *width, int *height);

struct PdfDoc;
struct PdfObject;

// Builds the decoding chain of a stream over `reader` from the stream dictionary's
// Filter (F) and DecodeParms (DP). `components` is what a caller wants from a DCT image
// (1, 3 or 4; 0 refuses DCT). Returns the top reader, or `reader` itself when there is no
// filter; null when a filter is unknown or unsupported (its name in *unsupported_name,
// which may be null), has invalid parameters, the array holds more than PDF_MAX_FILTERS
// filters, or memory is short. On null the readers built here are closed and `reader`
// stays the caller's.
ByteReader *pdf_apply_filters(PdfDoc *doc, ByteReader *reader, PdfObject *dict, const char **unsupported_name,
                              int components);

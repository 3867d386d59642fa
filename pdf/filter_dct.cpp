// The DCT decoding filter (PDF Reference 1.7, 3.3.7; ITU-T T.81 baseline and progressive
// JPEG) through libjpeg. A fatal libjpeg error ends the stream: the error manager jumps
// back into this file and never lets libjpeg end the process.
//
// Work follows the data present, not the size the header declares. libjpeg fills the
// rest of a scan with zeros once its entropy data run out (at the end of the stream, or
// at a marker where data should be); a 600-byte file declaring 65000 x 65000 pixels
// would so deliver gigabytes. Here the image ends two iMCU rows after the row where the
// data ran out. Rows are decoded as the consumer reads them; an image of several scans
// is first read into libjpeg's coefficient buffer, which must fit FILTER_DCT_MAX_MEMORY
// and which its data must be long enough to fill once, and no further than the scan in
// which its data ran out.
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" {
#include <jerror.h>
#include <jpeglib.h>
}

#include "pdf/filters.h"

namespace {

struct DctSource {
    jpeg_source_mgr pub;
    ByteReader *reader;
    int64_t fed;    // bytes of real data handed to libjpeg
    int exhausted;  // the reader has ended: only end-of-image markers follow
    JOCTET *ahead;  // data read ahead of libjpeg (heap), handed over before `buffer`
    JOCTET buffer[READER_BUFFER_SIZE];
};

struct DctError {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

struct DctState {
    jpeg_decompress_struct cinfo;
    DctError err;
    DctSource source;
    DctParams params;
    int started;   // 0 not yet, 1 decompressing, -1 failed
    int finished;
    int multi_scan;        // progressive or several scans: buffered-image mode
    int out_components;
    int data_ended;        // the entropy data ran out: the rest is libjpeg's zero padding
    int64_t row_limit;     // output rows delivered at most
    int64_t padded_blocks; // blocks padded in damaged restart intervals
    int row_len;
    int row_pos;
    JSAMPLE *row;
};

void source_init(j_decompress_ptr) {}

boolean source_fill(j_decompress_ptr cinfo)
{
    auto *src = reinterpret_cast<DctSource *>(cinfo->src);
    std::free(src->ahead);  // libjpeg has taken all of it
    src->ahead = nullptr;
    int got = src->exhausted ? 0 : reader_read(src->reader, src->buffer, READER_BUFFER_SIZE);
    if (got <= 0) {
        // The data ended early: an end-of-image marker lets libjpeg finish the image.
        if (!src->exhausted)
            WARNMS(cinfo, JWRN_JPEG_EOF);
        src->exhausted = 1;
        src->buffer[0] = 0xFF;
        src->buffer[1] = JPEG_EOI;
        got = 2;
    } else {
        src->fed += got;
    }
    src->pub.next_input_byte = src->buffer;
    src->pub.bytes_in_buffer = size_t(got);
    return TRUE;
}

void source_skip(j_decompress_ptr cinfo, long count)
{
    auto *src = reinterpret_cast<DctSource *>(cinfo->src);
    while (count > 0) {
        if (src->pub.bytes_in_buffer == 0) {
            if (src->exhausted)
                return;  // nothing left to skip: the next fill gives the end-of-image marker
            source_fill(cinfo);
            continue;
        }
        size_t step = size_t(count) < src->pub.bytes_in_buffer ? size_t(count) : src->pub.bytes_in_buffer;
        src->pub.next_input_byte += step;
        src->pub.bytes_in_buffer -= step;
        count -= long(step);
    }
}

void source_term(j_decompress_ptr) {}

[[noreturn]] void error_exit(j_common_ptr cinfo)
{
    auto *err = reinterpret_cast<DctError *>(cinfo->err);
    std::longjmp(err->jump, 1);
}

bool is_restart_marker(int marker) { return marker >= JPEG_RST0 && marker <= JPEG_RST0 + 7; }

// Output rows of one iMCU row (no scaling: 8 rows per vertical sampling unit).
int64_t imcu_rows(const jpeg_decompress_struct *cinfo) { return int64_t(cinfo->max_v_samp_factor) * DCTSIZE; }

// The entropy data ran out while iMCU row `imcu_row` was decoded: deliver the rows up to
// and including the next one (a zero-filled row around the cut) and no more. When a later
// scan of a multi-scan image ends early, the first scan has covered every row.
void note_data_ended(DctState *s, int64_t imcu_row)
{
    if (s->data_ended)
        return;
    s->data_ended = 1;
    if (s->multi_scan && s->cinfo.input_scan_number > 1)
        return;
    const int64_t limit = (imcu_row + 2) * imcu_rows(&s->cinfo);
    if (limit < s->row_limit)
        s->row_limit = limit;
}

// libjpeg's warnings, counted and otherwise kept quiet: damaged images are normal. The
// Huffman decoders warn once when a data segment ends before its blocks do; they then
// fill zeros up to the next restart marker or the end of the scan. A damaged restart
// interval is padded and decoding resumes after its marker, as long as the padding stays
// in proportion to the data read: a file of restart markers alone must not expand into
// gigabytes.
void emit_message(j_common_ptr common, int level)
{
    if (level >= 0)
        return;
    common->err->num_warnings++;
    if (common->err->msg_code != JWRN_HIT_MARKER)
        return;
    auto *cinfo = reinterpret_cast<j_decompress_ptr>(common);
    auto *s = static_cast<DctState *>(cinfo->client_data);
    if (is_restart_marker(cinfo->unread_marker) && cinfo->restart_interval > 0) {
        s->padded_blocks += int64_t(cinfo->restart_interval) * cinfo->blocks_in_MCU;
        const int64_t consumed = s->source.fed - int64_t(s->source.pub.bytes_in_buffer);
        if (s->padded_blocks <= 8 * consumed + int64_t(cinfo->MCUs_per_row) * cinfo->blocks_in_MCU)
            return;
    }
    note_data_ended(s, cinfo->input_iMCU_row);
}

// The arithmetic decoder pads without a warning once it meets a marker; a marker other
// than a restart before the last iMCU row of a scan means its data ended there.
void check_arithmetic_end(DctState *s)
{
    const j_decompress_ptr cinfo = &s->cinfo;
    if (cinfo->arith_code && cinfo->unread_marker != 0 && !is_restart_marker(cinfo->unread_marker) &&
        cinfo->input_iMCU_row < cinfo->total_iMCU_rows)
        note_data_ended(s, cinfo->input_iMCU_row > 0 ? cinfo->input_iMCU_row - 1 : 0);
}

// Bytes of the whole-image coefficient buffer of a multi-scan image.
int64_t coefficient_bytes(const jpeg_decompress_struct *cinfo)
{
    int64_t total = 0;
    for (int i = 0; i < cinfo->num_components; i++) {
        const jpeg_component_info &c = cinfo->comp_info[i];
        const int64_t w = (int64_t(c.width_in_blocks) + c.h_samp_factor - 1) / c.h_samp_factor * c.h_samp_factor;
        const int64_t h = (int64_t(c.height_in_blocks) + c.v_samp_factor - 1) / c.v_samp_factor * c.v_samp_factor;
        total += w * h * int64_t(sizeof(JBLOCK));
    }
    return total;
}

// True when the data after the header could code every block of the image once: in
// Huffman coding each block of a scan takes at least one bit. A multi-scan image is
// refused before libjpeg allocates its coefficient buffer when its data cannot complete
// even the first pass over the blocks. The bytes read to find out are handed to libjpeg
// before the rest of the stream.
bool data_could_hold_blocks(DctState *s)
{
    const jpeg_decompress_struct *cinfo = &s->cinfo;
    DctSource *src = &s->source;
    if (cinfo->arith_code)
        return true;  // adaptive coding has no lower bound per block
    int64_t blocks = 0;
    for (int i = 0; i < cinfo->num_components; i++)
        blocks += int64_t(cinfo->comp_info[i].width_in_blocks) * cinfo->comp_info[i].height_in_blocks;
    const int64_t need = blocks / 8;
    const int64_t have = src->exhausted ? 0 : int64_t(src->pub.bytes_in_buffer);
    if (have >= need)
        return true;
    if (src->exhausted)
        return false;
    // `need` is below FILTER_DCT_MAX_MEMORY / 1024 here: the coefficients fit the limit.
    auto *ahead = static_cast<JOCTET *>(std::malloc(size_t(need)));
    if (!ahead)
        return false;
    std::memcpy(ahead, src->pub.next_input_byte, size_t(have));
    int64_t got = have;
    while (got < need) {
        const int n = reader_read(src->reader, ahead + got, int(need - got));
        if (n <= 0)
            break;
        got += n;
        src->fed += n;
    }
    std::free(src->ahead);
    src->ahead = ahead;
    src->pub.next_input_byte = ahead;
    src->pub.bytes_in_buffer = size_t(got);
    return got >= need;
}

// Reads the scans of a multi-scan image into the coefficient buffer (libjpeg's buffered
// image mode) and starts the output of the last scan read. Reading stops at the end of
// the image, after the scan in which the data ran out, or after FILTER_DCT_MAX_SCANS
// scans; the output then shows the image as far as it was refined.
void read_scans(DctState *s)
{
    const j_decompress_ptr cinfo = &s->cinfo;
    for (;;) {
        const int rc = jpeg_consume_input(cinfo);
        if (rc == JPEG_REACHED_EOI || rc == JPEG_SUSPENDED)
            break;
        if (rc == JPEG_ROW_COMPLETED)
            check_arithmetic_end(s);
        if (rc == JPEG_SCAN_COMPLETED && (s->data_ended || cinfo->input_scan_number >= FILTER_DCT_MAX_SCANS))
            break;
    }
    jpeg_start_output(cinfo, cinfo->input_scan_number);
}

// Reads the header and starts decompression; false on a fatal libjpeg error, or for a
// multi-scan image whose coefficients would not fit the memory limit or whose data are
// too short to code its blocks once.
bool dct_start(DctState *s)
{
    j_decompress_ptr cinfo = &s->cinfo;
    if (setjmp(s->err.jump))
        return false;
    if (jpeg_read_header(cinfo, TRUE) != JPEG_HEADER_OK)
        return false;
    if (s->params.color_transform >= 0) {
        if (cinfo->num_components == 3)
            cinfo->jpeg_color_space = s->params.color_transform ? JCS_YCbCr : JCS_RGB;
        else if (cinfo->num_components == 4)
            cinfo->jpeg_color_space = s->params.color_transform ? JCS_YCCK : JCS_CMYK;
    }
    const bool cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
    // libjpeg cannot turn CMYK into grey or RGB: such images always come out as CMYK,
    // as stored: an Adobe marker does not invert them (a Decode array does that).
    if (cmyk)
        cinfo->out_color_space = JCS_CMYK;
    else
        cinfo->out_color_space = s->params.components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    // The first scan holds every component unless the image has several scans.
    s->multi_scan = cinfo->progressive_mode || cinfo->comps_in_scan < cinfo->num_components;
    if (s->multi_scan && (coefficient_bytes(cinfo) > FILTER_DCT_MAX_MEMORY || !data_could_hold_blocks(s)))
        return false;
    cinfo->buffered_image = s->multi_scan ? TRUE : FALSE;
    jpeg_start_decompress(cinfo);
    s->row_limit = cinfo->output_height;
    if (s->multi_scan)
        read_scans(s);
    s->out_components = cinfo->output_components;
    int64_t row = int64_t(cinfo->output_width) * cinfo->output_components;
    if (row <= 0 || row > (1 << 24))
        return false;
    s->row = static_cast<JSAMPLE *>(std::malloc(size_t(row)));
    if (!s->row)
        return false;
    s->row_len = 0;
    s->row_pos = 0;
    return true;
}

// Decodes the next scanline into s->row; false at the end or on a fatal error.
bool dct_next_row(DctState *s)
{
    j_decompress_ptr cinfo = &s->cinfo;
    if (setjmp(s->err.jump))
        return false;
    if (cinfo->output_scanline >= cinfo->output_height || cinfo->output_scanline >= s->row_limit)
        return false;
    JSAMPROW rows[1] = {s->row};
    if (jpeg_read_scanlines(cinfo, rows, 1) != 1)
        return false;
    if (!s->multi_scan)
        check_arithmetic_end(s);
    s->row_len = int(cinfo->output_width) * cinfo->output_components;
    s->row_pos = 0;
    return true;
}

bool ensure_started(DctState *s)
{
    if (s->started == 0)
        s->started = dct_start(s) ? 1 : -1;
    return s->started > 0;
}

int dct_fill(ByteReader *r, uint8_t *buffer, int capacity)
{
    auto *s = static_cast<DctState *>(r->ctx);
    if (s->finished)
        return 0;
    if (!ensure_started(s)) {
        s->finished = 1;
        return 0;
    }
    int produced = 0;
    while (produced < capacity) {
        if (s->row_pos >= s->row_len && !dct_next_row(s)) {
            s->finished = 1;
            break;
        }
        produced += filter_take_row(buffer + produced, capacity - produced, s->row, s->row_len, &s->row_pos);
    }
    return produced;
}

void dct_close(ByteReader *r)
{
    auto *s = static_cast<DctState *>(r->ctx);
    jpeg_destroy_decompress(&s->cinfo);  // never raises an error
    std::free(s->source.ahead);
    std::free(s->row);
    std::free(s);
}

}  // namespace

ByteReader *pdf_filter_dct(ByteReader *source, const DctParams &params)
{
    if (!source || params.components <= 0)
        return nullptr;
    auto *s = static_cast<DctState *>(std::calloc(1, sizeof(DctState)));
    if (!s)
        return nullptr;
    s->params = params;
    s->cinfo.err = jpeg_std_error(&s->err.pub);
    s->err.pub.error_exit = error_exit;
    s->err.pub.emit_message = emit_message;
    if (setjmp(s->err.jump)) {
        jpeg_destroy_decompress(&s->cinfo);
        std::free(s);
        return nullptr;
    }
    jpeg_create_decompress(&s->cinfo);
    s->cinfo.client_data = s;
    s->cinfo.mem->max_memory_to_use = FILTER_DCT_MAX_MEMORY;
    s->source.reader = source;
    s->source.pub.init_source = source_init;
    s->source.pub.fill_input_buffer = source_fill;
    s->source.pub.skip_input_data = source_skip;
    s->source.pub.resync_to_restart = jpeg_resync_to_restart;
    s->source.pub.term_source = source_term;
    s->cinfo.src = &s->source.pub;
    ByteReader *r = reader_new(dct_fill, s, source);
    if (!r) {
        jpeg_destroy_decompress(&s->cinfo);
        std::free(s);
        return nullptr;
    }
    r->close = dct_close;
    return r;
}

int pdf_dct_output_components(ByteReader *reader)
{
    if (!reader || reader->fill != dct_fill)
        return 0;
    auto *s = static_cast<DctState *>(reader->ctx);
    return ensure_started(s) ? s->out_components : 0;
}

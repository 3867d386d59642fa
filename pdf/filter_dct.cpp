// The DCT decoding filter (PDF Reference 1.7, 3.3.7; ITU-T T.81 baseline and progressive
// JPEG) through libjpeg. A fatal libjpeg error ends the stream: the error manager jumps
// back into this file and never lets libjpeg end the process.
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
    int invert;    // CMYK written by Adobe software: stored inverted
    int out_components;
    int row_len;
    int row_pos;
    JSAMPLE *row;
};

void source_init(j_decompress_ptr) {}

boolean source_fill(j_decompress_ptr cinfo)
{
    auto *src = reinterpret_cast<DctSource *>(cinfo->src);
    int got = reader_read(src->reader, src->buffer, READER_BUFFER_SIZE);
    if (got <= 0) {
        // The data ended early: an end-of-image marker lets libjpeg finish the image.
        WARNMS(cinfo, JWRN_JPEG_EOF);
        src->buffer[0] = 0xFF;
        src->buffer[1] = JPEG_EOI;
        got = 2;
    }
    src->pub.next_input_byte = src->buffer;
    src->pub.bytes_in_buffer = size_t(got);
    return TRUE;
}

void source_skip(j_decompress_ptr cinfo, long count)
{
    auto *src = reinterpret_cast<DctSource *>(cinfo->src);
    while (count > 0) {
        if (src->pub.bytes_in_buffer == 0)
            source_fill(cinfo);
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

void output_message(j_common_ptr) {}  // damaged images are normal: stay quiet

// Reads the header and starts decompression; false on a fatal libjpeg error.
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
    // libjpeg cannot turn CMYK into grey or RGB: such images always come out as CMYK.
    if (cmyk)
        cinfo->out_color_space = JCS_CMYK;
    else
        cinfo->out_color_space = s->params.components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    s->invert = cmyk && cinfo->saw_Adobe_marker;
    jpeg_start_decompress(cinfo);
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
    if (cinfo->output_scanline >= cinfo->output_height)
        return false;
    JSAMPROW rows[1] = {s->row};
    if (jpeg_read_scanlines(cinfo, rows, 1) != 1)
        return false;
    s->row_len = int(cinfo->output_width) * cinfo->output_components;
    s->row_pos = 0;
    if (s->invert)
        for (int i = 0; i < s->row_len; i++)
            s->row[i] = JSAMPLE(255 - s->row[i]);
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
    s->err.pub.output_message = output_message;
    if (setjmp(s->err.jump)) {
        jpeg_destroy_decompress(&s->cinfo);
        std::free(s);
        return nullptr;
    }
    jpeg_create_decompress(&s->cinfo);
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

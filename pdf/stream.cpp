// Stream readers: the length limiter over a fresh file handle (so several
// streams can be read at once) and, for now, Flate decoding with the PNG
// predictors, which cross-reference and object streams need.
#include "pdf/stream.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <utility>

#include "pdf/document.h"
#include "pdf/limits.h"
#include "pdf/reader.h"

namespace {

// ---- Length limiter ----

struct LimitState {
    int64_t left;
};

int limit_fill(ByteReader *r, uint8_t *buffer, int capacity)
{
    auto *s = static_cast<LimitState *>(r->ctx);
    if (s->left <= 0)
        return 0;
    int want = s->left < capacity ? int(s->left) : capacity;
    int n = reader_read(r->next, buffer, want);
    if (n <= 0)
        return r->next->failed ? -1 : 0;
    s->left -= n;
    return n;
}

void free_ctx(ByteReader *r) { std::free(r->ctx); }

// ---- Flate (RFC 1950/1951 through zlib) ----

struct FlateState {
    z_stream z;
    uint8_t in[PDF_FLATE_CHUNK];
    int finished;
};

int flate_fill(ByteReader *r, uint8_t *buffer, int capacity)
{
    auto *s = static_cast<FlateState *>(r->ctx);
    if (s->finished)
        return 0;
    s->z.next_out = buffer;
    s->z.avail_out = unsigned(capacity);
    while (s->z.avail_out > 0) {
        if (s->z.avail_in == 0) {
            int n = reader_read(r->next, s->in, PDF_FLATE_CHUNK);
            if (n <= 0)
                break;  // end (or error) of the source ends the input
            s->z.next_in = s->in;
            s->z.avail_in = unsigned(n);
        }
        int rc = inflate(&s->z, Z_NO_FLUSH);
        if (rc == Z_STREAM_END) {
            s->finished = 1;
            break;
        }
        if (rc != Z_OK) {
            // Corrupt data: keep what was produced, then end.
            s->finished = 1;
            break;
        }
    }
    int produced = capacity - int(s->z.avail_out);
    if (produced == 0)
        s->finished = 1;
    return produced;
}

void flate_close(ByteReader *r)
{
    auto *s = static_cast<FlateState *>(r->ctx);
    inflateEnd(&s->z);
    std::free(s);
}

ByteReader *flate_open(ByteReader *source)
{
    auto *s = static_cast<FlateState *>(std::calloc(1, sizeof(FlateState)));
    if (!s)
        return nullptr;
    if (inflateInit(&s->z) != Z_OK) {
        std::free(s);
        return nullptr;
    }
    ByteReader *r = reader_new(flate_fill, s, source);
    if (!r) {
        inflateEnd(&s->z);
        std::free(s);
        return nullptr;
    }
    r->close = flate_close;
    return r;
}

// ---- PNG predictors (RFC 2083, section 6), rows of Colors x Bits x Columns ----

struct PredictorState {
    int bpp;       // bytes per pixel, at least 1
    int row_bytes;
    uint8_t *row;  // current row
    uint8_t *prev; // previous row (zero at start)
    int at;        // next byte of `row` to deliver; row_bytes = exhausted
    int finished;
};

int paeth(int a, int b, int c)
{
    int p = a + b - c;
    int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc)
        return a;
    return pb <= pc ? b : c;
}

// Decodes the next row into s->row; false at the end of the data.
bool predictor_next_row(ByteReader *r, PredictorState *s)
{
    uint8_t type;
    if (reader_read(r->next, &type, 1) != 1)
        return false;
    std::swap(s->row, s->prev);
    int n = reader_read(r->next, s->row, s->row_bytes);
    if (n < s->row_bytes)
        std::memset(s->row + n, 0, size_t(s->row_bytes - n));
    uint8_t *row = s->row, *up = s->prev;
    for (int i = 0; i < s->row_bytes; i++) {
        int left = i >= s->bpp ? row[i - s->bpp] : 0;
        int upper_left = i >= s->bpp ? up[i - s->bpp] : 0;
        switch (type) {
        case 0: break;
        case 1: row[i] = uint8_t(row[i] + left); break;
        case 2: row[i] = uint8_t(row[i] + up[i]); break;
        case 3: row[i] = uint8_t(row[i] + (left + up[i]) / 2); break;
        case 4: row[i] = uint8_t(row[i] + paeth(left, up[i], upper_left)); break;
        default: return false;
        }
    }
    s->at = 0;
    return true;
}

int predictor_fill(ByteReader *r, uint8_t *buffer, int capacity)
{
    auto *s = static_cast<PredictorState *>(r->ctx);
    int done = 0;
    while (done < capacity && !s->finished) {
        if (s->at >= s->row_bytes && !predictor_next_row(r, s)) {
            s->finished = 1;
            break;
        }
        int chunk = s->row_bytes - s->at;
        if (chunk > capacity - done)
            chunk = capacity - done;
        std::memcpy(buffer + done, s->row + s->at, size_t(chunk));
        s->at += chunk;
        done += chunk;
    }
    return done;
}

ByteReader *predictor_open(PdfDoc *doc, ByteReader *source, PdfObject *parms)
{
    int colors = pdf_to_int(pdf_dict_get_resolved(doc, parms, "Colors"), 1);
    int bits = pdf_to_int(pdf_dict_get_resolved(doc, parms, "BitsPerComponent"), 8);
    int columns = pdf_to_int(pdf_dict_get_resolved(doc, parms, "Columns"), 1);
    if (colors < 1 || colors > 32 || columns < 1 || columns > 1000000 ||
        (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16))
        return nullptr;
    int64_t row_bytes = (int64_t(colors) * bits * columns + 7) / 8;
    if (row_bytes > (1 << 20))
        return nullptr;
    auto *s = static_cast<PredictorState *>(std::calloc(1, sizeof(PredictorState) + 2 * size_t(row_bytes)));
    if (!s)
        return nullptr;
    s->row_bytes = int(row_bytes);
    s->bpp = (colors * bits + 7) / 8;
    s->row = reinterpret_cast<uint8_t *>(s + 1);
    s->prev = s->row + row_bytes;
    s->at = s->row_bytes;
    ByteReader *r = reader_new(predictor_fill, s, source);
    if (!r) {
        std::free(s);
        return nullptr;
    }
    r->close = free_ctx;
    return r;
}

// The one filter of a stream when it is Flate (as a name or a one-element
// array) with its parameters; false for anything else.
bool single_flate(PdfDoc *doc, PdfObject *dict, PdfObject **parms)
{
    PdfObject *filter = pdf_dict_get_resolved(doc, dict, "Filter");
    if (!filter)
        filter = pdf_dict_get_resolved(doc, dict, "F");
    PdfObject *dp = pdf_dict_get_resolved(doc, dict, "DecodeParms");
    if (!dp)
        dp = pdf_dict_get_resolved(doc, dict, "DP");
    if (filter && filter->type == PDF_ARRAY && filter->count == 1) {
        filter = pdf_resolve(doc, pdf_array_get(filter, 0));
        if (dp && dp->type == PDF_ARRAY)
            dp = pdf_resolve(doc, pdf_array_get(dp, 0));
    }
    *parms = dp && dp->type == PDF_DICT ? dp : nullptr;
    return pdf_is_name(filter, "FlateDecode") || pdf_is_name(filter, "Fl");
}

bool has_filter(PdfDoc *doc, PdfObject *dict)
{
    PdfObject *filter = pdf_dict_get_resolved(doc, dict, "Filter");
    if (!filter)
        filter = pdf_dict_get_resolved(doc, dict, "F");
    return filter && (filter->type == PDF_NAME || (filter->type == PDF_ARRAY && filter->count > 0));
}

}  // namespace

ByteReader *pdf_open_raw_stream(PdfDoc *doc, PdfObject *stream)
{
    if (!doc || !stream || stream->type != PDF_STREAM || stream->data_length < 0)
        return nullptr;
    ByteReader *file = reader_open_file(doc->path);
    if (!file)
        return nullptr;
    if (reader_seek(file, stream->data_offset) != 0) {
        reader_close(file);
        return nullptr;
    }
    auto *s = static_cast<LimitState *>(std::calloc(1, sizeof(LimitState)));
    ByteReader *r = s ? reader_new(limit_fill, s, file) : nullptr;
    if (!r) {
        std::free(s);
        reader_close(file);
        return nullptr;
    }
    s->left = stream->data_length;
    r->close = free_ctx;
    if (doc->crypt && doc->decrypt_stream) {
        ByteReader *d = doc->decrypt_stream(doc, r, stream->num, stream->gen);
        if (!d) {
            reader_close_chain(r);
            return nullptr;
        }
        r = d;
    }
    return r;
}

ByteReader *pdf_open_stream(PdfDoc *doc, PdfObject *stream)
{
    ByteReader *raw = pdf_open_raw_stream(doc, stream);
    if (!raw)
        return nullptr;
    PdfObject *parms = nullptr;
    if (!single_flate(doc, stream->dict, &parms)) {
        if (!has_filter(doc, stream->dict))
            return raw;
        reader_close_chain(raw);
        return nullptr;
    }
    int predictor = pdf_to_int(pdf_dict_get_resolved(doc, parms, "Predictor"), 1);
    if (predictor > 1 && predictor < 10) {  // TIFF predictor: not decoded here
        reader_close_chain(raw);
        return nullptr;
    }
    ByteReader *r = flate_open(raw);
    if (r && predictor >= 10) {
        ByteReader *p = predictor_open(doc, r, parms);
        if (!p) {
            reader_close_chain(r);
            return nullptr;
        }
        r = p;
    }
    if (!r)
        reader_close_chain(raw);
    return r;
}

// The PNG (RFC 2083, filter types 0-4 chosen per row) and TIFF (TIFF 6.0 section 14,
// horizontal differencing) predictors that follow a Flate or LZW filter.
#include <cstdlib>
#include <cstring>

#include "pdf/filters.h"

namespace {

struct PredictorState {
    PredictorParams params;
    int row_bytes;
    int pixel_bytes;
    int finished;
    int row_pos;   // next byte of `row` to deliver
    int row_len;   // bytes of `row` available (0 before the first row)
    uint8_t *row;  // current decoded row
    uint8_t *prev; // previous decoded row (zeros before the first)
    uint8_t *raw;  // one encoded row including the PNG type byte
};

uint8_t paeth(int a, int b, int c)
{
    int p = a + b - c;
    int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc)
        return uint8_t(a);
    return uint8_t(pb <= pc ? b : c);
}

// Undoes one PNG row filter into s->row; false for an unknown filter type.
bool png_row(PredictorState *s, int type, const uint8_t *in)
{
    uint8_t *out = s->row;
    const uint8_t *up = s->prev;
    const int n = s->row_bytes, bpp = s->pixel_bytes;
    switch (type) {
    case 0:
        std::memcpy(out, in, size_t(n));
        return true;
    case 1:
        for (int i = 0; i < n; i++)
            out[i] = uint8_t(in[i] + (i >= bpp ? out[i - bpp] : 0));
        return true;
    case 2:
        for (int i = 0; i < n; i++)
            out[i] = uint8_t(in[i] + up[i]);
        return true;
    case 3:
        for (int i = 0; i < n; i++)
            out[i] = uint8_t(in[i] + (((i >= bpp ? out[i - bpp] : 0) + up[i]) >> 1));
        return true;
    case 4:
        for (int i = 0; i < n; i++) {
            int a = i >= bpp ? out[i - bpp] : 0, c = i >= bpp ? up[i - bpp] : 0;
            out[i] = uint8_t(in[i] + paeth(a, up[i], c));
        }
        return true;
    default:
        return false;
    }
}

// TIFF predictor 2 on one row in place: every sample adds the sample `colors` to its left.
void tiff_row(PredictorState *s)
{
    uint8_t *row = s->row;
    const int colors = s->params.colors, bits = s->params.bits_per_component;
    const int samples = colors * s->params.columns;
    if (bits == 8) {
        for (int i = colors; i < samples; i++)
            row[i] = uint8_t(row[i] + row[i - colors]);
    } else if (bits == 16) {
        for (int i = colors; i < samples; i++) {
            int v = (row[2 * i] << 8 | row[2 * i + 1]) + (row[2 * (i - colors)] << 8 | row[2 * (i - colors) + 1]);
            row[2 * i] = uint8_t(v >> 8);
            row[2 * i + 1] = uint8_t(v);
        }
    } else {
        const int mask = (1 << bits) - 1;
        auto get = [&](int i) { return row[i * bits / 8] >> (8 - bits - i * bits % 8) & mask; };
        for (int i = colors; i < samples; i++) {
            int v = (get(i) + get(i - colors)) & mask;
            int shift = 8 - bits - i * bits % 8;
            uint8_t &b = row[i * bits / 8];
            b = uint8_t((b & ~(mask << shift)) | v << shift);
        }
    }
}

// Decodes the next row into s->row; false at the end of the data.
bool next_row(PredictorState *s, ByteReader *source)
{
    const bool png = s->params.predictor >= 10;
    const int want = s->row_bytes + (png ? 1 : 0);
    int got = reader_read(source, s->raw, want);
    if (got <= 0)
        return false;
    if (got < want)
        std::memset(s->raw + got, 0, size_t(want - got));
    if (png) {
        if (!png_row(s, s->raw[0], s->raw + 1))
            return false;
    } else {
        std::memcpy(s->row, s->raw, size_t(s->row_bytes));
        tiff_row(s);
    }
    return true;
}

int predictor_fill(ByteReader *r, uint8_t *buffer, int capacity)
{
    auto *s = static_cast<PredictorState *>(r->ctx);
    int produced = 0;
    while (produced < capacity) {
        if (s->row_pos >= s->row_len) {
            if (s->finished)
                break;
            if (s->row_len > 0) {
                uint8_t *t = s->prev;
                s->prev = s->row;
                s->row = t;
            }
            if (!next_row(s, r->next)) {
                s->finished = 1;
                s->row_len = 0;
                break;
            }
            s->row_len = s->row_bytes;
            s->row_pos = 0;
        }
        produced += filter_take_row(buffer + produced, capacity - produced, s->row, s->row_len, &s->row_pos);
    }
    return produced;
}

void free_state(PredictorState *s)
{
    std::free(s->row);
    std::free(s->prev);
    std::free(s->raw);
    std::free(s);
}

void predictor_close(ByteReader *r) { free_state(static_cast<PredictorState *>(r->ctx)); }

}  // namespace

int pdf_predictor_params_valid(const PredictorParams &p)
{
    if (p.colors < 1 || p.colors > FILTER_PREDICTOR_MAX_COLORS)
        return 0;
    if (p.columns < 1 || p.columns > FILTER_PREDICTOR_MAX_COLUMNS)
        return 0;
    if (p.bits_per_component != 1 && p.bits_per_component != 2 && p.bits_per_component != 4 &&
        p.bits_per_component != 8 && p.bits_per_component != 16)
        return 0;
    int64_t row_bits = int64_t(p.colors) * p.bits_per_component * p.columns;
    return row_bits / 8 <= FILTER_PREDICTOR_MAX_ROW;
}

ByteReader *pdf_filter_predictor(ByteReader *source, const PredictorParams &params)
{
    if (!source || params.predictor <= 1 || !pdf_predictor_params_valid(params))
        return nullptr;
    auto *s = static_cast<PredictorState *>(std::calloc(1, sizeof(PredictorState)));
    if (!s)
        return nullptr;
    s->params = params;
    s->row_bytes = int((int64_t(params.colors) * params.bits_per_component * params.columns + 7) / 8);
    s->pixel_bytes = (params.colors * params.bits_per_component + 7) / 8;
    if (s->pixel_bytes < 1)
        s->pixel_bytes = 1;
    s->row = static_cast<uint8_t *>(std::calloc(1, size_t(s->row_bytes)));
    s->prev = static_cast<uint8_t *>(std::calloc(1, size_t(s->row_bytes)));
    s->raw = static_cast<uint8_t *>(std::malloc(size_t(s->row_bytes) + 1));
    ByteReader *r = (s->row && s->prev && s->raw) ? reader_new(predictor_fill, s, source) : nullptr;
    if (!r) {
        free_state(s);
        return nullptr;
    }
    r->close = predictor_close;
    return r;
}

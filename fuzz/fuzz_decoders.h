// Shared body of the decoder fuzz targets and of their replay test: the first bytes of
// an input choose the decoder's parameters, the rest is the encoded stream. Only a crash,
// a hang or a sanitizer report counts as a finding; every decoded length is fine.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "bitmap/bitmap.h"
#include "formats/tiff.h"
#include "pdf/filters.h"

namespace fuzzdec {

constexpr size_t OUTPUT_CAP = 1 << 20;  // stop reading a stream after this many bytes

// Reads a chain to its end (or the cap) and closes it; returns the bytes read.
inline size_t drain(ByteReader *r)
{
    if (!r)
        return 0;
    static uint8_t sink[READER_BUFFER_SIZE];
    size_t total = 0;
    int n;
    while (total < OUTPUT_CAP && (n = reader_read(r, sink, int(sizeof sink))) > 0)
        total += size_t(n);
    reader_close_chain(r);
    return total;
}

// Takes n parameter bytes off the front (zeros when the input is shorter).
struct Params {
    const uint8_t *data;
    size_t size;
    uint8_t take()
    {
        if (size == 0)
            return 0;
        size--;
        return *data++;
    }
};

inline PredictorParams predictor_params(Params &p)
{
    static const int BITS[] = {1, 2, 4, 8, 16};
    PredictorParams pp;
    uint8_t a = p.take(), b = p.take(), c = p.take();
    pp.predictor = a & 1 ? 2 : 10 + a % 6;
    pp.colors = 1 + (b & 3);
    pp.bits_per_component = BITS[(b >> 2) % 5];
    pp.columns = 1 + c * 3;
    return pp;
}

// Decodes one input with the named decoder: flate, lzw, ascii85, asciihex, runlength,
// ccitt, dct, predictor, jpx, jbig2, tiff (a whole file) or pcx (one page). Returns -1 for an
// unknown name, else the decoded length.
inline long decode(const char *decoder, const uint8_t *data, size_t size)
{
    Params p{data, size};
    auto source = [&p]() { return reader_open_memory(p.data, int64_t(p.size)); };
    auto run = [](ByteReader *src, ByteReader *filter) {
        if (!filter) {
            reader_close(src);
            return 0L;
        }
        return long(drain(filter));
    };
    if (std::strcmp(decoder, "flate") == 0) {
        bool predicted = p.take() & 1;
        PredictorParams pp = predictor_params(p);
        ByteReader *src = source();
        ByteReader *f = pdf_filter_flate(src);
        if (f && predicted) {
            ByteReader *top = pdf_filter_predictor(f, pp);
            if (!top)
                reader_close(f);
            f = top;
        }
        return run(src, f);
    }
    if (std::strcmp(decoder, "lzw") == 0) {
        LzwParams lp{p.take() & 1};
        ByteReader *src = source();
        return run(src, pdf_filter_lzw(src, lp));
    }
    if (std::strcmp(decoder, "ascii85") == 0) {
        ByteReader *src = source();
        return run(src, pdf_filter_ascii85(src));
    }
    if (std::strcmp(decoder, "asciihex") == 0) {
        ByteReader *src = source();
        return run(src, pdf_filter_asciihex(src));
    }
    if (std::strcmp(decoder, "runlength") == 0) {
        ByteReader *src = source();
        return run(src, pdf_filter_runlength(src));
    }
    if (std::strcmp(decoder, "ccitt") == 0) {
        CcittParams cp;
        uint8_t a = p.take(), b = p.take(), c = p.take(), d = p.take();
        cp.k = a % 3 - 1;
        cp.columns = (a & 0x80) ? 1 + (b << 8 | c) : 1 + (b % 64) * 27;
        cp.rows = (d & 3) == 3 ? 1 + (d >> 4) : 0;
        cp.black_is_1 = (d >> 2) & 1;
        cp.encoded_byte_align = (d >> 3) & 1;
        cp.damaged_rows_before_error = (a >> 2) & 3;
        ByteReader *src = source();
        return run(src, pdf_filter_ccitt(src, cp));
    }
    if (std::strcmp(decoder, "dct") == 0) {
        static const int COMPONENTS[] = {1, 3, 4};
        uint8_t a = p.take();
        DctParams dp{COMPONENTS[a % 3], (a >> 2) % 3 - 1};
        ByteReader *src = source();
        return run(src, pdf_filter_dct(src, dp));
    }
    if (std::strcmp(decoder, "jpx") == 0) {
        JpxParams jp{p.take() % 8};
        ByteReader *src = source();
        return run(src, pdf_filter_jpx(src, jp));
    }
    if (std::strcmp(decoder, "jbig2") == 0) {
        // Two length bytes: how much of the rest are the globals.
        const size_t globals = size_t(p.take()) << 8 | p.take();
        Jbig2Params jp;
        jp.globals = p.data;
        jp.globals_length = int(globals < p.size ? globals : p.size);
        p.data += jp.globals_length;
        p.size -= size_t(jp.globals_length);
        ByteReader *src = source();
        return run(src, pdf_filter_jbig2(src, jp));
    }
    if (std::strcmp(decoder, "predictor") == 0) {
        PredictorParams pp = predictor_params(p);
        ByteReader *src = source();
        return run(src, pdf_filter_predictor(src, pp));
    }
    if (std::strcmp(decoder, "tiff") == 0) {
        // A whole file: up to four of its pages, each decoded and freed.
        int pages = 0;
        TiffDoc *doc = tiff_open_memory(data, int64_t(size), &pages);
        long pixels = 0;
        for (int i = 0; i < pages && i < 4; i++) {
            int dx, dy;
            PageBitmap *bm = tiff_decode_page(doc, i, &dx, &dy);
            pixels += bm ? long(bm->width) * bm->height : 0;
            bitmap_free(bm);
        }
        tiff_close(doc);
        return pixels;
    }
    if (std::strcmp(decoder, "pcx") == 0) {
        int dx, dy;
        PageBitmap *bm = pcx_decode(data, int64_t(size), &dx, &dy);
        long pixels = bm ? long(bm->width) * bm->height : 0;
        bitmap_free(bm);
        return pixels;
    }
    return -1;
}

}  // namespace fuzzdec

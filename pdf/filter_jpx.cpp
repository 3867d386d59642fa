// The JPX decoding filter (PDF Reference 1.7, 3.3.8; JPEG 2000, ISO/IEC 15444-1)
// through OpenJPEG. The whole stream is read and decoded at the first read,
// optionally at a reduced resolution, and served as 8-bit samples, colour
// components interleaved, top row first; an opacity channel is kept apart.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <openjpeg.h>

#include "pdf/filters.h"
#include "pdf/limits.h"

namespace {

struct JpxState {
    JpxParams params;
    int decoded;     // 0 not yet, 1 done, -1 failed
    JpxInfo info;
    uint8_t *samples;  // width * height * components
    uint8_t *alpha;    // width * height, or null
    int64_t length;
    int64_t at;
};

// OpenJPEG reports through callbacks; damaged data simply fail the decode.
void quiet(const char *, void *) {}

// Reads from the in-memory stream.
struct MemoryStream {
    const uint8_t *data;
    OPJ_SIZE_T length;
    OPJ_SIZE_T at;
};

OPJ_SIZE_T memory_read(void *buffer, OPJ_SIZE_T n, void *user)
{
    auto *m = static_cast<MemoryStream *>(user);
    if (m->at >= m->length)
        return OPJ_SIZE_T(-1);
    if (n > m->length - m->at)
        n = m->length - m->at;
    std::memcpy(buffer, m->data + m->at, n);
    m->at += n;
    return n;
}

OPJ_OFF_T memory_skip(OPJ_OFF_T n, void *user)
{
    auto *m = static_cast<MemoryStream *>(user);
    if (n < 0) {
        if (OPJ_SIZE_T(-n) > m->at)
            n = -OPJ_OFF_T(m->at);
    } else if (OPJ_SIZE_T(n) > m->length - m->at) {
        n = OPJ_OFF_T(m->length - m->at);
    }
    m->at += OPJ_SIZE_T(n);
    return n;
}

OPJ_BOOL memory_seek(OPJ_OFF_T to, void *user)
{
    auto *m = static_cast<MemoryStream *>(user);
    if (to < 0 || OPJ_SIZE_T(to) > m->length)
        return OPJ_FALSE;
    m->at = OPJ_SIZE_T(to);
    return OPJ_TRUE;
}

// A JP2 file starts with its signature box; a bare codestream with SOC SIZ.
int codec_of(const uint8_t *d, int n)
{
    static const uint8_t kJp2[12] = {0, 0, 0, 12, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A};
    if (n >= 12 && std::memcmp(d, kJp2, 12) == 0)
        return OPJ_CODEC_JP2;
    if (n >= 4 && d[0] == 0xFF && d[1] == 0x4F && d[2] == 0xFF && d[3] == 0x51)
        return OPJ_CODEC_J2K;
    return -1;
}

// A component's sample scaled to 0..255 (signed samples are offset to unsigned).
// The precision comes from the codestream and may claim 0 or more than 31 bits:
// it is held to 1..31 and the arithmetic done in 64 bits.
inline uint8_t to_byte(int v, const opj_image_comp_t &c)
{
    const int prec = std::clamp(int(c.prec), 1, 31);
    int64_t x = v;
    if (c.sgnd)
        x += int64_t(1) << (prec - 1);
    const int64_t max = (int64_t(1) << prec) - 1;
    x = std::clamp<int64_t>(x, 0, max);
    if (prec == 8)
        return uint8_t(x);
    if (prec > 8)
        return uint8_t(x >> (prec - 8));
    return uint8_t((x * 255 + max / 2) / max);
}

inline uint8_t clamp_byte(int v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }

// The colour of an image: from the JP2 colour box, else by component count.
int colour_of(const opj_image_t *image, int colour_comps)
{
    switch (image->color_space) {
    case OPJ_CLRSPC_GRAY: return JPX_GRAY;
    case OPJ_CLRSPC_SRGB: return JPX_RGB;
    case OPJ_CLRSPC_SYCC:
    case OPJ_CLRSPC_EYCC: return JPX_RGB;  // converted while copying
    case OPJ_CLRSPC_CMYK: return JPX_CMYK;
    default: break;
    }
    return colour_comps >= 4 ? JPX_CMYK : colour_comps >= 3 ? JPX_RGB : JPX_GRAY;
}

// Component x of a row, for components stored at a coarser grid (dx, dy).
inline int sample_at(const opj_image_comp_t &c, int x, int y)
{
    int cx = int(c.dx) > 1 ? x / int(c.dx) : x;
    int cy = int(c.dy) > 1 ? y / int(c.dy) : y;
    if (cx >= int(c.w))
        cx = int(c.w) - 1;
    if (cy >= int(c.h))
        cy = int(c.h) - 1;
    return c.data[int64_t(cy) * c.w + cx];
}

// Fills the sample buffers from a decoded image. 0, -3 out of memory, -5 too large
// or a component without data.
int copy_samples(JpxState *s, const opj_image_t *image)
{
    if (image->numcomps == 0)
        return -5;
    const opj_image_comp_t &first = image->comps[0];
    const int width = int(first.w), height = int(first.h);
    if (width <= 0 || height <= 0)
        return -5;
    int colour_idx[4], ncolour = 0, alpha_idx = -1;
    for (unsigned i = 0; i < image->numcomps; i++) {
        const opj_image_comp_t &c = image->comps[i];
        if (!c.data || c.prec < 1 || c.prec > 31 || c.w == 0 || c.h == 0)
            return -5;
        if (c.alpha) {
            if (alpha_idx < 0)
                alpha_idx = int(i);
        } else if (ncolour < 4) {
            colour_idx[ncolour++] = int(i);
        }
    }
    // Without a channel definition a component beyond the colour space's is the opacity.
    const int colour = colour_of(image, ncolour);
    const int wanted = colour == JPX_CMYK ? 4 : colour == JPX_RGB ? 3 : 1;
    if (ncolour < wanted)
        return -5;
    if (alpha_idx < 0 && ncolour > wanted)
        alpha_idx = colour_idx[wanted];
    const int64_t pixels = int64_t(width) * height;
    if (pixels * (wanted + 1) > FILTER_JPX_MAX_SAMPLES)
        return -5;
    s->samples = static_cast<uint8_t *>(std::malloc(size_t(pixels * wanted)));
    if (!s->samples)
        return -3;
    if (alpha_idx >= 0) {
        s->alpha = static_cast<uint8_t *>(std::malloc(size_t(pixels)));
        if (!s->alpha)
            return -3;
    }
    const bool ycc = (image->color_space == OPJ_CLRSPC_SYCC || image->color_space == OPJ_CLRSPC_EYCC) && wanted == 3;
    uint8_t *out = s->samples;
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            if (ycc) {
                // ITU-R BT.601 full range, chroma centred on half the range.
                const opj_image_comp_t &cy = image->comps[colour_idx[0]];
                const opj_image_comp_t &cb = image->comps[colour_idx[1]];
                const opj_image_comp_t &cr = image->comps[colour_idx[2]];
                const int Y = to_byte(sample_at(cy, x, y), cy);
                const int Cb = to_byte(sample_at(cb, x, y), cb) - 128;
                const int Cr = to_byte(sample_at(cr, x, y), cr) - 128;
                *out++ = clamp_byte(Y + ((91881 * Cr + 32768) >> 16));
                *out++ = clamp_byte(Y - ((22554 * Cb + 46802 * Cr + 32768) >> 16));
                *out++ = clamp_byte(Y + ((116130 * Cb + 32768) >> 16));
            } else {
                for (int k = 0; k < wanted; k++) {
                    const opj_image_comp_t &c = image->comps[colour_idx[k]];
                    *out++ = to_byte(sample_at(c, x, y), c);
                }
            }
            if (s->alpha) {
                const opj_image_comp_t &a = image->comps[alpha_idx];
                s->alpha[int64_t(y) * width + x] = to_byte(sample_at(a, x, y), a);
            }
        }
    }
    s->info.width = width;
    s->info.height = height;
    s->info.components = wanted;
    s->info.colour = colour;
    s->info.has_alpha = s->alpha != nullptr;
    s->length = pixels * wanted;
    return 0;
}

// Reads the header, picks the reduction, decodes. 0 or a negative status.
int decode_image(JpxState *s, const uint8_t *data, int n)
{
    const int codec_kind = codec_of(data, n);
    if (codec_kind < 0)
        return -7;
    opj_codec_t *codec = opj_create_decompress(OPJ_CODEC_FORMAT(codec_kind));
    if (!codec)
        return -3;
    opj_set_error_handler(codec, quiet, nullptr);
    opj_set_warning_handler(codec, quiet, nullptr);
    opj_set_info_handler(codec, quiet, nullptr);
    opj_dparameters_t parameters;
    opj_set_default_decoder_parameters(&parameters);
    MemoryStream memory{data, OPJ_SIZE_T(n), 0};
    opj_stream_t *stream = opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, OPJ_TRUE);
    opj_image_t *image = nullptr;
    int rc = -7;
    if (stream && opj_setup_decoder(codec, &parameters)) {
        opj_stream_set_user_data(stream, &memory, nullptr);
        opj_stream_set_user_data_length(stream, OPJ_UINT64(n));
        opj_stream_set_read_function(stream, memory_read);
        opj_stream_set_skip_function(stream, memory_skip);
        opj_stream_set_seek_function(stream, memory_seek);
        if (opj_read_header(stream, codec, &image) && image && image->numcomps > 0) {
            // The fewest resolution levels of any component bound the reduction.
            int levels = 33;
            if (opj_codestream_info_v2_t *info = opj_get_cstr_info(codec)) {
                if (info->m_default_tile_info.tccp_info)
                    for (unsigned i = 0; i < info->nbcomps; i++)
                        if (int(info->m_default_tile_info.tccp_info[i].numresolutions) < levels)
                            levels = int(info->m_default_tile_info.tccp_info[i].numresolutions);
                opj_destroy_cstr_info(&info);
            }
            int reduce = s->params.reduce;
            if (reduce > levels - 1)
                reduce = levels - 1;
            if (reduce < 0)
                reduce = 0;
            // An image too large for memory is decoded at the first level that fits.
            const int64_t w = int64_t(image->x1) - image->x0, h = int64_t(image->y1) - image->y0;
            auto samples_at = [&](int r) {
                return ((w + (1ll << r) - 1) >> r) * ((h + (1ll << r) - 1) >> r) * image->numcomps;
            };
            while (reduce < levels - 1 && samples_at(reduce) > FILTER_JPX_MAX_SAMPLES)
                reduce++;
            if (w <= 0 || h <= 0 || samples_at(reduce) > FILTER_JPX_MAX_SAMPLES) {
                rc = -5;
            } else if ((reduce == 0 || opj_set_decoded_resolution_factor(codec, OPJ_UINT32(reduce))) &&
                       opj_decode(codec, stream, image) && opj_end_decompress(codec, stream)) {
                s->info.reduce = reduce;
                rc = copy_samples(s, image);
            }
        }
    }
    opj_image_destroy(image);
    if (stream)
        opj_stream_destroy(stream);
    opj_destroy_codec(codec);
    return rc;
}

bool ensure_decoded(ByteReader *r)
{
    auto *s = static_cast<JpxState *>(r->ctx);
    return filter_decode_once(r->next, FILTER_JPX_MAX_DATA, &s->decoded, [s](const uint8_t *data, int n) {
        const int rc = decode_image(s, data, n);
        if (rc != 0) {
            std::free(s->samples);
            std::free(s->alpha);
            s->samples = s->alpha = nullptr;
            s->length = 0;
        }
        return rc;
    });
}

int jpx_fill(ByteReader *r, uint8_t *buffer, int capacity)
{
    auto *s = static_cast<JpxState *>(r->ctx);
    if (!ensure_decoded(r))
        return -1;
    return filter_serve(buffer, capacity, s->samples, s->length, &s->at);
}

void jpx_close(ByteReader *r)
{
    auto *s = static_cast<JpxState *>(r->ctx);
    if (s) {
        std::free(s->samples);
        std::free(s->alpha);
    }
    std::free(s);
}

}  // namespace

ByteReader *pdf_filter_jpx(ByteReader *source, const JpxParams &params)
{
    if (!source)
        return nullptr;
    auto *s = static_cast<JpxState *>(std::calloc(1, sizeof(JpxState)));
    if (!s)
        return nullptr;
    s->params = params;
    ByteReader *r = reader_new(jpx_fill, s, source);
    if (!r) {
        std::free(s);
        return nullptr;
    }
    r->close = jpx_close;
    return r;
}

int pdf_is_jpx_reader(const ByteReader *reader) { return reader && reader->fill == jpx_fill; }

int pdf_jpx_info(ByteReader *reader, JpxInfo *out)
{
    if (!reader || reader->fill != jpx_fill)
        return -1;
    if (!ensure_decoded(reader))
        return -7;
    *out = static_cast<JpxState *>(reader->ctx)->info;
    return 0;
}

void pdf_jpx_set_reduce(ByteReader *reader, int levels)
{
    if (reader && reader->fill == jpx_fill)
        static_cast<JpxState *>(reader->ctx)->params.reduce = levels;
}

const uint8_t *pdf_jpx_alpha(ByteReader *reader)
{
    if (!reader || reader->fill != jpx_fill || !ensure_decoded(reader))
        return nullptr;
    return static_cast<JpxState *>(reader->ctx)->alpha;
}

// Drawing image XObjects and inline images: visibility, the placeholder
// rules, opening the data through the filter chain, the soft mask, and the
// progressive path that paints upright images top to bottom while they
// decode.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "pdf/document.h"
#include "pdf/filters.h"
#include "pdf/object.h"
#include "pdf/reader.h"
#include "pdf/stream.h"
#include "render/image.h"
#include "render/image_draw.h"
#include "render/interp.h"
#include "render/limits.h"
#include "render/page.h"

namespace {

// False when the unit square under the CTM lies entirely outside the raster.
bool unit_square_visible(const RenderContext *ctx)
{
    double minx, miny, maxx, maxy;
    image_device_box(ctx->gs->ctm, &minx, &miny, &maxx, &maxy);
    double top = ctx->band_top, bottom = top + ctx->surface->height;
    return maxx >= 0 && minx < ctx->surface->width && maxy >= top && miny < bottom;
}

// Progressive painting: after output row k is ready, the device rows that
// sample only finished rows are painted: one row behind for bilinear
// sampling, and as many more as one device row covers when it averages
// several image rows.
struct Progress {
    RenderContext *ctx;
    DecodedImage *image;
    int painted_to;  // page row below the last painted one
    int lag;         // image rows kept back
    ImageColumns columns;
};

int row_boundary(const RenderContext *ctx, int rows, int height)
{
    const float *m = ctx->gs->ctm;
    double y = double(m[3]) * (1.0 - double(rows) / height) + m[5] - 0.5;
    return (y > -1e9 ? (y < 1e9 ? int(y) : 1000000000) : -1000000000) + 1;
}

void progress_rows(void *user, int rows)
{
    auto *p = static_cast<Progress *>(user);
    if (rows <= p->lag || p->ctx->aborted)
        return;
    int to = row_boundary(p->ctx, rows - p->lag, p->image->height);
    if (to > p->painted_to) {
        image_paint(p->ctx, p->image, p->painted_to, to, rows, &p->columns);
        p->painted_to = to;
    }
}

// The reason of a failed decoding step: memory, a size (dimensions or
// the output limit) or the sample format (bit depth, colour space).
void record_failure(RenderContext *ctx, int rc, bool format)
{
    add_diagnostic(ctx, rc == -3  ? "image-load(memory)"
                        : format  ? "image-load(format)"
                        : rc == -5 ? "image-load(size)"
                                   : "image-load");
}

// JPEG 2000 data carry their own size and colour. The data are decoded at
// the smallest resolution level still at least twice the image's device
// size (the wavelet's own reduction is blurrier than an area average);
// the size, the depth and, when the dictionary names no colour space or one
// of another component count, the colour come from the codestream. 0, or
// -7 when the data cannot be decoded.
int prepare_jpx(RenderContext *ctx, ByteReader *data, ImageParams *p, SampleFormat *f)
{
    const float *m = ctx->gs->ctm;
    double ex = std::hypot(double(m[0]), double(m[1])), ey = std::hypot(double(m[2]), double(m[3]));
    int levels = 0;
    while (levels < 30 && (p->width >> (levels + 1)) >= 2 * ex && (p->height >> (levels + 1)) >= 2 * ey)
        levels++;
    pdf_jpx_set_reduce(data, levels);
    JpxInfo info;
    if (pdf_jpx_info(data, &info) != 0)
        return -7;
    if (info.width < 1 || info.width > IMAGE_MAX_SIDE || info.height < 1 || info.height > IMAGE_MAX_SIDE)
        return -5;
    p->width = info.width;
    p->height = info.height;
    p->bpc = 8;
    p->invert = 0;
    if (f->has_palette ? info.components != 1 : f->ncomps != info.components) {
        std::memset(f, 0, sizeof *f);
        f->ncomps = info.components;
    }
    return 0;
}

// The Matte colour of a soft mask as RGB bytes: the colour the image's
// colours were pre-multiplied with. False when there is none, or when its
// component count is not the image's.
bool matte_colour(RenderContext *ctx, PdfObject *smask, const SampleFormat &f, uint8_t rgb[3])
{
    PdfObject *matte = pdf_dict_get_resolved(ctx->doc, smask->dict, "Matte");
    int n = f.ncomps;
    if (!pdf_is_type(matte, PDF_ARRAY) || f.has_palette || f.general || pdf_array_len(matte) != n ||
        (n != 1 && n != 3 && n != 4))
        return false;
    double c[4];
    for (int i = 0; i < n; i++) {
        double v = pdf_to_number(pdf_resolve(ctx->doc, pdf_array_get(matte, i)), 0);
        c[i] = !(v > 0) ? 0 : v > 1 ? 1 : v;
    }
    for (int k = 0; k < 3; k++) {
        double v = n == 1 ? c[0] : n == 3 ? c[k] : (1 - c[k]) * (1 - c[3]);
        rgb[k] = uint8_t(v * 255 + 0.5);
    }
    return true;
}

// Colours pre-multiplied with the matte colour m are divided back by their
// alpha: c = m + (c - m) / alpha.
void divide_matte(DecodedImage *image, const uint8_t m[3])
{
    size_t pixels = size_t(image->width) * size_t(image->height);
    for (size_t i = 0; i < pixels; i++) {
        int a = image->alpha[i];
        uint8_t *c = image->rgb + 3 * i;
        for (int k = 0; k < 3; k++) {
            int v = a == 0 ? m[k] : m[k] + (int(c[k]) - m[k]) * 255 / a;
            c[k] = uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
        }
    }
}

// A plane reduced by box averages of sx x sy pixels (heap), or null.
uint8_t *reduce_plane(const uint8_t *plane, int w, int h, int sx, int sy)
{
    int ow = (w + sx - 1) / sx, oh = (h + sy - 1) / sy;
    auto *out = static_cast<uint8_t *>(std::malloc(size_t(ow) * size_t(oh)));
    if (!out)
        return nullptr;
    for (int oy = 0; oy < oh; oy++)
        for (int ox = 0; ox < ow; ox++) {
            uint32_t sum = 0, count = 0;
            for (int y = oy * sy; y < h && y < (oy + 1) * sy; y++)
                for (int x = ox * sx; x < w && x < (ox + 1) * sx; x++, count++)
                    sum += plane[size_t(y) * size_t(w) + size_t(x)];
            out[size_t(oy) * size_t(ow) + size_t(ox)] = uint8_t((sum + count / 2) / count);
        }
    return out;
}

}  // namespace

int draw_image_data(RenderContext *ctx, PdfObject *dict, ByteReader *raw, const ImageOptions &opt)
{
    ImageParams p;
    int rc = image_read_params(ctx, dict, &p);
    SampleFormat format{};
    if (rc == 0 && !p.is_mask) {
        PdfObject *cs = opt.inline_image ? pdf_dict_get(dict, "CS") : nullptr;
        if (!cs)
            cs = pdf_dict_get(dict, "ColorSpace");
        rc = image_format_parse(ctx, cs, &format, 0);
    }
    bool format_failed = rc != 0 && p.width > 0;
    int sx = 1, sy = 1;
    if (rc == 0) {
        image_reduction(ctx, p.width, p.height, p.is_mask ? 4 : 3, &sx, &sy);
    }
    if (rc != 0) {
        reader_close_chain(raw);
        if (!opt.inline_image)
            record_failure(ctx, rc, format_failed);
        image_paint_placeholder(ctx);
        return rc;
    }
    // DCT data come out in the component count asked for, except CMYK JPEGs.
    int wanted = p.is_mask || format.has_palette ? 1 : format.ncomps;
    if (wanted != 1 && wanted != 3 && wanted != 4)
        wanted = 1;
    const char *unsupported = nullptr;
    ByteReader *data = pdf_apply_filters(ctx->doc, raw, dict, &unsupported, wanted);
    if (!data) {
        reader_close_chain(raw);
        if (unsupported)
            add_diagnostic(ctx, unsupported);
        image_paint_placeholder(ctx);
        return -7;
    }
    int dct = pdf_dct_output_components(data);
    if (dct > 0 && dct != format.ncomps && !p.is_mask && !format.has_palette && !format.general)
        format.ncomps = dct;
    // JBIG2 and JPX data are decoded whole at the first read: data that
    // cannot be decoded draw the placeholder instead of blank rows.
    int jbig2_w, jbig2_h;
    if (pdf_jbig2_size(data, &jbig2_w, &jbig2_h) == -7) {
        reader_close_chain(data);
        if (!opt.inline_image)
            add_diagnostic(ctx, "image-load(data)");
        image_paint_placeholder(ctx);
        return -7;
    }
    JpxInfo jpx{};
    if (!p.is_mask && pdf_is_jpx_reader(data)) {
        rc = prepare_jpx(ctx, data, &p, &format);
        if (rc != 0) {
            reader_close_chain(data);
            if (!opt.inline_image)
                add_diagnostic(ctx, rc == -7 ? "image-load(data)" : "image-load(size)");
            image_paint_placeholder(ctx);
            return rc;
        }
        pdf_jpx_info(data, &jpx);
        image_reduction(ctx, p.width, p.height, 3, &sx, &sy);
    }

    DecodedImage image{};
    const float *m = ctx->gs->ctm;
    uint8_t matte[3];
    bool has_matte = opt.smask && !p.is_mask && matte_colour(ctx, opt.smask, format, matte);
    // Pre-multiplied colours are divided back before painting: no progressive painting.
    bool progressive = opt.progressive && !p.is_mask && !has_matte && std::fabs(m[1]) < 0.01f &&
                       std::fabs(m[2]) < 0.01f && m[3] < 0;
    uint8_t *alpha = nullptr;
    if (opt.smask || opt.stencil) {
        int ow = (p.width + sx - 1) / sx, oh = (p.height + sy - 1) / sy;
        alpha = image_decode_smask(ctx, opt.smask ? opt.smask : opt.stencil, ow, oh, !opt.smask);
    } else if (jpx.has_alpha && pdf_to_int(pdf_dict_get_resolved(ctx->doc, dict, "SMaskInData"), 0) > 0) {
        // The opacity channel of the codestream.
        if (const uint8_t *plane = pdf_jpx_alpha(data))
            alpha = reduce_plane(plane, p.width, p.height, sx, sy);
    }
    Progress progress{ctx, &image, INT32_MIN, 1, {}};
    ImageRowHook hook{progress_rows, &progress, 0};
    if (progressive) {
        // Rows below the raster are not decoded: the last output row needed
        // is the one whose top edge is still above the raster's bottom.
        double bottom = ctx->band_top + ctx->surface->height;
        int oh = (p.height + sy - 1) / sy;
        progress.lag = 1 + int(std::ceil(std::fmin(oh / std::fabs(double(m[3])), double(oh))));
        double need = oh * (1.0 - (bottom - m[5]) / m[3]);
        hook.row_limit = need >= oh ? oh : need < 0 ? 0 : int(need) + 1;
        if (hook.row_limit > oh)
            hook.row_limit = oh;
    }
    image.alpha = alpha;  // the progressive painter reads it while rows arrive
    rc = image_decode(ctx, data, &p, &format, sx, sy, &image, progressive ? &hook : nullptr);
    reader_close_chain(data);
    if (rc != 0) {
        if (!opt.inline_image)
            record_failure(ctx, rc, false);
        image_free(&image);
        image_paint_placeholder(ctx);
        return rc;
    }
    if (has_matte && image.alpha && image.rgb)
        divide_matte(&image, matte);
    if (!ctx->aborted) {
        if (progressive)
            image_paint(ctx, &image, progress.painted_to, INT32_MAX,
                        hook.row_limit > 0 ? hook.row_limit : 1, &progress.columns);
        else
            image_paint(ctx, &image, INT32_MIN, INT32_MAX, image.height);
    }
    image_free(&image);
    return 0;
}

int draw_image_xobject(RenderContext *ctx, PdfObject *stream)
{
    if (!pdf_is_type(stream, PDF_STREAM))
        return -2;
    if (ctx->text_only || !ctx->surface || !unit_square_visible(ctx))
        return 0;
    PdfDoc *doc = ctx->doc;
    PdfObject *dict = stream->dict;
    PdfObject *im = pdf_dict_get_resolved(doc, dict, "ImageMask");
    bool is_mask = (pdf_is_type(im, PDF_BOOL) && im->boolean) || pdf_to_int(im, 0) != 0;
    if (!is_mask) {
        double w = pdf_to_number(pdf_dict_get_resolved(doc, dict, "Width"), 0);
        double h = pdf_to_number(pdf_dict_get_resolved(doc, dict, "Height"), 0);
        if (thumbnail_mode() || (!show_large_images() && w * h > IMAGE_LARGE_PIXELS)) {
            if (!thumbnail_mode())
                add_diagnostic(ctx, "image-placeholder");  // ShowLargeImages is off
            image_paint_placeholder(ctx);
            return 0;
        }
    }
    ByteReader *raw = pdf_open_raw_stream(doc, stream);
    if (!raw) {
        add_diagnostic(ctx, "image-load(no-data)");
        image_paint_placeholder(ctx);
        return -1;
    }
    ImageOptions opt;
    opt.progressive = 1;
    PdfObject *smask = pdf_dict_get_resolved(doc, dict, "SMask");
    opt.smask = pdf_is_type(smask, PDF_STREAM) ? smask : nullptr;
    // A Mask stream (an image mask) hides the image where it does not paint;
    // a Mask array (a colour key) is applied while decoding.
    PdfObject *mask = pdf_dict_get_resolved(doc, dict, "Mask");
    opt.stencil = !is_mask && pdf_is_type(mask, PDF_STREAM) ? mask : nullptr;
    return draw_image_data(ctx, dict, raw, opt);
}

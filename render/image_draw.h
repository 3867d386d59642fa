// The decode-and-paint step shared by image XObjects and inline images.
#pragma once

struct ByteReader;
struct PdfObject;
struct RenderContext;

struct ImageOptions {
    int inline_image = 0;        // no diagnostics for decoding failures; CS abbreviation
    int progressive = 0;         // upright images paint while they decode
    PdfObject *smask = nullptr;  // SMask stream, or null
    PdfObject *stencil = nullptr;  // Mask stream (an image mask), used when there is no SMask
};

// Decodes the image described by `dict` from the undecoded data `raw`
// (closed here) and paints it; failures paint the placeholder. 0, -3, -5
// or -7 as draw_image_xobject.
int draw_image_data(RenderContext *ctx, PdfObject *dict, ByteReader *raw, const ImageOptions &opt);

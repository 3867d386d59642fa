// Sampled images: the sample format with its palette, decoding of image
// data row by row with reduction while decoding, painting by inverse
// mapping, and the draw decisions of image XObjects and inline images.
#pragma once
#include <cstdint>
#include <vector>

struct ByteReader;
struct ColorSpace;
struct OperandStack;
struct PdfObject;
struct RenderContext;

// How the samples of one image become RGB bytes.
struct SampleFormat {
    int ncomps;              // components of a sample: 1, 3, 4, or a general space's count
    int has_palette;         // 1: samples are indexes into `palette`
    int hival;               // highest palette index
    uint8_t palette[256][3]; // red, green, blue
    ColorSpace *general;     // converted per pixel (Separation, DeviceN, Lab), or null
};

// What the image dictionary says about the samples.
struct ImageParams {
    int width, height;
    int bpc;     // 1 for image masks
    int is_mask;
    int invert;  // Decode asks for inversion
    // Colour-key masking (a Mask array): pixels whose every component lies
    // in its [min, max] range of raw sample values are not painted. Used
    // when key_count is twice the component count.
    int key_count;
    int key[64];
};

// A decoded image: RGB bytes (3 per pixel, top row first) for colour
// images, or one byte per pixel for masks (255 = paint); `alpha` is an
// optional plane of the same size. Heap memory, freed with image_free.
struct DecodedImage {
    int width, height;
    uint8_t *rgb;
    uint8_t *plane;  // image masks: coverage
    uint8_t *alpha;  // SMask alpha, or null
    int is_mask;
};

// Called after every finished output row with the count of rows ready;
// decoding stops once `row_limit` rows are done.
struct ImageRowHook {
    void (*rows_ready)(void *user, int rows);
    void *user;
    int row_limit;
};

// The sample format of a colour-space object of an image dictionary (null:
// gray). 0, or -5 when an Indexed base is itself indexed or general.
int image_format_parse(RenderContext *ctx, PdfObject *cs, SampleFormat *out, int depth);
// Reads Width/W, Height/H, BitsPerComponent/BPC, ImageMask/IM, Decode/D
// and a colour-key Mask array. 0, or -5 for sizes outside 1..IMAGE_MAX_SIDE or an unsupported
// bit depth.
int image_read_params(RenderContext *ctx, PdfObject *dict, ImageParams *out);
// Reduction steps for the image's extent under the current CTM, grown
// where needed so that the output (bytes_per_pixel each) fits IMAGE_MAX_OUTPUT.
void image_reduction(const RenderContext *ctx, int width, int height, int bytes_per_pixel, int *sx,
                     int *sy);
// Decodes rows of `data` into `out` (heap; `out->alpha` is kept, and the
// row buffer is in `out` from the first row on, for the hook). A colour key
// in `params` fills `out->alpha` when it has none. 0; -3 out of memory; -5
// output beyond IMAGE_MAX_OUTPUT. Short data gives zero-filled rows. A stop asked
// by the progress callback ends decoding early with status 0.
int image_decode(RenderContext *ctx, ByteReader *data, const ImageParams *params,
                 const SampleFormat *format, int sx, int sy, DecodedImage *out,
                 const ImageRowHook *hook);
// The alpha plane of an SMask stream resampled to width x height (heap), or
// null when it cannot be decoded. With `stencil` the stream is a Mask image
// mask instead: 255 where its samples paint, 0 where they mask the image out.
uint8_t *image_decode_smask(RenderContext *ctx, PdfObject *smask, int width, int height,
                            bool stencil);
void image_free(DecodedImage *image);

// The device box of the unit square under the matrix m.
void image_device_box(const float m[6], double *minx, double *miny, double *maxx, double *maxy);
// How the device columns of an upright image sample it, kept by a caller
// that paints the same image a few rows at a time (progressive painting).
struct ImageColumns {
    struct Tap {
        int index, weight;  // source column; weights of one column add up to 256
    };
    bool valid = false;
    int w = 0, x0 = 0, len = 0;  // what the taps were worked out for
    double scale = 0, offset = 0;
    bool smooth = false;
    std::vector<Tap> taps;
    std::vector<int> at;      // taps of column i: at[i] .. at[i + 1] - 1
    std::vector<uint8_t> in;  // the column's centre is inside the image
};

// Paints page rows y0 .. y1 - 1 of the image over the CTM's unit square;
// only the first `rows_ready` rows of the image are sampled. `columns`, when
// given, keeps the column sampling of upright images between calls.
void image_paint(RenderContext *ctx, const DecodedImage *image, int y0, int y1, int rows_ready,
                 ImageColumns *columns = nullptr);
// The gray box drawn in place of an image that is not decoded.
void image_paint_placeholder(RenderContext *ctx);

// Do with an image XObject: 0; -1 no data; -2 not a stream; -3 out of
// memory; -5 bad dimensions or format; -7 data unreadable.
int draw_image_xobject(RenderContext *ctx, PdfObject *stream);
// BI ... ID ... EI: reads the dictionary and the data from the content
// stream and draws the image (not in text-collection mode). Returns the
// dictionary, or null when it could not be read.
PdfObject *draw_inline_image(OperandStack *stack);

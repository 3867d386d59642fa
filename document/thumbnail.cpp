// Page thumbnails: the whole page at the scale that makes it 104 pixels
// wide, with greeking and the renderer's thumbnail mode switched on around
// the render. The thumbnail panel and pagrix-render share this routine, so
// the panel can be checked pixel for pixel against the command line.
#include "bitmap/bitmap.h"
#include "document/document.h"
#include "render/page.h"

namespace {

constexpr float THUMBNAIL_WIDTH = 104.0f;  // pixels
constexpr float THUMBNAIL_GREEK_PX = 8.0f;  // text smaller than this becomes bars

}  // namespace

int doc_render_thumbnail(Document *doc, int page, PageBitmap **out)
{
    if (out)
        *out = nullptr;
    if (!doc || !out)
        return -2;
    int w = 0, h = 0;
    if (int rc = doc_page_pixel_size(doc, page, 1.0f, &w, &h); rc != 0)
        return rc;
    if (w <= 0)
        return -5;
    float scale = THUMBNAIL_WIDTH / float(w);
    if (scale > 1.0f)
        scale = 1.0f;
    set_greek_threshold(THUMBNAIL_GREEK_PX);
    set_thumbnail_mode(1);
    int rc = doc_render_page(doc, page, scale, 0, 0, out);
    set_thumbnail_mode(0);
    set_greek_threshold(0.0f);
    if (rc != 0 && *out) {
        bitmap_free(*out);
        *out = nullptr;
    }
    if (rc == 0 && !*out)
        rc = -1;
    return rc;
}

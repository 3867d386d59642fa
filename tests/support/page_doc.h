// One-page PDF documents written from content text, rendered through the
// page driver with their diagnostics: the harness of the interpreter and
// transparency tests.
#pragma once
#include <string>
#include <vector>

#include "bitmap/bitmap.h"

namespace testsupport {

// A one-page PDF: object 3 is the page (MediaBox and extra page entries
// given), object 4 its content stream; `extra` holds further objects
// numbered from 5 as "<<...>>" or "<<...>>\nstream\n...\nendstream" bodies.
std::string one_page_pdf(const std::string &content, const std::string &media = "[0 0 100 100]",
                         const std::string &page_extra = "",
                         const std::vector<std::string> &extra = {});

// A stream object body for `extra`.
std::string stream_obj(const std::string &dict, const std::string &data);

struct Rendered {
    PageBitmap *bm = nullptr;
    int status = 0;
    std::string diags;  // space-separated
    ~Rendered() { bitmap_free(bm); }
    // Blue, green, red of a pixel as 0xRRGGBB.
    unsigned px(int x, int y) const
    {
        const uint8_t *p = bm->pixels + y * bm->stride + 3 * x;
        return unsigned(p[2]) << 16 | unsigned(p[1]) << 8 | p[0];
    }
};

// Renders page 1 of `pdf` (written to a scratch file) at `scale`, rows
// first .. first + rows - 1 (rows 0: the whole page).
void render_doc(const std::string &pdf, Rendered *out, float scale = 1.0f, int first = 0,
                int rows = 0);

}  // namespace testsupport

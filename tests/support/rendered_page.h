// Rendering a PDF given as bytes (page 1) for tests that check the pixels a
// page paints and the diagnostics it leaves.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "bitmap/bitmap.h"
#include "pdf/document.h"
#include "render/page.h"
#include "test_support.h"

namespace testsupport {

struct RenderedPage {
    PageBitmap *bm = nullptr;
    int status = 0;
    std::string diags;  // space-separated
    RenderedPage() = default;
    RenderedPage(const RenderedPage &) = delete;
    RenderedPage &operator=(const RenderedPage &) = delete;
    ~RenderedPage() { bitmap_free(bm); }
    // Blue, green, red of a pixel as 0xRRGGBB.
    unsigned px(int x, int y) const
    {
        const uint8_t *p = bm->pixels + y * bm->stride + 3 * x;
        return unsigned(p[2]) << 16 | unsigned(p[1]) << 8 | p[0];
    }
};

// Writes `pdf` to a scratch file and renders rows first .. first + rows - 1
// of its first page (rows 0: all) at `scale`.
inline void render_pdf_page(const std::string &pdf, RenderedPage *out, float scale = 1.0f,
                            int first = 0, int rows = 0)
{
    static int counter = 0;
    std::string path = scratch_path("rendered_page" + std::to_string(counter++) + ".pdf");
    ASSERT_TRUE(write_file(path, pdf));
    PdfDoc *doc = nullptr;
    ASSERT_EQ(pdf_open(&doc, path.c_str(), nullptr), 0);
    char diags[600];
    out->status = render_page_diag(doc, 0, scale, first, rows, &out->bm, diags, sizeof diags);
    for (const char *d = diags; *d; d += std::strlen(d) + 1)
        out->diags += (out->diags.empty() ? "" : " ") + std::string(d);
    pdf_close(doc);
}

}  // namespace testsupport

// Page thumbnails: 104 pixels wide whatever the page's size and rotation,
// never enlarged, a failed render leaves nothing behind, and the renderer's
// thumbnail mode is off again afterwards.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "bitmap/bitmap.h"
#include "document/document.h"
#include "pdf_builder.h"
#include "render/page.h"
#include "test_support.h"

namespace {

std::string red_page_pdf(const std::string &page_entries)
{
    testsupport::PdfBuilder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /Contents 4 0 R " + page_entries + " >>");
    b.stream(4, "", "1 0 0 rg -10 -10 300000 300000 re f");
    b.startxref(b.xref_section("/Size 5 /Root 1 0 R"));
    return b.str();
}

TEST(Thumbnail, WidthIs104NeverEnlargedAndFailuresLeaveNothing)
{
    struct Row {
        const char *what;
        const char *entries;
        int rc;     // 0 or "failed" (-1: any failure)
        int w, h;   // expected size (h within one pixel)
    } rows[] = {
        {"letter", "/MediaBox [0 0 612 792]", 0, 104, 135},
        {"letter turned", "/MediaBox [0 0 612 792] /Rotate 90", 0, 104, 80},
        {"wide strip", "/MediaBox [0 0 1040 100]", 0, 104, 10},
        {"narrower than 104 points: kept at scale 1", "/MediaBox [0 0 50 80]", 0, 50, 80},
        {"too tall for a bitmap at scale 1", "/MediaBox [0 0 10 200000]", -1, 0, 0},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.what);
        const std::string path = testsupport::scratch_path("thumb.pdf");
        testsupport::write_file(path, red_page_pdf(r.entries));
        Document *doc = nullptr;
        ASSERT_EQ(doc_open(&doc, path.c_str(), nullptr), 0);
        PageBitmap *thumb = reinterpret_cast<PageBitmap *>(1);  // must be overwritten
        const int rc = doc_render_thumbnail(doc, 0, &thumb);
        EXPECT_EQ(thumbnail_mode(), 0) << "thumbnail mode left on";
        if (r.rc != 0) {
            EXPECT_NE(rc, 0);
            EXPECT_EQ(thumb, nullptr);
        } else {
            ASSERT_EQ(rc, 0);
            ASSERT_NE(thumb, nullptr);
            EXPECT_EQ(thumb->width, r.w);
            EXPECT_NEAR(thumb->height, r.h, 1);
            const uint8_t *mid = thumb->pixels + size_t(thumb->height / 2) * size_t(thumb->stride) +
                                 size_t(thumb->width / 2) * 3;
            EXPECT_EQ(mid[2], 255) << "the page's content is drawn";
            EXPECT_EQ(mid[1], 0);
        }
        bitmap_free(thumb != reinterpret_cast<PageBitmap *>(1) ? thumb : nullptr);
        doc_close(doc);
    }
}

}  // namespace

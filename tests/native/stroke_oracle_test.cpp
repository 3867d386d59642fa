// Strokes against mutool draw, with pdftoppm's own distance from mutool as
// the measure of how far two independent renderers may disagree: dash
// patterns of every kind, and line widths under skewed and non-uniform
// matrices.
#include <gtest/gtest.h>

#include <string>

#include "bitmap/bitmap.h"
#include "pdf/document.h"
#include "render/page.h"
#include "oracle_image.h"
#include "pdf_builder.h"
#include "test_support.h"

namespace {

// A one-page letter-size document with the given content stream.
std::string page_with(const std::string &content)
{
    testsupport::PdfBuilder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << >> "
             "/Contents 4 0 R >>");
    b.stream(4, "", content);
    b.startxref(b.xref_section("/Size 5 /Root 1 0 R"));
    return b.str();
}

TEST(StrokeOracle, DashesAndSkewedWidthsFollowTheRelativeRule)
{
    if (!testsupport::have_oracle_renderers())
        GTEST_SKIP() << "mutool or pdftoppm missing";
    struct Row {
        const char *what;
        std::string content;
    } rows[] = {
        // Even and odd patterns, phases (negative too), zero-length dashes
        // with each cap, zero gaps, all-zero and negative entries, more
        // entries than a state keeps, and dashes round a circle, a
        // rectangle, a closed triangle and a curve.
        {"dashes",
         "0 0 0 RG\n"
         "[] 0 d 0 J 4 w 40 770 m 300 770 l S\n"
         "[10 5] 0 d 0 J 4 w 40 740 m 300 740 l S\n"
         "[10 5] 7 d 0 J 4 w 40 710 m 300 710 l S\n"
         "[10 5] 100 d 0 J 4 w 40 680 m 300 680 l S\n"
         "[0 8] 0 d 1 J 6 w 40 650 m 300 650 l S\n"
         "[0 8] 0 d 2 J 6 w 40 620 m 300 620 l S\n"
         "[0 8] 0 d 0 J 6 w 40 590 m 300 590 l S\n"
         "[3 0] 0 d 0 J 4 w 40 560 m 300 560 l S\n"
         "[0 0] 0 d 0 J 4 w 40 530 m 300 530 l S\n"
         "[5] 0 d 0 J 4 w 40 500 m 300 500 l S\n"
         "[5] 2 d 0 J 4 w 40 470 m 300 470 l S\n"
         "[20 4 2 4] 0 d 1 J 3 w 40 440 m 300 440 l S\n"
         "[1 1 1 1 1 1 1 1 1 1] 0 d 0 J 3 w 40 410 m 300 410 l S\n"
         "[2 3] -4 d 0 J 4 w 40 380 m 300 380 l S\n"
         "[10 -5] 0 d 0 J 4 w 40 350 m 300 350 l S\n"
         "[15 6] 0 d 0 J 3 w 540 650 m 540 699.707 499.707 740 450 740 c "
         "400.293 740 360 699.707 360 650 c 360 600.293 400.293 560 450 560 c "
         "499.707 560 540 600.293 540 650 c h S\n"
         "[12 8] 4 d 2 J 5 w 0 j 360 380 150 120 re S\n"
         "[0 10] 0 d 1 J 6 w 360 200 m 560 240 l 420 300 l h S\n"
         "[30 10] 0 d 0 J 2 w 40 300 m 100 150 200 350 300 200 c S\n"},
        // Lines under a skew, a rotation with skew, and x/y scales of 8:1
        // and 1:12, with miter joins and butt caps; a fill under a matrix
        // that nearly flattens user space.
        {"skew",
         "q 1 0 0.6 1 50 500 cm 0 0 0.7 rg 0 0 150 150 re f 0 0 0 RG 8 w 20 20 m 130 130 l S Q\n"
         "q 1 0.3 -0.4 1 380 480 cm 0.7 0 0 rg 110 50 m 110 83.138 83.138 110 50 110 c "
         "16.862 110 -10 83.138 -10 50 c -10 16.862 16.862 -10 50 -10 c "
         "83.138 -10 110 16.862 110 50 c h f "
         "0 0 0 RG 4 w 0 J 0 j -20 0 m 120 0 l 120 100 l S Q\n"
         "q 4 0 0 0.5 40 200 cm 0 0 0 RG 6 w 0 0 m 50 0 l 50 200 l S Q\n"
         "q 0.25 0 0 3 350 100 cm 0 0.4 0 RG 10 w 0 0 m 800 0 l 800 100 l S Q\n"
         "q 1 0 0.99 0.05 300 350 cm 0 0 0 rg 0 0 200 1000 re f Q\n"},
    };
    for (const Row &row : rows) {
        const std::string file = testsupport::scratch_path(std::string("stroke_") + row.what + ".pdf");
        ASSERT_TRUE(testsupport::write_file(file, page_with(row.content)));
        PdfDoc *doc = nullptr;
        ASSERT_EQ(pdf_open(&doc, file.c_str(), nullptr), 0);
        for (int dpi : {72, 150}) {
            testsupport::RgbImage mu, pp;
            ASSERT_TRUE(testsupport::oracle_render(file, 1, dpi, false, &mu));
            ASSERT_TRUE(testsupport::oracle_render(file, 1, dpi, true, &pp));
            PageBitmap *bm = nullptr;
            ASSERT_EQ(render_page(doc, 0, float(dpi) / 72.0f, 0, 0, &bm), 0);
            double ours = testsupport::psnr(testsupport::rgb_from_bitmap(bm), mu);
            double poppler = testsupport::psnr(pp, mu);
            bitmap_free(bm);
            std::printf("STROKE %s %d dpi: PSNR vs mutool ours %.1f, pdftoppm %.1f\n", row.what,
                        dpi, ours, poppler);
            EXPECT_TRUE(ours >= poppler - 1.0 || ours >= 40.0)
                << row.what << " at " << dpi << " dpi: ours " << ours << " dB, pdftoppm "
                << poppler << " dB";
        }
        pdf_close(doc);
    }
}

}  // namespace

// Every page of the real-world corpus renders and returns a raster (a hang
// is caught by the test runner's timeout; the slowest page is printed), and each document renders as many pages as the
// reference counts (or the exception table states). The sanitizer and
// Windows runs take page 1 only.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "bitmap/bitmap.h"
#include "pdf/document.h"
#include "render/page.h"
#include "corpus_pages.h"
#include "test_support.h"

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(_WIN32)
constexpr bool kFirstPageOnly = true;
#else
constexpr bool kFirstPageOnly = false;
#endif
constexpr float kScale = 36.0f / 72.0f;

TEST(RenderCorpus, EveryPageReturnsARaster)
{
    SKIP_WITHOUT_CORPUS();
    int opened = 0, pages = 0;
    double slowest = 0;
    std::string slowest_name;
    for (const std::string &f : testsupport::corpus_files("pdf", ".pdf")) {
        const testsupport::CorpusPages want = testsupport::corpus_pages(f.substr(f.find_last_of("/\\") + 1));
        PdfDoc *doc = nullptr;
        const int rc = pdf_open(&doc, f.c_str(), want.has_password ? want.password.c_str() : nullptr);
        EXPECT_EQ(rc, want.open_code) << f;
        if (rc != 0)
            continue;
        EXPECT_EQ(doc->page_count, want.pages) << f;
        opened++;
        int count = kFirstPageOnly && doc->page_count > 1 ? 1 : doc->page_count;
        for (int p = 0; p < count; p++) {
            SCOPED_TRACE(f + " page " + std::to_string(p + 1));
            auto t0 = std::chrono::steady_clock::now();
            PageBitmap *bm = nullptr;
            int rc = render_page(doc, p, kScale, 0, 0, &bm);
            double s =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            EXPECT_NE(bm, nullptr) << "status " << rc;
            EXPECT_TRUE(rc == 0 || rc == -3) << "status " << rc;
            if (s > slowest) {
                slowest = s;
                slowest_name = f + " page " + std::to_string(p + 1);
            }
            bitmap_free(bm);
            pages++;
        }
        pdf_close(doc);
    }
    std::printf("rendered %d pages of %d documents at 36 dpi; slowest %.2f s (%s)\n", pages,
                opened, slowest, slowest_name.c_str());
    EXPECT_GT(pages, 0);
}

}  // namespace

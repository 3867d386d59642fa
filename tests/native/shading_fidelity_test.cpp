// Shadings and patterns against mutool: every corpus page 1 that uses
// shadings or patterns, rendered by us and by mutool draw at 72 and 150
// dpi, with pdftoppm's distance from mutool as the measure of honest
// disagreement. Pages that also show text are listed apart while glyphs
// are drawn elsewhere.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fidelity_pages.h"
#include "shading_pages.h"
#include "test_support.h"

namespace {

struct Result : testsupport::FirstPageFidelity {
    bool text = false;
};

// Characters of page-1 text by file name, from pdf_ref.tsv.
int text_chars(const std::string &name)
{
    static const auto column = testsupport::corpus_column(testsupport::corpus_dir(), "p1_text_chars");
    for (const auto &[file, chars] : column)
        if (file == "pdf/" + name)
            return std::atoi(chars.c_str());
    return 0;
}

void measure_at(int dpi, int floor)
{
    SKIP_WITHOUT_CORPUS();
    if (!testsupport::have_oracle_renderers())
        GTEST_SKIP() << "mutool or pdftoppm missing";
    std::vector<Result> results;
    for (const std::string &file : testsupport::first_pages_with_shadings(testsupport::corpus_dir())) {
        Result r;
        if (!testsupport::measure_first_page(file, dpi, &r))
            continue;
        r.text = text_chars(r.name) > 0;
        results.push_back(r);
    }
    ASSERT_FALSE(results.empty());
    int counted = 0, agree = 0;
    for (const Result &r : results)
        if (!r.text) {
            counted++;
            agree += r.agrees;
        }
    std::printf("SHADINGS %d dpi: %d of %d pages without text agree; %zu pages also show text\n", dpi,
                agree, counted, results.size() - size_t(counted));
    for (int text = 0; text < 2; text++) {
        std::printf(text ? "pages that also show text:\n" : "pages without text:\n");
        for (const Result &r : results)
            if (r.text == bool(text))
                std::printf("  %-44s ours %6.1f  pdftoppm %6.1f  %s [%s]\n", r.name.c_str(), r.ours,
                            r.poppler, r.agrees ? "agrees" : "DIFFERS", r.diags.c_str());
    }
    ASSERT_GT(counted, 0);
    EXPECT_GE(agree * 100, counted * floor) << agree << " of " << counted << " pages agree";
}

// One of the six pages without text falls short for a reason outside the
// shading code: pdfjs-issue9017_reduced clips its shading away entirely and
// differs in a soft mask drawn from a gray JPEG inside a CMYK group, where
// mutool's mask is far lighter than both ours and pdftoppm's.
TEST(ShadingFidelity, FirstPagesWithShadingsAt72Dpi) { measure_at(72, 80); }
TEST(ShadingFidelity, FirstPagesWithShadingsAt150Dpi) { measure_at(150, 80); }

}  // namespace

// Transparency over whole pages: every corpus page 1 that uses constant
// alpha, blend modes, soft masks or groups (the transparency column of
// pdf_ref.tsv), rendered by us, by mutool draw and by pdftoppm at 72 and
// 150 dpi and judged by the relative rule; and the memory pagrix-render
// takes for a page of many groups.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "command_support.h"
#include "fidelity_pages.h"
#include "page_doc.h"
#include "shading_pages.h"
#include "test_support.h"

namespace {

void measure_at(int dpi)
{
    SKIP_WITHOUT_CORPUS();
    if (!testsupport::have_oracle_renderers())
        GTEST_SKIP() << "mutool or pdftoppm missing";
    const std::string corpus = testsupport::corpus_dir();
    std::vector<testsupport::FirstPageFidelity> results;
    for (const auto &[name, kinds] : testsupport::corpus_column(corpus, "transparency")) {
        testsupport::FirstPageFidelity r;
        if (!kinds.empty() && kinds != "-" && testsupport::measure_first_page(corpus + "/" + name, dpi, &r))
            results.push_back(r);
    }
    ASSERT_FALSE(results.empty());
    int agree = 0;
    for (const auto &r : results)
        agree += r.agrees;
    std::printf("TRANSPARENCY %d dpi: %d of %zu pages agree\n", dpi, agree, results.size());
    for (const auto &r : results)
        std::printf("  %-48s ours %6.1f  pdftoppm %6.1f  %s [%s]\n", r.name.c_str(), r.ours, r.poppler,
                    r.agrees ? "agrees" : "DIFFERS", r.diags.c_str());
    EXPECT_GE(agree * 10, int(results.size()) * 9) << agree << " of " << results.size() << " pages agree";
}

TEST(TransparencyFidelity, FirstPagesWithTransparencyAt72Dpi) { measure_at(72); }
TEST(TransparencyFidelity, FirstPagesWithTransparencyAt150Dpi) { measure_at(150); }

// An A4 page of 1,000 small forms drawn at half opacity: each is a group
// with a surface of its own, or (without the Group entry) paints directly.
// Each group's surface lives only while it is drawn, so at 600 dpi the
// groups add little to the peak of the same page without them.
TEST(TransparencyMemory, ThousandGroupsAt600DpiStayNearThePlainPage)
{
    const std::string tool = std::string(PAGRIX_BINARY_DIR) + "/../bin/pagrix-render";
    if (std::system(("test -x " + tool).c_str()) != 0)
        GTEST_SKIP() << "pagrix-render not built";
    std::string content = "/H gs ";
    for (int i = 0; i < 1000; i++)
        content += "q 1 0 0 1 " + std::to_string(20 + (i % 40) * 14) + " " +
                   std::to_string(20 + (i / 40) * 32) + " cm /F Do Q ";
    long peak[2] = {0, 0};
    for (int grouped = 0; grouped < 2; grouped++) {
        const std::string form = testsupport::stream_obj(
            std::string("/Type /XObject /Subtype /Form /BBox [0 0 12 12] ") +
                (grouped ? "/Group << /S /Transparency >>" : ""),
            "1 0 0 rg 0 0 12 12 re f 0 0 1 rg 3 3 6 6 re f");
        const std::string pdf = testsupport::one_page_pdf(
            content, "[0 0 595 842]", "/Resources << /ExtGState << /H 5 0 R >> /XObject << /F 6 0 R >> >>",
            {"<< /ca 0.5 >>", form});
        const std::string in = testsupport::scratch_path("groups" + std::to_string(grouped) + ".pdf");
        const std::string out = testsupport::scratch_path("groups.png");
        ASSERT_TRUE(testsupport::write_file(in, pdf));
        const testsupport::LimitedRun run =
            testsupport::run_limited(tool + " render " + in + " --dpi 600 -o " + out, 0, 300);
        ASSERT_EQ(run.exit_status, 0) << "signal " << run.signal;
        peak[grouped] = run.peak_rss_kb;
        std::remove(out.c_str());
    }
    std::printf("1000 forms at 600 dpi: peak %ld kB without groups, %ld kB with\n", peak[0], peak[1]);
    EXPECT_LE(peak[1], 2 * peak[0]);
}

}  // namespace

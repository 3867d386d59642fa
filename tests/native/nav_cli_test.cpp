// pagrix-render nav: its output format, and hostile navigation structures
// finishing within processor-time and memory limits.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "command_support.h"
#include "nav_docs.h"
#include "pdf_builder.h"
#include "test_support.h"

namespace {

std::string quoted(const std::string &s) { return "'" + s + "'"; }

TEST(NavCli, PrintsOutlineThreadsAndLinks)
{
    const std::string tool = testsupport::pagrix_render_path();
    if (tool.empty())
        GTEST_SKIP() << "pagrix-render not built";
    const std::vector<std::pair<int, std::string>> objects = {
        {1, "<< /Type /Catalog /Pages 2 0 R /Outlines 10 0 R /Threads [20 0 R] >>"},
        {2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>"},
        {3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] >>"},
        {4, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] /Rotate 90 /Annots [30 0 R 31 0 R] >>"},
        {10, "<< /First 11 0 R >>"},
        // "Käse" in UTF-16BE, and "Über" in PDFDocEncoding.
        {11, "<< /Title <FEFF004B00E4007300650020> /Dest [4 0 R /Fit] /First 12 0 R >>"},
        {12, "<< /Title (\\334ber) >>"},
        {20, "<< /I << /Title (Stra\\337e) >> /F 21 0 R >>"},
        {21, "<< /T 20 0 R /P 4 0 R >>"},
        {30, "<< /Subtype /Link /Rect [10.5 20 30 40.25] /Dest [3 0 R /Fit] >>"},
        {31, "<< /Subtype /Link /Rect [50 60 70 80] /A << /S /URI /URI (http://example.org/) >> >>"},
    };
    const std::string path = testsupport::scratch_path("nav-cli.pdf");
    ASSERT_TRUE(testsupport::write_file(path, testsupport::objects_pdf(objects)));
    int status = -1;
    const std::string out = testsupport::run_command(tool + " nav " + quoted(path) + " --page 2", &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out,
              "outline\t1\t2\tK\xC3\xA4se\n"
              "outline\t2\t0\t\xC3\x9C" "ber\n"
              "thread\t2\tStra\xC3\x9F" "e\n"
              "link\t10.50\t20.00\t30.00\t40.25\tgoto\t1\n"
              "link\t50.00\t60.00\t70.00\t80.00\turi\thttp://example.org/\n");
    testsupport::run_command(tool + " nav " + quoted(path) + " --page 3 2>/dev/null", &status);
    EXPECT_EQ(status, 1) << "no such page";
    testsupport::run_command(tool + " nav " + quoted(path) + " --page x 2>/dev/null", &status);
    EXPECT_EQ(status, 2) << "usage error";
}

// Loops and shared kids once made the outline and name-tree walks take
// exponential time; each document must now finish within its processor-time
// limit (a second for the loops) and a modest address space.
TEST(NavCli, HostileDocumentsFinishWithinLimits)
{
    const std::string tool = testsupport::pagrix_render_path();
    if (tool.empty())
        GTEST_SKIP() << "pagrix-render not built";
    int i = 0;
    for (const testsupport::NavHostileDoc &h : testsupport::nav_hostile_docs()) {
        const std::string path = testsupport::scratch_path("nav-hostile-" + std::to_string(i++) + ".pdf");
        ASSERT_TRUE(testsupport::write_file(path, h.pdf));
        const testsupport::LimitedRun run =
            testsupport::run_limited(tool + " nav " + quoted(path) + " --page 1", 1024, h.cpu_seconds);
        EXPECT_EQ(run.exit_status, 0) << h.what << " (signal " << run.signal << ")";
        std::printf("nav %s: peak %ld KiB\n", h.what, run.peak_rss_kb);
    }
}

}  // namespace

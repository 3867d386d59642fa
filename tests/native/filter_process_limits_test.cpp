// Hostile filter chains through the command-line renderer under process limits: memory
// and time are checked by the operating system's accounting, not by a timed assertion.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "command_support.h"
#include "pdf_builder.h"
#include "test_support.h"

namespace {

// A page whose content stream declares 100,000 ASCIIHex filters. Unbounded, the chain
// cost 430 MB and overflowed the stack; refused, the page renders blank in a few MB
// (parsing the 100,000 names is most of it).
TEST(FilterProcessLimits, HundredThousandFilterChainRendersInLittleMemory)
{
    const std::string tool = testsupport::pagrix_render_path();
    if (tool.empty() || access("/usr/bin/time", X_OK) != 0)
        GTEST_SKIP() << "pagrix-render not built or /usr/bin/time missing";
    std::string filters;
    for (int i = 0; i < 100000; i++)
        filters += "/AHx ";
    testsupport::PdfBuilder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] /Contents 4 0 R >>");
    b.stream(4, "/Filter [" + filters + "]", ">");
    b.startxref(b.xref_section("/Size 5 /Root 1 0 R"));
    const std::string pdf = testsupport::scratch_path("filter-chain-100000.pdf");
    ASSERT_TRUE(testsupport::write_file(pdf, b.str()));
    const testsupport::LimitedRun run = testsupport::run_limited(
        "'" + tool + "' render '" + pdf + "' -o '" + testsupport::scratch_path("chain.png") + "' 2>/dev/null", 0, 20);
    EXPECT_EQ(run.exit_status, 0);
    const long peak_kb = run.peak_rss_kb;
    EXPECT_GT(peak_kb, 0);
    EXPECT_LT(peak_kb, 64 * 1024);
    std::printf("100,000-filter chain: peak %ld kB\n", peak_kb);
}

}  // namespace

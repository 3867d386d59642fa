// The info and render commands of pagrix-render: output lines, exit codes
// and messages, the page count beside qpdf's, and render's memory bound.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "pdf_builder.h"
#include "tiff_builder.h"
#include "command_support.h"
#include "test_support.h"

namespace {

std::string tool_path() { return std::string(PAGRIX_BINARY_DIR) + "/../bin/pagrix-render"; }

// Runs a command; stdout into *out, the exit status returned.
int run(const std::string &command, std::string *out)
{
    int status;
    *out = testsupport::run_command(command, &status);
    return status;
}

TEST(RenderInfo, PrintsDocumentFacts)
{
    if (std::system(("test -x " + tool_path()).c_str()) != 0)
        GTEST_SKIP() << "pagrix-render not built";
    testsupport::PdfBuilder b("%PDF-1.6\n");
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /MediaBox [0 0 595.276 841.89] >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /Rotate -90 >>");
    b.obj(4, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 100.005 50] >>");
    b.startxref(b.xref_section("/Size 5 /Root 1 0 R"));
    std::string path = testsupport::scratch_path("info.pdf");
    b.write(path);
    std::string out;
    ASSERT_EQ(run(tool_path() + " info " + path, &out), 0);
    EXPECT_EQ(out,
              "kind: PDF Document\npages: 2\nversion: 1.6\nrepaired: no\nencrypted: no\n"
              "page 1: 595.28 x 841.89 pt, rotate 270\npage 2: 100.00 x 50.00 pt, rotate 0\n");

    struct Row {
        std::string args;
        int status;
    } rows[] = {
        {"info " + testsupport::scratch_path("missing.pdf") + " 2>/dev/null", 1},
        {"info 2>/dev/null", 2},
        {"info " + path + " --password 2>/dev/null", 2},
        {"info " + path + " --bogus 2>/dev/null", 2},
        {"info " + path + " --password secret", 0},
    };
    for (const Row &row : rows)
        EXPECT_EQ(run(tool_path() + " " + row.args, &out), row.status) << row.args;
    run(tool_path() + " info " + testsupport::scratch_path("missing.pdf") + " 2>&1", &out);
    EXPECT_EQ(out, "pagrix-render: cannot open " + testsupport::scratch_path("missing.pdf") +
                       ": No such file or directory\n");
}

// Page counts agree with qpdf on generated files of several shapes.
TEST(RenderInfo, PageCountMatchesQpdf)
{
    if (std::system(("test -x " + tool_path()).c_str()) != 0 || std::system("qpdf --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "pagrix-render or qpdf missing";
    for (int pages : {1, 7, 40}) {
        std::string path = testsupport::scratch_path("count" + std::to_string(pages) + ".pdf");
        testsupport::write_file(path, testsupport::simple_pdf(pages));
        std::string ours, theirs;
        ASSERT_EQ(run(tool_path() + " info " + path, &ours), 0);
        ASSERT_EQ(run("qpdf --show-npages " + path, &theirs), 0);
        EXPECT_NE(ours.find("pages: " + theirs), std::string::npos) << pages;
    }
}

// Failures of `render`: exit status 1 and one line on stderr naming them.
TEST(RenderCommand, FailuresExitOneWithOneLine)
{
    if (std::system(("test -x " + tool_path()).c_str()) != 0)
        GTEST_SKIP() << "pagrix-render not built";
    const std::string plain = testsupport::scratch_path("plain.pdf");
    testsupport::write_file(plain, testsupport::simple_pdf(1));
    const std::string locked = std::string(PAGRIX_SOURCE_DIR) + "/tests/data/encrypted.pdf";  // user password "u"
    const std::string out = testsupport::scratch_path("out.png");
    // A TIFF whose one directory opens but whose JPEG strip is no JPEG: the
    // page cannot be measured, and render must say so rather than divide by
    // the page's zero width.
    testsupport::TiffBuilder tb;
    const uint64_t strip = tb.data(std::string(64, '\x5a'));
    tb.tag(256, testsupport::T_SHORT, {16}).tag(257, testsupport::T_SHORT, {16})
        .tag(258, testsupport::T_SHORT, {8, 8, 8}).tag(259, testsupport::T_SHORT, {7})
        .tag(262, testsupport::T_SHORT, {6}).tag(273, testsupport::T_LONG, {strip})
        .tag(277, testsupport::T_SHORT, {3}).tag(278, testsupport::T_SHORT, {16})
        .tag(279, testsupport::T_LONG, {64});
    const std::string broken_tiff = testsupport::scratch_path("broken.tif");
    testsupport::write_file(broken_tiff, tb.finish());
    const std::string wide = testsupport::scratch_path("wide.pdf"), tall = testsupport::scratch_path("tall.pdf");
    testsupport::write_file(wide, testsupport::simple_pdf(1, "[0 0 24000 10]"));
    testsupport::write_file(tall, testsupport::simple_pdf(1, "[0 0 10 70000]"));
    struct Row {
        std::string args;
        int status;
        std::string stderr_text;
    } rows[] = {
        // A device that takes no bytes: every format reports the failed write.
        {plain + " -o /dev/full", 1, "pagrix-render: cannot write /dev/full\n"},
        {plain + " -o /dev/full --format bmp", 1, "pagrix-render: cannot write /dev/full\n"},
        {plain + " -o /dev/full --format jpeg", 1, "pagrix-render: cannot write /dev/full\n"},
        {plain + " -o " + testsupport::scratch_path("no/such/dir.png"), 1,
         "pagrix-render: cannot write " + testsupport::scratch_path("no/such/dir.png") + "\n"},
        // The password messages of `info`.
        {locked + " -o " + out, 1, "pagrix-render: wrong password\n"},
        {locked + " -o " + out + " --password x", 1, "pagrix-render: wrong password\n"},
        {locked + " -o " + out + " --password u", 0, ""},
        {plain + " -o " + out + " --page 2", 1, "pagrix-render: no such page: 2 (document has 1)\n"},
        {plain + " -o " + out + " --band 5000:10", 1,
         "pagrix-render: page 1: rendering failed: the band lies below the page (-5)\n"},
        {broken_tiff + " -o " + out, 1, "pagrix-render: page 1: rendering failed: the page could not be read (-1)\n"},
        // Files that cannot be read give the system's reason.
        {testsupport::scratch_path("missing.pdf") + " -o " + out, 1,
         "pagrix-render: cannot open " + testsupport::scratch_path("missing.pdf") + ": No such file or directory\n"},
        {testsupport::scratch_dir() + " -o " + out, 1,
         "pagrix-render: cannot open " + testsupport::scratch_dir() + ": Is a directory\n"},
        // Pages too large for the resolution or the format name their size and the limit.
        {wide + " -o " + out, 1,
         "pagrix-render: page 1: rendering failed: the page is 24000 x 10 pixels at this resolution, wider than "
         "the 20000 pixels a row can hold (-3)\n"},
        {tall + " -o " + testsupport::scratch_path("tall.jpg"), 1,
         "pagrix-render: page 1: the page is 10 x 70000 pixels at this resolution, taller than the 65500 rows a "
         "JPEG file holds\n"},
    };
    for (const Row &row : rows) {
        std::string err;
        EXPECT_EQ(run(tool_path() + " render " + row.args + " 2>&1 >/dev/null", &err), row.status)
            << row.args;
        EXPECT_EQ(err, row.stderr_text) << row.args;
    }
}

// `--diag` lists each page's diagnostic tags once, however many bands the
// page was rendered in.
TEST(RenderCommand, DiagnosticsOfAllBandsOncePerPage)
{
    if (std::system(("test -x " + tool_path()).c_str()) != 0)
        GTEST_SKIP() << "pagrix-render not built";
    testsupport::PdfBuilder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R 5 0 R] /Count 2 /MediaBox [0 0 300 300] >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /Contents 4 0 R >>");
    b.stream(4, "", "0 0 1 rg 0 0 300 300 re f /Missing Do /Sh0 sh /Missing Do");
    b.obj(5, "<< /Type /Page /Parent 2 0 R >>");
    b.startxref(b.xref_section("/Size 6 /Root 1 0 R"));
    const std::string path = testsupport::scratch_path("diag.pdf");
    ASSERT_TRUE(b.write(path));
    // 300 pt at 1200 dpi: 5000 x 5000 pixels, several bands.
    std::string err;
    ASSERT_EQ(run(tool_path() + " render " + path + " --all --dpi 1200 --diag -o " +
                      testsupport::scratch_path("diag%d.png") + " 2>&1 >/dev/null",
                  &err),
              0);
    EXPECT_EQ(err, "page 1: xobject-missing sh\npage 2:\n");
}

// Rendering a whole A4 page at 1200 dpi (9921 x 14031 pixels, 418 MB as one
// raster) fits in 100 MB of address space, in every format. (An address-space
// limit, not the peak RSS the run reports: a child forked from a sanitizer
// build inherits that process's resident pages.)
TEST(RenderCommand, A4At1200DpiInBoundedMemory)
{
    SKIP_WITHOUT_CORPUS();
    if (std::system(("test -x " + tool_path()).c_str()) != 0)
        GTEST_SKIP() << "pagrix-render not built";
    const std::string doc = testsupport::corpus_dir() + "/pdf/deb-maint-guide-maint-guide.en.pdf";
    for (const char *format : {"png", "bmp", "jpeg"}) {
        const std::string out = testsupport::scratch_path(std::string("a4.") + format);
        const testsupport::LimitedRun r = testsupport::run_limited(
            tool_path() + " render " + doc + " --dpi 1200 -o " + out + " --format " + format,
            100, 300);
        EXPECT_EQ(r.exit_status, 0) << format << " signal " << r.signal;
        std::printf("pagrix-render A4 1200 dpi %s: peak RSS %ld kB\n", format, r.peak_rss_kb);
        std::remove(out.c_str());  // the BMP alone is 418 MB
    }
}

}  // namespace

// The info command of pagrix-render: its output lines, its exit codes, and
// its page count beside qpdf's on the same generated files.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "pdf_builder.h"
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
    EXPECT_EQ(out, "pagrix-render: cannot open " + testsupport::scratch_path("missing.pdf") + "\n");
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

}  // namespace

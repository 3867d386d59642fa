// The page lines of `pagrix-render info`: visible box size and the rotation
// each page is shown at, for a small generated document.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "command_support.h"
#include "pdf_builder.h"
#include "test_support.h"

namespace {

TEST(RenderInfo, PageLines)
{
    std::string tool = std::string(PAGRIX_BINARY_DIR) + "/../bin/pagrix-render";
    if (!std::filesystem::exists(tool))
        GTEST_SKIP() << "pagrix-render not built";
    testsupport::PdfBuilder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /MediaBox [0 0 600 800] /Rotate -90 >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /CropBox [100 100 400 900] >>");
    b.obj(4, "<< /Type /Page /Parent 2 0 R /MediaBox [612 792 0 0] /Rotate 450 >>");
    b.obj(5, "<< /Type /Page /Parent 2 0 R /Rotate 45 >>");
    b.startxref(b.xref_section("/Size 6 /Root 1 0 R"));
    std::string path = testsupport::scratch_path("info_pages.pdf");
    ASSERT_TRUE(b.write(path));

    int status;
    const std::string out = testsupport::run_command(tool + " info " + path, &status);
    EXPECT_EQ(status, 0);
    // The tool shows the crop box (the viewer's default setting).
    EXPECT_NE(out.find("pages: 3\n"), std::string::npos) << out;
    EXPECT_NE(out.find("page 1: 300.00 x 700.00 pt, rotate 270\n"), std::string::npos) << out;
    EXPECT_NE(out.find("page 2: 612.00 x 792.00 pt, rotate 90\n"), std::string::npos) << out;
    EXPECT_NE(out.find("page 3: 600.00 x 800.00 pt, rotate 0\n"), std::string::npos) << out;
}

}  // namespace

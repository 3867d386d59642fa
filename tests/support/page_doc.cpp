// One-page PDF documents for interpreter tests.
#include "page_doc.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "pdf/document.h"
#include "render/page.h"
#include "test_support.h"

namespace testsupport {

std::string one_page_pdf(const std::string &content, const std::string &media,
                         const std::string &page_extra,
                         const std::vector<std::string> &extra)
{
    std::vector<std::string> bodies = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox " + media + " /Contents 4 0 R " + page_extra +
            " >>",
        "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content +
            "\nendstream",
    };
    bodies.insert(bodies.end(), extra.begin(), extra.end());
    std::string out = "%PDF-1.4\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < bodies.size(); i++) {
        offsets.push_back(out.size());
        out += std::to_string(i + 1) + " 0 obj\n" + bodies[i] + "\nendobj\n";
    }
    size_t xref = out.size();
    out += "xref\n0 " + std::to_string(bodies.size() + 1) + "\n0000000000 65535 f \n";
    for (size_t off : offsets) {
        char line[32];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", off);
        out += line;
    }
    out += "trailer\n<< /Size " + std::to_string(bodies.size() + 1) +
           " /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return out;
}

std::string stream_obj(const std::string &dict, const std::string &data)
{
    return "<< " + dict + " /Length " + std::to_string(data.size()) + " >>\nstream\n" + data +
           "\nendstream";
}


void render_doc(const std::string &pdf, Rendered *out, float scale, int first, int rows)
{
    static int counter = 0;
    std::string path = testsupport::scratch_path("interp_page" + std::to_string(counter++) + ".pdf");
    ASSERT_TRUE(testsupport::write_file(path, pdf));
    PdfDoc *doc = nullptr;
    ASSERT_EQ(pdf_open(&doc, path.c_str(), nullptr), 0);
    char diags[600];
    out->status = render_page_diag(doc, 0, scale, first, rows, &out->bm, diags, sizeof diags);
    for (const char *d = diags; *d; d += std::strlen(d) + 1)
        out->diags += (out->diags.empty() ? "" : " ") + std::string(d);
    pdf_close(doc);
}

}  // namespace testsupport

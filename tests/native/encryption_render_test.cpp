// Encrypted corpus files render the same pixels as the copies qpdf decrypts:
// the security handler must hand the renderer exactly the original content.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "bitmap/bitmap.h"
#include "document/document.h"
#include "test_support.h"

namespace {

// Page 1 at 72 dpi, or null.
PageBitmap *render_first_page(const std::string &path, const std::string &password)
{
    Document *doc = nullptr;
    if (doc_open(&doc, path.c_str(), password.c_str()) != 0)
        return nullptr;
    PageBitmap *bm = nullptr;
    if (doc_page_count(doc) > 0)
        doc_render_page(doc, 0, 1.0f, 0, 0, &bm);
    doc_close(doc);
    return bm;
}

bool same_pixels(const PageBitmap *a, const PageBitmap *b)
{
    if (a->width != b->width || a->height != b->height)
        return false;
    for (int y = 0; y < a->height; y++)
        if (std::memcmp(a->pixels + y * a->stride, b->pixels + y * b->stride, size_t(3 * a->width)))
            return false;
    return true;
}

TEST(EncryptionRender, DecryptedPagesEqualQpdfDecryptedCopies)
{
    SKIP_WITHOUT_CORPUS();
    if (std::system("qpdf --version > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "qpdf not installed";
    std::ifstream table(testsupport::corpus_dir() + "/pdf_ref.tsv");
    std::string line;
    std::getline(table, line);  // header
    int compared = 0;
    while (std::getline(table, line)) {
        std::vector<std::string> f;
        std::stringstream ss(line);
        for (std::string cell; std::getline(ss, cell, '\t');)
            f.push_back(cell);
        // Columns: file, bytes, pages, pages_from, encrypted, passwords, ...
        if (f.size() < 6 || f[4].rfind("y:R", 0) != 0)
            continue;
        bool known = false;
        std::string pw = testsupport::corpus_password(f[5], "user", &known);
        if (!known)
            pw = testsupport::corpus_password(f[5], "owner", &known);
        if (!known)
            continue;
        const std::string src = testsupport::corpus_dir() + "/" + f[0];
        const std::string plain = testsupport::scratch_path("decrypted.pdf");
        const std::string cmd = "qpdf --password-file=- --decrypt '" + src + "' '" + plain +
                                "' > /dev/null 2>&1 <<'EOF'\n" + pw + "\nEOF";
        const int rc = std::system(cmd.c_str());
        if (rc != 0 && rc != 3 << 8)  // 3: qpdf warnings, output written
            continue;
        // Junk before the header makes kind detection take a file for text.
        if (doc_sniff_kind(src.c_str()) != DOC_PDF && doc_is_text_file(src.c_str()))
            continue;
        PageBitmap *ours = render_first_page(src, pw);
        PageBitmap *ref = render_first_page(plain, "");
        if (ref) {
            ASSERT_NE(ours, nullptr) << f[0];
            EXPECT_TRUE(same_pixels(ours, ref)) << f[0];
            compared++;
        }
        bitmap_free(ours);
        bitmap_free(ref);
    }
    EXPECT_GE(compared, 10) << "encrypted corpus files compared";
    std::printf("encrypted files rendered like their decrypted copies: %d\n", compared);
}

}  // namespace

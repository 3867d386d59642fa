// Encrypted documents written by qpdf (RC4 40 and 128 bits, AES-128, AES-256 R5/R6)
// and the encrypted files of the corpus: each opens with its user or owner
// password, refuses a wrong one, and decrypts to what qpdf itself reads.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "command_support.h"
#include "pdf/document.h"
#include "pdf/object.h"
#include "pdf/reader.h"
#include "pdf/stream.h"
#include "pdf_builder.h"
#include "test_support.h"

namespace {

using testsupport::pdf_hex_string;

using testsupport::run_command;

std::string quoted(const std::string &s) { return "'" + s + "'"; }

bool have_qpdf() { return std::system("qpdf --version >/dev/null 2>&1") == 0; }

std::string string_of(PdfObject *s)
{
    return pdf_is_type(s, PDF_STRING) ? std::string(reinterpret_cast<char *>(s->bytes), size_t(s->length))
                                      : std::string("<not a string>");
}

// The first page's dictionary, walking Kids[0] down from the page tree root.
PdfObject *first_page(PdfDoc *doc)
{
    PdfObject *node = pdf_dict_get_resolved(doc, doc->catalog, "Pages");
    for (int depth = 0; node && depth < 32; depth++) {
        PdfObject *kids = pdf_dict_get_resolved(doc, node, "Kids");
        if (!kids)
            return node;
        node = pdf_resolve(doc, pdf_array_get(kids, 0));
    }
    return nullptr;
}

// The decoded bytes of the first content stream of the first page, and its number.
std::string first_content(PdfDoc *doc, int *num)
{
    PdfObject *contents = pdf_dict_get(first_page(doc), "Contents");
    PdfObject *resolved = pdf_resolve(doc, contents);
    if (pdf_is_type(resolved, PDF_ARRAY)) {
        contents = pdf_array_get(resolved, 0);
        resolved = pdf_resolve(doc, contents);
    }
    *num = pdf_is_type(contents, PDF_REF) ? contents->num : 0;
    ByteReader *r = pdf_open_stream(doc, resolved);
    if (!r)
        return "<no stream>";
    return testsupport::read_and_close(r);
}

// The plain document the qpdf rows encrypt: strings at several depths, a
// content stream longer than the first AES buffer.
const std::string kTitle = "Gr\xFC\xDF" "e aus dem Test";
const std::string kDeep = "tief (verschachtelt) \\ mit Klammern";
std::string content_text()
{
    std::string s;
    for (int i = 0; s.size() < 20000; i++)
        s += std::to_string(i % 200) + " " + std::to_string(i % 150) + " m 10 10 l S\n";
    return s;
}

const std::string kXmp = "<x:xmpmeta xmlns:x='adobe:ns:meta/'>Testdaten</x:xmpmeta>";

std::string plain_pdf()
{
    testsupport::PdfBuilder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R /Metadata 6 0 R /Extra [ (eins) << /Deep [ [ " +
                 pdf_hex_string(kDeep) + " ] ] >> ] >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 4 0 R >>");
    b.stream(4, "", content_text());
    b.obj(5, "<< /Title " + pdf_hex_string(kTitle) + " /Producer (pagrix tests) >>");
    b.stream(6, "/Type /Metadata /Subtype /XML", kXmp);
    const std::string id = "<0123456789ABCDEF0123456789ABCDEF>";
    b.startxref(b.xref_section("/Size 7 /Root 1 0 R /Info 5 0 R /ID [" + id + " " + id + "]"));
    return b.str();
}

TEST(EncryptionQpdf, QpdfEncryptedFilesOpenWithEitherPassword)
{
    if (!have_qpdf())
        GTEST_SKIP() << "qpdf not installed";
    const std::string plain = testsupport::scratch_path("plain.pdf");
    ASSERT_TRUE(testsupport::write_file(plain, plain_pdf()));
    struct Row {
        const char *what;
        const char *user, *owner;
        const char *qpdf_args;  // after "--encrypt USER OWNER"
        int status;             // of an open with the right password
    } rows[] = {
        {"RC4 40 (R2)", "user", "owner", "40", 0},
        {"RC4 128 (R3)", "user", "owner", "128", 0},
        {"AES-128 (R4)", "user", "owner", "128 --use-aes=y", 0},
        {"AES-128, metadata in clear", "user", "owner", "128 --use-aes=y --cleartext-metadata", 0},
        {"RC4 40, empty user password", "", "owner", "40", 0},
        {"RC4 128, empty user password", "", "owner", "128", 0},
        {"AES-128, empty user, object streams", "", "owner",
         "128 --use-aes=y -- --object-streams=generate", 0},
        {"RC4 128, uncompressed streams", "user", "owner", "128 -- --stream-data=uncompress", 0},
        {"AES-256 (R6)", "user", "owner", "256", 0},
        {"AES-256 (R5)", "user", "owner", "256 --force-R5", 0},
        {"AES-256, empty user password", "", "owner", "256", 0},
        {"AES-256, non-ASCII passwords", "Gr\xC3\xBC\xC3\x9F" "e", "\xCE\xA9mega", "256", 0},
        {"AES-256, metadata in clear, object streams", "user", "owner",
         "256 --cleartext-metadata -- --object-streams=generate", 0},
    };
    int n = 0;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        const std::string out = testsupport::scratch_path("q" + std::to_string(n++) + ".pdf");
        std::string args = row.qpdf_args;
        std::string tail;
        if (args.find(" -- ") != std::string::npos) {  // options after the encryption block
            tail = args.substr(args.find(" -- ") + 4);
            args = args.substr(0, args.find(" -- "));
        }
        const std::string cmd = "qpdf --allow-weak-crypto " + tail + " --encrypt " + quoted(row.user) +
                                " " + quoted(row.owner) + " " + args + " -- " + plain + " " + out;
        int rc = 0;
        run_command(cmd + " 2>&1", &rc);
        ASSERT_EQ(rc, 0) << cmd;
        const bool empty_user = !*row.user;
        struct Try {
            const char *password;
            int status;
        } tries[] = {
            {row.user, row.status},
            {row.owner, row.status},
            {nullptr, empty_user ? row.status : (row.status == 0 ? -6 : row.status)},
            {"wrong", row.status == 0 ? -6 : row.status},
        };
        // A copy whose startxref points nowhere must be repaired and decrypt the same.
        std::string damaged = testsupport::read_file(out);
        const size_t at = damaged.rfind("startxref");
        ASSERT_NE(at, std::string::npos);
        damaged.replace(at, damaged.find("%%EOF", at) - at, "startxref\n99999999\n");
        const std::string repaired = out + ".damaged.pdf";
        testsupport::write_file(repaired, damaged);
        // The repair scan takes its trailer from a "trailer" keyword and does not
        // look into object streams, so a damaged file without either is not checked.
        const bool repairable = std::strstr(row.qpdf_args, "object-streams") == nullptr;
        for (const Try &t : tries)
            for (const std::string &file : {out, repaired}) {
            if (file == repaired && !repairable)
                continue;
            PdfDoc *doc = nullptr;
            const int status = pdf_open(&doc, file.c_str(), t.password);
            EXPECT_EQ(status, t.status) << file << " password " << (t.password ? t.password : "(none)");
            if (status != 0)
                continue;
            EXPECT_EQ(doc->repaired, file == repaired ? 1 : 0);
            PdfObject *info = pdf_dict_get_resolved(doc, doc->trailer, "Info");
            EXPECT_EQ(string_of(pdf_dict_get_resolved(doc, info, "Title")), kTitle);
            PdfObject *extra = pdf_dict_get_resolved(doc, doc->catalog, "Extra");
            EXPECT_EQ(string_of(pdf_resolve(doc, pdf_array_get(extra, 0))), "eins");
            PdfObject *deep = pdf_dict_get_resolved(doc, pdf_resolve(doc, pdf_array_get(extra, 1)), "Deep");
            EXPECT_EQ(string_of(pdf_array_get(pdf_resolve(doc, pdf_array_get(deep, 0)), 0)), kDeep);
            int num = 0;
            const std::string content = first_content(doc, &num);
            EXPECT_TRUE(content == content_text()) << file << ": " << content.size() << " bytes";
            // Metadata: decrypted, or stored in clear with EncryptMetadata false.
            std::string xmp;
            if (ByteReader *r = pdf_open_stream(doc, pdf_dict_get_resolved(doc, doc->catalog, "Metadata")))
                xmp = testsupport::read_and_close(r);
            EXPECT_EQ(xmp, kXmp);
            pdf_close(doc);
        }
    }
}

using testsupport::split;

TEST(EncryptionQpdf, CorpusEncryptedFiles)
{
    SKIP_WITHOUT_CORPUS();
    const std::string root = testsupport::corpus_dir();
    std::ifstream tsv(root + "/pdf_ref.tsv");
    ASSERT_TRUE(tsv.good());
    int checked = 0, compared = 0;
    for (std::string line; std::getline(tsv, line);) {
        const std::vector<std::string> f = split(line, '\t');
        if (f.size() < 6 || f[4].rfind("y:", 0) != 0)
            continue;
        SCOPED_TRACE(f[0]);
        const std::string path = root + "/" + f[0];
        bool user_known = false, owner_known = false;
        const std::string user = testsupport::corpus_password(f[5], "user", &user_known);
        const std::string owner = testsupport::corpus_password(f[5], "owner", &owner_known);
        checked++;
        if (!user_known && !owner_known) {
            PdfDoc *doc = nullptr;  // passwords unknown: any orderly answer
            const int status = pdf_open(&doc, path.c_str(), nullptr);
            EXPECT_TRUE(status == 0 || status == -6 || status == -7) << status;
            pdf_close(doc);
            continue;
        }
        for (int who = 0; who < 2; who++) {
            if (!(who == 0 ? user_known : owner_known))
                continue;
            const std::string &pw = who == 0 ? user : owner;
            PdfDoc *doc = nullptr;
            const int status = pdf_open(&doc, path.c_str(), pw.c_str());
            EXPECT_EQ(status, 0) << (who == 0 ? "user" : "owner") << " password";
            // The first content stream must match qpdf's decrypted, decoded copy
            // (a first page without contents has nothing to compare).
            if (status == 0 && have_qpdf() && pdf_dict_get(first_page(doc), "Contents")) {
                int num = 0;
                const std::string ours = first_content(doc, &num);
                const std::string ref = run_command("qpdf --password=" + quoted(pw) + " --show-object=" +
                                            std::to_string(num) + " --filtered-stream-data " +
                                            quoted(path) + " 2>/dev/null");
                EXPECT_GT(num, 0);
                EXPECT_TRUE(ours == ref) << ours.size() << " bytes, qpdf " << ref.size();
                compared++;
            }
            pdf_close(doc);
        }
        PdfDoc *wrong = nullptr;
        EXPECT_EQ(pdf_open(&wrong, path.c_str(), "definitely-wrong"), -6);
        pdf_close(wrong);
    }
    EXPECT_GE(checked, 20);
    EXPECT_GE(compared, 20);
}


TEST(EncryptionQpdf, RenderToolPasswordMessages)
{
    const std::string tool = std::string(PAGRIX_BINARY_DIR) + "/../bin/pagrix-render";
    if (!have_qpdf() || std::system(("test -x " + quoted(tool)).c_str()) != 0)
        GTEST_SKIP() << "qpdf or pagrix-render missing";
    const std::string plain = testsupport::scratch_path("tool_plain.pdf");
    ASSERT_TRUE(testsupport::write_file(plain, plain_pdf()));
    const std::string rc4 = testsupport::scratch_path("tool_rc4.pdf");
    const std::string aes256 = testsupport::scratch_path("tool_aes256.pdf");
    ASSERT_EQ(std::system(("qpdf --allow-weak-crypto --encrypt user owner 128 -- " + plain + " " + rc4).c_str()), 0);
    ASSERT_EQ(std::system(("qpdf --encrypt user owner 256 -- " + plain + " " + aes256).c_str()), 0);
    struct {
        std::string args, expected;  // expected: a line of the output
        int exit_code;
    } rows[] = {
        {rc4, "pagrix-render: wrong password", 1},
        {rc4 + " --password nope", "pagrix-render: wrong password", 1},
        {rc4 + " --password user", "encrypted: yes", 0},
        {rc4 + " --password owner", "encrypted: yes", 0},
        {aes256 + " --password user", "encrypted: yes", 0},
        {aes256 + " --password owner", "encrypted: yes", 0},
        {aes256 + " --password User", "pagrix-render: wrong password", 1},
    };
    for (const auto &row : rows) {
        int status = 0;
        const std::string out = run_command(quoted(tool) + " info " + row.args + " 2>&1", &status);
        EXPECT_NE(out.find(row.expected + "\n"), std::string::npos) << row.args << ": " << out;
        EXPECT_EQ(status, row.exit_code) << row.args;
    }
}

}  // namespace

// Page counts, page boxes and rotations of the corpus PDFs compared with two
// independent programs: qpdf (--show-npages) and MuPDF's `mutool pages`.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "pdf/document.h"
#include "pdf/pages.h"
#include "command_support.h"
#include "corpus_pages.h"
#include "test_support.h"

namespace {

struct CommandResult {
    int status = -1;
    std::string out;
};

CommandResult run(const std::string &command)
{
    CommandResult r;
    r.out = testsupport::run_command(command + " 2>/dev/null", &r.status);
    return r;
}

using testsupport::shell_quote;

bool have_program(const char *name)
{
    return run(std::string("command -v ") + name).status == 0;
}

// The user password from the corpus table's "passwords" column, else the owner
// password; nullopt when neither is known. "(empty)" is the empty password and
// "(latin-1)" marks text to be given as Latin-1 bytes.
std::optional<std::string> decode_password(const std::string &field)
{
    auto take = [&](const std::string &key) -> std::optional<std::string> {
        size_t at = field.find(key + "=");
        if (at == std::string::npos)
            return std::nullopt;
        std::string v = field.substr(at + key.size() + 1);
        v = v.substr(0, v.find(' '));
        if (v == "?")
            return std::nullopt;
        if (v == "(empty)")
            return std::string();
        const std::string latin = "(latin-1)";
        if (v.size() > latin.size() && v.compare(v.size() - latin.size(), latin.size(), latin) == 0) {
            std::string utf8 = v.substr(0, v.size() - latin.size()), bytes;
            for (size_t i = 0; i < utf8.size(); i++) {
                unsigned char c = utf8[i];
                if (c >= 0xC0 && i + 1 < utf8.size())
                    bytes += char(((c & 0x1F) << 6) | (utf8[++i] & 0x3F));
                else
                    bytes += char(c);
            }
            return bytes;
        }
        return v;
    };
    if (auto u = take("user"))
        return u;
    return take("owner");
}

struct CorpusPdf {
    std::string path, name;
    std::optional<std::string> password;
    std::string encrypted;  // the table's column: "n", "y:R4:AESv2" ...
};

std::vector<CorpusPdf> corpus_pdfs()
{
    std::map<std::string, std::vector<std::string>> table;
    std::istringstream tsv(testsupport::read_file(testsupport::corpus_dir() + "/pdf_ref.tsv"));
    for (std::string line; std::getline(tsv, line);) {
        std::vector<std::string> cols;
        std::istringstream ls(line);
        for (std::string c; std::getline(ls, c, '\t');)
            cols.push_back(c);
        if (cols.size() > 5)
            table[cols[0]] = cols;
    }
    std::vector<CorpusPdf> out;
    for (const std::string &path : testsupport::corpus_files("pdf", ".pdf")) {
        CorpusPdf f;
        f.path = path;
        f.name = path.substr(path.rfind('/') + 1);
        auto row = table.find("pdf/" + f.name);
        if (row != table.end()) {
            f.encrypted = row->second[4];
            f.password = decode_password(row->second[5]);
        }
        out.push_back(f);
    }
    return out;
}

std::string password_arg(const CorpusPdf &f, const char *option)
{
    return f.password ? std::string(option) + shell_quote(*f.password) + " " : std::string();
}

// Owns one open document for the length of a scope.
struct OpenPdf {
    PdfDoc *doc = nullptr;
    int rc = -1;
    explicit OpenPdf(const CorpusPdf &f)
    {
        rc = pdf_open(&doc, f.path.c_str(), f.password ? f.password->c_str() : nullptr);
    }
    ~OpenPdf() { pdf_close(doc); }
};

TEST(PageTreeOracle, PageCountsMatchQpdf)
{
    SKIP_WITHOUT_CORPUS();
    if (!have_program("qpdf"))
        GTEST_SKIP() << "qpdf not installed";
    int compared = 0, equal = 0;
    std::string explained, unexplained, skipped;
    for (const CorpusPdf &f : corpus_pdfs()) {
        CommandResult q =
            run("qpdf " + password_arg(f, "--password=") + "--show-npages " + shell_quote(f.path));
        char *end = nullptr;
        long qpages = std::strtol(q.out.c_str(), &end, 10);
        // 0: fine, 3: read with warnings; anything else: qpdf cannot read the file.
        if ((q.status != 0 && q.status != 3) || end == q.out.c_str())
            continue;
        OpenPdf ours(f);
        // The one exception table of the corpus sweeps: its files must do what
        // it states (a refused encryption, a count qpdf gets wrong).
        const testsupport::CorpusPages listed = testsupport::corpus_pages(f.name);
        if (listed.reason && ours.rc != 0 && ours.rc == listed.open_code) {
            skipped += "  " + f.name + " (open " + std::to_string(ours.rc) + "): " + listed.reason + "\n";
            continue;
        }
        compared++;
        int pages = ours.rc == 0 ? pdf_page_count(ours.doc) : -1;
        if (pages == qpages) {
            equal++;
            continue;
        }
        std::string line = "  " + f.name + ": ours " + std::to_string(pages) + " (open " +
                           std::to_string(ours.rc) + "), qpdf " + std::to_string(qpages);
        if (listed.reason && ours.rc == listed.open_code && pages == listed.pages)
            explained += line + ": " + listed.reason + "\n";
        else
            unexplained += line + "\n";
    }
    std::printf("page counts: %d of %d files equal to qpdf\n%s%s", equal, compared,
                explained.c_str(), unexplained.c_str());
    if (!skipped.empty())
        std::printf("not compared, listed as failing to open:\n%s", skipped.c_str());
    ASSERT_GT(compared, 0);
    EXPECT_TRUE(unexplained.empty()) << unexplained;
}

struct MutoolPage {
    bool have_media = false, have_crop = false, have_rotate = false;
    PdfBox media{}, crop{};
    int rotate = 0;
};

PdfBox normalised(float a, float b, float c, float d)
{
    return PdfBox{std::min(a, c), std::min(b, d), std::max(a, c), std::max(b, d)};
}

// Reads l="..." b="..." r="..." t="..." of one box line.
PdfBox parse_box(const std::string &line)
{
    auto attr = [&](const char *name) {
        size_t at = line.find(std::string(" ") + name + "=\"");
        return at == std::string::npos ? 0.0f : std::strtof(line.c_str() + at + 4, nullptr);
    };
    return normalised(attr("l"), attr("b"), attr("r"), attr("t"));
}

// `mutool pages` output: the boxes and Rotate written in each page dictionary
// itself, by 1-based page number; pages mutool could not read are left out.
std::map<int, MutoolPage> parse_mutool_pages(const std::string &out)
{
    std::map<int, MutoolPage> pages;
    std::istringstream in(out);
    MutoolPage *cur = nullptr;
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("<page pagenum=\"", 0) == 0) {
            number = std::atoi(line.c_str() + 15);
            cur = &pages[number];
        } else if (line.rfind("</page>", 0) == 0) {
            cur = nullptr;
        } else if (cur && line.rfind("Failed to gather", 0) == 0) {
            pages.erase(number);
            cur = nullptr;
        }
        else if (cur && line.rfind("<MediaBox ", 0) == 0)
            cur->media = parse_box(line), cur->have_media = true;
        else if (cur && line.rfind("<CropBox ", 0) == 0)
            cur->crop = parse_box(line), cur->have_crop = true;
        else if (cur && line.rfind("<Rotate v=\"", 0) == 0)
            cur->rotate = std::atoi(line.c_str() + 11), cur->have_rotate = true;
    }
    return pages;
}

// `mutool pages` leaves out values a page inherits from its ancestors. This
// script asks mutool's object layer for them, following Parent.
constexpr const char *kInheritedScript = R"(
function inherited(o, key) {
  for (var d = 0; d < 64 && o && o.isDictionary(); d++) {
    var v = o.get(key);
    if (v && !v.isNull()) return v;
    o = o.get("Parent");
  }
  return null;
}
function box(v) {
  if (!v || !v.isArray() || v.length != 4) return "- - - -";
  var s = [];
  for (var i = 0; i < 4; i++) { var e = v.get(i); s.push(e.isNumber() ? e.asNumber() : 0); }
  return s.join(" ");
}
var doc = new PDFDocument(scriptArgs[0]);
if (doc.needsPassword()) doc.authenticatePassword(scriptArgs[1] || "");
for (var i = 0; i < doc.countPages(); i++) {
  var p = doc.findPage(i);
  var r = inherited(p, "Rotate");
  print((i + 1) + " " + box(inherited(p, "MediaBox")) + " " + box(inherited(p, "CropBox")) +
        " " + (r && r.isNumber() ? Math.trunc(r.asNumber()) : 0));
}
)";

// Fills what `mutool pages` left out from the script's lines
// "N mx0 my0 mx1 my1 cx0 cy0 cx1 cy1 rotate" ("-" for an absent box).
void add_inherited(std::map<int, MutoolPage> *pages, const std::string &out)
{
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        std::istringstream ls(line);
        int number = 0;
        std::string v[9];
        if (!(ls >> number) || pages->count(number) == 0)
            continue;
        for (std::string &x : v)
            ls >> x;
        MutoolPage &m = (*pages)[number];
        auto num = [&](int i) { return std::strtof(v[i].c_str(), nullptr); };
        if (!m.have_media && v[0] != "-")
            m.media = normalised(num(0), num(1), num(2), num(3)), m.have_media = true;
        if (!m.have_crop && v[4] != "-")
            m.crop = normalised(num(4), num(5), num(6), num(7)), m.have_crop = true;
        if (!m.have_rotate)
            m.rotate = std::atoi(v[8].c_str()), m.have_rotate = true;
    }
}

bool same_box(const PdfBox &a, const PdfBox &b)
{
    constexpr float tol = 0.01f;
    return std::fabs(a.x0 - b.x0) <= tol && std::fabs(a.y0 - b.y0) <= tol &&
           std::fabs(a.x1 - b.x1) <= tol && std::fabs(a.y1 - b.y1) <= tol;
}

std::string box_text(const PdfBox &b)
{
    char s[128];
    std::snprintf(s, sizeof s, "[%g %g %g %g]", b.x0, b.y0, b.x1, b.y1);
    return s;
}

// What the visible box must be from mutool's raw boxes: the media box (Letter
// when absent), cut to the crop box when that leaves more than one unit.
PdfBox expected_box(const MutoolPage &m, bool crop)
{
    PdfBox media = m.have_media ? m.media : PdfBox{0, 0, 612, 792};
    if (!crop || !m.have_crop)
        return media;
    PdfBox cut{std::max(media.x0, m.crop.x0), std::max(media.y0, m.crop.y0),
               std::min(media.x1, m.crop.x1), std::min(media.y1, m.crop.y1)};
    return cut.x1 - cut.x0 > 1 && cut.y1 - cut.y0 > 1 ? cut : media;
}

// Restores the process-wide crop setting when a test ends.
struct CropSetting {
    int saved = pdf_crop_to_cropbox();
    ~CropSetting() { pdf_set_crop_to_cropbox(saved); }
};

TEST(PageTreeOracle, PageBoxesAndRotationsMatchMutool)
{
    SKIP_WITHOUT_CORPUS();
    if (!have_program("mutool"))
        GTEST_SKIP() << "mutool not installed";
    CropSetting restore;
    const std::string script = testsupport::scratch_path("inherited_boxes.js");
    ASSERT_TRUE(testsupport::write_file(script, kInheritedScript));
    int files = 0, pages_compared = 0;
    std::string mismatches, count_notes;
    for (const CorpusPdf &f : corpus_pdfs()) {
        CommandResult m = run("timeout 60 mutool pages " + password_arg(f, "-p ") + shell_quote(f.path));
        std::map<int, MutoolPage> ref = parse_mutool_pages(m.out);
        if (ref.empty())
            continue;
        CommandResult inh = run("timeout 60 mutool run " + shell_quote(script) + " " +
                                shell_quote(f.path) + " " + shell_quote(f.password.value_or("")));
        add_inherited(&ref, inh.out);
        OpenPdf ours(f);
        if (ours.rc != 0) {
            count_notes += "  " + f.name + ": open " + std::to_string(ours.rc) + "\n";
            continue;
        }
        int count = pdf_page_count(ours.doc);
        if (ref.rbegin()->first > count) {
            // Pages would not line up; the count itself is checked against qpdf.
            count_notes += "  " + f.name + ": ours " + std::to_string(count) + " pages, mutool " +
                           std::to_string(ref.rbegin()->first) + "\n";
            continue;
        }
        files++;
        for (const auto &[number, page] : ref) {
            PdfObject *p = pdf_page(ours.doc, number - 1);
            std::string where = "  " + f.name + " page " + std::to_string(number) + ": ";
            for (int crop = 0; crop < 2; crop++) {
                pdf_set_crop_to_cropbox(crop);
                PdfBox box;
                pdf_page_box(ours.doc, p, &box);
                PdfBox want = expected_box(page, crop);
                if (!same_box(box, want))
                    mismatches += where + (crop ? "crop " : "media ") + box_text(box) +
                                  ", mutool " + box_text(want) + "\n";
            }
            int rotate = pdf_page_rotate(ours.doc, p);
            if (rotate != page.rotate)
                mismatches += where + "rotate " + std::to_string(rotate) + ", mutool " +
                              std::to_string(page.rotate) + "\n";
            pages_compared++;
        }
    }
    std::printf("page boxes: %d pages of %d files compared with mutool\n", pages_compared, files);
    if (!count_notes.empty())
        std::printf("not compared:\n%s", count_notes.c_str());
    ASSERT_GT(pages_compared, 0);
    EXPECT_TRUE(mismatches.empty()) << mismatches;
}

}  // namespace

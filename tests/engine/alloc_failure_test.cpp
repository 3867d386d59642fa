// Allocation failures, one at a time: a corpus file is opened, page 1
// rendered at a low scale and its text taken, with the 1st, 2nd, 3rd ...
// allocation failing, until a run gets through without a failure. Every run
// must end with a status (never a crash, a sanitizer report or a leak), and
// the run that met no failure must give what an undisturbed run gives: a
// failure may not leave a cache or the font state damaged for later
// documents. Only in the sanitizer build, where the allocation calls are
// wrapped (tests/support/alloc_failure.h); one ctest entry per file.
#ifdef PAGRIX_ALLOC_FAILURE
#include <gtest/gtest.h>

#include <sanitizer/common_interface_defs.h>
#include <sanitizer/lsan_interface.h>

#include <cctype>
#include <cstdint>
#include <new>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "alloc_failure.h"
#include "bitmap/bitmap.h"
#include "corpus_pages.h"
#include "document/document.h"
#include "test_support.h"
#include "text/page_text.h"

namespace {

constexpr float kScale = 18.0f / 72.0f;
// Runs per file at most: beyond, the failing allocation advances by a stride.
constexpr long kMaxRuns = 300;

struct LoopFile {
    const char *name;  // below the corpus folder
    const char *kind;  // what it exercises
};

const LoopFile kFiles[] = {
    {"pdf/qpdf-override-compressed-object.pdf", "cross-reference stream, object stream"},
    {"pdf/samples-minimal-document.pdf", "cross-reference stream, Type 1 fonts"},
    {"pdf/qpdf-bad-xref-entry.pdf", "damaged cross-reference, repair"},
    {"pdf/qpdf-encrypted-40-bit-R3.pdf", "RC4 encryption, user password"},
    {"pdf/pypdf-r4-aes-user-password.pdf", "AES-128 encryption, CID TrueType font"},
    {"pdf/pypdf-r6-user-password.pdf", "AES-256 (revision 6) encryption"},
    {"pdf/pdfjs-cid_cff.pdf", "CID CFF font, group"},
    {"pdf/pdfjs-simpletype3font.pdf", "Type 3 font"},
    {"pdf/pdfminer-zen_of_python_corrupted.pdf", "Type 1C font"},
    {"pdf/pdfjs-xobject-image.pdf", "DCT image"},
    {"pdf/pdfjs-ccitt_EndOfBlock_false.pdf", "CCITT image"},
    {"pdf/pikepdf-rle.pdf", "run-length image with soft mask"},
    {"pdf/pdfjs-issue9017_reduced.pdf", "soft mask, group, alpha, blend mode"},
    {"pdf/cairo-inkscape-cube.pdf", "transparency group with alpha"},
    {"pdf/pdfjs-coons-allflags-withfunction.pdf", "Coons patch mesh shading"},
    {"tiff/tiff-lzw-single-strip.tiff", "TIFF, LZW"},
    {"dcx/im-testfax4-bilevel.dcx", "DCX"},
    {"eps/tiffprev-g4-golfer.eps", "EPS with a TIFF preview"},
    {"rtf/unrtf-font_styles.rtf", "RTF, font styles"},
};

// What one run produced; compared between undisturbed runs.
struct Outcome {
    int open = 0;
    int pages = 0;
    int render = 0;
    uint64_t pixels = 0;  // FNV-1a of the raster, 0 without one
    int chars = 0;
    uint64_t text = 0;    // FNV-1a of the code points
};

uint64_t fnv(uint64_t h, const void *data, size_t n)
{
    const auto *p = static_cast<const uint8_t *>(data);
    for (size_t i = 0; i < n; i++)
        h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

// Open, page 1 at 18 dpi, page 1's text, close. Allocates nothing itself,
// so the counter sees the engine alone.
Outcome run_once(const char *path, const char *password, bool *bad_status)
{
    Outcome o;
    Document *doc = nullptr;
    o.open = doc_open(&doc, path, password);
    // Statuses are 0 or -1 .. -7; a failed open leaves nothing open.
    *bad_status = o.open > 0 || o.open < -7 || (o.open != 0) != (doc == nullptr);
    if (o.open != 0) {
        doc_close(doc);
        return o;
    }
    o.pages = doc_page_count(doc);
    PageBitmap *bm = nullptr;
    o.render = doc_render_page(doc, 0, kScale, 0, 0, &bm);
    *bad_status |= o.render > 0 || o.render < -7;
    if (bm) {
        o.pixels = 14695981039346656037ull;
        for (int y = 0; y < bm->height; y++)
            o.pixels = fnv(o.pixels, bm->pixels + size_t(y) * size_t(bm->stride), size_t(bm->width) * 3);
    }
    bitmap_free(bm);
    PageText *text = doc_page_text(doc, 0, kScale);
    if (text) {
        o.chars = text->count;
        o.text = 14695981039346656037ull;
        for (int i = 0; i < text->count; i++)
            o.text = fnv(o.text, &text->items[i].unicode, sizeof(uint32_t));
    }
    page_text_free(text);
    doc_close(doc);
    return o;
}

std::string describe(const Outcome &o)
{
    char s[160];
    std::snprintf(s, sizeof s, "open %d, %d pages, render %d, raster %016llx, %d chars, text %016llx", o.open,
                  o.pages, o.render, (unsigned long long)o.pixels, o.chars, (unsigned long long)o.text);
    return s;
}

// Where the loop is, for the report of a crash or an escaped exception.
const char *g_file = "";
long g_fail_at = 0;

void report_position()
{
    std::fprintf(stderr, "allocation-failure loop: %s with allocation %ld failing\n", g_file, g_fail_at);
}

class AllocFailure : public ::testing::TestWithParam<LoopFile> {};

TEST_P(AllocFailure, OpenRenderTextEndWithStatus)
{
    SKIP_WITHOUT_CORPUS();
    const LoopFile &file = GetParam();
    const std::string path = testsupport::corpus_dir() + "/" + file.name;
    const std::string base = path.substr(path.find_last_of('/') + 1);
    testsupport::CorpusPages ref;
    if (std::string(file.name).rfind("pdf/", 0) == 0)
        ref = testsupport::corpus_pages(base);
    const char *password = ref.has_password ? ref.password.c_str() : nullptr;

    g_file = file.name;
    __sanitizer_set_death_callback(report_position);
    static const std::terminate_handler previous = std::set_terminate([] {
        report_position();
        previous();
    });

    // An undisturbed run fills the process-wide caches (fonts, FreeType) and
    // gives the outcome every later undisturbed run must repeat.
    bool bad = false;
    const Outcome want = run_once(path.c_str(), password, &bad);
    ASSERT_FALSE(bad) << describe(want);
    ASSERT_EQ(want.open, 0) << file.name << " (" << file.kind << ") must open";
    ASSERT_GT(want.pages, 0);
    testsupport::alloc_failure_arm(0);
    run_once(path.c_str(), password, &bad);
    const long total = testsupport::alloc_failure_disarm();
    ASSERT_GT(total, 0);
    const long stride = (total + kMaxRuns - 1) / kMaxRuns;

    // PAGRIX_ALLOC_FIRST=N starts the loop at N (to look at one failure).
    const char *first = std::getenv("PAGRIX_ALLOC_FIRST");
    long runs = 0, spared = 0;
    bool finished = false;
    for (long n = first ? std::atol(first) : 1; !finished; n += stride, runs++) {
        g_fail_at = n;
        testsupport::alloc_failure_arm(n);
        Outcome got;
        try {
            got = run_once(path.c_str(), password, &bad);
        } catch (const std::bad_alloc &) {
            testsupport::alloc_failure_disarm();
            FAIL() << file.name << " with allocation " << n << " failing: std::bad_alloc escaped";
        }
        testsupport::alloc_failure_disarm();
        finished = !testsupport::alloc_failure_reached();
        spared += testsupport::alloc_failure_spared();
        ASSERT_FALSE(bad) << file.name << " with allocation " << n << " failing: " << describe(got);
        // An allocation failure is reported, never taken for a document with
        // fewer pages.
        if (got.open == 0) {
            ASSERT_EQ(got.pages, want.pages) << file.name << " with allocation " << n << " failing";
        }
        ASSERT_EQ(__lsan_do_recoverable_leak_check(), 0)
            << file.name << " leaks with allocation " << n << " failing";
        if (finished) {
            EXPECT_EQ(describe(got), describe(want))
                << file.name << ": the first undisturbed run after " << n - 1 << " failing allocations";
        }
    }
    std::printf("%s (%s): %ld allocations, %ld runs, stride %ld, %ld of them FreeType's (let through)\n",
                file.name, file.kind, total, runs, stride, spared);
    g_file = "";
}

std::string param_name(const ::testing::TestParamInfo<LoopFile> &info)
{
    std::string s = info.param.name;
    s = s.substr(s.find('/') + 1);
    for (char &c : s)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return s;
}

INSTANTIATE_TEST_SUITE_P(Corpus, AllocFailure, ::testing::ValuesIn(kFiles), param_name);

}  // namespace
#endif

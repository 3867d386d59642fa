// Text against independent renderers: every corpus page 1 with text,
// rendered by us and by mutool draw at 72 and 150 dpi, with pdftoppm's
// distance from mutool as the measure of honest disagreement; beside it,
// the same pages with FreeType's hinting and whole-pixel placement, and
// with unhinted glyphs at their exact positions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "bitmap/bitmap.h"
#include "fonts/glyph.h"
#include "pdf/document.h"
#include "render/page.h"
#include "command_support.h"
#include "font_support.h"
#include "oracle_image.h"
#include "test_support.h"

namespace {

struct TextPage {
    std::string file;
    std::string password;
    bool apart;          // needs shadings or transparency, or is 256-bit AES
    std::string reason;  // why it is apart
};

// pdf_ref.tsv rows whose page 1 has text and that mutool rendered.
const std::vector<TextPage> &text_pages()
{
    static std::vector<TextPage> pages;
    static bool done = false;
    if (done)
        return pages;
    done = true;
    const std::string dir = testsupport::corpus_dir();
    if (dir.empty())
        return pages;
    std::istringstream in(testsupport::read_file(dir + "/pdf_ref.tsv"));
    std::string line;
    std::vector<std::string> head;
    auto column = [&](const char *name) {
        return int(std::find(head.begin(), head.end(), name) - head.begin());
    };
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, '\t');)
            f.push_back(cell);
        if (head.empty()) {
            head = f;
            continue;
        }
        auto at = [&](const char *name) {
            size_t i = size_t(column(name));
            return i < f.size() ? f[i] : std::string();
        };
        if (std::atoi(at("p1_text_chars").c_str()) <= 0 || at("mutool_ok") != "y")
            continue;
        TextPage p;
        p.file = dir + "/" + at("file");
        bool known = false;
        p.password = testsupport::corpus_password(at("passwords"), "user", &known);
        const std::string enc = at("encrypted"), shading = at("shading_types"),
                          transparency = at("transparency");
        if (enc.find("AESv3") != std::string::npos)
            p.reason = "256-bit AES";
        else if (shading != "-" && !shading.empty())
            p.reason = "shading " + shading;
        else if (transparency != "-" && !transparency.empty())
            p.reason = "transparency " + transparency;
        p.apart = !p.reason.empty();
        pages.push_back(p);
    }
    return pages;
}

std::string base_name(const std::string &path) { return path.substr(path.rfind('/') + 1); }

// The glyph placements measured, the default first.
const int kPlacements[] = {GLYPH_UNHINTED_QUARTER, GLYPH_HINTED_WHOLE, GLYPH_UNHINTED_EXACT};
const char *const kPlacementNames[] = {"unhinted-quarter", "hinted-whole", "unhinted-exact"};
constexpr int kNumPlacements = 3;

struct Result {
    std::string name;
    double ours = -1, poppler = -1;  // PSNR against mutool (ours: the default placement)
    double vs_mu[kNumPlacements] = {-1, -1, -1};  // each placement against mutool
    double vs_pp[kNumPlacements] = {-1, -1, -1};  // and against pdftoppm
    bool agrees = false, apart = false;
    std::string diags;
};

// Our page 1 at `dpi`, or an empty image.
testsupport::RgbImage ours(const TextPage &page, int dpi, std::string *diags)
{
    testsupport::RgbImage im;
    PdfDoc *doc = nullptr;
    if (pdf_open(&doc, page.file.c_str(), page.password.empty() ? nullptr : page.password.c_str()) != 0)
        return im;
    PageBitmap *bm = nullptr;
    char tags[600] = "";
    render_page_diag(doc, 0, float(dpi) / 72.0f, 0, 0, &bm, tags, sizeof tags);
    if (bm) {
        im = testsupport::rgb_from_bitmap(bm);
        for (const char *t = tags; diags && *t; t += std::strlen(t) + 1)
            *diags += std::string(diags->empty() ? "" : " ") + t;
    }
    bitmap_free(bm);
    pdf_close(doc);
    return im;
}

double median(std::vector<double> v)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// `floor`: the share of counted text pages (percent) that must agree.
void measure_at(int dpi, int floor)
{
    SKIP_WITHOUT_CORPUS();
    if (!testsupport::have_oracle_renderers())
        GTEST_SKIP() << "mutool or pdftoppm missing";
    ASSERT_TRUE(testsupport::install_base_fonts());
    std::vector<Result> results;
    for (const TextPage &page : text_pages()) {
        testsupport::RgbImage mu, pp;
        if (!testsupport::oracle_render(page.file, 1, dpi, false, &mu))
            continue;
        Result r;
        r.name = base_name(page.file);
        r.apart = page.apart;
        const bool have_pp = testsupport::oracle_render(page.file, 1, dpi, true, &pp);
        const int placement = glyph_placement();
        for (int i = 0; i < kNumPlacements; i++) {
            glyph_set_placement(kPlacements[i]);
            testsupport::RgbImage im = ours(page, dpi, i == 0 ? &r.diags : nullptr);
            if (im.width > 0) {
                r.vs_mu[i] = testsupport::psnr(im, mu);
                r.vs_pp[i] = have_pp ? testsupport::psnr(im, pp) : -1;
            }
        }
        glyph_set_placement(placement);
        r.ours = r.vs_mu[0];
        if (have_pp)
            r.poppler = testsupport::psnr(pp, mu);
        if (page.apart)
            r.diags += (r.diags.empty() ? "" : " ") + page.reason;
        r.agrees = r.ours >= 40.0 || (r.poppler >= 0 && r.ours >= r.poppler - 1.0);
        results.push_back(r);
    }
    ASSERT_FALSE(results.empty());
    std::vector<double> values, vs_mu[kNumPlacements], vs_pp[kNumPlacements];
    int counted = 0, agree = 0;
    for (const Result &r : results) {
        values.push_back(r.ours);
        for (int i = 0; i < kNumPlacements; i++) {
            if (r.vs_mu[i] >= 0)
                vs_mu[i].push_back(r.vs_mu[i]);
            if (r.vs_pp[i] >= 0)
                vs_pp[i].push_back(r.vs_pp[i]);
        }
        if (!r.apart) {
            counted++;
            agree += r.agrees;
        }
    }
    std::sort(values.begin(), values.end());
    auto pct = [&](double q) { return values[size_t(q * double(values.size() - 1))]; };
    std::printf("TEXT %d dpi: %zu pages; PSNR vs mutool min %.1f p25 %.1f median %.1f p75 %.1f "
                "max %.1f\n",
                dpi, results.size(), pct(0), pct(0.25), pct(0.5), pct(0.75), pct(1.0));
    std::printf("TEXT %d dpi: %d of %d text pages agree; %zu pages set apart\n", dpi, agree, counted,
                results.size() - size_t(counted));
    auto mean = [](const std::vector<double> &v) {
        double s = 0;
        for (double x : v)
            s += x;
        return v.empty() ? -1 : s / double(v.size());
    };
    for (int i = 0; i < kNumPlacements; i++)
        std::printf("TEXT %d dpi glyphs %-16s PSNR vs mutool median %.2f mean %.2f; vs pdftoppm "
                    "median %.2f mean %.2f\n",
                    dpi, kPlacementNames[i], median(vs_mu[i]), mean(vs_mu[i]), median(vs_pp[i]),
                    mean(vs_pp[i]));
    std::vector<Result> sorted = results;
    std::sort(sorted.begin(), sorted.end(), [](const Result &a, const Result &b) {
        return a.ours - a.poppler < b.ours - b.poppler;
    });
    // Every counted page that differs, the five worst that agree, then the pages set apart.
    for (int group = 0; group < 3; group++) {
        std::printf(group == 0   ? "text pages that differ (ours, pdftoppm; both vs mutool):\n"
                    : group == 1 ? "worst text pages that agree:\n"
                                 : "pages set apart:\n");
        int shown = 0;
        for (const Result &r : sorted) {
            const bool in = group == 0   ? !r.apart && !r.agrees
                            : group == 1 ? !r.apart && r.agrees && shown < 5
                                         : r.apart;
            if (!in)
                continue;
            std::printf("  %-46s ours %6.1f  pdftoppm %6.1f  hinted %6.1f  %s [%s]\n",
                        r.name.c_str(), r.ours, r.poppler, r.vs_mu[1], r.agrees ? "agrees" : "DIFFERS",
                        r.diags.c_str());
            shown++;
        }
    }
    ASSERT_GT(counted, 0);
    EXPECT_GE(agree * 100, counted * floor) << agree << " of " << counted << " text pages agree";
}

TEST(TextFidelity, FirstPagesWithTextAt72Dpi) { measure_at(72, 80); }
TEST(TextFidelity, FirstPagesWithTextAt150Dpi) { measure_at(150, 80); }

}  // namespace

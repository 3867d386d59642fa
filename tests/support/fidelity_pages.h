// The relative fidelity rule over corpus first pages: a page drawn by us,
// by mutool draw and by pdftoppm, where pdftoppm's distance from mutool
// measures how far two independent renderers honestly disagree. Shared by
// the fidelity tests of shadings and of transparency. POSIX only, like
// command_support.h.
#pragma once
#include <cstring>
#include <string>

#include "bitmap/bitmap.h"
#include "corpus_pages.h"
#include "font_support.h"
#include "oracle_image.h"
#include "pdf/document.h"
#include "render/page.h"

namespace testsupport {

struct FirstPageFidelity {
    std::string name;                // file name without folder
    double ours = -1, poppler = -1;  // PSNR against mutool's page, dB (-1: not drawn)
    bool agrees = false;             // ours >= 40 dB or within 1 dB of pdftoppm's
    std::string diags;               // what our render left out
};

// Page 1 of `file` (opened with the corpus table's password) at `dpi`, with
// the base fonts pagrix-render has; false when mutool draws nothing, so the
// page has no reference.
inline bool measure_first_page(const std::string &file, int dpi, FirstPageFidelity *out)
{
    install_base_fonts();
    FirstPageFidelity &r = *out;
    r = FirstPageFidelity();
    r.name = file.substr(file.rfind('/') + 1);
    const CorpusPages known = corpus_pages(r.name);
    const std::string password = known.has_password ? known.password : "";
    RgbImage mu, pp;
    if (!oracle_render(file, 1, dpi, false, &mu, password))
        return false;
    PdfDoc *doc = nullptr;
    if (pdf_open(&doc, file.c_str(), password.empty() ? nullptr : password.c_str()) == 0) {
        PageBitmap *bm = nullptr;
        char diags[600] = {};
        render_page_diag(doc, 0, float(dpi) / 72.0f, 0, 0, &bm, diags, sizeof diags);
        if (bm)
            r.ours = psnr(rgb_from_bitmap(bm), mu);
        for (const char *t = diags; bm && *t; t += std::strlen(t) + 1)
            r.diags += std::string(r.diags.empty() ? "" : " ") + t;
        bitmap_free(bm);
        pdf_close(doc);
    }
    if (oracle_render(file, 1, dpi, true, &pp, password))
        r.poppler = psnr(pp, mu);
    r.agrees = r.ours >= 40.0 || (r.poppler >= 0 && r.ours >= r.poppler - 1.0);
    return true;
}

}  // namespace testsupport

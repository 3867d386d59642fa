// Plain text documents grow linearly: opening a file (read, detection, line
// index) and rendering its last page, for generated UTF-8 files of 1, 4 and
// 16 MiB. The reference of each is the 1 MiB time scaled by the size, so a
// ratio near 1 means linear cost.
#include <cstdio>
#include <string>

#include "bench_support.h"
#include "bitmap/bitmap.h"
#include "fontlib/fontdata.h"
#include "fonts/font_state.h"
#include "formats/text_doc.h"

namespace {

// German-like UTF-8 prose in lines of 40 to 130 characters, some with tabs.
std::string generated_text(size_t bytes)
{
    static const char *const kWords[] = {"Größe", "über", "Straße", "und", "die", "Zeichen", "Übergänge",
                                         "Kodierung", "\t", "Seite", "Zeile", "für", "äußerst", "Wörter"};
    std::string s;
    s.reserve(bytes + 256);
    uint32_t seed = 7;
    size_t line = 0;
    while (s.size() < bytes) {
        seed = seed * 1103515245u + 12345u;
        s += kWords[(seed >> 16) % 14];
        s += ' ';
        line += 8;
        if (line > 40 + (seed >> 8) % 90) {
            s += '\n';
            line = 0;
        }
    }
    s.resize(bytes);
    return s;
}

std::string write_file(size_t mib)
{
    const std::string path = std::string(PAGRIX_BINARY_DIR) + "/bench_text_" + std::to_string(mib) + "mib.txt";
    const std::string text = generated_text(mib << 20);
    if (FILE *f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
    return path;
}

void open_render_last(const std::string &path)
{
    TextDoc *doc = text_open(path.c_str());
    if (!doc)
        return;
    PageBitmap *page = nullptr;
    text_render_page(doc, text_page_count(doc) - 1, 1.0f, 0, 792, &page);
    bitmap_free(page);
    text_close(doc);
}

const bool registered = (benchsupport::add_custom("text-open-render", [] {
    font_set_resolver(fontdata_find);
    const std::string p1 = write_file(1), p4 = write_file(4), p16 = write_file(16);
    const double t1 = benchsupport::median_ms([&] { open_render_last(p1); }, 9);
    const double t4 = benchsupport::median_ms([&] { open_render_last(p4); }, 5);
    const double t16 = benchsupport::median_ms([&] { open_render_last(p16); }, 5);
    benchsupport::report("text-open-render-4mib", t4, t1 * 4);
    benchsupport::report("text-open-render-16mib", t16, t1 * 16);
    for (const std::string &p : {p1, p4, p16})
        std::remove(p.c_str());
}), true);

}  // namespace

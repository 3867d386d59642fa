// Shared body of the document-level fuzz targets and of their replay test.
// The readers open files by path, so the input is written to an anonymous
// in-memory file and opened through its /proc/self/fd name: nothing touches
// the disk and every reader sees the bytes as the viewer would. A render is
// bounded by a poll budget rather than a clock, so runs are reproducible.
#pragma once
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "bitmap/bitmap.h"
#include "document/document.h"
#include "formats/eps.h"
#include "formats/rtf.h"
#include "formats/text_doc.h"
#include "pdf/nav.h"
#include "render/page.h"
#include "text/page_text.h"

namespace fuzzdoc {

constexpr float RENDER_SCALE = 18.0f / 72.0f;
constexpr int POLL_BUDGET = 4000;  // polls (each after 32 operators or a band of rows) per render
constexpr int MAX_GEOMETRY_PAGES = 4096;

// The in-memory file's path after writing `size` bytes to it; "" on failure.
inline std::string memory_file(const uint8_t *data, size_t size)
{
    static int fd = -1;
    if (fd < 0)
        fd = memfd_create("fuzz-input", 0);
    if (fd < 0 || ftruncate(fd, 0) != 0)
        return "";
    size_t done = 0;
    while (done < size) {
        ssize_t n = pwrite(fd, data + done, size - done, off_t(done));
        if (n <= 0)
            return "";
        done += size_t(n);
    }
    return "/proc/self/fd/" + std::to_string(fd);
}

inline int poll_budget(void *user, PageBitmap *)
{
    int *left = static_cast<int *>(user);
    return --*left < 0 ? 1 : 0;
}

// Renders one page at the fuzzing scale under the poll budget.
inline void render_bounded(Document *doc, int page, float scale = RENDER_SCALE)
{
    int left = POLL_BUDGET;
    set_render_poll(poll_budget, &left);
    PageBitmap *bm = nullptr;
    doc_render_page(doc, page, scale, 0, 0, &bm);
    set_render_poll(nullptr, nullptr);
    bitmap_free(bm);
}

// Everything the viewer asks of a freshly opened document: page count, every
// page's geometry, page 1 rendered, page text, outline, threads and links.
inline void exercise(Document *doc)
{
    const int count = doc_page_count(doc);
    for (int p = 0; p < count && p < MAX_GEOMETRY_PAGES; p++) {
        float w, h;
        int rot, wp, hp;
        doc_page_size(doc, p, &w, &h, &rot);
        doc_page_pixel_size(doc, p, RENDER_SCALE, &wp, &hp);
    }
    if (count > 0) {
        render_bounded(doc, 0);
        // Page text joins here once every kind returns it; the result is
        // owned by the caller and has no release function yet for PDF.
        static OutlineItem outline[64];
        static ThreadItem threads[16];
        static LinkItem links[64];
        doc_outline(doc, outline, 64);
        doc_threads(doc, threads, 16);
        doc_page_links(doc, 0, RENDER_SCALE, links, 64);
    }
}

// Opens the bytes as a document (any kind the content names) and exercises
// it; when the file asks for a password, tries again with a fixed one.
inline int run_document(const uint8_t *data, size_t size)
{
    const std::string path = memory_file(data, size);
    if (path.empty())
        return -1;
    Document *doc = nullptr;
    int rc = doc_open(&doc, path.c_str(), nullptr);
    if (rc == 0)
        exercise(doc);
    doc_close(doc);
    if (rc == -6) {
        doc = nullptr;
        rc = doc_open(&doc, path.c_str(), "fuzz");
        if (rc == 0)
            exercise(doc);
        doc_close(doc);
    }
    return rc;
}

// A one-page PDF whose page carries a fixed set of resources (a standard
// font, an embedded font program, an image, a shading, a graphics state, a
// pattern) and the given content stream.
inline std::string page_pdf(const std::string &content, const std::string &font_key,
                            const std::string &font_program, const std::string &font_dict_extra)
{
    std::string objs[12];
    objs[1] = "<< /Type /Catalog /Pages 2 0 R >>";
    objs[2] = "<< /Type /Pages /Kids [3 0 R] /Count 1 >>";
    objs[3] = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 4 0 R "
              "/Resources << /Font << /F1 5 0 R /F2 6 0 R >> /XObject << /Im1 8 0 R /Fm1 11 0 R >> "
              "/Shading << /Sh1 9 0 R >> /Pattern << /P1 10 0 R >> "
              "/ExtGState << /G1 << /CA 0.5 /ca 0.5 /BM /Multiply >> >> >> >>";
    objs[4] = "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "\nendstream";
    objs[5] = "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>";
    objs[6] = "<< /Type /Font " + font_dict_extra + " /FirstChar 0 /LastChar 255 "
              "/FontDescriptor 7 0 R >>";
    objs[7] = "<< /Type /FontDescriptor /FontName /Fuzz /Flags 32 /FontBBox [0 0 1000 1000] "
              "/ItalicAngle 0 /Ascent 800 /Descent -200 /CapHeight 700 /StemV 80 /" + font_key +
              " 12 0 R >>";
    objs[8] = "<< /Type /XObject /Subtype /Image /Width 2 /Height 2 /ColorSpace /DeviceRGB "
              "/BitsPerComponent 8 /Length 12 >>\nstream\n\xff\x00\x00\x00\xff\x00\x00\x00\xff\x80\x80\x80\nendstream";
    objs[9] = "<< /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 200 200] "
              "/Function << /FunctionType 2 /Domain [0 1] /C0 [1 0 0] /C1 [0 0 1] /N 1 >> /Extend [true true] >>";
    objs[10] = "<< /PatternType 2 /Shading 9 0 R >>";
    const std::string form = "0 0 1 rg 0 0 10 10 re f";
    objs[11] = "<< /Type /XObject /Subtype /Form /BBox [0 0 20 20] /Length " + std::to_string(form.size()) +
               " >>\nstream\n" + form + "\nendstream";
    std::string out = "%PDF-1.7\n%\xe2\xe3\xcf\xd3\n";
    size_t offsets[13] = {};
    for (int i = 1; i <= 12; i++) {
        offsets[i] = out.size();
        std::string body = i == 12 ? "<< /Length " + std::to_string(font_program.size()) +
                                         (font_key == "FontFile3" ? " /Subtype /Type1C" : "") +
                                         " >>\nstream\n" + font_program + "\nendstream"
                                   : objs[i];
        out += std::to_string(i) + " 0 obj\n" + body + "\nendobj\n";
    }
    const size_t xref = out.size();
    out += "xref\n0 13\n0000000000 65535 f \n";
    char line[24];
    for (int i = 1; i <= 12; i++) {
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", offsets[i]);
        out += line;
    }
    out += "trailer\n<< /Size 13 /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return out;
}

inline int run_pdf_bytes(const std::string &pdf)
{
    const std::string path = memory_file(reinterpret_cast<const uint8_t *>(pdf.data()), pdf.size());
    if (path.empty())
        return -1;
    Document *doc = nullptr;
    int rc = doc_open(&doc, path.c_str(), nullptr);
    if (rc == 0)
        render_bounded(doc, 0, 1.0f);
    doc_close(doc);
    return rc;
}

// The input is a content stream run against the fixed resources.
inline int run_content(const uint8_t *data, size_t size)
{
    static const std::string no_font;
    return run_pdf_bytes(page_pdf(std::string(reinterpret_cast<const char *>(data), size), "FontFile2",
                                  no_font, "/Subtype /TrueType /BaseFont /Fuzz"));
}

// The input is an embedded font program: byte 0 picks how it is embedded
// (Type 1, TrueType, CFF), bytes 1..64 are the character codes shown, at a
// few sizes, the rest is the program.
inline int run_font(const uint8_t *data, size_t size)
{
    if (size < 65)
        return -1;
    static const char *const kKinds[][2] = {
        {"FontFile", "/Subtype /Type1 /BaseFont /Fuzz"},
        {"FontFile2", "/Subtype /TrueType /BaseFont /Fuzz"},
        {"FontFile3", "/Subtype /Type1 /BaseFont /Fuzz"},
    };
    const auto &kind = kKinds[data[0] % 3];
    std::string codes;
    for (size_t i = 1; i < 65; i++) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02x", data[i]);
        codes += hex;
    }
    const std::string content = "BT /F2 24 Tf 10 150 Td <" + codes + "> Tj /F2 3 Tf 0 -60 Td <" + codes +
                                "> Tj /F2 90 Tf 2 Tr 0 -80 Td <" + codes + "> Tj ET";
    return run_pdf_bytes(page_pdf(content, kind[0],
                                  std::string(reinterpret_cast<const char *>(data + 65), size - 65), kind[1]));
}

// The input is an EPS file (binary header with a TIFF preview, EPSI, or none).
inline int run_eps(const uint8_t *data, size_t size)
{
    EpsDoc *eps = eps_open_memory(data, int64_t(size));
    if (!eps)
        return -1;
    int dx = 0, dy = 0;
    EpsSource source;
    PageBitmap *bm = eps_render(eps, nullptr, &dx, &dy, &source);
    bitmap_free(bm);
    eps_close(eps);
    return 0;
}

// The input is a plain text file behind one byte: its value mod 12 picks the
// encoding (11: as detected), bit 6 the proportional face, bit 7 a name
// with the extension "nfo".
inline int run_text(const uint8_t *data, size_t size)
{
    if (size < 1)
        return -1;
    TextDoc *doc = text_open_memory(data + 1, int64_t(size - 1), data[0] & 0x80 ? "input.nfo" : nullptr);
    if (!doc)
        return -1;
    if (data[0] % 12 < 11)
        text_set_encoding(doc, data[0] % 12);
    text_set_mono(doc, data[0] & 0x40 ? 0 : 1);
    for (int page : {0, text_page_count(doc) - 1}) {
        PageBitmap *bm = nullptr;
        text_render_page(doc, page, RENDER_SCALE * 2, 0, 1000, &bm);
        bitmap_free(bm);
        page_text_free(text_page_text(doc, page, 1.0f));
    }
    text_set_encoding(doc, -1);
    page_text_free(text_page_text(doc, 0, 1.0f));
    text_close(doc);
    return 0;
}

// The input is an RTF file: laid out, its first and last pages drawn and
// every page's text taken.
inline int run_rtf(const uint8_t *data, size_t size)
{
    RtfDoc *rtf = rtf_open_memory(data, size);
    if (!rtf)
        return -1;
    const int pages = rtf_page_count(rtf);
    for (int p : {0, pages - 1}) {
        PageBitmap *bm = rtf_render_page(rtf, p, RENDER_SCALE, 0, 200);
        bitmap_free(bm);
    }
    for (int p = 0; p < pages && p < MAX_GEOMETRY_PAGES; p++)
        page_text_free(rtf_page_text(rtf, p, 1.0f));
    rtf_close(rtf);
    return 0;
}

}  // namespace fuzzdoc

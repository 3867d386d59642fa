// PCX pages and DCX containers written byte by byte, and the raster kinds
// through the document layer (page size from the resolution, user rotation,
// bands).
#include <gtest/gtest.h>

#include <string>

#include "bitmap/bitmap.h"
#include "document/document.h"
#include "formats/tiff.h"
#include "test_support.h"
#include "tiff_builder.h"

namespace {

std::string le16(int v) { return std::string{char(v & 0xFF), char((v >> 8) & 0xFF)}; }
std::string le32(uint32_t v) { return le16(int(v & 0xFFFF)) + le16(int(v >> 16)); }

// A PCX header; `palette` fills the 16-entry header palette.
std::string pcx_header(int w, int h, int bits, int planes, int line_bytes, const std::string &palette = "")
{
    std::string hd = std::string{'\x0A', '\x05', '\x01', char(bits)} + le16(0) + le16(0) + le16(w - 1) + le16(h - 1) +
                     le16(200) + le16(100);
    std::string pal = palette;
    pal.resize(48, '\0');
    hd += pal + '\0' + char(planes) + le16(line_bytes);
    hd.resize(128, '\0');
    return hd;
}

// Run-length coding of raw scanline bytes, byte by byte (counts of 1 where needed).
std::string pcx_literal(const std::string &raw)
{
    std::string out;
    for (char c : raw) {
        if ((uint8_t(c) & 0xC0) == 0xC0)
            out += '\xC1';
        out += c;
    }
    return out;
}

uint32_t rgb_at(const PageBitmap *bm, int x, int y)
{
    const uint8_t *p = bm->pixels + y * bm->stride + 3 * x;
    return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

std::string pixels_of(const PageBitmap *bm)
{
    std::string s;
    for (int y = 0; bm && y < bm->height; y++) {
        for (int x = 0; x < bm->width; x++) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "%06x", rgb_at(bm, x, y));
            s += (x ? " " : "") + std::string(buf);
        }
        s += "\n";
    }
    return s;
}

TEST(PcxDecode, Layouts)
{
    const std::string pal = std::string("\x10\x20\x30", 3) + std::string("\xF0\x00\x0F", 3) + std::string(3, '\x40') +
                            std::string("\x00\x80\x00", 3);
    std::string pal256(768, '\0');
    for (int i = 0; i < 256; i++) {
        pal256[size_t(3 * i)] = char(i);
        pal256[size_t(3 * i + 2)] = char(255 - i);
    }
    struct Row {
        const char *name;
        std::string file;
        std::string expect;  // rows of RRGGBB
    } rows[] = {
        {"8 bits, 3 planes: red, green, blue planes",
         pcx_header(2, 1, 8, 3, 2) + pcx_literal(std::string("\x01\xFF\x02\x00\x03\xC8", 6)),
         "010203 ff00c8\n"},
        {"8 bits, 1 plane, 256-colour palette after 0x0C",
         pcx_header(3, 1, 8, 1, 4) + pcx_literal(std::string("\x00\x05\xFF\x00", 4)) + '\x0C' + pal256,
         "0000ff 0500fa ff0000\n"},
        {"8 bits, 1 plane, no palette: grey", pcx_header(2, 1, 8, 1, 2) + pcx_literal("\x07\xD0"), "070707 d0d0d0\n"},
        {"4 bits: high nibble first through the header palette",
         pcx_header(3, 1, 4, 1, 2, pal) + pcx_literal(std::string("\x01\x30", 2)), "102030 f0000f 008000\n"},
        {"1 bit: header palette entries 0 and 1, whatever they are",
         pcx_header(4, 1, 1, 1, 2, pal) + pcx_literal(std::string("\xA0\x00", 2)), "f0000f 102030 f0000f 102030\n"},
        {"1 bit, 2 planes: plane k gives index bit k",
         pcx_header(4, 1, 1, 2, 2, pal) + pcx_literal(std::string("\xA0\x00\xC0\x00", 4)),
         "008000 404040 f0000f 102030\n"},
        {"a run crossing the row end goes on in the next row",
         pcx_header(3, 2, 8, 1, 4) + "\xC6\x11" + pcx_literal(std::string("\x22\x00", 2)),
         "111111 111111 111111\n111111 111111 222222\n"},
        {"missing data leaves zeros", pcx_header(2, 2, 8, 1, 2) + "\x09", "090909 000000\n000000 000000\n"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        int dx = -1, dy = -1;
        PageBitmap *bm = pcx_decode(reinterpret_cast<const uint8_t *>(r.file.data()), int64_t(r.file.size()), &dx, &dy);
        EXPECT_EQ(r.expect, pixels_of(bm));
        EXPECT_EQ(200, dx);
        EXPECT_EQ(100, dy);
        bitmap_free(bm);
    }
}

TEST(PcxDecode, RejectsInvalidHeaders)
{
    struct Row {
        const char *name;
        std::string file;
    } rows[] = {
        {"shorter than the header", pcx_header(2, 1, 8, 1, 2).substr(0, 127)},
        {"wrong first byte", "\x0B" + pcx_header(2, 1, 8, 1, 2).substr(1)},
        {"2 bits", pcx_header(2, 1, 2, 1, 2)},
        {"5 planes", pcx_header(2, 1, 8, 5, 2)},
        {"bytes per line below the row", pcx_header(20, 1, 8, 1, 19)},
        {"bytes per line 0", pcx_header(2, 1, 8, 1, 0)},
        {"width 30001", pcx_header(30001, 1, 1, 1, 4000)},
        {"Xmax 0xFFFF: width 65536", pcx_header(0, 1, 8, 1, 2)},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        int dx, dy;
        EXPECT_EQ(nullptr, pcx_decode(reinterpret_cast<const uint8_t *>(r.file.data()), int64_t(r.file.size()), &dx, &dy));
    }
}

std::string file_with(const std::string &name, const std::string &bytes)
{
    std::string path = testsupport::scratch_path(name);
    testsupport::write_file(path, bytes);
    return path;
}

TEST(DcxOpen, OffsetTables)
{
    const std::string page = pcx_header(2, 1, 8, 1, 2) + pcx_literal("\x07\x08");
    const std::string magic = le32(987654321);
    std::string many = magic;
    for (int i = 0; i < 5000; i++)
        many += le32(4 + 4 * 5001);
    many += le32(0) + page;
    struct Row {
        const char *name;
        std::string file;
        int pages;     // 0: the open fails
        int shown;     // pages that decode
    } rows[] = {
        {"pages below offset 128 are listed, not shown", magic + le32(16) + le32(100) + le32(0) + page + page, 2, 0},
        {"two pages at 200", magic + le32(200) + le32(200 + 130) + le32(0) + std::string(200 - 16, '\0') + page + page, 2, 2},
        {"no terminating 0: the table ends at the file end", magic + le32(200) + le32(330), 2, 0},
        {"5000 equal offsets list 1023; only the last has bytes", many, 1023, 1},
        {"a page ends at the file end, not at a far next offset",
         magic + le32(200) + le32(0x7FFFFFF0u) + le32(0) + std::string(200 - 16, '\0') + page, 2, 1},
        {"no pages", magic + le32(0), 0, 0},
        {"wrong magic", le32(987654320) + le32(200), 0, 0},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        int pages = -1;
        DcxDoc *doc = dcx_open(file_with("t.dcx", r.file).c_str(), &pages);
        EXPECT_EQ(r.pages, pages);
        EXPECT_EQ(r.pages == 0, doc == nullptr);
        int shown = 0;
        for (int i = 0; i < dcx_page_count(doc); i++) {
            int dx, dy;
            PageBitmap *bm = dcx_decode_page(doc, i, &dx, &dy);
            shown += bm != nullptr;
            bitmap_free(bm);
        }
        EXPECT_EQ(r.shown, shown);
        dcx_close(doc);
    }
}

// A 4 x 2 grey TIFF at 144 x 72 dpi through doc_open: its size in points,
// the user's quarter turn (size and resolutions swap), and banded rendering.
TEST(DocumentRaster, TiffPageSizeRotationAndBands)
{
    testsupport::TiffBuilder b;
    uint64_t at = b.data(std::string("\x00\x40\x80\xC0\x10\x50\x90\xD0", 8));
    b.tag(256, testsupport::T_SHORT, {4}).tag(257, testsupport::T_SHORT, {2});
    b.tag(273, testsupport::T_LONG, {at}).tag(279, testsupport::T_LONG, {8});
    b.tag(282, testsupport::T_RATIONAL, {144, 1}).tag(283, testsupport::T_RATIONAL, {36, 1});
    b.next();
    at = b.data(std::string(1, '\x7F'));
    b.tag(256, testsupport::T_SHORT, {1}).tag(257, testsupport::T_SHORT, {1});
    b.tag(273, testsupport::T_LONG, {at}).tag(279, testsupport::T_LONG, {1});
    Document *doc = nullptr;
    ASSERT_EQ(0, doc_open(&doc, file_with("page.pdf", b.finish()).c_str(), nullptr));
    EXPECT_EQ(DOC_TIFF, doc->kind);
    EXPECT_EQ(2, doc_page_count(doc));
    EXPECT_TRUE(doc_kind_mismatch(doc, "page.pdf"));
    float w = 0, h = 0;
    int rot = -1;
    struct Row {
        int turns;  // added before the row
        int page;
        float w, h;
    } rows[] = {
        {0, 0, 2, 4},    // 4 px at 144 dpi, 2 px at 36 dpi
        {1, 0, 4, 2},    // turned: 2 px at 36 dpi across, 4 px at 144 dpi down
        {0, 1, 1, 1},    // no resolution: 72 dpi
        {3, 0, 2, 4},
    };
    for (const Row &r : rows) {
        doc_rotate(doc, r.turns);
        ASSERT_EQ(0, doc_page_size(doc, r.page, &w, &h, &rot));
        EXPECT_FLOAT_EQ(r.w, w);
        EXPECT_FLOAT_EQ(r.h, h);
        EXPECT_EQ(0, rot);
    }
    doc_rotate(doc, 1);  // a quarter turn: 4 x 2 points
    PageBitmap *band = nullptr;
    ASSERT_EQ(0, doc_render_page(doc, 0, 2.0f, 1, 2, &band));
    ASSERT_NE(nullptr, band);
    EXPECT_EQ(8, band->width);
    EXPECT_EQ(2, band->height);
    bitmap_free(band);
    ASSERT_EQ(0, doc_render_page(doc, 0, 1.0f, 0, 0, &band));  // the whole page
    EXPECT_EQ(4, band->width);
    EXPECT_EQ(2, band->height);
    bitmap_free(band);
    EXPECT_EQ(-1, doc_page_size(doc, 2, &w, &h, &rot));  // no such page
    doc_close(doc);

    // A DCX document opens through the same layer, a broken one does not.
    const std::string page = pcx_header(3, 2, 8, 1, 4) + pcx_literal(std::string(8, '\x20'));
    ASSERT_EQ(0, doc_open(&doc, file_with("fax.dcx", le32(987654321) + le32(200) + le32(0) + std::string(188, '\0') + page).c_str(), nullptr));
    EXPECT_EQ(DOC_DCX, doc->kind);
    ASSERT_EQ(0, doc_page_size(doc, 0, &w, &h, &rot));
    EXPECT_FLOAT_EQ(3 * 72.0f / 200, w);
    EXPECT_FLOAT_EQ(2 * 72.0f / 100, h);
    doc_close(doc);
    EXPECT_EQ(-1, doc_open(&doc, file_with("bad.dcx", le32(987654321) + le32(0)).c_str(), nullptr));
    EXPECT_EQ(nullptr, doc);
}

}  // namespace

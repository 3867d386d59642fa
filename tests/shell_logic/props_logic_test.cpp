// The texts of the document properties dialog: dates, file sizes, page sizes
// and the encryption method; and the extension lists of the document types.
#include <gtest/gtest.h>

#include <string>

#include "pdf/doc_info.h"
#include "shell/logic/props_logic.h"

TEST(PropsText, Dates)
{
    struct Row {
        const char *raw, *shown;
    } rows[] = {
        {"D:19990305", "1999-03-05"},                     // date only
        {"D:1999030514", "1999-03-05 14:00"},             // hour without minutes
        {"D:199903051407", "1999-03-05 14:07:00"},        // minutes, no seconds
        {"D:1999030514073", "1999-03-05 14:07:30"},       // one second digit
        {"D:20120106110932-08'00'", "2012-01-06 11:09:32"},  // zone not shown
        {"D:20261207060640Z'", "2026-12-07 06:06:40"},    // a stray quote after Z
        {"20010203", "2001-02-03"},                       // no "D:"
        {"D:20000229", "2000-02-29"},                     // leap day
        {"D:1999", "D:1999"},                             // missing month: as given
        {"D:19991305", "D:19991305"},                     // month 13
        {"D:19990230", "D:19990230"},                     // 30 February
        {"D:19000229", "D:19000229"},                     // 1900 had no leap day
        {"D:1999030525", "D:1999030525"},                 // hour 25
        {"D:199903051460", "D:199903051460"},             // minute 60
        {"D:1999030514078", "D:1999030514078"},           // 80 seconds
        {"Montag, 5. März", "Montag, 5. März"},           // free text
        {"", ""},
    };
    for (const Row &r : rows) {
        char out[64];
        props_date_text(r.raw, out, sizeof out);
        EXPECT_STREQ(out, r.shown) << r.raw;
    }
    char small[8];
    props_date_text("D:19990305", small, sizeof small);
    EXPECT_STREQ(small, "1999-03");  // cut to the field
}

TEST(PropsText, FileSizes)
{
    struct Row {
        int64_t size;
        const char *shown;
    } rows[] = {
        {-1, "-"},                      // not readable
        {0, "0 Bytes"},
        {1023, "1023 Bytes"},
        {1024, "1.0 KB"},
        {1536, "1.5 KB"},
        {1047552 + 1023, "1023.9 KB"},  // tenths cut, not rounded up to 1024.0
        {1572864, "1.5 MB"},
        {int64_t(5) << 30, "5120.0 MB"},  // above 4 GB
    };
    for (const Row &r : rows) {
        char out[32];
        props_file_size_text(r.size, "%ld Bytes", out, sizeof out);
        EXPECT_STREQ(out, r.shown) << r.size;
    }
}

TEST(PropsText, PageSizesAndMethods)
{
    struct Row {
        float w, h;
        const char *shown;
    } rows[] = {
        {595.276f, 841.89f, "8,2 x 11,6 Zoll"},  // A4: tenths cut
        {612, 792, "8,5 x 11,0 Zoll"},           // Letter
        {0, 792, "-"},
        {612, 0.2f, "-"},                        // rounds to 0
    };
    for (const Row &r : rows) {
        char out[32];
        props_page_size_text(r.w, r.h, "%d,%d x %d,%d Zoll", out, sizeof out);
        EXPECT_STREQ(out, r.shown) << r.w << " x " << r.h;
    }
    struct Method {
        int cipher, bits;
        const char *shown;
    } methods[] = {
        {PDF_CIPHER_NONE, 0, "None"},
        {PDF_CIPHER_RC4, 40, "RC4 40-bit"},
        {PDF_CIPHER_RC4, 56, "RC4 56-bit"},   // not every longer key is 128 bits
        {PDF_CIPHER_RC4, 128, "RC4 128-bit"},
        {PDF_CIPHER_AES, 128, "AES 128-bit"},
        {PDF_CIPHER_AES, 256, "AES 256-bit"},
    };
    for (const Method &m : methods) {
        char out[32];
        props_method_text(m.cipher, m.bits, out, sizeof out);
        EXPECT_STREQ(out, m.shown);
    }
}

TEST(AssocTypes, ExtensionLists)
{
    std::string all;
    for (const AssocType &t : ASSOC_TYPES) {
        char ext[16];
        for (int i = 0; assoc_extension(t.extensions, i, ext, sizeof ext); i++)
            all += std::string(ext) + " ";
    }
    EXPECT_EQ(all, ".pdf .tif .tiff .dcx .txt .asc .nfo .log .rtf .eps .epsf .epsi ");
    char ext[4];
    EXPECT_TRUE(assoc_extension(".epsf", 0, ext, sizeof ext));
    EXPECT_STREQ(ext, ".ep");  // cut to the buffer, still terminated
    EXPECT_FALSE(assoc_extension("", 0, ext, sizeof ext));
}

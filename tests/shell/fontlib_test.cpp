// pagrix.dll as the program sees it: every base font is an RCDATA resource
// holding a complete PFB file that FreeType can open from memory.
#include <gtest/gtest.h>
#include <windows.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstring>
#include <string>

namespace {

struct Font {
    const char *resource;
    const char *family;  // FreeType's family name of the face
} const kFonts[] = {
    {"N019003L", "Nimbus Sans"},      {"N019004L", "Nimbus Sans"},
    {"N019023L", "Nimbus Sans"},      {"N019024L", "Nimbus Sans"},
    {"N021003L", "Nimbus Roman"},     {"N021004L", "Nimbus Roman"},
    {"N021023L", "Nimbus Roman"},     {"N021024L", "Nimbus Roman"},
    {"N022003L", "Nimbus Mono PS"},   {"N022004L", "Nimbus Mono PS"},
    {"N022023L", "Nimbus Mono PS"},   {"N022024L", "Nimbus Mono PS"},
    {"S050000L", "Standard Symbols PS"}, {"D050000L", "D050000L"},
    {"A010013L", "URW Gothic"},       {"A010015L", "URW Gothic"},
    {"A010033L", "URW Gothic"},       {"A010035L", "URW Gothic"},
    {"B018012L", "URW Bookman"},      {"B018015L", "URW Bookman"},
    {"B018032L", "URW Bookman"},      {"B018035L", "URW Bookman"},
    {"C059013L", "C059"},             {"C059016L", "C059"},
    {"C059033L", "C059"},             {"C059036L", "C059"},
    {"N019043L", "Nimbus Sans Narrow"}, {"N019044L", "Nimbus Sans Narrow"},
    {"N019063L", "Nimbus Sans Narrow"}, {"N019064L", "Nimbus Sans Narrow"},
    {"P052003L", "P052"},             {"P052004L", "P052"},
    {"P052023L", "P052"},             {"P052024L", "P052"},
    {"Z003034L", "Z003"},
};

uint32_t le32(const uint8_t *p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }

TEST(FontLibrary, HoldsThe35BaseFontsAsPfb)
{
    const std::string path = std::string(PAGRIX_BINARY_DIR) + "/pagrix.dll";
    HMODULE lib = LoadLibraryA(path.c_str());
    ASSERT_NE(lib, nullptr) << path;
    FT_Library ft;
    ASSERT_EQ(FT_Init_FreeType(&ft), 0);
    ASSERT_EQ(sizeof kFonts / sizeof kFonts[0], 35u);
    for (const Font &f : kFonts) {
        // The lookup ignores case, as the program asks for "n021003l".
        std::string lower = f.resource;
        for (char &c : lower)
            c = char(tolower(c));
        HRSRC res = FindResourceA(lib, lower.c_str(), MAKEINTRESOURCEA(10));
        ASSERT_NE(res, nullptr) << f.resource;
        const DWORD size = SizeofResource(lib, res);
        const auto *data = static_cast<const uint8_t *>(LockResource(LoadResource(lib, res)));
        ASSERT_NE(data, nullptr);
        ASSERT_GT(size, 1000u);

        // Four segments: ASCII, binary, ASCII, end; lengths add up to the size.
        const int kinds[] = {1, 2, 1};
        DWORD at = 0;
        for (int kind : kinds) {
            ASSERT_LE(at + 6, size) << f.resource;
            EXPECT_EQ(data[at], 0x80);
            EXPECT_EQ(data[at + 1], kind) << f.resource;
            at += 6 + le32(data + at + 2);
        }
        ASSERT_EQ(at + 2, size) << f.resource;
        EXPECT_EQ(data[at], 0x80);
        EXPECT_EQ(data[at + 1], 3);
        EXPECT_EQ(0, std::memcmp(data + 6, "%!PS-AdobeFont-1.0: ", 20)) << f.resource;

        FT_Face face = nullptr;
        ASSERT_EQ(FT_New_Memory_Face(ft, data, FT_Long(size), 0, &face), 0) << f.resource;
        EXPECT_STREQ(face->family_name, f.family) << f.resource;
        EXPECT_GT(face->num_glyphs, 100) << f.resource;
        FT_Done_Face(face);
    }
    EXPECT_EQ(FindResourceA(lib, "NOSUCHFONT", MAKEINTRESOURCEA(10)), nullptr);
    FT_Done_FreeType(ft);
    FreeLibrary(lib);
}

}  // namespace

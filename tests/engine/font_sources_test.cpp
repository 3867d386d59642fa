// The font sources: the fonts directory chosen from PAGRIX_FONTS, the order
// in which a base font is looked for, and (natively) font packs as fallback
// faces. Each test leaves the process-wide state as it found it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "font_support.h"
#include "fonts/font_state.h"
#include "test_support.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace {

void set_env(const char *name, const char *value)
{
#ifdef _WIN32
    _putenv_s(name, value ? value : "");
#else
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
#endif
}

void make_dir(const std::string &path)
{
#ifdef _WIN32
    CreateDirectoryA(path.c_str(), nullptr);
#else
    mkdir(path.c_str(), 0755);
#endif
}

// Back to the tests' usual sources: the base fonts, no directories.
struct RestoreSources {
    ~RestoreSources()
    {
        set_env("PAGRIX_FONTS", nullptr);
        font_state_reset();
        testsupport::install_base_fonts();
    }
};

// The family of the face a base-font request gives, or "<none>".
std::string family_of(const char *file)
{
    FT_Face face = font_open_base(file);
    if (!face)
        return "<none>";
    std::string family = face->family_name ? face->family_name : "?";
    ft_face_release(face);
    return family;
}

const uint8_t *g_fake_bytes;
size_t g_fake_size;
bool fake_resolver(const char *name, const uint8_t **data, size_t *size)
{
    if (std::strcmp(name, "n019003l.pfb") != 0)
        return false;
    *data = g_fake_bytes;
    *size = g_fake_size;
    return true;
}

TEST(FontSources, FontsDirectoryFromTheEnvironment)
{
    RestoreSources restore;
    struct Row {
        std::string value;  // "" = unset
        bool taken;
    } const rows[] = {
        {"some/where", true},
        {std::string(275, 'd'), true},   // the longest value taken
        {std::string(276, 'd'), false},  // too long: probing as without
        {"", false},
    };
    for (const Row &r : rows) {
        set_env("PAGRIX_FONTS", r.value.empty() ? nullptr : r.value.c_str());
        font_dir_init();
        if (r.taken)
            EXPECT_EQ(font_fonts_dir(), r.value) << r.value.size();
        else  // the test program has no fonts folder beside it
            EXPECT_STREQ(font_fonts_dir(), "fonts") << r.value.size();
    }
}

TEST(FontSources, BaseFontsComeFromResolverThenFontsDirThenSystemDir)
{
    RestoreSources restore;
    const std::string symbol = testsupport::base_font_bytes("s050000l.pfb");
    const std::string dingbats = testsupport::base_font_bytes("d050000l.pfb");
    const std::string palladio = testsupport::base_font_bytes("p052003l.pfb");
    const std::string chancery = testsupport::base_font_bytes("z003034l.pfb");
    ASSERT_FALSE(symbol.empty() || dingbats.empty() || palladio.empty() || chancery.empty());
    const std::string fonts = testsupport::scratch_path("fonts_dir");
    const std::string system = testsupport::scratch_path("system_dir");
    make_dir(fonts);
    make_dir(system);
    // Each source holds other fonts under base-font names, so the face tells
    // which source answered.
    testsupport::write_file(fonts + "/n019003l.pfb", palladio);
    testsupport::write_file(fonts + "/n019004l.pfb", dingbats);
    testsupport::write_file(system + "/n019004l.pfb", chancery);
    testsupport::write_file(system + "/n019023l.pfb", chancery);
    testsupport::write_file(system + "/n019024l.pfb", "not a font");
    font_state_reset();
    g_fake_bytes = reinterpret_cast<const uint8_t *>(symbol.data());
    g_fake_size = symbol.size();
    font_set_resolver(fake_resolver);
    set_env("PAGRIX_FONTS", fonts.c_str());
    font_dir_init();
    font_set_system_dir(system.c_str());
    struct Row {
        const char *file;
        const char *family;
    } const rows[] = {
        {"n019003l.pfb", "Standard Symbols PS"},  // the resolver first
        {"n019004l.pfb", "D050000L"},             // then the fonts directory
        {"n019023l.pfb", "Z003"},                 // then the system directory
        {"n019024l.pfb", "<none>"},               // a file FreeType rejects
        {"n021003l.pfb", "<none>"},               // nowhere
    };
    for (const Row &r : rows)
        EXPECT_EQ(family_of(r.file), r.family) << r.file;
    // An empty system directory is not searched.
    font_set_system_dir("");
    EXPECT_EQ(family_of("n019023l.pfb"), "<none>");
}

#ifndef _WIN32
// Without resource libraries a font pack is one font file named *.pgx.
TEST(FontSources, FontPacksGiveAtMostEightFallbackFaces)
{
    RestoreSources restore;
    const std::string packs = testsupport::scratch_path("packs");
    const std::string more = testsupport::scratch_path("more_packs");
    make_dir(packs);
    make_dir(more);
    make_dir(packs + "/folder.pgx");
    testsupport::write_file(packs + "/broken.pgx", "not a font");
    testsupport::write_file(packs + "/roman.txt", testsupport::base_font_bytes("n021003l.pfb"));
    testsupport::write_file(packs + "/symbol.pgx", testsupport::base_font_bytes("s050000l.pfb"));
    for (int i = 0; i < 9; i++)
        testsupport::write_file(more + "/pack" + std::to_string(i) + ".pgx",
                                testsupport::base_font_bytes("n021003l.pfb"));
    font_state_reset();
    FT_Face face = nullptr;
    uint32_t glyph = 0;
    // Only the readable *.pgx file counts.
    EXPECT_EQ(font_packs_scan_dir(packs.c_str()), 1);
    ASSERT_TRUE(fallback_glyph(0x03B1, &face, &glyph));  // alpha
    EXPECT_STREQ(face->family_name, "Standard Symbols PS");
    EXPECT_NE(glyph, 0u);
    EXPECT_FALSE(fallback_glyph(0xE9, &face, &glyph));
    // Seven more fill the eight places; the ninth file is ignored.
    EXPECT_EQ(font_packs_scan_dir(more.c_str()), 7);
    EXPECT_EQ(font_packs_scan_dir(more.c_str()), 0);
    ASSERT_TRUE(fallback_glyph(0xE9, &face, &glyph));
    EXPECT_STREQ(face->family_name, "Nimbus Roman");
    // Load order: the symbol face, loaded first, still answers alpha.
    ASSERT_TRUE(fallback_glyph(0x03B1, &face, &glyph));
    EXPECT_STREQ(face->family_name, "Standard Symbols PS");
    EXPECT_FALSE(fallback_glyph(0x4E00, &face, &glyph));
    font_state_reset();
    EXPECT_FALSE(fallback_glyph('A', &face, &glyph));
    EXPECT_EQ(font_packs_scan_dir(""), 0);
    EXPECT_EQ(font_packs_scan_dir(std::string(253, 'p').c_str()), 0);
}
#endif

}  // namespace

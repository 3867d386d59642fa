// The font library as the program loads it: only from the folder named (the
// program's own), as a resource file whose code never runs, with the
// resolver's case and length rules, against the real pagrix.dll and a
// planted library with an entry point.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "fonts/font_library.h"
#include "fonts/font_state.h"
#include "test_support.h"

namespace {

std::string find(const char *name)
{
    const uint8_t *data = nullptr;
    size_t size = 0;
    if (!font_library_find(name, &data, &size))
        return "<none>";
    return std::string(reinterpret_cast<const char *>(data), size);
}

bool planted_code_ran()
{
    char v[8];
    return GetEnvironmentVariableA("PAGRIX_PLANTED_RAN", v, sizeof v) > 0;
}

// Puts the real library back for the other tests.
struct RestoreLibrary {
    ~RestoreLibrary()
    {
        font_library_reset();
        font_library_load(PAGRIX_BINARY_DIR);
    }
};

TEST(FontLibraryResolver, CaseAndLengthRulesOnTheRealLibrary)
{
    RestoreLibrary restore;
    font_library_reset();
    ASSERT_TRUE(font_library_load(PAGRIX_BINARY_DIR));
    const std::string roman = find("n021003l.pfb");
    ASSERT_GT(roman.size(), 1000u);
    EXPECT_EQ(roman.compare(0, 2, "\x80\x01"), 0);
    struct Row {
        const char *name;
        bool is_roman;  // else: not found
    } const rows[] = {
        {"N021003L.PFB", true},
        {"n021003l", true},            // no ".": the whole name
        {"N021003l.afm", true},        // only the base name counts
        {"n021003l.pfb.bak", true},    // cut at the first "."
        {"n021003", false},
        {"n021003l_", false},
        {".pfb", false},
        {"", false},
    };
    for (const Row &r : rows)
        EXPECT_EQ(find(r.name) == roman, r.is_roman) << r.name;
    EXPECT_EQ(find(std::string(300, 'n').c_str()), "<none>");
    // The program's way to the face: the resolver's bytes, not copied.
    FT_Face face = font_open_base("n021003l.pfb");
    ASSERT_NE(face, nullptr);
    EXPECT_STREQ(face->family_name, "Nimbus Roman");
    ft_face_release(face);
}

TEST(FontLibraryResolver, PlantedLibraryIsNeverRun)
{
    RestoreLibrary restore;
    const std::string cwd = testsupport::scratch_path("planted_cwd");
    const std::string program = testsupport::scratch_path("program_dir");
    CreateDirectoryA(cwd.c_str(), nullptr);
    CreateDirectoryA(program.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(PAGRIX_PLANTED_DLL, (cwd + "\\pagrix.dll").c_str(), FALSE));
    char old_cwd[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, old_cwd);
    ASSERT_TRUE(SetCurrentDirectoryA(cwd.c_str()));
    SetEnvironmentVariableA("PAGRIX_PLANTED_RAN", nullptr);

    // Not beside the program: the library in the current folder is not taken.
    font_library_reset();
    EXPECT_FALSE(font_library_load(program.c_str()));
    EXPECT_FALSE(planted_code_ran());
    EXPECT_EQ(GetModuleHandleA("pagrix.dll"), nullptr);
    EXPECT_EQ(find("n021003l.pfb"), "<none>");

    // Beside the program it is mapped for its resources only: its entry never runs.
    EXPECT_TRUE(font_library_load(cwd.c_str()));
    EXPECT_FALSE(planted_code_ran());
    EXPECT_EQ(find("n021003l.pfb"), std::string("planted", 7));
    // 63 characters are kept before the lookup: a longer name finds the
    // resource named by its first 63, a shorter one does not.
    const std::string name63 = "ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJK";
    ASSERT_EQ(name63.size(), 63u);
    EXPECT_EQ(find((name63 + "LMNOP.pfb").c_str()), std::string("long name", 9));
    EXPECT_EQ(find(name63.substr(0, 62).c_str()), "<none>");
    EXPECT_EQ(find("abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyzabcdefghijk"),
              std::string("long name", 9));
    SetCurrentDirectoryA(old_cwd);

    // The mark works: loaded as code, the planted library's entry leaves it.
    HMODULE as_code = LoadLibraryA(PAGRIX_PLANTED_DLL);
    ASSERT_NE(as_code, nullptr);
    EXPECT_TRUE(planted_code_ran());
    FreeLibrary(as_code);
    SetEnvironmentVariableA("PAGRIX_PLANTED_RAN", nullptr);
}

}  // namespace

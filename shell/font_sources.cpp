// The program's font sources, prepared once at start-up before the first
// document opens: the fonts directory, the font library beside the program,
// the system directory and the font packs.
#include <windows.h>

#include "fonts/font_library.h"
#include "fonts/font_state.h"
#include "shell/features.h"
#include "shell/settings.h"

void fonts_prepare(HINSTANCE)
{
    font_dir_init();
    font_library_load(nullptr);
    char system_dir[MAX_PATH + 1];
    UINT n = GetSystemDirectoryA(system_dir, MAX_PATH);
    if (n > 0 && n < MAX_PATH)
        font_set_system_dir(system_dir);
    font_packs_scan();
    font_set_subst_mode(settings_get("SubstFonts"));
}

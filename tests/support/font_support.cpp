#include "font_support.h"

#include <cstdint>

#include "fonts/font_state.h"
#ifdef _WIN32
#include "fonts/font_library.h"
#else
#include "fontlib/fontdata.h"
#endif

namespace testsupport {

bool install_base_fonts()
{
#ifdef _WIN32
    return font_library_load(PAGRIX_BINARY_DIR);
#else
    font_set_resolver(fontdata_find);
    return true;
#endif
}

std::string base_font_bytes(const char *file_name)
{
    const uint8_t *data = nullptr;
    size_t size = 0;
#ifdef _WIN32
    if (!font_library_load(PAGRIX_BINARY_DIR) || !font_library_find(file_name, &data, &size))
        return "";
#else
    if (!fontdata_find(file_name, &data, &size))
        return "";
#endif
    return std::string(reinterpret_cast<const char *>(data), size);
}

}  // namespace testsupport

// libFuzzer target: a plain text file in any of the eleven encodings, laid
// out, rendered (first and last page) and extracted as page text.
#include <cstdlib>

#include "fonts/font_state.h"
#include "fuzz/fuzz_document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // PAGRIX_FONTS names the base fonts; without them pages stay white.
    static const bool fonts = (font_dir_init(), true);
    (void)fonts;
    fuzzdoc::run_text(data, size);
    return 0;
}

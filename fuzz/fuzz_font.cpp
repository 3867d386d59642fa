// libFuzzer target: an embedded font program (Type 1, TrueType or CFF) and a glyph loop over codes from the input.
#include "fuzz/fuzz_document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzdoc::run_font(data, size);
    return 0;
}

// libFuzzer target: an RTF file, parsed, laid out, a page drawn and every
// page's text taken.
#include "fuzz/fuzz_document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzdoc::run_rtf(data, size);
    return 0;
}

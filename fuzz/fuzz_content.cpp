// libFuzzer target: a content stream alone, run against a fixed resource dictionary.
#include "fuzz/fuzz_document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzdoc::run_content(data, size);
    return 0;
}

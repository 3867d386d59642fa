// libFuzzer target: a whole file from memory through the document layer (any kind the content names), with and without a password.
#include "fuzz/fuzz_document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzdoc::run_document(data, size);
    return 0;
}

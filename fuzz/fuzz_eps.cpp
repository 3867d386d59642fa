// libFuzzer target: an EPS file (binary header with TIFF preview, EPSI, or neither).
#include "fuzz/fuzz_document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzdoc::run_eps(data, size);
    return 0;
}

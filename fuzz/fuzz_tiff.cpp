// libFuzzer target: the tiff decoder on arbitrary input (a whole TIFF file).
#include "fuzz/fuzz_decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzdec::decode("tiff", data, size);
    return 0;
}

// libFuzzer target: the jpx decoder on arbitrary input (parameters from the first bytes).
#include "fuzz/fuzz_decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzdec::decode("jpx", data, size);
    return 0;
}

// libFuzzer target: the pcx decoder on arbitrary input (one PCX page).
#include "fuzz/fuzz_decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzdec::decode("pcx", data, size);
    return 0;
}

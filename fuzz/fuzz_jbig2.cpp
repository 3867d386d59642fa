// libFuzzer target: the jbig2 decoder on arbitrary input (parameters from the first bytes).
#include "fuzz/fuzz_decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzdec::decode("jbig2", data, size);
    return 0;
}

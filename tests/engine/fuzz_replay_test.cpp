// Replays the kept fuzzing inputs (tests/data/fuzz/<decoder>/, among them every input
// that once crashed) through the same code as the fuzz targets: each must decode
// without a crash or sanitizer report; the decoded length does not matter.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/fuzz_decoders.h"
#include "test_support.h"

namespace fs = std::filesystem;

TEST(FuzzReplay, KeptInputsDecodeWithoutCrashing)
{
    const fs::path root = fs::path(PAGRIX_SOURCE_DIR) / "tests" / "data" / "fuzz";
    std::error_code ec;
    if (!fs::is_directory(root, ec))
        GTEST_SKIP() << "no fuzz inputs at " << root.string();
    const char *decoders[] = {"flate", "lzw", "ascii85", "asciihex", "runlength", "ccitt", "dct", "predictor",
                              "jpx", "jbig2", "tiff", "pcx"};
    int replayed = 0;
    for (const char *decoder : decoders) {
        std::vector<fs::path> files;
        for (const auto &e : fs::directory_iterator(root / decoder, ec))
            if (e.is_regular_file())
                files.push_back(e.path());
        std::sort(files.begin(), files.end());
        for (const fs::path &f : files) {
            SCOPED_TRACE(f.string());
            std::string bytes = testsupport::read_file(f.string());
            long n = fuzzdec::decode(decoder, reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
            EXPECT_GE(n, 0);
            replayed++;
        }
    }
    RecordProperty("replayed", replayed);
}

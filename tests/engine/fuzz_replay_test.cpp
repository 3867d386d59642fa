// Replays the kept fuzzing inputs (tests/data/fuzz/<decoder>/, among them every input
// that once crashed) through the same code as the fuzz targets: each must decode
// without a crash or sanitizer report; the decoded length does not matter.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/fuzz_decoders.h"
#if !defined(_WIN32)
#include "fuzz/fuzz_document.h"
#endif
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

#if !defined(_WIN32)
// The document-level targets' kept inputs (whole files, content streams, font
// programs, EPS files, text files); these open through an in-memory file, so Linux only.
TEST(FuzzReplay, KeptDocumentInputs_NoCrash)
{
    const fs::path root = fs::path(PAGRIX_SOURCE_DIR) / "tests" / "data" / "fuzz";
    const struct {
        const char *folder;
        int (*run)(const uint8_t *, size_t);
    } targets[] = {
        {"document", fuzzdoc::run_document},
        {"content", fuzzdoc::run_content},
        {"font", fuzzdoc::run_font},
        {"eps", fuzzdoc::run_eps},
        {"rtf", fuzzdoc::run_rtf},
        {"text", fuzzdoc::run_text},
    };
    int replayed = 0;
    std::error_code ec;
    for (const auto &t : targets) {
        std::vector<fs::path> files;
        for (const auto &e : fs::directory_iterator(root / t.folder, ec))
            if (e.is_regular_file())
                files.push_back(e.path());
        std::sort(files.begin(), files.end());
        for (const fs::path &f : files) {
            SCOPED_TRACE(f.string());
            std::string bytes = testsupport::read_file(f.string());
            t.run(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
            replayed++;
        }
    }
    RecordProperty("replayed", replayed);
}
#endif

// Helpers shared by the tests: scratch files, the shared corpus, and small
// documents written as readable text.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct ByteReader;

namespace testsupport {

// A fresh scratch directory for this test process (created on first use).
std::string scratch_dir();
// scratch_dir() + "/" + name.
std::string scratch_path(const std::string &name);
// The shared real-world corpus, or "" when it is absent (a user's checkout).
std::string corpus_dir();
// Every file of one corpus subfolder (sorted); empty when absent.
std::vector<std::string> corpus_files(const std::string &subdir, const std::string &extension);

// One password of a pdf_ref.tsv field such as "user=hôtel(latin-1) owner=âge"
// (`who` is "user" or "owner"), in the file's own single-byte encoding;
// `known` is false for "?" or a missing entry.
std::string corpus_password(const std::string &field, const std::string &who, bool *known);

bool write_file(const std::string &path, const std::string &bytes);
std::string read_file(const std::string &path);

// Bytes from hex text ("0a1B..."); an odd last digit is dropped.
std::vector<uint8_t> hex_decode(const std::string &text);
// Lower-case hex text of `n` bytes.
std::string hex_encode(const uint8_t *p, size_t n);

// The rest of a reader's bytes; closes the whole chain. "<null>" for a null reader.
std::string read_and_close(ByteReader *r);

}  // namespace testsupport

// Skips the current test when the shared corpus is not there.
#define SKIP_WITHOUT_CORPUS()                                              \
    do {                                                                   \
        if (testsupport::corpus_dir().empty())                             \
            GTEST_SKIP() << "shared corpus not present";                   \
    } while (0)

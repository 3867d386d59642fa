// Small TIFF files written field by field for the tests: either byte order,
// classic or BigTIFF, any number of directories, data blocks placed before the
// directories so that their offsets are known when the tags are written.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

enum TiffType { T_BYTE = 1, T_ASCII = 2, T_SHORT = 3, T_LONG = 4, T_RATIONAL = 5, T_UNDEFINED = 7, T_LONG8 = 16 };

class TiffBuilder {
public:
    explicit TiffBuilder(bool little = true, bool big = false);
    // Appends a data block after the header; returns its offset.
    uint64_t data(const std::string &bytes);
    // A tag of the current directory. RATIONAL values come in pairs.
    TiffBuilder &tag(int tag, TiffType type, std::vector<uint64_t> values);
    TiffBuilder &tag_bytes(int tag, TiffType type, const std::string &bytes);
    // A tag whose values are said to lie at `offset` (for hostile files).
    TiffBuilder &tag_at(int tag, TiffType type, uint64_t count, uint64_t offset);
    // Starts the next directory.
    TiffBuilder &next();
    // The file; `next_of_last`, when not 0, is the last directory's next offset.
    std::string finish(uint64_t next_of_last = 0);
    // Offset the i-th directory will get (valid after finish).
    std::vector<uint64_t> ifd_offsets;

private:
    struct Tag {
        int tag;
        int type;
        uint64_t count;
        std::string bytes;     // values in file order
        bool at_given;
        uint64_t at;
    };
    std::string num(uint64_t v, int size) const;
    bool little_, big_;
    std::string body_;
    std::vector<std::vector<Tag>> ifds_;
};

// A simple gray or RGB image file: one strip per `rows_per_strip` rows
// (0: one strip), samples given top-down in chunky order.
std::string tiff_simple(int width, int height, int bits, int samples, int photometric,
                        const std::string &samples_bytes, bool little = true, int rows_per_strip = 0);

}  // namespace testsupport

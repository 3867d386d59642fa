// Small PDF files for tests, written as readable text: the builder records
// object offsets, fills in stream lengths and writes cross-reference tables,
// cross-reference streams and object streams from what was added.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

class PdfBuilder {
public:
    explicit PdfBuilder(const std::string &header = "%PDF-1.4\n") : data_(header) {}

    // Appends bytes as they are.
    PdfBuilder &raw(const std::string &text);
    // "num gen obj\n<body>\nendobj\n", recorded for the next section.
    PdfBuilder &obj(int num, const std::string &body, int gen = 0);
    // A stream object: "<< dict /Length n >>" with the data's real length.
    // `dict` holds the entries without the brackets.
    PdfBuilder &stream(int num, const std::string &dict, const std::string &data, int gen = 0);
    // An object stream (Flate-compressed unless `compress` is false) holding
    // the given objects; they are recorded as compressed entries.
    PdfBuilder &objstm(int num, const std::vector<std::pair<int, std::string>> &objects,
                       bool compress = true);
    // Records object `num` as compressed (item `index` of object stream
    // `stream_num`) for the next cross-reference stream, for object streams
    // written by hand with stream().
    PdfBuilder &compressed(int num, int stream_num, int index);

    // A classic section for the objects recorded since the last section
    // (entry 0 as free when it is the first); returns the offset of "xref".
    // `trailer` holds the trailer entries without the brackets.
    int64_t xref_section(const std::string &trailer);
    // A cross-reference stream object `num` (W [1 4 2], Flate) for the
    // recorded objects and itself; `dict` adds entries (Root, Prev...).
    int64_t xref_stream(int num, const std::string &dict, bool compress = true);
    // "startxref\n<offset>\n%%EOF\n".
    PdfBuilder &startxref(int64_t offset);

    int64_t offset_of(int num) const;
    int64_t size() const { return int64_t(data_.size()); }
    const std::string &str() const { return data_; }
    bool write(const std::string &path) const;

private:
    struct Entry {
        int type;  // 1 offset, 2 compressed
        int64_t a;  // offset or stream number
        int b;      // generation or index
    };
    std::string data_;
    std::map<int, Entry> pending_;
    std::map<int, int64_t> offsets_;
    bool first_section_ = true;
};

// A PDF hex string "<0A1B...>" of the bytes.
std::string pdf_hex_string(const std::string &bytes);

// zlib-compressed bytes (for Flate streams).
std::string deflate_bytes(const std::string &data);

// A minimal valid document (catalogue, page tree with `pages` pages of the
// given MediaBox, classic table) as text.
std::string simple_pdf(int pages = 1, const std::string &media_box = "[0 0 612 792]");

}  // namespace testsupport

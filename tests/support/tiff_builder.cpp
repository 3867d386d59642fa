#include "tiff_builder.h"

#include <algorithm>

namespace testsupport {

namespace {
int type_size(int t)
{
    switch (t) {
    case T_SHORT: return 2;
    case T_LONG: return 4;
    case T_RATIONAL: case T_LONG8: return 8;
    default: return 1;
    }
}
}  // namespace

TiffBuilder::TiffBuilder(bool little, bool big) : little_(little), big_(big), ifds_(1)
{
    body_ = little ? "II" : "MM";
    body_ += num(big ? 43 : 42, 2);
    if (big)
        body_ += num(8, 2) + num(0, 2) + num(0, 8);
    else
        body_ += num(0, 4);
}

std::string TiffBuilder::num(uint64_t v, int size) const
{
    std::string s(size_t(size), '\0');
    for (int i = 0; i < size; i++)
        s[size_t(little_ ? i : size - 1 - i)] = char((v >> (8 * i)) & 0xFF);
    return s;
}

uint64_t TiffBuilder::data(const std::string &bytes)
{
    uint64_t at = body_.size();
    body_ += bytes;
    if (body_.size() & 1)
        body_ += '\0';
    return at;
}

TiffBuilder &TiffBuilder::tag(int tag, TiffType type, std::vector<uint64_t> values)
{
    Tag t{tag, type, type == T_RATIONAL ? values.size() / 2 : values.size(), "", false, 0};
    const int size = type == T_RATIONAL ? 4 : type_size(type);
    for (uint64_t v : values)
        t.bytes += num(v, size);
    ifds_.back().push_back(t);
    return *this;
}

TiffBuilder &TiffBuilder::tag_bytes(int tag, TiffType type, const std::string &bytes)
{
    ifds_.back().push_back(Tag{tag, type, bytes.size(), bytes, false, 0});
    return *this;
}

TiffBuilder &TiffBuilder::tag_at(int tag, TiffType type, uint64_t count, uint64_t offset)
{
    ifds_.back().push_back(Tag{tag, type, count, "", true, offset});
    return *this;
}

TiffBuilder &TiffBuilder::next()
{
    ifds_.emplace_back();
    return *this;
}

std::string TiffBuilder::finish(uint64_t next_of_last)
{
    const int cs = big_ ? 8 : 2, es = big_ ? 20 : 12, os = big_ ? 8 : 4;
    std::string out = body_;
    ifd_offsets.clear();
    std::vector<size_t> next_fields;
    for (auto &tags : ifds_) {
        std::sort(tags.begin(), tags.end(), [](const Tag &a, const Tag &b) { return a.tag < b.tag; });
        if (out.size() & 1)
            out += '\0';
        const uint64_t at = out.size();
        ifd_offsets.push_back(at);
        // Out-of-line values go after the entry table and the next offset.
        uint64_t extra = at + uint64_t(cs) + tags.size() * uint64_t(es) + uint64_t(os);
        std::string table = num(tags.size(), cs), values;
        for (const Tag &t : tags) {
            table += num(uint64_t(t.tag), 2) + num(uint64_t(t.type), 2) + num(t.count, big_ ? 8 : 4);
            if (t.at_given) {
                table += num(t.at, os);
            } else if (t.bytes.size() <= size_t(os)) {
                table += t.bytes + std::string(size_t(os) - t.bytes.size(), '\0');
            } else {
                table += num(extra + values.size(), os);
                values += t.bytes;
                if (values.size() & 1)
                    values += '\0';
            }
        }
        out += table;
        next_fields.push_back(out.size());
        out += num(0, os) + values;
    }
    for (size_t i = 0; i < next_fields.size(); i++) {
        uint64_t next = i + 1 < next_fields.size() ? ifd_offsets[i + 1] : next_of_last;
        out.replace(next_fields[i], size_t(os), num(next, os));
    }
    out.replace(big_ ? 8 : 4, size_t(os), num(ifd_offsets[0], os));
    return out;
}

std::string tiff_simple(int width, int height, int bits, int samples, int photometric,
                        const std::string &samples_bytes, bool little, int rows_per_strip)
{
    TiffBuilder b(little);
    const size_t row = (size_t(width) * size_t(samples) * size_t(bits) + 7) / 8;
    const int rps = rows_per_strip > 0 ? rows_per_strip : height;
    std::vector<uint64_t> offsets, counts;
    for (int y = 0; y < height; y += rps) {
        size_t n = row * size_t(std::min(rps, height - y));
        offsets.push_back(b.data(samples_bytes.substr(row * size_t(y), n)));
        counts.push_back(n);
    }
    b.tag(256, T_LONG, {uint64_t(width)}).tag(257, T_LONG, {uint64_t(height)});
    b.tag(258, T_SHORT, std::vector<uint64_t>(size_t(samples), uint64_t(bits)));
    b.tag(262, T_SHORT, {uint64_t(photometric)}).tag(277, T_SHORT, {uint64_t(samples)});
    b.tag(273, T_LONG, offsets).tag(278, T_LONG, {uint64_t(rps)}).tag(279, T_LONG, counts);
    return b.finish();
}

}  // namespace testsupport

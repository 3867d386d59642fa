// Builder of small test PDFs: offsets, lengths and tables are computed from
// what the test wrote, so the document text stays readable in the test.
#include "pdf_builder.h"

#include <zlib.h>

#include <cstdio>
#include <fstream>

namespace testsupport {

PdfBuilder &PdfBuilder::raw(const std::string &text)
{
    data_ += text;
    return *this;
}

PdfBuilder &PdfBuilder::obj(int num, const std::string &body, int gen)
{
    offsets_[num] = size();
    pending_[num] = Entry{1, size(), gen};
    data_ += std::to_string(num) + " " + std::to_string(gen) + " obj\n" + body + "\nendobj\n";
    return *this;
}

PdfBuilder &PdfBuilder::stream(int num, const std::string &dict, const std::string &data, int gen)
{
    return obj(num, "<< " + dict + " /Length " + std::to_string(data.size()) + " >>\nstream\n" + data +
                        "\nendstream",
               gen);
}

PdfBuilder &PdfBuilder::objstm(int num, const std::vector<std::pair<int, std::string>> &objects,
                               bool compress)
{
    std::string head, body;
    for (const auto &[n, text] : objects) {
        head += std::to_string(n) + " " + std::to_string(body.size()) + " ";
        body += text + "\n";
    }
    std::string plain = head + body;
    std::string dict = "/Type /ObjStm /N " + std::to_string(objects.size()) + " /First " +
                       std::to_string(head.size());
    if (compress)
        stream(num, dict + " /Filter /FlateDecode", deflate_bytes(plain));
    else
        stream(num, dict, plain);
    int index = 0;
    for (const auto &o : objects)
        pending_[o.first] = Entry{2, num, index++};
    return *this;
}

PdfBuilder &PdfBuilder::compressed(int num, int stream_num, int index)
{
    pending_[num] = Entry{2, stream_num, index};
    return *this;
}

int64_t PdfBuilder::xref_section(const std::string &trailer)
{
    int64_t at = size();
    std::map<int, Entry> entries = pending_;
    if (first_section_)
        entries.emplace(0, Entry{0, 0, 65535});
    data_ += "xref\n";
    for (auto it = entries.begin(); it != entries.end();) {
        auto run_end = it;
        int count = 0;
        while (run_end != entries.end() && run_end->first == it->first + count) {
            ++run_end;
            ++count;
        }
        data_ += std::to_string(it->first) + " " + std::to_string(count) + "\n";
        for (; it != run_end; ++it) {
            char line[32];
            std::snprintf(line, sizeof line, "%010lld %05d %c \n", (long long)it->second.a, it->second.b,
                          it->second.type == 0 ? 'f' : 'n');
            data_ += line;
        }
    }
    data_ += "trailer\n<< " + trailer + " >>\n";
    pending_.clear();
    first_section_ = false;
    return at;
}

int64_t PdfBuilder::xref_stream(int num, const std::string &dict, bool compress)
{
    int64_t at = size();
    pending_[num] = Entry{1, at, 0};
    std::map<int, Entry> entries = pending_;
    if (first_section_)
        entries.emplace(0, Entry{0, 0, 65535});
    std::string rows, index;
    int size_value = 0;
    for (auto it = entries.begin(); it != entries.end();) {
        int start = it->first, count = 0;
        for (; it != entries.end() && it->first == start + count; ++it, ++count) {
            const Entry &e = it->second;
            rows += char(e.type);
            for (int s = 24; s >= 0; s -= 8)
                rows += char((e.a >> s) & 0xFF);
            rows += char((e.b >> 8) & 0xFF);
            rows += char(e.b & 0xFF);
        }
        index += std::to_string(start) + " " + std::to_string(count) + " ";
        size_value = start + count;
    }
    std::string d = "/Type /XRef /W [1 4 2] /Size " + std::to_string(size_value) + " /Index [" + index + "] " + dict;
    pending_.erase(num);
    if (compress)
        stream(num, d + " /Filter /FlateDecode", deflate_bytes(rows));
    else
        stream(num, d, rows);
    pending_.clear();
    first_section_ = false;
    return at;
}

PdfBuilder &PdfBuilder::startxref(int64_t offset)
{
    data_ += "startxref\n" + std::to_string(offset) + "\n%%EOF\n";
    return *this;
}

int64_t PdfBuilder::offset_of(int num) const
{
    auto it = offsets_.find(num);
    return it == offsets_.end() ? -1 : it->second;
}

bool PdfBuilder::write(const std::string &path) const
{
    std::ofstream f(path, std::ios::binary);
    f.write(data_.data(), std::streamsize(data_.size()));
    return bool(f);
}

std::string pdf_hex_string(const std::string &bytes)
{
    std::string s = "<";
    char two[3];
    for (unsigned char c : bytes) {
        std::snprintf(two, sizeof two, "%02X", c);
        s += two;
    }
    return s + ">";
}

std::string deflate_bytes(const std::string &data)
{
    uLongf cap = compressBound(uLong(data.size()));
    std::string out(cap, '\0');
    compress2(reinterpret_cast<Bytef *>(out.data()), &cap, reinterpret_cast<const Bytef *>(data.data()),
              uLong(data.size()), 6);
    out.resize(cap);
    return out;
}

std::string simple_pdf(int pages, const std::string &media_box)
{
    PdfBuilder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    std::string kids;
    for (int i = 0; i < pages; i++)
        kids += std::to_string(3 + i) + " 0 R ";
    b.obj(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) +
                 " /MediaBox " + media_box + " >>");
    for (int i = 0; i < pages; i++)
        b.obj(3 + i, "<< /Type /Page /Parent 2 0 R >>");
    int64_t x = b.xref_section("/Size " + std::to_string(3 + pages) + " /Root 1 0 R");
    b.startxref(x);
    return b.str();
}

}  // namespace testsupport

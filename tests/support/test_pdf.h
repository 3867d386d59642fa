// Small PDF files for tests, written as text: numbered objects (optionally
// with stream data), a classic cross-reference table whose offsets and the
// stream lengths are filled in here, and a trailer.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

namespace testsupport {

struct TestObject {
    std::string dict;    // the object's text, e.g. "<< /Type /Page >>"; for streams without Length
    std::string stream;  // stream data (any bytes) when is_stream
    bool is_stream = false;
};

inline TestObject test_stream(const std::string &dict_entries, const std::string &data)
{
    return {"<< " + dict_entries + " /Length " + std::to_string(data.size()) + " >>", data, true};
}

// Objects are numbered 1..n in order; the trailer gets /Size plus `trailer_entries`.
inline std::string build_pdf(const std::vector<TestObject> &objects, const std::string &trailer_entries)
{
    std::string out = "%PDF-1.6\n%\xE2\xE3\xCF\xD3\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < objects.size(); i++) {
        offsets.push_back(out.size());
        out += std::to_string(i + 1) + " 0 obj\n" + objects[i].dict;
        if (objects[i].is_stream)
            out += "\nstream\n" + objects[i].stream + "\nendstream";
        out += "\nendobj\n";
    }
    const size_t xref = out.size();
    out += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    char line[32];
    for (size_t off : offsets) {
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", off);
        out += line;
    }
    out += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " " + trailer_entries +
           " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return out;
}

// A PDF hex string of arbitrary bytes.
inline std::string hex_string(const std::string &bytes)
{
    static const char *digits = "0123456789ABCDEF";
    std::string s = "<";
    for (unsigned char c : bytes) {
        s += digits[c >> 4];
        s += digits[c & 15];
    }
    return s + ">";
}

}  // namespace testsupport

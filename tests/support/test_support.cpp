// Scratch files and corpus lookup for the tests.
#include "test_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "pdf/reader.h"

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace testsupport {

std::string scratch_dir()
{
    static std::string dir;
    if (dir.empty()) {
        fs::path p = fs::path(PAGRIX_BINARY_DIR) / "scratch" / std::to_string(getpid());
        fs::create_directories(p);
        dir = p.string();
    }
    return dir;
}

std::string scratch_path(const std::string &name) { return scratch_dir() + "/" + name; }

std::string corpus_dir()
{
    const char *env = std::getenv("PAGRIX_CORPUS");
    fs::path p = env && *env ? fs::path(env) : fs::path(PAGRIX_SOURCE_DIR) / ".." / "shared" / "corpus";
    std::error_code ec;
    if (!fs::is_directory(p, ec))
        return "";
    return p.lexically_normal().string();
}

std::vector<std::string> corpus_files(const std::string &subdir, const std::string &extension)
{
    std::vector<std::string> out;
    std::string root = corpus_dir();
    if (root.empty())
        return out;
    std::error_code ec;
    for (const auto &e : fs::directory_iterator(fs::path(root) / subdir, ec)) {
        if (e.is_regular_file() && (extension.empty() || e.path().extension() == extension))
            out.push_back(e.path().string());
    }
    std::sort(out.begin(), out.end());
    return out;
}

bool write_file(const std::string &path, const std::string &bytes)
{
    std::ofstream f(path, std::ios::binary);
    f.write(bytes.data(), std::streamsize(bytes.size()));
    return bool(f);
}

std::string read_file(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

std::string corpus_password(const std::string &field, const std::string &who, bool *known)
{
    *known = false;
    const size_t at = field.find(who + "=");
    if (at == std::string::npos || (at > 0 && field[at - 1] != ' '))
        return "";
    const size_t from = at + who.size() + 1;
    std::string pw = field.substr(from, field.find(' ', from) == std::string::npos ? std::string::npos
                                                                                    : field.find(' ', from) - from);
    if (pw == "?")
        return "";
    *known = true;
    if (pw == "(empty)")
        return "";
    const std::string latin1 = "(latin-1)";
    if (pw.size() > latin1.size() && pw.compare(pw.size() - latin1.size(), latin1.size(), latin1) == 0)
        pw.resize(pw.size() - latin1.size());
    // Passwords of R 2..4 are single bytes (PDFDocEncoding, Latin-1 for letters
    // like these); the table writes them in UTF-8.
    std::string out;
    for (size_t i = 0; i < pw.size(); i++) {
        const unsigned char c = pw[i];
        if ((c & 0xE0) == 0xC0 && i + 1 < pw.size()) {
            out += char(((c & 0x1F) << 6) | (pw[i + 1] & 0x3F));
            i++;
        } else {
            out += char(c);
        }
    }
    return out;
}

std::vector<uint8_t> hex_decode(const std::string &text)
{
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 1 < text.size(); i += 2)
        out.push_back(uint8_t(std::stoi(text.substr(i, 2), nullptr, 16)));
    return out;
}

std::string hex_encode(const uint8_t *p, size_t n)
{
    static const char *digits = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; i++) {
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}

std::string read_and_close(ByteReader *r)
{
    if (!r)
        return "<null>";
    std::string s;
    for (int c; (c = reader_getc(r)) >= 0;)
        s += char(c);
    reader_close_chain(r);
    return s;
}

}  // namespace testsupport

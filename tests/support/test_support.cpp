// Scratch files and corpus lookup for the tests.
#include "test_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

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

}  // namespace testsupport

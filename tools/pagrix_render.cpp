// pagrix-render: the command-line face of the engine. Prints document
// information, renders pages to PNG/BMP/JPEG and extracts page text.
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr const char *kVersion = "pagrix-render 0.1";

constexpr const char *kUsage =
    "usage:\n"
    "  pagrix-render info FILE [--password PW]\n"
    "  pagrix-render render FILE -o OUT [--page K | --pages A-B | --all] [--dpi D | --scale S]\n"
    "                [--rotate Q] [--band Y0:ROWS] [--format png|bmp|jpeg] [--quality Q]\n"
    "                [--password PW] [--no-aa] [--diag]\n"
    "  pagrix-render text FILE [--page K]\n"
    "  pagrix-render --version | --help\n";

int usage_error(const char *what)
{
    std::fprintf(stderr, "pagrix-render: %s\n", what);
    std::fputs(kUsage, stderr);
    return 2;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 2)
        return usage_error("missing command");
    const std::string cmd = argv[1];
    if (cmd == "--version") {
        std::puts(kVersion);
        return 0;
    }
    if (cmd == "--help" || cmd == "-h") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (cmd == "info" || cmd == "render" || cmd == "text") {
        if (argc < 3)
            return usage_error("missing FILE");
        std::fprintf(stderr, "pagrix-render: %s: not supported yet\n", cmd.c_str());
        return 1;
    }
    return usage_error(("unknown command: " + cmd).c_str());
}

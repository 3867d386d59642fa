// pagrix-render's command line: one table of options with the commands that
// take them, the usage text, and the messages about files and pages.
#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "document/document.h"
#include "formats/text_doc.h"
#include "tools/cli.h"

namespace {

constexpr const char *kSynopsis =
    "usage:\n"
    "  pagrix-render info FILE... [--password PW] [--encoding NAME]\n"
    "  pagrix-render render FILE... -o OUT [--page K | --pages A-B | --all] [--dpi D | --scale S]\n"
    "                [--rotate Q] [--band Y0:ROWS] [--format png|bmp|jpeg] [--quality Q]\n"
    "                [--password PW] [--encoding NAME] [--no-aa] [--diag] [--thumbnail]\n"
    "                [-j N] [--quiet]\n"
    "  pagrix-render text FILE... [--page K] [--password PW] [--encoding NAME] [-j N] [--quiet]\n"
    "  pagrix-render search FILE... QUERY [--case] [--password PW] [--encoding NAME] [-j N]\n"
    "                [--quiet]\n"
    "  pagrix-render nav FILE... [--page K] [--password PW]\n"
    "  pagrix-render fonts FILE... [--page K] [--password PW]\n"
    "  pagrix-render --version | --help\n";

constexpr const char *kDetails =
    "\n"
    "options:\n"
    "  -o OUT          the image file; %d takes the page number, %f the input's name\n"
    "                  without folder and extension (needed with several FILEs)\n"
    "  --page K        page K only (render, text, fonts; nav: also the links of page K)\n"
    "  --pages A-B     pages A to B (render)\n"
    "  --all           every page (render; text and search always read every page)\n"
    "  --dpi D         resolution in dots per inch (render; default 72)\n"
    "  --scale S       pixels per point (render; 1 = 72 dpi)\n"
    "  --rotate Q      turn the pages clockwise: quarter turns 0..3, or degrees in steps of 90\n"
    "  --band Y0:ROWS  only rows Y0 .. Y0+ROWS-1 of the page\n"
    "  --format F      png, bmp or jpeg; without it OUT's extension decides (.png, .bmp,\n"
    "                  .jpg, .jpeg; no extension: png; any other is an error)\n"
    "  --quality Q     JPEG quality 1..100 (default 90)\n"
    "  --no-aa         no anti-aliasing\n"
    "  --diag          list on stderr what each page held that was skipped\n"
    "  --thumbnail     render as the thumbnail panel does: 104 pixels wide\n"
    "  --case          search case-sensitively\n"
    "  --password PW   the document's user or owner password\n"
    "  --encoding NAME read a plain text FILE in this encoding instead of the detected one\n"
    "                  (info, render, text, search): UTF-8, UTF-16 LE, UTF-16 BE,\n"
    "                  Windows-1254, ISO-8859-9, OEM 857, OEM 850, Windows-1252, OEM 437,\n"
    "                  ASCII, Mac Turkish\n"
    "  -j N            worker processes for render, text and search (default: one per\n"
    "                  processor); output comes in page order, as with -j 1\n"
    "  --quiet         no progress line (it is shown only when stderr is a terminal)\n"
    "\n"
    "With several FILEs, info, text, nav and fonts print \"==> FILE <==\" before each\n"
    "file's output, search starts each line with \"FILE: \", and every message names its file.\n"
    "\n"
    "exit status: 0 success; 1 when a file or a page failed (one line each on stderr,\n"
    "the other files and pages go on); 2 usage error.\n";

constexpr unsigned kAll = CLI_INFO | CLI_RENDER | CLI_TEXT | CLI_SEARCH | CLI_NAV | CLI_FONTS;

struct OptionSpec {
    const char *name;
    bool takes_value;
    unsigned commands;  // CliCommand bits of the commands that take it
};

const OptionSpec kOptions[] = {
    {"-o", true, CLI_RENDER},
    {"--page", true, CLI_RENDER | CLI_TEXT | CLI_NAV | CLI_FONTS},
    {"--pages", true, CLI_RENDER},
    {"--all", false, CLI_RENDER},
    {"--dpi", true, CLI_RENDER},
    {"--scale", true, CLI_RENDER},
    {"--rotate", true, CLI_RENDER},
    {"--band", true, CLI_RENDER},
    {"--format", true, CLI_RENDER},
    {"--quality", true, CLI_RENDER},
    {"--no-aa", false, CLI_RENDER},
    {"--diag", false, CLI_RENDER},
    {"--thumbnail", false, CLI_RENDER},
    {"--case", false, CLI_SEARCH},
    {"--password", true, kAll},
    {"--encoding", true, CLI_INFO | CLI_RENDER | CLI_TEXT | CLI_SEARCH},
    {"-j", true, CLI_RENDER | CLI_TEXT | CLI_SEARCH},
    {"--quiet", false, kAll},
};

bool g_several_files = false;

bool parse_int(const char *s, int *out)
{
    char *end = nullptr;
    errno = 0;
    const long v = std::strtol(s, &end, 10);
    if (!s[0] || *end || errno || v < -1000000000L || v > 1000000000L)
        return false;
    *out = int(v);
    return true;
}

bool parse_float(const char *s, float *out)
{
    char *end = nullptr;
    const double v = std::strtod(s, &end);
    if (!s[0] || *end || !(v > 0 && v < 1e6))
        return false;
    *out = float(v);
    return true;
}

// "A<sep>B" into two ints.
bool parse_pair(const char *s, char sep, int *a, int *b)
{
    const char *at = std::strchr(s, sep);
    return at && parse_int(std::string(s, at).c_str(), a) && parse_int(at + 1, b);
}

// The image format OUT's extension names ("" for an extension that names
// none); a name without an extension gets PNG.
std::string format_of_name(const std::string &out)
{
    const auto slash = out.rfind('/');
    const std::string base = slash == std::string::npos ? out : out.substr(slash + 1);
    const auto dot = base.rfind('.');
    if (dot == std::string::npos)
        return "png";
    std::string ext = base.substr(dot + 1);
    for (char &c : ext)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    if (ext == "png" || ext == "bmp")
        return ext;
    return ext == "jpg" || ext == "jpeg" ? "jpeg" : "";
}

// Applies one option and its value; 0 or the usage status.
int apply_option(const std::string &a, const char *v, CliOptions *o)
{
    if (a == "-o") {
        o->out = v;
    } else if (a == "--page") {
        if (!parse_int(v, &o->page) || o->page < 1)
            return usage_error("bad --page");
        o->first = o->last = o->page;
    } else if (a == "--pages") {
        if (!parse_pair(v, '-', &o->first, &o->last) || o->first < 1 || o->last < o->first)
            return usage_error("bad --pages");
        o->page = 0;
    } else if (a == "--all") {
        o->all = true;
    } else if (a == "--dpi") {
        float dpi;
        if (!parse_float(v, &dpi))
            return usage_error("bad --dpi");
        o->scale = dpi / 72.0f;
    } else if (a == "--scale") {
        if (!parse_float(v, &o->scale))
            return usage_error("bad --scale");
    } else if (a == "--rotate") {
        int q;
        if (!parse_int(v, &q))
            return usage_error("bad --rotate");
        // Quarter turns 0..3, or degrees in steps of 90.
        if (q % 90 == 0 && (q >= 90 || q <= -90))
            q /= 90;
        o->quarter_turns = ((q % 4) + 4) % 4;
    } else if (a == "--band") {
        if (!parse_pair(v, ':', &o->band_y0, &o->band_rows) || o->band_y0 < 0 || o->band_rows < 1)
            return usage_error("bad --band");
    } else if (a == "--format") {
        o->format = v;
        if (o->format == "jpg")
            o->format = "jpeg";
        if (o->format != "png" && o->format != "bmp" && o->format != "jpeg")
            return usage_error("bad --format");
    } else if (a == "--quality") {
        if (!parse_int(v, &o->quality) || o->quality < 1 || o->quality > 100)
            return usage_error("bad --quality");
    } else if (a == "--password") {
        o->password = v;
    } else if (a == "--encoding") {
        o->text_encoding = text_encoding_by_name(v);
        if (o->text_encoding < 0)
            return usage_error(std::string("unknown encoding: ") + v);
    } else if (a == "--no-aa") {
        o->no_aa = true;
    } else if (a == "--diag") {
        o->diag = true;
    } else if (a == "--thumbnail") {
        o->thumbnail = true;
    } else if (a == "--case") {
        o->case_sensitive = true;
    } else if (a == "-j") {
        if (!parse_int(v, &o->jobs) || o->jobs < 1 || o->jobs > 256)
            return usage_error("bad -j (1 to 256 worker processes)");
    } else if (a == "--quiet") {
        o->quiet = true;
    }
    return 0;
}

// Checks made once all arguments are read; 0 or the usage status.
int check_options(CliOptions *o)
{
    if (o->command != CLI_RENDER)
        return 0;
    if (!o->out)
        return usage_error("missing -o OUT");
    if (o->thumbnail && o->band_rows > 0)
        return usage_error("--thumbnail renders whole pages, not bands");
    if (o->files.size() > 1 && !std::strstr(o->out, "%f"))
        return usage_error("OUT needs %f when several files are rendered");
    if (o->format.empty()) {
        o->format = format_of_name(o->out);
        if (o->format.empty())
            return usage_error(std::string("cannot tell the image format from the name ") + o->out +
                               "; use .png, .bmp, .jpg or .jpeg, or --format");
    }
    return 0;
}

}  // namespace

const char *usage_text() { return kSynopsis; }

int usage_error(const std::string &what)
{
    std::fprintf(stderr, "pagrix-render: %s\n", what.c_str());
    std::fputs(kSynopsis, stderr);
    std::fputs("(pagrix-render --help explains the options)\n", stderr);
    return 2;
}

void print_help() { std::printf("%s%s", kSynopsis, kDetails); }

int parse_command_line(int argc, char **argv, CliOptions *o)
{
    if (argc < 2)
        return usage_error("missing command");
    const std::string cmd = argv[1];
    static const struct {
        const char *name;
        CliCommand command;
    } kCommands[] = {{"info", CLI_INFO},     {"render", CLI_RENDER}, {"text", CLI_TEXT},
                     {"search", CLI_SEARCH}, {"nav", CLI_NAV},       {"fonts", CLI_FONTS}};
    bool known = false;
    for (const auto &c : kCommands) {
        if (cmd == c.name) {
            o->command = c.command;
            known = true;
        }
    }
    if (!known)
        return usage_error("unknown command: " + cmd);
    std::vector<std::string> words;
    bool options_end = false;
    for (int i = 2; i < argc; i++) {
        std::string a = argv[i];
        if (options_end || a.size() < 2 || a[0] != '-') {
            words.push_back(a);
            continue;
        }
        if (a == "--") {
            options_end = true;
            continue;
        }
        const char *v = nullptr;
        if (a.size() > 2 && a.compare(0, 2, "-j") == 0) {  // -jN
            v = argv[i] + 2;
            a = "-j";
        }
        const OptionSpec *spec = nullptr;
        for (const OptionSpec &s : kOptions)
            if (a == s.name)
                spec = &s;
        if (!spec || !(spec->commands & o->command))
            return usage_error("unknown option for " + cmd + ": " + a);
        if (spec->takes_value && !v) {
            if (i + 1 >= argc)
                return usage_error("missing value for " + a);
            v = argv[++i];
        }
        if (int rc = apply_option(a, v, o))
            return rc;
    }
    if (o->command == CLI_SEARCH) {
        if (words.size() < 2)
            return usage_error(words.empty() ? "missing FILE" : "missing QUERY");
        o->query = words.back();
        words.pop_back();
    }
    if (words.empty())
        return usage_error("missing FILE");
    o->files = words;
    return check_options(o);
}

void set_several_files(bool several) { g_several_files = several; }

bool several_files() { return g_several_files; }

std::string message_prefix(const std::string &path)
{
    return g_several_files ? "pagrix-render: " + path + ": " : "pagrix-render: ";
}

void report(const std::string &path, const std::string &text)
{
    std::fprintf(stderr, "%s%s\n", message_prefix(path).c_str(), text.c_str());
}

std::string open_failure_message(const std::string &path, int rc)
{
    // A file that cannot be read at all: the system's reason.
    struct stat st;
    int err = 0;
    if (stat(path.c_str(), &st) != 0)
        err = errno;
    else if (S_ISDIR(st.st_mode))
        err = EISDIR;
    else if (FILE *f = std::fopen(path.c_str(), "rb"))
        std::fclose(f);
    else
        err = errno;
    if (err)
        return "pagrix-render: cannot open " + path + ": " + std::strerror(err);
    if (rc == -6)
        return message_prefix(path) + "wrong password";
    if (rc == -7)
        return message_prefix(path) + "unsupported encryption";
    const char *words = rc == -1   ? "unreadable or damaged file"
                        : rc == -2 ? "damaged file: no cross-reference table and no objects"
                        : rc == -3 ? "out of memory"
                        : rc == -5 ? "damaged file over 64 MiB, too large to repair"
                                   : "open failed";
    return "pagrix-render: cannot open " + path + ": " + words + " (" + std::to_string(rc) + ")";
}

Document *open_document(const CliOptions &o, const std::string &path)
{
    Document *doc = nullptr;
    if (int rc = doc_open(&doc, path.c_str(), o.password); rc != 0) {
        std::fprintf(stderr, "%s\n", open_failure_message(path, rc).c_str());
        return nullptr;
    }
    if (o.text_encoding >= 0)
        doc_text_set_encoding(doc, o.text_encoding);
    return doc;
}

std::string render_failure_words(int rc)
{
    const char *words = rc == -1   ? "the page could not be read"
                        : rc == -2 ? "not a valid request"
                        : rc == -3 ? "out of memory"
                        : rc == -4 ? "no such page"
                        : rc == -5 ? "the band lies below the page"
                                   : "error";
    return std::string(words) + " (" + std::to_string(rc) + ")";
}

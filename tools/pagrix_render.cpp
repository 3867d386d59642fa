// pagrix-render: the command-line face of the engine. Prints document
// information, renders pages to PNG/BMP/JPEG, extracts page text and lists
// navigation data.
#include <cstdio>
#include <cstring>
#include <string>

#include "document/document.h"
#include "fontlib/fontdata.h"
#include "fonts/font_state.h"
#include "formats/text_doc.h"
#include "pdf/document.h"
#include "pdf/pages.h"

void report_open_failure(const char *path, int rc);

namespace {

constexpr const char *kVersion = "pagrix-render 0.1";

constexpr const char *kUsage =
    "usage:\n"
    "  pagrix-render info FILE [--password PW]\n"
    "  pagrix-render render FILE -o OUT [--page K | --pages A-B | --all] [--dpi D | --scale S]\n"
    "                [--rotate Q] [--band Y0:ROWS] [--format png|bmp|jpeg] [--quality Q]\n"
    "                [--password PW] [--no-aa] [--diag] [--thumbnail]\n"
    "  pagrix-render text FILE [--page K] [--password PW]\n"
    "  pagrix-render search FILE QUERY [--case] [--password PW]\n"
    "  pagrix-render nav FILE [--page K] [--password PW]\n"
    "  pagrix-render fonts FILE [--page K] [--password PW]\n"
    "  pagrix-render --version | --help\n"
    "info, render, text and search read a plain text FILE in the encoding given by\n"
    "--encoding NAME (UTF-8, UTF-16 LE, UTF-16 BE, Windows-1254, ISO-8859-9, OEM 857,\n"
    "OEM 850, Windows-1252, OEM 437, ASCII, Mac Turkish) instead of the detected one.\n";

// The encoding of --encoding (-1: detect), set before a command runs.
int g_text_encoding = -1;

int usage_error(const char *what);

// Takes "--encoding NAME" out of the arguments; false after a usage message.
bool take_encoding_option(int *argc, char **argv, int *rc)
{
    for (int i = 3; i < *argc; i++) {
        if (std::strcmp(argv[i], "--encoding") != 0)
            continue;
        if (i + 1 >= *argc) {
            *rc = usage_error("missing value for --encoding");
            return false;
        }
        g_text_encoding = text_encoding_by_name(argv[i + 1]);
        if (g_text_encoding < 0) {
            *rc = usage_error((std::string("unknown encoding: ") + argv[i + 1]).c_str());
            return false;
        }
        for (int k = i; k + 2 <= *argc; k++)
            argv[k] = argv[k + 2];
        *argc -= 2;
        i--;
    }
    return true;
}

}  // namespace

// doc_open, then the encoding asked for by --encoding when the file is text.
int open_document(Document **doc, const char *path, const char *password)
{
    int rc = doc_open(doc, path, password);
    if (rc == 0 && g_text_encoding >= 0)
        doc_text_set_encoding(*doc, g_text_encoding);
    return rc;
}

namespace {

int usage_error(const char *what)
{
    std::fprintf(stderr, "pagrix-render: %s\n", what);
    std::fputs(kUsage, stderr);
    return 2;
}

// info FILE [--password PW]: kind, page count, PDF facts, page sizes.
int cmd_info(int argc, char **argv)
{
    const char *path = argv[2];
    const char *password = nullptr;
    for (int i = 3; i < argc; i++) {
        if (std::strcmp(argv[i], "--password") == 0) {
            if (i + 1 >= argc)
                return usage_error("missing value for --password");
            password = argv[++i];
        } else {
            return usage_error((std::string("unknown option: ") + argv[i]).c_str());
        }
    }
    Document *doc = nullptr;
    if (int rc = open_document(&doc, path, password); rc != 0) {
        report_open_failure(path, rc);
        return 1;
    }
    std::printf("kind: %s\n", doc_kind_name(doc));
    std::printf("pages: %d\n", doc_page_count(doc));
    if (int enc = doc_text_encoding(doc); enc >= 0)
        std::printf("encoding: %s%s\n", doc_text_encoding_name(enc), doc_text_encoding_sure(doc) ? "" : " (guessed)");
    if (PdfDoc *pdf = doc_pdf(doc)) {
        std::printf("version: %s\n", pdf->version);
        std::printf("repaired: %s\n", pdf->repaired ? "yes" : "no");
        std::printf("encrypted: %s\n", pdf->crypt ? "yes" : "no");
    }
    for (int k = 0; k < doc_page_count(doc); k++) {
        float w = 0, h = 0;
        int rotate = 0;
        if (PdfDoc *pdf = doc_pdf(doc)) {
            // The visible box unrotated, and the rotation the page is shown at.
            PdfObject *page = pdf_page(pdf, k);
            PdfBox box;
            pdf_page_box(pdf, page, &box);
            w = box.x1 - box.x0;
            h = box.y1 - box.y0;
            rotate = pdf_page_rotation(pdf, page);
        } else if (doc_page_size(doc, k, &w, &h, &rotate) != 0) {
            continue;
        }
        std::printf("page %d: %.2f x %.2f pt, rotate %d\n", k + 1, double(w), double(h), rotate);
    }
    doc_close(doc);
    return 0;
}

}  // namespace

int cmd_render(int argc, char **argv);  // render_command.cpp
int cmd_nav(int argc, char **argv);     // nav_command.cpp
int cmd_fonts(int argc, char **argv);   // fonts_command.cpp
int cmd_text(int argc, char **argv);    // text_command.cpp
int cmd_search(int argc, char **argv);  // text_command.cpp
int render_usage_error(const char *what) { return usage_error(what); }

// The message for a failed doc_open (info, render and nav); the caller exits with 1.
void report_open_failure(const char *path, int rc)
{
    if (rc == -6)
        std::fprintf(stderr, "pagrix-render: wrong password\n");
    else if (rc == -7)
        std::fprintf(stderr, "pagrix-render: unsupported encryption\n");
    else
        std::fprintf(stderr, "pagrix-render: cannot open %s\n", path);
}

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
    if (cmd == "info" || cmd == "render" || cmd == "text" || cmd == "nav" || cmd == "fonts" ||
        cmd == "search") {
        if (argc < 3)
            return usage_error("missing FILE");
        // The base fonts are built into the program; PAGRIX_FONTS names a
        // directory searched after them.
        font_dir_init();
        font_set_resolver(fontdata_find);
        int rc = 0;
        if (cmd != "nav" && cmd != "fonts" && !take_encoding_option(&argc, argv, &rc))
            return rc;
        if (cmd == "fonts")
            return cmd_fonts(argc, argv);
        if (cmd == "info")
            return cmd_info(argc, argv);
        if (cmd == "render")
            return cmd_render(argc, argv);
        if (cmd == "nav")
            return cmd_nav(argc, argv);
        if (cmd == "text")
            return cmd_text(argc, argv);
        return cmd_search(argc, argv);
    }
    return usage_error(("unknown command: " + cmd).c_str());
}

// pagrix-render: the command-line face of the engine. Prints document
// information, renders pages to PNG/BMP/JPEG, extracts page text, searches
// it and lists navigation data and fonts, for one file or many.
#include <cstdio>
#include <cstring>
#include <string>

#include "document/document.h"
#include "fontlib/fontdata.h"
#include "fonts/font_state.h"
#include "pdf/document.h"
#include "pdf/pages.h"
#include "tools/cli.h"

int cmd_render(const CliOptions &o, const std::string &path);  // render_command.cpp
int cmd_nav(const CliOptions &o, const std::string &path);     // nav_command.cpp
int cmd_fonts(const CliOptions &o, const std::string &path);   // fonts_command.cpp
int cmd_text(const CliOptions &o, const std::string &path);    // text_command.cpp
int cmd_search(const CliOptions &o, const std::string &path);  // text_command.cpp
void print_help();                                              // cli_options.cpp

namespace {

constexpr const char *kVersion = "pagrix-render 0.1";

// info FILE...: kind, page count, PDF facts, page sizes.
int cmd_info(const CliOptions &o, const std::string &path)
{
    Document *doc = open_document(o, path);
    if (!doc)
        return 1;
    if (several_files())
        std::printf("==> %s <==\n", path.c_str());
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

int main(int argc, char **argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts(kVersion);
        return 0;
    }
    if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        print_help();
        return 0;
    }
    CliOptions o;
    if (int rc = parse_command_line(argc, argv, &o))
        return rc;
    // The base fonts are built into the program; PAGRIX_FONTS names a
    // directory searched after them.
    font_dir_init();
    font_set_resolver(fontdata_find);
    int (*const command)(const CliOptions &, const std::string &) =
        o.command == CLI_INFO     ? cmd_info
        : o.command == CLI_RENDER ? cmd_render
        : o.command == CLI_TEXT   ? cmd_text
        : o.command == CLI_SEARCH ? cmd_search
        : o.command == CLI_NAV    ? cmd_nav
                                  : cmd_fonts;
    // Each file on its own: one that fails has said so on stderr, and the
    // others still run; a usage error (found only once a file is open) stops.
    set_several_files(o.files.size() > 1);
    int status = 0;
    for (const std::string &path : o.files) {
        const int rc = command(o, path);
        std::fflush(stdout);
        if (rc == 2)
            return 2;
        if (rc != 0)
            status = 1;
    }
    return status;
}

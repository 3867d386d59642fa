// pagrix-render nav: the navigation data of a document as tab-separated
// lines (outline items, article threads, the links of one page), titles in
// UTF-8.
#include <cstdio>
#include <string>
#include <vector>

#include "document/document.h"
#include "pdf/nav.h"
#include "tools/cli.h"

namespace {

// Titles are kept in code page 1252; the terminal wants UTF-8.
std::string utf8_of_cp1252(const char *text)
{
    std::string out;
    for (const char *p = text; *p; p++) {
        const int u = pdf_cp1252_to_unicode(uint8_t(*p));
        if (u < 0x80) {
            out += char(u);
        } else if (u < 0x800) {
            out += char(0xC0 | (u >> 6));
            out += char(0x80 | (u & 0x3F));
        } else {
            out += char(0xE0 | (u >> 12));
            out += char(0x80 | ((u >> 6) & 0x3F));
            out += char(0x80 | (u & 0x3F));
        }
    }
    return out;
}

const char *kind_name(int kind)
{
    static const char *const names[] = {"goto", "uri", "next", "prev", "first", "last", "back", "forward"};
    return kind >= 0 && kind < int(sizeof names / sizeof *names) ? names[kind] : "?";
}

// All records of one list reader: counted first, then read.
template <typename Item, typename Read>
std::vector<Item> read_all(Read read)
{
    const int n = read(nullptr, 0);
    std::vector<Item> items(static_cast<size_t>(n > 0 ? n : 0));
    items.resize(static_cast<size_t>(n > 0 ? read(items.data(), n) : 0));
    return items;
}

void print_outline(Document *doc)
{
    for (const OutlineItem &item :
         read_all<OutlineItem>([&](OutlineItem *items, int max) { return doc_outline(doc, items, max); }))
        std::printf("outline\t%d\t%d\t%s\n", item.level + 1, item.page + 1, utf8_of_cp1252(item.title).c_str());
}

void print_threads(Document *doc)
{
    for (const ThreadItem &item :
         read_all<ThreadItem>([&](ThreadItem *items, int max) { return doc_threads(doc, items, max); }))
        std::printf("thread\t%d\t%s\n", item.page + 1, utf8_of_cp1252(item.title).c_str());
}

// Rectangles at scale 1 turned back into points of the unrotated page, so
// that they read like the annotation's Rect.
void print_links(Document *doc, int index)
{
    const std::vector<LinkItem> links = read_all<LinkItem>(
        [&](LinkItem *items, int max) { return doc_page_links(doc, index, 1.0f, items, max); });
    for (const LinkItem &link : links) {
        float r[4];
        if (pdf_link_page_rect(doc_pdf(doc), index, 1.0f, &link, r) != 0)
            continue;
        std::string target = "-";
        if (link.kind == LINK_GOTO)
            target = std::to_string(link.page + 1);
        else if (link.kind == LINK_URI)
            target = link.uri;
        std::printf("link\t%.2f\t%.2f\t%.2f\t%.2f\t%s\t%s\n", double(r[0]), double(r[1]), double(r[2]),
                    double(r[3]), kind_name(link.kind), target.c_str());
    }
}

}  // namespace

// nav FILE... [--page K]
int cmd_nav(const CliOptions &o, const std::string &path)
{
    Document *doc = open_document(o, path);
    if (!doc)
        return 1;
    if (o.page > doc_page_count(doc)) {
        report(path, "no such page: " + std::to_string(o.page) + " (document has " +
                         std::to_string(doc_page_count(doc)) + ")");
        doc_close(doc);
        return 1;
    }
    if (several_files())
        std::printf("==> %s <==\n", path.c_str());
    print_outline(doc);
    print_threads(doc);
    if (o.page > 0)
        print_links(doc, o.page - 1);
    doc_close(doc);
    return 0;
}

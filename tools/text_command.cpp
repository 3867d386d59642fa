// pagrix-render text and search: a document's page text in UTF-8, and the
// hits of a query over every page as the view's whole-document search finds
// them (page text at scale 1, at most 512 hits a page).
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "document/document.h"
#include "text/page_text.h"

int render_usage_error(const char *what);
void report_open_failure(const char *path, int rc);
int open_document(Document **doc, const char *path, const char *password);

namespace {

struct Options {
    const char *path = nullptr;
    const char *query = nullptr;
    const char *password = nullptr;
    int page = 0;  // 1-based; 0 = every page
    bool case_sensitive = false;
};

// FILE [QUERY] then options; false after a usage message.
bool parse(int argc, char **argv, bool with_query, Options *o, int *rc)
{
    o->path = argv[2];
    int i = 3;
    if (with_query) {
        if (argc < 4) {
            *rc = render_usage_error("missing QUERY");
            return false;
        }
        o->query = argv[3];
        i = 4;
    }
    for (; i < argc; i++) {
        const std::string a = argv[i];
        if (with_query && a == "--case") {
            o->case_sensitive = true;
            continue;
        }
        if (a != "--password" && (with_query || a != "--page")) {
            *rc = render_usage_error(("unknown option: " + a).c_str());
            return false;
        }
        if (i + 1 >= argc) {
            *rc = render_usage_error(("missing value for " + a).c_str());
            return false;
        }
        const char *v = argv[++i];
        if (a == "--password") {
            o->password = v;
            continue;
        }
        char *end = nullptr;
        const long k = std::strtol(v, &end, 10);
        if (!v[0] || *end || k < 1 || k > 1000000000L) {
            *rc = render_usage_error("bad --page");
            return false;
        }
        o->page = int(k);
    }
    return true;
}

Document *open_doc(const Options &o)
{
    Document *doc = nullptr;
    if (int rc = open_document(&doc, o.path, o.password); rc != 0) {
        report_open_failure(o.path, rc);
        return nullptr;
    }
    if (!doc_has_text(doc)) {
        std::fprintf(stderr, "pagrix-render: %s has no text\n", o.path);
        doc_close(doc);
        return nullptr;
    }
    if (o.page > doc_page_count(doc)) {
        std::fprintf(stderr, "pagrix-render: no such page\n");
        doc_close(doc);
        return nullptr;
    }
    return doc;
}

}  // namespace

// text FILE [--page K] [--password PW]: pages separated by form feeds.
int cmd_text(int argc, char **argv)
{
    Options o;
    int rc = 0;
    if (!parse(argc, argv, false, &o, &rc))
        return rc;
    Document *doc = open_doc(o);
    if (!doc)
        return 1;
    const int first = o.page ? o.page - 1 : 0;
    const int last = o.page ? o.page - 1 : doc_page_count(doc) - 1;
    for (int p = first; p <= last; p++) {
        PageText *text = doc_page_text(doc, p, 1.0f);
        std::string s = page_text_utf8(text);
        page_text_free(text);
        if (p > first)
            std::fputc('\f', stdout);
        std::fwrite(s.data(), 1, s.size(), stdout);
        if (!s.empty())
            std::fputc('\n', stdout);
    }
    doc_close(doc);
    return 0;
}

// search FILE QUERY [--case] [--password PW]: one line per hit with its box
// in points, then the count.
int cmd_search(int argc, char **argv)
{
    Options o;
    int rc = 0;
    if (!parse(argc, argv, true, &o, &rc))
        return rc;
    Document *doc = open_doc(o);
    if (!doc)
        return 1;
    std::vector<SearchHit> hits(TEXT_SEARCH_VIEW_HITS);
    long total = 0;
    for (int p = 0; p < doc_page_count(doc); p++) {
        PageText *text = doc_page_text(doc, p, 1.0f);
        const int n = text_search(text, o.query, TEXT_SEARCH_VIEW_HITS, hits.data(),
                                  o.case_sensitive ? 1 : 0);
        page_text_free(text);
        for (int i = 0; i < n; i++)
            std::printf("page %d: %.2f %.2f %.2f %.2f\n", p + 1, double(hits[i].x0),
                        double(hits[i].y0), double(hits[i].x1), double(hits[i].y1));
        total += n;
    }
    std::printf("%ld hit%s\n", total, total == 1 ? "" : "s");
    doc_close(doc);
    return 0;
}

// pagrix-render text and search: a document's page text in UTF-8, and the
// hits of a query over every page as the view's whole-document search finds
// them (page text at scale 1, at most 512 hits a page).
#include <cstdio>
#include <string>
#include <vector>

#include "document/document.h"
#include "text/page_text.h"
#include "tools/cli.h"

namespace {

// The document of text or search, when it has text and the page asked for.
Document *open_text(const CliOptions &o, const std::string &path)
{
    Document *doc = open_document(o, path);
    if (!doc)
        return nullptr;
    if (!doc_has_text(doc)) {
        std::fprintf(stderr, "pagrix-render: %s has no text\n", path.c_str());
        doc_close(doc);
        return nullptr;
    }
    if (o.page > doc_page_count(doc)) {
        report(path, "no such page: " + std::to_string(o.page) + " (document has " +
                         std::to_string(doc_page_count(doc)) + ")");
        doc_close(doc);
        return nullptr;
    }
    return doc;
}

}  // namespace

// text FILE... [--page K]: pages separated by form feeds.
int cmd_text(const CliOptions &o, const std::string &path)
{
    Document *doc = open_text(o, path);
    if (!doc)
        return 1;
    if (several_files())
        std::printf("==> %s <==\n", path.c_str());
    const int first = o.page ? o.page : 1;
    const int last = o.page ? o.page : doc_page_count(doc);
    PageRun run = page_run(o, path, first, last);
    run.work = [first](Document *d, int page, PageOutput *result) {
        PageText *text = doc_page_text(d, page - 1, 1.0f);
        const std::string s = page_text_utf8(text);
        page_text_free(text);
        if (page > first)
            result->out += '\f';
        result->out += s;
        if (!s.empty())
            result->out += '\n';
    };
    run_pages(doc, run);
    doc_close(doc);
    return 0;
}

// search FILE... QUERY [--case]: one line per hit with its box in points,
// then the count.
int cmd_search(const CliOptions &o, const std::string &path)
{
    Document *doc = open_text(o, path);
    if (!doc)
        return 1;
    const std::string prefix = several_files() ? path + ": " : "";
    PageRun run = page_run(o, path, 1, doc_page_count(doc));
    run.work = [&](Document *d, int page, PageOutput *result) {
        std::vector<SearchHit> hits(TEXT_SEARCH_VIEW_HITS);
        PageText *text = doc_page_text(d, page - 1, 1.0f);
        const int n = text_search(text, o.query.c_str(), TEXT_SEARCH_VIEW_HITS, hits.data(),
                                  o.case_sensitive ? 1 : 0);
        page_text_free(text);
        char line[160];
        for (int i = 0; i < n; i++) {
            std::snprintf(line, sizeof line, "page %d: %.2f %.2f %.2f %.2f\n", page, double(hits[size_t(i)].x0),
                          double(hits[size_t(i)].y0), double(hits[size_t(i)].x1), double(hits[size_t(i)].y1));
            result->out += prefix + line;
        }
        result->count = n;
    };
    const PageTotals totals = run_pages(doc, run);
    std::printf("%s%ld hit%s\n", prefix.c_str(), totals.count, totals.count == 1 ? "" : "s");
    doc_close(doc);
    return 0;
}

// The reference page counts of the corpus and the table of files whose
// outcome differs from them for a known reason.
#include "corpus_pages.h"

#include <map>
#include <sstream>

#include "test_support.h"

namespace testsupport {

namespace {

struct Exception {
    const char *file;
    int open_code;
    int pages;
    const char *reason;
};

// Each row: what this engine does with the file, and why that differs from
// (or stands in for) the reference count.
const Exception kExceptions[] = {
    // Counts that differ from qpdf's `--show-npages`, which prints the root's /Count.
    {"pdfium-bug_547706.pdf", 0, 1,
     "the leaf has no Type but has Contents, so it is a page; the root has no /Count "
     "(qpdf prints 0, its own tree walk finds the 1 page)"},
    {"pdfjs-Pages-tree-refs.pdf", 0, 1,
     "one page beside a Kids loop 3 -> 4 -> 5 -> 3; /Count claims 2 (qpdf's tree walk "
     "stops at the loop)"},
    {"pdfjs-issue9418.pdf", 0, 1,
     "after the repair the catalogue has no Pages; the scan for loose Page objects finds "
     "the one page, qpdf prints 0"},
    // Files neither qpdf nor mutool could count.
    {"pdfium-bug_325_a.pdf", -2, 0, "82 bytes without a single object: nothing to repair"},
    {"pdfium-encrypted_hello_world_r3_bad_okey.pdf", -7, 0,
     "revision 3 with a damaged owner key and no known password; qpdf and mutool refuse it too"},
};

struct Ref {
    std::string pages;  // a count, or ERR
    std::string password;
    bool has_password = false;
};

const std::map<std::string, Ref> &refs()
{
    static const std::map<std::string, Ref> table = [] {
        std::map<std::string, Ref> out;
        const std::string dir = corpus_dir();
        if (dir.empty())
            return out;
        std::istringstream tsv(read_file(dir + "/pdf_ref.tsv"));
        for (std::string line; std::getline(tsv, line);) {
            std::istringstream cols(line);
            std::string col[6];
            for (std::string &c : col)
                std::getline(cols, c, '\t');
            if (col[0].rfind("pdf/", 0) != 0)
                continue;  // the header
            Ref &ref = out[col[0].substr(4)];
            ref.pages = col[2];
            bool user_known = false, owner_known = false;
            const std::string user = corpus_password(col[5], "user", &user_known);
            const std::string owner = corpus_password(col[5], "owner", &owner_known);
            ref.has_password = user_known || owner_known;
            ref.password = user_known ? user : owner;
        }
        return out;
    }();
    return table;
}

}  // namespace

CorpusPages corpus_pages(const std::string &name)
{
    CorpusPages out;
    auto ref = refs().find(name);
    if (ref != refs().end()) {
        out.password = ref->second.password;
        out.has_password = ref->second.has_password;
        if (ref->second.pages != "ERR") {
            out.known = true;
            out.pages = std::stoi(ref->second.pages);
        }
    }
    for (const Exception &e : kExceptions) {
        if (name == e.file) {
            out.known = true;
            out.open_code = e.open_code;
            out.pages = e.pages;
            out.reason = e.reason;
        }
    }
    return out;
}

}  // namespace testsupport

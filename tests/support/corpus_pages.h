// What the engine must make of each corpus PDF's page count: the reference
// count of pdf_ref.tsv (qpdf's, else mutool's), or, for the files listed in
// one table with a reason each, the outcome that table states.
#pragma once
#include <string>

namespace testsupport {

// The expected outcome of opening one corpus PDF (with its password).
struct CorpusPages {
    bool known = false;    // false: no reference and no entry in the table
    int open_code = 0;     // the status pdf_open must return
    int pages = 0;         // the page count when open_code is 0
    std::string password;  // the user password of the table, else the owner's
    bool has_password = false;
    const char *reason = nullptr;  // set for a listed exception
};

// For a file name without folder ("qpdf-bad-xref-entry.pdf"). Reads
// pdf_ref.tsv once; empty results when the corpus is absent.
CorpusPages corpus_pages(const std::string &name);

}  // namespace testsupport

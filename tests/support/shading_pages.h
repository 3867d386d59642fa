// The corpus PDFs whose first page uses shadings or patterns: the
// shading_types column of pdf_ref.tsv, plus the files whose page 1 (or a
// form it draws) has Pattern resources; and the columns of that table.
// Shared by the shading fidelity test and the render benchmarks.
#pragma once
#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "pdf/document.h"
#include "pdf/object.h"
#include "pdf/pages.h"

namespace testsupport {

inline bool has_patterns(PdfDoc *doc, PdfObject *resources, int depth)
{
    PdfObject *patterns = pdf_dict_get_resolved(doc, resources, "Pattern");
    if (pdf_is_type(patterns, PDF_DICT) && patterns->count > 0)
        return true;
    if (depth >= 2)
        return false;
    PdfObject *xobjects = pdf_dict_get_resolved(doc, resources, "XObject");
    for (int i = 0; pdf_is_type(xobjects, PDF_DICT) && i < xobjects->count && i < 64; i++) {
        PdfObject *x = pdf_resolve(doc, xobjects->entries[i].value);
        if (pdf_is_type(x, PDF_STREAM) &&
            has_patterns(doc, pdf_dict_get_resolved(doc, x, "Resources"), depth + 1))
            return true;
    }
    return false;
}

// (file, value) of one column of the corpus's pdf_ref.tsv, file names as
// the table gives them ("pdf/name.pdf"); empty without the table or column.
inline std::vector<std::pair<std::string, std::string>> corpus_column(const std::string &corpus,
                                                                      const std::string &name)
{
    std::vector<std::pair<std::string, std::string>> out;
    std::ifstream tsv(corpus + "/pdf_ref.tsv");
    std::string line;
    int column = -1;
    while (std::getline(tsv, line)) {
        std::vector<std::string> cells;
        std::istringstream fields(line);
        for (std::string cell; std::getline(fields, cell, '\t');)
            cells.push_back(cell);
        if (column < 0) {
            auto at = std::find(cells.begin(), cells.end(), name);
            if (at == cells.end())
                return out;
            column = int(at - cells.begin());
            continue;
        }
        if (int(cells.size()) > column && !cells[0].empty())
            out.push_back({cells[0], cells[size_t(column)]});
    }
    return out;
}

// Absolute paths of the files, sorted; `corpus` is the corpus folder.
inline std::vector<std::string> first_pages_with_shadings(const std::string &corpus)
{
    std::vector<std::string> out;
    for (const auto &[name, types] : corpus_column(corpus, "shading_types")) {
        const std::string file = corpus + "/" + name;
        bool use = !types.empty() && types != "-";
        if (!use) {
            PdfDoc *doc = nullptr;
            if (pdf_open(&doc, file.c_str(), nullptr) == 0) {
                if (PdfObject *page = pdf_page(doc, 0))
                    use = has_patterns(doc, pdf_page_attr(doc, page, "Resources"), 0);
                pdf_close(doc);
            }
        }
        if (use)
            out.push_back(file);
    }
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace testsupport

// Opening PDFs with many pages: the page tree walk and page array must grow
// linearly with the page count. Generated files with a balanced tree (ten kids
// per node, as common writers make), compared with `qpdf --show-npages`.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench_support.h"
#include "pdf/document.h"
#include "pdf/pages.h"

namespace {

// A PDF of n pages sharing one content stream, with a classic xref table.
// Objects: 1 catalogue, 2 content, 3..n+2 pages, then the tree nodes.
std::string many_pages_pdf(int n, int fanout = 10)
{
    std::vector<int> parent(size_t(n) + 3, 0);
    std::map<int, std::vector<int>> kids;
    std::vector<int> level;
    for (int i = 0; i < n; i++)
        level.push_back(3 + i);
    int next = n + 3;
    do {
        std::vector<int> up;
        for (size_t i = 0; i < level.size(); i += size_t(fanout)) {
            int node = next++;
            parent.resize(size_t(next), 0);
            for (size_t k = i; k < level.size() && k < i + size_t(fanout); k++) {
                kids[node].push_back(level[k]);
                parent[size_t(level[k])] = node;
            }
            up.push_back(node);
        }
        level = up;
    } while (level.size() > 1);
    const int root = level[0];
    std::vector<int> count(size_t(next), 0);  // pages below each node (nodes are numbered bottom-up)
    for (int i = 3; i < n + 3; i++)
        count[size_t(i)] = 1;
    for (auto &[node, list] : kids)
        for (int k : list)
            count[size_t(node)] += count[size_t(k)];

    std::string pdf = "%PDF-1.4\n";
    std::vector<size_t> offsets(size_t(next), 0);
    auto object = [&](int num, const std::string &body) {
        offsets[size_t(num)] = pdf.size();
        pdf += std::to_string(num) + " 0 obj\n" + body + "\nendobj\n";
    };
    object(1, "<< /Type /Catalog /Pages " + std::to_string(root) + " 0 R >>");
    const std::string content = "0 0 m 100 100 l S";
    object(2, "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content +
                  "\nendstream");
    for (int i = 3; i < n + 3; i++)
        object(i, "<< /Type /Page /Parent " + std::to_string(parent[size_t(i)]) +
                      " 0 R /MediaBox [0 0 612 792] /Contents 2 0 R >>");
    for (int node = n + 3; node < next; node++) {
        std::string body = "<< /Type /Pages /Count " + std::to_string(count[size_t(node)]);
        if (node != root)
            body += " /Parent " + std::to_string(parent[size_t(node)]) + " 0 R";
        body += " /Kids [";
        for (int k : kids[node])
            body += std::to_string(k) + " 0 R ";
        object(node, body + "] >>");
    }
    size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(next) + "\n0000000000 65535 f \n";
    char entry[24];
    for (int i = 1; i < next; i++) {
        std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offsets[size_t(i)]);
        pdf += entry;
    }
    pdf += "trailer\n<< /Size " + std::to_string(next) + " /Root 1 0 R >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

// The generated file for n pages, written once into the build folder.
std::string many_pages_file(int n)
{
    std::string path = std::string(PAGRIX_BINARY_DIR) + "/pages_" + std::to_string(n) + ".pdf";
    if (FILE *f = std::fopen(path.c_str(), "wb")) {
        std::string pdf = many_pages_pdf(n);
        std::fwrite(pdf.data(), 1, pdf.size(), f);
        std::fclose(f);
    }
    return path;
}

// Opens the file, touches every page's box and rotation, closes it.
int open_and_measure(const std::string &path)
{
    PdfDoc *doc = nullptr;
    if (pdf_open(&doc, path.c_str(), nullptr) != 0)
        return -1;
    int n = pdf_page_count(doc);
    float area = 0;
    for (int i = 0; i < n; i++) {
        PdfBox box;
        pdf_page_box(doc, pdf_page(doc, i), &box);
        area += (box.x1 - box.x0) * float(pdf_page_rotate(doc, pdf_page(doc, i)) + 1);
    }
    benchmark::DoNotOptimize(area);
    pdf_close(doc);
    return n;
}

void BM_OpenManyPages(benchmark::State &state)
{
    const int n = int(state.range(0));
    const std::string path = many_pages_file(n);
    for (auto _ : state) {
        if (open_and_measure(path) != n) {
            state.SkipWithError("wrong page count");
            break;
        }
    }
    state.SetComplexityN(n);
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_OpenManyPages)
    ->Arg(1000)
    ->Arg(2000)
    ->Arg(4000)
    ->Arg(8000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

std::string g_pages_10000;

const std::string &pages_10000()
{
    if (g_pages_10000.empty())
        g_pages_10000 = many_pages_file(10000);
    return g_pages_10000;
}

BENCH_COMPARISON(
    pages_10000_vs_qpdf, [] { open_and_measure(pages_10000()); },
    [] { benchsupport::run_command("qpdf --show-npages " + pages_10000() + " >/dev/null"); });

}  // namespace

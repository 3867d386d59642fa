// Opening a PDF (cross-reference, trailer, page tree) and counting its pages:
// our pdf_open beside `qpdf --show-npages` on the largest corpus PDF, or on a
// generated document of many pages in object streams when the corpus is absent.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <zlib.h>

#include "bench_support.h"
#include "pdf/document.h"
#include "pdf/pages.h"

namespace {

namespace fs = std::filesystem;

std::string deflate_text(const std::string &s)
{
    uLongf n = compressBound(uLong(s.size()));
    std::string out(n, '\0');
    compress2(reinterpret_cast<Bytef *>(out.data()), &n, reinterpret_cast<const Bytef *>(s.data()), uLong(s.size()), 6);
    out.resize(n);
    return out;
}

// 5000 pages in a balanced tree, all objects in one object stream, with a
// cross-reference stream.
std::string generate_document(const std::string &path)
{
    const int pages = 5000, per_node = 50, nodes = pages / per_node;
    // objects: 1 catalogue, 2 root, 3..3+nodes-1 nodes, then the pages
    std::string head, body;
    auto add = [&](int num, const std::string &text) {
        head += std::to_string(num) + " " + std::to_string(body.size()) + " ";
        body += text + "\n";
    };
    add(1, "<< /Type /Catalog /Pages 2 0 R >>");
    std::string kids;
    for (int i = 0; i < nodes; i++)
        kids += std::to_string(3 + i) + " 0 R ";
    add(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) + " /MediaBox [0 0 612 792] >>");
    const int first_page = 3 + nodes;
    for (int i = 0; i < nodes; i++) {
        std::string k;
        for (int j = 0; j < per_node; j++)
            k += std::to_string(first_page + i * per_node + j) + " 0 R ";
        add(3 + i, "<< /Type /Pages /Parent 2 0 R /Kids [" + k + "] /Count " + std::to_string(per_node) + " >>");
    }
    for (int p = 0; p < pages; p++)
        add(first_page + p, "<< /Type /Page /Parent " + std::to_string(3 + p / per_node) + " 0 R >>");
    const int count = first_page + pages, objstm = count, xref = count + 1;
    std::string data = deflate_text(head + body);
    std::string file = "%PDF-1.5\n";
    int64_t objstm_at = int64_t(file.size());
    file += std::to_string(objstm) + " 0 obj\n<< /Type /ObjStm /N " + std::to_string(count - 1) + " /First " +
            std::to_string(head.size()) + " /Filter /FlateDecode /Length " + std::to_string(data.size()) +
            " >>\nstream\n" + data + "\nendstream\nendobj\n";
    int64_t xref_at = int64_t(file.size());
    std::string rows;
    auto row = [&](int type, int64_t a, int b) {
        rows += char(type);
        for (int s = 24; s >= 0; s -= 8)
            rows += char((a >> s) & 0xFF);
        rows += char((b >> 8) & 0xFF);
        rows += char(b & 0xFF);
    };
    row(0, 0, 0xFFFF);
    for (int n = 1; n < count; n++)
        row(2, objstm, n - 1);
    row(1, objstm_at, 0);
    row(1, xref_at, 0);
    std::string packed = deflate_text(rows);
    file += std::to_string(xref) + " 0 obj\n<< /Type /XRef /W [1 4 2] /Size " + std::to_string(xref + 1) +
            " /Root 1 0 R /Filter /FlateDecode /Length " + std::to_string(packed.size()) + " >>\nstream\n" + packed +
            "\nendstream\nendobj\nstartxref\n" + std::to_string(xref_at) + "\n%%EOF\n";
    std::ofstream(path, std::ios::binary) << file;
    return path;
}

// The largest PDF of the corpus, or a generated one.
const std::string &bench_file()
{
    static std::string path;
    if (!path.empty())
        return path;
    const char *env = std::getenv("PAGRIX_CORPUS");
    std::string corpus = env && *env ? env : benchsupport::corpus_dir();
    std::error_code ec;
    uintmax_t best = 0;
    if (!corpus.empty()) {
        for (const auto &e : fs::directory_iterator(fs::path(corpus) / "pdf", ec)) {
            if (e.path().extension() == ".pdf" && e.file_size(ec) > best) {
                best = e.file_size(ec);
                path = e.path().string();
            }
        }
    }
    if (path.empty())
        path = generate_document(std::string(PAGRIX_BINARY_DIR) + "/bench_open.pdf");
    std::fprintf(stderr, "open bench file: %s\n", path.c_str());
    return path;
}

int open_and_count()
{
    PdfDoc *doc = nullptr;
    int pages = -1;
    if (pdf_open(&doc, bench_file().c_str(), nullptr) == 0)
        pages = pdf_page_count(doc);
    pdf_close(doc);
    return pages;
}

void BM_OpenAndCountPages(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(open_and_count());
}
BENCHMARK(BM_OpenAndCountPages)->Unit(benchmark::kMillisecond);

BENCH_COMPARISON(
    pdf_open_vs_qpdf_npages, [] { open_and_count(); },
    [] { benchsupport::run_command("qpdf --show-npages '" + bench_file() + "' > /dev/null 2>&1"); });

}  // namespace

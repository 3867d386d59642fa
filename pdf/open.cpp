// Opening and closing a PDF file: header, cross-reference chain or repair,
// object cache, security set-up and page list, in a fixed order whose result
// codes the document layer passes on to the user.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "pdf/arena.h"
#include "pdf/document.h"
#include "pdf/limits.h"
#include "pdf/pages.h"
#include "pdf/reader.h"
#include "pdf/security.h"
#include "pdf/xref.h"

namespace {

// Size of the file through a second handle from the same open function; -1
// when it cannot be opened or measured.
int64_t measure_file(const char *path)
{
    FILE *f = reader_fopen(path);
    if (!f)
        return -1;
    int64_t size = -1;
#ifdef _WIN32
    if (_fseeki64(f, 0, SEEK_END) == 0)
        size = _ftelli64(f);
#else
    if (fseeko(f, 0, SEEK_END) == 0)
        size = int64_t(ftello(f));
#endif
    std::fclose(f);
    return size;
}

// Security and page list (run again after a late repair).
int load_document(PdfDoc *doc, const char *password)
{
    doc->fetch_depth = 0;
    doc->page_count = 0;
    doc->pages = nullptr;
    int rc = pdf_setup_security(doc, password);
    if (rc == 0)
        rc = pdf_repair_object_streams(doc);
    if (rc != 0)
        return rc;
    return pdf_load_pages(doc);
}

// A readable table without pages: rebuild it by scanning once. When the scan
// fails the document keeps its earlier state.
int repair_for_pages(PdfDoc *doc, const char *password)
{
    PdfDoc saved = *doc;
    doc->trailer = nullptr;
    doc->catalog = nullptr;
    doc->pages = nullptr;
    doc->crypt = nullptr;
    doc->encrypt_num = 0;
    doc->decrypt_object = nullptr;
    doc->decrypt_stream = nullptr;
    if (pdf_repair(doc) != 0) {
        doc->trailer = saved.trailer;
        doc->catalog = saved.catalog;
        doc->pages = saved.pages;
        doc->crypt = saved.crypt;
        doc->encrypt_num = saved.encrypt_num;
        doc->decrypt_object = saved.decrypt_object;
        doc->decrypt_stream = saved.decrypt_stream;
        return 0;
    }
    doc->repaired = 1;
    return load_document(doc, password);
}

}  // namespace

int pdf_open(PdfDoc **out, const char *path, const char *password)
{
    if (!out)
        return -1;
    *out = nullptr;
    Arena *arena = arena_create(0);
    if (!arena)
        return -3;
    auto *doc = static_cast<PdfDoc *>(arena_alloc(arena, sizeof(PdfDoc)));
    if (!doc) {
        arena_destroy(arena);
        return -3;
    }
    doc->arena = arena;
    std::strcpy(doc->version, "?");
    doc->path = path ? reinterpret_cast<char *>(arena_copy(arena, path, std::strlen(path))) : nullptr;
    doc->file = doc->path ? reader_open_file(doc->path) : nullptr;
    if (!doc->file) {
        pdf_close(doc);
        return -1;
    }
    doc->file_size = measure_file(doc->path);
    if (doc->file_size < 0) {
        pdf_close(doc);
        return -1;
    }
    pdf_read_header(doc);
    if (pdf_read_xref_chain(doc) != 0) {
        int rc = pdf_repair(doc);
        if (rc != 0) {
            pdf_close(doc);
            return rc;
        }
        doc->repaired = 1;
    }
    int rc = load_document(doc, password);
    if (rc == 0 && doc->page_count == 0 && !doc->repaired)
        rc = repair_for_pages(doc, password);
    if (rc != 0) {
        pdf_close(doc);
        return rc;
    }
    // Last resort for a repaired file without a page tree: loose Page objects.
    if (doc->page_count == 0 && doc->repaired && pdf_collect_loose_pages(doc) != 0) {
        pdf_close(doc);
        return -3;
    }
    *out = doc;
    return 0;
}

void pdf_close(PdfDoc *doc)
{
    if (!doc)
        return;
    if (doc->fonts_free)
        doc->fonts_free(doc);
    if (doc->scanned) {
        xref_accum_free(doc->scanned);
        std::free(doc->scanned);
    }
    reader_close(doc->file);
    arena_destroy(doc->arena);
}

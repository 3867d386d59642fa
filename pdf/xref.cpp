// Header version, startxref, and the chain of cross-reference sections
// (PDF Reference 1.7, sections 3.4.3-3.4.7): classic tables, cross-reference
// streams, hybrid files with XRefStm, and incremental updates through Prev.
#include "pdf/xref.h"

#include <cstdlib>
#include <cstring>

#include "pdf/arena.h"
#include "pdf/limits.h"
#include "pdf/reader.h"
#include "pdf/stream.h"

// ---- Accumulator ----

namespace {

// The entry for `num`, allocating its chunk; null when memory is short or the
// number is out of range.
XrefEntry *accum_entry(XrefAccum *acc, int num)
{
    if (num < 0 || num > PDF_MAX_OBJNUM)
        return nullptr;
    const int k = num / PDF_XREF_CHUNK;
    if (k >= acc->chunk_count) {
        int count = acc->chunk_count ? acc->chunk_count : 16;
        while (count <= k)
            count *= 2;
        auto *grown = static_cast<XrefEntry **>(std::realloc(acc->chunks, size_t(count) * sizeof(XrefEntry *)));
        if (!grown) {
            acc->failed = 1;
            return nullptr;
        }
        std::memset(grown + acc->chunk_count, 0, size_t(count - acc->chunk_count) * sizeof(XrefEntry *));
        acc->chunks = grown;
        acc->chunk_count = count;
    }
    if (!acc->chunks[k]) {
        acc->chunks[k] = static_cast<XrefEntry *>(std::calloc(PDF_XREF_CHUNK, sizeof(XrefEntry)));
        if (!acc->chunks[k]) {
            acc->failed = 1;
            return nullptr;
        }
    }
    if (num >= acc->size)
        acc->size = num + 1;
    return &acc->chunks[k][num % PDF_XREF_CHUNK];
}

bool entry_defined(const XrefEntry &e) { return e.offset != 0 || e.gen != 0 || e.type != 0; }

}  // namespace

XrefEntry *xref_accum_get(const XrefAccum *acc, int num)
{
    if (num < 0 || num / PDF_XREF_CHUNK >= acc->chunk_count || !acc->chunks[num / PDF_XREF_CHUNK])
        return nullptr;
    return &acc->chunks[num / PDF_XREF_CHUNK][num % PDF_XREF_CHUNK];
}

void xref_accum_set(XrefAccum *acc, int num, int32_t offset, int32_t gen, int32_t type)
{
    XrefEntry *e = accum_entry(acc, num);
    if (e && !entry_defined(*e))
        *e = XrefEntry{offset, gen, type};
}

void xref_accum_overwrite(XrefAccum *acc, int num, int32_t offset, int32_t gen, int32_t type)
{
    XrefEntry *e = accum_entry(acc, num);
    if (e)
        *e = XrefEntry{offset, gen, type};
}

void xref_accum_free(XrefAccum *acc)
{
    for (int k = 0; k < acc->chunk_count; k++)
        std::free(acc->chunks[k]);
    std::free(acc->chunks);
    *acc = XrefAccum{};
}

int xref_accum_commit(XrefAccum *acc, PdfDoc *doc)
{
    const int chunks = acc->size > 0 ? (acc->size - 1) / PDF_XREF_CHUNK + 1 : 0;
    auto *table = static_cast<XrefSlot **>(arena_alloc(doc->arena, size_t(chunks ? chunks : 1) * sizeof(XrefSlot *)));
    if (!table) {
        xref_accum_free(acc);
        return -3;
    }
    std::memset(table, 0, size_t(chunks) * sizeof(XrefSlot *));
    for (int k = 0; k < chunks; k++) {
        if (!acc->chunks[k])
            continue;
        auto *slots = static_cast<XrefSlot *>(arena_alloc(doc->arena, PDF_XREF_CHUNK * sizeof(XrefSlot)));
        if (!slots) {
            xref_accum_free(acc);
            return -3;
        }
        std::memset(slots, 0, PDF_XREF_CHUNK * sizeof(XrefSlot));
        for (int i = 0; i < PDF_XREF_CHUNK; i++)
            slots[i].entry = acc->chunks[k][i];
        table[k] = slots;
    }
    doc->xref = table;
    doc->xref_chunks = chunks;
    doc->xref_size = acc->size;
    xref_accum_free(acc);
    return 0;
}

// ---- The document's table ----

XrefSlot *pdf_xref_slot(const PdfDoc *doc, int num)
{
    if (!doc || num < 0 || num >= doc->xref_size || !doc->xref[num / PDF_XREF_CHUNK])
        return nullptr;
    return &doc->xref[num / PDF_XREF_CHUNK][num % PDF_XREF_CHUNK];
}

int pdf_xref_next(const PdfDoc *doc, int num)
{
    if (!doc || num < 0)
        return -1;
    for (; num < doc->xref_size; num++) {
        const XrefSlot *chunk = doc->xref[num / PDF_XREF_CHUNK];
        if (!chunk) {
            num = (num / PDF_XREF_CHUNK + 1) * PDF_XREF_CHUNK - 1;  // the loop steps to the next chunk
            continue;
        }
        if (entry_defined(chunk[num % PDF_XREF_CHUNK].entry))
            return num;
    }
    return -1;
}

int pdf_xref_define(PdfDoc *doc, int num, const XrefEntry &entry)
{
    if (num < 0 || num > PDF_MAX_OBJNUM)
        return -3;
    const int k = num / PDF_XREF_CHUNK;
    if (k >= doc->xref_chunks) {
        int count = doc->xref_chunks ? doc->xref_chunks : 1;
        while (count <= k)
            count *= 2;
        auto *grown = static_cast<XrefSlot **>(arena_alloc(doc->arena, size_t(count) * sizeof(XrefSlot *)));
        if (!grown)
            return -3;
        std::memset(grown, 0, size_t(count) * sizeof(XrefSlot *));
        if (doc->xref_chunks)
            std::memcpy(grown, doc->xref, size_t(doc->xref_chunks) * sizeof(XrefSlot *));
        doc->xref = grown;
        doc->xref_chunks = count;
    }
    if (!doc->xref[k]) {
        auto *slots = static_cast<XrefSlot *>(arena_alloc(doc->arena, PDF_XREF_CHUNK * sizeof(XrefSlot)));
        if (!slots)
            return -3;
        std::memset(slots, 0, PDF_XREF_CHUNK * sizeof(XrefSlot));
        doc->xref[k] = slots;
    }
    if (num >= doc->xref_size)
        doc->xref_size = num + 1;
    XrefSlot &slot = doc->xref[k][num % PDF_XREF_CHUNK];
    if (!entry_defined(slot.entry))
        slot.entry = entry;
    return 0;
}

// ---- Header and startxref ----

namespace {

// Reads up to n bytes at offset into buf; the count read (0 on failure).
int read_at(ByteReader *r, int64_t offset, uint8_t *buf, int n)
{
    if (reader_seek(r, offset) != 0)
        return 0;
    return reader_read(r, buf, n);
}

}  // namespace

void pdf_read_header(PdfDoc *doc)
{
    std::strcpy(doc->version, "?");
    uint8_t buf[PDF_HEADER_SCAN];
    int n = read_at(doc->file, 0, buf, PDF_HEADER_SCAN);
    if (n < 8)
        return;
    for (int p = 0; p + 8 <= n; p++) {
        if (std::memcmp(buf + p, "%PDF-", 5) != 0)
            continue;
        int k = 0;
        for (int i = p + 5; i < n && k < PDF_MAX_VERSION_CHARS; i++) {
            if (!((buf[i] >= '0' && buf[i] <= '9') || buf[i] == '.'))
                break;
            doc->version[k++] = char(buf[i]);
        }
        doc->version[k] = 0;
        if (k == 0)
            std::strcpy(doc->version, "?");
        return;
    }
}

int64_t pdf_find_startxref(PdfDoc *doc)
{
    uint8_t buf[PDF_STARTXREF_TAIL];
    int64_t start = doc->file_size > PDF_STARTXREF_TAIL ? doc->file_size - PDF_STARTXREF_TAIL : 0;
    int n = read_at(doc->file, start, buf, PDF_STARTXREF_TAIL);
    static constexpr char kWord[] = "startxref";
    constexpr int kLen = sizeof(kWord) - 1;
    for (int p = n - kLen; p >= 0; p--) {
        if (std::memcmp(buf + p, kWord, kLen) != 0)
            continue;
        int i = p + kLen;
        while (i < n && (buf[i] == '\r' || buf[i] == '\n' || buf[i] == ' ' || buf[i] == '\t'))
            i++;
        int64_t value = 0;
        int digits = 0;
        for (; i < n && buf[i] >= '0' && buf[i] <= '9'; i++, digits++) {
            if (value < (int64_t(1) << 40))
                value = value * 10 + (buf[i] - '0');
        }
        return digits ? value : -1;
    }
    return -1;
}

// ---- Sections ----

namespace {

// A classic "xref ... trailer << >>" section at offset; 0 or -2. Entry tokens
// live in a scratch arena, the trailer in the document's.
int read_classic(PdfDoc *doc, XrefAccum *acc, int64_t offset, PdfObject **trailer)
{
    if (offset < 0 || offset >= doc->file_size || reader_seek(doc->file, offset) != 0)
        return -2;
    Arena *scratch = arena_create(0);
    if (!scratch)
        return -2;
    struct Guard {
        Arena *a;
        ~Guard() { arena_destroy(a); }
    } guard{scratch};
    PdfParser p;
    pdf_parser_init(&p, doc, doc->file, scratch);
    PdfToken t;
    if (pdf_parser_token(&p, &t) < 0 || !pdf_token_is(t, "xref"))
        return -2;
    for (;;) {
        if (pdf_parser_token(&p, &t) < 0)
            return -2;
        if (pdf_token_is(t, "trailer")) {
            p.arena = doc->arena;
            if (pdf_parser_token(&p, &t) < 0 || t.kind != TOK_DICT_OPEN)
                return -2;
            *trailer = pdf_parse_object(&p, t, 0);
            return *trailer && (*trailer)->type == PDF_DICT ? 0 : -2;
        }
        PdfToken c;
        if (t.kind != TOK_INT || pdf_parser_token(&p, &c) < 0 || c.kind != TOK_INT)
            return -2;
        int64_t start = t.int_value, count = c.int_value;
        if (start < 0 || count < 0 || start + count > PDF_MAX_OBJNUM)
            return -2;
        for (int64_t i = 0; i < count; i++) {
            PdfToken off, gen, kind;
            if (pdf_parser_token(&p, &off) < 0 || off.kind != TOK_INT || pdf_parser_token(&p, &gen) < 0 ||
                gen.kind != TOK_INT || pdf_parser_token(&p, &kind) < 0 || kind.kind != TOK_KEYWORD)
                return -2;
            int type = kind.text[0] == 'n' ? 1 : 0;
            xref_accum_set(acc, int(start + i), off.int_value, gen.int_value, type);
        }
        if (acc->failed)
            return -2;
    }
}

// Big-endian unsigned field of `width` bytes.
uint32_t field(const uint8_t *p, int width)
{
    uint32_t v = 0;
    for (int i = 0; i < width; i++)
        v = (v << 8) | p[i];
    return v;
}

// Stores the rows of a decoded cross-reference stream; 0 or -2.
int store_rows(XrefAccum *acc, const uint8_t *data, int length, const int w[3], PdfDoc *doc,
               PdfObject *index, int size)
{
    const int row = w[0] + w[1] + w[2];
    PdfObject *idx = pdf_resolve(doc, index);
    int64_t at = 0;
    auto run = [&](int64_t start, int64_t count) -> bool {
        if (start < 0 || start + count > PDF_MAX_OBJNUM)
            return false;
        for (int64_t i = 0; i < count && at + row <= length; i++, at += row) {
            const uint8_t *p = data + at;
            uint32_t type = w[0] ? field(p, w[0]) : 1;
            uint32_t f2 = field(p + w[0], w[1]);
            uint32_t f3 = field(p + w[0] + w[1], w[2]);
            int num = int(start + i);
            if (type == 1)
                xref_accum_set(acc, num, int32_t(f2), int32_t(f3), 1);
            else if (type == 2)
                xref_accum_set(acc, num, int32_t(f2), int32_t(f3), 2);
            else
                xref_accum_set(acc, num, 0, int32_t(f3), 0);
        }
        return !acc->failed;
    };
    if (pdf_array_len(idx) >= 2) {
        int n = pdf_array_len(idx) / 2;
        for (int k = 0; k < n; k++) {
            int64_t start = pdf_to_int(pdf_resolve(doc, pdf_array_get(idx, 2 * k)), -1);
            int64_t count = pdf_to_int(pdf_resolve(doc, pdf_array_get(idx, 2 * k + 1)), 0);
            if (!run(start, count))
                return -2;
        }
        return 0;
    }
    return run(0, size) ? 0 : -2;
}

// A cross-reference stream at offset; 0 or -2.
int read_xref_stream(PdfDoc *doc, XrefAccum *acc, int64_t offset, PdfObject **trailer)
{
    if (offset < 0 || offset >= doc->file_size)
        return -2;
    PdfObject *stream = pdf_read_indirect(doc, offset, 0, 0);
    if (!stream || stream->type != PDF_STREAM)
        return -2;
    PdfObject *wa = pdf_dict_get_resolved(doc, stream, "W");
    int w[3];
    if (pdf_array_len(wa) < 3)
        return -2;
    for (int i = 0; i < 3; i++) {
        PdfObject *v = pdf_resolve(doc, pdf_array_get(wa, i));
        if (!pdf_is_type(v, PDF_INT) || v->integer < 0 || v->integer > 4)
            return -2;
        w[i] = v->integer;
    }
    PdfObject *size = pdf_dict_get_resolved(doc, stream, "Size");
    if (w[0] + w[1] + w[2] == 0 || !pdf_is_type(size, PDF_INT) || size->integer < 1 ||
        size->integer > PDF_MAX_OBJNUM)
        return -2;
    ByteReader *r = pdf_open_stream(doc, stream);
    if (!r)
        return -2;
    Arena *scratch = arena_create(0);
    int length = 0;
    uint8_t *data = scratch ? reader_read_all(r, scratch, 0, &length) : nullptr;
    reader_close_chain(r);
    int rc = -2;
    if (data && length >= w[0] + w[1] + w[2])
        rc = store_rows(acc, data, length, w, doc, pdf_dict_get(stream, "Index"), size->integer);
    arena_destroy(scratch);
    if (rc == 0)
        *trailer = stream->dict;
    return rc;
}

}  // namespace

int pdf_read_xref_chain(PdfDoc *doc)
{
    int64_t offset = pdf_find_startxref(doc);
    if (offset < 0)
        return -2;
    XrefAccum acc{};
    PdfObject *first_trailer = nullptr;
    for (int section = 0; offset >= 0 && section < PDF_MAX_XREF_SECTIONS; section++) {
        PdfObject *trailer = nullptr;
        if (read_classic(doc, &acc, offset, &trailer) == 0) {
            PdfObject *stm = pdf_dict_get(trailer, "XRefStm");
            if (pdf_is_type(stm, PDF_INT) && stm->integer > 0) {
                PdfObject *ignored = nullptr;
                read_xref_stream(doc, &acc, stm->integer, &ignored);
            }
        } else if (read_xref_stream(doc, &acc, offset, &trailer) != 0) {
            xref_accum_free(&acc);
            return -2;
        }
        if (!first_trailer)
            first_trailer = trailer;
        offset = pdf_to_int(pdf_dict_get(trailer, "Prev"), -1);
    }
    if (acc.size == 0) {
        xref_accum_free(&acc);
        return -2;
    }
    int rc = xref_accum_commit(&acc, doc);
    if (rc == 0)
        doc->trailer = first_trailer;
    return rc;
}

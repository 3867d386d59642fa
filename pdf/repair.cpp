// Rebuilding a damaged cross-reference table: the whole file is scanned for
// "num gen obj" headers and "trailer" keywords (the last of each wins), as
// viewers do for files whose tables are missing or wrong. Objects stored in
// object streams found by the scan are added as compressed entries.
#include <cstdlib>
#include <cstring>

#include "pdf/arena.h"
#include "pdf/limits.h"
#include "pdf/reader.h"
#include "pdf/stream.h"
#include "pdf/xref.h"

#include <vector>

namespace {

bool is_space(int c) { return pdf_is_whitespace(c); }
bool is_digit(int c) { return c >= '0' && c <= '9'; }
bool is_boundary(const uint8_t *d, int64_t i, int64_t size)
{
    return i < 0 || i >= size || pdf_is_whitespace(d[i]) || pdf_is_delimiter(d[i]);
}

// Decimal value of d[from..to), or -1 when it has more than 9 digits.
int64_t decimal(const uint8_t *d, int64_t from, int64_t to)
{
    if (to - from > 9)
        return -1;
    int64_t v = 0;
    for (int64_t i = from; i < to; i++)
        v = v * 10 + (d[i] - '0');
    return v;
}

// "num gen obj" ending just before position i: records the entry and
// returns the number, or -1.
int scan_object_header(XrefAccum *acc, const uint8_t *d, int64_t i)
{
    int64_t j = i - 1;
    while (j >= 0 && is_space(d[j]))
        j--;
    int64_t gen_end = j + 1;
    while (j >= 0 && is_digit(d[j]))
        j--;
    int64_t gen_start = j + 1;
    if (gen_start == gen_end)
        return -1;
    while (j >= 0 && is_space(d[j]))
        j--;
    int64_t num_end = j + 1;
    if (num_end == gen_start)
        return -1;  // no whitespace between the two numbers
    while (j >= 0 && is_digit(d[j]))
        j--;
    int64_t num_start = j + 1;
    if (num_start == num_end || !is_boundary(d, j, i))
        return -1;
    int64_t num = decimal(d, num_start, num_end);
    int64_t gen = decimal(d, gen_start, gen_end);
    if (num < 0 || num > PDF_MAX_OBJNUM || gen < 0 || num_start > INT32_MAX)
        return -1;
    xref_accum_overwrite(acc, int(num), int32_t(num_start), int32_t(gen), 1);
    return int(num);
}

// Adds the objects of object stream `num` as compressed entries where the
// scan found no plain definition.
void add_object_stream(PdfDoc *doc, XrefAccum *acc, int num)
{
    if (num >= acc->size || acc->entries[num].type != 1)
        return;
    PdfObject *stream = pdf_read_indirect(doc, acc->entries[num].offset, num, 0);
    int n = pdf_to_int(pdf_dict_get(stream, "N"), 0);
    int first = pdf_to_int(pdf_dict_get(stream, "First"), -1);
    if (!pdf_is_type(stream, PDF_STREAM) || n < 1 || n > PDF_OBJSTM_MAX_N || first < 0)
        return;
    ByteReader *r = pdf_open_stream(doc, stream);
    Arena *scratch = arena_create(0);
    int length = 0;
    uint8_t *data = r && scratch ? reader_read_all(r, scratch, 0, &length) : nullptr;
    reader_close_chain(r);
    auto *pairs = data && length > first
                      ? static_cast<int32_t *>(arena_alloc(scratch, sizeof(int32_t) * 2 * size_t(n)))
                      : nullptr;
    int count = pairs ? pdf_objstm_read_pairs(doc, data, first, n, pairs) : 0;
    for (int i = 0; i < count; i++) {
        if (pairs[2 * i] >= 0 && pairs[2 * i] != num)
            xref_accum_set(acc, pairs[2 * i], num, i, 2);
    }
    arena_destroy(scratch);
}

// The whole file in a heap buffer: 0, -1 or -3.
int read_whole_file(PdfDoc *doc, uint8_t **out)
{
    *out = nullptr;
    if (reader_seek(doc->file, 0) != 0)
        return -1;
    auto *data = static_cast<uint8_t *>(std::malloc(size_t(doc->file_size) + 1));
    if (!data)
        return -3;
    int64_t got = 0;
    while (got < doc->file_size) {
        int64_t want = doc->file_size - got;
        int n = reader_read(doc->file, data + got, want > (1 << 20) ? (1 << 20) : int(want));
        if (n <= 0)
            break;
        got += n;
    }
    doc->file_size = got;  // a file that shrank is scanned as it is now
    *out = data;
    return 0;
}

}  // namespace

int pdf_repair(PdfDoc *doc)
{
    if (doc->file_size < 0 || doc->file_size > PDF_REPAIR_MAX)
        return -5;
    uint8_t *d = nullptr;
    int rc = read_whole_file(doc, &d);
    if (rc != 0)
        return rc;
    const int64_t size = doc->file_size;
    XrefAccum acc{};
    int64_t trailer_at = -1;
    int last_num = -1;
    std::vector<int> object_streams;  // objects whose dictionary names /ObjStm
    for (int64_t i = 0; i + 3 <= size; i++) {
        if (d[i] == 'o' && d[i + 1] == 'b' && d[i + 2] == 'j' &&
            (i + 3 == size || pdf_is_whitespace(d[i + 3]) || pdf_is_delimiter(d[i + 3]))) {
            last_num = scan_object_header(&acc, d, i);
        } else if (d[i] == 't' && i + 7 <= size && std::memcmp(d + i, "trailer", 7) == 0) {
            trailer_at = i;
        } else if (d[i] == '/' && last_num >= 0 && i + 7 <= size && std::memcmp(d + i, "/ObjStm", 7) == 0 &&
                   is_boundary(d, i + 7, size)) {
            if (object_streams.empty() || object_streams.back() != last_num) {
                try {
                    object_streams.push_back(last_num);
                } catch (...) {
                    acc.failed = 1;
                }
            }
        }
    }
    std::free(d);
    // Later streams first, so that a newer copy of an object wins.
    for (auto it = object_streams.rbegin(); it != object_streams.rend() && !acc.failed; ++it)
        add_object_stream(doc, &acc, *it);
    if (acc.failed) {
        xref_accum_free(&acc);
        return -3;
    }
    if (acc.size == 0) {
        xref_accum_free(&acc);
        return -2;
    }
    PdfObject *trailer = nullptr;
    if (trailer_at >= 0 && reader_seek(doc->file, trailer_at + 7) == 0) {
        PdfParser p;
        pdf_parser_init(&p, doc, doc->file, doc->arena);
        PdfToken t;
        if (pdf_parser_token(&p, &t) == 0 && t.kind == TOK_DICT_OPEN)
            trailer = pdf_parse_object(&p, t, 0);
    }
    if (!trailer || trailer->type != PDF_DICT)
        trailer = pdf_new_dict(doc->arena);
    if (!trailer) {
        xref_accum_free(&acc);
        return -3;
    }
    rc = xref_accum_commit(&acc, doc);
    if (rc == 0)
        doc->trailer = trailer;
    return rc;
}

// Rebuilding a damaged cross-reference table: the whole file is scanned for
// "num gen obj" headers (the last definition wins) and for trailers, both
// "trailer" keywords and cross-reference stream dictionaries. Objects stored
// in object streams found by the scan are added as compressed entries once
// the security handler is set up, since those streams may be encrypted.
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
// scan found no plain definition. The document's table must equal `acc` for
// the numbers it has.
void add_object_stream(PdfDoc *doc, XrefAccum *acc, int num)
{
    if (num >= acc->size || acc->entries[num].type != 1)
        return;
    // Fetched through the table, so that the stream is decrypted like any other.
    PdfObject *stream = pdf_fetch(doc, num, acc->entries[num].gen);
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

// Where a trailer may be: after a "trailer" keyword, or the dictionary of a
// cross-reference stream whose object header is at `at`.
struct TrailerSpot {
    int64_t at;
    int num;  // -1 for a "trailer" keyword
};

// The trailer dictionary at a spot, or null.
PdfObject *read_trailer_at(PdfDoc *doc, const TrailerSpot &spot)
{
    if (spot.num >= 0) {
        PdfObject *obj = pdf_read_indirect(doc, spot.at, spot.num, 0);
        PdfObject *dict = pdf_is_type(obj, PDF_STREAM) ? obj->dict : obj;
        return pdf_is_type(dict, PDF_DICT) && pdf_is_name(pdf_dict_get(dict, "Type"), "XRef") ? dict : nullptr;
    }
    if (reader_seek(doc->file, spot.at + 7) != 0)
        return nullptr;
    PdfParser p;
    pdf_parser_init(&p, doc, doc->file, doc->arena);
    PdfToken t;
    if (pdf_parser_token(&p, &t) != 0 || t.kind != TOK_DICT_OPEN)
        return nullptr;
    PdfObject *trailer = pdf_parse_object(&p, t, 0);
    return pdf_is_type(trailer, PDF_DICT) ? trailer : nullptr;
}

// The last trailer in the file, completed from earlier ones: an update or a
// linearized file's main section often repeats only Size, and dropping the
// Root, Encrypt, ID or Info given before it would lose the document or serve
// encrypted data as plain. Null when no trailer can be read.
PdfObject *merge_trailers(PdfDoc *doc, const std::vector<TrailerSpot> &spots)
{
    static constexpr const char *kCarried[] = {"Root", "Encrypt", "ID", "Info"};
    PdfObject *merged = nullptr;
    auto missing = [&merged](const char *key) {
        PdfObject *have = pdf_dict_get(merged, key);
        return !have || have->type == PDF_NULL;
    };
    int read = 0;
    for (auto it = spots.rbegin(); it != spots.rend() && read < PDF_REPAIR_TRAILERS; ++it) {
        if (merged && !missing("Root") && !missing("Encrypt") && !missing("ID") && !missing("Info"))
            break;
        PdfObject *t = read_trailer_at(doc, *it);
        read++;
        if (!t)
            continue;
        if (!merged) {
            merged = pdf_new_dict(doc->arena);
            for (int i = 0; merged && i < t->count; i++)
                if (pdf_dict_put(doc->arena, merged, t->entries[i].key, t->entries[i].value) != 0)
                    return nullptr;
            continue;
        }
        for (const char *key : kCarried) {
            PdfObject *value = pdf_dict_get(t, key);
            if (value && value->type != PDF_NULL && missing(key) &&
                pdf_dict_put(doc->arena, merged, key, value) != 0)
                return nullptr;
        }
    }
    return merged;
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
    int last_num = -1;
    int64_t last_header = -1;
    std::vector<int> object_streams;   // objects whose dictionary names /ObjStm
    std::vector<TrailerSpot> trailers;  // in file order
    auto note = [&acc](auto &list, auto value) {
        try {
            list.push_back(value);
        } catch (...) {
            acc.failed = 1;
        }
    };
    for (int64_t i = 0; i + 3 <= size; i++) {
        if (d[i] == 'o' && d[i + 1] == 'b' && d[i + 2] == 'j' &&
            (i + 3 == size || pdf_is_whitespace(d[i + 3]) || pdf_is_delimiter(d[i + 3]))) {
            last_num = scan_object_header(&acc, d, i);
            last_header = last_num >= 0 ? acc.entries[last_num].offset : -1;
        } else if (d[i] == 't' && i + 7 <= size && std::memcmp(d + i, "trailer", 7) == 0) {
            note(trailers, TrailerSpot{i, -1});
        } else if (d[i] == '/' && last_num >= 0 && i + 7 <= size && std::memcmp(d + i, "/ObjStm", 7) == 0 &&
                   is_boundary(d, i + 7, size)) {
            if (object_streams.empty() || object_streams.back() != last_num)
                note(object_streams, last_num);
        } else if (d[i] == '/' && last_num >= 0 && i + 5 <= size && std::memcmp(d + i, "/XRef", 5) == 0 &&
                   is_boundary(d, i + 5, size)) {
            if (trailers.empty() || trailers.back().at != last_header)
                note(trailers, TrailerSpot{last_header, last_num});
        }
    }
    std::free(d);
    if (acc.failed) {
        xref_accum_free(&acc);
        return -3;
    }
    if (acc.size == 0) {
        xref_accum_free(&acc);
        return -2;
    }
    PdfObject *trailer = merge_trailers(doc, trailers);
    if (!trailer)
        trailer = pdf_new_dict(doc->arena);
    auto *streams = object_streams.empty()
                        ? nullptr
                        : static_cast<int *>(arena_alloc(doc->arena, object_streams.size() * sizeof(int)));
    if (!trailer || (!object_streams.empty() && !streams)) {
        xref_accum_free(&acc);
        return -3;
    }
    if (streams)
        std::memcpy(streams, object_streams.data(), object_streams.size() * sizeof(int));
    rc = xref_accum_commit(&acc, doc);
    if (rc == 0) {
        doc->trailer = trailer;
        doc->repair_objstms = streams;
        doc->repair_objstm_count = int(object_streams.size());
    }
    return rc;
}

int pdf_repair_object_streams(PdfDoc *doc)
{
    const int count = doc->repair_objstm_count;
    const int *streams = doc->repair_objstms;
    doc->repair_objstm_count = 0;
    doc->repair_objstms = nullptr;
    if (count <= 0 || !streams)
        return 0;
    XrefAccum acc{};
    if (!xref_accum_reserve(&acc, doc->xref_size - 1)) {
        xref_accum_free(&acc);
        return -3;
    }
    std::memcpy(acc.entries, doc->xref, size_t(doc->xref_size) * sizeof(XrefEntry));
    acc.size = doc->xref_size;
    // Later streams first, so that a newer copy of an object wins.
    for (int i = count - 1; i >= 0 && !acc.failed; i--)
        add_object_stream(doc, &acc, streams[i]);
    if (acc.failed) {
        xref_accum_free(&acc);
        return -3;
    }
    const int old_size = doc->xref_size;
    if (acc.size == old_size) {
        // No new numbers: the table is updated in place.
        std::memcpy(doc->xref, acc.entries, size_t(old_size) * sizeof(XrefEntry));
        xref_accum_free(&acc);
        return 0;
    }
    const size_t n = size_t(acc.size);
    auto *cache = static_cast<PdfObject **>(arena_alloc(doc->arena, n * sizeof(PdfObject *)));
    auto *loading = static_cast<uint8_t *>(arena_alloc(doc->arena, n));
    if (!cache || !loading) {
        xref_accum_free(&acc);
        return -3;
    }
    // Objects fetched so far (the Encrypt dictionary) stay cached.
    if (doc->obj_cache)
        std::memcpy(cache, doc->obj_cache, size_t(old_size) * sizeof(PdfObject *));
    if (doc->loading)
        std::memcpy(loading, doc->loading, size_t(old_size));
    if (xref_accum_commit(&acc, doc) != 0)
        return -3;
    doc->obj_cache = cache;
    doc->loading = loading;
    return 0;
}

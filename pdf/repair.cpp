// Rebuilding a damaged cross-reference table: the whole file is scanned for
// "num gen obj" headers (the last definition wins) and for trailers, both
// "trailer" keywords and cross-reference stream dictionaries. The data of a
// stream whose dictionary the scan reads are skipped, so that "obj" or
// "trailer" inside stream data (an embedded file, a content stream) is not
// taken for a definition. Objects stored in object streams found by the scan
// are added as compressed entries once the security handler is set up, since
// those streams may be encrypted.
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
// table has no definition yet; 0 or -3.
int add_object_stream(PdfDoc *doc, int num)
{
    const XrefSlot *slot = pdf_xref_slot(doc, num);
    if (!slot || slot->entry.type != 1)
        return 0;
    // Fetched through the table, so that the stream is decrypted like any other.
    PdfObject *stream = pdf_fetch(doc, num, slot->entry.gen);
    int n = pdf_to_int(pdf_dict_get(stream, "N"), 0);
    int first = pdf_to_int(pdf_dict_get(stream, "First"), -1);
    if (!pdf_is_type(stream, PDF_STREAM) || n < 1 || n > PDF_OBJSTM_MAX_N || first < 0)
        return 0;
    ByteReader *r = pdf_open_stream(doc, stream);
    if (!r)
        return 0;
    auto *pairs = static_cast<int32_t *>(std::malloc(sizeof(int32_t) * 2 * size_t(n)));
    int count = pairs ? pdf_objstm_read_pairs(doc, r, first, n, pairs) : -1;
    reader_close_chain(r);
    int rc = count < 0 ? -3 : 0;
    for (int i = 0; i < count && rc == 0; i++) {
        if (pairs[2 * i] >= 0 && pairs[2 * i] <= PDF_MAX_OBJNUM && pairs[2 * i] != num)
            rc = pdf_xref_define(doc, pairs[2 * i], XrefEntry{num, i, 2});
    }
    std::free(pairs);
    return rc;
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

// Position of "endstream" at or after `from`, or -1.
int64_t find_endstream(const uint8_t *d, int64_t from, int64_t size)
{
    for (int64_t i = from; i + 9 <= size; i++) {
        const void *e = std::memchr(d + i, 'e', size_t(size - 9 - i + 1));
        if (!e)
            return -1;
        i = static_cast<const uint8_t *>(e) - d;
        if (std::memcmp(d + i, "endstream", 9) == 0)
            return i;
    }
    return -1;
}

// What the scan of one file found besides the object headers.
struct ScanFinds {
    std::vector<int> object_streams;   // objects whose dictionary names /ObjStm
    std::vector<TrailerSpot> trailers;  // in file order
};

// The end of the stream whose keyword "stream" is at `at` and whose
// dictionary lies in [dict_from, at): just after its "endstream", or -1 when
// the data should be scanned like any other bytes. A direct Length that lands
// on "endstream" is trusted; otherwise the first "endstream" after the data
// ends it. `no_endstream_from` remembers where a search found nothing, so
// that many streams without an end cost one pass.
int64_t stream_end(const uint8_t *d, int64_t size, int64_t dict_from, int64_t at, Arena *scratch,
                   int64_t *no_endstream_from)
{
    int64_t data = at + 6;
    if (data < size && d[data] == '\r')
        data++;
    if (data < size && d[data] == '\n')
        data++;
    ByteReader *r = reader_open_memory(d + dict_from, at - dict_from);
    PdfParser p;
    pdf_parser_init(&p, nullptr, r, scratch);
    PdfObject *dict = r ? pdf_parse_next(&p) : nullptr;
    reader_close(r);
    PdfObject *length = pdf_dict_get(dict, "Length");
    if (pdf_is_type(length, PDF_INT) && length->integer >= 0 && data + length->integer <= size) {
        int64_t e = data + length->integer;
        while (e < size && pdf_is_whitespace(d[e]))
            e++;
        if (e + 9 <= size && std::memcmp(d + e, "endstream", 9) == 0)
            return e + 9;
    }
    if (*no_endstream_from >= 0 && data >= *no_endstream_from)
        return -1;
    int64_t e = find_endstream(d, data, size);
    if (e < 0) {
        *no_endstream_from = data;
        return -1;
    }
    return e + 9;
}

// The scan behind pdf_repair and pdf_scan_objects: 0, -1, -2, -3 or -5.
int scan_file(PdfDoc *doc, XrefAccum *acc, ScanFinds *finds)
{
    if (doc->file_size < 0 || doc->file_size > PDF_REPAIR_MAX)
        return -5;
    uint8_t *d = nullptr;
    int rc = read_whole_file(doc, &d);
    if (rc != 0)
        return rc;
    Arena *scratch = arena_create(0);
    if (!scratch) {
        std::free(d);
        return -3;
    }
    const int64_t size = doc->file_size;
    int last_num = -1;
    int64_t last_header = -1;
    int64_t dict_from = -1;  // just after the "obj" of the last header, until its stream
    int64_t no_endstream_from = -1;
    auto note = [acc](auto &list, auto value) {
        try {
            list.push_back(value);
        } catch (...) {
            acc->failed = 1;
        }
    };
    for (int64_t i = 0; i + 3 <= size; i++) {
        if (d[i] == 'o' && d[i + 1] == 'b' && d[i + 2] == 'j' &&
            (i + 3 == size || pdf_is_whitespace(d[i + 3]) || pdf_is_delimiter(d[i + 3]))) {
            last_num = scan_object_header(acc, d, i);
            const XrefEntry *e = last_num >= 0 ? xref_accum_get(acc, last_num) : nullptr;
            last_header = e ? e->offset : -1;
            dict_from = e ? i + 3 : -1;
        } else if (d[i] == 's' && dict_from >= 0 && i + 7 <= size && std::memcmp(d + i, "stream", 6) == 0 &&
                   (d[i + 6] == '\r' || d[i + 6] == '\n') && (pdf_is_whitespace(d[i - 1]) || d[i - 1] == '>')) {
            int64_t end = stream_end(d, size, dict_from, i, scratch, &no_endstream_from);
            dict_from = -1;
            if (end > i)
                i = end - 1;
        } else if (d[i] == 'e' && i + 6 <= size && std::memcmp(d + i, "endobj", 6) == 0) {
            dict_from = -1;  // a "stream" after this belongs to no dictionary read here
        } else if (!finds) {
            continue;
        } else if (d[i] == 't' && i + 7 <= size && std::memcmp(d + i, "trailer", 7) == 0) {
            note(finds->trailers, TrailerSpot{i, -1});
        } else if (d[i] == '/' && last_num >= 0 && i + 7 <= size && std::memcmp(d + i, "/ObjStm", 7) == 0 &&
                   is_boundary(d, i + 7, size)) {
            if (finds->object_streams.empty() || finds->object_streams.back() != last_num)
                note(finds->object_streams, last_num);
        } else if (d[i] == '/' && last_num >= 0 && i + 5 <= size && std::memcmp(d + i, "/XRef", 5) == 0 &&
                   is_boundary(d, i + 5, size)) {
            if (finds->trailers.empty() || finds->trailers.back().at != last_header)
                note(finds->trailers, TrailerSpot{last_header, last_num});
        }
    }
    std::free(d);
    arena_destroy(scratch);
    if (acc->failed)
        return -3;
    return acc->size == 0 ? -2 : 0;
}

}  // namespace

int pdf_scan_objects(PdfDoc *doc, XrefAccum *acc)
{
    int rc = scan_file(doc, acc, nullptr);
    if (rc != 0)
        xref_accum_free(acc);
    return rc;
}

int pdf_repair(PdfDoc *doc)
{
    XrefAccum acc{};
    ScanFinds finds;
    int rc = scan_file(doc, &acc, &finds);
    if (rc != 0) {
        xref_accum_free(&acc);
        return rc;
    }
    const std::vector<int> &object_streams = finds.object_streams;
    PdfObject *trailer = merge_trailers(doc, finds.trailers);
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
    // Later streams first, so that a newer copy of an object wins.
    for (int i = count - 1; i >= 0 && streams; i--) {
        if (add_object_stream(doc, streams[i]) != 0)
            return -3;
    }
    return 0;
}

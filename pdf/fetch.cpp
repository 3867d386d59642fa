// Reading indirect objects at file offsets and fetching them by number
// through the cross-reference table (PDF Reference 1.7, sections 3.2.7-3.2.9),
// with a per-number cache and guards against cycles and deep nesting.
#include <cstdlib>
#include <cstring>

#include "pdf/arena.h"
#include "pdf/document.h"
#include "pdf/limits.h"
#include "pdf/reader.h"
#include "pdf/xref.h"

namespace {

// Position of "endstream" at or after `from`, or -1. Earlier scans are
// remembered (no "endstream" starts in [endstream_from, endstream_at), and
// none at or after no_endstream_from), so that a file full of streams with
// bad lengths is read about once instead of once per stream.
int64_t find_endstream(PdfDoc *doc, int64_t from)
{
    static constexpr char kWord[] = "endstream";
    constexpr int kLen = sizeof(kWord) - 1;
    if (doc->no_endstream_from > 0 && from >= doc->no_endstream_from)
        return -1;
    if (doc->endstream_at > 0 && from >= doc->endstream_from && from <= doc->endstream_at)
        return doc->endstream_at;
    // Where a remembered range begins, the rest of the answer is known: scan
    // only until a match starting before it would have completed.
    int64_t stop = -1, known = -1;
    if (doc->endstream_at > 0 && from < doc->endstream_from) {
        stop = doc->endstream_from + kLen;
        known = doc->endstream_at;
    } else if (doc->no_endstream_from > 0) {
        stop = doc->no_endstream_from + kLen;
    }
    ByteReader *r = doc->file;
    if (reader_seek(r, from) != 0)
        return -1;
    int matched = 0;
    int64_t found = -1;
    for (int64_t pos = from; stop < 0 || pos < stop; pos++) {
        int c = reader_getc(r);
        if (c < 0)
            break;
        // "endstream" repeats only its "e" (at index 6), so after a mismatch
        // following "endstre" the match may continue as "e".
        while (matched > 0 && c != kWord[matched])
            matched = matched == 7 ? 1 : 0;
        if (c == kWord[matched] && ++matched == kLen) {
            found = pos + 1 - kLen;
            break;
        }
    }
    if (found < 0 && stop >= 0)
        found = known;
    if (found >= 0) {
        doc->endstream_from = from;
        doc->endstream_at = found;
    } else if (doc->no_endstream_from <= 0 || from < doc->no_endstream_from) {
        doc->no_endstream_from = from;
    }
    return found;
}

// Byte at an absolute offset of the file, or -1.
int byte_at(ByteReader *r, int64_t offset)
{
    if (offset < 0 || reader_seek(r, offset) != 0)
        return -1;
    return reader_getc(r);
}

// Whether "endstream" starts at `at`, after any whitespace there.
bool endstream_follows(PdfDoc *doc, int64_t at)
{
    static constexpr char kWord[] = "endstream";
    if (reader_seek(doc->file, at) != 0)
        return false;
    int c = reader_getc(doc->file);
    for (int skipped = 0; skipped < 64 && (c == ' ' || c == '\t' || c == '\r' || c == '\n' ||
                                            c == '\f' || c == 0);
         skipped++)
        c = reader_getc(doc->file);
    for (int i = 0; kWord[i]; i++, c = reader_getc(doc->file))
        if (c != kWord[i])
            return false;
    return true;
}

// Whether "endobj" starts in [from, to).
bool endobj_within(PdfDoc *doc, int64_t from, int64_t to)
{
    static constexpr char kWord[] = "endobj";
    if (reader_seek(doc->file, from) != 0)
        return false;
    int matched = 0;
    for (int64_t pos = from; pos < to + 5; pos++) {
        const int c = reader_getc(doc->file);
        if (c < 0)
            return false;
        if (c != kWord[matched])
            matched = c == kWord[0] ? 1 : 0;  // no proper prefix of "endobj" repeats inside it
        else if (++matched == 6)
            return true;
    }
    return false;
}

// Data length of a stream: the declared Length when "endstream" follows it;
// else the distance to the first "endstream" after the data, without the
// end-of-line before it. A Length that stops short of that "endstream" cuts
// the data (writers that patch a stream often leave the old Length), so the
// scan wins; the declared Length still stands when it fits the file and the
// scan finds nothing, finds "endstream" before the declared end (binary data
// may hold the word), or runs past an "endobj" (the stream's own keyword is
// missing and the one found belongs to a later object). -1 when neither
// gives a length.
int64_t stream_length(PdfDoc *doc, PdfObject *dict, int64_t data_offset)
{
    int len = pdf_to_int(pdf_resolve(doc, pdf_dict_get(dict, "Length")), -1);
    const bool fits = len >= 0 && len <= doc->file_size && data_offset + len <= doc->file_size;
    if (fits && endstream_follows(doc, data_offset + len))
        return len;
    int64_t p = find_endstream(doc, data_offset);
    if (p < 0)
        return fits ? len : -1;
    if (fits && (p < data_offset + len || endobj_within(doc, data_offset + len, p)))
        return len;
    int64_t length = p - data_offset;
    int before = p > data_offset ? byte_at(doc->file, p - 1) : -1;
    if (before == '\n') {
        length--;
        if (p - 1 > data_offset && byte_at(doc->file, p - 2) == '\r')
            length--;
    } else if (before == '\r') {
        length--;
    }
    return length;
}

// pdf_read_indirect that also reports the numbers of the "num gen obj" header
// it found (-1, -1 when there is none).
PdfObject *read_indirect(PdfDoc *doc, int64_t offset, int num, int gen, int *header_num, int *header_gen)
{
    *header_num = *header_gen = -1;
    if (!doc || !doc->file || offset <= 0 || offset >= doc->file_size)
        return nullptr;
    if (reader_seek(doc->file, offset) != 0)
        return nullptr;
    PdfParser p;
    pdf_parser_init(&p, doc, doc->file, doc->arena);
    PdfToken a, b, c;
    if (pdf_parser_token(&p, &a) < 0 || a.kind != TOK_INT || pdf_parser_token(&p, &b) < 0 ||
        b.kind != TOK_INT || pdf_parser_token(&p, &c) < 0 || !pdf_token_is(c, "obj"))
        return nullptr;
    *header_num = a.int_value;
    *header_gen = b.int_value;
    PdfObject *obj = pdf_parse_next(&p);
    if (!obj)
        return nullptr;
    PdfToken t;
    if (pdf_parser_token(&p, &t) < 0 || !pdf_token_is(t, "stream") || obj->type != PDF_DICT)
        return obj;
    // The data start after "stream" and one end-of-line (CR LF, LF or CR).
    int ch = reader_getc(doc->file);
    if (ch == '\r') {
        if (reader_peek(doc->file) == '\n')
            reader_getc(doc->file);
    } else if (ch != '\n' && ch >= 0) {
        reader_ungetc(doc->file);
    }
    int64_t data_offset = reader_tell(doc->file);
    PdfObject *stream = pdf_new_null(doc->arena);
    if (!stream)
        return nullptr;
    stream->type = PDF_STREAM;
    stream->dict = obj;
    stream->data_offset = data_offset;
    stream->num = num;
    stream->gen = gen;
    int64_t length = stream_length(doc, obj, data_offset);
    if (length < 0 || length > INT32_MAX)
        return nullptr;
    stream->data_length = int(length);
    return stream;
}

// Where the scan of the whole file found the header of object `num`, or -1.
// The scan runs on the first call only; its table stays with the document.
int64_t scanned_offset(PdfDoc *doc, int num)
{
    if (!doc->scan_done) {
        doc->scan_done = 1;
        auto *acc = static_cast<XrefAccum *>(std::calloc(1, sizeof(XrefAccum)));
        if (acc && pdf_scan_objects(doc, acc) == 0)
            doc->scanned = acc;
        else if (acc) {
            xref_accum_free(acc);
            std::free(acc);
        }
    }
    const XrefEntry *e = doc->scanned ? xref_accum_get(doc->scanned, num) : nullptr;
    return e && e->type == 1 ? e->offset : -1;
}

// Object `num` of a type 1 entry. A table offset that does not hold the
// header "num gen obj" with the entry's numbers is a damaged table (an
// update written with stale offsets, a file edited by hand): the object is
// then read where the scan found its header, as other readers do.
PdfObject *fetch_plain(PdfDoc *doc, const XrefEntry &e, int num, int gen)
{
    int hnum, hgen;
    PdfObject *obj = read_indirect(doc, e.offset, num, gen, &hnum, &hgen);
    if ((hnum == num && hgen == e.gen) || doc->repaired)
        return hnum == num ? obj : nullptr;  // a rebuilt table already holds what a scan finds
    const int64_t at = scanned_offset(doc, num);
    if (at > 0 && at != e.offset) {
        int snum, sgen;
        PdfObject *found = read_indirect(doc, at, num, gen, &snum, &sgen);
        if (snum == num)
            return found;
    }
    return hnum == num ? obj : nullptr;  // only the generation differs: the object is still its own
}

}  // namespace

PdfObject *pdf_read_indirect(PdfDoc *doc, int64_t offset, int num, int gen)
{
    int hnum, hgen;
    return read_indirect(doc, offset, num, gen, &hnum, &hgen);
}

PdfObject *pdf_fetch(PdfDoc *doc, int num, int gen)
{
    XrefSlot *slot = pdf_xref_slot(doc, num);
    if (!slot)
        return nullptr;
    if (slot->obj)
        return slot->obj;
    const XrefEntry e = slot->entry;
    if (e.type == 0)
        return nullptr;
    if (slot->loading || doc->fetch_depth > PDF_MAX_FETCH_DEPTH)
        return nullptr;
    slot->loading = 1;
    doc->fetch_depth++;
    PdfObject *obj = nullptr;
    if (e.type == 2) {
        obj = pdf_objstm_fetch(doc, e.offset, num);
    } else if (e.type == 1) {
        obj = fetch_plain(doc, e, num, gen);
        if (obj && doc->crypt && doc->decrypt_object)
            doc->decrypt_object(doc, obj, num, gen);
    }
    // Chunks never move (a growing table copies only its chunk pointers), so
    // the slot is still this object's.
    if (obj)
        slot->obj = obj;
    slot->loading = 0;
    doc->fetch_depth--;
    return obj;
}

PdfObject *pdf_resolve(PdfDoc *doc, PdfObject *obj)
{
    for (int i = 0; obj && obj->type == PDF_REF; i++) {
        if (!doc || i >= PDF_MAX_RESOLVE)
            return nullptr;
        obj = pdf_fetch(doc, obj->num, obj->gen);
    }
    return obj;
}

PdfObject *pdf_dict_get_resolved(PdfDoc *doc, const PdfObject *obj, const char *key)
{
    return pdf_resolve(doc, pdf_dict_get(obj, key));
}

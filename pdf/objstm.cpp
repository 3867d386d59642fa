// Objects stored inside object streams (PDF Reference 1.7, section 3.4.6),
// with a small round-robin cache of decoded streams.
#include "pdf/arena.h"
#include "pdf/document.h"
#include "pdf/limits.h"
#include "pdf/reader.h"
#include "pdf/stream.h"

int pdf_objstm_read_pairs(PdfDoc *doc, const uint8_t *data, int first, int n, int32_t *pairs)
{
    ByteReader *header = reader_open_memory(data, first);
    Arena *scratch = arena_create(0);
    int count = -1;
    if (header && scratch) {
        PdfParser p;
        pdf_parser_init(&p, doc, header, scratch);
        for (count = 0; count < n; count++) {
            PdfToken a, b;
            if (pdf_parser_token(&p, &a) < 0 || a.kind != TOK_INT || pdf_parser_token(&p, &b) < 0 ||
                b.kind != TOK_INT)
                break;
            pairs[2 * count] = a.int_value;
            pairs[2 * count + 1] = b.int_value;
        }
    }
    arena_destroy(scratch);
    reader_close(header);
    return count;
}

namespace {

// The slot holding stream_num, decoding and caching it when needed.
ObjStmSlot *objstm_slot(PdfDoc *doc, int stream_num)
{
    for (int i = 0; i < doc->objstm_count; i++) {
        if (doc->objstm_cache[i].stream_num == stream_num && doc->objstm_cache[i].data)
            return &doc->objstm_cache[i];
    }
    PdfObject *stream = pdf_fetch(doc, stream_num, 0);
    if (!stream || stream->type != PDF_STREAM)
        return nullptr;
    PdfObject *n = pdf_dict_get_resolved(doc, stream, "N");
    PdfObject *first = pdf_dict_get_resolved(doc, stream, "First");
    if (!pdf_is_type(n, PDF_INT) || n->integer < 1 || n->integer > PDF_OBJSTM_MAX_N ||
        !pdf_is_type(first, PDF_INT) || first->integer < 0)
        return nullptr;
    ByteReader *r = pdf_open_stream(doc, stream);
    if (!r)
        return nullptr;
    // Each slot owns its arena so that a replaced stream's bytes are freed:
    // the cache then bounds memory, whatever the access pattern.
    Arena *arena = arena_create(0);
    int length = 0;
    uint8_t *data = arena ? reader_read_all(r, arena, 0, &length) : nullptr;
    reader_close_chain(r);
    if (!data || length <= 0 || length <= first->integer) {
        arena_destroy(arena);
        return nullptr;
    }
    // The (number, offset) pairs are read once, up to the first token that
    // is not an integer, so each lookup is a scan of integers.
    auto *pairs = static_cast<int32_t *>(arena_alloc(arena, sizeof(int32_t) * 2 * size_t(n->integer)));
    int pair_count = pairs ? pdf_objstm_read_pairs(doc, data, first->integer, n->integer, pairs) : -1;
    if (pair_count < 0) {
        arena_destroy(arena);
        return nullptr;
    }
    ObjStmSlot *slot;
    if (doc->objstm_count < PDF_OBJSTM_SLOTS) {
        slot = &doc->objstm_cache[doc->objstm_count++];
    } else {
        slot = &doc->objstm_cache[doc->objstm_next % PDF_OBJSTM_SLOTS];
        doc->objstm_next = (doc->objstm_next + 1) % PDF_OBJSTM_SLOTS;
        arena_destroy(slot->arena);
    }
    *slot = ObjStmSlot{stream_num, data, length, n->integer, first->integer, arena, pairs, pair_count};
    return slot;
}

}  // namespace

PdfObject *pdf_objstm_fetch(PdfDoc *doc, int stream_num, int num)
{
    if (!doc)
        return nullptr;
    ObjStmSlot *slot = objstm_slot(doc, stream_num);
    if (!slot)
        return nullptr;
    // A copy: later fetches may replace the slot.
    const ObjStmSlot s = *slot;
    int64_t offset = -1;
    for (int i = 0; i < s.pair_count; i++) {
        if (s.pairs[2 * i] == num) {
            offset = s.pairs[2 * i + 1];
            break;
        }
    }
    if (offset < 0 || int64_t(s.first) + offset >= s.length)
        return nullptr;
    ByteReader *body = reader_open_memory(s.data + s.first + offset, s.length - s.first - offset);
    if (!body)
        return nullptr;
    PdfParser p;
    pdf_parser_init(&p, doc, body, doc->arena);
    PdfObject *obj = pdf_parse_next(&p);
    reader_close(body);
    return obj;
}

void pdf_objstm_clear(PdfDoc *doc)
{
    for (int i = 0; i < doc->objstm_count; i++)
        arena_destroy(doc->objstm_cache[i].arena);
    for (auto &slot : doc->objstm_cache)
        slot = ObjStmSlot{};
    doc->objstm_count = 0;
    doc->objstm_next = 0;
}

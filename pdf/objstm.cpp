// Objects stored inside object streams (PDF Reference 1.7, section 3.4.6).
// A stream is decoded once, front to back and only as far as its objects
// reach: the header pairs, then each object the table places in the stream,
// parsed straight from the decoder and cached. Nothing holds the decoded
// bytes, so a stream that declares far more data than its objects use costs
// neither the memory nor the time of that data.
#include <algorithm>
#include <cstdlib>
#include <new>
#include <vector>

#include "pdf/arena.h"
#include "pdf/document.h"
#include "pdf/limits.h"
#include "pdf/reader.h"
#include "pdf/stream.h"

namespace {

constexpr int64_t kNoLimit = INT64_MAX;

// A window of at most `remaining` bytes onto the reader it is chained to.
struct Window {
    int64_t remaining;
    int64_t consumed;  // bytes taken from the source
};

int window_fill(ByteReader *r, uint8_t *buffer, int capacity)
{
    auto *w = static_cast<Window *>(r->ctx);
    int want = w->remaining < capacity ? int(w->remaining) : capacity;
    if (want <= 0)
        return 0;
    int got = reader_read(r->next, buffer, want);
    w->remaining -= got;
    w->consumed += got;
    return got > 0 ? got : (r->next->failed ? -1 : 0);
}

ByteReader *open_window(ByteReader *source, int64_t length)
{
    auto *w = static_cast<Window *>(std::malloc(sizeof(Window)));
    if (w)
        *w = Window{length, 0};
    return reader_new_owning(window_fill, w, source);
}

// Reads and drops what is left of a window; the bytes it took in all.
int64_t finish_window(ByteReader *window)
{
    uint8_t sink[READER_BUFFER_SIZE];
    window->pos = window->count;
    while (reader_read(window, sink, int(sizeof sink)) > 0) {
    }
    int64_t consumed = static_cast<Window *>(window->ctx)->consumed;
    reader_close(window);  // the source stays open
    return consumed;
}

// Drops n bytes of a reader; the count dropped (short at its end).
int64_t skip_bytes(ByteReader *r, int64_t n)
{
    uint8_t sink[READER_BUFFER_SIZE];
    int64_t done = 0;
    while (done < n) {
        int want = n - done < int64_t(sizeof sink) ? int(n - done) : int(sizeof sink);
        int got = reader_read(r, sink, want);
        if (got <= 0)
            break;
        done += got;
    }
    return done;
}

// One (number, offset) pair of a stream's header.
struct Pair {
    int32_t num;
    int32_t offset;
    int order;   // position in the header
    bool first;  // the first pair for its number (that one counts)
};

// The header pairs that count, sorted by offset; false without memory.
bool sorted_pairs(const int32_t *raw, int count, std::vector<Pair> *out)
{
    try {
        out->reserve(size_t(count));
        for (int i = 0; i < count; i++)
            out->push_back(Pair{raw[2 * i], raw[2 * i + 1], i, false});
    } catch (const std::bad_alloc &) {
        return false;
    }
    std::sort(out->begin(), out->end(),
              [](const Pair &a, const Pair &b) { return a.num != b.num ? a.num < b.num : a.order < b.order; });
    for (size_t i = 0; i < out->size(); i++)
        (*out)[i].first = i == 0 || (*out)[i - 1].num != (*out)[i].num;
    std::sort(out->begin(), out->end(),
              [](const Pair &a, const Pair &b) { return a.offset != b.offset ? a.offset < b.offset : a.order < b.order; });
    return true;
}

// True when the table places `num` in stream `stream_num`.
bool placed_in(PdfDoc *doc, int num, int stream_num)
{
    const XrefSlot *slot = pdf_xref_slot(doc, num);
    return slot && slot->entry.type == 2 && slot->entry.offset == stream_num;
}

}  // namespace

int pdf_objstm_read_pairs(PdfDoc *doc, ByteReader *stream, int first, int n, int32_t *pairs)
{
    ByteReader *header = open_window(stream, first);
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
    if (header)
        finish_window(header);
    return count;
}

PdfObject *pdf_objstm_fetch(PdfDoc *doc, int stream_num, int num)
{
    if (!doc)
        return nullptr;
    XrefSlot *stream_slot = pdf_xref_slot(doc, stream_num);
    // A stream read before has cached every object it holds for the table;
    // one of those still missing failed to parse.
    if (stream_slot && stream_slot->objstm_read && placed_in(doc, num, stream_num))
        return nullptr;
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
    auto *raw = static_cast<int32_t *>(std::malloc(sizeof(int32_t) * 2 * size_t(n->integer)));
    int count = raw ? pdf_objstm_read_pairs(doc, r, first->integer, n->integer, raw) : -1;
    std::vector<Pair> pairs;
    bool ok = count >= 0 && sorted_pairs(raw, count, &pairs);
    std::free(raw);
    PdfObject *result = nullptr;
    int64_t pos = r->failed ? kNoLimit : first->integer;  // decoded bytes consumed so far
    int64_t last_offset = -1;
    PdfObject *last_obj = nullptr;
    bool complete = ok;  // every object placed here was read or tried
    for (size_t k = 0; ok && k < pairs.size(); k++) {
        const Pair &pair = pairs[k];
        bool want = pair.first && pair.num == num;
        if (pair.first && pair.num != num && placed_in(doc, pair.num, stream_num)) {
            const XrefSlot *slot = pdf_xref_slot(doc, pair.num);
            want = !slot->obj && !slot->loading;
            complete = complete && !slot->loading;  // being fetched further up: left to that fetch
        }
        PdfObject *obj = nullptr;
        if (!want || pair.offset < 0) {
            continue;
        } else if (pair.offset == last_offset) {
            obj = last_obj;  // two numbers at one offset share the object
        } else {
            const int64_t at = int64_t(first->integer) + pair.offset;
            if (at < pos || skip_bytes(r, at - pos) != at - pos) {
                // Behind us (overlapping objects), or past the end of the data.
                complete = complete && at >= pos;
                break;
            }
            pos = at;
            // The object ends where the next one starts; the last one ends
            // with the data, and reading stops once it is parsed.
            int64_t limit = kNoLimit;
            for (size_t j = k + 1; j < pairs.size() && limit == kNoLimit; j++)
                if (pairs[j].offset > pair.offset)
                    limit = pairs[j].offset - pair.offset;
            ByteReader *window = open_window(r, limit);
            if (!window)
                break;
            PdfParser p;
            pdf_parser_init(&p, doc, window, doc->arena);
            obj = pdf_parse_next(&p);
            if (limit == kNoLimit) {
                reader_close(window);
                pos = kNoLimit;
            } else {
                pos += finish_window(window);
            }
            last_offset = pair.offset;
            last_obj = obj;
        }
        if (pair.num == num)
            result = obj;
        else if (obj)
            pdf_xref_slot(doc, pair.num)->obj = obj;
    }
    reader_close_chain(r);
    stream_slot = pdf_xref_slot(doc, stream_num);
    if (stream_slot && complete)
        stream_slot->objstm_read = 1;
    return result;
}

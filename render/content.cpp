// Reading content streams: tokens become operands on a 32-slot stack and
// keywords become operators (PDF Reference 1.7, sections 3.7.1 and 4.8.6).
#include <cstring>

#include "bitmap/bitmap.h"
#include "pdf/arena.h"
#include "pdf/document.h"
#include "pdf/object.h"
#include "pdf/reader.h"
#include "pdf/stream.h"
#include "render/interp.h"

namespace {

// Process-wide: the poll rhythm continues across streams and renders.
unsigned g_operator_counter = 0;

// Operand records of numbers, names and strings are carved from small pools
// in the scratch arena; keeping them by value avoids one allocation per token.
PdfObject *token_object(Arena *scratch, const PdfToken &t)
{
    auto *o = static_cast<PdfObject *>(arena_alloc(scratch, sizeof(PdfObject)));
    if (!o)
        return nullptr;
    switch (t.kind) {
    case TOK_INT:
        o->type = PDF_INT;
        o->integer = t.int_value;
        break;
    case TOK_REAL:
        o->type = PDF_REAL;
        o->real = t.real_value;
        break;
    case TOK_NAME:
        o->type = PDF_NAME;
        o->name = t.text;
        o->length = t.text_length;
        break;
    default:
        o->type = PDF_STRING;
        o->bytes = reinterpret_cast<uint8_t *>(t.text);
        o->length = t.text_length;
        break;
    }
    return o;
}

void push_operand(OperandStack *st, PdfObject *obj)
{
    if (!obj || st->count >= INTERP_STACK_SLOTS)
        return;
    st->items[st->count++] = obj;
}

// A fresh scratch arena once the old one has grown and holds no operands,
// so that long streams run in bounded memory.
void recycle_scratch(OperandStack *st, PdfParser *parser)
{
    if (st->count != 0 || parser->pushed_count != 0 ||
        st->scratch->total < size_t(INTERP_SCRATCH_RECYCLE))
        return;
    Arena *fresh = arena_create(64 << 10);
    if (!fresh)
        return;
    arena_destroy(st->scratch);
    st->scratch = fresh;
    parser->arena = fresh;
}

// Progress callback every 32nd operator while one is installed.
bool poll_due(RenderContext *ctx)
{
    if (!ctx->poll_fn)
        return false;
    g_operator_counter++;
    if ((g_operator_counter & (INTERP_POLL_EVERY - 1)) != 0)
        return false;
    if (ctx->poll_fn(ctx->poll_user, ctx->poll_surface) != 0)
        ctx->aborted = 1;
    return ctx->aborted != 0;
}

}  // namespace

int render_poll(RenderContext *ctx)
{
    if (ctx->aborted)
        return 1;
    if (ctx->poll_fn && ctx->poll_fn(ctx->poll_user, ctx->poll_surface) != 0)
        ctx->aborted = 1;
    return ctx->aborted;
}

namespace {

// Runs the operators read from `reader` (not closed here). 0, or -3 when
// the operand arena cannot be had.
int run_reader(RenderContext *ctx, ByteReader *reader)
{
    OperandStack st{};
    st.ctx = ctx;
    st.reader = reader;
    st.scratch = arena_create(64 << 10);
    if (!st.scratch)
        return -3;
    GraphicsState *outer_floor = ctx->gs_floor;
    ctx->gs_floor = ctx->gs;
    // Patterns of this stream are placed relative to its starting CTM.
    float outer_base[6];
    std::memcpy(outer_base, ctx->base_ctm, sizeof outer_base);
    std::memcpy(ctx->base_ctm, ctx->gs->ctm, sizeof outer_base);
    PdfParser parser;
    pdf_parser_init(&parser, ctx->doc, reader, st.scratch);
    while (!ctx->aborted) {
        PdfToken t;
        int64_t before = reader_tell(reader);
        int rc = pdf_parser_token(&parser, &t);
        if (rc < 0) {
            // A damaged token (over-long name or string) is skipped; a memory
            // failure or a failing source ends the stream.
            if (rc == -3 || reader->failed || reader->at_eof)
                break;
            if (reader_tell(reader) == before && reader_getc(reader) < 0)
                break;
            continue;
        }
        if (t.kind == TOK_END)
            break;
        switch (t.kind) {
        case TOK_INT:
        case TOK_REAL:
        case TOK_NAME:
        case TOK_STRING:
            push_operand(&st, token_object(st.scratch, t));
            break;
        case TOK_ARRAY_OPEN:
        case TOK_DICT_OPEN:
            push_operand(&st, pdf_parse_object(&parser, t, 0));
            break;
        case TOK_KEYWORD:
            exec_operator(&st, t.text ? t.text : "");
            recycle_scratch(&st, &parser);
            poll_due(ctx);
            break;
        default:  // ] and >> alone
            break;
        }
    }
    // States the stream saved and did not restore end with it.
    gstate_restore(ctx, ctx->gs_floor);
    ctx->gs_floor = outer_floor;
    std::memcpy(ctx->base_ctm, outer_base, sizeof outer_base);
    arena_destroy(st.scratch);
    return 0;
}

// The parts of a page's contents read one after the other, a newline
// between two parts, each decoded as it is read.
struct ContentParts {
    RenderContext *ctx;
    PdfObject *contents;  // a stream or an array of streams
    int next, count;      // next part to open, number of parts
    ByteReader *current;  // decoding reader of the current part
    bool newline_due;
};

int parts_fill(ByteReader *r, uint8_t *buffer, int capacity)
{
    auto *p = static_cast<ContentParts *>(r->ctx);
    for (;;) {
        if (p->current) {
            int n = reader_read(p->current, buffer, capacity);
            if (n > 0)
                return n;
            reader_close_chain(p->current);
            p->current = nullptr;
            p->newline_due = true;
        }
        if (p->next >= p->count)
            return 0;
        if (p->newline_due) {
            p->newline_due = false;
            buffer[0] = 10;
            return 1;
        }
        PdfObject *part = p->contents;
        if (pdf_is_type(part, PDF_ARRAY))
            part = pdf_resolve(p->ctx->doc, pdf_array_get(part, p->next));
        p->next++;
        if (!pdf_is_type(part, PDF_STREAM))
            continue;
        p->current = pdf_open_stream(p->ctx->doc, part);
        if (!p->current)
            add_diagnostic(p->ctx, "content-unreadable");
    }
}

}  // namespace

int run_content(RenderContext *ctx, const uint8_t *data, int length)
{
    if (!data || length <= 0)
        return 0;
    ByteReader *reader = reader_open_memory(data, length);
    if (!reader)
        return -3;
    int rc = run_reader(ctx, reader);
    reader_close(reader);
    return rc;
}

int run_contents(RenderContext *ctx, PdfObject *contents)
{
    ContentParts parts = {ctx, contents, 0, 0, nullptr, false};
    if (pdf_is_type(contents, PDF_STREAM))
        parts.count = 1;
    else if (pdf_is_type(contents, PDF_ARRAY))
        parts.count = pdf_array_len(contents);
    if (parts.count <= 0)
        return 0;
    ByteReader *reader = reader_new(parts_fill, &parts, nullptr);
    if (!reader)
        return -3;
    int rc = run_reader(ctx, reader);
    reader_close(reader);
    reader_close_chain(parts.current);
    return rc;
}

void add_diagnostic(RenderContext *ctx, const char *tag)
{
    char cut[INTERP_DIAG_CHARS + 1];
    std::strncpy(cut, tag, INTERP_DIAG_CHARS);
    cut[INTERP_DIAG_CHARS] = 0;
    for (int i = 0; i < ctx->diag_count; i++)
        if (std::strcmp(ctx->diags[i], cut) == 0)
            return;
    if (ctx->diag_count < INTERP_MAX_DIAGS)
        std::memcpy(ctx->diags[ctx->diag_count++], cut, sizeof cut);
    if (ctx->diag_fn)
        ctx->diag_fn(ctx->diag_user, cut);
}

uint8_t *load_stream(RenderContext *ctx, PdfObject *stream, int *out_length)
{
    *out_length = 0;
    if (!pdf_is_type(stream, PDF_STREAM))
        return nullptr;
    ByteReader *r = pdf_open_stream(ctx->doc, stream);
    if (!r)
        return nullptr;
    int n = 0;
    uint8_t *data = reader_read_all(r, ctx->arena, 0, &n);
    reader_close_chain(r);
    if (!data)
        return nullptr;
    *out_length = n;
    return data;
}

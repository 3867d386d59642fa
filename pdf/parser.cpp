// Recursive object parser over the tokenizer (PDF Reference 1.7, section 3.2):
// arrays, dictionaries, indirect references "n g R", and the dictionary of an
// inline image. Every failure yields null; nesting is bounded by PDF_MAX_DEPTH:
// an array or dictionary nested deeper is skipped and read as a null object,
// so that one absurd value costs only itself (not the page dictionary holding
// it). Numbers, names and other single tokens cannot recurse and are kept.
#include "pdf/arena.h"
#include "pdf/limits.h"
#include "pdf/object.h"
#include "pdf/reader.h"

void pdf_parser_init(PdfParser *p, PdfDoc *doc, ByteReader *reader, Arena *arena)
{
    *p = PdfParser{};
    p->doc = doc;
    p->reader = reader;
    p->arena = arena;
}

int pdf_parser_token(PdfParser *p, PdfToken *out)
{
    if (p->pushed_count > 0) {
        *out = p->pushed[--p->pushed_count];
        return 0;
    }
    return pdf_next_token(p->reader, p->arena, out);
}

void pdf_parser_push(PdfParser *p, const PdfToken &t)
{
    if (p->pushed_count < 2)
        p->pushed[p->pushed_count++] = t;
}

namespace {

// An integer, or a reference when "gen R" follows.
PdfObject *parse_integer(PdfParser *p, const PdfToken &first)
{
    PdfToken second, third;
    if (pdf_parser_token(p, &second) < 0)
        return pdf_new_int(p->arena, first.int_value);
    if (second.kind == TOK_INT) {
        if (pdf_parser_token(p, &third) < 0) {
            pdf_parser_push(p, second);
            return pdf_new_int(p->arena, first.int_value);
        }
        if (pdf_token_is(third, "R"))
            return pdf_new_ref(p->arena, first.int_value, second.int_value);
        pdf_parser_push(p, third);
    }
    pdf_parser_push(p, second);
    return pdf_new_int(p->arena, first.int_value);
}

PdfObject *parse_array(PdfParser *p, int depth)
{
    PdfObject *arr = pdf_new_array(p->arena);
    if (!arr)
        return nullptr;
    for (;;) {
        PdfToken t;
        if (pdf_parser_token(p, &t) < 0 || t.kind == TOK_END)
            return nullptr;
        if (t.kind == TOK_ARRAY_CLOSE)
            return arr;
        PdfObject *item = pdf_parse_object(p, t, depth + 1);
        if (!item || pdf_array_push(p->arena, arr, item) != 0)
            return nullptr;
    }
}

PdfObject *parse_dict(PdfParser *p, int depth)
{
    PdfObject *dict = pdf_new_dict(p->arena);
    if (!dict)
        return nullptr;
    for (;;) {
        PdfToken t;
        if (pdf_parser_token(p, &t) < 0 || t.kind == TOK_END)
            return nullptr;
        if (t.kind == TOK_DICT_CLOSE)
            return dict;
        if (t.kind != TOK_NAME)
            continue;  // junk in a key position is skipped
        if (t.text_length >= PDF_MAX_NAME)
            return nullptr;
        PdfToken v;
        if (pdf_parser_token(p, &v) < 0)
            return nullptr;
        PdfObject *value = pdf_parse_object(p, v, depth + 1);
        if (!value || pdf_dict_put(p->arena, dict, t.text, value) != 0)
            return nullptr;
    }
}

// Consumes the rest of the array or dictionary opened just before without
// building it (iteratively: the nesting may be arbitrarily deep) and returns a
// null object; null when the data end or a token fails first.
PdfObject *skip_too_deep(PdfParser *p)
{
    for (int64_t open = 1; open > 0;) {
        PdfToken t;
        if (pdf_parser_token(p, &t) < 0 || t.kind == TOK_END)
            return nullptr;
        if (t.kind == TOK_ARRAY_OPEN || t.kind == TOK_DICT_OPEN)
            open++;
        else if (t.kind == TOK_ARRAY_CLOSE || t.kind == TOK_DICT_CLOSE)
            open--;
    }
    return pdf_new_null(p->arena);
}

}  // namespace

PdfObject *pdf_parse_object(PdfParser *p, const PdfToken &first, int depth)
{
    if (depth > PDF_MAX_DEPTH && (first.kind == TOK_ARRAY_OPEN || first.kind == TOK_DICT_OPEN))
        return skip_too_deep(p);
    switch (first.kind) {
    case TOK_INT:
        return parse_integer(p, first);
    case TOK_REAL:
        return pdf_new_real(p->arena, first.real_value);
    case TOK_NAME: {
        PdfObject *o = pdf_new_name(p->arena, nullptr);
        if (o) {
            o->name = first.text;  // already an arena copy
            o->length = first.text_length;
        }
        return o;
    }
    case TOK_STRING: {
        PdfObject *o = pdf_new_string(p->arena, nullptr, 0);
        if (o) {
            o->bytes = reinterpret_cast<uint8_t *>(first.text);
            o->length = first.text_length;
        }
        return o;
    }
    case TOK_ARRAY_OPEN:
        return parse_array(p, depth);
    case TOK_DICT_OPEN:
        return parse_dict(p, depth);
    case TOK_KEYWORD:
        if (pdf_token_is(first, "true"))
            return pdf_new_bool(p->arena, 1);
        if (pdf_token_is(first, "false"))
            return pdf_new_bool(p->arena, 0);
        if (pdf_token_is(first, "null"))
            return pdf_new_null(p->arena);
        return nullptr;
    default:
        return nullptr;
    }
}

PdfObject *pdf_parse_next(PdfParser *p)
{
    PdfToken t;
    if (pdf_parser_token(p, &t) < 0)
        return nullptr;
    return pdf_parse_object(p, t, 0);
}

PdfObject *pdf_parse_inline_image_dict(ByteReader *reader, Arena *arena)
{
    PdfParser p;
    pdf_parser_init(&p, nullptr, reader, arena);
    PdfObject *dict = pdf_new_dict(arena);
    if (!dict)
        return nullptr;
    for (;;) {
        PdfToken t;
        if (pdf_parser_token(&p, &t) < 0 || t.kind == TOK_END)
            return nullptr;
        if (pdf_token_is(t, "ID"))
            return dict;
        if (t.kind != TOK_NAME)
            continue;
        if (t.text_length >= PDF_MAX_NAME)
            return nullptr;
        PdfToken v;
        if (pdf_parser_token(&p, &v) < 0)
            return nullptr;
        if (v.kind == TOK_END)
            return nullptr;
        PdfObject *value = pdf_parse_object(&p, v, 1);
        if (value && pdf_dict_put(arena, dict, t.text, value) == -3)
            return nullptr;
        // A value that fails to parse is skipped; if it was "ID" itself the
        // dictionary ends here.
        if (!value && pdf_token_is(v, "ID"))
            return dict;
    }
}

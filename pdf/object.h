// PDF objects (PDF Reference 1.7, section 3.2): the tagged record every parsed
// value becomes, its accessors and constructors, the tokenizer and the
// recursive parser. All objects live in an Arena and are never freed singly.
#pragma once
#include <cstdint>

struct Arena;
struct ByteReader;
struct PdfDoc;

enum PdfObjType : uint8_t {
    PDF_NULL = 0,
    PDF_BOOL = 1,
    PDF_INT = 2,
    PDF_REAL = 3,
    PDF_STRING = 4,
    PDF_NAME = 5,
    PDF_ARRAY = 6,
    PDF_DICT = 7,
    PDF_REF = 8,
    PDF_STREAM = 9,
};

struct PdfObject;

struct PdfDictEntry {
    const char *key;
    PdfObject *value;
};

// A type byte followed by the value; the payload fields overlap by type.
struct PdfObject {
    uint8_t type;
    union {
        int boolean;       // PDF_BOOL
        int32_t integer;   // PDF_INT
        double real;       // PDF_REAL
        struct {           // PDF_STRING, PDF_NAME (arena bytes, zero-terminated)
            union {
                uint8_t *bytes;
                char *name;
            };
            int length;
        };
        struct {           // PDF_ARRAY, PDF_DICT
            union {
                PdfObject **items;
                PdfDictEntry *entries;
            };
            int count;
            int capacity;
            // PDF_DICT with more than a few keys: open-addressing hash of entry
            // positions (entry index + 1, 0 = empty slot), index_size slots.
            int32_t *index;
            int index_size;
        };
        struct {           // PDF_STREAM (dict, data) and PDF_REF (num, gen)
            PdfObject *dict;
            int64_t data_offset;
            int data_length;
            int num;
            int gen;
        };
    };
};

// ---- Accessors: none resolves references; all accept null. ----

// The value under key, or null; a stream is looked up through its dictionary.
PdfObject *pdf_dict_get(const PdfObject *obj, const char *key);
// 0, -2 (not a dictionary or no value) or -3. An existing key keeps its place
// and takes the new value (so the last of repeated keys wins). The key is
// stored as given: it must live as long as the dictionary. Entries must be
// added only through this call, which keeps the key index in step.
int pdf_dict_put(Arena *arena, PdfObject *dict, const char *key, PdfObject *value);
PdfObject *pdf_array_get(const PdfObject *arr, int i);
int pdf_array_len(const PdfObject *arr);
// 0, -2 (not an array or no item) or -3.
int pdf_array_push(Arena *arena, PdfObject *arr, PdfObject *item);
int pdf_is_name(const PdfObject *obj, const char *text);
// Integer value; a real is truncated toward zero; anything else gives def.
int pdf_to_int(const PdfObject *obj, int def);
double pdf_to_number(const PdfObject *obj, double def);
inline bool pdf_is_type(const PdfObject *obj, PdfObjType t) { return obj && obj->type == t; }

// ---- Constructors: zero-filled records from the arena, null when memory is short. ----

PdfObject *pdf_new_null(Arena *arena);
PdfObject *pdf_new_bool(Arena *arena, int value);
PdfObject *pdf_new_int(Arena *arena, int32_t value);
PdfObject *pdf_new_real(Arena *arena, double value);
PdfObject *pdf_new_string(Arena *arena, const uint8_t *bytes, int length);
PdfObject *pdf_new_name(Arena *arena, const char *text);
PdfObject *pdf_new_array(Arena *arena);
PdfObject *pdf_new_dict(Arena *arena);
PdfObject *pdf_new_ref(Arena *arena, int num, int gen);

// ---- Tokenizer ----

enum PdfTokenKind : uint8_t {
    TOK_END = 0,
    TOK_INT = 1,
    TOK_REAL = 2,
    TOK_NAME = 3,
    TOK_STRING = 4,
    TOK_ARRAY_OPEN = 5,
    TOK_ARRAY_CLOSE = 6,
    TOK_DICT_OPEN = 7,
    TOK_DICT_CLOSE = 8,
    TOK_KEYWORD = 9,
    TOK_ERROR = 10,
};

struct PdfToken {
    uint8_t kind;
    int32_t int_value;
    double real_value;
    char *text;  // arena: names (without slash), decoded strings, keywords
    int text_length;
};

inline bool pdf_token_is(const PdfToken &t, const char *keyword);

// 0, -2 (syntax), -3 (memory) or -5 (item too long); on a negative status the
// token kind is TOK_ERROR. End of data is status 0 with kind TOK_END.
int pdf_next_token(ByteReader *reader, Arena *arena, PdfToken *out);

bool pdf_is_whitespace(int c);
bool pdf_is_delimiter(int c);
// The value of a hex digit (either case), -1 for any other byte.
int pdf_hex_value(int c);

// ---- Parser ----

struct PdfParser {
    PdfDoc *doc;  // may be null
    ByteReader *reader;
    Arena *arena;
    PdfToken pushed[2];
    int pushed_count;
};

void pdf_parser_init(PdfParser *p, PdfDoc *doc, ByteReader *reader, Arena *arena);
// Next token, from the push-back stack first (last pushed first).
int pdf_parser_token(PdfParser *p, PdfToken *out);
// Pushing a third token is ignored.
void pdf_parser_push(PdfParser *p, const PdfToken &t);
// The object starting with `first`; null on any failure. An array or
// dictionary at depth > 64 is skipped and read as a null object.
PdfObject *pdf_parse_object(PdfParser *p, const PdfToken &first, int depth);
// Reads the next token and parses one object at depth 0.
PdfObject *pdf_parse_next(PdfParser *p);
// BI ... ID: the dictionary of an inline image up to the keyword ID.
PdfObject *pdf_parse_inline_image_dict(ByteReader *reader, Arena *arena);

inline bool pdf_token_is(const PdfToken &t, const char *keyword)
{
    if (t.kind != TOK_KEYWORD || !t.text)
        return false;
    const char *a = t.text;
    while (*a && *a == *keyword) {
        a++;
        keyword++;
    }
    return *a == 0 && *keyword == 0;
}

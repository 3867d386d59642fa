// Tokenizer for PDF syntax (PDF Reference 1.7, section 3.1-3.2): whitespace,
// comments, names with #xx escapes, literal and hexadecimal strings, numbers,
// delimiters and keywords. Token texts are copied into the caller's arena.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "pdf/arena.h"
#include "pdf/limits.h"
#include "pdf/object.h"
#include "pdf/reader.h"

namespace {

// Character classes, one table lookup per byte: 1 whitespace, 2 delimiter.
constexpr uint8_t kWhite = 1, kDelim = 2;
struct ClassTable {
    uint8_t v[256];
};
constexpr ClassTable make_class_table()
{
    ClassTable t{};
    const uint8_t white[] = {0x00, 0x09, 0x0A, 0x0C, 0x0D, 0x20};
    const char delim[] = "()<>[]{}/%";
    for (uint8_t c : white)
        t.v[c] = kWhite;
    for (int i = 0; delim[i]; i++)
        t.v[uint8_t(delim[i])] = kDelim;
    return t;
}
constexpr ClassTable kClass = make_class_table();

bool is_regular(int c) { return c >= 0 && kClass.v[c] == 0; }

// Token text under construction: a 128-byte local buffer that moves to the
// heap and doubles when it fills.
struct TextBuffer {
    char local[PDF_TOKEN_INITIAL];
    char *data = local;
    int length = 0;
    int capacity = PDF_TOKEN_INITIAL;
    bool failed = false;

    ~TextBuffer()
    {
        if (data != local)
            std::free(data);
    }
    void put(int c)
    {
        if (length == capacity && !expand())
            return;
        data[length++] = char(c);
    }
    bool expand()
    {
        int cap = capacity * 2;
        char *p = static_cast<char *>(data == local ? std::malloc(size_t(cap))
                                                    : std::realloc(data, size_t(cap)));
        if (!p) {
            failed = true;
            return false;
        }
        if (data == local)
            std::memcpy(p, local, size_t(length));
        data = p;
        capacity = cap;
        return true;
    }
};

int fail(PdfToken *out, int status)
{
    out->kind = TOK_ERROR;
    return status;
}

// Copies the finished text into the arena and completes the token.
int finish_text(TextBuffer &tb, Arena *arena, PdfToken *out, uint8_t kind)
{
    if (tb.failed)
        return fail(out, -3);
    out->text = reinterpret_cast<char *>(arena_copy(arena, tb.data, size_t(tb.length)));
    if (!out->text)
        return fail(out, -3);
    out->text_length = tb.length;
    out->kind = kind;
    return 0;
}

int lex_name(ByteReader *r, Arena *arena, PdfToken *out)
{
    TextBuffer tb;
    for (;;) {
        int c = reader_getc(r);
        if (c < 0)
            break;
        if (!is_regular(c)) {
            reader_ungetc(r);
            break;
        }
        int bytes[3] = {c, -1, -1};
        int n = 1;
        if (c == '#') {
            // Two hex digits give one byte; otherwise "#" and the regular bytes
            // after it stay literal (a terminating byte is left for the next token).
            int h1 = reader_getc(r);
            int h2 = -1;
            if (is_regular(h1)) {
                h2 = reader_getc(r);
                if (!is_regular(h2)) {
                    if (h2 >= 0)
                        reader_ungetc(r);
                    h2 = -1;
                }
            } else {
                if (h1 >= 0)
                    reader_ungetc(r);
                h1 = -1;
            }
            if (pdf_hex_value(h1) >= 0 && pdf_hex_value(h2) >= 0) {
                bytes[0] = pdf_hex_value(h1) * 16 + pdf_hex_value(h2);
            } else {
                if (h1 >= 0)
                    bytes[n++] = h1;
                if (h2 >= 0)
                    bytes[n++] = h2;
            }
        }
        for (int i = 0; i < n; i++) {
            if (tb.length >= PDF_MAX_NAME)
                return fail(out, -5);
            tb.put(bytes[i]);
        }
    }
    return finish_text(tb, arena, out, TOK_NAME);
}

int lex_literal_string(ByteReader *r, Arena *arena, PdfToken *out)
{
    TextBuffer tb;
    int depth = 1;
    for (;;) {
        int c = reader_getc(r);
        if (c < 0)
            return fail(out, -2);
        if (c == '(') {
            depth++;
        } else if (c == ')') {
            if (--depth == 0)
                break;
        } else if (c == '\\') {
            c = reader_getc(r);
            if (c < 0)
                return fail(out, -2);
            switch (c) {
            case 'n': c = 0x0A; break;
            case 'r': c = 0x0D; break;
            case 't': c = 0x09; break;
            case 'b': c = 0x08; break;
            case 'f': c = 0x0C; break;
            case '\r':  // line continuation, with an optional LF
                if (reader_peek(r) == '\n')
                    reader_getc(r);
                continue;
            case '\n':
                continue;
            default:
                if (c >= '0' && c <= '7') {
                    int v = c - '0';
                    for (int i = 0; i < 2; i++) {
                        int d = reader_peek(r);
                        if (d < '0' || d > '7')
                            break;
                        reader_getc(r);
                        v = v * 8 + (d - '0');
                    }
                    c = v & 0xFF;
                }
                break;  // \( \) \\ and any other byte: the byte itself
            }
        }
        if (tb.length >= PDF_MAX_STRING)
            return fail(out, -5);
        tb.put(c);
    }
    return finish_text(tb, arena, out, TOK_STRING);
}

int lex_hex_string(ByteReader *r, Arena *arena, PdfToken *out)
{
    TextBuffer tb;
    int high = -1;
    for (;;) {
        int c = reader_getc(r);
        if (c < 0)
            return fail(out, -2);
        if (c == '>')
            break;
        int v = pdf_hex_value(c);
        if (v < 0)
            continue;
        if (high < 0) {
            high = v;
            continue;
        }
        if (tb.length >= PDF_MAX_STRING)
            return fail(out, -5);
        tb.put(high * 16 + v);
        high = -1;
    }
    if (high >= 0) {
        if (tb.length >= PDF_MAX_STRING)
            return fail(out, -5);
        tb.put(high * 16);
    }
    return finish_text(tb, arena, out, TOK_STRING);
}

// A number of up to 15 digits with an optional sign and point, the form
// content streams are written in, read without strtod/strtoll and to the
// same value: the digits make an integer below 2^53 and the power of ten is
// exact, so the one division rounds as strtod does. False for any other
// text, which the library functions then read.
bool quick_number(const char *text, int n, bool *real, double *out)
{
    static constexpr double kPow10[16] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                          1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    int i = 0;
    const bool negative = n > 0 && text[0] == '-';
    if (n > 0 && (text[0] == '-' || text[0] == '+'))
        i++;
    int64_t digits = 0;
    int count = 0, fraction = 0;
    bool point = false;
    for (; i < n; i++) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            if (++count > 15)
                return false;
            digits = digits * 10 + (c - '0');
            fraction += point;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    if (count == 0)
        return false;
    const double v = double(digits) / kPow10[fraction];
    *out = negative ? -v : v;
    *real = point;
    return true;
}

int lex_number(ByteReader *r, int first, PdfToken *out)
{
    char text[PDF_MAX_NUMBER_CHARS + 1];
    int n = 0;
    bool real = false;
    for (int c = first; c >= 0; c = reader_getc(r)) {
        if (!(c >= '0' && c <= '9') && c != '.' && c != '+' && c != '-') {
            reader_ungetc(r);
            break;
        }
        if (c == '.')
            real = true;
        if (n < PDF_MAX_NUMBER_CHARS)
            text[n++] = char(c);
    }
    text[n] = 0;
    double quick = 0;
    bool quick_real = false;
    const bool quick_ok = quick_number(text, n, &quick_real, &quick) && quick_real == real;
    if (real) {
        double v = quick_ok ? quick : std::strtod(text, nullptr);
        out->kind = TOK_REAL;
        out->real_value = v;
        // Truncation toward zero, clamped: out-of-range conversion is undefined.
        out->int_value = v >= 2147483647.0 ? 2147483647 : v <= -2147483648.0 ? INT32_MIN : v == v ? int32_t(v) : 0;
    } else {
        long long v = quick_ok ? static_cast<long long>(quick) : std::strtoll(text, nullptr, 10);
        out->kind = TOK_INT;
        if (v > INT32_MAX || v < INT32_MIN) {
            // Too large for an integer object: kept as a real with its value
            // (some writers give the unsigned form of a 32-bit field such as
            // permissions), while its integer reading saturates, never wraps.
            out->kind = TOK_REAL;
            out->real_value = std::strtod(text, nullptr);
            out->int_value = v > INT32_MAX ? INT32_MAX : INT32_MIN;
            return 0;
        }
        out->int_value = int32_t(v);
        out->real_value = double(v);
    }
    return 0;
}

int lex_keyword(ByteReader *r, Arena *arena, int first, PdfToken *out)
{
    char text[PDF_MAX_KEYWORD_CHARS + 1];
    int n = 0;
    for (int c = first; c >= 0; c = reader_getc(r)) {
        if (!is_regular(c)) {
            reader_ungetc(r);
            break;
        }
        if (n < PDF_MAX_KEYWORD_CHARS)
            text[n++] = char(c);
    }
    out->text = reinterpret_cast<char *>(arena_copy(arena, text, size_t(n)));
    if (!out->text)
        return fail(out, -3);
    out->text_length = n;
    out->kind = TOK_KEYWORD;
    return 0;
}

}  // namespace

bool pdf_is_whitespace(int c) { return c >= 0 && c < 256 && kClass.v[c] == kWhite; }
bool pdf_is_delimiter(int c) { return c >= 0 && c < 256 && kClass.v[c] == kDelim; }

int pdf_hex_value(int c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

int pdf_next_token(ByteReader *r, Arena *arena, PdfToken *out)
{
    *out = PdfToken{};
    int c;
    for (;;) {
        c = reader_getc(r);
        if (c == '%') {
            while (c >= 0 && c != '\r' && c != '\n')
                c = reader_getc(r);
            continue;
        }
        if (c < 0 || kClass.v[c] != kWhite)
            break;
    }
    if (c < 0) {
        out->kind = TOK_END;
        return 0;
    }
    switch (c) {
    case '(':
        return lex_literal_string(r, arena, out);
    case '<':
        if (reader_peek(r) == '<') {
            reader_getc(r);
            out->kind = TOK_DICT_OPEN;
            return 0;
        }
        return lex_hex_string(r, arena, out);
    case '>':
        if (reader_peek(r) == '>') {
            reader_getc(r);
            out->kind = TOK_DICT_CLOSE;
            return 0;
        }
        return fail(out, -2);
    case '[':
        out->kind = TOK_ARRAY_OPEN;
        return 0;
    case ']':
        out->kind = TOK_ARRAY_CLOSE;
        return 0;
    case ')':
    case '{':
    case '}':
        return fail(out, -2);
    case '/':
        return lex_name(r, arena, out);
    default:
        break;
    }
    if ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.')
        return lex_number(r, c, out);
    return lex_keyword(r, arena, c, out);
}

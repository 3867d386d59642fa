// Tokenizer and object parser: names, strings, numbers, references,
// dictionaries with junk, nesting limits, inline image dictionaries, and
// exhaustion of the arena at every allocation.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "pdf/arena.h"
#include "pdf/object.h"
#include "pdf/reader.h"

namespace {

std::string dump(const PdfObject *o)
{
    if (!o)
        return "FAIL";
    char buf[64];
    std::string s;
    switch (o->type) {
    case PDF_NULL: return "null";
    case PDF_BOOL: return o->boolean ? "true" : "false";
    case PDF_INT: return std::to_string(o->integer);
    case PDF_REAL:
        std::snprintf(buf, sizeof buf, "r%g", o->real);
        return buf;
    case PDF_NAME:
    case PDF_STRING:
        s = o->type == PDF_NAME ? "/" : "(";
        for (int i = 0; i < o->length; i++) {
            unsigned char c = o->bytes[i];
            if (c >= 0x20 && c < 0x7F) {
                s += char(c);
            } else {
                std::snprintf(buf, sizeof buf, "\\%02x", c);
                s += buf;
            }
        }
        return o->type == PDF_NAME ? s : s + ")";
    case PDF_ARRAY:
        s = "[";
        for (int i = 0; i < o->count; i++)
            s += (i ? " " : "") + dump(o->items[i]);
        return s + "]";
    case PDF_DICT:
        s = "<<";
        for (int i = 0; i < o->count; i++)
            s += (i ? " " : "") + std::string(o->entries[i].key) + ":" + dump(o->entries[i].value);
        return s + ">>";
    case PDF_REF: return std::to_string(o->num) + " " + std::to_string(o->gen) + " R";
    default: return "?";
    }
}

// Every object of the input, comma-separated; a failed parse reads FAIL.
std::string parse_all(const std::string &text, size_t arena_limit = 0)
{
    ByteReader *r = reader_open_memory(reinterpret_cast<const uint8_t *>(text.data()), int64_t(text.size()));
    Arena *a = arena_create(0);
    a->limit = arena_limit;
    PdfParser p;
    pdf_parser_init(&p, nullptr, r, a);
    std::string out;
    for (int i = 0; i < 16; i++) {
        PdfToken t;
        int rc = pdf_parser_token(&p, &t);
        if (rc == 0 && t.kind == TOK_END)
            break;
        if (!out.empty())
            out += ",";
        out += rc < 0 ? "ERR" + std::to_string(rc) : dump(pdf_parse_object(&p, t, 0));
    }
    arena_destroy(a);
    reader_close(r);
    return out;
}

TEST(PdfSyntax, ParsesObjects)
{
    struct Row {
        const char *input;
        const char *expected;
    } rows[] = {
        // references need two integers and R
        {"12 0 R", "12 0 R"},
        {"12 0 obj", "12,0,FAIL"},
        {"12 R", "12,FAIL"},
        {"[1 2 3 0 R 4]", "[1 2 3 0 R 4]"},
        {"1 2", "1,2"},
        // dictionaries: junk in key position skipped, last duplicate wins
        {"<< /A 1 junk /B 2 >>", "<<A:1 B:2>>"},
        {"<< /A >>", "FAIL"},
        {"<< /A 1 /A 2 >>", "<<A:2>>"},
        {"<< /A [1 /B] /C << /D (x) >> >>", "<<A:[1 /B] C:<<D:(x)>>>>"},
        {"<< /A 1", "FAIL"},
        {"[1 2", "FAIL"},
        // names
        {"/A#20B", "/A B"},
        {"/A#2 ", "/A#2"},
        {"/A#zz", "/A#zz"},
        {"/#41#62", "/Ab"},
        {"/", "/"},
        {"/a/b", "/a,/b"},
        // literal strings
        {"(a(b)c)", "(a(b)c)"},
        {"(\\101)", "(A)"},
        {"(\\0053)", "(\\053)"},
        {"(\\n\\r\\t\\b\\f)", "(\\0a\\0d\\09\\08\\0c)"},
        {"(\\(\\)\\\\\\q)", "(()\\q)"},
        {"(a\\\r\nb\\\nc\\\rd)", "(abcd)"},
        {"(a\r\nb)", "(a\\0d\\0ab)"},
        {"(\\777)", "(\\ff)"},
        {"(abc", "ERR-2"},
        // hexadecimal strings
        {"<414>", "(A@)"},
        {"<4 1>", "(A)"},
        {"<4x1>", "(A)"},
        {"<>", "()"},
        {"<41", "ERR-2"},
        // numbers
        {"-.5", "r-0.5"},
        {"1.2.3", "r1.2"},
        {"--4", "0"},
        {"12-3", "12"},
        {"+7", "7"},
        {"-", "0"},
        {"3.", "r3"},
        // beyond 32 bits: a real that keeps the value (no wrap)
        {"99999999999", "r1e+11"},
        {"-4294967292", "r-4.29497e+09"},
        // keywords and delimiters
        {"true false null", "true,false,null"},
        {"foo", "FAIL"},
        {"1 % comment\n 2", "1,2"},
        {")", "ERR-2"},
        {"{", "ERR-2"},
        {"> 1", "ERR-2,1"},
        {"]", "FAIL"},
    };
    for (const Row &row : rows)
        EXPECT_EQ(parse_all(row.input), row.expected) << "input: " << row.input;
}

// Integer tokens at and beyond the 32-bit range: the value is kept as a real
// and the integer reading saturates, so neither wraps nor overflows.
TEST(PdfSyntax, IntegerRange)
{
    struct Row {
        const char *input;
        int kind;
        int32_t int_value;
        double real_value;
    } rows[] = {
        {"2147483647", TOK_INT, INT32_MAX, 2147483647.0},
        {"-2147483648", TOK_INT, INT32_MIN, -2147483648.0},
        {"2147483648", TOK_REAL, INT32_MAX, 2147483648.0},
        {"-2147483649", TOK_REAL, INT32_MIN, -2147483649.0},
        {"4294967292", TOK_REAL, INT32_MAX, 4294967292.0},  // an unsigned 32-bit field
        {"+0004294967295", TOK_REAL, INT32_MAX, 4294967295.0},
        {"123456789012345678901234567890", TOK_REAL, INT32_MAX, 1.2345678901234568e29},
    };
    Arena *a = arena_create(0);
    for (const Row &row : rows) {
        const std::string text = row.input;
        ByteReader *r = reader_open_memory(reinterpret_cast<const uint8_t *>(text.data()), int64_t(text.size()));
        PdfToken t;
        ASSERT_EQ(pdf_next_token(r, a, &t), 0) << row.input;
        EXPECT_EQ(t.kind, row.kind) << row.input;
        EXPECT_EQ(t.int_value, row.int_value) << row.input;
        EXPECT_DOUBLE_EQ(t.real_value, row.real_value) << row.input;
        reader_close(r);
    }
    arena_destroy(a);
}

// Numbers of every length around the 15 digits read without the library,
// with signs, leading zeros and the point anywhere: each token holds exactly
// the value strtod (or strtoll) gives for its text.
TEST(PdfSyntax, NumbersMatchLibraryConversion)
{
    Arena *a = arena_create(0);
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
    for (int i = 0; i < 20000; i++) {
        std::string text = i % 3 == 0 ? "-" : i % 7 == 0 ? "+" : "";
        const int digits = 1 + int(next() % 18);
        const int point = int(next() % uint32_t(digits + 2)) - 1;  // -1: none
        for (int d = 0; d < digits; d++) {
            if (d == point)
                text += '.';
            text += char('0' + (d == 0 && i % 5 == 0 ? 0 : next() % 10));
        }
        if (point == digits)
            text += '.';
        ByteReader *r = reader_open_memory(reinterpret_cast<const uint8_t *>(text.data()), int64_t(text.size()));
        PdfToken t;
        ASSERT_EQ(pdf_next_token(r, a, &t), 0) << text;
        reader_close(r);
        if (text.find('.') != std::string::npos) {
            ASSERT_EQ(t.kind, TOK_REAL) << text;
            ASSERT_EQ(t.real_value, std::strtod(text.c_str(), nullptr)) << text;
        } else if (t.kind == TOK_INT) {
            ASSERT_EQ(t.int_value, std::strtoll(text.c_str(), nullptr, 10)) << text;
            ASSERT_EQ(t.real_value, double(t.int_value)) << text;
        } else {
            ASSERT_EQ(t.real_value, std::strtod(text.c_str(), nullptr)) << text;
        }
    }
    arena_destroy(a);
}

TEST(PdfSyntax, NestingAndSizeLimits)
{
    auto nested = [](int levels, const char *open, const char *close, const std::string &inner) {
        std::string s;
        for (int i = 0; i < levels; i++)
            s += open;
        s += inner;
        for (int i = 0; i < levels; i++)
            s += close;
        return s;
    };
    struct Row {
        std::string input;
        std::string expected;  // the dump; "" = the parse fails
    } rows[] = {
        // 64 arrays: the value inside sits at depth 64 and still parses
        {nested(64, "[", "]", "1"), nested(64, "[", "]", "1")},
        // 65 arrays: the innermost is at depth 64; a number or reference at
        // depth 65 cannot recurse and is kept
        {nested(65, "[", "]", "1"), nested(65, "[", "]", "1")},
        {nested(65, "[", "]", "2 0 R"), nested(65, "[", "]", "2 0 R")},
        // 66 arrays: the one at depth 65 reads as null, the arrays around it stay
        {nested(66, "[", "]", "1"), nested(65, "[", "]", "null")},
        {nested(64, "<</K ", ">>", "1"), nested(64, "<<K:", ">>", "1")},
        {nested(66, "<</K ", ">>", "1"), nested(65, "<<K:", ">>", "null")},
        // a too-deep value is skipped whole: the keys after it survive
        {"<< /Deep " + nested(100, "[", "]", "<< /X 1 >>") + " /Keep 2 >>", "<<Deep:" +
             nested(64, "[", "]", "null") + " Keep:2>>"},
        // very deep input does not recurse beyond the limit; unterminated, it fails
        {nested(100000, "[", "]", ""), nested(65, "[", "]", "null")},
        {std::string(100000, '['), ""},
        // names of 256 bytes parse, 257 are an error; keys of 256 bytes fail the dictionary
        {"/" + std::string(256, 'n'), "/" + std::string(256, 'n')},
        {"/" + std::string(257, 'n'), "ERR-5"},
        {"<< /" + std::string(255, 'k') + " 1 >>", "<<" + std::string(255, 'k') + ":1>>"},
        {"<< /" + std::string(256, 'k') + " 1 >>", ""},
        // strings up to 65536 bytes
        {"(" + std::string(65536, 's') + ")", "(" + std::string(65536, 's') + ")"},
        {"(" + std::string(65537, 's') + ")", "ERR-5"},
        {"<" + std::string(2 * 65536, '4') + ">", "(" + std::string(65536, 'D') + ")"},
        {"<" + std::string(2 * 65536 + 2, '4') + ">", "ERR-5"},
    };
    for (const Row &row : rows) {
        const std::string got = parse_all(row.input);
        const std::string first = got.substr(0, got.find(','));  // the first object
        EXPECT_EQ(first, row.expected.empty() ? "FAIL" : row.expected)
            << "input of " << row.input.size() << " bytes";
    }
}

// A repeated key's last value wins at the place of its first occurrence, and
// every key is found. Keys are looked up through an index once a dictionary
// has more than a few of them, so small and large dictionaries are both
// checked, with repeats on either side of the switch and across many growths
// of the index. (That building stays linear is checked on 200,000 keys with a
// processor-time limit, PdfRepro.DictionaryOf200000Keys.)
TEST(PdfSyntax, DictionaryKeysRepeatedAndMany)
{
    struct Row {
        int keys;     // distinct keys /k0 ... written in order
        int repeats;  // then /k0 ... again with value -1
    } rows[] = {
        {3, 1},         // small: linear search only
        {16, 16},       // the last size without an index, every key repeated
        {17, 5},        // the first size with an index
        {20000, 1000},  // many: the index is rebuilt at every doubling
    };
    for (const Row &row : rows) {
        std::string text = "<<";
        for (int i = 0; i < row.keys; i++)
            text += " /k" + std::to_string(i) + " " + std::to_string(i);
        for (int i = 0; i < row.repeats; i++)
            text += " /k" + std::to_string(i) + " -1";
        text += " >>";
        ByteReader *r = reader_open_memory(reinterpret_cast<const uint8_t *>(text.data()), int64_t(text.size()));
        Arena *a = arena_create(0);
        PdfParser p;
        pdf_parser_init(&p, nullptr, r, a);
        PdfObject *d = pdf_parse_next(&p);
        ASSERT_TRUE(pdf_is_type(d, PDF_DICT)) << row.keys;
        EXPECT_EQ(d->count, row.keys);
        int wrong = 0;
        for (int i = 0; i < row.keys; i++) {
            const std::string key = "k" + std::to_string(i);
            const int want = i < row.repeats ? -1 : i;
            wrong += pdf_to_int(pdf_dict_get(d, key.c_str()), -2) != want;
            wrong += key != d->entries[i].key;  // order of first occurrence
        }
        EXPECT_EQ(wrong, 0) << row.keys << " keys";
        EXPECT_EQ(pdf_dict_get(d, "missing"), nullptr);
        reader_close(r);
        arena_destroy(a);
    }
}

TEST(PdfSyntax, KeywordsAndNumbersAreCut)
{
    std::string long_kw(40, 'k');
    std::string long_num = "1" + std::string(80, '0') + ".5";
    ByteReader *r = reader_open_memory(reinterpret_cast<const uint8_t *>(long_kw.data()), int64_t(long_kw.size()));
    Arena *a = arena_create(0);
    PdfToken t;
    ASSERT_EQ(pdf_next_token(r, a, &t), 0);
    EXPECT_EQ(t.kind, TOK_KEYWORD);
    EXPECT_EQ(t.text_length, 31);
    EXPECT_EQ(pdf_next_token(r, a, &t), 0);
    EXPECT_EQ(t.kind, TOK_END);
    reader_close(r);
    r = reader_open_memory(reinterpret_cast<const uint8_t *>(long_num.data()), int64_t(long_num.size()));
    ASSERT_EQ(pdf_next_token(r, a, &t), 0);
    EXPECT_EQ(t.kind, TOK_REAL);  // 63 characters kept: the "." is dropped but was seen
    EXPECT_EQ(pdf_next_token(r, a, &t), 0);
    EXPECT_EQ(t.kind, TOK_END);
    reader_close(r);
    arena_destroy(a);
}

TEST(PdfSyntax, InlineImageDictionary)
{
    struct Row {
        const char *input;
        const char *dict;     // FAIL for null
        const char *after;    // bytes left after the dictionary
    } rows[] = {
        {"/W 10 /H 20 /CS /G ID \x01\x02", "<<W:10 H:20 CS:/G>>", " \x01\x02"},
        {"/W 10 junk /H 2 ID x", "<<W:10 H:2>>", " x"},
        {"/D [0 1] /F /AHx ID\nab", "<<D:[0 1] F:/AHx>>", "\nab"},
        {"/W ] /H 2 ID", "<<H:2>>", ""},
        {"/W ) /H 2 ID", "FAIL", ""},
        {"/W 10 /H 20", "FAIL", ""},
        {"ID", "<<>>", ""},
    };
    for (const Row &row : rows) {
        std::string in = row.input;
        ByteReader *r = reader_open_memory(reinterpret_cast<const uint8_t *>(in.data()), int64_t(in.size()));
        Arena *a = arena_create(0);
        PdfObject *d = pdf_parse_inline_image_dict(r, a);
        EXPECT_EQ(dump(d), row.dict) << row.input;
        if (d) {
            std::string rest;
            for (int c; (c = reader_getc(r)) >= 0;)
                rest += char(c);
            EXPECT_EQ(rest, row.after) << row.input;
        }
        arena_destroy(a);
        reader_close(r);
    }
}

TEST(PdfSyntax, ObjectAccessors)
{
    Arena *a = arena_create(0);
    PdfObject *d = pdf_new_dict(a);
    for (int i = 0; i < 20; i++) {  // forces two regrowths
        std::string k = "k" + std::to_string(i);
        auto *key = reinterpret_cast<const char *>(arena_copy(a, k.data(), k.size()));
        ASSERT_EQ(pdf_dict_put(a, d, key, pdf_new_int(a, i)), 0);
    }
    EXPECT_EQ(d->count, 20);
    EXPECT_EQ(pdf_to_int(pdf_dict_get(d, "k17"), -1), 17);
    EXPECT_EQ(pdf_dict_put(a, d, "k3", pdf_new_real(a, 2.9)), 0);
    EXPECT_EQ(d->count, 20);
    EXPECT_EQ(pdf_to_int(pdf_dict_get(d, "k3"), -1), 2);
    EXPECT_EQ(pdf_to_int(pdf_new_real(a, -2.9), 0), -2);
    EXPECT_EQ(pdf_to_int(pdf_new_real(a, 1e300), 7), 7);
    EXPECT_EQ(pdf_to_number(pdf_new_name(a, "x"), 1.5), 1.5);
    EXPECT_EQ(pdf_dict_put(a, pdf_new_array(a), "x", pdf_new_null(a)), -2);
    EXPECT_EQ(pdf_dict_put(a, d, "x", nullptr), -2);
    EXPECT_EQ(pdf_array_push(a, d, pdf_new_null(a)), -2);
    EXPECT_EQ(pdf_array_get(nullptr, 0), nullptr);
    EXPECT_EQ(pdf_array_len(d), 0);
    EXPECT_TRUE(pdf_is_name(pdf_new_name(a, "Page"), "Page"));
    EXPECT_FALSE(pdf_is_name(pdf_new_name(a, "Pages"), "Page"));
    // a stream is looked up through its dictionary
    PdfObject *s = pdf_new_null(a);
    s->type = PDF_STREAM;
    s->dict = d;
    EXPECT_EQ(pdf_to_int(pdf_dict_get(s, "k5"), -1), 5);
    arena_destroy(a);
}

// Every arena limit makes the parse either fail cleanly or give the full result.
TEST(PdfSyntax, ArenaExhaustionFailsCleanly)
{
    const std::string input = "<< /Kids [1 0 R 2 0 R (str) <41>] /Name /X#20Y /R 1.5 /D << /E [[1] [2]] >> >>";
    const std::string full = parse_all(input);
    ASSERT_NE(full.find("Kids"), std::string::npos);
    bool succeeded = false;
    for (size_t limit = 8; limit < 200000 && !succeeded; limit += 8) {
        // small blocks so the limit bites at many different allocations
        ByteReader *r = reader_open_memory(reinterpret_cast<const uint8_t *>(input.data()), int64_t(input.size()));
        Arena *a = arena_create(64);
        a->limit = limit;
        PdfParser p;
        pdf_parser_init(&p, nullptr, r, a);
        PdfObject *o = pdf_parse_next(&p);
        if (o) {
            EXPECT_EQ(dump(o), full);
            succeeded = true;
        } else {
            EXPECT_TRUE(a->failed) << "limit " << limit;
        }
        arena_destroy(a);
        reader_close(r);
    }
    EXPECT_TRUE(succeeded);
}

}  // namespace

// The CCITTFax decoding filter (PDF Reference 1.7, 3.3.5): ITU-T T.4 Group 3 one- and
// two-dimensional coding and ITU-T T.6 Group 4 coding of bilevel rows. Output is one bit
// per pixel, most significant bit first, with 0 = black unless BlackIs1 is set. Each row
// starts on a byte boundary; when Columns is not a multiple of 8, the bits after the last
// pixel of a row are 0 whatever BlackIs1 says (image code may copy whole bytes).
#include <cstdlib>
#include <cstring>

#include <array>

#include "pdf/filters.h"

namespace {

// ---- Code tables (T.4 tables 2 and 3, T.6 table 1) ----

struct Code {
    int run;    // run length, or the mode for the mode table
    int bits;   // code length
    int value;  // code bits, most significant first
};

// Make-up codes 1792..2560, shared by both colours.
constexpr Code EXTENDED_MAKEUP[] = {
    {1792, 11, 0b00000001000}, {1856, 11, 0b00000001100}, {1920, 11, 0b00000001101},
    {1984, 12, 0b000000010010}, {2048, 12, 0b000000010011}, {2112, 12, 0b000000010100},
    {2176, 12, 0b000000010101}, {2240, 12, 0b000000010110}, {2304, 12, 0b000000010111},
    {2368, 12, 0b000000011100}, {2432, 12, 0b000000011101}, {2496, 12, 0b000000011110},
    {2560, 12, 0b000000011111},
};

constexpr Code WHITE_CODES[] = {
    {0, 8, 0b00110101}, {1, 6, 0b000111}, {2, 4, 0b0111}, {3, 4, 0b1000},
    {4, 4, 0b1011}, {5, 4, 0b1100}, {6, 4, 0b1110}, {7, 4, 0b1111},
    {8, 5, 0b10011}, {9, 5, 0b10100}, {10, 5, 0b00111}, {11, 5, 0b01000},
    {12, 6, 0b001000}, {13, 6, 0b000011}, {14, 6, 0b110100}, {15, 6, 0b110101},
    {16, 6, 0b101010}, {17, 6, 0b101011}, {18, 7, 0b0100111}, {19, 7, 0b0001100},
    {20, 7, 0b0001000}, {21, 7, 0b0010111}, {22, 7, 0b0000011}, {23, 7, 0b0000100},
    {24, 7, 0b0101000}, {25, 7, 0b0101011}, {26, 7, 0b0010011}, {27, 7, 0b0100100},
    {28, 7, 0b0011000}, {29, 8, 0b00000010}, {30, 8, 0b00000011}, {31, 8, 0b00011010},
    {32, 8, 0b00011011}, {33, 8, 0b00010010}, {34, 8, 0b00010011}, {35, 8, 0b00010100},
    {36, 8, 0b00010101}, {37, 8, 0b00010110}, {38, 8, 0b00010111}, {39, 8, 0b00101000},
    {40, 8, 0b00101001}, {41, 8, 0b00101010}, {42, 8, 0b00101011}, {43, 8, 0b00101100},
    {44, 8, 0b00101101}, {45, 8, 0b00000100}, {46, 8, 0b00000101}, {47, 8, 0b00001010},
    {48, 8, 0b00001011}, {49, 8, 0b01010010}, {50, 8, 0b01010011}, {51, 8, 0b01010100},
    {52, 8, 0b01010101}, {53, 8, 0b00100100}, {54, 8, 0b00100101}, {55, 8, 0b01011000},
    {56, 8, 0b01011001}, {57, 8, 0b01011010}, {58, 8, 0b01011011}, {59, 8, 0b01001010},
    {60, 8, 0b01001011}, {61, 8, 0b00110010}, {62, 8, 0b00110011}, {63, 8, 0b00110100},
    // make-up codes
    {64, 5, 0b11011}, {128, 5, 0b10010}, {192, 6, 0b010111}, {256, 7, 0b0110111},
    {320, 8, 0b00110110}, {384, 8, 0b00110111}, {448, 8, 0b01100100}, {512, 8, 0b01100101},
    {576, 8, 0b01101000}, {640, 8, 0b01100111}, {704, 9, 0b011001100}, {768, 9, 0b011001101},
    {832, 9, 0b011010010}, {896, 9, 0b011010011}, {960, 9, 0b011010100}, {1024, 9, 0b011010101},
    {1088, 9, 0b011010110}, {1152, 9, 0b011010111}, {1216, 9, 0b011011000}, {1280, 9, 0b011011001},
    {1344, 9, 0b011011010}, {1408, 9, 0b011011011}, {1472, 9, 0b010011000}, {1536, 9, 0b010011001},
    {1600, 9, 0b010011010}, {1664, 6, 0b011000}, {1728, 9, 0b010011011},
};

constexpr Code BLACK_CODES[] = {
    {0, 10, 0b0000110111}, {1, 3, 0b010}, {2, 2, 0b11}, {3, 2, 0b10},
    {4, 3, 0b011}, {5, 4, 0b0011}, {6, 4, 0b0010}, {7, 5, 0b00011},
    {8, 6, 0b000101}, {9, 6, 0b000100}, {10, 7, 0b0000100}, {11, 7, 0b0000101},
    {12, 7, 0b0000111}, {13, 8, 0b00000100}, {14, 8, 0b00000111}, {15, 9, 0b000011000},
    {16, 10, 0b0000010111}, {17, 10, 0b0000011000}, {18, 10, 0b0000001000}, {19, 11, 0b00001100111},
    {20, 11, 0b00001101000}, {21, 11, 0b00001101100}, {22, 11, 0b00000110111}, {23, 11, 0b00000101000},
    {24, 11, 0b00000010111}, {25, 11, 0b00000011000}, {26, 12, 0b000011001010}, {27, 12, 0b000011001011},
    {28, 12, 0b000011001100}, {29, 12, 0b000011001101}, {30, 12, 0b000001101000}, {31, 12, 0b000001101001},
    {32, 12, 0b000001101010}, {33, 12, 0b000001101011}, {34, 12, 0b000011010010}, {35, 12, 0b000011010011},
    {36, 12, 0b000011010100}, {37, 12, 0b000011010101}, {38, 12, 0b000011010110}, {39, 12, 0b000011010111},
    {40, 12, 0b000001101100}, {41, 12, 0b000001101101}, {42, 12, 0b000011011010}, {43, 12, 0b000011011011},
    {44, 12, 0b000001010100}, {45, 12, 0b000001010101}, {46, 12, 0b000001010110}, {47, 12, 0b000001010111},
    {48, 12, 0b000001100100}, {49, 12, 0b000001100101}, {50, 12, 0b000001010010}, {51, 12, 0b000001010011},
    {52, 12, 0b000000100100}, {53, 12, 0b000000110111}, {54, 12, 0b000000111000}, {55, 12, 0b000000100111},
    {56, 12, 0b000000101000}, {57, 12, 0b000001011000}, {58, 12, 0b000001011001}, {59, 12, 0b000000101011},
    {60, 12, 0b000000101100}, {61, 12, 0b000001011010}, {62, 12, 0b000001100110}, {63, 12, 0b000001100111},
    // make-up codes
    {64, 10, 0b0000001111}, {128, 12, 0b000011001000}, {192, 12, 0b000011001001}, {256, 12, 0b000001011011},
    {320, 12, 0b000000110011}, {384, 12, 0b000000110100}, {448, 12, 0b000000110101}, {512, 13, 0b0000001101100},
    {576, 13, 0b0000001101101}, {640, 13, 0b0000001001010}, {704, 13, 0b0000001001011}, {768, 13, 0b0000001001100},
    {832, 13, 0b0000001001101}, {896, 13, 0b0000001110010}, {960, 13, 0b0000001110011}, {1024, 13, 0b0000001110100},
    {1088, 13, 0b0000001110101}, {1152, 13, 0b0000001110110}, {1216, 13, 0b0000001110111}, {1280, 13, 0b0000001010010},
    {1344, 13, 0b0000001010011}, {1408, 13, 0b0000001010100}, {1472, 13, 0b0000001010101}, {1536, 13, 0b0000001011010},
    {1600, 13, 0b0000001011011}, {1664, 13, 0b0000001100100}, {1728, 13, 0b0000001100101},
};

enum Mode { MODE_PASS = 1, MODE_HORIZONTAL, MODE_V0, MODE_VR1, MODE_VR2, MODE_VR3, MODE_VL1, MODE_VL2, MODE_VL3 };

// T.4 table 4 / T.6 table 1: the two-dimensional mode codes (extension and EOL are errors here).
constexpr Code MODE_CODES[] = {
    {MODE_PASS, 4, 0b0001}, {MODE_HORIZONTAL, 3, 0b001}, {MODE_V0, 1, 0b1},
    {MODE_VR1, 3, 0b011}, {MODE_VR2, 6, 0b000011}, {MODE_VR3, 7, 0b0000011},
    {MODE_VL1, 3, 0b010}, {MODE_VL2, 6, 0b000010}, {MODE_VL3, 7, 0b0000010},
};

constexpr int WHITE_BITS = 12;  // longest white code
constexpr int BLACK_BITS = 13;  // longest black code
constexpr int MODE_BITS = 7;

struct Entry {
    int16_t run;   // run length or mode
    uint8_t bits;  // 0: no code starts with these bits
};

template <int Bits>
struct Table {
    std::array<Entry, 1 << Bits> entries{};
    bool prefix_free = true;

    constexpr void add(const Code &c)
    {
        const int spare = Bits - c.bits;
        for (int i = 0; i < 1 << spare; i++) {
            Entry &e = entries[size_t(c.value << spare | i)];
            if (e.bits != 0)
                prefix_free = false;
            e = Entry{int16_t(c.run), uint8_t(c.bits)};
        }
    }
};

template <int Bits, size_t N>
constexpr Table<Bits> build(const Code (&codes)[N], bool extended)
{
    Table<Bits> t;
    for (const Code &c : codes)
        t.add(c);
    if (extended)
        for (const Code &c : EXTENDED_MAKEUP)
            t.add(c);
    return t;
}

constexpr Table<WHITE_BITS> WHITE = build<WHITE_BITS>(WHITE_CODES, true);
constexpr Table<BLACK_BITS> BLACK = build<BLACK_BITS>(BLACK_CODES, true);
constexpr Table<MODE_BITS> MODES = build<MODE_BITS>(MODE_CODES, false);
static_assert(WHITE.prefix_free && BLACK.prefix_free && MODES.prefix_free, "code tables overlap");

// ---- Bit reader ----

constexpr int PAD_LIMIT_BITS = 256;  // zero bits appended after the data before giving up

struct BitReader {
    ByteReader *source;
    uint64_t acc;  // the low `count` bits are unread, oldest highest
    int count;
    int pad;       // zero bits appended at the end of the data (still in or already out of acc)
};

inline void bits_ensure(BitReader *b, int n)
{
    while (b->count < n) {
        int c = reader_getc(b->source);
        if (c < 0) {
            c = 0;
            if (b->pad < PAD_LIMIT_BITS)
                b->pad += 8;
        }
        b->acc = b->acc << 8 | uint64_t(c);
        b->count += 8;
    }
}

inline int bits_peek(BitReader *b, int n)
{
    bits_ensure(b, n);
    return int(b->acc >> (b->count - n)) & ((1 << n) - 1);
}

inline void bits_skip(BitReader *b, int n) { b->count -= n; }

// True when no bit of the data is left (only appended zeros).
inline bool bits_at_end(BitReader *b)
{
    bits_ensure(b, 1);
    return b->pad >= b->count;
}

// True when decoding has read into the appended zeros.
inline bool bits_overrun(const BitReader *b) { return b->pad > b->count; }

inline void bits_align(BitReader *b) { b->count -= b->count % 8; }

// ---- Decoder ----

struct CcittState {
    CcittParams params;
    BitReader bits;
    int *ref;   // changing elements of the reference row (non-decreasing), then three `columns` sentinels
    int nref;
    int *cur;   // changing elements of the row being decoded
    int ncur;
    int capacity;  // entries of ref and cur
    int rows_done;
    int damaged;
    int finished;
    int row_bytes;
    int row_pos;   // next byte of `row` to deliver
    int row_len;
    uint8_t *row;
};

// Appends a changing element. A zero-length run leaves two equal elements: they paint
// nothing, but the next row sees them on its reference line, as libtiff's decoder does;
// some encoders write such runs and code the following row against them.
inline bool push_change(CcittState *s, int x)
{
    if (x > s->params.columns)
        x = s->params.columns;
    if (s->ncur > 0 && x < s->cur[s->ncur - 1])
        return false;
    if (s->ncur >= s->capacity - 3)
        return false;
    s->cur[s->ncur++] = x;
    return true;
}

// One run of the given colour (make-up codes plus a terminating code); -1 when no code fits.
int decode_run(CcittState *s, int color)
{
    int total = 0;
    for (;;) {
        Entry e = color == 0 ? WHITE.entries[size_t(bits_peek(&s->bits, WHITE_BITS))]
                             : BLACK.entries[size_t(bits_peek(&s->bits, BLACK_BITS))];
        if (e.bits == 0)
            return -1;
        bits_skip(&s->bits, e.bits);
        if (bits_overrun(&s->bits))
            return -1;
        total += e.run;
        if (e.run < 64)
            return total;
        if (total > 4 * FILTER_CCITT_MAX_COLUMNS)
            return -1;
    }
}

// One-dimensional (modified Huffman) row: 1 decoded, 2 partly decoded, 0 failed.
int decode_1d(CcittState *s)
{
    const int columns = s->params.columns;
    int pos = 0, color = 0, runs = 0;
    while (pos < columns) {
        int run = decode_run(s, color);
        if (run < 0)
            return runs > 0 ? 2 : 0;
        pos += run;
        if (!push_change(s, pos))
            return 0;
        color ^= 1;
        runs++;
    }
    return 1;
}

// Two-dimensional row against the reference row: true when decoded.
bool decode_2d(CcittState *s)
{
    const int columns = s->params.columns;
    const int *ref = s->ref;
    int a0 = -1, color = 0, bi = 0;
    while (a0 < columns) {
        while (bi < s->nref && ref[bi] <= a0)
            bi++;
        int i = bi + ((bi & 1) != color ? 1 : 0);
        const int b1 = ref[i], b2 = ref[i + 1];
        Entry e = MODES.entries[size_t(bits_peek(&s->bits, MODE_BITS))];
        if (e.bits == 0)
            return false;  // EOL, EOFB or an extension
        bits_skip(&s->bits, e.bits);
        if (bits_overrun(&s->bits))
            return false;
        if (e.run == MODE_PASS) {
            a0 = b2;
            continue;
        }
        if (e.run == MODE_HORIZONTAL) {
            int start = a0 < 0 ? 0 : a0;
            int r1 = decode_run(s, color);
            int r2 = r1 < 0 ? -1 : decode_run(s, color ^ 1);
            if (r2 < 0 || !push_change(s, start + r1) || !push_change(s, start + r1 + r2))
                return false;
            a0 = start + r1 + r2;
            continue;
        }
        static constexpr int DELTA[] = {0, 0, 0, 0, 1, 2, 3, -1, -2, -3};
        int a1 = b1 + DELTA[e.run];
        if (a1 < 0 || a1 < a0 || !push_change(s, a1))
            return false;
        a0 = a1;
        color ^= 1;
    }
    return true;
}

// Skips EOL codes: eleven or more zero bits (fill included) and a one. Returns how many.
int skip_eols(CcittState *s)
{
    BitReader *b = &s->bits;
    int found = 0;
    for (;;) {
        int zeros = 0;
        while (!bits_at_end(b) && bits_peek(b, 1) == 0 && zeros < 4096) {
            bits_skip(b, 1);
            zeros++;
        }
        if (zeros >= 11 && !bits_at_end(b) && bits_peek(b, 1) == 1) {
            bits_skip(b, 1);
            found++;
            continue;
        }
        // Fewer than eleven zeros start the row's first code: give them back. They are
        // still in the accumulator, which reloads only when it is nearly empty.
        if (zeros < 11)
            b->count += zeros;
        return found;
    }
}

// Moves to just before the next EOL after a damaged row; false when there is none.
bool resync_to_eol(CcittState *s)
{
    BitReader *b = &s->bits;
    while (!bits_at_end(b)) {
        if (bits_peek(b, 12) == 1)
            return true;
        bits_skip(b, 1);
    }
    return false;
}

void set_black(uint8_t *row, int from, int to)
{
    while (from < to && (from & 7)) {
        row[from >> 3] |= uint8_t(0x80 >> (from & 7));
        from++;
    }
    if (to - from >= 8) {
        std::memset(row + (from >> 3), 0xFF, size_t((to - from) >> 3));
        from += (to - from) & ~7;
    }
    while (from < to) {
        row[from >> 3] |= uint8_t(0x80 >> (from & 7));
        from++;
    }
}

// Turns the coding line into the output row and makes it the next reference row.
void finish_row(CcittState *s)
{
    const int columns = s->params.columns;
    while (s->ncur > 0 && s->cur[s->ncur - 1] >= columns)
        s->ncur--;
    std::memset(s->row, 0, size_t(s->row_bytes));
    for (int i = 0; i < s->ncur; i += 2)
        set_black(s->row, s->cur[i], i + 1 < s->ncur ? s->cur[i + 1] : columns);
    if (!s->params.black_is_1)
        for (int i = 0; i < s->row_bytes; i++)
            s->row[i] = uint8_t(~s->row[i]);
    if (columns & 7)  // the padding bits are 0, also after the inversion
        s->row[s->row_bytes - 1] &= uint8_t(0xFF << (8 - (columns & 7)));
    int *t = s->ref;
    s->ref = s->cur;
    s->cur = t;
    s->nref = s->ncur;
    for (int i = 0; i < 3; i++)
        s->ref[s->nref + i] = columns;
    s->ncur = 0;
    s->row_len = s->row_bytes;
    s->row_pos = 0;
    s->rows_done++;
}

// A row that failed: repeats the row above while damaged rows are allowed and an EOL
// follows to start again from; otherwise false.
bool recover_row(CcittState *s)
{
    if (s->params.k < 0 || s->damaged >= s->params.damaged_rows_before_error || !resync_to_eol(s))
        return false;
    s->damaged++;
    std::memcpy(s->cur, s->ref, size_t(s->nref) * sizeof(int));
    s->ncur = s->nref;
    finish_row(s);
    return true;
}

// Decodes the next row into s->row; false at the end of the data.
bool next_row(CcittState *s)
{
    const CcittParams &p = s->params;
    if (p.rows > 0 && s->rows_done >= p.rows)
        return false;
    s->ncur = 0;
    if (p.k >= 0) {
        if (skip_eols(s) == 0 && p.encoded_byte_align) {
            bits_align(&s->bits);
            skip_eols(s);
        }
    } else if (p.encoded_byte_align) {
        bits_align(&s->bits);
    }
    if (bits_at_end(&s->bits))
        return false;
    bool two_d = p.k < 0;
    if (p.k > 0) {
        two_d = bits_peek(&s->bits, 1) == 0;
        bits_skip(&s->bits, 1);
    }
    if (two_d) {
        if (!decode_2d(s))
            return recover_row(s);
    } else {
        int rc = (skip_eols(s), decode_1d(s));
        if (rc == 0)
            return recover_row(s);
    }
    finish_row(s);
    return true;
}

int ccitt_fill(ByteReader *r, uint8_t *buffer, int capacity)
{
    auto *s = static_cast<CcittState *>(r->ctx);
    int produced = 0;
    while (produced < capacity) {
        if (s->row_pos >= s->row_len) {
            if (s->finished || !next_row(s)) {
                s->finished = 1;
                break;
            }
        }
        produced += filter_take_row(buffer + produced, capacity - produced, s->row, s->row_len, &s->row_pos);
    }
    return produced;
}

void free_state(CcittState *s)
{
    std::free(s->ref);
    std::free(s->cur);
    std::free(s->row);
    std::free(s);
}

void ccitt_close(ByteReader *r) { free_state(static_cast<CcittState *>(r->ctx)); }

}  // namespace

ByteReader *pdf_filter_ccitt(ByteReader *source, const CcittParams &params)
{
    if (!source)
        return nullptr;
    auto *s = static_cast<CcittState *>(std::calloc(1, sizeof(CcittState)));
    if (!s)
        return nullptr;
    s->params = params;
    if (s->params.columns < 1 || s->params.columns > FILTER_CCITT_MAX_COLUMNS)
        s->params.columns = 1728;
    if (s->params.damaged_rows_before_error < 0)
        s->params.damaged_rows_before_error = 0;
    const int columns = s->params.columns;
    s->capacity = 2 * columns + 8;  // zero-length runs add elements without advancing
    s->row_bytes = (columns + 7) / 8;
    s->ref = static_cast<int *>(std::malloc(size_t(s->capacity) * sizeof(int)));
    s->cur = static_cast<int *>(std::malloc(size_t(s->capacity) * sizeof(int)));
    s->row = static_cast<uint8_t *>(std::malloc(size_t(s->row_bytes)));
    s->bits.source = source;
    ByteReader *r = (s->ref && s->cur && s->row) ? reader_new(ccitt_fill, s, source) : nullptr;
    if (!r) {
        free_state(s);
        return nullptr;
    }
    for (int i = 0; i < 3; i++)
        s->ref[i] = columns;  // the imaginary white row above the first
    r->close = ccitt_close;
    return r;
}

// The plain-text reader's document: reading the file, the line index with
// its visual rows, the encoding and layout settings, and the one-line cache
// of decoded characters.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fonts/font_state.h"
#include "fonts/glyph.h"
#include "formats/limits.h"
#include "formats/text_internal.h"
#include "pdf/reader.h"

namespace {

constexpr int kFirstLineCapacity = 1024;
// Rows past the last page can never be shown: the index stops there.
constexpr int64_t kMaxRows = int64_t(TEXT_MAX_PAGES) * TEXT_ROWS_PER_PAGE;

bool is_utf16(int encoding) { return encoding == TEXT_UTF16LE || encoding == TEXT_UTF16BE; }

bool ensure_line_buffer(TextDoc *doc)
{
    if (!doc->line_buffer)
        doc->line_buffer = static_cast<uint16_t *>(std::malloc(sizeof(uint16_t) * TEXT_LINE_MAX_CHARS));
    return doc->line_buffer != nullptr;
}

// Appends a line; false when the array cannot grow (the index ends there).
bool add_line(TextDoc *doc, int offset, int length, int chars)
{
    if (doc->line_count == doc->line_capacity) {
        const int capacity = doc->line_capacity ? doc->line_capacity * 2 : kFirstLineCapacity;
        auto *grown = static_cast<TextLine *>(std::realloc(doc->lines, sizeof(TextLine) * size_t(capacity)));
        if (!grown)
            return false;
        doc->lines = grown;
        doc->line_capacity = capacity;
    }
    doc->lines[doc->line_count++] = TextLine{offset, length, doc->total_rows};
    const int rows = chars > 0 ? (chars + doc->columns - 1) / doc->columns : 1;
    doc->total_rows += rows;
    return true;
}

// Indexes one logical line. A line that decodes to more characters than
// the line buffer holds is indexed as consecutive pieces that each fill
// whole rows, so that none of its text is lost. False when the index ends.
bool index_line(TextDoc *doc, int offset, int length)
{
    int done = 0;
    bool first = true;
    do {
        int used = 0;
        const int chars = text_decode(doc->encoding, doc->data + offset + done, length - done,
                                      doc->line_buffer, TEXT_LINE_PIECE_CHARS, &used);
        if (!first && chars == 0)
            break;  // nothing left but what decodes to nothing
        if (!add_line(doc, offset + done, used, chars))
            return false;
        if (doc->total_rows >= kMaxRows)
            return false;
        done += used;
        first = false;
    } while (done < length);
    return true;
}

// Drops every line and indexes the data again in the current encoding.
void build_index(TextDoc *doc)
{
    doc->line_count = 0;
    doc->total_rows = 0;
    doc->cached_line = -1;
    if (!ensure_line_buffer(doc))
        return;
    const bool utf16 = is_utf16(doc->encoding);
    const bool big = doc->encoding == TEXT_UTF16BE;
    const int step = utf16 ? 2 : 1;
    const int end = utf16 ? doc->length & ~1 : doc->length;  // an odd last byte is ignored
    const uint8_t *d = doc->data;
    auto unit = [&](int at) -> unsigned {
        if (!utf16)
            return d[at];
        return big ? unsigned(d[at] << 8 | d[at + 1]) : unsigned(d[at + 1] << 8 | d[at]);
    };
    int start = text_bom_length(doc);
    bool open = false;  // content after the last line break
    for (int i = start; i < end; i += step) {
        const unsigned u = unit(i);
        if (u != '\n' && u != '\r') {
            open = true;
            continue;
        }
        if (!index_line(doc, start, i - start))
            return;
        if (u == '\r' && i + step < end && unit(i + step) == '\n')
            i += step;
        start = i + step;
        open = false;
    }
    if (open || doc->line_count == 0) {
        const int length = open ? end - start : 0;
        index_line(doc, open ? start : end, length);
    }
    doc->cached_line = -1;
}

TextDoc *text_new(uint8_t *data, int length, const char *name)
{
    auto *doc = static_cast<TextDoc *>(std::calloc(1, sizeof(TextDoc)));
    if (!doc) {
        std::free(data);
        return nullptr;
    }
    doc->data = data;
    doc->length = length;
    doc->columns = TEXT_COLUMNS;
    doc->rows_per_page = TEXT_ROWS_PER_PAGE;
    doc->mono = 1;
    doc->cached_line = -1;
    doc->encoding = text_detect_encoding(data, length, name, &doc->encoding_sure);
    build_index(doc);
    if (!doc->line_buffer) {
        text_close(doc);
        return nullptr;
    }
    return doc;
}

// The size of an open file, which is left at its start; -1 when unknown.
// 64-bit offsets, so that a file of several gigabytes is cut, not refused.
int64_t file_size(FILE *fp)
{
#ifdef _WIN32
    int64_t size = _fseeki64(fp, 0, SEEK_END) == 0 ? _ftelli64(fp) : -1;
    return size >= 0 && _fseeki64(fp, 0, SEEK_SET) == 0 ? size : -1;
#else
    int64_t size = fseeko(fp, 0, SEEK_END) == 0 ? int64_t(ftello(fp)) : -1;
    return size >= 0 && fseeko(fp, 0, SEEK_SET) == 0 ? size : -1;
#endif
}

void release_face(FT_Face *face)
{
    if (*face) {
        glyph_cache_purge(*face);
        ft_face_release(*face);
        *face = nullptr;
    }
}

}  // namespace

TextDoc *text_open(const char *path)
{
    FILE *fp = reader_fopen(path);
    if (!fp)
        return nullptr;
    int64_t size = file_size(fp);
    if (size < 0) {
        std::fclose(fp);
        return nullptr;
    }
    const size_t want = size_t(size < TEXT_MAX_FILE ? size : TEXT_MAX_FILE);
    auto *data = static_cast<uint8_t *>(std::malloc(want > 0 ? want : 1));
    if (!data) {
        std::fclose(fp);
        return nullptr;
    }
    const size_t got = std::fread(data, 1, want, fp);
    std::fclose(fp);
    return text_new(data, int(got), path);
}

TextDoc *text_open_memory(const uint8_t *bytes, int64_t size, const char *name)
{
    if (size < 0 || (size > 0 && !bytes))
        return nullptr;
    const size_t n = size_t(size < TEXT_MAX_FILE ? size : TEXT_MAX_FILE);
    auto *data = static_cast<uint8_t *>(std::malloc(n > 0 ? n : 1));
    if (!data)
        return nullptr;
    if (n > 0)
        std::memcpy(data, bytes, n);
    return text_new(data, int(n), name);
}

void text_close(TextDoc *doc)
{
    if (!doc)
        return;
    release_face(&doc->mono_face);
    release_face(&doc->prop_face);
    std::free(doc->prop_advance);
    std::free(doc->line_buffer);
    std::free(doc->lines);
    std::free(doc->data);
    std::free(doc);
}

bool text_set_encoding(TextDoc *doc, int encoding)
{
    if (!doc || encoding < -1 || encoding >= TEXT_ENCODING_COUNT)
        return false;
    if (encoding == -1) {
        doc->encoding = text_detect_encoding(doc->data, doc->length, nullptr, &doc->encoding_sure);
    } else {
        doc->encoding = encoding;
        doc->encoding_sure = 1;
    }
    build_index(doc);
    return true;
}

int text_encoding(const TextDoc *doc) { return doc ? doc->encoding : TEXT_ASCII; }
int text_encoding_sure(const TextDoc *doc) { return doc ? doc->encoding_sure : 1; }

void text_set_mono(TextDoc *doc, int mono)
{
    if (doc)
        doc->mono = mono ? 1 : 0;
}

int text_mono(const TextDoc *doc) { return doc ? doc->mono : 1; }

int text_page_count(const TextDoc *doc)
{
    if (!doc)
        return 0;
    const int64_t pages = (int64_t(doc->total_rows) + doc->rows_per_page - 1) / doc->rows_per_page;
    return pages < 1 ? 1 : pages > TEXT_MAX_PAGES ? TEXT_MAX_PAGES : int(pages);
}

void text_page_size(const TextDoc *, int, float *width_pt, float *height_pt)
{
    if (width_pt)
        *width_pt = TEXT_PAGE_WIDTH;
    if (height_pt)
        *height_pt = TEXT_PAGE_HEIGHT;
}

// ---- Shared with the layout ----

int text_bom_length(const TextDoc *doc)
{
    const uint8_t *d = doc->data;
    if (doc->encoding == TEXT_UTF8 && doc->length >= 3 && d[0] == 0xEF && d[1] == 0xBB && d[2] == 0xBF)
        return 3;
    if (is_utf16(doc->encoding) && doc->length >= 2 &&
        ((d[0] == 0xFF && d[1] == 0xFE) || (d[0] == 0xFE && d[1] == 0xFF)))
        return 2;
    return 0;
}

const uint16_t *text_line_chars(TextDoc *doc, int index, int *count)
{
    *count = 0;
    if (index < 0 || index >= doc->line_count || !ensure_line_buffer(doc))
        return nullptr;
    if (doc->cached_line != index) {
        const TextLine &line = doc->lines[index];
        doc->cached_length = text_decode(doc->encoding, doc->data + line.offset, line.length,
                                         doc->line_buffer, TEXT_LINE_MAX_CHARS, nullptr);
        doc->cached_line = index;
    }
    *count = doc->cached_length;
    return doc->line_buffer;
}

int text_line_of_row(const TextDoc *doc, int row)
{
    int lo = 0, hi = doc->line_count - 1;
    while (lo < hi) {
        const int mid = lo + (hi - lo + 1) / 2;
        if (doc->lines[mid].first_row <= row)
            lo = mid;
        else
            hi = mid - 1;
    }
    return lo;
}

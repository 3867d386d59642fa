// The eleven encodings of plain text documents: their names, the detection
// rules, and the decoding of one line into 16-bit characters (the seven
// single-byte ones through the shared code page tables).
#include <cstddef>
#include <cstring>

#include "formats/code_pages.h"
#include "formats/limits.h"
#include "formats/text_internal.h"

namespace {

// The table of a single-byte encoding, null for the others.
const uint16_t *high_table(int encoding)
{
    switch (encoding) {
    case TEXT_WINDOWS_1254: return code_page_upper(1254);
    case TEXT_ISO_8859_9: return code_page_upper(28599);
    case TEXT_OEM_857: return code_page_upper(857);
    case TEXT_OEM_850: return code_page_upper(850);
    case TEXT_WINDOWS_1252: return code_page_upper(1252);
    case TEXT_OEM_437: return code_page_upper(437);
    case TEXT_MAC_TURKISH: return code_page_upper(10081);
    default: return nullptr;
    }
}

constexpr const char *kNames[TEXT_ENCODING_COUNT] = {
    "UTF-8", "UTF-16 LE", "UTF-16 BE", "Windows-1254", "ISO-8859-9", "OEM 857",
    "OEM 850", "Windows-1252", "OEM 437", "ASCII", "Mac Turkish",
};

// Continuation bytes a UTF-8 lead byte announces; 0 for bytes that lead nothing.
int utf8_continuations(uint8_t b)
{
    if ((b & 0xE0) == 0xC0)
        return 1;
    if ((b & 0xF0) == 0xE0)
        return 2;
    if ((b & 0xF8) == 0xF0)
        return 3;
    return 0;
}

// The text after the last "." of the file name (directories ignored), or "".
const char *name_extension(const char *path)
{
    if (!path)
        return "";
    const char *name = path;
    for (const char *p = path; *p; p++) {
        if (*p == '/' || *p == '\\')
            name = p + 1;
    }
    const char *dot = std::strrchr(name, '.');
    return dot ? dot + 1 : "";
}

char fold(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// A name without case, spaces, hyphens and underscores.
void name_key(const char *name, char *out, size_t size)
{
    size_t n = 0;
    for (; *name && n + 1 < size; name++) {
        if (*name != ' ' && *name != '-' && *name != '_')
            out[n++] = fold(*name);
    }
    out[n] = 0;
}

}  // namespace

const char *text_encoding_name(int index)
{
    return index >= 0 && index < TEXT_ENCODING_COUNT ? kNames[index] : "?";
}

int text_encoding_by_name(const char *name)
{
    if (!name)
        return -1;
    char want[32], have[32];
    name_key(name, want, sizeof want);
    for (int i = 0; i < TEXT_ENCODING_COUNT; i++) {
        name_key(kNames[i], have, sizeof have);
        if (want[0] && std::strcmp(want, have) == 0)
            return i;
    }
    return -1;
}

int text_detect_encoding(const uint8_t *data, int64_t length, const char *path, int *sure)
{
    if (sure)
        *sure = 1;
    if (!data || length < 0)
        length = 0;
    if (length >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF)
        return TEXT_UTF8;
    if (length >= 2 && data[0] == 0xFF && data[1] == 0xFE)
        return TEXT_UTF16LE;
    if (length >= 2 && data[0] == 0xFE && data[1] == 0xFF)
        return TEXT_UTF16BE;
    const int64_t sample = length < TEXT_DETECT_SAMPLE ? length : TEXT_DETECT_SAMPLE;
    bool high = false, valid = true, multi = false;
    for (int64_t i = 0; i < sample; i++) {
        if (data[i] < 0x80)
            continue;
        high = true;
        const int need = utf8_continuations(data[i]);
        if (need == 0) {
            valid = false;
            break;
        }
        if (i + need >= sample) {
            // A sequence the end of the data cuts is broken. One that only
            // the sample's limit cuts is left unjudged: otherwise a UTF-8
            // file longer than the sample would pass for a code page
            // whenever a character straddles the limit (most of the time
            // for text in three-byte scripts).
            if (sample == length)
                valid = false;
            break;
        }
        for (int k = 1; k <= need; k++) {
            if ((data[i + k] & 0xC0) != 0x80)
                valid = false;
        }
        if (!valid)
            break;
        multi = true;
        i += need;
    }
    if (valid && multi)
        return TEXT_UTF8;
    if (!high)
        return TEXT_ASCII;
    if (sure)
        *sure = 0;
    const char *ext = name_extension(path);
    return fold(ext[0]) == 'n' && fold(ext[1]) == 'f' ? TEXT_OEM_437 : TEXT_WINDOWS_1254;
}

int text_decode(int encoding, const uint8_t *bytes, int length, uint16_t *out, int max_chars, int *consumed)
{
    const uint16_t *table = high_table(encoding);
    const bool utf16 = encoding == TEXT_UTF16LE || encoding == TEXT_UTF16BE;
    const bool big = encoding == TEXT_UTF16BE;
    int n = 0, i = 0;
    while (i < length) {
        const int start = i;
        uint32_t c;
        if (utf16) {
            if (i + 1 >= length)  // an odd last byte
                break;
            auto unit = [&](int at) { return big ? uint32_t(bytes[at] << 8 | bytes[at + 1]) : uint32_t(bytes[at + 1] << 8 | bytes[at]); };
            c = unit(i);
            i += 2;
            if (c >= 0xD800 && c < 0xDC00 && i + 1 < length) {
                const uint32_t low = unit(i);
                if (low >= 0xDC00 && low < 0xE000) {
                    c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                    i += 2;
                }
            }
        } else if (encoding == TEXT_UTF8) {
            c = bytes[i++];
            const int need = c >= 0x80 ? utf8_continuations(uint8_t(c)) : 0;
            if (need > 0 && i + need <= length) {
                // Decoded by the lead byte alone: the continuation bits are
                // not checked, so damaged text still shows its letters.
                c &= 0x3Fu >> need;
                for (int k = 0; k < need; k++)
                    c = c << 6 | (bytes[i++] & 0x3Fu);
            }
        } else {
            c = bytes[i++];
            if (c >= 0x80)
                c = table ? table[c - 0x80] : '?';
            if (c == 0xFFFD)
                continue;
        }
        if (c == '\t') {
            const int spaces = 8 - n % 8;
            if (n + spaces > max_chars) {
                i = start;
                break;
            }
            for (int k = 0; k < spaces; k++)
                out[n++] = ' ';
        } else if (c >= 32) {
            if (n >= max_chars) {
                i = start;
                break;
            }
            out[n++] = c > 0xFFFF ? uint16_t('?') : uint16_t(c);
        }
    }
    if (consumed)
        *consumed = i;
    return n;
}

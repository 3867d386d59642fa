// RTF parsing (RTF 1.x): one pass over the bytes with a stack of group states
// that turns the body, header and footer text into styled characters, the
// paragraph, break, table and picture control words into items, and reads
// the font table, colour table, page setup and picture data on the way.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>

#include "formats/rtf_internal.h"

namespace {

enum Dest { D_BODY, D_SKIP, D_FONTS, D_COLOURS, D_PICT, D_HEADER, D_FOOTER, D_FIELD_INST };

constexpr int kFieldInstKept = 64;  // bytes of a field instruction looked at

// The state a group inherits from its parent and drops at its end.
struct Level {
    int font, half_points;
    bool bold, italic, underline;
    int colour;
    int align, left, right, first, before, after;  // twips
    int dest;
    int uc;  // characters skipped after \u
};

struct Picture {
    int kind;
    int wgoal, hgoal, w, h;  // -1 = not given
    std::vector<uint8_t> data;
    int high_nibble;  // -1 = none pending
    int from_dest;
};

enum Word {
    W_NONE, W_FONTTBL, W_COLORTBL, W_SKIP, W_HEADER, W_FOOTER, W_PICT, W_ANSICPG, W_DEFF,
    W_PAPERW, W_PAPERH, W_MARGL, W_MARGR, W_MARGT, W_MARGB, W_F, W_FSERIF, W_FSWISS, W_FMODERN,
    W_FCHARSET, W_RED, W_GREEN, W_BLUE, W_PICWGOAL, W_PICHGOAL, W_PICW, W_PICH, W_PNGBLIP,
    W_JPEGBLIP, W_OTHERBLIP, W_PLAIN, W_B, W_I, W_UL, W_ULNONE, W_FS, W_CF, W_UC, W_U, W_PARD,
    W_QL, W_QR, W_QC, W_QJ, W_LI, W_RI, W_FI, W_SB, W_SA, W_PAR, W_LINE, W_PAGE, W_TAB, W_TROWD,
    W_CELLX, W_CELL, W_ROW, W_BIN, W_NONSHPPICT, W_FIELD, W_FLDINST,
};

const std::unordered_map<std::string_view, Word> &word_table()
{
    static const std::unordered_map<std::string_view, Word> table = {
        {"fonttbl", W_FONTTBL}, {"colortbl", W_COLORTBL},
        {"stylesheet", W_SKIP}, {"info", W_SKIP}, {"pntext", W_SKIP}, {"listtable", W_SKIP},
        {"revtbl", W_SKIP}, {"rsidtbl", W_SKIP}, {"generator", W_SKIP}, {"xmlnstbl", W_SKIP},
        {"themedata", W_SKIP}, {"colorschememapping", W_SKIP}, {"datastore", W_SKIP},
        {"latentstyles", W_SKIP}, {"fldinst", W_FLDINST}, {"field", W_FIELD}, {"bkmkstart", W_SKIP}, {"bkmkend", W_SKIP},
        {"header", W_HEADER}, {"headerl", W_HEADER}, {"headerr", W_HEADER}, {"headerf", W_HEADER},
        {"footer", W_FOOTER}, {"footerl", W_FOOTER}, {"footerr", W_FOOTER}, {"footerf", W_FOOTER},
        {"pict", W_PICT}, {"ansicpg", W_ANSICPG}, {"deff", W_DEFF},
        {"paperw", W_PAPERW}, {"paperh", W_PAPERH}, {"margl", W_MARGL}, {"margr", W_MARGR},
        {"margt", W_MARGT}, {"margb", W_MARGB},
        {"f", W_F}, {"froman", W_FSERIF}, {"fscript", W_FSERIF}, {"fdecor", W_FSERIF},
        {"fnil", W_FSERIF}, {"ftech", W_FSERIF}, {"fswiss", W_FSWISS}, {"fmodern", W_FMODERN},
        {"fcharset", W_FCHARSET}, {"red", W_RED}, {"green", W_GREEN}, {"blue", W_BLUE},
        {"picwgoal", W_PICWGOAL}, {"pichgoal", W_PICHGOAL}, {"picw", W_PICW}, {"pich", W_PICH},
        {"pngblip", W_PNGBLIP}, {"jpegblip", W_JPEGBLIP}, {"emfblip", W_OTHERBLIP},
        {"wmetafile", W_OTHERBLIP}, {"dibitmap", W_OTHERBLIP}, {"wbitmap", W_OTHERBLIP},
        {"plain", W_PLAIN}, {"b", W_B}, {"i", W_I}, {"ul", W_UL}, {"ulnone", W_ULNONE},
        {"fs", W_FS}, {"cf", W_CF}, {"uc", W_UC}, {"u", W_U}, {"pard", W_PARD},
        {"ql", W_QL}, {"qr", W_QR}, {"qc", W_QC}, {"qj", W_QJ},
        {"li", W_LI}, {"ri", W_RI}, {"fi", W_FI}, {"sb", W_SB}, {"sa", W_SA},
        {"par", W_PAR}, {"line", W_LINE}, {"page", W_PAGE}, {"sect", W_PAGE}, {"tab", W_TAB},
        {"trowd", W_TROWD}, {"cellx", W_CELLX}, {"cell", W_CELL}, {"row", W_ROW},
        {"bin", W_BIN}, {"nonshppict", W_NONSHPPICT},
    };
    return table;
}

float clamp_points(int twips)
{
    float v = float(twips) / 20.0f;
    return v > RTF_MAX_COORD ? RTF_MAX_COORD : v < -RTF_MAX_COORD ? -RTF_MAX_COORD : v;
}

struct Parser {
    RtfDoc *doc;
    const uint8_t *p, *end;
    Level stack[RTF_MAX_DEPTH];
    int depth;
    long shared;            // groups opened beyond the stack, sharing its top level
    int skip;               // characters still to drop after \u
    uint32_t high_surrogate;  // first half of a \u pair, 0 = none
    int font_entry;         // font being defined in the font table, -1 = none
    int red, green, blue;
    bool component_given;
    Picture pict;
    std::unordered_map<uint64_t, uint16_t> style_index;
    // The innermost field: its group level, the text length when it began
    // and its instruction.
    int field_depth = -1;
    size_t field_text_at;
    std::string field_inst;

    Level &cur() { return stack[depth]; }

    uint16_t style_of(const Level &l)
    {
        RtfStyle s{};
        const int family = l.font >= 0 && l.font < RTF_MAX_FONTS ? int(doc->font_family[l.font]) : int(RTF_SERIF);
        s.face = uint8_t(family * 4 + (l.bold ? 1 : 0) + (l.italic ? 2 : 0));
        s.size = l.half_points > 0 ? float(l.half_points) / 2.0f : 12.0f;
        if (s.size > 800)
            s.size = 800;
        if (l.colour >= 1 && l.colour < int(doc->colours.size()) && !doc->colours[size_t(l.colour)].automatic) {
            const RtfDoc::Colour &c = doc->colours[size_t(l.colour)];
            s.red = c.red;
            s.green = c.green;
            s.blue = c.blue;
        }
        s.underline = l.underline ? 1 : 0;
        uint32_t size_bits;
        std::memcpy(&size_bits, &s.size, 4);
        const uint64_t key = uint64_t(size_bits) << 32 | uint64_t(s.red) << 24 | uint64_t(s.green) << 16 |
                             uint64_t(s.blue) << 8 | uint64_t(s.face) << 1 | s.underline;
        auto it = style_index.find(key);
        if (it != style_index.end())
            return it->second;
        if (int(doc->styles.size()) >= RTF_MAX_STYLES)
            return uint16_t(RTF_MAX_STYLES - 1);
        const uint16_t index = uint16_t(doc->styles.size());
        doc->styles.push_back(s);
        style_index.emplace(key, index);
        return index;
    }

    bool text_dest() const
    {
        const int d = stack[depth].dest;
        return d == D_BODY || d == D_HEADER || d == D_FOOTER;
    }

    void put(uint32_t code)
    {
        const Level &l = cur();
        std::vector<RtfChar> *to = l.dest == D_BODY ? &doc->chars
                                 : l.dest == D_HEADER ? &doc->header_chars
                                 : l.dest == D_FOOTER ? &doc->footer_chars : nullptr;
        if (!to)
            return;
        const size_t cap = l.dest == D_BODY ? RTF_MAX_CHARS : RTF_MAX_BAND_CHARS;
        if (to->size() < cap)
            to->push_back(RtfChar{code, style_of(l)});
    }

    // A \u value: UTF-16 pairs written as two \u join, a lone half is U+FFFD.
    void put_unicode(uint32_t code)
    {
        if (code >= 0xD800 && code < 0xDC00) {
            if (high_surrogate)
                put(0xFFFD);
            high_surrogate = code;
            return;
        }
        if (code >= 0xDC00 && code < 0xE000) {
            put(high_surrogate ? 0x10000 + ((high_surrogate - 0xD800) << 10) + (code - 0xDC00) : 0xFFFD);
            high_surrogate = 0;
            return;
        }
        if (high_surrogate)
            put(0xFFFD);
        high_surrogate = 0;
        put(code);
    }

    void item(int kind, int sub, float f0 = 0, float f1 = 0, float f2 = 0, float f3 = 0)
    {
        if (int(doc->items.size()) < RTF_MAX_ITEMS)
            doc->items.push_back(RtfItem{uint16_t(kind), uint16_t(sub), int32_t(doc->chars.size()), {f0, f1, f2, f3}});
    }

    // A paragraph end or line break: an item in the body, a line break
    // character in a header or footer, nothing elsewhere.
    void paragraph(int kind)
    {
        const Level &l = cur();
        if (l.dest == D_BODY)
            item(kind, l.align, kind == RTF_ITEM_PAR ? clamp_points(std::max(l.before, 0)) : 0,
                 kind == RTF_ITEM_PAR ? clamp_points(std::max(l.after, 0)) : 0, clamp_points(l.left),
                 clamp_points(l.first));
        else if (l.dest == D_HEADER || l.dest == D_FOOTER)
            put('\n');
    }

    // A byte of text (plain or escaped).
    void byte(uint8_t b, bool escaped)
    {
        Level &l = cur();
        if (l.dest == D_PICT) {
            if (!escaped)
                picture_digit(b);
            return;
        }
        if (l.dest == D_FIELD_INST) {
            if (field_inst.size() < size_t(kFieldInstKept))
                field_inst.push_back(char(b));
            return;
        }
        if (skip > 0) {
            skip--;
            return;
        }
        if (l.dest == D_FONTS) {
            if (b == ';')
                font_entry = -1;
            return;
        }
        if (l.dest == D_COLOURS) {
            if (b == ';')
                colour_entry();
            return;
        }
        if (!text_dest() || (b < 0x20 && b != '\t'))
            return;
        int cp = doc->code_page;
        if (l.font >= 0 && l.font < RTF_MAX_FONTS && doc->font_code_page[l.font])
            cp = doc->font_code_page[l.font];
        put_unicode(rtf_code_page_char(cp, b));
    }

    void colour_entry()
    {
        if (int(doc->colours.size()) < RTF_MAX_COLOURS)
            doc->colours.push_back(RtfDoc::Colour{uint8_t(red), uint8_t(green), uint8_t(blue), !component_given});
        red = green = blue = 0;
        component_given = false;
    }

    void picture_digit(uint8_t b)
    {
        int v = b >= '0' && b <= '9' ? b - '0' : b >= 'a' && b <= 'f' ? b - 'a' + 10
              : b >= 'A' && b <= 'F' ? b - 'A' + 10 : -1;
        if (v < 0)
            return;
        if (pict.high_nibble < 0) {
            pict.high_nibble = v;
        } else {
            pict.data.push_back(uint8_t(pict.high_nibble << 4 | v));
            pict.high_nibble = -1;
        }
    }

    void start_picture()
    {
        Level &l = cur();
        pict = Picture{RTF_PICT_OTHER, -1, -1, -1, -1, {}, -1, l.dest};
        l.dest = D_PICT;
    }

    // The picture group closes: its size, and the picture with its item.
    void finish_picture()
    {
        Picture &pc = pict;
        if (!pc.data.empty() && int(doc->pictures.size()) < RTF_MAX_PICTURES) {
            RtfPicture pic{};
            pic.width = pc.wgoal >= 0 ? clamp_points(pc.wgoal) : pc.w >= 0 ? std::min(float(pc.w) * 0.75f, RTF_MAX_COORD) : 0;
            pic.height = pc.hgoal >= 0 ? clamp_points(pc.hgoal) : pc.h >= 0 ? std::min(float(pc.h) * 0.75f, RTF_MAX_COORD) : 0;
            const bool decodable = pc.kind != RTF_PICT_OTHER &&
                                   rtf_picture_header(pc.kind, pc.data.data(), pc.data.size(), &pic.px_w, &pic.px_h);
            if (decodable) {
                pic.kind = pc.kind;
                pic.data.swap(pc.data);
            } else {
                pic.px_w = pic.px_h = 0;
            }
            if (pic.width < 4)
                pic.width = decodable ? float(pic.px_w) * 0.72f : 72;
            if (pic.height < 4)
                pic.height = decodable ? float(pic.px_h) * 0.72f : 48;
            doc->pictures.push_back(std::move(pic));
            if (pc.from_dest == D_BODY)
                item(RTF_ITEM_PICTURE, int(doc->pictures.size() - 1));
        }
        pict = Picture{};
        pict.high_nibble = -1;
    }

    void open_group()
    {
        skip = 0;
        if (depth + 1 < RTF_MAX_DEPTH) {
            stack[depth + 1] = stack[depth];
            depth++;
        } else {
            shared++;
        }
    }

    void close_group()
    {
        skip = 0;
        if (shared > 0) {
            shared--;
            return;
        }
        if (depth == 0)
            return;  // an extra "}" is ignored
        if (stack[depth].dest == D_PICT && stack[depth - 1].dest != D_PICT)
            finish_picture();
        depth--;
        if (depth < field_depth)
            finish_field();
    }

    size_t text_length() const
    {
        return doc->chars.size() + doc->header_chars.size() + doc->footer_chars.size();
    }

    // A SYMBOL field whose result is empty shows the character it names.
    void finish_field()
    {
        field_depth = -1;
        unsigned code = 0;
        char font[2];
        if (text_length() == field_text_at && std::sscanf(field_inst.c_str(), " SYMBOL %u%1s", &code, font) >= 1 &&
            code >= 0x20 && code <= 0xFFFF && text_dest())
            put(code);
        field_inst.clear();
    }

    void control_symbol(uint8_t c);
    void control_word(std::string_view word, bool has_param, int param);
    void word_in_destination(Word w, bool has_param, int param);
    void run();
};

void Parser::control_symbol(uint8_t c)
{
    switch (c) {
    case '\'': {
        int v = 0, digits = 0;
        while (digits < 2 && p < end) {
            const uint8_t h = *p;
            const int d = h >= '0' && h <= '9' ? h - '0' : h >= 'a' && h <= 'f' ? h - 'a' + 10
                        : h >= 'A' && h <= 'F' ? h - 'A' + 10 : -1;
            if (d < 0)
                break;
            v = v * 16 + d;
            digits++;
            p++;
        }
        if (digits == 2 && cur().dest != D_SKIP && cur().dest != D_FIELD_INST)
            byte(uint8_t(v), true);
        return;
    }
    case '*':
        // A destination marked "skip if unknown": pictures in \shppict are
        // understood, everything else is skipped.
        if ((size_t(end - p) >= 8 && std::memcmp(p, "\\shppict", 8) == 0) ||
            (size_t(end - p) >= 8 && std::memcmp(p, "\\fldinst", 8) == 0))
            return;
        cur().dest = D_SKIP;
        return;
    case '\r':
    case '\n':
        if (cur().dest != D_SKIP && skip == 0)
            paragraph(RTF_ITEM_PAR);
        return;
    case '{':
    case '}':
    case '\\':
    case '~':
        if (cur().dest == D_PICT || cur().dest == D_SKIP)
            return;
        if (skip > 0) {
            skip--;
            return;
        }
        if (text_dest())
            put(c == '~' ? 0xA0 : c);
        return;
    default:
        return;  // \- \_ \: \| and the rest
    }
}

void Parser::control_word(std::string_view word, bool has_param, int param)
{
    const auto &table = word_table();
    const auto it = table.find(word);
    const Word w = it == table.end() ? W_NONE : it->second;
    if (w == W_BIN) {
        // Binary data: never parsed as RTF; picture bytes when in a picture.
        const size_t n = has_param && param > 0 ? std::min(size_t(param), size_t(end - p)) : 0;
        if (cur().dest == D_PICT)
            pict.data.insert(pict.data.end(), p, p + n);
        else if (skip > 0)
            skip--;
        p += n;
        return;
    }
    if (cur().dest == D_SKIP || cur().dest == D_FIELD_INST)
        return;
    if (skip > 0 && cur().dest != D_PICT) {
        // The control word stands in for the \u character just emitted.
        skip--;
        return;
    }
    if (w != W_NONE)
        word_in_destination(w, has_param, param);
}

void Parser::word_in_destination(Word w, bool has_param, int param)
{
    Level &l = cur();
    const int dest = l.dest;
    RtfDoc *d = doc;
    auto flag = [&](bool *f) { *f = !has_param || param != 0; };
    if (dest == D_FONTS) {
        const bool entry = font_entry >= 0;
        switch (w) {
        case W_F:
            font_entry = param >= 0 && param < RTF_MAX_FONTS ? param : -1;  // others are never stored
            if (font_entry >= 0) {
                d->font_family[font_entry] = RTF_SERIF;
                d->font_count = std::max(d->font_count, font_entry + 1);
            }
            return;
        case W_FSERIF: if (entry) d->font_family[font_entry] = RTF_SERIF; return;
        case W_FSWISS: if (entry) d->font_family[font_entry] = RTF_SANS; return;
        case W_FMODERN: if (entry) d->font_family[font_entry] = RTF_MONO; return;
        case W_FCHARSET: if (entry) d->font_code_page[font_entry] = rtf_charset_code_page(param); return;
        default: break;
        }
    } else if (dest == D_COLOURS) {
        const int v = param < 0 ? 0 : param > 255 ? 255 : param;
        switch (w) {
        case W_RED: red = v; component_given = true; return;
        case W_GREEN: green = v; component_given = true; return;
        case W_BLUE: blue = v; component_given = true; return;
        default: break;
        }
    } else if (dest == D_PICT) {
        switch (w) {
        case W_PICWGOAL: if (has_param) pict.wgoal = std::max(param, 0); return;
        case W_PICHGOAL: if (has_param) pict.hgoal = std::max(param, 0); return;
        case W_PICW: if (has_param) pict.w = std::max(param, 0); return;
        case W_PICH: if (has_param) pict.h = std::max(param, 0); return;
        case W_PNGBLIP: pict.kind = RTF_PICT_PNG; return;
        case W_JPEGBLIP: pict.kind = RTF_PICT_JPEG; return;
        case W_OTHERBLIP: pict.kind = RTF_PICT_OTHER; return;
        default: return;
        }
    }
    const bool body = dest == D_BODY;
    switch (w) {
    case W_FONTTBL: l.dest = D_FONTS; font_entry = -1; return;
    case W_COLORTBL:
        l.dest = D_COLOURS;
        red = green = blue = 0;
        component_given = false;
        return;
    case W_SKIP:
    case W_NONSHPPICT: l.dest = D_SKIP; return;
    case W_HEADER: l.dest = D_HEADER; return;
    case W_FIELD:
        if (text_dest()) {
            field_depth = depth;
            field_text_at = text_length();
            field_inst.clear();
        }
        return;
    case W_FLDINST: l.dest = D_FIELD_INST; return;
    case W_FOOTER: l.dest = D_FOOTER; return;
    case W_PICT: if (text_dest()) start_picture(); return;
    case W_ANSICPG: if (has_param) d->code_page = param; return;
    case W_DEFF: if (has_param) d->default_font = param; return;
    case W_PAPERW: if (has_param) d->paper_w = clamp_points(param); return;
    case W_PAPERH: if (has_param) d->paper_h = clamp_points(param); return;
    case W_MARGL: if (has_param) d->margin_l = clamp_points(param); return;
    case W_MARGR: if (has_param) d->margin_r = clamp_points(param); return;
    case W_MARGT: if (has_param) d->margin_t = clamp_points(param); return;
    case W_MARGB: if (has_param) d->margin_b = clamp_points(param); return;
    case W_F: l.font = param; return;
    case W_PLAIN:
        l.half_points = 24;
        l.colour = -1;
        l.bold = l.italic = l.underline = false;
        return;
    case W_B: flag(&l.bold); return;
    case W_I: flag(&l.italic); return;
    case W_UL: flag(&l.underline); return;
    case W_ULNONE: l.underline = false; return;
    case W_FS: if (has_param) l.half_points = param; return;
    case W_CF: l.colour = has_param ? param : -1; return;
    case W_UC: l.uc = has_param ? std::max(param, 0) : 1; return;
    case W_U:
        if (text_dest())
            put_unicode(param < 0 ? uint32_t(param + 65536) : param > 0x10FFFF ? 0xFFFD : uint32_t(param));
        skip = l.uc;
        return;
    case W_PARD: l.align = l.left = l.right = l.first = l.before = l.after = 0; return;
    case W_QL: l.align = RTF_LEFT; return;
    case W_QR: l.align = RTF_RIGHT; return;
    case W_QC: l.align = RTF_CENTRE; return;
    case W_QJ: l.align = RTF_JUSTIFY; return;
    case W_LI: l.left = param; return;
    case W_RI: l.right = param; return;
    case W_FI: l.first = param; return;
    case W_SB: l.before = param; return;
    case W_SA: l.after = param; return;
    case W_PAR: paragraph(RTF_ITEM_PAR); return;
    case W_LINE: paragraph(RTF_ITEM_LINE); return;
    case W_PAGE: if (body) item(RTF_ITEM_PAGE, 0); return;
    case W_TAB: if (text_dest()) put('\t'); return;
    case W_TROWD: if (body) item(RTF_ITEM_ROW, 0); return;
    case W_CELLX: if (body) item(RTF_ITEM_CELL, 0, clamp_points(param)); return;
    case W_CELL: if (body) item(RTF_ITEM_CELL, 1, -1, float(l.align)); return;
    case W_ROW: if (body) item(RTF_ITEM_ROW_END, 0); return;
    default: return;
    }
}

void Parser::run()
{
    while (p < end) {
        const uint8_t c = *p++;
        if (c == '{') {
            open_group();
        } else if (c == '}') {
            close_group();
        } else if (c == '\\') {
            if (p >= end)
                break;
            const uint8_t n = *p;
            if (!((n >= 'a' && n <= 'z') || (n >= 'A' && n <= 'Z'))) {
                p++;
                control_symbol(n);
                continue;
            }
            char name[32];
            int len = 0;
            while (p < end && ((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z'))) {
                if (len < 31)
                    name[len++] = char(*p);
                p++;
            }
            bool has_param = false, negative = false;
            int64_t v = 0;
            if (p + 1 < end && *p == '-' && p[1] >= '0' && p[1] <= '9') {
                negative = true;
                p++;
            }
            while (p < end && *p >= '0' && *p <= '9') {
                has_param = true;
                if (v < 10000000000LL)
                    v = v * 10 + (*p - '0');
                p++;
            }
            if (p < end && *p == ' ')
                p++;
            if (v > 0x7FFFFFFF)
                v = 0x7FFFFFFF;
            control_word(std::string_view(name, size_t(len)), has_param, int(negative ? -v : v));
        } else if (c != '\r' && c != '\n') {
            byte(c, false);
        }
    }
    // Data that end inside a picture group still make the picture.
    for (; depth > 0; depth--) {
        if (stack[depth].dest == D_PICT && stack[depth - 1].dest != D_PICT)
            finish_picture();
    }
}

}  // namespace

void rtf_parse(RtfDoc *doc, const uint8_t *data, size_t size)
{
    auto *ps = new Parser{};
    ps->doc = doc;
    ps->p = data;
    ps->end = data + size;
    ps->font_entry = -1;
    ps->pict.high_nibble = -1;
    Level &top = ps->stack[0];
    top = Level{};
    top.half_points = 24;
    top.colour = -1;
    top.dest = D_BODY;
    top.uc = 1;
    ps->run();
    if (ps->high_surrogate) {
        ps->depth = 0;
        ps->put(0xFFFD);
    }
    delete ps;
}

// RTF parsing (RTF 1.x): one pass over the bytes with a stack of group states
// that turns the body, header and footer text into styled characters, the
// paragraph, break, table and picture control words into items, and reads
// the font table, colour table, page setup and picture data on the way.
#include <algorithm>
#include <bitset>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "formats/rtf_internal.h"

namespace {

enum Dest {
    D_BODY, D_SKIP, D_FONTS, D_COLOURS, D_PICT, D_HEADER, D_FOOTER, D_FIELD_INST,
    // The list table and the list overrides, down to a level's text and
    // placeholder offsets.
    D_LISTTABLE, D_LIST, D_LISTLEVEL, D_LEVELTEXT, D_LEVELNUMBERS, D_OVERRIDES, D_OVERRIDE,
    D_LISTTEXT,  // a paragraph's own list number or bullet, as its writer showed it
    D_PN, D_PNTXTB, D_PNTXTA,  // a paragraph's numbering of the older kind, and its text before and after
};

constexpr int kFieldInstKept = 64;  // bytes of a field instruction looked at
constexpr int kListLevels = 9;      // levels of a list
constexpr int kLevelTextKept = 64;  // characters of a level's text kept
constexpr int kLabelKept = 64;      // characters of a paragraph's own list text kept
constexpr uint32_t kByte = 0x80000000u;  // marks a level-text character read as a byte

// A level of a list: how its number is written and where its paragraphs sit.
struct ListLevel {
    int nfc = 0, start = 1, follow = 0, font = -1, align = RTF_LEFT;
    int left = 0, first = 0;  // twips
    bool has_left = false, has_first = false;
    std::vector<uint32_t> text;    // \leveltext: its length, then its characters
    std::vector<uint8_t> numbers;  // \levelnumbers: offsets into text of the level placeholders
};

struct List {
    List() { std::fill(number, number + kListLevels, -1); }
    std::vector<ListLevel> levels;
    int number[kListLevels];  // the last number given at each level; -1: none since a higher one
};

// A \listoverride: the list an \ls number stands for, and its own first
// numbers.
struct ListOverride {
    ListOverride() { std::fill(start, start + kListLevels, -1); }
    int list_id = 0;
    int lfo = -1;             // the \lfolevel being read
    int start[kListLevels];   // -1: the list's own
    bool used = false;
};

// The state a group inherits from its parent and drops at its end.
struct Level {
    int font, half_points;
    bool bold, italic, underline;
    int colour;
    int align, left, right, first, before, after;  // twips
    int dest;
    int uc;  // characters skipped after \u
    int ls, ilvl;                // list override (0: none) and level of the paragraph
    bool pn;                     // the paragraph has numbering of the older kind (\pn)
    bool left_set, first_set;    // \li, \fi given since \pard
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
    W_CELLX, W_CELL, W_ROW, W_BIN, W_NONSHPPICT, W_FIELD, W_FLDINST, W_LISTTABLE, W_LIST, W_LISTLEVEL,
    W_LEVELTEXT, W_LEVELNUMBERS, W_LEVELNFC, W_LEVELSTARTAT, W_LEVELFOLLOW, W_LISTID, W_OVERRIDES, W_OVERRIDE,
    W_LFOLEVEL, W_LS, W_ILVL, W_LISTTEXT, W_LEVELJC, W_PN, W_PNLVLBLT, W_PNLVLBODY, W_PNLVLCONT, W_PNDEC,
    W_PNUCRM, W_PNLCRM, W_PNUCLTR, W_PNLCLTR, W_PNSTART, W_PNF, W_PNTXTB, W_PNTXTA,
};

const std::unordered_map<std::string_view, Word> &word_table()
{
    static const std::unordered_map<std::string_view, Word> table = {
        {"fonttbl", W_FONTTBL}, {"colortbl", W_COLORTBL},
        {"stylesheet", W_SKIP}, {"info", W_SKIP},
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
        {"listtable", W_LISTTABLE}, {"list", W_LIST}, {"listlevel", W_LISTLEVEL}, {"leveltext", W_LEVELTEXT},
        {"levelnumbers", W_LEVELNUMBERS}, {"levelnfc", W_LEVELNFC}, {"levelnfcn", W_LEVELNFC},
        {"levelstartat", W_LEVELSTARTAT}, {"levelfollow", W_LEVELFOLLOW},
        {"leveljc", W_LEVELJC}, {"leveljcn", W_LEVELJC}, {"listid", W_LISTID},
        {"listoverridetable", W_OVERRIDES}, {"listoverride", W_OVERRIDE}, {"lfolevel", W_LFOLEVEL},
        {"ls", W_LS}, {"ilvl", W_ILVL}, {"listtext", W_LISTTEXT}, {"pntext", W_LISTTEXT},
        {"pn", W_PN}, {"pnlvlblt", W_PNLVLBLT}, {"pnlvlbody", W_PNLVLBODY}, {"pnlvl", W_PNLVLBODY},
        {"pnlvlcont", W_PNLVLCONT}, {"pndec", W_PNDEC}, {"pnucrm", W_PNUCRM}, {"pnlcrm", W_PNLCRM},
        {"pnucltr", W_PNUCLTR}, {"pnlcltr", W_PNLCLTR}, {"pnstart", W_PNSTART}, {"pnf", W_PNF},
        {"pntxtb", W_PNTXTB}, {"pntxta", W_PNTXTA},
    };
    return table;
}

// A bullet of a symbol font, written as the font's private-use code, as the
// Unicode character it shows.
uint32_t symbol_bullet(uint32_t c)
{
    switch (c) {
    case 0xF0B7: return 0x2022;  // Symbol: bullet
    case 0xF02D: return 0x2212;  // Symbol: minus
    case 0xF0A7: return 0x25AA;  // Wingdings: small square
    case 0xF06E: return 0x25A0;  // Wingdings: square
    case 0xF071: return 0x2751;  // Wingdings: shadowed square
    case 0xF076: return 0x2756;  // Wingdings: diamond of four
    case 0xF0D8: return 0x27A2;  // Wingdings: arrowhead
    case 0xF0FC: return 0x2713;  // Wingdings: check mark
    default: return c;
    }
}

// A list number in a level's number format: roman numerals up to 3999,
// letters (a .. z, aa .. zz, aaa ..) up to 780, otherwise decimal; bullet
// and "none" levels have no number.
void append_number(std::vector<uint32_t> *out, int n, int nfc)
{
    if (nfc == 23 || nfc == 255)
        return;
    if ((nfc == 1 || nfc == 2) && n >= 1 && n <= 3999) {
        static const struct { int value; const char *text; } kRoman[] = {
            {1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"}, {100, "c"}, {90, "xc"}, {50, "l"},
            {40, "xl"}, {10, "x"}, {9, "ix"}, {5, "v"}, {4, "iv"}, {1, "i"},
        };
        for (const auto &r : kRoman) {
            for (; n >= r.value; n -= r.value) {
                for (const char *t = r.text; *t; t++)
                    out->push_back(uint32_t(nfc == 1 ? *t - 'a' + 'A' : *t));
            }
        }
        return;
    }
    if ((nfc == 3 || nfc == 4) && n >= 1 && n <= 780) {
        const uint32_t letter = uint32_t((nfc == 3 ? 'A' : 'a') + (n - 1) % 26);
        for (int k = 0; k <= (n - 1) / 26; k++)
            out->push_back(letter);
        return;
    }
    char digits[16];
    std::snprintf(digits, sizeof digits, nfc == 22 ? "%02d" : "%d", n);
    for (const char *t = digits; *t; t++)
        out->push_back(uint32_t(*t));
}

// The character of a \u in a list's text: a signed 16-bit value.
uint32_t unicode_param(int v)
{
    return v < 0 ? (v >= -32768 ? uint32_t(v + 65536) : 0xFFFD) : v <= 0xFFFF ? uint32_t(v) : 0xFFFD;
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
    // Lists: the list table, the overrides \ls numbers name, and the
    // paragraph being read: whether its text has begun, the list level that
    // numbered it and its own list text, kept until its text begins.
    std::vector<List> lists;
    std::unordered_map<int, int> list_by_id;
    std::vector<ListOverride> overrides;
    std::unordered_map<int, int> override_by_ls;
    bool para_open = false;
    int para_list = -1, para_level = 0;
    int label_chars = 0;  // the list number's characters at the paragraph's start
    // The last \pn read: bullet, number or neither, and the number of the
    // paragraph before when it was numbered so.
    struct Pn {
        enum { BODY, BULLET, CONT } kind = BODY;
        int nfc = 0, start = 1, font = -1;
        std::vector<uint32_t> before, after;  // characters, bytes as read
    } pn;
    int pn_number = 0;
    bool pn_counted = false, para_pn_counted = false;
    std::vector<RtfChar> own_label;
    bool own_label_seen = false;
    std::bitset<RTF_MAX_FONTS> symbol_font;  // fonts of \fcharset2

    Level &cur() { return stack[depth]; }

    // A character of a list number or bullet in a font, or a byte as read
    // (kByte): bytes go through the font's code page, and the bullets of
    // symbol fonts, as bytes or as their private-use codes, become the
    // characters they show.
    uint32_t label_char(uint32_t c, int font) const
    {
        const bool known = font >= 0 && font < RTF_MAX_FONTS;
        const bool is_byte = c & kByte;
        c &= ~kByte;
        if (c < 0x100 && known && symbol_font[size_t(font)]) {
            const uint32_t shown = symbol_bullet(0xF000 | c);
            if (shown != (0xF000 | c))
                return shown;
        }
        if (is_byte)
            c = rtf_code_page_char(known && doc->font_code_page[font] ? doc->font_code_page[font] : doc->code_page,
                                   uint8_t(c));
        return symbol_bullet(c);
    }

    // A list number or bullet at the paragraph's start, in the paragraph's
    // character style with the label's own font.
    void put_label(const std::vector<uint32_t> &label, int font)
    {
        Level style = cur();
        if (font >= 0)
            style.font = font;
        style.underline = false;
        const uint16_t st = style_of(style);
        for (uint32_t c : label) {
            if (doc->chars.size() < size_t(RTF_MAX_CHARS))
                doc->chars.push_back(RtfChar{c, st});
        }
    }

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
        return d == D_BODY || d == D_HEADER || d == D_FOOTER || d == D_LISTTEXT;
    }

    void put(uint32_t code)
    {
        const Level &l = cur();
        if (l.dest == D_LISTTEXT) {
            if (own_label.size() < size_t(kLabelKept))
                own_label.push_back(RtfChar{label_char(code, l.font), style_of(l)});
            return;
        }
        if (l.dest == D_BODY && !para_open)
            open_paragraph();
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

    bool item(int kind, int sub, float f0 = 0, float f1 = 0, float f2 = 0, float f3 = 0)
    {
        if (int(doc->items.size()) >= RTF_MAX_ITEMS)
            return false;
        doc->items.push_back(RtfItem{uint16_t(kind), uint16_t(sub), int32_t(doc->chars.size()), {f0, f1, f2, f3}});
        return true;
    }

    // The list level an \ls number and level stand for; false when the file
    // does not define it.
    bool list_level(int ls, int ilvl, int *list, int *level)
    {
        const auto o = override_by_ls.find(ls);
        if (ls <= 0 || o == override_by_ls.end())
            return false;
        const auto l = list_by_id.find(overrides[size_t(o->second)].list_id);
        if (l == list_by_id.end())
            return false;
        *list = l->second;
        *level = std::clamp(ilvl, 0, kListLevels - 1);
        return *level < int(lists[size_t(*list)].levels.size());
    }

    // The paragraph's text begins: its list number or bullet goes first.
    // A paragraph of a list the file defines is numbered from the list
    // table, counting on from the list's last number at that level and
    // again from the start below a higher level; its own list text is the
    // writer's copy of the same and is dropped. Any other paragraph shows
    // its own list text, when it has one.
    void open_paragraph()
    {
        para_open = true;
        int li, lv;
        if (!list_level(cur().ls, cur().ilvl, &li, &lv)) {
            if (cur().pn && pn.kind == Pn::BODY) {
                pn_number = pn_counted ? std::min(pn_number + 1, RTF_MAX_LIST_START) : pn.start;
                para_pn_counted = true;
            }
            if (own_label.empty() && cur().pn)
                put_pn_label();
            for (const RtfChar &c : own_label) {
                if (doc->chars.size() < size_t(RTF_MAX_CHARS))
                    doc->chars.push_back(c);
            }
            own_label.clear();
            return;
        }
        own_label.clear();
        para_list = li;
        para_level = lv;
        List &list = lists[size_t(li)];
        ListOverride &o = overrides[size_t(override_by_ls[cur().ls])];
        if (!o.used) {
            // An override with first numbers of its own restarts the list.
            o.used = true;
            if (std::any_of(o.start, o.start + kListLevels, [](int v) { return v >= 0; }))
                std::fill(list.number, list.number + kListLevels, -1);
        }
        auto start = [&](int k) { return o.start[k] >= 0 ? o.start[k] : list.levels[size_t(k)].start; };
        list.number[lv] = list.number[lv] < 0 ? start(lv) : list.number[lv] + 1;
        std::fill(list.number + lv + 1, list.number + kListLevels, -1);

        const ListLevel &v = list.levels[size_t(lv)];
        std::vector<uint32_t> label;
        const size_t n = v.text.empty() ? 0 : std::min(size_t(v.text[0] & 0xFF), v.text.size() - 1);
        for (size_t i = 1; i <= n; i++) {
            const uint32_t c = v.text[i];
            const bool placeholder = v.numbers.empty()
                                         ? (c & kByte) && (c & 0xFF) < uint32_t(kListLevels)
                                         : std::find(v.numbers.begin(), v.numbers.end(), uint8_t(i)) != v.numbers.end();
            if (placeholder) {
                const int k = int(c & 0xFF);
                if (k < int(list.levels.size()))
                    append_number(&label, list.number[k] >= 0 ? list.number[k] : start(k), list.levels[size_t(k)].nfc);
            } else {
                label.push_back(label_char(c, v.font));
            }
        }
        label_chars = int(std::min<size_t>(label.size(), 255));
        if (!label.empty() && v.follow != 2)
            label.push_back(v.follow == 1 ? ' ' : '\t');
        put_label(label, v.font);
    }

    // The number or bullet of a paragraph numbered by \pn without its own
    // list text.
    void put_pn_label()
    {
        if (pn.kind == Pn::CONT)
            return;
        std::vector<uint32_t> label;
        auto text = [&](const std::vector<uint32_t> &t) {
            for (uint32_t c : t)
                label.push_back(label_char(c, pn.font));
        };
        text(pn.before);
        if (pn.kind == Pn::BODY) {
            append_number(&label, pn_number, pn.nfc);
            text(pn.after);
        }
        if (!label.empty()) {
            label.push_back('\t');
            put_label(label, pn.font);
        }
    }

    void close_paragraph()
    {
        pn_counted = para_pn_counted;
        para_pn_counted = false;
        para_open = false;
        para_list = -1;
        label_chars = 0;
        own_label.clear();
        own_label_seen = false;
    }

    // A paragraph end or line break: an item in the body, a line break
    // character in a header or footer, nothing elsewhere. A list paragraph
    // sits where its level puts it unless it gives its own indents.
    void paragraph(int kind)
    {
        const Level &l = cur();
        if (l.dest == D_BODY) {
            if (kind == RTF_ITEM_PAR && !para_open && (l.ls > 0 || l.pn || !own_label.empty()))
                open_paragraph();  // an empty list item still shows its number
            int left = l.left, first = l.first;
            if (para_list >= 0) {
                const ListLevel &v = lists[size_t(para_list)].levels[size_t(para_level)];
                if (!l.left_set && v.has_left)
                    left = v.left;
                if (!l.first_set && v.has_first)
                    first = v.first;
            }
            const bool kept = item(kind, l.align, kind == RTF_ITEM_PAR ? clamp_points(std::max(l.before, 0)) : 0,
                                   kind == RTF_ITEM_PAR ? clamp_points(std::max(l.after, 0)) : 0,
                                   clamp_points(left), clamp_points(first));
            if (kept && para_list >= 0 && label_chars > 0) {
                doc->items.back().label_chars = uint8_t(label_chars);
                doc->items.back().label_align = uint8_t(lists[size_t(para_list)].levels[size_t(para_level)].align);
            }
            if (kind == RTF_ITEM_PAR)
                close_paragraph();
        } else if (l.dest == D_HEADER || l.dest == D_FOOTER) {
            put('\n');
        }
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
        if (l.dest == D_LEVELTEXT) {
            std::vector<uint32_t> &text = lists.back().levels.back().text;
            if (text.size() < size_t(kLevelTextKept))
                text.push_back(kByte | b);
            return;
        }
        if (l.dest == D_PNTXTB || l.dest == D_PNTXTA) {
            std::vector<uint32_t> &text = l.dest == D_PNTXTB ? pn.before : pn.after;
            if (text.size() < size_t(kLevelTextKept))
                text.push_back(kByte | b);
            return;
        }
        if (l.dest == D_LEVELNUMBERS) {
            std::vector<uint8_t> &numbers = lists.back().levels.back().numbers;
            if (escaped && numbers.size() < size_t(kListLevels))
                numbers.push_back(b);
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
        if (cur().dest == D_BODY && !para_open)
            open_paragraph();
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
    void list_word(Word w, bool has_param, int param);
    void pn_word(Word w, bool has_param, int param);
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
    case '*': {
        // A destination marked "skip if unknown": pictures in \shppict,
        // field instructions and the list tables are understood, everything
        // else is skipped.
        const uint8_t *w = p < end && *p == '\\' ? p + 1 : p;
        const uint8_t *e = w;
        while (e < end && ((*e >= 'a' && *e <= 'z') || (*e >= 'A' && *e <= 'Z')))
            e++;
        const std::string_view name(reinterpret_cast<const char *>(w), size_t(e - w));
        if (w == p || (name != "shppict" && name != "fldinst" && name != "listtable" && name != "listoverridetable" &&
                        name != "pn"))
            cur().dest = D_SKIP;
        return;
    }
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
        case W_FCHARSET:
            if (entry) {
                d->font_code_page[font_entry] = rtf_charset_code_page(param);
                symbol_font[size_t(font_entry)] = param == 2;
            }
            return;
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
    if (dest >= D_LISTTABLE && dest <= D_OVERRIDE) {
        list_word(w, has_param, param);
        return;
    }
    if (dest >= D_PN && dest <= D_PNTXTA) {
        pn_word(w, has_param, param);
        return;
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
    case W_PARD:
        l.align = l.left = l.right = l.first = l.before = l.after = l.ls = l.ilvl = 0;
        l.left_set = l.first_set = l.pn = false;
        return;
    case W_QL: l.align = RTF_LEFT; return;
    case W_QR: l.align = RTF_RIGHT; return;
    case W_QC: l.align = RTF_CENTRE; return;
    case W_QJ: l.align = RTF_JUSTIFY; return;
    case W_LI: l.left = param; l.left_set = true; return;
    case W_RI: l.right = param; return;
    case W_FI: l.first = param; l.first_set = true; return;
    case W_SB: l.before = param; return;
    case W_SA: l.after = param; return;
    case W_PAR: paragraph(RTF_ITEM_PAR); return;
    case W_LINE: paragraph(RTF_ITEM_LINE); return;
    case W_PAGE: if (body) item(RTF_ITEM_PAGE, 0); return;
    case W_TAB: if (text_dest()) put('\t'); return;
    case W_TROWD: if (body) item(RTF_ITEM_ROW, 0); return;
    case W_CELLX: if (body) item(RTF_ITEM_CELL, 0, clamp_points(param)); return;
    case W_CELL:
        if (body) {
            item(RTF_ITEM_CELL, 1, -1, float(l.align));
            close_paragraph();
        }
        return;
    case W_ROW:
        if (body) {
            item(RTF_ITEM_ROW_END, 0);
            close_paragraph();
        }
        return;
    case W_LISTTABLE: l.dest = D_LISTTABLE; return;
    case W_OVERRIDES: l.dest = D_OVERRIDES; return;
    case W_LS: l.ls = param; return;
    case W_ILVL: l.ilvl = std::clamp(param, 0, kListLevels - 1); return;
    case W_PN:
        // The numbering belongs to the paragraph, outside this group.
        if (body) {
            pn = Pn{};
            l.dest = D_PN;
            if (depth > 0 && shared == 0)
                stack[depth - 1].pn = true;
        } else {
            l.dest = D_SKIP;
        }
        return;
    case W_LISTTEXT:
        // One list text per paragraph, read before its text begins.
        if (dest == D_BODY) {
            l.dest = own_label_seen || para_open ? D_SKIP : D_LISTTEXT;
            own_label_seen = true;
        }
        return;
    default: return;
    }
}

// A control word inside a \pn group.
void Parser::pn_word(Word w, bool has_param, int param)
{
    Level &l = cur();
    switch (w) {
    case W_PNLVLBLT: pn.kind = Pn::BULLET; return;
    case W_PNLVLBODY: pn.kind = Pn::BODY; return;
    case W_PNLVLCONT: pn.kind = Pn::CONT; return;
    case W_PNSTART: pn.start = std::clamp(param, 0, RTF_MAX_LIST_START); return;
    case W_PNF: pn.font = param; return;
    case W_PNTXTB: if (l.dest == D_PN) { pn.before.clear(); l.dest = D_PNTXTB; } return;
    case W_PNTXTA: if (l.dest == D_PN) { pn.after.clear(); l.dest = D_PNTXTA; } return;
    case W_U:
        if (l.dest != D_PN) {
            std::vector<uint32_t> &text = l.dest == D_PNTXTB ? pn.before : pn.after;
            if (text.size() < size_t(kLevelTextKept))
                text.push_back(unicode_param(param));
        }
        skip = l.uc;
        return;
    case W_UC: l.uc = has_param ? std::max(param, 0) : 1; return;
    // the number formats of the list table's levels
    case W_PNDEC: pn.nfc = 0; return;
    case W_PNUCRM: pn.nfc = 1; return;
    case W_PNLCRM: pn.nfc = 2; return;
    case W_PNUCLTR: pn.nfc = 3; return;
    case W_PNLCLTR: pn.nfc = 4; return;
    default: return;
    }
}

// A new entry at the end of a table, unless the table holds `cap` already.
template <typename T>
bool add_entry(std::vector<T> *table, int cap)
{
    if (table->size() >= size_t(cap))
        return false;
    table->emplace_back();
    return true;
}

// A control word inside the list table or the list override table; a list,
// level or override beyond those kept is skipped whole.
void Parser::list_word(Word w, bool has_param, int param)
{
    Level &l = cur();
    switch (l.dest) {
    case D_LISTTABLE:
        if (w == W_LIST)
            l.dest = add_entry(&lists, RTF_MAX_LISTS) ? D_LIST : D_SKIP;
        return;
    case D_LIST:
        if (w == W_LISTLEVEL) {
            l.dest = add_entry(&lists.back().levels, kListLevels) ? D_LISTLEVEL : D_SKIP;
        } else if (w == W_LISTID && has_param) {
            list_by_id.emplace(param, int(lists.size()) - 1);
        }
        return;
    case D_LISTLEVEL: {
        ListLevel &v = lists.back().levels.back();
        switch (w) {
        case W_LEVELTEXT: v.text.clear(); l.dest = D_LEVELTEXT; return;
        case W_LEVELNUMBERS: v.numbers.clear(); l.dest = D_LEVELNUMBERS; return;
        case W_LEVELNFC: v.nfc = param; return;
        case W_LEVELSTARTAT: v.start = std::clamp(param, 0, RTF_MAX_LIST_START); return;
        case W_LEVELFOLLOW: v.follow = param; return;
        case W_LEVELJC: v.align = param == 1 ? RTF_CENTRE : param == 2 ? RTF_RIGHT : RTF_LEFT; return;
        case W_F: v.font = param; return;
        case W_LI: v.left = param; v.has_left = true; return;
        case W_FI: v.first = param; v.has_first = true; return;
        default: return;
        }
    }
    case D_LEVELTEXT:
        if (w == W_U) {
            std::vector<uint32_t> &text = lists.back().levels.back().text;
            if (text.size() < size_t(kLevelTextKept))
                text.push_back(unicode_param(param));
            skip = l.uc;
        } else if (w == W_UC) {
            l.uc = has_param ? std::max(param, 0) : 1;
        }
        return;
    case D_OVERRIDES:
        if (w == W_OVERRIDE)
            l.dest = add_entry(&overrides, RTF_MAX_LISTS) ? D_OVERRIDE : D_SKIP;
        return;
    case D_OVERRIDE: {
        ListOverride &o = overrides.back();
        switch (w) {
        case W_LISTID: o.list_id = param; return;
        case W_LS: if (has_param) override_by_ls.emplace(param, int(overrides.size()) - 1); return;
        case W_LFOLEVEL: o.lfo = std::min(o.lfo + 1, kListLevels - 1); return;
        case W_LEVELSTARTAT: o.start[std::max(o.lfo, 0)] = std::clamp(param, 0, RTF_MAX_LIST_START); return;
        default: return;
        }
    }
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
    // Owned here: running out of memory while parsing throws through.
    auto ps = std::make_unique<Parser>();
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
}

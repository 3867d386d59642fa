// Enable rules of menu items and toolbar buttons, the command line, the
// toolbar's page and zoom fields.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "shell/logic/shell_logic.h"

namespace {

enum Rule { RULE_NONE, RULE_DOC, RULE_PAGES, RULE_TEXT, RULE_OUTLINE, RULE_THREADS, RULE_PLAIN_TEXT };

struct RuleRow {
    int first, last;  // command id range
    Rule rule;
};

constexpr RuleRow MENU_RULES[] = {
    {40002, 40002, RULE_DOC},  {40004, 40004, RULE_DOC},  {40006, 40006, RULE_DOC},
    {40010, 40010, RULE_DOC},  {40101, 40105, RULE_DOC},  {40106, 40106, RULE_DOC},
    {40109, 40111, RULE_DOC},  {40112, 40113, RULE_DOC},  {40117, 40119, RULE_DOC},
    {40260, 40262, RULE_DOC},  {40206, 40207, RULE_DOC},  {40253, 40253, RULE_DOC},
    {40201, 40205, RULE_PAGES},                            // page movement
    {40254, 40255, RULE_TEXT}, {40250, 40252, RULE_TEXT},  // copy, select, search
    {40116, 40116, RULE_OUTLINE}, {40120, 40120, RULE_OUTLINE},
    {40121, 40121, RULE_THREADS},
    {40122, 40123, RULE_DOC},  // every open Document accepts rotation
    {40130, 40142, RULE_PLAIN_TEXT},                        // text encodings, monospace
};

bool rule_holds(Rule rule, const DocFacts &d)
{
    switch (rule) {
    case RULE_NONE: return true;
    case RULE_DOC: return d.open;
    case RULE_PAGES: return d.open && d.page_count > 1;
    case RULE_TEXT: return d.open && d.has_text;
    case RULE_OUTLINE: return d.open && d.has_outline;
    case RULE_THREADS: return d.open && d.has_threads;
    case RULE_PLAIN_TEXT: return d.open && d.is_plain_text;
    }
    return true;
}

const char *skip_blanks(const char *s)
{
    while (*s == ' ' || *s == '\t')
        s++;
    return s;
}

int ascii_lower(int c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }

bool starts_nocase(const char *text, const char *word)
{
    size_t n = std::strlen(word);
    for (size_t i = 0; i < n; i++)
        if (ascii_lower((unsigned char)text[i]) != ascii_lower((unsigned char)word[i]))
            return false;
    return true;
}

}  // namespace

bool command_enabled_menu(int id, const DocFacts &doc)
{
    for (const RuleRow &row : MENU_RULES)
        if (id >= row.first && id <= row.last)
            return rule_holds(row.rule, doc);
    return true;
}

bool command_enabled_toolbar(int id, const DocFacts &doc)
{
    if (id == 40001)
        return true;
    if (id >= 40201 && id <= 40204)
        return doc.open && doc.page_count > 1;
    if (id == 40120)
        return doc.open && doc.has_outline;
    return doc.open;
}

bool command_needs_document(int id)
{
    switch (id) {
    case 40004: case 40006: case 40007: case 40008: case 40110: case 40121: case 40205:
        return true;
    default:
        return false;
    }
}

int cmdline_switch(const char *args)
{
    const char *s = skip_blanks(args);
    if (*s != '/' && *s != '-')
        return CMDLINE_NONE;
    // Only the first three letters are looked at: "/fil", "-unA" ...
    auto is = [&](char a, char b, char c) {
        return ascii_lower((unsigned char)s[1]) == a && s[2] == b && ascii_lower((unsigned char)s[3]) == c;
    };
    if (is('f', 'i', 'l'))
        return CMDLINE_ASSOCIATIONS;
    if (is('u', 'n', 'a'))
        return CMDLINE_UNINSTALL;
    return CMDLINE_NONE;
}

const char *cmdline_print_path(const char *args)
{
    const char *s = skip_blanks(args);
    if ((s[0] == '/' || s[0] == '-') && (s[1] == 'p' || s[1] == 'P') && (s[2] == ' ' || s[2] == '\t'))
        return s + 3;
    return nullptr;
}

void cmdline_path(const char *args, char *out, size_t n)
{
    if (n == 0)
        return;
    const char *s = skip_blanks(args);
    out[0] = 0;
    if (*s == '/' || *s == '-')
        return;  // a switch, never a path (the wide route skips these too)
    size_t limit = n - 1 < 259 ? n - 1 : 259, len = 0;
    if (*s == '"') {
        s++;
        while (s[len] && s[len] != '"' && len < limit)
            len++;
    } else {
        while (s[len] && len < limit)
            len++;
    }
    std::memcpy(out, s, len);
    while (len > 0 && (out[len - 1] == ' ' || out[len - 1] == '\t'))
        len--;
    out[len] = 0;
}

int zoom_entry_parse(const char *text, int *value)
{
    char buf[24];
    std::snprintf(buf, sizeof buf, "%s", text);  // the first 23 characters
    const char *s = skip_blanks(buf);
    // Windows-1252 spelling of the German words, as typed into the combo.
    static constexpr struct { const char *word; int command; } WORDS[] = {
        {"Ganze Seite", 40104}, {"Seitenbreite", 40105}, {"Original", 40103},
        {"Originalgr\xF6\xDF" "e", 40103},
    };
    for (const auto &w : WORDS)
        if (starts_nocase(s, w.word) && s[std::strlen(w.word)] == 0) {
            *value = w.command;
            return ZOOM_ENTRY_COMMAND;
        }
    char *end = nullptr;
    long v = std::strtol(s, &end, 10);
    if (end == s || v < 10 || v > 1600)
        return ZOOM_ENTRY_NONE;
    *value = int(v);
    return ZOOM_ENTRY_PERCENT;
}

int page_entry_parse(const char *text)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%s", text);
    long v = std::strtol(buf, nullptr, 10);
    return v > 0 && v < 0x7FFFFFFF ? int(v) : 0;
}

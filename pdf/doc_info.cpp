// The document information entries, the security summary and the font list
// of an open PDF, read for the document properties dialog (PDF Reference 1.7,
// sections 10.2.1, 3.5.2 and 5.4-5.6).
#include "pdf/doc_info.h"

#include <cstdio>
#include <cstring>

#include "pdf/crypt.h"
#include "pdf/document.h"
#include "pdf/nav.h"
#include "pdf/object.h"
#include "pdf/pages.h"
#include "pdf/security.h"

namespace {

void copy_text(char *out, int size, const char *text)
{
    std::snprintf(out, size_t(size), "%s", text);
}

bool is_subset_prefix(const char *name)
{
    for (int i = 0; i < 6; i++)
        if (name[i] < 'A' || name[i] > 'Z')
            return false;
    return name[6] == '+';
}

bool same_name(const char *a, const char *b)
{
    for (;; a++, b++) {
        char x = *a, y = *b;
        if (x >= 'A' && x <= 'Z')
            x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = char(y - 'A' + 'a');
        if (x != y)
            return false;
        if (!x)
            return true;
    }
}

bool has_font_program(PdfDoc *doc, PdfObject *font)
{
    PdfObject *descriptor = pdf_dict_get_resolved(doc, font, "FontDescriptor");
    return pdf_dict_get_resolved(doc, descriptor, "FontFile") ||
           pdf_dict_get_resolved(doc, descriptor, "FontFile2") ||
           pdf_dict_get_resolved(doc, descriptor, "FontFile3");
}

void encoding_text(PdfDoc *doc, PdfObject *font, bool composite, char *out, int size)
{
    PdfObject *encoding = pdf_dict_get_resolved(doc, font, "Encoding");
    if (pdf_is_type(encoding, PDF_NAME))
        copy_text(out, size, encoding->name);
    else if (composite)
        copy_text(out, size, "Embedded CMap");
    else if (pdf_is_type(encoding, PDF_DICT)) {
        PdfObject *base = pdf_dict_get_resolved(doc, encoding, "BaseEncoding");
        copy_text(out, size, pdf_is_type(base, PDF_NAME) ? base->name : "Custom");
    } else
        copy_text(out, size, "Built-in");
}

// Fills one entry from a font dictionary; false for kinds the list skips.
bool describe_font(PdfDoc *doc, PdfObject *font, PdfFontEntry *e)
{
    static constexpr const char *kKinds[] = {"Type1", "TrueType", "Type0", "Type3", "MMType1"};
    PdfObject *subtype = pdf_dict_get_resolved(doc, font, "Subtype");
    if (!pdf_is_type(subtype, PDF_NAME))
        return false;
    bool known = false;
    for (const char *kind : kKinds)
        known = known || std::strcmp(subtype->name, kind) == 0;
    if (!known)
        return false;
    const bool type3 = std::strcmp(subtype->name, "Type3") == 0;
    const bool composite = std::strcmp(subtype->name, "Type0") == 0;

    PdfObject *base = pdf_dict_get_resolved(doc, font, "BaseFont");
    const char *name = pdf_is_type(base, PDF_NAME) ? base->name : "";
    if (std::strlen(name) >= 7 && is_subset_prefix(name))
        name += 7;
    copy_text(e->name, sizeof e->name, *name ? name : type3 ? "(Embedded Type3)" : "(Unnamed)");
    copy_text(e->type, sizeof e->type, subtype->name);
    encoding_text(doc, font, composite, e->encoding, sizeof e->encoding);
    if (type3)
        e->embedded = 1;
    else if (composite) {
        PdfObject *descendants = pdf_dict_get_resolved(doc, font, "DescendantFonts");
        PdfObject *first = pdf_is_type(descendants, PDF_ARRAY)
                               ? pdf_resolve(doc, pdf_array_get(descendants, 0))
                               : descendants;  // a lone dictionary where an array belongs
        e->embedded = has_font_program(doc, first);
    } else
        e->embedded = has_font_program(doc, font);
    return true;
}

}  // namespace

void pdf_info_text(PdfDoc *doc, const char *key, char *out, int size)
{
    if (!out || size <= 0)
        return;
    out[0] = 0;
    if (!doc)
        return;
    PdfObject *info = pdf_dict_get_resolved(doc, doc->trailer, "Info");
    if (!pdf_is_type(info, PDF_DICT))
        return;
    pdf_text_to_cp1252(pdf_dict_get_resolved(doc, info, key), out, size);
}

void pdf_security_info(PdfDoc *doc, PdfSecurityInfo *out)
{
    *out = PdfSecurityInfo{0, PDF_CIPHER_NONE, 0, 0xFFFFFFFFu};
    if (!doc)
        return;
    PdfObject *entry = pdf_dict_get(doc->trailer, "Encrypt");
    if (!entry || entry->type == PDF_NULL)
        return;
    out->encrypted = 1;
    out->permissions = pdf_encrypt_permissions(doc);
    const PdfCrypt *crypt = doc->crypt;
    if (!crypt)
        return;
    out->key_bits = crypt->key_length * 8;
    // Streams carry the bulk of the content; their cipher names the method,
    // unless only strings are encrypted.
    const int method = crypt->method != CRYPT_NONE ? crypt->method : crypt->string_method;
    out->cipher = method == CRYPT_RC4      ? PDF_CIPHER_RC4
                  : method == CRYPT_NONE   ? PDF_CIPHER_IDENTITY
                                           : PDF_CIPHER_AES;
}

int pdf_font_list(PdfDoc *doc, PdfFontEntry *out, int max)
{
    if (!doc || !out || max <= 0)
        return 0;
    int count = 0;
    for (int p = 0; p < pdf_page_count(doc) && count < max; p++) {
        PdfObject *resources = pdf_page_attr(doc, pdf_page(doc, p), "Resources");
        PdfObject *fonts = pdf_dict_get_resolved(doc, resources, "Font");
        if (!pdf_is_type(fonts, PDF_DICT))
            continue;
        for (int i = 0; i < fonts->count && count < max; i++) {
            PdfObject *font = pdf_resolve(doc, fonts->entries[i].value);
            if (!pdf_is_type(font, PDF_DICT))
                continue;
            PdfFontEntry e = {};
            if (!describe_font(doc, font, &e))
                continue;
            bool seen = false;
            for (int k = 0; k < count && !seen; k++)
                seen = same_name(out[k].name, e.name);
            if (!seen)
                out[count++] = e;
        }
    }
    return count;
}

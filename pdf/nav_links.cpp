// Link annotations of one page (PDF Reference 1.7, sections 8.4.5 and 8.5.3):
// their areas in device pixels through the render driver's page matrix, so
// that page and view rotation agree with what is drawn, and their actions.
#include <cmath>
#include <cstring>

#include "pdf/document.h"
#include "pdf/limits.h"
#include "pdf/nav.h"
#include "pdf/nav_walk.h"
#include "pdf/object.h"
#include "pdf/pages.h"
#include "render/page.h"

namespace {

// Named actions the view can carry out; any other name skips the link.
const struct {
    const char *name;
    LinkKind kind;
} kNamedActions[] = {
    {"NextPage", LINK_NEXT_PAGE},  {"PrevPage", LINK_PREV_PAGE}, {"FirstPage", LINK_FIRST_PAGE},
    {"LastPage", LINK_LAST_PAGE},  {"GoBack", LINK_GO_BACK},     {"GoForward", LINK_GO_FORWARD},
};

// A number of the file, bounded like page-box coordinates so that device
// coordinates stay finite.
float bounded(PdfDoc *doc, PdfObject *obj, double def)
{
    double v = pdf_to_number(pdf_resolve(doc, obj), def);
    if (!(v >= -PDF_MAX_PAGE_COORD))
        v = -PDF_MAX_PAGE_COORD;
    if (v > PDF_MAX_PAGE_COORD)
        v = PDF_MAX_PAGE_COORD;
    return float(v);
}

// Kind, target page and URI of a link; false for a link the viewer does not
// follow (launch, JavaScript, remote go-to, an unresolvable destination...).
bool read_action(NavLookup *lookup, PdfObject *annot, LinkItem *out)
{
    PdfDoc *doc = lookup->doc;
    out->uri[0] = 0;
    out->page = nav_dest_page(lookup, annot);
    if (out->page >= 0) {
        out->kind = LINK_GOTO;
        return true;
    }
    PdfObject *action = pdf_dict_get_resolved(doc, annot, "A");
    PdfObject *type = pdf_dict_get_resolved(doc, action, "S");
    if (pdf_is_name(type, "URI")) {
        pdf_string_to_plain(pdf_dict_get_resolved(doc, action, "URI"), out->uri, int(sizeof out->uri));
        out->kind = LINK_URI;
        return out->uri[0] != 0;
    }
    if (pdf_is_name(type, "Named")) {
        PdfObject *name = pdf_dict_get_resolved(doc, action, "N");
        for (const auto &a : kNamedActions) {
            if (pdf_is_name(name, a.name)) {
                out->kind = a.kind;
                return true;
            }
        }
    }
    return false;
}

// Width in points from BS (W, default 1) or else the third element of
// Border; 0 without either.
double border_points(PdfDoc *doc, PdfObject *annot)
{
    PdfObject *bs = pdf_dict_get_resolved(doc, annot, "BS");
    if (pdf_is_type(bs, PDF_DICT))
        return pdf_to_number(pdf_dict_get_resolved(doc, bs, "W"), 1.0);
    PdfObject *border = pdf_dict_get_resolved(doc, annot, "Border");
    if (pdf_array_len(border) >= 3)
        return pdf_to_number(pdf_resolve(doc, pdf_array_get(border, 2)), 1.0);
    return 0.0;
}

uint8_t colour_byte(PdfDoc *doc, PdfObject *obj)
{
    double v = pdf_to_number(pdf_resolve(doc, obj), 0.0);
    v = v > 1.0 ? 1.0 : v < 0.0 ? 0.0 : v;
    return uint8_t(v * 255.0 + 0.5);
}

void read_border(PdfDoc *doc, PdfObject *annot, float scale, LinkItem *out)
{
    const double w = border_points(doc, annot);
    out->border_width = 0;
    if (w > 0) {
        const double px = std::fmin(double(scale) * w + 0.5, double(PDF_NAV_MAX_BORDER));
        out->border_width = px < 1.0 ? 1 : int(px);
    }
    PdfObject *c = pdf_dict_get_resolved(doc, annot, "C");
    switch (pdf_array_len(c)) {
    case 3:
        for (int i = 0; i < 3; i++)
            out->border_rgb[i] = colour_byte(doc, pdf_array_get(c, i));
        break;
    case 1:
        out->border_rgb[0] = out->border_rgb[1] = out->border_rgb[2] = colour_byte(doc, pdf_array_get(c, 0));
        break;
    default:
        out->border_rgb[0] = out->border_rgb[1] = out->border_rgb[2] = 0;
        break;
    }
}

// The bounding box of the four corners of (x0, y0, x1, y1) under m.
void transform_box(const float m[6], const float r[4], float out[4])
{
    const float xs[2] = {r[0], r[2]}, ys[2] = {r[1], r[3]};
    for (int corner = 0; corner < 4; corner++) {
        const float x = xs[corner & 1], y = ys[corner >> 1];
        const float dx = m[0] * x + m[2] * y + m[4], dy = m[1] * x + m[3] * y + m[5];
        if (corner == 0 || dx < out[0])
            out[0] = dx;
        if (corner == 0 || dx > out[2])
            out[2] = dx;
        if (corner == 0 || dy < out[1])
            out[1] = dy;
        if (corner == 0 || dy > out[3])
            out[3] = dy;
    }
}

}  // namespace

int pdf_get_page_links(PdfDoc *doc, int index, float scale, LinkItem *items, int max)
{
    float m[6];
    if (!doc || (items && max <= 0) || index < 0 || page_matrix(doc, index, scale, m) != 0)
        return 0;
    if (!(scale > 0) || !std::isfinite(scale))
        scale = 1.0f;  // as the page matrix reads it
    PdfObject *annots = pdf_dict_get_resolved(doc, pdf_page(doc, index), "Annots");
    const int n = pdf_array_len(annots);
    NavLookup lookup;
    nav_lookup_init(&lookup, doc);
    int count = 0;
    for (int i = 0; i < n && (!items || count < max); i++) {
        PdfObject *annot = pdf_resolve(doc, pdf_array_get(annots, i));
        if (!pdf_is_type(annot, PDF_DICT) || !pdf_is_name(pdf_dict_get_resolved(doc, annot, "Subtype"), "Link"))
            continue;
        PdfObject *rect = pdf_dict_get_resolved(doc, annot, "Rect");
        if (pdf_array_len(rect) != 4)
            continue;
        LinkItem link;
        std::memset(&link, 0, sizeof link);
        if (!read_action(&lookup, annot, &link))
            continue;
        float r[4], box[4];
        for (int k = 0; k < 4; k++)
            r[k] = bounded(doc, pdf_array_get(rect, k), 0.0);
        transform_box(m, r, box);
        link.x0 = box[0];
        link.y0 = box[1];
        link.x1 = box[2];
        link.y1 = box[3];
        read_border(doc, annot, scale, &link);
        if (items)
            items[count] = link;
        count++;
    }
    nav_lookup_free(&lookup);
    return count;
}

int pdf_link_page_rect(PdfDoc *doc, int index, float scale, const LinkItem *link, float out[4])
{
    float m[6];
    if (!doc || !link || page_matrix(doc, index, scale, m) != 0)
        return -4;
    // A scale with quarter turns; singular only for a scale too small to use.
    const double det = double(m[0]) * m[3] - double(m[1]) * m[2];
    if (det == 0)
        return -5;
    const float inverse[6] = {float(m[3] / det), float(-m[1] / det), float(-m[2] / det), float(m[0] / det),
                              float((double(m[2]) * m[5] - double(m[3]) * m[4]) / det),
                              float((double(m[1]) * m[4] - double(m[0]) * m[5]) / det)};
    const float r[4] = {link->x0, link->y0, link->x1, link->y1};
    transform_box(inverse, r, out);
    return 0;
}

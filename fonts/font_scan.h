// The font dictionaries a page uses: those of its resources, of the form
// XObjects and patterns they name (at any depth), of Type3 fonts' own
// resources and of its annotations' normal appearances. Used for listing a
// document's fonts.
#pragma once
#include <vector>

struct PdfDoc;
struct PdfObject;

struct FontScan {
    std::vector<const PdfObject *> fonts;      // distinct font dictionaries, in the order found
    std::vector<const PdfObject *> visited;    // resource dictionaries already walked
};

// Adds the page's fonts that `scan` has not seen yet; returns how many.
int pdf_scan_page_fonts(PdfDoc *doc, int page_index, FontScan *scan);

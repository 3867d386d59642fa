// Printing: the process-wide print settings, the print job that renders the
// open Document at the printer's resolution in bands, the print dialog with
// its sheet preview, and the halftone palette with the ordered-dither blitter
// that the view and the thumbnails use on palette displays.
#pragma once
#include <windows.h>

struct Document;
struct PageBitmap;

struct PrintSettings {
    int marginIndex;         // 0 Normal, 1 Schmal, 2 Breit, 3 Keine
    int orientationIndex;    // 0 Auto, 1 Hochformat, 2 Querformat
    int rangeKind;           // 0 all, 1 current page, 2 from-to
    int rangeFrom, rangeTo;  // one-based
    int copies;              // 1..99
    bool fitToPage, centerOnPage, grayscale, printToFile;
    int dpi;                 // 600, 300, 150 or 75
    int pagesPerSheetIndex;  // into 1, 2, 4, 6, 9
    HGLOBAL devMode, devNames;  // the printer, from the system's print dialogs
    char outputPath[MAX_PATH];       // print file, or the temporary file for outputPathW
    wchar_t outputPathW[MAX_PATH];   // target of a wide save dialog, else empty
};
// The one set of print settings; kept until the program ends.
PrintSettings &print_settings();

// What the last job did, for diagnostics and tests.
struct PrintStats {
    bool started;         // the document was started
    bool cancelled;
    bool failed;          // the device refused a write, a page or the end
    int sheets;           // sheets begun, over all copies
    int pagesPlaced;
    int bands;            // bands handed to the device
    int deviceW, deviceH, deviceDpi;  // printable area in pixels, vertical resolution
    int offsetX, offsetY;             // printable area's corner on the paper, in pixels
    RECT firstPage;       // device rectangle of the first page placed
};
PrintStats print_last_stats();

// Runs a job with the current settings on the printer held in them (the
// default printer when none is held). `current` is the zero-based page the
// job was asked from. Returns true when the document was started.
bool print_run_job(HWND frame, Document *doc, int current);
// Preview renders tried since the program started, for diagnostics and tests.
int print_preview_renders();
// The modal print dialog over the frame's Document at zero-based page
// `current`; prints on "Drucken". True when a job ran.
bool print_dialog_run(HWND frame, Document *doc, int current);

// A top-down device-independent image header of w x h pixels of `bits`.
BITMAPINFOHEADER dib_header(int width, int height, int bits);
// The header of a bitmap as a 24-bit top-down device-independent image.
BITMAPINFO dib24_info(const PageBitmap *bitmap);

// ---- Halftone palette for palette displays ----

HPALETTE halftone_palette();  // created on first use, kept until the end
void halftone_realize(HDC dc);
// Dither when the device has 8 bits per pixel or fewer, or PAGRIX_DITHER
// begins with "1".
bool halftone_needed(HDC dc);
// Draws the source rectangle of a bitmap dithered to the halftone palette,
// stretched to the destination rectangle.
void halftone_draw(HDC dc, const PageBitmap *bitmap, int dx, int dy, int dw, int dh, int sx, int sy,
                   int sw, int sh);
// Draws the source rectangle of a bitmap stretched to the destination
// rectangle: dithered when halftone_needed, else as a 24-bit image with the
// given stretch mode (0 keeps the device context's).
void bitmap_draw(HDC dc, const PageBitmap *bitmap, int dx, int dy, int dw, int dh, int sx, int sy, int sw,
                 int sh, int stretch_mode);

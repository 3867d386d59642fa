// Texts of the document properties dialog and the table of document types
// that the file-associations dialog registers.
#include "shell/logic/props_logic.h"

#include <cstdio>
#include <cstring>

#include "pdf/doc_info.h"
#include "shell/resource.h"

namespace {

// Two digits at p as a number, or -1.
int two_digits(const char *p)
{
    if (p[0] < '0' || p[0] > '9' || p[1] < '0' || p[1] > '9')
        return -1;
    return (p[0] - '0') * 10 + (p[1] - '0');
}

int digit_or_zero(char c) { return c >= '0' && c <= '9' ? c - '0' : 0; }

int days_in_month(int year, int month)
{
    static constexpr int kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && !leap ? 28 : kDays[month - 1];
}

}  // namespace

const AssocType ASSOC_TYPES[9] = {
    {IDC_ASSOC_PDF, "Vellumix.PDF", IDS_ASSOC_PDF, ".pdf", IDI_DOC_PDF},
    {IDC_ASSOC_TIFF, "Vellumix.TIFF", IDS_ASSOC_TIFF, ".tif;.tiff", IDI_DOC_TIFF},
    {IDC_ASSOC_DCX, "Vellumix.DCX", IDS_ASSOC_DCX, ".dcx", IDI_DOC_DCX},
    {IDC_ASSOC_TXT, "Vellumix.Text", IDS_ASSOC_TXT, ".txt", IDI_DOC_TEXT},
    {IDC_ASSOC_ASC, "Vellumix.ASC", IDS_ASSOC_ASC, ".asc", IDI_DOC_ASC},
    {IDC_ASSOC_NFO, "Vellumix.NFO", IDS_ASSOC_NFO, ".nfo", IDI_DOC_NFO},
    {IDC_ASSOC_LOG, "Vellumix.LOG", IDS_ASSOC_LOG, ".log", IDI_DOC_LOG},
    {IDC_ASSOC_RTF, "Vellumix.RTF", IDS_ASSOC_RTF, ".rtf", IDI_DOC_RTF},
    {IDC_ASSOC_EPS, "Vellumix.EPS", IDS_ASSOC_EPS, ".eps;.epsf;.epsi", IDI_DOC_EPS},
};

bool assoc_extension(const char *list, int index, char *out, size_t n)
{
    if (n == 0)
        return false;
    out[0] = 0;
    const char *p = list;
    for (int i = 0; i < index; i++) {
        p = std::strchr(p, ';');
        if (!p)
            return false;
        p++;
    }
    size_t len = std::strcspn(p, ";");
    if (len == 0)
        return false;
    if (len >= n)
        len = n - 1;
    std::memcpy(out, p, len);
    out[len] = 0;
    return true;
}

void props_date_text(const char *raw, char *out, size_t n)
{
    if (n == 0)
        return;
    std::snprintf(out, n, "%s", raw);
    const char *p = raw[0] == 'D' && raw[1] == ':' ? raw + 2 : raw;
    for (int i = 0; i < 8; i++)
        if (p[i] < '0' || p[i] > '9')
            return;
    const int year = two_digits(p) * 100 + two_digits(p + 2);
    const int month = two_digits(p + 4), day = two_digits(p + 6);
    if (month < 1 || month > 12 || day < 1 || day > days_in_month(year, month))
        return;
    char text[32];
    int len = std::snprintf(text, sizeof text, "%.4s-%.2s-%.2s", p, p + 4, p + 6);
    const int hour = two_digits(p + 8);
    if (hour >= 0) {
        if (hour > 23)
            return;
        const int minute = two_digits(p + 10);
        if (minute > 59)
            return;
        if (minute < 0) {
            std::snprintf(text + len, sizeof text - size_t(len), " %02d:00", hour);
        } else {
            // A missing second digit reads as 0, so "3" is 30 seconds.
            const char *s = p + 12;
            const int tens = digit_or_zero(s[0]);
            const int units = s[0] >= '0' && s[0] <= '9' ? digit_or_zero(s[1]) : 0;
            if (tens * 10 + units > 59)
                return;
            std::snprintf(text + len, sizeof text - size_t(len), " %02d:%02d:%d%d", hour, minute, tens, units);
        }
    }
    std::snprintf(out, n, "%s", text);
}

void props_file_size_text(int64_t size, const char *bytes_format, char *out, size_t n)
{
    if (n == 0)
        return;
    if (size < 0)
        std::snprintf(out, n, "-");
    else if (size < 1024)
        std::snprintf(out, n, bytes_format, long(size));
    else if (size < 1048576)
        std::snprintf(out, n, "%ld.%ld KB", long(size / 1024), long(size % 1024 * 10 / 1024));
    else
        std::snprintf(out, n, "%lld.%lld MB", (long long)(size / 1048576),
                      (long long)(size % 1048576 * 10 / 1048576));
}

void props_page_size_text(float width_pt, float height_pt, const char *inch_format, char *out, size_t n)
{
    if (n == 0)
        return;
    const int w = int(width_pt + 0.5f), h = int(height_pt + 0.5f);
    if (w <= 0 || h <= 0) {
        std::snprintf(out, n, "-");
        return;
    }
    const int tw = w * 10 / 72, th = h * 10 / 72;
    std::snprintf(out, n, inch_format, tw / 10, tw % 10, th / 10, th % 10);
}

void props_method_text(int cipher, int key_bits, char *out, size_t n)
{
    if (n == 0)
        return;
    switch (cipher) {
    case PDF_CIPHER_RC4: std::snprintf(out, n, "RC4 %d-bit", key_bits); break;
    case PDF_CIPHER_AES: std::snprintf(out, n, "AES %d-bit", key_bits); break;
    case PDF_CIPHER_IDENTITY: std::snprintf(out, n, "Identity"); break;
    default: std::snprintf(out, n, "None"); break;
    }
}

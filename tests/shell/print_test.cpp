// Printing for real: jobs go to a private CUPS queue (tests/shell/print_queue.sh,
// started by ctest) through Wine's PostScript driver into print files, which
// Ghostscript renders; every page cell of every sheet must match our own
// render of that page at the size and place the sheet layout gives.
#include <gtest/gtest.h>

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bitmap/bitmap.h"
#include "document/document.h"
#include "shell/logic/sheet_layout.h"
#include "shell/panels.h"
#include "shell/print.h"
#include "shell/resource.h"
#include "shell/view.h"
#include "shell_test_support.h"
#include "pdf_builder.h"
#include "test_support.h"

using namespace shelltest;

namespace {

const char *const CORPUS_PDF = "pdf/pypdf-indirect-rotation.pdf";  // five distinct Letter pages

// The queue's folder as a Unix path ("" without the queue).
std::string queue_dir()
{
    const char *d = std::getenv("PAGRIX_PRINT_DIR");
    return d && *d ? d : "";
}

std::string windows_path(std::string unix_path)
{
    for (char &c : unix_path)
        if (c == '/')
            c = '\\';
    return "Z:" + unix_path;
}

bool have_printer()
{
    char device[512] = "";
    GetProfileStringA("windows", "device", "", device, sizeof device);
    return device[0] != 0;
}

bool have_ghostscript() { return GetFileAttributesA("Z:\\usr\\bin\\gs") != INVALID_FILE_ATTRIBUTES; }

#define SKIP_WITHOUT_QUEUE()                                                               \
    do {                                                                                   \
        SKIP_WITHOUT_CORPUS();                                                             \
        if (queue_dir().empty() || !have_printer() || !have_ghostscript())                 \
            GTEST_SKIP() << "no print queue (PAGRIX_PRINT_DIR, CUPS) or no Ghostscript";   \
    } while (0)

std::string corpus_file(const char *name) { return windows_path(testsupport::corpus_dir() + "/" + name); }

// Runs a program and waits; its exit code, or -1.
long run(std::string command, DWORD timeout_ms)
{
    STARTUPINFOA si = {sizeof si};
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return -1;
    return process_finish(pi, timeout_ms);
}

// Runs a Unix command line through /bin/sh and waits for it: Wine starts
// Unix programs but cannot wait for them, so the shell leaves the status in
// a file. The status, or -1.
int run_unix(const std::string &command)
{
    const std::string marker = queue_dir() + "/status.txt";
    DeleteFileA(windows_path(marker).c_str());
    const std::string wrapped = "Z:\\bin\\sh -c \"" + command + " >/dev/null 2>&1; echo $? > " + marker + ".tmp; mv " +
                                marker + ".tmp " + marker + "\"";
    run(wrapped, 10000);
    for (int i = 0; i < 1200; i++, Sleep(100)) {
        if (FILE *f = std::fopen(windows_path(marker).c_str(), "rb")) {
            int status = -1;
            if (std::fscanf(f, "%d", &status) != 1)
                status = -1;
            std::fclose(f);
            return status;
        }
    }
    return -1;
}

struct Sheet {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
};

// Every page of a print file rendered by Ghostscript at `dpi`.
std::vector<Sheet> ghostscript_sheets(const std::string &prn_unix, int dpi, const std::string &stem)
{
    const std::string out = queue_dir() + "/" + stem;
    for (int i = 1; i < 32; i++)
        DeleteFileA(windows_path(out + "-" + std::to_string(i) + ".ppm").c_str());
    const std::string cmd = "gs -q -dBATCH -dNOPAUSE -dSAFER -sDEVICE=ppmraw -r" + std::to_string(dpi) +
                            " -sOutputFile=" + out + "-%d.ppm " + prn_unix;
    EXPECT_EQ(run_unix(cmd), 0) << cmd;
    std::vector<Sheet> sheets;
    for (int i = 1;; i++) {
        FILE *f = std::fopen(windows_path(out + "-" + std::to_string(i) + ".ppm").c_str(), "rb");
        if (!f)
            break;
        Sheet s;
        int fields[3] = {}, n = 0, c = 0;
        if (std::fgetc(f) == 'P' && std::fgetc(f) == '6')
            while (n < 3 && (c = std::fgetc(f)) != EOF) {  // width, height, maxval; "#" comments
                if (c == '#')
                    while ((c = std::fgetc(f)) != EOF && c != '\n') {
                    }
                else if (c >= '0' && c <= '9') {
                    int v = c - '0';
                    while ((c = std::fgetc(f)) >= '0' && c <= '9')
                        v = v * 10 + (c - '0');
                    fields[n++] = v;
                }
            }
        s.w = fields[0];
        s.h = fields[1];
        if (n == 3 && fields[2] == 255) {
            s.rgb.resize(size_t(s.w) * size_t(s.h) * 3);
            if (std::fread(s.rgb.data(), 1, s.rgb.size(), f) != s.rgb.size())
                s.rgb.clear();
        }
        std::fclose(f);
        sheets.push_back(std::move(s));
    }
    return sheets;
}

// PSNR of our page raster against the sheet's pixels at (x, y); pixels off
// the sheet count as black.
double cell_psnr(const Sheet &sheet, int x0, int y0, const PageBitmap *ours)
{
    double sum = 0;
    for (int y = 0; y < ours->height; y++) {
        const uint8_t *p = ours->pixels + size_t(y) * size_t(ours->stride);
        for (int x = 0; x < ours->width; x++, p += 3) {
            const int sx = x0 + x, sy = y0 + y;
            const uint8_t *q = sx >= 0 && sy >= 0 && sx < sheet.w && sy < sheet.h && !sheet.rgb.empty()
                                   ? &sheet.rgb[(size_t(sy) * size_t(sheet.w) + size_t(sx)) * 3]
                                   : nullptr;
            for (int k = 0; k < 3; k++) {
                const double d = double(p[2 - k]) - (q ? q[k] : 0);
                sum += d * d;
            }
        }
    }
    const double mse = sum / (double(ours->width) * ours->height * 3);
    return mse <= 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

struct Job {
    int perSheetIndex, marginIndex;
    bool fit, center;
};

// Checks every sheet of a print file: the page the layout puts in each cell
// matches our render there (PSNR >= 30 dB) and matches it better than any
// other page of the document (or than its neighbours) would.
void check_sheets(Document *doc, const std::vector<Sheet> &sheets, const PrintStats &dev, const Job &job,
                  bool against_all_pages)
{
    const int pages = doc_page_count(doc);
    const int per = sheet_pages_per_sheet(job.perSheetIndex);
    ASSERT_EQ(int(sheets.size()), sheet_count(pages, per));
    const bool landscape = dev.deviceW > dev.deviceH;
    double worst_own = 99, best_wrong = 0;
    for (int sheet = 0; sheet < int(sheets.size()); sheet++)
        for (int slot = 0; slot < per && sheet * per + slot < pages; slot++) {
            const int page = sheet * per + slot;
            SCOPED_TRACE(testing::Message() << "sheet " << sheet + 1 << " slot " << slot << " page " << page + 1);
            int pw = 0, ph = 0;
            ASSERT_EQ(doc_page_pixel_size(doc, page, 1.0f, &pw, &ph), 0);
            const SheetRect box = sheet_slot_box(dev.deviceW, dev.deviceH, job.marginIndex, per, landscape, slot, 20);
            const SheetRect at = sheet_place_page(box, pw, ph, job.fit, job.center, per, dev.deviceDpi);
            const float scale = std::max(float(at.h) / float(ph), 0.01f);
            double best_other = 0, own = 0;
            for (int other = 0; other < pages; other++) {
                if (other != page && !against_all_pages && std::abs(other - page) != 1)
                    continue;
                PageBitmap *b = nullptr;
                ASSERT_EQ(doc_render_page(doc, other, scale, 0, 0, &b), 0);
                const double v = cell_psnr(sheets[size_t(sheet)], dev.offsetX + at.x, dev.offsetY + at.y, b);
                bitmap_free(b);
                if (other == page)
                    own = v;
                else
                    best_other = std::max(best_other, v);
            }
            worst_own = std::min(worst_own, own);
            best_wrong = std::max(best_wrong, best_other);
            EXPECT_GE(own, 30.0);
            EXPECT_GT(own, best_other + 3.0) << "another page matches the cell as well";
        }
    std::printf("%d sheets: lowest PSNR of a cell %.1f dB, highest of a wrong page %.1f dB\n", int(sheets.size()),
                worst_own, best_wrong);
}

// The print dialog is driven from a timer of this thread: 4 pages a sheet,
// print to file, "Drucken", then the file name in the save dialog.
struct Driver {
    int step = 0;
    std::wstring target;
    std::string label;  // the preview's sheet label when the dialog was accepted
} g_driver;


// Cancels the abort dialog as soon as the first band is out.
VOID CALLBACK cancel_after_first_band(HWND, UINT, UINT_PTR, DWORD)
{
    HWND abort = dialog_with(IDC_PRINT_ABORT_TEXT);
    if (abort && print_last_stats().bands >= 1)
        PostMessageA(abort, WM_COMMAND, IDCANCEL, 0);
}

VOID CALLBACK cancel_print_dialog(HWND, UINT, UINT_PTR, DWORD)
{
    if (HWND dlg = dialog_with(IDC_PRINT_PREVIEW))
        PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
}

VOID CALLBACK drive_dialog(HWND, UINT, UINT_PTR timer, DWORD)
{
    if (g_driver.step == 0) {
        HWND dlg = dialog_with(IDC_PRINT_PREVIEW);
        if (!dlg)
            return;
        HWND combo = GetDlgItem(dlg, IDC_PRINT_PER_SHEET);
        SendMessageA(combo, CB_SETCURSEL, 2, 0);
        SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDC_PRINT_PER_SHEET, CBN_SELCHANGE), LPARAM(combo));
        SendDlgItemMessageA(dlg, IDC_PRINT_QUALITY, CB_SETCURSEL, 1, 0);  // 300 dpi
        CheckDlgButton(dlg, IDC_PRINT_TO_FILE, BST_CHECKED);
        g_driver.label = window_text(GetDlgItem(dlg, IDC_PRINT_SHEET_LABEL));
        PostMessageA(dlg, WM_COMMAND, IDOK, 0);
        g_driver.step = 1;
    } else if (g_driver.step == 1) {
        if (!file_dialog_accept(g_driver.target))
            return;
        g_driver.step = 2;
        KillTimer(nullptr, timer);
    }
}

PrintSettings initial_settings()
{
    PrintSettings s = print_settings();
    s.marginIndex = 0;
    s.orientationIndex = 0;
    s.rangeKind = 0;
    s.copies = 1;
    s.fitToPage = s.centerOnPage = true;
    s.grayscale = s.printToFile = false;
    s.dpi = 300;
    s.pagesPerSheetIndex = 0;
    s.outputPath[0] = 0;
    s.outputPathW[0] = 0;
    return s;
}

bool temp_files_left()
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((std::string(temp) + "Vellumix\\pxp*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    FindClose(h);
    return true;
}

}  // namespace

// The dialog's print to file (4 pages a sheet, to a name outside the ANSI
// code page) and silent printing with /p (one page a sheet, to
// PAGRIX_PRINT_FILE): both print files, rendered by Ghostscript, show every
// page in the cell the layout gives it.
TEST(Print, SheetsMatchOurRender)
{
    SKIP_WITHOUT_QUEUE();
    clear_settings();
    const std::string dir = queue_dir();
    Frame f;
    ASSERT_EQ(frame_open_path(f.state(), corpus_file(CORPUS_PDF).c_str(), nullptr), 0);
    Document *doc = view_document(f.state().view);
    ASSERT_EQ(doc_page_count(doc), 5);
    print_settings() = initial_settings();

    // Through the dialog.
    const std::string plain = windows_path(dir + "/dialog.prn");
    g_driver = {};
    g_driver.target = L"Z:" + std::wstring(dir.begin(), dir.end()) + L"\\dialog-\x03b1\x03b2.prn";
    for (wchar_t &c : g_driver.target)
        if (c == L'/')
            c = L'\\';
    DeleteFileW(g_driver.target.c_str());
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, drive_dialog);
    ASSERT_TRUE(print_dialog_run(f.hwnd, doc, 0));
    KillTimer(nullptr, timer);
    EXPECT_EQ(g_driver.step, 2);
    EXPECT_EQ(g_driver.label, "Blatt 1 von 2");
    const PrintStats dev = print_last_stats();
    EXPECT_FALSE(dev.cancelled);
    EXPECT_FALSE(dev.failed);
    EXPECT_EQ(dev.sheets, 2);
    EXPECT_EQ(dev.deviceDpi, 300);
    EXPECT_TRUE(boxes().empty()) << boxes()[0].text;
    EXPECT_FALSE(temp_files_left()) << "the temporary print file was not moved";
    ASSERT_TRUE(CopyFileW(g_driver.target.c_str(), std::wstring(plain.begin(), plain.end()).c_str(), FALSE))
        << "no print file at the wide path";
    check_sheets(doc, ghostscript_sheets(dir + "/dialog.prn", dev.deviceDpi, "dialog"), dev, {2, 0, true, true}, true);

    // Silently, by the program itself.
    const char *exe = std::getenv("PAGRIX_EXE");
    if (!exe || !*exe)
        return;
    const std::string silent = windows_path(dir + "/silent.prn");
    DeleteFileA(silent.c_str());
    SetEnvironmentVariableA("PAGRIX_PRINT_FILE", silent.c_str());
    const long code = run("\"" + std::string(exe) + "\" /p \"" + corpus_file(CORPUS_PDF) + "\"", 60000);
    SetEnvironmentVariableA("PAGRIX_PRINT_FILE", nullptr);
    EXPECT_EQ(code, 0);
    check_sheets(doc, ghostscript_sheets(dir + "/silent.prn", dev.deviceDpi, "silent"), dev, {0, 0, true, true}, false);
}

// Cancelling in the abort dialog stops after the band in hand; the print
// file is closed, the frame enabled, and the next job runs to its end.
// Failures of the output are told: a device that refuses writes (a full
// disk) and an output that cannot be started.
TEST(Print, AbortAndFailuresLeaveTheProgramWorking)
{
    SKIP_WITHOUT_QUEUE();
    clear_settings();
    Frame f;
    ASSERT_EQ(frame_open_path(f.state(), corpus_file(CORPUS_PDF).c_str(), nullptr), 0);
    Document *doc = view_document(f.state().view);
    PrintSettings &s = print_settings();
    s = initial_settings();
    s.dpi = 600;
    s.rangeKind = 1;  // the current page
    const std::string out = windows_path(queue_dir() + "/abort.prn");
    SetEnvironmentVariableA("PAGRIX_PRINT_FILE", out.c_str());

    const UINT_PTR timer = SetTimer(nullptr, 0, 1, cancel_after_first_band);
    EXPECT_TRUE(print_run_job(f.hwnd, doc, 0));
    KillTimer(nullptr, timer);
    PrintStats st = print_last_stats();
    EXPECT_TRUE(st.cancelled);
    EXPECT_GE(st.bands, 1);
    EXPECT_LE(st.bands, 2) << "the job went on after the cancel";
    EXPECT_TRUE(IsWindowEnabled(f.hwnd));
    EXPECT_FALSE(dialog_with(IDC_PRINT_ABORT_TEXT));
    HANDLE h = CreateFileA(out.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE) << "the print file is still open";
    CloseHandle(h);
    EXPECT_TRUE(boxes().empty());

    s.dpi = 150;
    EXPECT_TRUE(print_run_job(f.hwnd, doc, 0));
    st = print_last_stats();
    EXPECT_FALSE(st.cancelled);
    EXPECT_FALSE(st.failed);
    EXPECT_GT(st.bands, 1);
    EXPECT_TRUE(boxes().empty());

    // A full disk, and a folder that does not exist (a driver may find that
    // out at the start or at the first write).
    for (const char *output : {"Z:\\dev\\full", "Z:\\nirgends-da\\x.prn"}) {
        boxes().clear();
        SetEnvironmentVariableA("PAGRIX_PRINT_FILE", output);
        print_run_job(f.hwnd, doc, 0);
        ASSERT_EQ(boxes().size(), 1u) << output;
        const std::string &text = boxes()[0].text;
        EXPECT_TRUE(text.rfind("Der Druckauftrag konnte nicht gestartet werden.", 0) == 0 ||
                    text == std::string("Die Druckausgabe konnte nicht vollst\xE4ndig geschrieben werden:\n") + output)
            << text;
        EXPECT_TRUE(IsWindowEnabled(f.hwnd));
    }
    SetEnvironmentVariableA("PAGRIX_PRINT_FILE", nullptr);
    boxes().clear();
}

// A page at 600 dpi goes to the printer in bands: the process's peak memory
// stays below 150 MB (an A4 sheet at 600 dpi alone would take 104 MB). Runs
// in a fresh process of this program so that no earlier test counts.
TEST(Print, PageAt600DpiStaysBelow150MB)
{
    SKIP_WITHOUT_QUEUE();
    if (!std::getenv("PAGRIX_PRINT_MEMORY_CHILD")) {
        char self[MAX_PATH];
        GetModuleFileNameA(nullptr, self, sizeof self);
        SetEnvironmentVariableA("PAGRIX_PRINT_MEMORY_CHILD", "1");
        const long code = run("\"" + std::string(self) + "\" --gtest_filter=Print.PageAt600DpiStaysBelow150MB", 120000);
        SetEnvironmentVariableA("PAGRIX_PRINT_MEMORY_CHILD", nullptr);
        EXPECT_EQ(code, 0) << "the 600 dpi print in a fresh process failed";
        return;
    }
    Frame f;
    ASSERT_EQ(frame_open_path(f.state(), corpus_file(CORPUS_PDF).c_str(), nullptr), 0);
    PrintSettings &s = print_settings();
    s = initial_settings();
    s.dpi = 600;
    s.rangeKind = 1;
    SetEnvironmentVariableA("PAGRIX_PRINT_FILE", windows_path(queue_dir() + "/memory.prn").c_str());
    EXPECT_TRUE(print_run_job(f.hwnd, view_document(f.state().view), 0));
    SetEnvironmentVariableA("PAGRIX_PRINT_FILE", nullptr);
    const PrintStats st = print_last_stats();
    EXPECT_EQ(st.deviceDpi, 600);
    EXPECT_GT(st.firstPage.right - st.firstPage.left, 4000);
    PROCESS_MEMORY_COUNTERS pmc = {sizeof pmc};
    using MemoryInfo = BOOL(WINAPI *)(HANDLE, PROCESS_MEMORY_COUNTERS *, DWORD);
    auto info = reinterpret_cast<MemoryInfo>(
        reinterpret_cast<void *>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "K32GetProcessMemoryInfo")));
    ASSERT_TRUE(info && info(GetCurrentProcess(), &pmc, sizeof pmc));
    std::printf("peak working set %.1f MB, peak private %.1f MB\n", pmc.PeakWorkingSetSize / 1048576.0,
                pmc.PeakPagefileUsage / 1048576.0);
    EXPECT_LT(pmc.PeakWorkingSetSize, SIZE_T(150) << 20);
}

// A page whose preview cannot be rendered (too wide for any raster) is
// tried once and left empty, not tried again on every tick of the preview.
TEST(Print, PreviewTriesAFailedPageOnce)
{
    clear_settings();
    Frame f;
    const std::string path = scratch_file("too wide.pdf", testsupport::simple_pdf(1, "[0 0 2000000 100]"));
    ASSERT_EQ(frame_open_path(f.state(), path.c_str(), nullptr), 0);
    print_settings() = initial_settings();
    const int before = print_preview_renders();
    // Half a second of preview ticks, then "Abbrechen".
    const UINT_PTR timer = SetTimer(nullptr, 0, 500, cancel_print_dialog);
    EXPECT_FALSE(print_dialog_run(f.hwnd, view_document(f.state().view), 0));
    KillTimer(nullptr, timer);
    EXPECT_EQ(print_preview_renders() - before, 1);
}

// A 16 x 16 block of a window's capture around (cx, cy) that shows a flat
// colour the halftone palette lacks: every pixel a palette colour, the block
// averaging to the colour.
void expect_dithered(const Capture &cap, int cx, int cy, const char *what)
{
    ASSERT_GT(cap.w, cx + 8) << what;
    ASSERT_GT(cap.h, cy + 8) << what;
    double sum[3] = {};
    int off_palette = 0;
    const int x0 = (cx - 8) & ~7, y0 = (cy - 8) & ~7;
    for (int y = y0; y < y0 + 16; y++)
        for (int x = x0; x < x0 + 16; x++) {
            const uint32_t c = cap.at(x, y);
            bool found = false;
            for (int i = 0; i < 256 && !found; i++)
                found = halftone_entry(i) == c;
            off_palette += !found;
            sum[0] += (c >> 16) & 255;
            sum[1] += (c >> 8) & 255;
            sum[2] += c & 255;
        }
    EXPECT_EQ(off_palette, 0) << what;
    EXPECT_NEAR(sum[0] / 256, 178.5, 8) << what;
    EXPECT_NEAR(sum[1] / 256, 76.5, 8) << what;
    EXPECT_NEAR(sum[2] / 256, 114.75, 8) << what;
}

// With PAGRIX_DITHER=1 the view and the thumbnails draw through the halftone
// palette, as they do on a palette display.
TEST(Print, DitheredViewAndThumbnailsUseTheHalftonePalette)
{
    clear_settings();
    const std::string content = "0.7 0.3 0.45 rg 0 0 200 200 re f";
    const std::string pdf = testsupport::objects_pdf({
        {1, "<< /Type /Catalog /Pages 2 0 R >>"},
        {2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>"},
        {3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 4 0 R >>"},
        {4, "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "\nendstream"},
    });
    const std::string path = scratch_file("flat colour.pdf", pdf);
    SetEnvironmentVariableA("PAGRIX_DITHER", "1");
    Frame f;
    ASSERT_EQ(frame_open_path(f.state(), path.c_str(), nullptr), 0);
    const Capture view = capture(f.state().view);
    f.command(CMD_PANEL_THUMBS);
    for (int i = 0; i < 400 && thumbs_stats(f.state().thumbs).timerRunning; i++) {
        pump();
        Sleep(10);
    }
    const Capture thumbs = capture(f.state().thumbs);
    SetEnvironmentVariableA("PAGRIX_DITHER", nullptr);
    expect_dithered(view, view.w / 2, view.h / 2, "view");
    // The first cell's thumbnail, centred in its 124-pixel column below a
    // 10-pixel margin; the square page's is about 100 pixels high.
    RECT rc;
    GetClientRect(f.state().thumbs, &rc);
    const int columns = std::max(1, int(rc.right) / 124), left = std::max(0, (int(rc.right) - columns * 124) / 2);
    expect_dithered(thumbs, left + 62, 50, "thumbnail");
}

// The view's mouse tools, links, export and clipboard with the real frame:
// what lands on the clipboard and in exported files is compared with the
// native command-line renderer's output for the same page (written by the
// cli_reference fixture into $PAGRIX_CLI_REFERENCE).
#include <gtest/gtest.h>

#include <windows.h>

#include <zlib.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "document/document.h"
#include "jpeg_support.h"
#include "pdf_builder.h"
#include "shell/resource.h"
#include "shell/tools.h"
#include "shell/view.h"
#include "shell_test_support.h"
#include "test_support.h"
#include "text/page_text.h"

using namespace shelltest;

namespace {

const char kGeoTopo[] = "samples-GeoTopo-komprimiert.pdf";

std::string reference_dir()
{
    const char *dir = std::getenv("PAGRIX_CLI_REFERENCE");
    return dir && *dir ? dir : "";
}

std::string corpus_pdf(const char *name)
{
    const std::string dir = testsupport::corpus_dir();
    return dir.empty() ? "" : dir + "/pdf/" + name;
}

std::string read_all(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::wstring widen(const std::string &s, UINT cp = CP_UTF8)
{
    std::wstring w(s.size() + 1, L'\0');
    w.resize(size_t(MultiByteToWideChar(cp, 0, s.c_str(), int(s.size()), &w[0], int(w.size()))));
    return w;
}

std::string narrow_1252(const std::wstring &w)
{
    std::string s(w.size() * 2 + 1, '\0');
    s.resize(size_t(WideCharToMultiByte(1252, 0, w.c_str(), int(w.size()), &s[0], int(s.size()), "?", nullptr)));
    return s;
}

std::wstring windows_path(const std::string &unix_path)
{
    std::wstring w = L"Z:" + widen(unix_path);
    for (wchar_t &c : w)
        if (c == L'/')
            c = L'\\';
    return w;
}

std::string utf8_of(const std::wstring &w)
{
    std::string s(w.size() * 3 + 1, '\0');
    s.resize(size_t(WideCharToMultiByte(CP_UTF8, 0, w.c_str(), int(w.size()), &s[0], int(s.size()), nullptr, nullptr)));
    return s;
}

std::string without_cr(const std::string &s)
{
    std::string out;
    for (char c : s)
        if (c != '\r')
            out.push_back(c);
    return out;
}

// ---- Clipboard ----

void clipboard_set_text(const char *text)
{
    if (!OpenClipboard(nullptr))
        return;
    EmptyClipboard();
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, std::strlen(text) + 1);
    std::memcpy(GlobalLock(h), text, std::strlen(text) + 1);
    GlobalUnlock(h);
    SetClipboardData(CF_TEXT, h);
    CloseClipboard();
}

// The clipboard's CF_DIB (24-bit, bottom-up) as a capture; w = 0 when absent.
Capture clipboard_dib(DWORD *image_size = nullptr)
{
    Capture c;
    if (!OpenClipboard(nullptr))
        return c;
    HANDLE h = IsClipboardFormatAvailable(CF_DIB) ? GetClipboardData(CF_DIB) : nullptr;
    const auto *p = h ? static_cast<const unsigned char *>(GlobalLock(h)) : nullptr;
    if (p) {
        BITMAPINFOHEADER bih;
        std::memcpy(&bih, p, sizeof bih);
        if (bih.biSize == 40 && bih.biBitCount == 24 && bih.biHeight > 0 && bih.biWidth > 0) {
            c.w = bih.biWidth;
            c.h = bih.biHeight;
            if (image_size)
                *image_size = bih.biSizeImage;
            const size_t row = (size_t(c.w) * 3 + 3) & ~size_t(3);
            c.px.resize(size_t(c.w) * size_t(c.h));
            for (int y = 0; y < c.h; y++)
                for (int x = 0; x < c.w; x++) {
                    const unsigned char *q = p + 40 + size_t(c.h - 1 - y) * row + size_t(x) * 3;
                    c.px[size_t(y) * size_t(c.w) + size_t(x)] = uint32_t(q[2]) << 16 | uint32_t(q[1]) << 8 | q[0];
                }
        }
        GlobalUnlock(h);
    }
    CloseClipboard();
    return c;
}

// ---- Image files ----

uint32_t be32(const unsigned char *p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

// An 8-bit truecolour PNG, non-interlaced; w = 0 for anything else.
Capture read_png(const std::string &bytes)
{
    Capture c;
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    if (bytes.size() < 33 || std::memcmp(p, "\x89PNG\r\n\x1a\n", 8) != 0)
        return c;
    int w = 0, h = 0;
    std::string idat;
    for (size_t at = 8; at + 12 <= bytes.size();) {
        const uint32_t len = be32(p + at);
        const std::string type(bytes, at + 4, 4);
        if (at + 12 + len > bytes.size())
            return c;
        if (type == "IHDR") {
            w = int(be32(p + at + 8));
            h = int(be32(p + at + 12));
            if (p[at + 16] != 8 || p[at + 17] != 2 || p[at + 20] != 0)
                return c;
        } else if (type == "IDAT") {
            idat.append(bytes, at + 8, len);
        }
        at += 12 + len;
    }
    const size_t row = size_t(w) * 3;
    std::vector<unsigned char> raw((row + 1) * size_t(h));
    uLongf raw_len = uLongf(raw.size());
    if (w <= 0 || h <= 0 ||
        uncompress(raw.data(), &raw_len, reinterpret_cast<const Bytef *>(idat.data()), uLong(idat.size())) != Z_OK ||
        raw_len != raw.size())
        return c;
    std::vector<unsigned char> prev(row, 0), cur(row);
    c.w = w;
    c.h = h;
    c.px.resize(size_t(w) * size_t(h));
    for (int y = 0; y < h; y++) {
        const unsigned char filter = raw[size_t(y) * (row + 1)];
        const unsigned char *in = &raw[size_t(y) * (row + 1) + 1];
        for (size_t i = 0; i < row; i++) {
            const int a = i >= 3 ? cur[i - 3] : 0, b = prev[i], d = i >= 3 ? prev[i - 3] : 0;
            int pred = 0;
            switch (filter) {
            case 1: pred = a; break;
            case 2: pred = b; break;
            case 3: pred = (a + b) / 2; break;
            case 4: {
                const int pa = std::abs(b - d), pb = std::abs(a - d), pc = std::abs(a + b - 2 * d);
                pred = pa <= pb && pa <= pc ? a : pb <= pc ? b : d;
                break;
            }
            }
            cur[i] = (unsigned char)(in[i] + pred);
        }
        for (int x = 0; x < w; x++)
            c.px[size_t(y) * size_t(w) + size_t(x)] =
                uint32_t(cur[size_t(x) * 3]) << 16 | uint32_t(cur[size_t(x) * 3 + 1]) << 8 | cur[size_t(x) * 3 + 2];
        prev.swap(cur);
    }
    return c;
}

Capture read_jpeg(const std::string &bytes, int w, int h)
{
    Capture c;
    const std::vector<uint8_t> rgb = testsupport::jpeg_decode(std::vector<uint8_t>(bytes.begin(), bytes.end()), JCS_RGB);
    if (rgb.size() != size_t(w) * size_t(h) * 3)
        return c;
    c.w = w;
    c.h = h;
    c.px.resize(size_t(w) * size_t(h));
    for (size_t i = 0; i < c.px.size(); i++)
        c.px[i] = uint32_t(rgb[i * 3]) << 16 | uint32_t(rgb[i * 3 + 1]) << 8 | rgb[i * 3 + 2];
    return c;
}

// Pixels that differ between a and the part of b at (ox, oy).
int differing(const Capture &a, const Capture &b, int ox = 0, int oy = 0)
{
    int n = 0;
    for (int y = 0; y < a.h; y++)
        for (int x = 0; x < a.w; x++)
            n += a.at(x, y) != b.at(x + ox, y + oy);
    return n;
}

double psnr(const Capture &a, const Capture &b)
{
    double se = 0;
    for (size_t i = 0; i < a.px.size(); i++)
        for (int s = 0; s < 24; s += 8) {
            const double d = double((a.px[i] >> s) & 0xFF) - double((b.px[i] >> s) & 0xFF);
            se += d * d;
        }
    const double mse = se / (double(a.px.size()) * 3);
    return mse > 0 ? 10 * std::log10(255.0 * 255.0 / mse) : 99;
}

std::vector<std::wstring> files_in(const std::wstring &folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do
        if (std::wcscmp(fd.cFileName, L".") != 0 && std::wcscmp(fd.cFileName, L"..") != 0)
            names.push_back(fd.cFileName);
    while (FindNextFileW(h, &fd));
    FindClose(h);
    return names;
}

// ---- Driving the export's save dialog from a timer ----

struct SaveDriver {
    std::wstring name;
    bool typed = false;
} g_save;

VOID CALLBACK drive_save(HWND, UINT, UINT_PTR timer, DWORD)
{
    if (!g_save.typed) {
        g_save.typed = file_dialog_accept(g_save.name);
        return;
    }
    // The overwrite question of a file that exists: yes.
    if (HWND ask = dialog_with(IDYES)) {
        PostMessageA(ask, WM_COMMAND, IDYES, 0);
        KillTimer(nullptr, timer);
    }
}

// Runs the export command with the save dialog answered by `name`.
void export_as(const Frame &f, const std::wstring &name)
{
    g_save = {name, false};
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, drive_save);
    f.command(CMD_EXPORT);
    KillTimer(nullptr, timer);
}

std::string string_of(UINT id)
{
    char buf[512];
    return frame_string(id, buf, sizeof buf);
}

// ---- Mouse ----

void mouse(HWND view, UINT msg, int x, int y)
{
    SendMessageA(view, msg, msg == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(x, y));
}

void drag(HWND view, int x0, int y0, int x1, int y1)
{
    mouse(view, WM_LBUTTONDOWN, x0, y0);
    mouse(view, WM_MOUSEMOVE, (x0 + x1) / 2, (y0 + y1) / 2);
    mouse(view, WM_MOUSEMOVE, x1, y1);
    mouse(view, WM_LBUTTONUP, x1, y1);
    pump();
}

// The first and last items of the first run of items that spells `words`
// (spaces aside: the page text may draw them or leave a gap); false when
// there is none.
bool find_items(const PageText *t, const std::string &words, int *first, int *last)
{
    std::wstring want;
    for (wchar_t c : widen(words))
        if (c != L' ')
            want.push_back(c);
    std::wstring seen;
    std::vector<int> index;
    for (int i = 0; i < t->count; i++)
        if (t->items[i].unicode != ' ' && t->items[i].unicode < 0x10000) {
            seen.push_back(wchar_t(t->items[i].unicode));
            index.push_back(i);
        }
    const size_t at = seen.find(want);
    if (at == std::wstring::npos || want.empty())
        return false;
    *first = index[at];
    *last = index[at + want.size() - 1];
    return true;
}

// The client point at the centre of a page-text item at the view's scale.
POINT item_centre(HWND view, const PageText *t, int i)
{
    const ViewGeometry g = view_geometry(view);
    const TextItem &it = t->items[i];
    return {int((it.x0 + it.x1) / 2) - g.scrollX, int((it.y0 + it.y1) / 2) - g.scrollY};
}

int shell_opens;
std::string last_opened;
void count_open(HWND, const char *uri)
{
    shell_opens++;
    last_opened = uri;
}

int answer_cancel(HWND, const char *text, const char *caption, UINT flags)
{
    boxes().push_back({text, caption, flags});
    return IDCANCEL;
}

int answer_ok(HWND, const char *text, const char *caption, UINT flags)
{
    boxes().push_back({text, caption, flags});
    return IDOK;
}

// A page with links (in points): go to page 3, a web address, a file: URI
// naming a program, a bare path to a program.
std::string links_pdf()
{
    auto link = [](int y, const std::string &action) {
        return "<< /Type /Annot /Subtype /Link /Rect [100 " + std::to_string(y) + " 300 " + std::to_string(y + 20) +
               "] /Border [0 0 0] " + action + " >>";
    };
    return testsupport::objects_pdf({
        {1, "<< /Type /Catalog /Pages 2 0 R >>"},
        {2, "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /Count 3 /MediaBox [0 0 612 792] >>"},
        {3, "<< /Type /Page /Parent 2 0 R /Annots [10 0 R 11 0 R 12 0 R 13 0 R] >>"},
        {4, "<< /Type /Page /Parent 2 0 R >>"},
        {5, "<< /Type /Page /Parent 2 0 R >>"},
        {10, link(700, "/Dest [5 0 R /Fit]")},
        {11, link(650, "/A << /S /URI /URI (https://example.com/x) >>")},
        {12, link(600, "/A << /S /URI /URI (file:///C:/windows/notepad.exe) >>")},
        {13, link(550, "/A << /S /URI /URI (C:\\\\windows\\\\notepad.exe) >>")},
    });
}

}  // namespace

// Exported PNG and BMP hold the renderer's pixels at 150 dpi, the JPEG comes
// within 40 dB of them, in a folder with a Greek name and over an existing
// file; the page on the clipboard holds the same pixels.
TEST(Tools, ExportAndPageCopyHoldTheRenderersPixels)
{
    const std::string ref = reference_dir(), pdf = corpus_pdf(kGeoTopo);
    if (ref.empty() || pdf.empty())
        GTEST_SKIP() << "needs PAGRIX_CLI_REFERENCE and the corpus";
    const Capture want = read_bmp24(ref + "/geotopo-8-150dpi.bmp");
    ASSERT_GT(want.w, 0);
    clear_settings();
    Frame f;
    FrameState &fs = f.state();
    ASSERT_EQ(frame_open_path(fs, pdf.c_str(), nullptr), 0);
    view_goto_page(fs.view, 8);
    const std::wstring folder = windows_path(testsupport::scratch_path("")) + L"\x0395\x03bb\x03bb\x03ac\x03b4\x03b1";
    CreateDirectoryW(folder.c_str(), nullptr);
    // An existing file is replaced as a whole.
    {
        HANDLE old = CreateFileW((folder + L"\\seite.bmp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD n;
        WriteFile(old, "old", 3, &n, nullptr);
        CloseHandle(old);
    }
    struct Row {
        const wchar_t *name;
        double min_psnr;  // 0: exact
    } rows[] = {{L"seite.png", 0}, {L"seite.bmp", 0}, {L"seite.jpg", 40}};
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << narrow_1252(r.name));
        boxes().clear();
        const std::wstring path = folder + L"\\" + r.name;
        export_as(f, path);
        EXPECT_TRUE(boxes().empty()) << (boxes().empty() ? "" : boxes()[0].text);
        HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        std::string bytes(GetFileSize(h, nullptr), '\0');
        DWORD got = 0;
        ReadFile(h, &bytes[0], DWORD(bytes.size()), &got, nullptr);
        CloseHandle(h);
        Capture image;
        if (r.name[6] == L'p') {
            image = read_png(bytes);
        } else if (r.name[6] == L'j') {
            image = read_jpeg(bytes, want.w, want.h);
        } else {
            const std::string copy = testsupport::scratch_path("export-copy.bmp");
            testsupport::write_file(copy, bytes);
            image = read_bmp24(copy);
        }
        ASSERT_EQ(image.w, want.w);
        ASSERT_EQ(image.h, want.h);
        if (r.min_psnr == 0)
            EXPECT_EQ(differing(image, want), 0);
        else
            EXPECT_GE(psnr(image, want), r.min_psnr);
    }
    EXPECT_EQ(files_in(folder).size(), 3u) << "a temporary file was left behind";

    f.command(CMD_COPY_PAGE);
    DWORD image_size = 0;
    const Capture page = clipboard_dib(&image_size);
    ASSERT_EQ(page.w, want.w);
    ASSERT_EQ(page.h, want.h);
    EXPECT_EQ(image_size, DWORD(((want.w * 3 + 3) & ~3) * want.h));
    EXPECT_EQ(differing(page, want), 0);
}

// An export that cannot be written says so and leaves nothing behind: a
// read-only file system, and one too small for the image.
TEST(Tools, FailedExportShowsTheMessageAndLeavesNoFile)
{
    const char *small = std::getenv("PAGRIX_SMALL_FS");
    if (!small || !*small)
        GTEST_SKIP() << "PAGRIX_SMALL_FS not set (the small_fs fixture sets it)";
    if (GetFileAttributesA((std::string(small) + "/unmounted").c_str()) != INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "the small_fs fixture could not mount its file systems";
    clear_settings();
    Frame f;
    ASSERT_EQ(frame_open_path(f.state(), scratch_file("export.pdf", a4_pdf(1)).c_str(), nullptr), 0);
    for (const char *where : {"ro", "tiny"}) {
        SCOPED_TRACE(where);
        const std::wstring folder = windows_path(std::string(small) + "/" + where);
        boxes().clear();
        export_as(f, folder + L"\\seite.bmp");
        ASSERT_EQ(boxes().size(), 1u);
        EXPECT_EQ(boxes()[0].text, string_of(IDS_EXPORT_FAILED));
        EXPECT_TRUE(boxes()[0].flags & MB_ICONWARNING);
        EXPECT_TRUE(files_in(folder).empty());
    }
}

// A drag with the selection tool copies the characters between its ends as
// the command-line renderer's text shows them: in Unicode, and in code page
// 1252 for programs that read CF_TEXT. Select all copies the page's text. A
// snapshot puts the pixels under its rectangle on the clipboard and shows
// its preview; one of 2 x 2 pixels copies nothing.
TEST(Tools, SelectionAndSnapshotReachTheClipboard)
{
    const std::string ref = reference_dir(), pdf = corpus_pdf(kGeoTopo);
    if (ref.empty() || pdf.empty())
        GTEST_SKIP() << "needs PAGRIX_CLI_REFERENCE and the corpus";
    const std::string cli_text = read_all(ref + "/geotopo-8.txt");
    const Capture at100 = read_bmp24(ref + "/geotopo-8-100.bmp");
    ASSERT_FALSE(cli_text.empty());
    ASSERT_GT(at100.w, 0);
    clear_settings();
    const DWORD no_greeking = 0;  // the renderer draws every glyph too
    write_raw("GreekPx", REG_DWORD, &no_greeking, sizeof no_greeking);
    Frame f;
    FrameState &fs = f.state();
    SetWindowPos(f.hwnd, nullptr, 0, 0, 1000, 760, SWP_NOZORDER);
    pump();
    ASSERT_EQ(frame_open_path(fs, pdf.c_str(), nullptr), 0);
    view_goto_page(fs.view, 8);
    view_set_zoom_percent(fs.view, 100);
    pump();

    // From "Sei (X, T) ein topologischer" to "Unterraumtopologie genannt.":
    // German letters and mathematical signs.
    PageText *t = doc_page_text(view_document(fs.view), 7, view_scale(fs.view));
    ASSERT_TRUE(t);
    int first = 0, last = 0, unused = 0;
    ASSERT_TRUE(find_items(t, "Sei (X, T) ein topologischer", &first, &unused));
    ASSERT_TRUE(find_items(t, "Unterraumtopologie genannt.", &unused, &last));
    const size_t a = cli_text.find("Sei (X, T) ein topologischer");
    const size_t b = cli_text.find("Unterraumtopologie genannt.");
    ASSERT_NE(a, std::string::npos);
    ASSERT_NE(b, std::string::npos);
    const std::string want = cli_text.substr(a, b + std::strlen("Unterraumtopologie genannt.") - a);
    const POINT p0 = item_centre(fs.view, t, first), p1 = item_centre(fs.view, t, last);
    page_text_free(t);

    f.command(CMD_TOOL_SELECT);
    const Capture before = capture(fs.view);
    drag(fs.view, p0.x, p0.y, p1.x, p1.y);
    EXPECT_NE(capture(fs.view).at(p0.x, p0.y), before.at(p0.x, p0.y)) << "the selection is not highlighted";
    f.command(CMD_COPY);
    const std::wstring unicode = clipboard_unicode();
    const std::string utf8 = utf8_of(unicode);
    EXPECT_EQ(without_cr(utf8), want);
    EXPECT_NE(utf8.find("\r\n"), std::string::npos) << "lines end in CR LF";
    EXPECT_EQ(clipboard_ansi(), narrow_1252(unicode));
    EXPECT_NE(clipboard_ansi().find("hei\xDF" "t"), std::string::npos) << "code page 1252 keeps the sharp s";

    f.command(CMD_SELECT_ALL);
    f.command(CMD_COPY);
    EXPECT_EQ(without_cr(utf8_of(clipboard_unicode())) + "\n", cli_text);

    // Snapshot: 200 x 100 pixels of the page's top-left quarter.
    f.command(CMD_TOOL_SNAPSHOT);
    const ViewGeometry g = view_geometry(fs.view);
    const int x0 = 60 - g.scrollX, y0 = 90 - g.scrollY;
    drag(fs.view, x0 + 200, y0 + 100, x0, y0);  // dragged up and left
    const Capture snap = clipboard_dib();
    ASSERT_EQ(snap.w, 200);
    ASSERT_EQ(snap.h, 100);
    EXPECT_EQ(differing(snap, at100, 60, 90), 0);
    HWND preview = FindWindowA("PxSnapPrev", nullptr);
    ASSERT_TRUE(preview);
    RECT rc;
    GetClientRect(preview, &rc);
    EXPECT_EQ(rc.right, 204);
    EXPECT_EQ(rc.bottom, 104);
    EXPECT_EQ(window_text(preview), string_of(IDS_SNAPSHOT_TITLE));
    SendMessageA(preview, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    pump();
    EXPECT_FALSE(IsWindow(preview));

    clipboard_set_text("unchanged");
    drag(fs.view, x0, y0, x0 + 2, y0 + 2);
    EXPECT_EQ(clipboard_ansi(), "unchanged");
    EXPECT_FALSE(FindWindowA("PxSnapPrev", nullptr));
}

// A click on a link goes to its page; a press that moves 4 pixels scrolls
// instead. A web address is opened only after the confirmation; a file: URI
// or a bare path naming a program is only shown, never opened.
TEST(Tools, LinksGoToTheirPagesAndOnlyWebAddressesOpen)
{
    clear_settings();
    Frame f;
    FrameState &fs = f.state();
    SetWindowPos(f.hwnd, nullptr, 0, 0, 900, 1000, SWP_NOZORDER);
    pump();
    ASSERT_EQ(frame_open_path(fs, scratch_file("links.pdf", links_pdf()).c_str(), nullptr), 0);
    view_set_zoom_percent(fs.view, 100);
    pump();
    tools_set_shell_open(count_open);
    shell_opens = 0;
    const ViewGeometry g = view_geometry(fs.view);
    // Link n (from the top) spans x 100..300 and y 72 + 50 n .. 92 + 50 n in pixels.
    auto link_point = [&](int n) { return POINT{200 - g.scrollX, 82 + 50 * n - g.scrollY}; };

    // The hand's link cursor over a link, the four-way arrow elsewhere.
    POINT screen = link_point(0);
    ClientToScreen(fs.view, &screen);
    SetCursorPos(screen.x, screen.y);
    SendMessageA(fs.view, WM_SETCURSOR, WPARAM(fs.view), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    const HCURSOR over_link = GetCursor();
    SetCursorPos(screen.x, screen.y + 30);
    SendMessageA(fs.view, WM_SETCURSOR, WPARAM(fs.view), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, MAKEINTRESOURCEA(32646)));
    EXPECT_NE(over_link, GetCursor());

    POINT p = link_point(0);
    drag(fs.view, p.x, p.y, p.x + 4, p.y);
    EXPECT_EQ(view_page(fs.view), 1) << "a press that moved 4 pixels activated the link";
    drag(fs.view, p.x, p.y, p.x + 3, p.y - 3);
    EXPECT_EQ(view_page(fs.view), 3);
    // The link's jump is in the history: Back returns to the link's page.
    SendMessageA(fs.frame, WM_COMMAND, CMD_BACK, 0);
    pump();
    EXPECT_EQ(view_page(fs.view), 1) << "Back did not return from the link's target";
    // A drag moves the page with the pointer: 40 pixels left and 50 up
    // scroll right and down by as much (at 200 % the page is larger than
    // the window).
    view_set_zoom_percent(fs.view, 200);
    pump();
    const ViewGeometry before = view_geometry(fs.view);
    drag(fs.view, 300, 310, 260, 260);
    const ViewGeometry after = view_geometry(fs.view);
    EXPECT_EQ(after.scrollX, before.scrollX + 40);
    EXPECT_EQ(after.scrollY, before.scrollY + 50);
    EXPECT_EQ(view_page(fs.view), 1);
    view_set_zoom_percent(fs.view, 100);
    pump();

    frame_set_message_box(answer_cancel);
    boxes().clear();
    p = link_point(1);
    drag(fs.view, p.x, p.y, p.x, p.y);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_NE(boxes()[0].text.find("https://example.com/x"), std::string::npos);
    EXPECT_EQ(boxes()[0].caption, string_of(IDS_LINK_CAPTION));
    EXPECT_TRUE(boxes()[0].flags & MB_ICONQUESTION);
    EXPECT_EQ(shell_opens, 0) << "declined, yet opened";

    // Answered with OK from here on: only the web address is handed over.
    frame_set_message_box(answer_ok);
    for (int n : {2, 3, 1}) {
        boxes().clear();
        p = link_point(n);
        drag(fs.view, p.x, p.y, p.x, p.y);
        ASSERT_EQ(boxes().size(), 1u) << "link " << n;
        EXPECT_TRUE(boxes()[0].flags & (n == 1 ? MB_ICONQUESTION : MB_ICONINFORMATION)) << "link " << n;
    }
    EXPECT_EQ(shell_opens, 1);
    EXPECT_EQ(last_opened, "https://example.com/x");
    tools_set_shell_open(nullptr);
}

// A text file whose encoding is only a guess: opening it asks for the
// encoding, the user picks another one in the drop-down list with the
// keyboard, and the page then shows exactly the letters of that encoding.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>

#include "bitmap/bitmap.h"
#include "document/document.h"
#include "shell/resource.h"
#include "shell/view.h"
#include "font_support.h"
#include "shell_test_support.h"
#include "test_support.h"

using namespace shelltest;

namespace {

void key(WORD vk)
{
    INPUT in[2] = {};
    for (int i = 0; i < 2; i++) {
        in[i].type = INPUT_KEYBOARD;
        in[i].ki.wVk = vk;
        in[i].ki.wScan = WORD(MapVirtualKeyA(vk, 0));
        in[i].ki.dwFlags = i ? KEYEVENTF_KEYUP : 0;
    }
    SendInput(2, in, sizeof(INPUT));
    Sleep(80);
}

std::string combo_text(HWND combo)
{
    const LRESULT sel = SendMessageA(combo, CB_GETCURSEL, 0, 0);
    char buf[64] = "";
    if (sel >= 0)
        SendMessageA(combo, CB_GETLBTEXT, WPARAM(sel), reinterpret_cast<LPARAM>(buf));
    return buf;
}

// Page 0 of the file in one encoding, whole, at 100 %.
PageBitmap *reference_page(const std::string &path, int encoding)
{
    Document *doc = nullptr;
    if (doc_open(&doc, path.c_str(), nullptr) != 0)
        return nullptr;
    PageBitmap *page = nullptr;
    if (doc_text_set_encoding(doc, encoding))
        doc_render_page(doc, 0, 1.0f, 0, 0, &page);
    doc_close(doc);
    return page;
}

uint32_t bitmap_rgb(const PageBitmap *b, int x, int y)
{
    const uint8_t *p = b->pixels + size_t(y) * size_t(b->stride) + 3 * size_t(x);
    return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

}  // namespace

TEST(TextEncoding, ChosenInTheDialogRedrawsThePage)
{
    SKIP_WITHOUT_CORPUS();
    const std::string path = testsupport::corpus_dir() + "\\text\\text-de-cp850-crlf.txt";
    if (testsupport::read_file(path).empty())
        GTEST_SKIP() << "no CP850 text file in the corpus";
    ASSERT_TRUE(testsupport::install_base_fonts());
    clear_settings();
    Frame f;
    FrameState &fs = f.state();
    SetWindowPos(f.hwnd, nullptr, 0, 0, 900, 700, SWP_NOZORDER);
    SetForegroundWindow(f.hwnd);
    pump();

    struct Seen {
        std::string title, preselected, chosen;
    } seen;
    std::atomic<bool> closed{false};
    std::thread user([&] {
        HWND box = wait_for_dialog();
        if (!box)
            return;
        Sleep(150);
        seen.title = window_text(box);
        HWND combo = GetDlgItem(box, IDC_ENCODING_LIST);
        seen.preselected = combo_text(combo);
        SetForegroundWindow(box);
        Sleep(50);
        // From the guess (Windows-1254) three down: ISO-8859-9, OEM 857, OEM 850.
        for (int i = 0; i < 3; i++)
            key(VK_DOWN);
        seen.chosen = combo_text(combo);
        key(VK_RETURN);
        for (int i = 0; i < 300 && IsWindow(box); i++)
            Sleep(10);
        closed = !IsWindow(box);
    });
    const int rc = frame_open_path(fs, path.c_str(), nullptr);  // the dialog runs inside
    user.join();
    ASSERT_EQ(rc, 0);
    EXPECT_TRUE(closed) << "Enter did not close the dialog";
    EXPECT_EQ(seen.title, "Textcodierung ausw\xE4hlen");
    EXPECT_EQ(seen.preselected, "Windows-1254");
    EXPECT_EQ(seen.chosen, "OEM 850");
    Document *doc = view_document(fs.view);
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc_text_encoding(doc), 6);
    EXPECT_EQ(doc_text_encoding_sure(doc), 1);
    EXPECT_EQ(status_text(fs.status, 1), "OEM 850");

    // The page as the view paints it, against the engine's page in each encoding.
    view_set_zoom_percent(fs.view, 100);
    pump();
    const ViewGeometry g = view_geometry(fs.view);
    const Capture got = capture(fs.view);
    PageBitmap *oem850 = reference_page(path, 6), *guess = reference_page(path, 3);
    ASSERT_TRUE(oem850 && guess);
    ASSERT_EQ(g.contentW, oem850->width);
    int differ_850 = 0, differ_guess = 0, compared = 0;
    for (int y = std::max(0, g.scrollY); y < oem850->height && y - g.scrollY < got.h; y++)
        for (int x = std::max(0, g.scrollX); x < oem850->width && x - g.scrollX < got.w; x++) {
            const uint32_t shown = got.at(x - g.scrollX, y - g.scrollY);
            differ_850 += shown != bitmap_rgb(oem850, x, y);
            differ_guess += shown != bitmap_rgb(guess, x, y);
            compared++;
        }
    EXPECT_GT(compared, 100000);
    EXPECT_EQ(differ_850, 0) << "of " << compared << " pixels";
    EXPECT_GT(differ_guess, 50) << "the umlauts of the first rows look alike in both encodings";
    bitmap_free(oem850);
    bitmap_free(guess);
    clear_settings();
}

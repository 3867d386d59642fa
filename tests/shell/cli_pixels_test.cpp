// The viewer shows exactly the command-line renderer's pixels: a page of
// vector art opened in the frame and painted by the view, against the native
// pagrix-render's BMP of the same page at the same scale (written by the
// cli_reference test fixture into $PAGRIX_CLI_REFERENCE). Both Windows builds
// must agree with the native build to the level; a compiler setting that
// changes how floating point rounds (x87 on i686) shows up here.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "shell/settings.h"
#include "shell/view.h"
#include "shell_test_support.h"
#include "test_support.h"

using namespace shelltest;

namespace {

using Image = Capture;  // the reference BMP reads into the same layout as a capture

int level_difference(uint32_t a, uint32_t b)
{
    int most = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const int d = int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF);
        most = std::max(most, d < 0 ? -d : d);
    }
    return most;
}

}  // namespace

TEST(CliPixels, ViewPaintsTheNativeRenderersPixels)
{
    const char *dir = std::getenv("PAGRIX_CLI_REFERENCE");
    if (!dir || !*dir)
        GTEST_SKIP() << "PAGRIX_CLI_REFERENCE not set (the cli_reference fixture writes it)";
    const std::string pdf = std::string(dir) + "/vector.pdf";
    struct Row {
        int percent;        // the view's zoom
        const char *scale;  // the same scale as given to pagrix-render --scale
    } rows[] = {
        {100, "1"},     // 300 x 200 pixels
        {150, "1.5"},   // fractional device coordinates everywhere
        {175, "1.75"},
        {225, "2.25"},  // 675 x 450
    };
    clear_settings();
    Frame f;
    FrameState &fs = f.state();
    SetWindowPos(f.hwnd, nullptr, 0, 0, 1000, 760, SWP_NOZORDER);
    pump();
    ASSERT_EQ(frame_open_path(fs, pdf.c_str(), nullptr), 0) << pdf;
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << r.percent << " %");
        const Image want = read_bmp24(std::string(dir) + "/vector-" + r.scale + ".bmp");
        ASSERT_GT(want.w, 0) << "no reference BMP for scale " << r.scale;
        view_set_zoom_percent(fs.view, r.percent);
        pump();
        const ViewGeometry g = view_geometry(fs.view);
        const Image got = capture(fs.view);
        // The whole page is in the window: scroll offsets are zero or negative (centred).
        if (g.contentW != want.w || g.contentH != want.h || g.scrollX > 0 || g.scrollY > 0 ||
            want.w - g.scrollX > got.w || want.h - g.scrollY > got.h) {
            ADD_FAILURE() << "page " << g.contentW << "x" << g.contentH << " at " << -g.scrollX << ","
                          << -g.scrollY << " in " << got.w << "x" << got.h << "; the reference is " << want.w
                          << "x" << want.h;
            continue;
        }
        int differ = 0, most = 0, first_x = -1, first_y = -1;
        for (int y = 0; y < want.h; y++)
            for (int x = 0; x < want.w; x++) {
                const int d = level_difference(got.at(x - g.scrollX, y - g.scrollY), want.at(x, y));
                if (d && !differ) {
                    first_x = x;
                    first_y = y;
                }
                differ += d != 0;
                most = std::max(most, d);
            }
        EXPECT_EQ(differ, 0) << "of " << want.w * want.h << " pixels, by up to " << most
                             << " levels; the first at " << first_x << "," << first_y;
    }
    clear_settings();
}

// The view tools' and the export's decisions.
#include <gtest/gtest.h>

#include "shell/logic/tools_logic.h"

TEST(ToolsLogic, DragRectangleAndItsThresholds)
{
    struct Row {
        int x0, y0, x1, y1;
        ToolRect want;
        bool snapshot;  // more than 2 pixels on one side
    } rows[] = {
        {10, 20, 30, 25, {10, 20, 30, 25}, true},
        {30, 25, 10, 20, {10, 20, 30, 25}, true},   // dragged up and left
        {30, 20, 10, 25, {10, 20, 30, 25}, true},   // up-right to down-left
        {5, 5, 7, 7, {5, 5, 7, 7}, false},          // 2 x 2 copies nothing
        {5, 5, 8, 6, {5, 5, 8, 6}, true},           // 3 x 1 is enough
        {5, 9, 5, 6, {5, 6, 5, 9}, true},           // 0 x 3 too
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << r.x0 << "," << r.y0 << " -> " << r.x1 << "," << r.y1);
        const ToolRect got = tool_drag_rect(r.x0, r.y0, r.x1, r.y1);
        EXPECT_EQ(got.left, r.want.left);
        EXPECT_EQ(got.top, r.want.top);
        EXPECT_EQ(got.right, r.want.right);
        EXPECT_EQ(got.bottom, r.want.bottom);
        EXPECT_EQ(snapshot_big_enough(got), r.snapshot);
    }
    // A hand press is a click below 4 pixels of movement in both directions.
    EXPECT_TRUE(tool_is_click(3, -3));
    EXPECT_FALSE(tool_is_click(4, 0));
    EXPECT_FALSE(tool_is_click(0, -4));
}

TEST(ToolsLogic, OnlyWebAndMailAddressesAreOpened)
{
    struct Row {
        const char *uri;
        UriAction want;
    } rows[] = {
        {"https://www.debian.org/", URI_OPEN},
        {"HTTP://example.com", URI_OPEN},
        {"mailto:a@b.de", URI_OPEN},
        {"ftp://ftp.example.org/x", URI_OPEN},
        {"", URI_IGNORE},
        {nullptr, URI_IGNORE},
        {"file:///C:/windows/notepad.exe", URI_SHOW},
        {"C:\\Windows\\notepad.exe", URI_SHOW},   // a drive letter is no scheme
        {"\\\\server\\share\\x.exe", URI_SHOW},   // UNC
        {"x.exe", URI_SHOW},                      // no scheme at all
        {" http://example.com", URI_SHOW},        // not a scheme when it does not lead
        {"javascript:alert(1)", URI_SHOW},
        {"https.evil:x", URI_SHOW},               // the whole scheme must match
        {"ms-settings:", URI_SHOW},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.uri ? r.uri : "(null)");
        EXPECT_EQ(uri_action(r.uri), r.want);
    }
}

TEST(ToolsLogic, ExportFormatFromNameAndFilter)
{
    struct Row {
        const wchar_t *name;
        int filter;
        const wchar_t *want_name;
        ExportFormat want;
    } rows[] = {
        {L"C:\\out\\page", 2, L"C:\\out\\page.bmp", EXPORT_BMP},   // no extension: the filter's
        {L"C:\\out\\page", 3, L"C:\\out\\page.jpg", EXPORT_JPEG},
        {L"C:\\out\\page", 1, L"C:\\out\\page.png", EXPORT_PNG},
        {L"C:\\out.d\\page", 2, L"C:\\out.d\\page.bmp", EXPORT_BMP},  // a dot in a folder is no extension
        {L"page.JPEG", 1, L"page.JPEG", EXPORT_JPEG},              // the extension wins
        {L"page.Bmp", 3, L"page.Bmp", EXPORT_BMP},
        {L"page.tif", 3, L"page.tif", EXPORT_JPEG},                // unknown: the filter's format
        {L"page.tif", 0, L"page.tif", EXPORT_PNG},
    };
    for (const Row &r : rows) {
        std::wstring name = r.name;
        EXPECT_EQ(export_format_for(name, r.filter), r.want);
        EXPECT_EQ(name, r.want_name);
    }
}

TEST(ToolsLogic, ExportScaleAndPreviewSize)
{
    // A Letter page stays at 150 pixels per inch; a 2000 x 2000 point page
    // shrinks in steps of 0.85 until it fits 24 MiB.
    auto page = [](float w_pt, float h_pt) {
        return [=](float s, int *w, int *h) {
            *w = int(w_pt * s + 0.5f);
            *h = int(h_pt * s + 0.5f);
            return true;
        };
    };
    EXPECT_FLOAT_EQ(export_scale(page(612, 792)), 150.0f / 72.0f);
    const float big = export_scale(page(2000, 2000));
    EXPECT_NEAR(big, 150.0 / 72.0 * 0.85 * 0.85 * 0.85, 1e-4);  // 4167, 3542, 3010 square too big; 2559 fits
    // A page that never fits stops once the scale is no longer above 0.3.
    const float huge = export_scale(page(200000, 200000));
    EXPECT_LE(huge, 0.3f);
    EXPECT_GT(huge, 0.3f * 0.85f);
    // A failed size leaves the scale as it is.
    EXPECT_FLOAT_EQ(export_scale([](float, int *, int *) { return false; }), 150.0f / 72.0f);

    struct Row {
        int w, h;
        PreviewSize want;
    } rows[] = {
        {1000, 500, {240, 120, 244, 124}},
        {100, 20, {100, 20, 104, 40}},    // not enlarged; the client at least 80 x 40
        {30, 10, {30, 10, 80, 40}},
        {3, 1000, {1, 240, 80, 244}},     // a sliver keeps one pixel
    };
    for (const Row &r : rows) {
        const PreviewSize p = snapshot_preview_size(r.w, r.h);
        EXPECT_EQ(p.pictureW, r.want.pictureW) << r.w << "x" << r.h;
        EXPECT_EQ(p.pictureH, r.want.pictureH) << r.w << "x" << r.h;
        EXPECT_EQ(p.clientW, r.want.clientW) << r.w << "x" << r.h;
        EXPECT_EQ(p.clientH, r.want.clientH) << r.w << "x" << r.h;
    }
}

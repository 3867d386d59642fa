// The command table: every command id of the menu, the accelerators, the
// toolbar and other windows becomes one call on the view, a panel, a dialog
// or the frame itself.
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>

#include "shell/features.h"
#include "shell/frame.h"
#include "shell/resource.h"
#include "shell/settings.h"
#include "shell/view.h"

namespace {

using Handler = void (*)(FrameState &fs, int id);

struct CommandRow {
    int first, last;  // command id range
    Handler handler;
};

void cmd_open(FrameState &fs, int) { frame_open_dialog(fs); }
void cmd_close(FrameState &fs, int) { frame_close_document(fs); }
void cmd_exit(FrameState &fs, int) { DestroyWindow(fs.frame); }
void cmd_print(FrameState &fs, int) { print_dialog(fs.frame); }
void cmd_associations(FrameState &fs, int) { associations_dialog(fs.frame); }
void cmd_properties(FrameState &fs, int) { properties_dialog(fs.frame); }
void cmd_fonts(FrameState &fs, int) { fonts_dialog(fs.frame); }
void cmd_security(FrameState &fs, int) { security_dialog(fs.frame); }
void cmd_options(FrameState &fs, int) { options_show(fs, false); }
void cmd_export(FrameState &fs, int) { export_page(fs.frame); }

void cmd_zoom(FrameState &fs, int id)
{
    switch (id) {
    case CMD_ZOOM_IN: view_zoom_step(fs.view, +1); break;
    case CMD_ZOOM_OUT: view_zoom_step(fs.view, -1); break;
    case CMD_ACTUAL_SIZE: view_set_zoom_percent(fs.view, 100); break;
    case CMD_FIT_PAGE: view_set_zoom_mode(fs.view, ZOOM_FIT_PAGE); break;
    case CMD_FIT_WIDTH: view_set_zoom_mode(fs.view, ZOOM_FIT_WIDTH); break;
    }
    frame_refresh_status(fs);
}

void cmd_panel_toggle(FrameState &fs, int id)
{
    int wanted = id == CMD_TOGGLE_THUMBS ? PANEL_THUMBS_AND_PAGE : PANEL_BOOKMARKS_AND_PAGE;
    frame_set_panel_mode(fs, panel_toggle(fs.panelMode, wanted));
    toolbar_refresh_states(fs);
}

void cmd_panel(FrameState &fs, int id)
{
    frame_set_panel_mode(fs, id - CMD_PANEL_PAGE);
    toolbar_refresh_states(fs);
}

void cmd_bars(FrameState &fs, int id)
{
    bool &visible = id == CMD_TOOLBAR ? fs.toolbarVisible : fs.statusVisible;
    visible = !visible;
    ShowWindow(id == CMD_TOOLBAR ? fs.toolbar : fs.status, visible ? SW_SHOW : SW_HIDE);
    frame_check_menu(fs, id, visible);
    frame_layout(fs);
}

void cmd_grayscale(FrameState &fs, int)
{
    view_toggle_grayscale(fs.view);
    frame_check_menu(fs, CMD_GRAYSCALE, view_grayscale(fs.view));
}

void cmd_zoom_dialog(FrameState &fs, int)
{
    zoom_dialog(fs.frame);
    frame_refresh_status(fs);
}

void cmd_fullscreen(FrameState &fs, int) { fullscreen_toggle(fs.frame); }

void cmd_layout(FrameState &fs, int id)
{
    view_set_layout(fs.view, id == CMD_LAYOUT_SINGLE ? 0 : 1);
    CheckMenuRadioItem(GetMenu(fs.frame), CMD_LAYOUT_SINGLE, CMD_LAYOUT_CONTINUOUS, id, MF_BYCOMMAND);
    frame_refresh_status(fs);
}

void cmd_large_buttons(FrameState &fs, int)
{
    fs.largeButtons = !fs.largeButtons;
    settings_write("LargeButtons", fs.largeButtons);
    toolbar_destroy(fs);
    toolbar_build(fs);
    frame_check_menu(fs, CMD_LARGE_BUTTONS, fs.largeButtons);
    toolbar_refresh_states(fs);
    frame_layout(fs);
}

void cmd_articles(FrameState &fs, int)
{
    articles_dialog(fs.frame);
    frame_refresh_status(fs);
}

void cmd_rotate(FrameState &fs, int id)
{
    view_rotate(fs.view, id == CMD_ROTATE_CW ? 1 : 3);
    frame_refresh_status(fs);
}

void cmd_encoding(FrameState &fs, int id)
{
    view_set_text_encoding(fs.view, id == CMD_ENCODING_AUTO ? -1 : id - CMD_ENCODING_FIRST);
    frame_refresh_status(fs);
    toolbar_refresh_states(fs);
}

void cmd_text_mono(FrameState &fs, int)
{
    view_toggle_text_mono(fs.view);
    Document *doc = view_document(fs.view);
    int mono = doc && doc->kind == DOC_TEXT ? doc_text_mono(doc) != 0 : !settings_get("TextMono");
    settings_write("TextMono", mono);
    frame_check_menu(fs, CMD_TEXT_MONO, mono);
}

void cmd_page(FrameState &fs, int id)
{
    view_page_command(fs.view, id);
    frame_refresh_status(fs);
}

void cmd_goto(FrameState &fs, int)
{
    goto_dialog(fs.frame);
    frame_refresh_status(fs);
}

void cmd_history(FrameState &fs, int id)
{
    history_step(fs.frame, id == CMD_BACK ? -1 : 1);
    frame_refresh_status(fs);
}

void cmd_find(FrameState &fs, int) { find_dialog_show(fs.frame); }

void cmd_find_step(FrameState &fs, int id)
{
    find_next(fs.frame, id == CMD_FIND_NEXT ? 1 : -1);
    frame_refresh_status(fs);
}

void cmd_copy_page(FrameState &fs, int) { copy_page_image(fs.frame); }
void cmd_copy(FrameState &fs, int) { copy_selected_text(fs.frame); }
void cmd_select_all(FrameState &fs, int) { select_all_text(fs.frame); }

void cmd_tool(FrameState &fs, int id)
{
    view_set_tool(fs.view, id - CMD_TOOL_HAND);
    toolbar_refresh_states(fs);
}

void cmd_help(FrameState &fs, int) { frame_help(fs, HELP_FINDER); }
void cmd_about(FrameState &fs, int) { frame_about(fs); }
void cmd_recent(FrameState &fs, int id) { frame_open_recent(fs, id - CMD_RECENT_FIRST); }

constexpr CommandRow COMMANDS[] = {
    {CMD_OPEN, CMD_OPEN, cmd_open},
    {CMD_CLOSE, CMD_CLOSE, cmd_close},
    {CMD_EXIT, CMD_EXIT, cmd_exit},
    {CMD_PRINT, CMD_PRINT, cmd_print},
    {CMD_ASSOCIATIONS, CMD_ASSOCIATIONS, cmd_associations},
    {CMD_PROPERTIES, CMD_PROPERTIES, cmd_properties},
    {CMD_FONTS, CMD_FONTS, cmd_fonts},
    {CMD_SECURITY, CMD_SECURITY, cmd_security},
    {CMD_OPTIONS, CMD_OPTIONS, cmd_options},
    {CMD_EXPORT, CMD_EXPORT, cmd_export},
    {CMD_ZOOM_IN, CMD_FIT_WIDTH, cmd_zoom},
    {CMD_TOGGLE_THUMBS, CMD_TOGGLE_THUMBS, cmd_panel_toggle},
    {CMD_TOOLBAR, CMD_STATUSBAR, cmd_bars},
    {CMD_GRAYSCALE, CMD_GRAYSCALE, cmd_grayscale},
    {CMD_ZOOM_DIALOG, CMD_ZOOM_DIALOG, cmd_zoom_dialog},
    {CMD_FULLSCREEN, CMD_FULLSCREEN, cmd_fullscreen},
    {CMD_LAYOUT_SINGLE, CMD_LAYOUT_CONTINUOUS, cmd_layout},
    {CMD_LARGE_BUTTONS, CMD_LARGE_BUTTONS, cmd_large_buttons},
    {CMD_TOGGLE_BOOKMARKS, CMD_TOGGLE_BOOKMARKS, cmd_panel_toggle},
    {CMD_PANEL_PAGE, CMD_PANEL_BOOKMARKS_PAGE, cmd_panel},
    {CMD_ARTICLES, CMD_ARTICLES, cmd_articles},
    {CMD_ROTATE_CW, CMD_ROTATE_CCW, cmd_rotate},
    {CMD_ENCODING_AUTO, CMD_ENCODING_LAST, cmd_encoding},
    {CMD_TEXT_MONO, CMD_TEXT_MONO, cmd_text_mono},
    {CMD_NEXT_PAGE, CMD_LAST_PAGE, cmd_page},
    {CMD_GOTO_PAGE, CMD_GOTO_PAGE, cmd_goto},
    {CMD_BACK, CMD_FORWARD, cmd_history},
    {CMD_FIND, CMD_FIND, cmd_find},
    {CMD_FIND_NEXT, CMD_FIND_PREV, cmd_find_step},
    {CMD_COPY_PAGE, CMD_COPY_PAGE, cmd_copy_page},
    {CMD_COPY, CMD_COPY, cmd_copy},
    {CMD_SELECT_ALL, CMD_SELECT_ALL, cmd_select_all},
    {CMD_TOOL_HAND, CMD_TOOL_SNAPSHOT, cmd_tool},
    {CMD_HELP, CMD_HELP, cmd_help},
    {CMD_ABOUT, CMD_ABOUT, cmd_about},
    {CMD_RECENT_FIRST, CMD_RECENT_LAST, cmd_recent},
};

// A pick in the zoom combo's list: the item's number becomes the zoom.
void zoom_combo_selected(FrameState &fs)
{
    int index = int(SendMessageA(fs.zoomCombo, CB_GETCURSEL, 0, 0));
    char text[16] = "";
    if (index >= 0 && SendMessageA(fs.zoomCombo, CB_GETLBTEXTLEN, index, 0) < LRESULT(sizeof text))
        SendMessageA(fs.zoomCombo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
    if (view_document(fs.view) && text[0])
        view_set_zoom_percent(fs.view, std::atoi(text));
    frame_refresh_status(fs);
    SetFocus(fs.view);
}

}  // namespace

void command_dispatch(FrameState &fs, int id, int code)
{
    if (id == IDC_ZOOM_COMBO) {
        if (code == CBN_SELCHANGE)
            zoom_combo_selected(fs);
        return;
    }
    if (id == IDC_PAGE_EDIT)
        return;  // edit notifications
    if (command_needs_document(id) && !view_document(fs.view))
        return;
    for (const CommandRow &row : COMMANDS)
        if (id >= row.first && id <= row.last) {
            row.handler(fs, id);
            return;
        }
}

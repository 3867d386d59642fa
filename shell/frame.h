// The frame window: start-up, the main window and the message loop.
#pragma once
#include <windows.h>

#define FRAME_CLASS "Pagrix95Frame"
#define FRAME_TITLE "Vellumix"

// Registers the frame class (once per process); FALSE on failure.
BOOL frame_register_class(HINSTANCE instance);
// Creates and shows the frame; null on failure.
HWND frame_create(HINSTANCE instance, int show);
// Start-up, message loop; returns the exit code of the program.
int frame_main(HINSTANCE instance, LPSTR command_line, int show);

// Program entry of the Windows viewer.
#include <windows.h>

#include "shell/frame.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int show)
{
    return frame_main(instance, command_line, show);
}

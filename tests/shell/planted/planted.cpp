// A library with code and font-like resources, planted where the program
// must not take its font library from: its entry point leaves a mark in the
// environment of the process when it runs.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        SetEnvironmentVariableA("PAGRIX_PLANTED_RAN", "1");
    return TRUE;
}

// Entry point of pagrix.dll. The library holds only font resources; loading
// it must never fail for reasons of its own, so the entry reports success.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
